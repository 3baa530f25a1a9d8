// Confirms that the Windows 9x device enumerator has registered the detected card.
#include "card/EnumeratorKey.h"

namespace quelm {

bool CheckPciKey(Platform& platform, const CardInfo& card) {
  bool found = false;
  NativeHandle enumKey = kNoHandle;
  if (!platform.OpenRegistryKey(Platform::kLocalMachine, "Enum\\PCI", enumKey)) return false;
  Text<kNameCapacity> name;  // serves both levels
  for (uint32_t index = 0; !found && platform.EnumRegistryKey(enumKey, index, name.Buffer(), kNameCapacity);
       ++index) {
    name.Seal();
    if (!Contains(name, card.hardwareId)) continue;
    NativeHandle hardwareKey = kNoHandle;
    if (!platform.OpenRegistryKey(enumKey, name.CStr(), hardwareKey)) continue;
    for (uint32_t instance = 0;
         !found && platform.EnumRegistryKey(hardwareKey, instance, name.Buffer(), kNameCapacity);
         ++instance) {
      name.Seal();
      found = Contains(name, card.location);
    }
    platform.CloseRegistryKey(hardwareKey);
  }
  platform.CloseRegistryKey(enumKey);
  return found;
}

}  // namespace quelm
