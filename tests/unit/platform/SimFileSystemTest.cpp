// Windows paths of the simulated machine on its host folders: case-blind names, and ".." that never
// leaves a drive, however the drive's folder is spelt.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/sim/SimFileSystem.h"
#include "support/SimDisk.h"

namespace quelm::sim {
namespace {

using quelm::testing::TempFolder;

TEST(SimFileSystem, DotDotStopsAtTheRootOfTheDrive) {
  // The drive is "disk"; its parent holds a file of the same name that no path of the drive reaches.
  TempFolder host;
  host.Write("QUELM.INI", "outside");
  host.Write("disk/QUELM.INI", "root");
  host.Write("disk/DISK1/QUELM.INI", "sub");
  struct Case {
    const char* name;
    const char* windowsPath;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"root", "D:\\QUELM.INI", "root"},
      {"any case", "d:\\disk1\\quelm.ini", "sub"},
      {"into a folder and back", "D:\\DISK1\\..\\QUELM.INI", "root"},
      {"above the root stays at the root", "D:\\..\\QUELM.INI", "root"},
      {"above the root from a folder", "D:\\DISK1\\..\\..\\QUELM.INI", "root"},
      {"missing file", "D:\\DISK1\\NONE.INI", std::nullopt},
  };
  // The folder as a person may name it: a trailing slash or dot must not let ".." climb out.
  for (const char* spelling : {"", "/", "/.", "//"}) {
    FileSystem fileSystem;
    fileSystem.MapDrive('D', host.Path().string() + "/disk" + spelling);
    for (const Case& test : cases) {
      SCOPED_TRACE(std::string(test.name) + ", drive folder \"disk" + spelling + "\"");
      EXPECT_EQ(fileSystem.ReadFile(test.windowsPath, 'D'), test.expected);
    }
  }
}

}  // namespace
}  // namespace quelm::sim
