// Lets a simulation watch the run's milestones that no platform operation reveals.
#pragma once

#include "record/RunRecord.h"

namespace quelm {

class RunObserver {
 public:
  virtual void OnEnvironmentRead(const RunRecord& record) = 0;
  // A card list found a card; `card` is as the command leaves it.
  virtual void OnCardDetected(const CardInfo& card) = 0;

 protected:
  ~RunObserver() = default;
};

}  // namespace quelm
