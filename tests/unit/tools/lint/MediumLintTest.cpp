// quelm-sim lint on disk images: each image check on an image that has its fault, with the releases
// it names, and none on an image mastered right; an image's INI found as the releases find it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "lint/DiskLint.h"
#include "medium/Medium.h"
#include "support/DiskImages.h"

namespace quelm {
using tool::ImageBytes;
using tool::Medium;
using tool::ReadFat;
using tool::ReadIso9660;
namespace {

using testing::FatFile;
using testing::FatFolder;
using testing::FatImage;
using testing::IsoFile;
using testing::IsoFolder;
using testing::IsoImage;
using testing::IsoNode;

// Windows 98 installs and opens the read-me; NT 3.5x and every other NT open the read-me only.
std::string Ini(const std::string& readMe) {
  return "[Application]\r\nW98=DetectCard,Install,ExecReadme,End\r\nNT35X=ExecReadme,End\r\n"
         "WINNT=ExecReadme,End\r\n[SubDir]\r\nW98=\\WIN98\r\n[DetectCard]\r\n1=6699,15437,AGP,1,0\r\n"
         "[ExecReadme]\r\nprogram=[CWD]\\" +
         readMe +
         ",readme,[CWD]\r\n[Message]\r\nDetectCard=No card.\r\nNotSupport=Not here.\r\n"
         "InstallFailed=No installer.\r\n";
}
constexpr unsigned kProgramLine = 10;

// A CD as the guide masters it: 8.3 names in capitals in both trees, and whatever `change` does.
Medium Cd(const std::string& ini, bool joliet, bool rockRidge, const std::function<void(IsoImage&)>& change) {
  IsoImage image;
  image.joliet = joliet;
  image.rockRidge = rockRidge;
  image.root.children = {IsoFile("QUELM.INI;1", "QUELM.INI;1", ini),
                         IsoFile("VADRUN.EXE;1", "VADRUN.EXE;1", "MZ"),
                         IsoFile("README.TXT;1", "README.TXT;1", "hello"),
                         IsoFolder("WIN98", "WIN98", {IsoFile("SETUP.INF;1", "SETUP.INF;1", "[x]")})};
  change(image);
  return ReadIso9660(ImageBytes::FromMemory(image.Build()));
}

Medium Floppy(const std::string& ini, const std::vector<testing::FatNode>& more) {
  FatImage image;
  image.root = {FatFile("QUELM.INI", "", ini), FatFile("VADRUN.EXE", "", "MZ"),
                FatFolder("WIN98", "", {FatFile("SETUP.INF", "", "[x]")})};
  image.root.insert(image.root.end(), more.begin(), more.end());
  return ReadFat(ImageBytes::FromMemory(image.Build()));
}

IsoNode Named(IsoNode node, const std::string& rockRidge) {
  node.rockRidge = rockRidge;
  return node;
}

IsoNode Nested(unsigned levels) {
  IsoNode folder = IsoFile("DEEP.TXT;1", "DEEP.TXT;1", "x");
  for (unsigned level = levels; level >= 1; --level) {
    const std::string name = "L" + std::to_string(level);
    folder = IsoFolder(name, name, {folder});
  }
  return folder;
}

const std::set<std::string> kImageChecks = {
    "image-lacks-ini",   "name-not-on-release",  "joliet-name-cut",     "lower-case-iso-name",
    "path-too-deep",     "rock-ridge-only-name", "names-fold-together", "missing-file",
    "missing-installer", "missing-folder"};

struct Expected {
  const char* check;
  unsigned line;
  const char* says;  // in its message or a note
};

TEST(MediumLint, EachImageFaultIsFoundWithTheReleasesItConcerns) {
  const std::string longName(70, 'A');
  const std::string cutName = longName.substr(0, 64);
  struct Case {
    const char* name;
    Medium medium;
    std::vector<Expected> expected;  // every finding of an image check, in order
  };
  const Case cases[] = {
      {"a CD mastered right", Cd(Ini("README.TXT"), true, false, [](IsoImage&) {}), {}},
      {"a floppy of 8.3 names", Floppy(Ini("README.TXT"), {FatFile("README.TXT", "", "x")}), {}},
      // As mtools writes a file named in small letters: its long name is its 8.3 name in small letters.
      {"a floppy name and its own 8.3 form",
       Floppy(Ini("README.TXT"), {FatFile("README.TXT", "readme.txt", "x")}),
       {}},
      {"a long name only Joliet gives",
       Cd(Ini("Read me first.txt"), true, false,
          [](IsoImage& image) {
            image.root.children[2] = IsoFile("READ_ME_.TXT;1", "Read me first.txt;1", "hi");
          }),
       {{"name-not-on-release", kProgramLine, "not on the image as nt31, nt35 and nt351 read it"},
        {"name-not-on-release", kProgramLine, "nt31, nt35 and nt351 have it as D:\\READ_ME_.TXT"},
        {"name-not-on-release", kProgramLine,
         "run on nt31, nt35 and nt351: the shell is asked to open D:\\Read me first.txt, which is not there"}}},
      {"a long name Rock Ridge alone gives",
       Cd(Ini("Read me first.txt"), false, true,
          [](IsoImage& image) {
            image.root.children[2] = Named(IsoFile("READ_ME_.TXT;1", "", "hi"), "Read me first.txt");
          }),
       {{"missing-file", kProgramLine, "is not on the disk"},
        {"rock-ridge-only-name", kProgramLine, "each release finds D:\\READ_ME_.TXT there"}}},
      {"Rock Ridge names the INI does not use",
       Cd(Ini("README.TXT"), false, true,
          [](IsoImage& image) {
            image.root.children.push_back(Named(IsoFile("NOTES.TXT;1", "", "x"), "notes-2.txt"));
          }),
       {{"rock-ridge-only-name", 0, "notes-2.txt (\\NOTES.TXT)"}}},
      {"QUELM.INI in small letters in the ISO 9660 tree",
       Cd(Ini("README.TXT"), true, false,
          [](IsoImage& image) {
            image.root.children[0].primary = "quelm.ini;1";
          }),
       {{"image-lacks-ini", 0, "not on the image as nt31, nt35 and nt351 read it"},
        {"image-lacks-ini", 0, "no file D:\\QUELM.INI: no script, so the NotSupport message shows, empty"},
        {"lower-case-iso-name", 0, "\"\\quelm.ini\"): nt31, nt35 and nt351 find neither"}}},
      {"a folder in small letters",
       Cd(Ini("README.TXT"), false, false,
          [](IsoImage& image) {
            image.root.children[3].primary = "win98";
          }),
       {{"lower-case-iso-name", 0, "nt31, nt35, nt351, nt4 and 2000 find neither"}}},
      {"a Joliet name cut at 64 characters",
       Cd(Ini(longName + ".TXT"), true, false,
          [&cutName](IsoImage& image) {
            image.root.children[2] = IsoFile("LONGNAME.TXT;1", cutName, "x");
          }),
       {{"missing-file", kProgramLine, "is not on the disk"},
        {"joliet-name-cut", kProgramLine, "cut at 64 characters"}}},
      {"a Joliet name of 64 characters the INI does not use",
       Cd(Ini("README.TXT"), true, false,
          [&cutName](IsoImage& image) {
            image.root.children.push_back(IsoFile("LONGNAME.TXT;1", cutName, "x"));
          }),
       {{"joliet-name-cut", 0, "1 Joliet name of 64 characters"}}},
      {"nine levels of folders",
       Cd(Ini("README.TXT"), true, false,
          [](IsoImage& image) {
            image.root.children.push_back(Nested(9));
          }),
       {{"path-too-deep", 0, "\\L1\\L2\\L3\\L4\\L5\\L6\\L7\\L8\\L9\""},
        {"path-too-deep", 0, "on win32s, nt31, nt35 and nt351, which read the ISO 9660 tree"}}},
      {"a Joliet path of 300 characters",
       Cd(Ini("README.TXT"), true, false,
          [](IsoImage& image) {
            IsoNode folder = IsoFile("DEEP.TXT;1", "DEEP.TXT;1", "x");
            for (const char* name : {"L5", "L4", "L3", "L2", "L1"})
              folder = IsoFolder(name, std::string(60, name[1]), {folder});
            image.root.children.push_back(folder);
          }),
       {{"path-too-deep", 0, "1 path longer than 255 characters"},
        {"path-too-deep", 0, "on 95, 95-osr1, 95-osr2, 95-osr21, 95-osr25, 98, 98se, me, nt4, 2000"}}},
      {"eight levels are allowed",
       Cd(Ini("README.TXT"), false, false,
          [](IsoImage& image) {
            image.root.children.push_back(Nested(7));
          }),
       {}},
      {"two versions of one name",
       Cd(Ini("README.TXT"), false, false,
          [](IsoImage& image) {
            image.root.children.push_back(IsoFile("README.TXT;2", "", "new"));
          }),
       {{"names-fold-together", 0, "\"README.TXT;1\" and \"README.TXT;2\" in \\ are one name"}}},
      {"a name and its trailing dot, Joliet alone",
       Cd(Ini("README.TXT"), true, false,
          [](IsoImage& image) {
            image.root.children.push_back(IsoFile("README_2.TXT;1", "README.TXT.", "x"));
          }),
       {{"names-fold-together", 0, "on 95, 95-osr1"}}},
      {"a long floppy name NT 3.1 misses",
       Floppy(Ini("Read me first.txt"), {FatFile("README~1.TXT", "Read me first.txt", "x")}),
       {{"name-not-on-release", kProgramLine, "not on the image as nt31 read it"},
        {"name-not-on-release", kProgramLine, "nt31 has it as D:\\README~1.TXT"}}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const tool::ImageDisk image = tool::ImageDiskOf(test.medium, 1252);
    ASSERT_TRUE(image.ini.has_value());
    tool::DiskToLint disk;
    disk.bytes = *image.ini;
    disk.files = &image.files;
    disk.medium = &test.medium;
    std::vector<tool::Finding> found;
    for (const tool::Finding& finding : tool::LintDisk(disk)) {
      if (kImageChecks.count(finding.check) != 0) found.push_back(finding);
    }
    const std::string shown = tool::RenderFindings(found, "driver.iso:QUELM.INI", 1252);
    std::vector<std::string> checks;
    checks.reserve(found.size());
    for (const tool::Finding& finding : found) checks.push_back(finding.check);
    checks.erase(std::unique(checks.begin(), checks.end()), checks.end());
    std::vector<std::string> expectedChecks;
    for (const Expected& expected : test.expected) expectedChecks.emplace_back(expected.check);
    expectedChecks.erase(std::unique(expectedChecks.begin(), expectedChecks.end()), expectedChecks.end());
    EXPECT_EQ(expectedChecks, checks) << shown;
    for (const Expected& expected : test.expected) {
      const bool there = std::any_of(found.begin(), found.end(), [&expected](const tool::Finding& finding) {
        if (finding.check != expected.check || finding.line != expected.line) return false;
        std::string text = finding.message;
        for (const std::string& note : finding.notes) text += "\n" + note;
        return text.find(expected.says) != std::string::npos;
      });
      EXPECT_TRUE(there) << expected.check << " at line " << expected.line << " saying \"" << expected.says
                         << "\" in:\n"
                         << shown;
    }
  }
}

// The INI is read from the drive of the release that reads the most, else from the first release that
// finds one; an image where none does has no INI to lint.
TEST(MediumLint, TheIniIsFoundAsTheReleasesFindIt) {
  struct Case {
    const char* name;
    Medium medium;
    std::optional<std::string> ini;
  };
  const Case cases[] = {
      {"in both trees", Cd("[A]", true, false, [](IsoImage&) {}), "[A]"},
      {"a Joliet name that differs",
       Cd("[A]", true, false,
          [](IsoImage& image) {
            image.root.children[0].joliet = "quelm.ini;1";
          }),
       "[A]"},
      {"a Rock Ridge name alone",
       Cd("[A]", false, true,
          [](IsoImage& image) {
            image.root.children[0] = Named(IsoFile("SETUP.CFG;1", "", "[A]"), "QUELM.INI");
          }),
       std::nullopt},
      {"only Joliet's tree has another",
       Cd("[A]", true, false,
          [](IsoImage& image) {
            image.root.children[0].joliet = "OTHER.INI;1";
          }),
       "[A]"},
      {"a floppy's 8.3 name", Floppy("[B]", {}), "[B]"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(test.ini, tool::ImageDiskOf(test.medium, 1252).ini);
  }
}

}  // namespace
}  // namespace quelm
