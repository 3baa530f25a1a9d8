// What the simulated run says about its decisions: the release it is and the name the launcher gives
// it, each card-list entry against the bus, and the key check with what the registry held.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/RunOptions.h"
#include "probe/SystemProbe.h"
#include "support/SimDisk.h"

namespace quelm {
namespace {

using testing::SimDisk;

const std::string kDisk =
    "[Application]\r\nW98=DetectCard,CheckPCIKey,End\r\nNT40=DetectCard\r\n[DetectCard]\r\n"
    "1=4660,22136,PCI,1,0\r\n2=hex,0x3C4D,PCI,1,0\r\n3=6699,15437,AGP,1,0\r\n4=6699,15438,PCI,1,0\r\n";

// Facts of the releases, as Microsoft documents the versions they report: a wrong build, service text
// or version here would make a release take another script.
TEST(RunExplanation, EachReleaseTakesTheScriptOfItsName) {
  const struct {
    const char* alias;
    const char* osName;
  } cases[] = {
      {"win32s", ""},       {"95", "W95A"},       {"95-osr1", "WIN95"}, {"95-osr2", "W95B"},
      {"95-osr21", "W95B"}, {"95-osr25", "W95C"}, {"98", "W98"},        {"98se", "W98"},
      {"me", "WIN95"},      {"nt31", "WINNT"},    {"nt35", "NT35X"},    {"nt351", "NT35X"},
      {"nt4", "NT40"},      {"2000", "WINNT"},    {"xp", "WINNT"},      {"vista", "WINNT"},
      {"7", "WINNT"},       {"8", "WINNT"},       {"10", "WINNT"},      {"11", "WINNT"},
  };
  ASSERT_EQ(std::size(cases), sim::WindowsReleases().size()) << "every release has its case";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.alias);
    SimDisk disk(kDisk);
    tool::ApplySystem(c.alias, disk.machine);
    disk.Run();
    const auto start = disk.machine.EventsOf<sim::StartEvent>().at(0);
    EXPECT_EQ(c.osName, start.osName);
    EXPECT_EQ(sim::ReleaseNamed(c.alias)->label, start.windows);
    EXPECT_NE(std::string::npos, start.standsFor.find(start.windows)) << "a release stands for itself";
  }
}

TEST(RunExplanation, CardListEntriesAgainstTheBus) {
  struct Case {
    const char* name;
    std::vector<std::pair<uint32_t, uint32_t>> cards;  // slot (bus << 8 | device << 3 | function), IDs
    const char* os;
    std::vector<std::vector<std::string>> foundAt;  // per entry tried
    bool found;
  };
  const Case cases[] = {
      {"the third entry's card, twice",
       {{0x0100, 0x3C4D1A2B}, {0x0038, 0x3C4D1A2B}},
       "W98",
       {{}, {}, {"00:07.0", "01:00.0"}},
       true},
      {"the fourth entry's card", {{0x0100, 0x3C4E1A2B}}, "W98", {{}, {}, {}, {"01:00.0"}}, true},
      {"no card", {}, "W98", {{}, {}, {}, {}}, false},
      {"no way to the bus", {{0x0100, 0x3C4D1A2B}}, "NT40", {{}, {}, {}, {}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk(kDisk);
    disk.SetOs(c.os);
    for (const auto& [slot, identification] : c.cards) {
      disk.machine.AddPciFunction(slot >> 8, (slot >> 3) & 31, slot & 7, identification & 0xFFFF,
                                  static_cast<uint16_t>(identification >> 16));
    }
    disk.Run();
    const auto lists = disk.machine.EventsOf<sim::CardListEvent>();
    ASSERT_EQ(1u, lists.size());
    ASSERT_EQ(c.foundAt.size(), lists[0].entries.size());
    for (size_t index = 0; index < c.foundAt.size(); ++index)
      EXPECT_EQ(c.foundAt[index], lists[0].entries[index].foundAt);
    EXPECT_TRUE(lists[0].entries[1].namesCard) << "fields in hexadecimal still name a card, read as 0";
    EXPECT_EQ(c.found, lists[0].found);
    EXPECT_EQ(c.found, !disk.machine.EventsOf<sim::CardEvent>().empty());
  }
}

// The key check's verdicts, each with the registry that gives it; the launcher's own result decides
// "found", and the explanation must agree with it.
TEST(RunExplanation, KeyCheckSaysWhatTheRegistryHeld) {
  struct Case {
    const char* name;
    std::vector<std::string> keys;  // below HKLM
    const char* bus;                // the card entry's bus type
    const char* verdict;
    const char* match;
    const char* missMentions;
  };
  const std::string card = "Enum\\PCI\\VEN_1A2B&DEV_3C4D&SUBSYS_00011A2B";
  const Case cases[] = {
      {"found",
       {card + "\\BUS_01&DEV_00&FUNC_00"},
       "PCI",
       "found",
       "VEN_1A2B&DEV_3C4D&SUBSYS_00011A2B\\BUS_01&DEV_00&FUNC_00",
       ""},
      {"found at 000800 for an AGP card",
       {card + "\\BUS_01&DEV_00&FUNC_00", card + "\\000800"},
       "AGP",
       "found",
       "VEN_1A2B&DEV_3C4D&SUBSYS_00011A2B\\000800",
       ""},
      {"wrong case",
       {"Enum\\PCI\\VEN_1a2b&DEV_3c4d\\BUS_01&DEV_00&FUNC_00"},
       "PCI",
       "wrong-case",
       "",
       "VEN_1a2b&DEV_3c4d"},
      {"wrong location: an AGP card at its bus address",
       {card + "\\BUS_01&DEV_00&FUNC_00"},
       "AGP",
       "wrong-location",
       "",
       "000800"},
      {"no hardware key, the vendor's other card",
       {"Enum\\PCI\\VEN_1A2B&DEV_0001\\BUS_00&DEV_01&FUNC_00"},
       "PCI",
       "no-hardware-key",
       "",
       "VEN_1A2B&DEV_0001"},
      {"no Enum\\PCI", {"Enum\\ISAPNP\\X"}, "PCI", "no-enumerator", "", "Enum\\PCI"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk("[Application]\r\nW98=DetectCard,CheckPCIKey,End\r\n[DetectCard]\r\n1=6699,15437," +
                 std::string(c.bus) + ",1,0\r\n");
    disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
    for (const std::string& key : c.keys) disk.machine.registry.Create(key);
    disk.Run();
    const auto checks = disk.machine.EventsOf<sim::KeyCheckEvent>();
    ASSERT_EQ(1u, checks.size());
    EXPECT_EQ(c.verdict, checks[0].verdict);
    EXPECT_EQ(c.match, checks[0].match);
    EXPECT_EQ(std::string(c.verdict) == "found", checks[0].found);
    EXPECT_NE(std::string::npos, checks[0].nearestMiss.find(c.missMentions)) << checks[0].nearestMiss;
    const bool messageShown = disk.MessageKeys() == std::vector<std::string>{"CheckPCIKey"};
    EXPECT_EQ(!checks[0].found, messageShown) << "the explanation agrees with the launcher";
  }
}

// --usb-supplement writes what the launcher reads, over what a .reg file said.
TEST(RunExplanation, UsbSupplementSwitchWritesWhatTheLauncherReads) {
  const struct {
    const char* name;
    bool inRegistry;
    std::optional<std::string> option;
    int32_t installed;
  } cases[] = {
      {"neither", false, std::nullopt, 0},
      {"from the registry", true, std::nullopt, 1},
      {"yes", false, "yes", 1},
      {"no over the registry", true, "no", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk("[Application]\r\nW95B=ShowUSBMsg,End\r\n");
    if (c.inRegistry)
      disk.machine.registry.SetString(kUsbSupplementKey, kUsbSupplementValue, "USB Supplement");
    tool::RunOptions options;
    options.disk = disk.folder.Path().string();
    options.os = "95-osr2";
    options.usbSupplement = c.option;
    tool::ApplyOptions(options, disk.machine);
    disk.Run();
    EXPECT_EQ(c.installed, disk.machine.EventsOf<sim::StartEvent>().at(0).usbSupplementInstalled);
  }
}

}  // namespace
}  // namespace quelm
