// PCI through SetupAPI's list of present devices: Windows 2000 and later, where programs get no ports.
#include "win32/SetupApiDeviceList.h"

#include <windows.h>
#include <setupapi.h>

#include "config/Capacities.h"
#include "win32/SystemExports.h"

namespace quelm {

namespace {

// SetupAPI is not part of Windows 95 or NT 4.0, so it is never imported: the launcher must start
// where it is missing.
using GetClassDevsFunction = HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, DWORD);
using EnumDeviceInfoFunction = BOOL(WINAPI*)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
using GetDeviceRegistryPropertyFunction = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE,
                                                        DWORD, PDWORD);
using DestroyDeviceInfoListFunction = BOOL(WINAPI*)(HDEVINFO);

struct SetupApi {
  GetClassDevsFunction getClassDevs;
  EnumDeviceInfoFunction enumDeviceInfo;
  GetDeviceRegistryPropertyFunction getDeviceRegistryProperty;
  DestroyDeviceInfoListFunction destroyDeviceInfoList;
};

bool LoadSetupApi(SetupApi& api) {
  const HMODULE library = LoadLibraryA("SETUPAPI");
  if (library == nullptr) return false;
  api.getClassDevs = FindExport<GetClassDevsFunction>(library, "SetupDiGetClassDevsA");
  api.enumDeviceInfo = FindExport<EnumDeviceInfoFunction>(library, "SetupDiEnumDeviceInfo");
  api.getDeviceRegistryProperty =
      FindExport<GetDeviceRegistryPropertyFunction>(library, "SetupDiGetDeviceRegistryPropertyA");
  api.destroyDeviceInfoList =
      FindExport<DestroyDeviceInfoListFunction>(library, "SetupDiDestroyDeviceInfoList");
  // The library stays loaded: the table is built once per run, and the process ends soon after.
  return api.getClassDevs != nullptr && api.enumDeviceInfo != nullptr &&
         api.getDeviceRegistryProperty != nullptr && api.destroyDeviceInfoList != nullptr;
}

// A text property; only its first string counts when it is a list.
bool ReadTextProperty(const SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, char* text,
                      DWORD size) {
  for (DWORD index = 0; index < size; ++index) text[index] = '\0';
  // Two bytes kept back: the last string of a list stays terminated even when the list was cut.
  return api.getDeviceRegistryProperty(set, &device, property, nullptr, reinterpret_cast<PBYTE>(text),
                                       size - 2, nullptr) != FALSE;
}

bool ReadNumberProperty(const SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property,
                        DWORD& value) {
  value = 0;
  return api.getDeviceRegistryProperty(set, &device, property, nullptr, reinterpret_cast<PBYTE>(&value),
                                       sizeof(value), nullptr) != FALSE;
}

}  // namespace

bool SetupApiDeviceList::Detect() {
  SetupApi api;
  if (!LoadSetupApi(api)) return false;
  const HDEVINFO set = api.getClassDevs(nullptr, "PCI", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return false;
  char text[kNameCapacity * 2];
  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA device;
    ZeroMemory(&device, sizeof(device));
    device.cbSize = sizeof(device);
    if (api.enumDeviceInfo(set, index, &device) == FALSE) break;
    uint32_t identification = 0;
    if (!ReadTextProperty(api, set, device, SPDRP_HARDWAREID, text, sizeof(text)) ||
        !ParsePciHardwareId(text, identification)) {
      continue;
    }
    uint32_t busNumber = 0;
    uint32_t deviceNumber = 0;
    uint32_t functionNumber = 0;
    DWORD busValue = 0;
    DWORD address = 0;
    if (ReadNumberProperty(api, set, device, SPDRP_BUSNUMBER, busValue) &&
        ReadNumberProperty(api, set, device, SPDRP_ADDRESS, address)) {
      busNumber = busValue;
      deviceNumber = address >> 16;
      functionNumber = address & 0xFFFFu;
    } else if (!ReadTextProperty(api, set, device, SPDRP_LOCATION_INFORMATION, text, sizeof(text)) ||
               !ParsePciLocation(text, busNumber, deviceNumber, functionNumber)) {
      continue;
    }
    if (IsPciAddress(busNumber, deviceNumber, functionNumber)) {
      table_.Add(busNumber, deviceNumber, functionNumber, identification);
    }
  }
  api.destroyDeviceInfoList(set);
  return true;
}

PciAnswer SetupApiDeviceList::Read(uint32_t bus, uint32_t device, uint32_t function,
                                   uint32_t& identification) {
  return table_.Find(bus, device, function, identification) ? PciAnswer::kPresent : PciAnswer::kAbsent;
}

}  // namespace quelm
