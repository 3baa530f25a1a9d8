// The card the script is working on, as card detection leaves it.
#pragma once

#include <stdint.h>

#include "config/Capacities.h"
#include "config/Text.h"

namespace quelm {

struct CardInfo {
  Text<kNameCapacity> hardwareId;    // "VEN_xxxx&DEV_xxxx"
  Text<kNameCapacity> location;      // "BUS_xx&DEV_xx&FUNC_xx", or "000800" for an AGP card
  Text<kPathCapacity> installDir;    // base directory plus the system's SubDir entry
  Text<kBusTypeCapacity> busType;    // third field of the matching card entry
  int32_t passFlag = 0;              // 1 when the fourth field begins with "1"
};

}  // namespace quelm
