// Lets a simulation watch the run's milestones that no platform operation reveals.
#pragma once

namespace quelm {

class LauncherApp;
struct CardInfo;

class RunObserver {
 public:
  virtual void OnEnvironmentRead(const LauncherApp& app) = 0;
  // A card list found a card; `card` is as the command leaves it.
  virtual void OnCardDetected(const CardInfo& card) = 0;

 protected:
  ~RunObserver() = default;
};

}  // namespace quelm
