// Card lists: entry rules, tie-breaks between entries, and what the card record keeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "card/CardDetection.h"
#include "support/SimDisk.h"

namespace quelm {
namespace {

using testing::SimDisk;

struct PciFunction {
  uint32_t bus, device, function;
  uint16_t vendorId, deviceId;
};

// The card used throughout: vendor 1A2B (6699), device 3C4D (15437) at bus 1, device 0, function 0.
const std::vector<PciFunction> kOneCard = {{0, 0, 0, 0x8086, 0x7190}, {1, 0, 0, 0x1A2B, 0x3C4D}};

struct Outcome {
  bool found;
  std::string hardwareId;
  std::string location;
  std::string busType;
  int32_t passFlag;
};

Outcome RunCardList(const std::string& entries, const std::vector<PciFunction>& bus,
                    const std::string& script = "DetectCard,End", const std::string& section = "DetectCard") {
  SimDisk disk("[Application]\r\nW98=" + script + "\r\n[" + section + "]\r\n" + entries +
               "[Message]\r\nDetectCard=No card\r\n");
  for (const PciFunction& f : bus)
    disk.machine.AddPciFunction(f.bus, f.device, f.function, f.vendorId, f.deviceId);
  disk.Run();
  const auto cards = disk.machine.EventsOf<sim::CardEvent>();
  const bool found = disk.QuitRequests() == 1;
  EXPECT_EQ(found ? 0u : 1u, disk.machine.EventsOf<sim::MessageEvent>().size());
  if (cards.empty()) return {found, "", "", "", 0};
  const sim::CardEvent& card = cards.back();
  return {found, card.hardwareId, card.location, card.busType, card.passFlag};
}

TEST(DetectCard, EntryRules) {
  struct Case {
    const char* name;
    std::string entries;
    std::vector<PciFunction> bus;
    Outcome expected;
  };
  const std::string kAt = "BUS_01&DEV_00&FUNC_00";
  const std::string kId = "VEN_1A2B&DEV_3C4D";
  const Case cases[] = {
      {"plain PCI entry", "1=6699,15437,PCI,1,0\r\n", kOneCard, {true, kId, kAt, "PCI", 1}},
      {"absent card then present card",
       "1=6699,15438,PCI,0,0\r\n2=6699,15437,PCI,1,0\r\n",
       kOneCard,
       {true, kId, kAt, "PCI", 1}},
      {"first matching entry wins",
       "1=6699,15437,PCI,0,0\r\n2=6699,15437,AGP,1,0\r\n",
       kOneCard,
       {true, kId, kAt, "PCI", 0}},
      {"no entry 1", "2=6699,15437,PCI,1,0\r\n", kOneCard, {false, "", "", "", 0}},
      {"gap in the keys ends the list",
       "1=6699,15438,PCI,1,0\r\n3=6699,15437,PCI,1,0\r\n",
       kOneCard,
       {false, "", "", "", 0}},
      {"empty list", "", kOneCard, {false, "", "", "", 0}},
      {"AGP in lower case", "1=6699,15437,agp,1,0\r\n", kOneCard, {true, kId, "000800", "agp", 1}},
      {"AGP with a leading blank is not AGP",
       "1=6699,15437, AGP,1,0\r\n",
       kOneCard,
       {true, kId, kAt, " AGP", 1}},
      {"AGP with a suffix is not AGP", "1=6699,15437,AGPX,1,0\r\n", kOneCard, {true, kId, kAt, "AGPX", 1}},
      {"pass flag 10 counts its first character",
       "1=6699,15437,PCI,10,0\r\n",
       kOneCard,
       {true, kId, kAt, "PCI", 1}},
      {"pass flag 0", "1=6699,15437,PCI,0,0\r\n", kOneCard, {true, kId, kAt, "PCI", 0}},
      {"pass flag with a leading blank", "1=6699,15437,PCI, 1,0\r\n", kOneCard, {true, kId, kAt, "PCI", 0}},
      {"pass flag yes", "1=6699,15437,PCI,yes,0\r\n", kOneCard, {true, kId, kAt, "PCI", 0}},
      {"blanks after every comma", "1= 6699, 15437, AGP, 1, 0\r\n", kOneCard, {true, kId, kAt, " AGP", 0}},
      {"doubled comma shifts nothing into emptiness",
       "1=6699,15437,,AGP,1,0\r\n",
       kOneCard,
       {true, kId, "000800", "AGP", 1}},
      {"hexadecimal with 0x reads as zero", "1=0x1A2B,0x3C4D,PCI,1,0\r\n", kOneCard, {false, "", "", "", 0}},
      {"0x matches a vendor 0 device",
       "1=0x1A2B,0x3C4D,PCI,1,0\r\n",
       {{3, 4, 0, 0x0000, 0x0000}},
       {true, "VEN_0000&DEV_0000", "BUS_03&DEV_04&FUNC_00", "PCI", 1}},
      {"missing fields of a matching entry read as empty",
       "1=6699,15437\r\n",
       kOneCard,
       {true, kId, kAt, "", 0}},
      {"entry without a device field is skipped",
       "1=6699\r\n2=6699,15437,PCI,1,0\r\n",
       kOneCard,
       {true, kId, kAt, "PCI", 1}},
      {"entry of commas only is skipped",
       "1=,,,\r\n2=6699,15437,PCI,1,0\r\n",
       kOneCard,
       {true, kId, kAt, "PCI", 1}},
      {"bus type cut to seven characters",
       "1=6699,15437,PCIEXPRESS,1,0\r\n",
       kOneCard,
       {true, kId, kAt, "PCIEXPR", 1}},
      {"over-long numbers wrap to their low 16 bits",
       "1=72235,-50099,PCI,1,0\r\n",
       kOneCard,
       {true, kId, kAt, "PCI", 1}},
      {"65535/65535 matches an empty slot",
       "1=65535,65535,PCI,1,0\r\n",
       kOneCard,
       {true, "VEN_FFFF&DEV_FFFF", "BUS_FF&DEV_1F&FUNC_00", "PCI", 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome actual = RunCardList(c.entries, c.bus);
    EXPECT_EQ(c.expected.found, actual.found);
    EXPECT_EQ(c.expected.hardwareId, actual.hardwareId);
    EXPECT_EQ(c.expected.location, actual.location);
    EXPECT_EQ(c.expected.busType, actual.busType);
    EXPECT_EQ(c.expected.passFlag, actual.passFlag);
  }
}

TEST(DetectCard, SuffixedTokensNameTheirOwnSectionAndMessage) {
  SimDisk disk(
      "[Application]\r\nW98=detectcardA,DetectCard2,End\r\n[detectcardA]\r\n1=6699,15437,AGP,1,0\r\n"
      "[DetectCard2]\r\n1=1,2,PCI,1,0\r\n[Message]\r\nDetectCard=Plain\r\nDetectCard2=Second list\r\n");
  disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
  disk.Run();
  const auto cards = disk.machine.EventsOf<sim::CardEvent>();
  ASSERT_EQ(1u, cards.size());
  EXPECT_EQ("000800", cards[0].location);
  const auto messages = disk.machine.EventsOf<sim::MessageEvent>();
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("DetectCard2", messages[0].key);
  EXPECT_EQ("Second list", messages[0].text);
  EXPECT_EQ(0u, disk.QuitRequests());
}

TEST(DetectCard, LaterListOverwritesTheCardAndAllListsShareOneScan) {
  SimDisk disk(
      "[Application]\r\nW98=DetectCard,DetectCardB,CheckPCIKey,End\r\n[DetectCard]\r\n1=6699,15437,AGP,1,"
      "0\r\n"
      "[DetectCardB]\r\n1=6699,15440,PCI,0,0\r\n2=32902,28944,PCI,0,0\r\n");
  disk.machine.AddPciFunction(0, 7, 0, 0x8086, 0x7110);
  disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
  disk.machine.registry.Create("Enum\\PCI\\VEN_8086&DEV_7110&SUBSYS_00000000&REV_01\\BUS_00&DEV_07&FUNC_00");
  disk.Run();
  const auto cards = disk.machine.EventsOf<sim::CardEvent>();
  ASSERT_EQ(2u, cards.size());
  EXPECT_EQ("VEN_8086&DEV_7110", cards[1].hardwareId);
  EXPECT_EQ("BUS_00&DEV_07&FUNC_00", cards[1].location);
  EXPECT_EQ(0, cards[1].passFlag);
  EXPECT_TRUE(disk.MessageKeys().empty()) << "the enumerator key of the second card is there";
  EXPECT_EQ(uint64_t{256} * 32 * 8, disk.machine.PciReads());
}

// One entry read on its own, without a disk: the numbers, the text fields and how many fields it has.
TEST(ReadCardEntry, FieldsByTheCommaRule) {
  struct Case {
    const char* entry;
    bool namesCard;
    int32_t vendor, device;
    const char* busType;
    const char* passFlag;
    unsigned fieldCount;
  };
  const Case cases[] = {
      {"6699,15437,AGP,1,0", true, 6699, 15437, "AGP", "1", 5},
      {"6699,15437,AGP,1,0,extra", true, 6699, 15437, "AGP", "1", 5},  // fields after the fifth are not read
      {",,6699,,15437,,PCI", true, 6699, 15437, "PCI", "", 3},
      {" 6699, 15437, AGP", true, 6699, 15437, " AGP", "", 3},
      {"0x1A2B,0x3C4D", true, 0, 0, "", "", 2},
      {"6699", false, 0, 0, "", "", 1},
      {",,,", false, 0, 0, "", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    CardEntry entry;
    EXPECT_EQ(c.namesCard, ReadCardEntry(c.entry, entry));
    EXPECT_EQ(c.fieldCount, entry.fieldCount);
    if (!c.namesCard) continue;
    EXPECT_EQ(c.vendor, entry.vendor);
    EXPECT_EQ(c.device, entry.device);
    EXPECT_EQ(std::string(c.busType), std::string(entry.busType.chars, entry.busType.length));
    EXPECT_EQ(std::string(c.passFlag), std::string(entry.passFlag.chars, entry.passFlag.length));
  }
}

// Whether a card on the bus can be found at all depends on how the real program reaches the bus there.
TEST(DetectCard, TheBusIsReachableAsTheSystemAllows) {
  struct Case {
    const char* os;
    sim::PciAccess access;
    bool found;
    const char* accessInEffect;
  };
  const Case cases[] = {
      {"W95A", sim::PciAccess::kAuto, true, "ports"},
      {"W98", sim::PciAccess::kAuto, true, "ports"},
      {"WIN95", sim::PciAccess::kAuto, true, "ports"},        // Windows Me: a 9x system
      {"WINNT", sim::PciAccess::kAuto, true, "device-list"},  // Windows 2000 and later have SetupAPI
      {"NT40", sim::PciAccess::kAuto, false, "none"},         // no ports for programs, no SetupAPI
      {"NT35X", sim::PciAccess::kAuto, false, "none"},
      {"NT31", sim::PciAccess::kAuto, false, "none"},
      {"NT40", sim::PciAccess::kDeviceList, true, "device-list"},  // a SetupAPI redistributable, or Wine
      {"W98", sim::PciAccess::kNone, false, "none"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.os) + " with access " + sim::PciAccessName(c.access));
    SimDisk disk("[Application]\r\n" + std::string(c.os) +
                 "=DetectCard,End\r\n[DetectCard]\r\n1=6699,15437,PCI,1,0\r\n");
    disk.SetOs(c.os);
    disk.machine.pciAccess = c.access;
    disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
    disk.Run();
    EXPECT_EQ(c.found, disk.machine.EventsOf<sim::CardEvent>().size() == 1);
    EXPECT_EQ(c.found ? std::vector<std::string>{} : std::vector<std::string>{"DetectCard"},
              disk.MessageKeys());
    ASSERT_EQ(1u, disk.machine.EventsOf<sim::StartEvent>().size());
    EXPECT_EQ(c.accessInEffect, disk.machine.EventsOf<sim::StartEvent>()[0].pciAccess);
  }
}

}  // namespace
}  // namespace quelm
