// Host tests of the Win32 backend's PCI access: the mechanism #1 port sequence against fake port buses,
// and the reading of the device list's hardware-ID and location texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "win32/PciListing.h"
#include "win32/PciMechanism1.h"

namespace quelm {
namespace {

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%X", value);
  return text;
}

// A configuration-space chipset, or something pretending to be one, behind the port seam. Every
// access is logged as "w32 CF8=80000000", "r32 CF8", "r8 CFD" in the order it happened.
class FakePortBus final : public PciPortBus {
 public:
  enum class Kind {
    kMechanism1,  // 0xCF8 is a 32-bit latch; the data ports answer for the latched function
    kAllOnes,     // an emulation that answers every read with all ones and ignores writes
    kByteLatch,   // 0xCF8 keeps only its low byte, as on a chipset with mechanism #2 only
    kRefusing,    // every access raises an exception (NT without port rights)
  };

  explicit FakePortBus(Kind kind, uint32_t initialLatch = 0)
      : kind_(kind), latch_(kind == Kind::kByteLatch ? initialLatch & 0xFFu : initialLatch) {}

  // Register 0 of a present function, by its configuration address.
  void AddFunction(uint32_t bus, uint32_t device, uint32_t function, uint32_t identification) {
    functions_[PciConfigurationAddress(bus, device, function, 0)] = identification;
  }
  // From now on the system refuses reads of this port.
  void RefuseReadsOf(uint16_t port) { refusedPort_ = port; }

  bool Write32(uint16_t port, uint32_t value) override {
    log.push_back("w32 " + Hex(port) + "=" + Hex(value));
    if (kind_ == Kind::kRefusing) return false;
    if (port == kPciAddressPort && kind_ == Kind::kMechanism1) latch_ = value;
    if (port == kPciAddressPort && kind_ == Kind::kByteLatch) latch_ = value & 0xFFu;
    return true;
  }

  bool Read32(uint16_t port, uint32_t& value) override {
    log.push_back("r32 " + Hex(port));
    if (kind_ == Kind::kRefusing || port == refusedPort_) return false;
    value = (kind_ == Kind::kAllOnes || port != kPciAddressPort) ? 0xFFFFFFFFu : latch_;
    return true;
  }

  bool Read8(uint16_t port, uint8_t& value) override {
    log.push_back("r8 " + Hex(port));
    if (kind_ == Kind::kRefusing || port == refusedPort_) return false;
    uint32_t data = 0xFFFFFFFFu;
    const auto found = functions_.find(latch_);
    if (kind_ == Kind::kMechanism1 && (latch_ & kPciEnableBit) != 0 && found != functions_.end()) {
      data = found->second;
    }
    value = static_cast<uint8_t>(data >> (8 * (port - kPciDataPort)));
    return true;
  }

  uint32_t Latch() const { return latch_; }

  std::vector<std::string> log;

 private:
  Kind kind_;
  uint32_t latch_;
  uint16_t refusedPort_ = 0;
  std::map<uint32_t, uint32_t> functions_;
};

std::string Join(const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) joined += line + "; ";
  return joined;
}

TEST(PciConfigurationAddressTest, PlacesEachNumberInItsField) {
  struct Case {
    const char* name;
    uint32_t bus, device, function, reg;
    uint32_t expected;
  } cases[] = {
      {"first function", 0, 0, 0, 0, 0x80000000u},
      {"bus 1", 1, 0, 0, 0, 0x80010000u},
      {"device 12", 0, 12, 0, 0, 0x80006000u},
      {"function 2 of device 3 on bus 0x12", 0x12, 3, 2, 0, 0x80121A00u},
      {"last function of the last device of the last bus", 255, 31, 7, 0, 0x80FFFF00u},
      {"register rounded down to its dword", 0, 0, 0, 0x3F, 0x8000003Cu},
      {"numbers beyond their fields are cut", 0x100, 0x20, 0x8, 0x100, 0x80000000u},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const uint32_t actual = PciConfigurationAddress(test.bus, test.device, test.function, test.reg);
    EXPECT_EQ(actual, test.expected) << "expected 0x" << Hex(test.expected) << ", got 0x" << Hex(actual);
  }
}

TEST(PciMechanism1Test, PresenceCheckSavesProbesAndRestoresTheAddressLatch) {
  struct Case {
    const char* name;
    FakePortBus::Kind kind;
    bool expectedPresent;
    std::vector<std::string> expectedLog;
    uint32_t expectedLatch;
  } cases[] = {
      {"mechanism #1 chipset",
       FakePortBus::Kind::kMechanism1,
       true,
       {"r32 CF8", "w32 CF8=80000000", "r32 CF8", "w32 CF8=8000A804"},
       0x8000A804u},
      // Wine in its Windows 9x modes: nothing behind the ports.
      {"all-ones emulation",
       FakePortBus::Kind::kAllOnes,
       false,
       {"r32 CF8", "w32 CF8=80000000", "r32 CF8", "w32 CF8=FFFFFFFF"},
       0x8000A804u},
      {"8-bit address register",
       FakePortBus::Kind::kByteLatch,
       false,
       {"r32 CF8", "w32 CF8=80000000", "r32 CF8", "w32 CF8=4"},
       0x4u},
      // Nothing was read, so nothing is written back.
      {"refused ports", FakePortBus::Kind::kRefusing, false, {"r32 CF8"}, 0x8000A804u},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    FakePortBus ports(test.kind, 0x8000A804u);
    PciMechanism1 mechanism(ports);
    EXPECT_EQ(mechanism.IsPresent(), test.expectedPresent);
    EXPECT_EQ(ports.log, test.expectedLog) << "accesses: " << Join(ports.log);
    EXPECT_EQ(ports.Latch(), test.expectedLatch) << "latch 0x" << Hex(ports.Latch());
    // The answer is kept: asking again touches no port.
    const size_t accesses = ports.log.size();
    EXPECT_EQ(mechanism.IsPresent(), test.expectedPresent);
    EXPECT_EQ(ports.log.size(), accesses) << "accesses: " << Join(ports.log);
  }
}

TEST(PciMechanism1Test, ReadsTheFourIdentificationBytesOfTheAddressedFunction) {
  struct Case {
    const char* name;
    uint32_t bus, device, function;
    uint32_t expected;
    const char* expectedAddressWrite;
  } cases[] = {
      {"card at bus 1, device 0, function 0", 1, 0, 0, 0x3C4D1A2Bu, "w32 CF8=80010000"},
      {"host bridge", 0, 0, 0, 0x71908086u, "w32 CF8=80000000"},
      {"second function of a multi-function device", 0, 12, 1, 0x44332211u, "w32 CF8=80006100"},
      {"absent function reads as all ones", 0, 12, 2, 0xFFFFFFFFu, "w32 CF8=80006200"},
      {"absent bus reads as all ones", 255, 31, 7, 0xFFFFFFFFu, "w32 CF8=80FFFF00"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    FakePortBus ports(FakePortBus::Kind::kMechanism1);
    ports.AddFunction(0, 0, 0, 0x71908086u);
    ports.AddFunction(0, 12, 0, 0x12345678u);
    ports.AddFunction(0, 12, 1, 0x44332211u);
    ports.AddFunction(1, 0, 0, 0x3C4D1A2Bu);
    PciMechanism1 mechanism(ports);
    ASSERT_TRUE(mechanism.IsPresent());
    ports.log.clear();
    uint32_t identification = 0xDEADBEEFu;
    ASSERT_TRUE(mechanism.ReadIdentification(test.bus, test.device, test.function, identification));
    EXPECT_EQ(identification, test.expected)
        << "expected 0x" << Hex(test.expected) << ", got 0x" << Hex(identification);
    const std::vector<std::string> expectedLog = {test.expectedAddressWrite, "r8 CFC", "r8 CFD", "r8 CFE",
                                                  "r8 CFF"};
    EXPECT_EQ(ports.log, expectedLog) << "accesses: " << Join(ports.log);
  }
}

TEST(PciMechanism1Test, AbsentOrRefusedPortsAnswerNothing) {
  struct Case {
    const char* name;
    FakePortBus::Kind kind;
  } cases[] = {
      {"all-ones emulation", FakePortBus::Kind::kAllOnes},
      {"8-bit address register", FakePortBus::Kind::kByteLatch},
      {"refused ports", FakePortBus::Kind::kRefusing},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    FakePortBus ports(test.kind);
    PciMechanism1 mechanism(ports);
    uint32_t identification = 0xDEADBEEFu;
    EXPECT_FALSE(mechanism.ReadIdentification(0, 0, 0, identification));
    EXPECT_EQ(identification, 0xDEADBEEFu);
    // Only the presence check touched the ports: no data port was read.
    for (const std::string& access : ports.log) EXPECT_EQ(access.find("CFC"), std::string::npos) << access;
    EXPECT_LE(ports.log.size(), 4u) << "accesses: " << Join(ports.log);
  }
}

TEST(PciMechanism1Test, RefusalAfterTheCheckMakesTheMechanismAbsent) {
  FakePortBus ports(FakePortBus::Kind::kMechanism1);
  ports.AddFunction(0, 0, 0, 0x71908086u);
  PciMechanism1 mechanism(ports);
  uint32_t identification = 0;
  ASSERT_TRUE(mechanism.ReadIdentification(0, 0, 0, identification));
  ports.RefuseReadsOf(0xCFE);
  identification = 0xDEADBEEFu;
  EXPECT_FALSE(mechanism.ReadIdentification(0, 0, 0, identification));
  EXPECT_EQ(identification, 0xDEADBEEFu) << "half-read identification leaked: 0x" << Hex(identification);
  EXPECT_FALSE(mechanism.IsPresent());
  const size_t accesses = ports.log.size();
  EXPECT_FALSE(mechanism.ReadIdentification(0, 0, 0, identification));
  EXPECT_EQ(ports.log.size(), accesses) << "ports used after a refusal: " << Join(ports.log);
}

TEST(PciHardwareIdTest, ReadsVendorAndDeviceFromTheFirstHardwareId) {
  struct Case {
    const char* name;
    const char* text;
    bool expectedOk;
    uint32_t expected;
  } cases[] = {
      {"bare", "PCI\\VEN_1A2B&DEV_3C4D", true, 0x3C4D1A2Bu},
      {"with subsystem and revision", "PCI\\VEN_8086&DEV_7190&SUBSYS_00000000&REV_03", true, 0x71908086u},
      {"lower case", "pci\\ven_10de&dev_0020", true, 0x002010DEu},
      {"three-digit vendor", "PCI\\VEN_1A2&DEV_3C4D", false, 0},
      {"no device", "PCI\\VEN_1A2B", false, 0},
      {"device cut short", "PCI\\VEN_1A2B&DEV_3C", false, 0},
      {"not a hex digit", "PCI\\VEN_1A2G&DEV_3C4D", false, 0},
      {"another bus", "USB\\VID_1A2B&PID_3C4D", false, 0},
      {"no enumerator", "VEN_1A2B&DEV_3C4D", false, 0},
      {"empty", "", false, 0},
      {"null", nullptr, false, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    uint32_t identification = 0xDEADBEEFu;
    EXPECT_EQ(ParsePciHardwareId(test.text, identification), test.expectedOk);
    const uint32_t expected = test.expectedOk ? test.expected : 0xDEADBEEFu;
    EXPECT_EQ(identification, expected)
        << "expected 0x" << Hex(expected) << ", got 0x" << Hex(identification);
  }
}

TEST(PciLocationTest, ReadsTheLastThreeNumbersAsBusDeviceAndFunction) {
  struct Case {
    const char* name;
    const char* text;
    bool expectedOk;
    uint32_t bus, device, function;
  } cases[] = {
      {"card on bus 1", "PCI bus 1, device 0, function 0", true, 1, 0, 0},
      {"highest device and function", "PCI bus 0, device 31, function 7", true, 0, 31, 7},
      {"highest bus", "PCI bus 255, device 2, function 1", true, 255, 2, 1},
      {"slot number first", "PCI Slot 3 (PCI bus 2, device 0, function 0)", true, 2, 0, 0},
      {"slot number of two digits", "PCI Slot 12 (PCI bus 0, device 17, function 0)", true, 0, 17, 0},
      {"German", "PCI-Bus 2, Ger\xe4t 0, Funktion 0", true, 2, 0, 0},
      {"German with a slot", "PCI-Steckplatz 4 (PCI-Bus 1, Ger\xe4t 5, Funktion 2)", true, 1, 5, 2},
      {"French", "Bus PCI 3, p\xe9riph\xe9rique 1, fonction 0", true, 3, 1, 0},
      {"Japanese in Shift-JIS",
       "PCI \x83\x6f\x83\x58 4\x81\x41\x83\x66\x83\x6f\x83\x43\x83\x58 9\x81\x41\x8b\x40\x94\x5c 1", true, 4,
       9, 1},
      {"indirect text of Windows 8 and later",
       "@System32\\drivers\\pci.sys,#65536;PCI bus %1, device %2, function %3;(2,0,0)", true, 2, 0, 0},
      {"a number after the function is read as one", "PCI bus 2, device 3, function 4, slot 9", false, 0, 0,
       0},
      {"two numbers only", "PCI bus 1, device 0", false, 0, 0, 0},
      {"bus out of range", "PCI bus 256, device 0, function 0", false, 0, 0, 0},
      {"device out of range", "PCI bus 0, device 32, function 0", false, 0, 0, 0},
      {"function out of range", "PCI bus 0, device 0, function 8", false, 0, 0, 0},
      {"absurdly long number", "PCI bus 99999999999999, device 0, function 0", false, 0, 0, 0},
      {"no numbers", "on the system board", false, 0, 0, 0},
      {"null", nullptr, false, 0, 0, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    uint32_t bus = 99, device = 99, function = 99;
    EXPECT_EQ(ParsePciLocation(test.text, bus, device, function), test.expectedOk);
    if (test.expectedOk) {
      EXPECT_EQ(bus, test.bus);
      EXPECT_EQ(device, test.device);
      EXPECT_EQ(function, test.function);
    } else {
      EXPECT_EQ(bus, 99u);
      EXPECT_EQ(device, 99u);
      EXPECT_EQ(function, 99u);
    }
  }
}

TEST(PciFunctionTableTest, AnswersOnlyListedFunctionsAndKeepsTheFirstAnswer) {
  const auto table = std::make_unique<PciFunctionTable>();
  table->Add(1, 0, 0, 0x3C4D1A2Bu);
  table->Add(0, 12, 1, 0x44332211u);
  table->Add(1, 0, 0, 0x11111111u);  // a second report of the same function
  struct Case {
    const char* name;
    uint32_t bus, device, function;
    bool expectedFound;
    uint32_t expected;
  } cases[] = {
      {"listed", 1, 0, 0, true, 0x3C4D1A2Bu},
      {"listed second function", 0, 12, 1, true, 0x44332211u},
      {"unlisted first function of a listed device", 0, 12, 0, false, 0},
      {"same device number on another bus", 0, 0, 0, false, 0},
      {"numbers that name no function", 256, 0, 0, false, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    uint32_t identification = 0xDEADBEEFu;
    EXPECT_EQ(table->Find(test.bus, test.device, test.function, identification), test.expectedFound);
    EXPECT_EQ(identification, test.expectedFound ? test.expected : 0xDEADBEEFu);
  }
}

// A machine that lists every function there can be: the last one listed is found like the first.
TEST(PciFunctionTableTest, AWholeBusFits) {
  const auto table = std::make_unique<PciFunctionTable>();
  for (uint32_t slot = 0; slot < kPciSlotCount; ++slot) {
    const PciAddress address = PciAddressOf(slot);
    table->Add(address.bus, address.device, address.function, 0x10000000u + slot);
  }
  for (const uint32_t slot : {0u, 511u, 512u, kPciSlotCount - 1}) {
    const PciAddress address = PciAddressOf(slot);
    uint32_t identification = 0;
    ASSERT_TRUE(table->Find(address.bus, address.device, address.function, identification))
        << "slot " << slot;
    EXPECT_EQ(identification, 0x10000000u + slot);
  }
}

}  // namespace
}  // namespace quelm
