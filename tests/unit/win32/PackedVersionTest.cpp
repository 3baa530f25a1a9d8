// Host tests of the Win32 backend's reading of GetVersion, for the systems that lack GetVersionExA, and
// the kind each such record classifies as.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "probe/OsKind.h"
#include "probe/SystemProbe.h"
#include "sim/SimMachine.h"
#include "win32/PackedVersion.h"

namespace quelm {
namespace {

TEST(DecodePackedVersionTest, GivesTheRecordAndKindOfEachSystem) {
  struct Case {
    const char* name;
    uint32_t packed;  // GetVersion's answer: build or reserved bits, minor version, major version
    uint32_t platformId, major, minor, build;
    OsKind kind;
  } cases[] = {
      // NT 3.1 calls itself 3.10, as the subsystem version it loads (3.10) shows; the table's NT31 is
      // minor version 1, so the first NT takes the WINNT entry.
      {"Windows NT 3.1, build 511", 0x01FF0A03u, kWindowsNtPlatform, 3, 10, 511, OsKind::WINNT},
      {"Windows NT 3.1 Service Pack 3, build 528", 0x02100A03u, kWindowsNtPlatform, 3, 10, 528,
       OsKind::WINNT},
      // The later systems have GetVersionExA; should it ever fail, GetVersion still names them right.
      {"Windows NT 3.5, build 807", 0x03273203u, kWindowsNtPlatform, 3, 50, 807, OsKind::NT35X},
      {"Windows NT 3.51, build 1057", 0x04213303u, kWindowsNtPlatform, 3, 51, 1057, OsKind::NT35X},
      {"Windows NT 4.0, build 1381", 0x05650004u, kWindowsNtPlatform, 4, 0, 1381, OsKind::NT40},
      {"Windows 2000, build 2195", 0x08930005u, kWindowsNtPlatform, 5, 0, 2195, OsKind::WINNT},
      // Win32s reports the Windows it runs on, with the high bit set and a build without it.
      {"Win32s on Windows 3.1", 0x80AC0A03u, kWin32sPlatform, 3, 10, 172, OsKind::OTHER},
      {"Win32s on Windows for Workgroups 3.11", 0x80000B03u, kWin32sPlatform, 3, 11, 0, OsKind::OTHER},
      // Windows 95's high word is reserved: no build number, and no service text to tell A, B or C.
      {"Windows 95, reserved bits set", 0xC3B60004u, kWindows9xPlatform, 4, 0, 0, OsKind::W95A},
      {"Windows 98", 0xC0000A04u, kWindows9xPlatform, 4, 10, 0, OsKind::W98},
      {"Windows Me", 0xC0005A04u, kWindows9xPlatform, 4, 90, 0, OsKind::WIN95},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    sim::SimMachine machine;
    std::memset(&machine.version, 0xA5, sizeof(machine.version));  // every field must be written
    DecodePackedVersion(test.packed, machine.version);
    EXPECT_EQ(machine.version.platformId, test.platformId);
    EXPECT_EQ(machine.version.majorVersion, test.major);
    EXPECT_EQ(machine.version.minorVersion, test.minor);
    EXPECT_EQ(machine.version.buildNumber, test.build);
    EXPECT_STREQ(machine.version.serviceText, "");
    SystemProbe probe(machine);
    const OsKind kind = probe.ClassifyOs();
    EXPECT_EQ(kind, test.kind) << "expected \"" << OsNameOf(test.kind) << "\", got \"" << OsNameOf(kind)
                               << "\"";
  }
}

}  // namespace
}  // namespace quelm
