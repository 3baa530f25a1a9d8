// quelm-sim lint on a corpus of faulty disks, one per check: each gets exactly its expected findings,
// and only findings of its own check.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "DiskLint.h"

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
    const std::vector<tool::Finding> findings =
        tool::LintProfile(sim::ProfileFile(ReadWhole(entry.path() / "QUELM.INI")), 1252);
    EXPECT_EQ(ReadWhole(entry.path() / "expected.txt"), tool::RenderFindings(findings, "QUELM.INI", 1252));
    for (const tool::Finding& finding : findings) EXPECT_EQ(check, finding.check) << finding.message;
    EXPECT_EQ(check == "clean", findings.empty());
    if (check != "clean") {
      EXPECT_NE(std::string::npos, guide.find("| `" + check + "` |"))
          << "the disk authors' guide lists every check";
    }
  }
  EXPECT_GE(disks, 26u) << "the corpus holds a disk per check and a clean one";
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
    const std::vector<tool::Finding> findings = tool::LintProfile(sim::ProfileFile(c.ini), 1252);
    bool found = false;
    for (const tool::Finding& finding : findings) {
      if (finding.check != "unknown-command") continue;
      found = true;
      EXPECT_EQ(c.line, finding.line);
    }
    EXPECT_TRUE(found);
  }
}

}  // namespace
}  // namespace quelm
