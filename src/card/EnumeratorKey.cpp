// Confirms that the Windows 9x device enumerator has registered the detected card.
#include "app/LauncherApp.h"

namespace quelm {

int32_t LauncherApp::CheckPciKey() {
  int32_t found = 0;
  NativeHandle enumKey = kNoHandle;
  if (platform_.OpenRegistryKey(Platform::kLocalMachine, "Enum\\PCI", enumKey)) {
    Text<kNameCapacity> name;  // serves both levels
    for (uint32_t index = 0; found == 0 && platform_.EnumRegistryKey(enumKey, index, name.Buffer(), kNameCapacity);
         ++index) {
      name.Seal();
      if (!Contains(name, card.hardwareId)) continue;
      NativeHandle hardwareKey = kNoHandle;
      if (!platform_.OpenRegistryKey(enumKey, name.CStr(), hardwareKey)) continue;
      for (uint32_t instance = 0; platform_.EnumRegistryKey(hardwareKey, instance, name.Buffer(), kNameCapacity);
           ++instance) {
        name.Seal();
        if (Contains(name, card.location)) {
          found = 1;
          break;
        }
      }
      platform_.CloseRegistryKey(hardwareKey);
    }
    platform_.CloseRegistryKey(enumKey);
  }
  if (found == 0) ShowMessage("CheckPCIKey", MessageStyle::kOk);
  return found;
}

}  // namespace quelm
