// Lets a simulation watch the run's milestones that no platform operation reveals.
#pragma once

#include "record/RunRecord.h"

namespace quelm {

class RunObserver {
 public:
  virtual void OnEnvironmentRead(const RunRecord& record) = 0;
  // A card list ran, before its message if it found nothing; the record's card is as it leaves it.
  virtual void OnCardListDone(const char* section, const RunRecord& record, bool found) = 0;
  // The enumerator key check ran, before its message if it failed.
  virtual void OnKeyCheckDone(const RunRecord& record, bool found) = 0;

 protected:
  ~RunObserver() = default;
};

}  // namespace quelm
