// quelm-sim lint on a corpus of faulty disks, one per check: each gets exactly its expected findings,
// and only findings of its own check; and the checks whose disks are made on the fly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "lint/DiskLint.h"
#include "sim/SimCodePage.h"
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

namespace quelm {
namespace {

// The checks lint reports on one line of a disk whose other lines are right.
std::vector<std::string> ChecksOnLine(const std::string& ini, unsigned line) {
  testing::TempFolder folder;
  folder.Write("vadrun.exe", "");
  folder.Write("WIN98/A.INF", "");
  sim::FileSystem files;
  files.MapDrive('D', folder.Path());
  std::vector<std::string> checks;
  for (const tool::Finding& finding : tool::LintDisk(tool::DiskToLint{ini, &files})) {
    if (finding.line == line) checks.push_back(finding.check);
  }
  return checks;
}

std::string DiskWith(const std::string& script, const std::string& entry) {
  return "[Application]\r\nW98=" + script + "\r\n[SubDir]\r\nW98=\\WIN98\r\n[DetectCard]\r\n1=" + entry +
         "\r\n[Message]\r\nDetectCard=a\r\nCheckPCIKey=b\r\nInstallFailed=c\r\nNotSupport=d\r\n";
}

// One model of each line: a card entry as the launcher's own code reads it against what it plainly
// means, reported only where the two differ in what the launcher does.
TEST(DiskLint, ACardEntryIsFlaggedWhereItsReadingDiffersFromItsMeaning) {
  struct Case {
    const char* entry;
    std::vector<std::string> checks;
  };
  const Case cases[] = {
      {"6699,15437,AGP,1,0", {}},
      {"6699 ,15437,AGP,1,0", {}},   // the number reading stops at the blank: 6699 all the same
      {" 6699, 15437,AGP,1,0", {}},  // and skips blanks before it
      {"+6699,15437,AGP,1,0", {}},
      {"6699,15437,agp,1,0", {}},
      {"6699,15437,AGP,10,0", {}},  // only the first character of the pass flag counts
      {"6699,15437,PCI ,1,0", {}},  // not AGP either way
      {"6699,,15437,AGP,1,0", {}},  // a run of commas is one
      {"6699,15437,AGP ,1,0", {"trailing-blank"}},
      {"6699,15437, AGP,1,0", {"leading-blank"}},
      {"6699,15437,\"AGP\",1,0", {"quoted-field"}},
      {"6699,15437,AGP8X,1,0", {"not-agp"}},
      {"6699,15437,AGP, 1,0", {"leading-blank"}},
      {"6699,15437,AGP,'1',0", {"quoted-field"}},
      {"\"6699\",15437,AGP,1,0", {"quoted-field"}},
      {"1A2B,3C4D,AGP,1,0", {"not-decimal", "not-decimal"}},
      {"0x1A2B,15437,AGP,1,0", {"not-decimal"}},
      {"6699,0421,AGP,1,0", {"leading-zero-id"}},
      {"6699,0000,AGP,1,0", {}},  // the same in both bases
      {"72235,15437,AGP,1,0", {"not-decimal"}},
      {"Example,15437,AGP,1,0", {"not-decimal"}},
      {"6699,15437,AGP", {"short-card-entry"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(c.checks, ChecksOnLine(DiskWith("DetectCard,CheckPCIKey,Install,End", c.entry), 6));
  }
}

TEST(DiskLint, ATokenIsFlaggedWhereItsReadingDiffersFromItsMeaning) {
  struct Case {
    const char* script;
    std::vector<std::string> checks;
  };
  const Case cases[] = {
      {"DetectCard,CheckPCIKey,Install,End", {}},
      {"DetectCard ,CheckPCIKey,Install,End", {}},  // the section asked for loses its spaces
      {"detectcard,checkpcikey,install,end", {}},
      {"DetectCard,,CheckPCIKey,Install,End", {}},
      // The tab stays in the names it looks up; the sections and messages meant get their own findings.
      {"DetectCard\t,CheckPCIKey,Install,End", {"trailing-blank"}},
      {"DetectCard, CheckPCIKey,Install,End", {"leading-blank"}},
      {"DetectCard,\"CheckPCIKey\",Install,End", {"quoted-field"}},
      {"DetectCard,CheckPCIKey,Install,End.", {"end-not-whole"}},
      {"DetectCard,CheckPCIKey,Instal,End", {"unknown-command"}},
      {"CheckPCIKey,DetectCard,Install,End", {"no-card-before"}},
      {"DetectCard,CheckPCIKey,End,Install", {"unreachable-token"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(c.checks, ChecksOnLine(DiskWith(c.script, "6699,15437,AGP,1,0"), 2));
  }
}

// --fix mends exactly what it can and nothing else, and leaves a file with nothing more to mend.
TEST(DiskLint, FixMendsWhatItCanExactly) {
  struct Case {
    const char* name;
    std::string before;
    std::string after;
  };
  const std::string rest = "\r\n[SubDir]\r\nW98=\\WIN98\r\n[Message]\r\nNotSupport=d\r\nInstallFailed=c\r\n";
  const Case cases[] = {
      {"a blank and quotes in a token", "[Application]\r\nW98= \"Install\",End" + rest,
       "[Application]\r\nW98= Install,End" + rest},  // the blank before the value is the reader's to remove
      {"IDs in hexadecimal", DiskWith("DetectCard,End", "0x1A2B,3C4D,AGP,1,0"),
       DiskWith("DetectCard,End", "6699,15437,AGP,1,0")},
      {"a leading zero stays: its meaning is a guess", DiskWith("DetectCard,End", "6699,0421,AGP,1,0"),
       DiskWith("DetectCard,End", "6699,0421,AGP,1,0")},
      {"a UTF-8 mark and UTF-8 text",
       "\xEF\xBB\xBF[Application]\r\nW98=ShowMsgA\r\n[Message]\r\nShowMsgA=pr\xC3\xBC"
       "fen\r\n",
       "[Application]\r\nW98=ShowMsgA\r\n[Message]\r\nShowMsgA=pr\xFC"
       "fen\r\n"},
      {"CR alone", "[Application]\rW98=ShowMsgA\r[Message]\rShowMsgA=x\r",
       "[Application]\r\nW98=ShowMsgA\r\n[Message]\r\nShowMsgA=x\r\n"},
      {"a character the code page lacks stays",
       "[Application]\r\nW98=ShowMsgA\r\n[Message]\r\nShowMsgA=\xC5\xBA\r\n",
       "[Application]\r\nW98=ShowMsgA\r\n[Message]\r\nShowMsgA=\xC5\xBA\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tool::DiskToLint disk{c.before};
    const tool::FixedFile fixed = tool::FixDisk(disk);
    EXPECT_EQ(c.after, fixed.bytes);
    EXPECT_EQ(c.after != c.before, fixed.applied > 0);
    disk.bytes = fixed.bytes;
    for (const tool::Finding& finding : tool::LintDisk(disk))
      EXPECT_FALSE(finding.fix.has_value()) << finding.message;
  }
}

// Whatever the bytes, the JSON is valid UTF-8 and one object a finding; a file that is no profile file
// gets one finding that says what it looks like, and nothing else.
TEST(DiskLint, AnyBytesGiveValidOutputAndNoProfileOneFinding) {
  struct Case {
    const char* name;
    std::string bytes;
    const char* looksLike;  // null: a profile file
  };
  std::string iso(0x8010, '\0');
  iso.replace(0x8001, 5, "CD001");
  std::string floppy(512, '\0');
  floppy.replace(54, 3, "FAT");
  floppy.replace(510, 2, "\x55\xAA");
  const Case cases[] = {
      {"an ISO image", iso, "ISO 9660"},
      {"a floppy image", floppy, "FAT"},
      {"a program", "MZ\x90\0\3\0\0\0", "program"},
      {"a read-me", "Read me first.\r\nThen run QUELM.EXE.\r\n", "without a single [section]"},
      {"NUL bytes in a profile", std::string("[Application]\r\nW98=End\0\0\r\n", 25), "NUL"},
      {"a broken UTF-8 character cut in a message",
       "[Application]\r\nW98=ShowMsgA\r\n[Message]\r\nShowMsgA=\xE2\x82\r\n", nullptr},
      {"bytes of every value",
       [] {
         std::string all = "[Application]\r\nW98=ShowMsgA\r\n[Message]\r\nShowMsgA=";
         for (int b = 1; b < 256; ++b)
           if (b != '\r' && b != '\n') all += static_cast<char>(b);
         return all;
       }(),
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const uint32_t codePage : {1252u, 932u}) {
      const auto findings = tool::LintDisk(tool::DiskToLint{c.bytes, nullptr, codePage});
      const std::string json = tool::RenderFindingsJson(findings, "QUELM.INI", codePage);
      EXPECT_EQ(sim::ValidUtf8(json), json);
      EXPECT_EQ(sim::ValidUtf8(tool::RenderFindings(findings, "QUELM.INI", codePage)),
                tool::RenderFindings(findings, "QUELM.INI", codePage));
      size_t lines = 0;
      for (size_t at = json.find('\n'); at != std::string::npos; at = json.find('\n', at + 1)) ++lines;
      EXPECT_EQ(findings.size(), lines);
      if (c.looksLike != nullptr) {
        ASSERT_EQ(1u, findings.size());
        EXPECT_EQ("not-a-profile", findings[0].check);
        EXPECT_NE(std::string::npos, findings[0].message.find(c.looksLike)) << findings[0].message;
      } else {
        for (const auto& finding : findings) EXPECT_NE("not-a-profile", finding.check);
      }
    }
  }
}

TEST(DiskLint, AFindingInAnotherFileIsShownBesideQuelmIni) {
  struct Case {
    const char* name;
    const char* file;
    const char* iniPath;
    const char* expected;
  };
  const Case cases[] = {
      {"QUELM.INI itself", "", "disk/QUELM.INI", "disk/QUELM.INI"},
      {"beside it, slashes", "AUTORUN.INF", "cds/driver/QUELM.INI", "cds/driver/AUTORUN.INF"},
      {"beside it, backslashes", "AUTORUN.INF", "D:\\driver\\QUELM.INI", "D:\\driver\\AUTORUN.INF"},
      {"a bare file name", "AUTORUN.INF", "QUELM.INI", "AUTORUN.INF"},
      {"an image's file", "AUTORUN.INF", "cds/driver.iso:QUELM.INI", "cds/driver.iso:AUTORUN.INF"},
      {"an image's own finding", "", "cds/driver.iso:QUELM.INI", "cds/driver.iso:QUELM.INI"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    tool::Finding finding;
    finding.file = test.file;
    finding.line = 1;
    finding.check = "x";
    EXPECT_EQ(test.expected, tool::FindingPath(finding, test.iniPath));
    const std::string text = tool::RenderFindings({finding}, test.iniPath, 1252);
    EXPECT_EQ(0U, text.find(std::string(test.expected) + ":1:1: ")) << text;
    std::string quoted;
    for (const char c : std::string(test.expected))
      quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
    const std::string json = tool::RenderFindingsJson({finding}, test.iniPath, 1252);
    EXPECT_NE(std::string::npos, json.find("\"file\":\"" + quoted + "\"")) << json;
  }
}

// A long line (an image read as text is one of 20,000 characters) is shown as the part around its
// column, cut marks where it is cut, the caret still under the column's character.
TEST(DiskLint, ALongSourceLineIsShownAroundItsColumn) {
  std::string digits;
  for (int i = 0; i < 300; ++i) digits += static_cast<char>('0' + i % 10);
  const std::string accented = std::string(150, '\xE9') + "X" + std::string(150, '\xE9');  // é in 1252
  struct Case {
    const char* name;
    std::string source;
    unsigned column;
    std::string shown;  // the line under the message, after " 1 | "
    size_t caret;       // blanks before the caret
  };
  const Case cases[] = {
      {"a short line whole", "W98=DetectCard", 5, "W98=DetectCard", 4},
      {"a line of 160 whole", digits.substr(0, 160), 160, digits.substr(0, 160), 159},
      {"near its beginning", digits, 3, digits.substr(0, 160) + "...", 2},
      {"in its middle", digits, 151, "..." + digits.substr(90, 160) + "...", 63},
      {"at its end", digits, 300, "..." + digits.substr(140), 162},
      {"past its end", digits, 1000, "..." + digits.substr(140), 163},
      {"characters of two bytes", accented, 151,
       "..." + std::string(60, '\xE9') + "X" + std::string(99, '\xE9') + "...", 63},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    tool::Finding finding;
    finding.line = 1;
    finding.column = test.column;
    finding.check = "x";
    finding.source = test.source;
    const std::string text = tool::RenderFindings({finding}, "QUELM.INI", 1252);
    const std::string expected = "QUELM.INI:1:" + std::to_string(test.column) + ": warning:  [x]\n 1 | " +
                                 sim::ToUtf8(test.shown, 1252) + "\n   | " + std::string(test.caret, ' ') +
                                 "^\n";
    EXPECT_EQ(expected, text);
  }
}

}  // namespace
}  // namespace quelm
