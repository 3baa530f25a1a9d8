// Reading the host's PCI bus from fake sysfs and procfs trees: order, domains, faulty files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pci/HostPciBus.h"
#include "support/PciFunctions.h"
#include "support/SimDisk.h"

namespace quelm::tool {
namespace {

using testing::Rendered;
using testing::TempFolder;

enum class Kind { kFile, kFolder, kDanglingLink };

struct Entry {
  std::string path;
  std::string bytes;
  Kind kind = Kind::kFile;
};

// Configuration space as the kernel hands it out: register 0 little-endian, then the rest.
std::string Config(uint16_t vendor, uint16_t device) {
  std::string bytes(64, '\0');
  bytes[0] = static_cast<char>(vendor & 0xFF);
  bytes[1] = static_cast<char>(vendor >> 8);
  bytes[2] = static_cast<char>(device & 0xFF);
  bytes[3] = static_cast<char>(device >> 8);
  return bytes;
}

const std::string kSysfs = "sys/bus/pci/devices/";
const std::string kProcfs = "proc/bus/pci/";

void Build(const TempFolder& root, const std::vector<Entry>& entries) {
  for (const Entry& entry : entries) {
    const auto path = root.Path() / entry.path;
    std::filesystem::create_directories(path.parent_path());
    if (entry.kind == Kind::kFolder) std::filesystem::create_directories(path);
    if (entry.kind == Kind::kDanglingLink) std::filesystem::create_symlink(root.Path() / "nowhere", path);
    if (entry.kind == Kind::kFile) root.Write(entry.path, entry.bytes);
  }
}

TEST(ReadHostPciBus, DomainZeroInScanOrderAndWhyTheRestIsLeftOut) {
  struct Case {
    const char* name;
    std::vector<Entry> tree;
    HostPciSource source;
    std::vector<std::string> functions;
    std::vector<std::string> leftOut;  // the beginning of each line, in order
    bool complete;
  };
  const Case cases[] = {
      {"sysfs: bytes of register 0 are little-endian",
       {{kSysfs + "0000:00:00.0/config", std::string("\x86\x80\x57\x0d\x07\x00", 6)}},
       HostPciSource::kSysfs,
       {"00:00.0=8086:0d57"},
       {},
       true},
      {"sysfs: bus, then device, then function, whatever the names' order",
       {{kSysfs + "0000:02:00.0/config", Config(0x10DE, 0x1C82)},
        {kSysfs + "0000:00:1f.3/config", Config(0x8086, 0xA348)},
        {kSysfs + "0000:00:1f.0/config", Config(0x8086, 0xA306)},
        {kSysfs + "0000:00:02.0/config", Config(0x8086, 0x3E92)}},
       HostPciSource::kSysfs,
       {"00:02.0=8086:3e92", "00:1f.0=8086:a306", "00:1f.3=8086:a348", "02:00.0=10de:1c82"},
       {},
       true},
      {"sysfs: other domains are beyond mechanism #1, the bus stays complete",
       {{kSysfs + "0000:00:00.0/config", Config(0x1022, 0x1480)},
        {kSysfs + "0001:00:00.0/config", Config(0x1022, 0x1481)},
        {kSysfs + "10000:e0:17.0/config", Config(0x8086, 0x09AB)}},
       HostPciSource::kSysfs,
       {"00:00.0=1022:1480"},
       {"0001:00:00.0 left out: PCI domain 0001", "10000:e0:17.0 left out: PCI domain 10000"},
       true},
      {"sysfs: short, empty, folder and missing configuration spaces make the bus incomplete",
       {{kSysfs + "0000:00:01.0/config", std::string("\x86\x80", 2)},
        {kSysfs + "0000:00:02.0/config", ""},
        {kSysfs + "0000:00:03.0/config", "", Kind::kFolder},
        {kSysfs + "0000:00:04.0/config", "", Kind::kDanglingLink},
        {kSysfs + "0000:00:05.0/config", Config(0x1AF4, 0x1041)}},
       HostPciSource::kSysfs,
       {"00:05.0=1af4:1041"},
       {"0000:00:01.0 left out: its configuration space holds 2 bytes",
        "0000:00:02.0 left out: its configuration space holds 0 bytes",
        "0000:00:03.0 left out: its configuration space cannot be read",
        "0000:00:04.0 left out: its configuration space cannot be opened"},
       false},
      {"sysfs: all ones is an absent function to the launcher, vendor FFFF alone is not",
       {{kSysfs + "0000:00:01.0/config", Config(0xFFFF, 0xFFFF)},
        {kSysfs + "0000:00:02.0/config", Config(0xFFFF, 0x0001)}},
       HostPciSource::kSysfs,
       {"00:02.0=ffff:0001"},
       {"0000:00:01.0 left out: it reads as absent"},
       true},
      {"sysfs: names that are no function's",
       {{kSysfs + "0000:00:20.0/config", Config(1, 2)},
        {kSysfs + "0000:00:00.8/config", Config(1, 2)},
        {kSysfs + "00:00.0/config", Config(1, 2)},
        {kSysfs + "0000:100:00.0/config", Config(1, 2)}},
       HostPciSource::kSysfs,
       {},
       {"0000:00:00.8 left out: not a PCI function's name", "0000:00:20.0 left out: not",
        "0000:100:00.0 left out: not", "00:00.0 left out: not"},
       true},
      {"sysfs without a single function: a container's empty bus",
       {{kSysfs, "", Kind::kFolder}, {kProcfs + "00/00.0", Config(1, 2)}, {kProcfs + "devices", ""}},
       HostPciSource::kSysfs,
       {},
       {},
       true},
      {"sysfs wins over procfs",
       {{kSysfs + "0000:00:00.0/config", Config(0x8086, 0x1237)},
        {kProcfs + "devices", ""},
        {kProcfs + "00/00.0", Config(0x8086, 0x7000)}},
       HostPciSource::kSysfs,
       {"00:00.0=8086:1237"},
       {},
       true},
      {"procfs: a folder per bus, in scan order",
       {{kProcfs + "devices", "0008\t80867000\t0\n"},
        {kProcfs + "01/00.0", Config(0x1A2B, 0x3C4D)},
        {kProcfs + "00/07.1", Config(0x8086, 0x7111)},
        {kProcfs + "00/07.0", Config(0x8086, 0x7110)}},
       HostPciSource::kProcfs,
       {"00:07.0=8086:7110", "00:07.1=8086:7111", "01:00.0=1a2b:3c4d"},
       {},
       true},
      {"procfs: buses named with their domain, in the order of their numbers, each slot once",
       {{kProcfs + "devices", ""},
        {kProcfs + "0000:02/00.0", Config(0x1234, 0x2222)},
        {kProcfs + "01/00.0", Config(0x1234, 0x1111)},
        {kProcfs + "0000:01/00.0", Config(0x1234, 0x1111)},
        {kProcfs + "0002:00/00.0", Config(0x1234, 0x3333)}},
       HostPciSource::kProcfs,
       {"01:00.0=1234:1111", "02:00.0=1234:2222"},
       {"0002:00:00.0 left out: PCI domain 0002"},
       true},
      {"procfs: a short file and stray names",
       {{kProcfs + "devices", ""},
        {kProcfs + "00/00.0", std::string("\x34\x12\x11", 3)},
        {kProcfs + "00/readme", ""},
        {kProcfs + "xyz/00.0", Config(1, 2)}},
       HostPciSource::kProcfs,
       {},
       {"0000:00:00.0 left out: its configuration space holds 3 bytes", "00/readme left out: not",
        "xyz left out: not a PCI bus's name"},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder root;
    Build(root, c.tree);
    const HostPciBus bus = ReadHostPciBus(root.Path());
    EXPECT_EQ(c.source, bus.source);
    EXPECT_EQ(c.functions, Rendered(bus.functions));
    ASSERT_EQ(c.leftOut.size(), bus.leftOut.size()) << ::testing::PrintToString(bus.leftOut);
    for (size_t i = 0; i < c.leftOut.size(); ++i) {
      EXPECT_EQ(c.leftOut[i], bus.leftOut[i].substr(0, c.leftOut[i].size())) << bus.leftOut[i];
    }
    EXPECT_EQ(c.complete, bus.complete);
  }
}

TEST(ReadHostPciBus, KeepsTheFirst256BytesOfEachConfigurationSpace) {
  // Bytes that differ at every offset, so that a shifted or short copy shows.
  std::string extended(4096, '\0');
  for (size_t i = 0; i < extended.size(); ++i) extended[i] = static_cast<char>(i * 7 + 1);
  extended.replace(0, 4, "\x86\x80\x57\x0d");
  struct Case {
    const char* name;
    std::string path;
    size_t fileBytes;
    size_t kept;
  };
  const Case cases[] = {
      {"sysfs as root on PCI Express: 4096 bytes, the first 256 kept", kSysfs + "0000:00:00.0/config", 4096,
       256},
      {"sysfs as root on PCI: 256 bytes", kSysfs + "0000:00:00.0/config", 256, 256},
      {"sysfs as another user: 64 bytes", kSysfs + "0000:00:00.0/config", 64, 64},
      {"no more than register 0", kSysfs + "0000:00:00.0/config", 4, 4},
      {"procfs as root", kProcfs + "00/00.0", 256, 256},
      {"procfs as another user", kProcfs + "00/00.0", 64, 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder root;
    Build(root, {{c.path, extended.substr(0, c.fileBytes)}, {kProcfs + "devices", ""}});
    const HostPciBus bus = ReadHostPciBus(root.Path());
    ASSERT_EQ(1u, bus.functions.size());
    EXPECT_EQ(0x0D578086u, bus.functions[0].identification);
    const std::vector<uint8_t>& kept = bus.functions[0].configuration;
    EXPECT_EQ(extended.substr(0, c.kept), std::string(kept.begin(), kept.end()));
  }
}

TEST(ReadHostPciBus, NoBusToReadIsAnError) {
  struct Case {
    const char* name;
    std::vector<Entry> tree;
  };
  const Case cases[] = {
      {"neither tree", {}},
      {"procfs without its device list",
       {{"sys/bus/pci", "", Kind::kFolder}, {kProcfs + "00/00.0", Config(1, 2)}}},
      {"a file where sysfs has a folder", {{"sys/bus/pci/devices", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder root;
    Build(root, c.tree);
    EXPECT_THROW(ReadHostPciBus(root.Path()), HostPciBusError);
  }
}

}  // namespace
}  // namespace quelm::tool
