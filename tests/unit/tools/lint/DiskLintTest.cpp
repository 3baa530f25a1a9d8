// quelm-sim lint on a corpus of faulty disks, one per check: each gets exactly its expected findings,
// and only findings of its own check; and the checks whose disks are made on the fly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "lint/DiskLint.h"
#include "support/SimDisk.h"

namespace quelm {
namespace {

std::string ReadWhole(const std::filesystem::path& file) {
  std::ifstream stream(file, std::ios::binary);
  std::stringstream contents;
  contents << stream.rdbuf();
  return contents.str();
}

TEST(DiskLint, EachFaultyDiskGetsExactlyItsFindings) {
  const std::string guide = ReadWhole(QUELM_DOCS_DIR "/disk-authoring.md");
  unsigned disks = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QUELM_TEST_DATA_DIR "/lint")) {
    const std::string check = entry.path().filename().string();
    SCOPED_TRACE(check);
    ++disks;
    sim::FileSystem files;
    files.MapDrive('D', entry.path());
    tool::DiskToLint disk;
    disk.bytes = ReadWhole(entry.path() / "QUELM.INI");
    disk.files = &files;
    const std::vector<tool::Finding> findings = tool::LintDisk(disk);
    EXPECT_EQ(ReadWhole(entry.path() / "expected.txt"), tool::RenderFindings(findings, "QUELM.INI", 1252));
    // A check that reports a consequence of another (a message never shown because no card is ever
    // found) comes with it; also.txt names such companions.
    const std::string also =
        std::filesystem::exists(entry.path() / "also.txt") ? ReadWhole(entry.path() / "also.txt") : "";
    for (const tool::Finding& finding : findings) {
      if (finding.check != check) {
        EXPECT_NE(std::string::npos, also.find(finding.check + "\n")) << finding.message;
      }
    }
    EXPECT_EQ(check == "clean", findings.empty());
    if (check != "clean") {
      EXPECT_NE(std::string::npos, guide.find("| `" + check + "` |"))
          << "the disk authors' guide lists every check";
    }
  }
  EXPECT_GE(disks, 43u) << "the corpus holds a disk per check and a clean one";
}

// Little-endian UTF-16 with its byte-order mark, as Notepad saves "Unicode".
std::string Utf16(const std::string& text) {
  std::string out = "\xFF\xFE";
  for (const char c : text) out += std::string{c, '\0'};
  return out;
}

TEST(DiskLint, FindingsCarryTheLineEditorsCount) {
  struct Case {
    const char* name;
    std::string ini;
    unsigned line;
  };
  const std::string script = "[Application]\r\nW98=Instal\r\n[Message]\r\nNotSupport=x\r\n";
  const Case cases[] = {
      {"CR LF", script, 2},
      {"LF", "\n\n" + std::string("[Application]\nW98=Instal\n"), 4},
      {"CR alone", "[Application]\rW98=Instal\r", 2},
      {"blank lines between", "[Application]\r\n\r\n\r\nW98=Instal\r\n", 4},
      {"UTF-16 with its mark", Utf16("[Application]\r\nW98=Instal\r\n"), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<tool::Finding> findings = tool::LintDisk(tool::DiskToLint{c.ini});
    bool found = false;
    for (const tool::Finding& finding : findings) {
      if (finding.check != "unknown-command") continue;
      found = true;
      EXPECT_EQ(c.line, finding.line);
    }
    EXPECT_TRUE(found);
  }
}

std::vector<tool::Finding> FindingsOf(const std::vector<tool::Finding>& findings, const std::string& check) {
  std::vector<tool::Finding> found;
  for (const tool::Finding& finding : findings) {
    if (finding.check == check) found.push_back(finding);
  }
  return found;
}

// A name a plain ISO 9660 CD carries has up to eight letters, digits or underscores and an extension of
// up to three; case does not matter. Each name here is a [SubDir] folder that is on the disk.
TEST(DiskLint, NamesACdWithoutLongNamesCannotCarryAreFound) {
  struct Case {
    const char* folder;
    bool found;
  };
  const Case cases[] = {
      {"WIN98", false}, {"win98", false},   {"W98_DRV", false},  {"DRIVERS1", false},
      {"DRV.D", false}, {"DRV.INF", false}, {"DRIVERS12", true}, {"Win98SE-Drivers", true},
      {"MY DRV", true}, {"DRV.INFO", true}, {"A.B.C", true},     {"DRV.", true},
      {".DRV", true},   {"\xC4RGER", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    testing::TempFolder folder;
    folder.Write("vadrun.exe", "");
    folder.Write(std::string(c.folder) + "/A.INF", "");
    sim::FileSystem files;
    files.MapDrive('D', folder.Path());
    tool::DiskToLint disk{
        "[Application]\r\nW98=Install\r\n[SubDir]\r\nW98=\\" + std::string(c.folder) + "\r\n", &files};
    const auto findings = tool::LintDisk(disk);
    EXPECT_EQ(c.found ? 1u : 0u, FindingsOf(findings, "not-8.3").size());
    EXPECT_TRUE(FindingsOf(findings, "missing-folder").empty()) << "the folder is there, in any case";
  }
}

// Windows 95, 98 and Me read the first 64 KB of the file; the finding names the line where that part
// ends. Every line here is 16 bytes long, so 64 KB end with line 4096.
TEST(DiskLint, FileLongerThanWindows9xReadsIsFound) {
  struct Case {
    const char* name;
    const char* system;
    size_t size;
    unsigned line;  // of the finding; 0 for none
  };
  const Case cases[] = {
      {"64 KB for Windows 98", "W98", 65536, 0},
      {"a byte more for Windows 98", "W98", 65537, 4096},
      {"a line more for Windows 95", "W95A", 65536 + 16, 4096},
      {"a line more, only for Windows XP", "WINNT", 65536 + 16, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string ini = "[Application] \r\n" + std::string(c.system) + "=ShowMsgAbc" +
                      std::string(10 - std::string(c.system).size(), ' ') + "\r\n";
    while (ini.size() + 16 <= c.size) ini += ";aaaaaaaaaaaaa\r\n";
    ini += std::string(c.size - ini.size(), ';');
    ASSERT_EQ(c.size, ini.size());
    const auto findings = FindingsOf(tool::LintDisk(tool::DiskToLint{ini}), "long-file");
    ASSERT_EQ(c.line == 0 ? 0u : 1u, findings.size());
    if (c.line != 0) EXPECT_EQ(c.line, findings[0].line);
  }
}

}  // namespace
}  // namespace quelm
