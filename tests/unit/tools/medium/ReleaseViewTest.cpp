// What each Windows release sees on a medium: the tree it takes, the names it finds there, and the
// drive the simulated machine gets from them.
#include <gtest/gtest.h>

#include <string>

#include "medium/ReleaseView.h"
#include "sim/SimFileSystem.h"
#include "sim/WindowsReleases.h"
#include "support/DiskImages.h"

namespace quelm::tool {
namespace {

using testing::FatFile;
using testing::FatFolder;
using testing::FatImage;
using testing::FatNode;
using testing::IsoFile;
using testing::IsoFolder;
using testing::IsoImage;
using testing::IsoNode;

// A drive's names as one line: each entry's path, a folder's with a backslash, "=alias" where it has
// a second name.
std::string Names(const sim::MediumNode& folder, const std::string& path = "") {
  std::string out;
  for (const sim::MediumNode& child : folder.children) {
    const std::string name = path + "\\" + child.name;
    out += (out.empty() ? "" : " ") + name + (child.isFolder ? "\\" : "") +
           (child.alias.empty() ? "" : "=" + child.alias);
    if (child.isFolder) {
      const std::string inner = Names(child, name);
      if (!inner.empty()) out += " " + inner;
    }
  }
  return out;
}

Medium DriverCd(bool joliet, bool rockRidge) {
  IsoImage image;
  image.joliet = joliet;
  image.rockRidge = rockRidge;
  IsoNode readMe = IsoFile("READ_ME_.TXT;1", "Read me first.txt;1", "hello");
  readMe.rockRidge = "Read me first.txt";
  IsoNode drivers =
      IsoFolder("DRIVERS", "Drivers for Windows", {IsoFile("EXAMPLE.INF;1", "EXAMPLE.INF;1", "[x]")});
  drivers.rockRidge = "Drivers for Windows";
  image.root.children = {IsoFile("QUELM.INI;1", "QUELM.INI;1", "[Application]"), readMe, drivers};
  return ReadIso9660(ImageBytes::FromMemory(image.Build()));
}

// Names as some mastering options leave them in the primary tree: small letters, no version, a
// name without extension keeping its dot.
Medium LowerCaseCd() {
  IsoImage image;
  image.root.children = {IsoFile("QUELM.INI;1", "", "[Application]"), IsoFile("readme.txt;1", "", "hello"),
                         IsoFile("SETUP.", "", "x"),
                         IsoFolder("drivers", "", {IsoFile("EXAMPLE.INF", "", "x")})};
  return ReadIso9660(ImageBytes::FromMemory(image.Build()));
}

Medium DriverFloppy() {
  FatImage image;
  image.root = {FatFile("QUELM.INI", "", "[Application]"),
                FatFile("README~1.TXT", "Read me first.txt", "hello"),
                FatFolder("DRIVER~1", "Drivers for Windows", {FatFile("EXAMPLE.INF", "", "[x]")})};
  return ReadFat(ImageBytes::FromMemory(image.Build()));
}

TEST(ReleaseView, EachReleaseSeesTheNamesOfTheTreeItReads) {
  const Medium plain = DriverCd(false, false);
  const Medium joliet = DriverCd(true, false);
  const Medium rockRidge = DriverCd(false, true);
  const Medium lowerCase = LowerCaseCd();
  const Medium floppy = DriverFloppy();
  const std::string kPrimary = "\\QUELM.INI \\READ_ME_.TXT \\DRIVERS\\ \\DRIVERS\\EXAMPLE.INF";
  const std::string kJoliet =
      "\\QUELM.INI \\Read me first.txt \\Drivers for Windows\\ \\Drivers for Windows\\EXAMPLE.INF";
  const std::string kAllLowerCase = "\\QUELM.INI \\readme.txt \\SETUP \\drivers\\ \\drivers\\EXAMPLE.INF";
  const std::string kUpperCaseOnly = "\\QUELM.INI \\SETUP";
  const std::string kLongNames =
      "\\QUELM.INI \\Read me first.txt=README~1.TXT \\Drivers for Windows\\=DRIVER~1 "
      "\\Drivers for Windows\\EXAMPLE.INF";
  const std::string kShortNames = "\\QUELM.INI \\README~1.TXT \\DRIVER~1\\ \\DRIVER~1\\EXAMPLE.INF";
  struct Case {
    const char* medium;
    const Medium* image;
    const char* release;
    MediumTree tree;
    std::string names;
  };
  const Case cases[] = {
      {"plain", &plain, "95", MediumTree::kPrimary, kPrimary},
      {"plain", &plain, "xp", MediumTree::kPrimary, kPrimary},
      {"Joliet", &joliet, "win32s", MediumTree::kPrimary, kPrimary},
      {"Joliet", &joliet, "95", MediumTree::kJoliet, kJoliet},
      {"Joliet", &joliet, "me", MediumTree::kJoliet, kJoliet},
      {"Joliet", &joliet, "nt31", MediumTree::kPrimary, kPrimary},
      {"Joliet", &joliet, "nt35", MediumTree::kPrimary, kPrimary},
      {"Joliet", &joliet, "nt351", MediumTree::kPrimary, kPrimary},
      {"Joliet", &joliet, "nt4", MediumTree::kJoliet, kJoliet},
      {"Joliet", &joliet, "2000", MediumTree::kJoliet, kJoliet},
      {"Joliet", &joliet, "11", MediumTree::kJoliet, kJoliet},
      {"Rock Ridge only", &rockRidge, "98", MediumTree::kPrimary, kPrimary},
      {"Rock Ridge only", &rockRidge, "10", MediumTree::kPrimary, kPrimary},
      {"lower case", &lowerCase, "win32s", MediumTree::kPrimary, kAllLowerCase},
      {"lower case", &lowerCase, "98se", MediumTree::kPrimary, kAllLowerCase},
      {"lower case", &lowerCase, "nt31", MediumTree::kPrimary, kUpperCaseOnly},
      {"lower case", &lowerCase, "nt351", MediumTree::kPrimary, kUpperCaseOnly},
      {"lower case", &lowerCase, "nt4", MediumTree::kPrimary, kUpperCaseOnly},
      {"lower case", &lowerCase, "2000", MediumTree::kPrimary, kUpperCaseOnly},
      {"lower case", &lowerCase, "xp", MediumTree::kPrimary, kAllLowerCase},
      {"lower case", &lowerCase, "7", MediumTree::kPrimary, kAllLowerCase},
      {"floppy", &floppy, "win32s", MediumTree::kFatShortNames, kShortNames},
      {"floppy", &floppy, "95", MediumTree::kFatLongNames, kLongNames},
      {"floppy", &floppy, "nt31", MediumTree::kFatShortNames, kShortNames},
      {"floppy", &floppy, "nt35", MediumTree::kFatLongNames, kLongNames},
      {"floppy", &floppy, "xp", MediumTree::kFatLongNames, kLongNames},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(std::string(test.medium) + " on " + test.release);
    const VersionRecord& version = sim::ReleaseNamed(test.release)->record;
    EXPECT_EQ(test.tree, ReadingOf(*test.image, version).tree);
    EXPECT_EQ(test.names, Names(*DriveView(*test.image, version, 1252)));
  }
}

// The rule for lower-case primary names and the tree taken are said with their evidence, and what is
// not established is said to be so.
TEST(ReleaseView, SaysWhatEachRuleRestsOn) {
  const Medium lowerCase = LowerCaseCd();
  const Medium joliet = DriverCd(true, true);
  struct Case {
    const Medium* image;
    const char* release;
    LowerCaseNames lowerCase;
    const char* evidence;
  };
  const Case cases[] = {
      {&lowerCase, "nt35", LowerCaseNames::kNotFound, "lower-case names not found (KB Q123067, Q142372)"},
      {&lowerCase, "2000", LowerCaseNames::kNotFound,
       "lower-case names not found (Windows 2000 documentation"},
      {&lowerCase, "xp", LowerCaseNames::kFound, "lower-case names found (CDFS source"},
      {&lowerCase, "95", LowerCaseNames::kUnknownTakenAsFound, "not established, taken as found"},
      {&lowerCase, "win32s", LowerCaseNames::kUnknownTakenAsFound, "not established, taken as found"},
      {&joliet, "nt351", LowerCaseNames::kNotFound, "no Joliet before Windows NT 4.0 (KB Q142372)"},
      {&joliet, "95", LowerCaseNames::kFound, "Joliet tree (KB Q125630); Rock Ridge names not read"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.release);
    const MediumReading reading = ReadingOf(*test.image, sim::ReleaseNamed(test.release)->record);
    EXPECT_EQ(test.lowerCase, reading.lowerCase);
    EXPECT_NE(std::string::npos, reading.evidence.find(test.evidence)) << reading.evidence;
  }
}

// Joliet and long FAT names are Unicode: an ANSI program gets them in its code page, '?' for what
// the code page lacks, and finds the file by that name.
TEST(ReleaseView, UnicodeNamesReachTheMachineInItsCodePage) {
  IsoImage cd;
  cd.joliet = true;
  cd.root.children = {IsoFile("TREIBER.TXT;1", "Tr\xC3\xA4iber.txt", "inhalt")};
  const Medium medium = ReadIso9660(ImageBytes::FromMemory(cd.Build()));
  struct Case {
    uint32_t codePage;
    const char* name;
  };
  const Case cases[] = {{1252, "Tr\xE4iber.txt"}, {1251, "Tr?iber.txt"}, {932, "Tr?iber.txt"}};
  for (const Case& test : cases) {
    SCOPED_TRACE(test.codePage);
    const auto view = DriveView(medium, sim::ReleaseNamed("98")->record, test.codePage);
    ASSERT_EQ(1u, view->children.size());
    EXPECT_EQ(test.name, view->children[0].name);
    sim::FileSystem drives;
    drives.MapMedium('D', view);
    const auto contents = drives.ReadFile(std::string("D:\\") + test.name, 'D');
    EXPECT_EQ(std::optional<std::string>("inhalt"), contents);
  }
}

}  // namespace
}  // namespace quelm::tool
