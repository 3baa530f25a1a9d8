// The run record: what the launcher knows about its run, filled by start-up and by the commands.
#pragma once

#include <stdint.h>

#include "config/Capacities.h"
#include "config/Text.h"

namespace quelm {

// The card the script is working on, as card detection leaves it.
struct CardInfo {
  Text<kNameCapacity> hardwareId;  // "VEN_xxxx&DEV_xxxx"
  Text<kNameCapacity> location;    // "BUS_xx&DEV_xx&FUNC_xx", or "000800" for an AGP card
  Text<kPathCapacity> installDir;  // base directory plus the system's SubDir entry
  Text<kBusTypeCapacity> busType;  // third field of the matching card entry
  int32_t passFlag = 0;            // 1 when the fourth field begins with "1"; handed on as a number
};

struct RunRecord {
  Text<kPathCapacity> iniPath;  // the base directory and "\QUELM.INI"; empty when that would not fit
  bool usbSupplementInstalled = false;
  Text<kOsNameCapacity> osName;  // empty for a Windows version the launcher has no name for
  Text<kNameCapacity> baseDir;   // also the value of "[CWD]"
  CardInfo card;
  int32_t exitCode = 0;  // the last installer program's, or the system's error when it could not start
};

}  // namespace quelm
