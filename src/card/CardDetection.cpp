// Card lists: the first listed card present on the PCI bus becomes the run's card.
#include "card/CardDetection.h"

#include "config/FieldList.h"

namespace quelm {

bool ReadCardEntry(TextView entry, CardEntry& card) {
  FieldCursor fields(entry);
  TextView vendor;
  TextView device;
  TextView unused;
  card = CardEntry();
  if (!fields.Next(vendor)) return false;
  card.fieldCount = 1;
  if (!fields.Next(device)) return false;
  card.fieldCount = 2;
  card.vendor = ReadDecimal(vendor);
  card.device = ReadDecimal(device);
  // cppcheck-suppress constVariable ; the fields are written through these pointers
  TextView* const later[] = {&card.busType, &card.passFlag, &unused};
  for (TextView* field : later) {
    if (!fields.Next(*field)) break;
    ++card.fieldCount;
  }
  return true;
}

int32_t PassFlagOf(TextView passFlag) {
  return (!passFlag.IsEmpty() && passFlag[0] == '1') ? 1 : 0;
}

bool IsAgpBusType(TextView keptBusType) {
  return EqualsIgnoringCase(keptBusType, "AGP");
}

bool DetectCard(const Profile& profile, SystemProbe& probe, const char* section, CardInfo& card) {
  for (int32_t number = 1;; ++number) {
    Text<16> key;
    Text<kNameCapacity> entry;
    if (!Format(key, "%d", number)) return false;
    profile.Read(section, key.CStr(), entry);
    if (entry.IsEmpty()) return false;

    CardEntry listed;
    if (!ReadCardEntry(entry, listed)) continue;
    if (!probe.FindPciDevice(listed.vendor, listed.device, card.hardwareId, card.location)) continue;
    card.busType.AssignCut(listed.busType);  // only the first 7 characters are kept
    card.passFlag = PassFlagOf(listed.passFlag);
    if (IsAgpBusType(card.busType)) card.location.AssignLiteral("000800");
    return true;
  }
}

}  // namespace quelm
