// The simulated machine's drives: which host files a Windows path reaches, and which are read at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

MediumNode MediumFile(std::string name, std::string alias, std::optional<std::string> contents) {
  MediumNode node;
  node.name = std::move(name);
  node.alias = std::move(alias);
  node.read = [contents] {
    return contents;
  };
  return node;
}

MediumNode MediumFolder(std::string name, std::vector<MediumNode> children) {
  MediumNode node;
  node.name = std::move(name);
  node.isFolder = true;
  node.children = std::move(children);
  return node;
}

// A medium drive answers as a folder drive does: names without regard to case, its second name too,
// ".." stopping at the root; and what the medium's tree lacks is not there.
TEST(FileSystem, AMediumDriveShowsTheTreeItWasGiven) {
  auto root = std::make_shared<MediumNode>(MediumFolder(
      "",
      {MediumFile("QUELM.INI", "", "[Application]"),
       MediumFile("Read me first.txt", "README~1.TXT", "read me"), MediumFile("BROKEN.TXT", "", std::nullopt),
       MediumFolder("Drivers for Windows", {MediumFile("EXAMPLE.INF", "", "inf")})}));
  FileSystem drives;
  drives.MapMedium('d', root);
  TempFolder folder;
  folder.Write("QUELM.INI", "folder");
  drives.MapDrive('C', folder.Path());

  struct Case {
    const char* windowsPath;
    FileSystem::Entry entry;
    const char* contents;  // null: nothing read
  };
  const Case cases[] = {
      {"D:\\QUELM.INI", FileSystem::Entry::kFile, "[Application]"},
      {"d:\\quelm.ini", FileSystem::Entry::kFile, "[Application]"},
      {"D:\\READ ME FIRST.TXT", FileSystem::Entry::kFile, "read me"},
      {"D:\\readme~1.txt", FileSystem::Entry::kFile, "read me"},
      {"D:\\READ_M~1.TXT", FileSystem::Entry::kMissing, nullptr},
      {"D:\\README~1.TXT", FileSystem::Entry::kFile, "read me"},
      {"D:\\drivers for windows\\..\\..\\Drivers for Windows\\example.inf", FileSystem::Entry::kFile, "inf"},
      {"D:/Drivers for Windows/./EXAMPLE.INF", FileSystem::Entry::kFile, "inf"},
      {"D:\\Drivers for Windows", FileSystem::Entry::kFolder, nullptr},
      {"D:\\", FileSystem::Entry::kFolder, nullptr},
      {"D:\\QUELM.INI\\QUELM.INI", FileSystem::Entry::kMissing, nullptr},
      {"D:\\BROKEN.TXT", FileSystem::Entry::kFile, nullptr},
      {"D:\\Drivers", FileSystem::Entry::kMissing, nullptr},
      {"\\QUELM.INI", FileSystem::Entry::kFile, "[Application]"},
      {"C:\\QUELM.INI", FileSystem::Entry::kFile, "folder"},
      {"E:\\QUELM.INI", FileSystem::Entry::kMissing, nullptr},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.windowsPath);
    EXPECT_EQ(test.entry, drives.EntryAt(test.windowsPath, 'D'));
    const auto contents = drives.ReadFile(test.windowsPath, 'D');
    EXPECT_EQ(test.contents != nullptr, contents.has_value());
    if (test.contents && contents) EXPECT_EQ(test.contents, *contents);
  }
  // A medium's files have no host path: nothing outside the drive can reach them.
  EXPECT_FALSE(drives.Resolve("D:\\QUELM.INI", 'D').has_value());
  EXPECT_TRUE(drives.Resolve("C:\\QUELM.INI", 'D').has_value());
}

}  // namespace
}  // namespace quelm::sim
