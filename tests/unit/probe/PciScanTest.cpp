// The bus scan's order and tie-breaks, and the one-scan record answering as a fresh scan would.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "probe/PciScan.h"
#include "probe/SystemProbe.h"
#include "sim/SimMachine.h"

namespace quelm {
namespace {

struct Function {
  uint32_t bus, device, function;
  uint16_t vendorId, deviceId;
};

struct FindResult {
  int32_t found;
  std::string hardwareId;
  std::string location;
};

FindResult FindOn(const std::vector<Function>& bus, int32_t vendor, int32_t device) {
  sim::SimMachine machine;
  for (const Function& f : bus) machine.AddPciFunction(f.bus, f.device, f.function, f.vendorId, f.deviceId);
  SystemProbe probe(machine);
  Text<kNameCapacity> hardwareId;
  Text<kNameCapacity> location;
  hardwareId.AssignLiteral("untouched");
  location.AssignLiteral("untouched");
  const int32_t found = probe.FindPciDevice(vendor, device, hardwareId, location);
  return {found, hardwareId.CStr(), location.CStr()};
}

TEST(FindPciDevice, ScanOrderAndTieBreaks) {
  struct Case {
    const char* name;
    std::vector<Function> bus;
    int32_t vendor;
    int32_t device;
    FindResult expected;
  };
  const Case cases[] = {
      {"decimal IDs give upper-case hexadecimal texts",
       {{1, 0, 0, 0x1A2B, 0x3C4D}},
       6699,
       15437,
       {1, "VEN_1A2B&DEV_3C4D", "BUS_01&DEV_00&FUNC_00"}},
      {"two identical cards: the later bus wins",
       {{0, 12, 0, 0x1A2B, 0x3C4D}, {1, 0, 0, 0x1A2B, 0x3C4D}},
       6699,
       15437,
       {1, "VEN_1A2B&DEV_3C4D", "BUS_01&DEV_00&FUNC_00"}},
      {"two identical cards on one bus: the higher device wins",
       {{0, 20, 0, 0x1A2B, 0x3C4D}, {0, 9, 0, 0x1A2B, 0x3C4D}},
       6699,
       15437,
       {1, "VEN_1A2B&DEV_3C4D", "BUS_00&DEV_14&FUNC_00"}},
      {"multi-function device: the lowest matching function",
       {{2, 3, 0, 0x8086, 0x7110}, {2, 3, 1, 0x1A2B, 0x3C4D}, {2, 3, 2, 0x1A2B, 0x3C4D}},
       6699,
       15437,
       {1, "VEN_1A2B&DEV_3C4D", "BUS_02&DEV_03&FUNC_01"}},
      {"function 7 is probed even without function 0",
       {{0, 31, 7, 0x1A2B, 0x3C4D}},
       6699,
       15437,
       {1, "VEN_1A2B&DEV_3C4D", "BUS_00&DEV_1F&FUNC_07"}},
      {"highest address",
       {{255, 31, 7, 0x1A2B, 0x3C4D}},
       6699,
       15437,
       {1, "VEN_1A2B&DEV_3C4D", "BUS_FF&DEV_1F&FUNC_07"}},
      {"no match leaves the texts alone",
       {{1, 0, 0, 0x1A2B, 0x3C4D}},
       6699,
       15438,
       {0, "untouched", "untouched"}},
      {"vendor and device swapped do not match",
       {{1, 0, 0, 0x1A2B, 0x3C4D}},
       15437,
       6699,
       {0, "untouched", "untouched"}},
      {"only the low 16 bits of the request count",
       {{1, 0, 0, 0x1A2B, 0x3C4D}},
       6699 + 65536,
       15437 - 65536,
       {1, "VEN_1A2B&DEV_3C4D", "BUS_01&DEV_00&FUNC_00"}},
      {"65535/65535 matches the last empty slot",
       {{1, 0, 0, 0x1A2B, 0x3C4D}},
       65535,
       65535,
       {1, "VEN_FFFF&DEV_FFFF", "BUS_FF&DEV_1F&FUNC_00"}},
      {"65535/65535 skips filled functions of the last device",
       {{255, 31, 0, 0x1A2B, 0x3C4D}, {255, 31, 1, 0x1A2B, 0x3C4E}},
       65535,
       65535,
       {1, "VEN_FFFF&DEV_FFFF", "BUS_FF&DEV_1F&FUNC_02"}},
      {"65535/65535 takes the gap below the filled functions of the last device",
       {{255, 31, 1, 0x1A2B, 0x3C4D}, {255, 31, 2, 0x1A2B, 0x3C4E}},
       65535,
       65535,
       {1, "VEN_FFFF&DEV_FFFF", "BUS_FF&DEV_1F&FUNC_00"}},
      {"multi-function device that comes first: its lowest function",
       {{0, 5, 0, 0x1A2B, 0x3C4D}, {0, 5, 1, 0x1A2B, 0x3C4D}},
       6699,
       15437,
       {1, "VEN_1A2B&DEV_3C4D", "BUS_00&DEV_05&FUNC_00"}},
      {"vendor 0 requested, nothing at vendor 0",
       {{1, 0, 0, 0x1A2B, 0x3C4D}},
       0,
       0,
       {0, "untouched", "untouched"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FindResult actual = FindOn(c.bus, c.vendor, c.device);
    EXPECT_EQ(c.expected.found, actual.found);
    EXPECT_EQ(c.expected.hardwareId, actual.hardwareId);
    EXPECT_EQ(c.expected.location, actual.location);
  }
}

TEST(FindPciDevice, LastDeviceFullyPopulatedMovesTheEmptySlotMatchBack) {
  std::vector<Function> bus;
  for (uint32_t function = 0; function < 8; ++function) bus.push_back({255, 31, function, 0x1000, 0x0001});
  const FindResult actual = FindOn(bus, 65535, 65535);
  EXPECT_EQ("BUS_FF&DEV_1E&FUNC_00", actual.location);
}

TEST(PciBusRecord, OneScanPerRunAnswersEveryLaterRequest) {
  sim::SimMachine machine;
  machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
  SystemProbe probe(machine);
  Text<kNameCapacity> hardwareId;
  Text<kNameCapacity> location;
  for (int32_t device = 0; device < 50; ++device)
    EXPECT_FALSE(probe.FindPciDevice(6699, device, hardwareId, location));
  EXPECT_TRUE(probe.FindPciDevice(6699, 15437, hardwareId, location));
  EXPECT_TRUE(probe.FindPciDevice(65535, 65535, hardwareId, location));
  EXPECT_EQ(uint64_t{256} * 32 * 8, machine.PciReads());
}

// Random buses, dense and sparse, asked for present IDs, absent IDs and all ones: the record must
// agree with a fresh scan on every answer, also when it overflows and falls back to scanning.
TEST(PciBusRecord, AgreesWithAFreshScanOnRandomBuses) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 60; ++round) {
    sim::SimMachine machine;
    const bool crowded = round % 10 == 9;  // more functions than the record holds
    const unsigned functions = crowded ? PciBusRecord::kCapacity + 40 : random() % 40;
    const uint32_t busLimit = crowded || round % 3 == 0 ? 256 : 3;
    std::vector<uint32_t> present;
    for (unsigned i = 0; i < functions; ++i) {
      const uint16_t vendorId = static_cast<uint16_t>(0x1000 + random() % 4);
      const uint16_t deviceId = static_cast<uint16_t>(random() % 3 == 0 ? 0xFFFF : random() % 4);
      machine.AddPciFunction(random() % busLimit, random() % 32, random() % 8, vendorId, deviceId);
      present.push_back(static_cast<uint32_t>(deviceId) << 16 | vendorId);
    }
    PciBusRecord record;
    record.Scan(machine);
    SystemProbe probe(machine);
    EXPECT_EQ(!crowded, record.IsComplete());
    std::vector<uint32_t> asked = present;
    asked.push_back(kAbsentIdentification);
    asked.push_back(0x00000000);
    asked.push_back(0xFFFF1000);
    for (const uint32_t identification : asked) {
      PciAddress fromScan{99, 99, 99};
      PciAddress fromRecord{99, 99, 99};
      const bool scanned = ScanForDevice(machine, identification, fromScan);
      Text<kNameCapacity> hardwareId;
      Text<kNameCapacity> location;
      const bool recorded =
          probe.FindPciDevice(static_cast<int32_t>(identification & 0xFFFF),
                              static_cast<int32_t>(identification >> 16), hardwareId, location);
      ASSERT_EQ(scanned, recorded) << "round " << round << " id " << std::hex << identification;
      if (!scanned) continue;
      Text<kNameCapacity> expected;
      ASSERT_TRUE(FormatLocation(expected, fromScan));
      ASSERT_STREQ(expected.CStr(), location.CStr())
          << "round " << round << " id " << std::hex << identification;
      if (record.IsComplete()) {
        ASSERT_TRUE(record.Find(identification, fromRecord));
        ASSERT_EQ(fromScan.bus * 256 + fromScan.device * 8 + fromScan.function,
                  fromRecord.bus * 256 + fromRecord.device * 8 + fromRecord.function);
      }
    }
  }
}

}  // namespace
}  // namespace quelm
