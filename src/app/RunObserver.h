// Lets a simulation watch the run's milestones that no platform operation reveals.
#pragma once

#include "config/Text.h"
#include "record/RunRecord.h"

namespace quelm {

struct ScriptCommand;

class RunObserver {
 public:
  virtual void OnEnvironmentRead(const RunRecord& record) = 0;
  // The interpreter took a token and is about to run the command it selects (null: none, and the token
  // is skipped); the record is as the token finds it.
  virtual void OnToken(TextView token, const ScriptCommand* command, const RunRecord& record) = 0;
  // A card list ran, before its message if it found nothing; the record's card is as it leaves it.
  virtual void OnCardListDone(const char* section, const RunRecord& record, bool found) = 0;
  // The enumerator key check ran, before its message if it failed.
  virtual void OnKeyCheckDone(const RunRecord& record, bool found) = 0;

 protected:
  ~RunObserver() = default;
};

}  // namespace quelm
