// The Windows 9x device enumerator's record of a card: a hardware key and an instance key below
// HKEY_LOCAL_MACHINE\Enum\PCI.
#pragma once

#include "platform/Platform.h"
#include "record/RunRecord.h"

namespace quelm {

// Whether a hardware key whose name contains the card's hardware ID has an instance key whose name
// contains its location (both with case); the first matching pair in enumeration order decides.
[[nodiscard]] bool CheckPciKey(Platform& platform, const CardInfo& card);

}  // namespace quelm
