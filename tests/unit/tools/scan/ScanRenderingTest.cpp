// quelm-sim scan's listings: the launcher's names, JSON with the numbers, and card entries in decimal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/ScanRendering.h"
#include "support/ConfigurationSpace.h"

namespace quelm::tool {
namespace {

using testing::kStatusWithList;
using testing::kStatusWithoutList;
using testing::PlantedSpace;

HostPciFunction Agp(PciAddress address, uint32_t identification) {
  return {address, identification,
          PlantedSpace(256, identification, kStatusWithList, 0xA0, {{0xA0, 0x02, 0x00}})};
}
HostPciFunction Pci(PciAddress address, uint32_t identification) {
  return {address, identification, PlantedSpace(64, identification, kStatusWithoutList, 0x00, {})};
}
// As a user other than root reads an AGP card: the list starts past the 64 bytes given.
HostPciFunction UserRead(PciAddress address, uint32_t identification) {
  return {address, identification, PlantedSpace(64, identification, kStatusWithList, 0x44, {})};
}

const std::vector<HostPciFunction> kBoard = {
    Agp({0, 0, 0}, 0x71908086),
    Pci({0, 7, 1}, 0x71118086),
    Agp({1, 0, 0}, 0x3C4D1A2B),
    Pci({0xFF, 0x1F, 7}, 0x0001FFFF),
};

TEST(RenderScan, EachFormatInScanOrder) {
  struct Case {
    const char* name;
    std::vector<HostPciFunction> functions;
    ScanFormat format;
    std::string text;
    std::vector<std::string> unknownAgp;
  };
  const Case cases[] = {
      {"the launcher's names",
       kBoard,
       ScanFormat::kText,
       "BUS_00&DEV_00&FUNC_00 VEN_8086&DEV_7190\nBUS_00&DEV_07&FUNC_01 VEN_8086&DEV_7111\n"
       "BUS_01&DEV_00&FUNC_00 VEN_1A2B&DEV_3C4D\nBUS_FF&DEV_1F&FUNC_07 VEN_FFFF&DEV_0001\n",
       {}},
      {"the launcher's names need no more than register 0",
       {UserRead({1, 0, 0}, 0x3C4D1A2B)},
       ScanFormat::kText,
       "BUS_01&DEV_00&FUNC_00 VEN_1A2B&DEV_3C4D\n",
       {}},
      {"entries numbered from 1, decimal, AGP where the capability is",
       kBoard,
       ScanFormat::kEntries,
       "1=32902,29072,AGP,1,0\n2=32902,28945,PCI,1,0\n3=6699,15437,AGP,1,0\n4=65535,1,PCI,1,0\n",
       {}},
      {"entries where the capability list could not be read",
       {Pci({0, 7, 0}, 0x71108086), UserRead({1, 0, 0}, 0x3C4D1A2B)},
       ScanFormat::kEntries,
       "1=32902,28944,PCI,1,0\n2=6699,15437,PCI,1,0\n",
       {"0000:01:00.0: whether it is AGP cannot be told: its capability list goes on at 44h, past the 64 "
        "bytes "
        "read (Linux gives no more to users other than root: scan as root); entry 2 says PCI, which may be "
        "wrong"}},
      {"JSON where the capability list could not be read",
       {UserRead({1, 0, 0}, 0x3C4D1A2B)},
       ScanFormat::kJson,
       "{\"location\":\"BUS_01&DEV_00&FUNC_00\",\"hardwareId\":\"VEN_1A2B&DEV_3C4D\",\"bus\":1,\"device\":0,"
       "\"function\":0,\"vendorId\":\"1A2B\",\"deviceId\":\"3C4D\",\"vendorIdDecimal\":6699,"
       "\"deviceIdDecimal\":15437,\"agp\":null}\n",
       {"0000:01:00.0: whether it is AGP cannot be told: its capability list goes on at 44h, past the 64 "
        "bytes "
        "read (Linux gives no more to users other than root: scan as root); its \"agp\" is null"}},
      {"a bus read without configuration spaces cannot tell, and says nothing of root",
       {HostPciFunction{{0, 1, 0}, 0x00201234, {}}},
       ScanFormat::kEntries,
       "1=4660,32,PCI,1,0\n",
       {"0000:00:01.0: whether it is AGP cannot be told: its status register at 06h, past the 0 bytes read; "
        "entry 1 says PCI, which may be wrong"}},
      {"an empty bus", {}, ScanFormat::kEntries, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ScanListing listing = RenderScan(c.functions, c.format);
    EXPECT_EQ(c.text, listing.text);
    EXPECT_EQ(c.unknownAgp, listing.unknownAgp);
  }
}

}  // namespace
}  // namespace quelm::tool
