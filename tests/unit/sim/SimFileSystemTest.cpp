// The simulated machine's drives: which host files a Windows path reaches, and which are read at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "sim/SimFileSystem.h"
#include "support/SimDisk.h"

namespace quelm::sim {
namespace {

using testing::TempFolder;

TEST(ReadHostFile, ReadsOnlyRegularFilesWithinTheLimit) {
  TempFolder folder;
  folder.Write("small.reg", "REGEDIT4\r\n");
  folder.Write("empty.reg", "");
  folder.Write("sixteen.reg", std::string(16, 'x'));
  folder.Write("seventeen.reg", std::string(17, 'x'));
  std::filesystem::create_directory(folder.Path() / "folder.reg");
  // A FIFO nobody writes to: opening it for reading the ordinary way would wait for a writer.
  ASSERT_EQ(0, mkfifo((folder.Path() / "fifo.reg").c_str(), 0600));

  struct Case {
    const char* name;
    std::filesystem::path path;
    const char* bytes;  // null: refused
    const char* fault;  // the beginning of the reason given
  };
  const Case cases[] = {
      {"regular file", folder.Path() / "small.reg", "REGEDIT4\r\n", ""},
      {"empty file", folder.Path() / "empty.reg", "", ""},
      {"exactly at the limit", folder.Path() / "sixteen.reg", "xxxxxxxxxxxxxxxx", ""},
      {"one byte over the limit", folder.Path() / "seventeen.reg", nullptr, "is larger than 16 bytes"},
      {"folder", folder.Path() / "folder.reg", nullptr, "is a folder"},
      {"FIFO without a writer", folder.Path() / "fifo.reg", nullptr, "is not a regular file"},
      {"device without end", "/dev/zero", nullptr, "is not a regular file"},
      {"missing", folder.Path() / "absent.reg", nullptr, "cannot open: "},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const HostFile file = ReadHostFile(test.path, 16);
    EXPECT_EQ(test.bytes != nullptr, file.bytes.has_value()) << file.fault;
    if (test.bytes && file.bytes) EXPECT_EQ(test.bytes, *file.bytes);
    EXPECT_EQ(0u, file.fault.rfind(test.fault, 0)) << "fault \"" << file.fault << '"';
  }
}

TEST(ReadHostFile, KeepsTheLimitForFilesThatReportNoSize) {
  // Files under /proc say they are empty and then give their text.
  const std::filesystem::path status = "/proc/self/status";
  struct stat info {};
  if (stat(status.c_str(), &info) != 0 || info.st_size != 0) GTEST_SKIP() << "no size-less /proc file here";
  const HostFile file = ReadHostFile(status, 16);
  EXPECT_FALSE(file.bytes.has_value());
  EXPECT_EQ("is larger than 16 bytes", file.fault);
}

// ".." stops at the drive's folder whatever its spelling: the folder above it holds a QUELM.INI that
// must never be read.
TEST(FileSystem, DotDotStopsAtTheDriveRootHoweverTheFolderIsSpelt) {
  TempFolder folder;
  folder.Write("QUELM.INI", "outside");
  folder.Write("disk/QUELM.INI", "inside");
  folder.Write("disk/sub/Inner.txt", "inner");
  const std::string disk = (folder.Path() / "disk").string();

  struct Case {
    const char* windowsPath;
    const char* expected;  // null: nothing there
  };
  const Case cases[] = {
      {"D:\\sub\\..\\..\\QUELM.INI", "inside"},  {"D:\\..\\QUELM.INI", "inside"},
      {"D:..\\..\\..\\QUELM.INI", "inside"},     {"\\sub\\..\\..\\sub\\inner.TXT", "inner"},
      {"D:/SUB/./../../sub/INNER.txt", "inner"}, {"D:\\sub\\..\\..\\disk\\QUELM.INI", nullptr},
      {"D:\\missing\\..\\QUELM.INI", nullptr},
  };
  for (const std::string& spelling :
       {disk, disk + "/", disk + "//", disk + "/.", disk + "/./", disk + "/sub/.."}) {
    FileSystem drives;
    drives.MapDrive('d', spelling);
    for (const Case& test : cases) {
      SCOPED_TRACE(spelling + " then " + test.windowsPath);
      const auto contents = drives.ReadFile(test.windowsPath, 'D');
      EXPECT_EQ(test.expected != nullptr, contents.has_value());
      if (test.expected && contents) EXPECT_EQ(test.expected, *contents);
    }
  }
}

TEST(FileSystem, ReadsNoFifoOrFolderOnTheDisk) {
  TempFolder folder;
  ASSERT_EQ(0, mkfifo((folder.Path() / "QUELM.INI").c_str(), 0600));
  std::filesystem::create_directory(folder.Path() / "SETUP.INI");
  FileSystem drives;
  drives.MapDrive('D', folder.Path());
  EXPECT_FALSE(drives.ReadFile("D:\\QUELM.INI", 'D').has_value());
  EXPECT_FALSE(drives.ReadFile("D:\\SETUP.INI", 'D').has_value());
}

}  // namespace
}  // namespace quelm::sim
