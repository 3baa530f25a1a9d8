// Card lists: the numbered entries of a QUELM.INI section, matched against the PCI bus in order.
#pragma once

#include <stdint.h>

#include "config/Profile.h"
#include "config/Text.h"
#include "probe/SystemProbe.h"
#include "record/RunRecord.h"

namespace quelm {

// One card entry as the launcher reads it, by the comma rule: vendor and device as decimal numbers,
// then bus type, pass flag and a fifth field without effect. Missing fields read as empty.
struct CardEntry {
  int32_t vendor = 0;
  int32_t device = 0;
  TextView busType;
  TextView passFlag;
  unsigned fieldCount = 0;  // fields present, up to the fifth
};

// False when the entry lacks its vendor or device field: it names no card, and the list goes on.
[[nodiscard]] bool ReadCardEntry(TextView entry, CardEntry& card);

// What a matching entry's fields make of the card: the pass flag its fourth field gives (1 when it
// begins with "1"), and whether the bus type the card record keeps of the third field (its first 7
// characters) makes the card an AGP card, handed over at location 000800.
[[nodiscard]] int32_t PassFlagOf(TextView passFlag);
[[nodiscard]] bool IsAgpBusType(TextView keptBusType);

// Tries section `section`'s entries from key "1" up until a key is missing; the first whose card is
// on the bus fills `card`'s hardware ID, location, bus type and pass flag. False when none is, with
// `card` as it was.
[[nodiscard]] bool DetectCard(const Profile& profile, SystemProbe& probe, const char* section,
                              CardInfo& card);

}  // namespace quelm
