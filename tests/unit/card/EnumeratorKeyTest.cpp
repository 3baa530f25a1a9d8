// The enumerator key check: hardware keys by substring with case, instance keys below them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/SimDisk.h"

namespace quelm {
namespace {

using testing::SimDisk;

TEST(CheckPciKey, FindsTheDetectedCardsInstanceKey) {
  const std::string kHardware = "Enum\\PCI\\VEN_1A2B&DEV_3C4D&SUBSYS_00011A2B&REV_02";
  struct Case {
    const char* name;
    std::string script;
    std::string busType;              // of the card entry: AGP makes the location "000800"
    std::vector<std::string> keys;    // created below HKEY_LOCAL_MACHINE
    std::vector<std::string> denied;  // keys that refuse to open
    bool found;
  };
  const Case cases[] = {
      {"qualifiers after the hardware ID",
       "DetectCard,CheckPCIKey,End",
       "PCI",
       {kHardware + "\\BUS_01&DEV_00&FUNC_00"},
       {},
       true},
      {"AGP location needs its own instance key",
       "DetectCard,CheckPCIKey,End",
       "AGP",
       {kHardware + "\\BUS_01&DEV_00&FUNC_00"},
       {},
       false},
      {"AGP location with 000800", "DetectCard,CheckPCIKey,End", "AGP", {kHardware + "\\000800"}, {}, true},
      {"instance name containing the location",
       "DetectCard,CheckPCIKey,End",
       "PCI",
       {kHardware + "\\XBUS_01&DEV_00&FUNC_00Y"},
       {},
       true},
      {"instance under another card only",
       "DetectCard,CheckPCIKey,End",
       "PCI",
       {"Enum\\PCI\\VEN_8086&DEV_7190\\BUS_01&DEV_00&FUNC_00", kHardware + "\\BUS_02&DEV_00&FUNC_00"},
       {},
       false},
      {"lower-case hexadecimal does not match",
       "DetectCard,CheckPCIKey,End",
       "PCI",
       {"Enum\\PCI\\VEN_1a2b&DEV_3c4d\\BUS_01&DEV_00&FUNC_00"},
       {},
       false},
      {"no card detected: any instance key will do",
       "CheckPCIKey,End",
       "PCI",
       {"Enum\\PCI\\VEN_8086&DEV_7190\\BUS_00&DEV_00&FUNC_00"},
       {},
       true},
      {"no card detected and no instance keys",
       "CheckPCIKey,End",
       "PCI",
       {"Enum\\PCI\\VEN_8086&DEV_7190"},
       {},
       false},
      {"unopenable hardware key is passed over",
       "DetectCard,CheckPCIKey,End",
       "PCI",
       {kHardware + "&A\\BUS_01&DEV_00&FUNC_00", kHardware + "&B\\BUS_01&DEV_00&FUNC_00"},
       {kHardware + "&A"},
       true},
      {"the only matching key refuses to open",
       "DetectCard,CheckPCIKey,End",
       "PCI",
       {kHardware + "\\BUS_01&DEV_00&FUNC_00"},
       {kHardware},
       false},
      {"no Enum\\PCI at all", "DetectCard,CheckPCIKey,End", "PCI", {"Enum\\Root"}, {}, false},
      {"Enum\\PCI refuses to open",
       "DetectCard,CheckPCIKey,End",
       "PCI",
       {kHardware + "\\BUS_01&DEV_00&FUNC_00"},
       {"Enum\\PCI"},
       false},
      {"suffix and case of the token do not change the message",
       "DetectCard,checkpcikeyAgain,End",
       "PCI",
       {},
       {},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk("[Application]\r\nW98=" + c.script + "\r\n[DetectCard]\r\n1=6699,15437," + c.busType +
                 ",1,0\r\n[Message]\r\nCheckPCIKey=Not registered\r\n");
    disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
    for (const std::string& key : c.keys) disk.machine.registry.Create(key);
    for (const std::string& key : c.denied) disk.machine.registry.Find(key)->accessDenied = true;
    disk.Run();
    EXPECT_EQ(c.found ? 1u : 0u, disk.QuitRequests());
    EXPECT_EQ(c.found ? std::vector<std::string>{} : std::vector<std::string>{"CheckPCIKey"},
              disk.MessageKeys());
    EXPECT_EQ(0u, disk.machine.OpenHandles()) << "registry keys left open";
  }
}

}  // namespace
}  // namespace quelm
