// Telling AGP functions from PCI ones by the capability list, over planted and captured configuration spaces.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pci/AgpCapability.h"
#include "support/ConfigurationSpace.h"

namespace quelm::tool {
namespace {

using testing::kStatusWithList;
using testing::kStatusWithoutList;

std::vector<uint8_t> Space(size_t size, uint16_t status, uint8_t start,
                           const std::vector<testing::Capability>& list, uint8_t headerType = 0x00) {
  return testing::PlantedSpace(size, 0x3C4D1A2B, status, start, list, headerType);
}

std::vector<uint8_t> Captured(const std::string& name) {
  std::ifstream stream(QUELM_TEST_DATA_DIR "/pci-config/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> Head(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

const char* Named(AgpCapability capability) {
  switch (capability) {
    case AgpCapability::kPresent:
      return "present";
    case AgpCapability::kAbsent:
      return "absent";
    case AgpCapability::kUnknown:
      return "unknown";
  }
  return "?";
}

TEST(FindAgpCapability, WalksTheListAsFarAsTheBytesReadAndNoFurther) {
  constexpr uint16_t kList = kStatusWithList;
  constexpr uint16_t kNoList = kStatusWithoutList;
  struct Case {
    const char* name;
    std::vector<uint8_t> configuration;
    AgpCapability expected;
    const char* why;
  };
  const Case cases[] = {
      {"AGP first in the list (a 440BX host bridge)", Space(256, kList, 0xA0, {{0xA0, 0x02, 0x00}}),
       AgpCapability::kPresent, ""},
      {"AGP after power management", Space(256, kList, 0x60, {{0x60, 0x01, 0x44}, {0x44, 0x02, 0x00}}),
       AgpCapability::kPresent, ""},
      {"power management and MSI only", Space(256, kList, 0x50, {{0x50, 0x01, 0x60}, {0x60, 0x05, 0x00}}),
       AgpCapability::kAbsent, ""},
      {"list bit clear: a list in the bytes does not count", Space(256, kNoList, 0xA0, {{0xA0, 0x02, 0x00}}),
       AgpCapability::kAbsent, ""},
      {"list bit set, list empty", Space(256, kList, 0x00, {}), AgpCapability::kAbsent, ""},
      {"a capability pointing at itself", Space(256, kList, 0x40, {{0x40, 0x01, 0x40}}),
       AgpCapability::kAbsent, ""},
      {"two capabilities pointing at each other",
       Space(256, kList, 0x40, {{0x40, 0x01, 0x80}, {0x80, 0x05, 0x40}}), AgpCapability::kAbsent, ""},
      {"a loop with AGP in it", Space(256, kList, 0x40, {{0x40, 0x01, 0x80}, {0x80, 0x02, 0x40}}),
       AgpCapability::kPresent, ""},
      {"the pointers' two low bits are reserved",
       Space(256, kList, 0x63, {{0x60, 0x01, 0x47}, {0x44, 0x02, 0x00}}), AgpCapability::kPresent, ""},
      {"a pointer back into the header ends the list", Space(256, kList, 0x40, {{0x40, 0x01, 0x10}}),
       AgpCapability::kAbsent, ""},
      {"the last capability slot, FCh", Space(256, kList, 0xFC, {{0xFC, 0x02, 0x00}}),
       AgpCapability::kPresent, ""},
      {"CardBus bridges start the list at 14h", Space(256, kList, 0x80, {{0x80, 0x02, 0x00}}, 0x02),
       AgpCapability::kPresent, ""},
      {"a multi-function bit in the header type changes nothing",
       Space(256, kList, 0x80, {{0x80, 0x02, 0x00}}, 0x80), AgpCapability::kPresent, ""},
      {"64 bytes, as a user other than root reads them: the list starts past them",
       Space(64, kList, 0xA0, {{0xA0, 0x02, 0x00}}), AgpCapability::kUnknown,
       "its capability list goes on at A0h, past the 64 bytes read"},
      {"captured, as a user other than root reads it", Head(Captured("vm-virtio-balloon.bin"), 64),
       AgpCapability::kUnknown, "its capability list goes on at 40h, past the 64 bytes read"},
      {"64 bytes and no list: that much is known", Space(64, kNoList, 0xA0, {}), AgpCapability::kAbsent, ""},
      {"the start of the list not read", Space(52, kList, 0, {}), AgpCapability::kUnknown,
       "the start of its capability list at 34h, past the 52 bytes read"},
      {"register 0 alone", Space(4, kList, 0, {}), AgpCapability::kUnknown,
       "its status register at 06h, past the 4 bytes read"},
      {"nothing read", {}, AgpCapability::kUnknown, "its status register at 06h, past the 0 bytes read"},
      {"captured: this machine's virtio balloon, six capabilities, none AGP",
       Captured("vm-virtio-balloon.bin"), AgpCapability::kAbsent, ""},
      {"captured: this machine's host bridge, no list", Captured("vm-host-bridge.bin"),
       AgpCapability::kAbsent, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const AgpFinding finding = FindAgpCapability(c.configuration);
    EXPECT_STREQ(Named(c.expected), Named(finding.capability));
    EXPECT_EQ(c.why, finding.why);
  }
}

}  // namespace
}  // namespace quelm::tool
