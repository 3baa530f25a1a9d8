// Exec commands: macro expansion, field splitting after it, and what reaches the shell.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/SimDisk.h"

namespace quelm {
namespace {

using testing::SimDisk;

TEST(ShellLaunch, MacrosThenFields) {
  struct Case {
    const char* name;
    std::string folder;  // the base directory is D: followed by "\" and this folder, or D: alone
    std::optional<std::string> programLine;  // none: no "program" entry
    bool opened;
    std::string file;
    std::optional<std::string> directory;
  };
  const std::string kLong(200, 'L');
  const std::string kManyOs = [] {
    std::string text;
    for (int i = 0; i < 60; ++i) text += "[OS]";
    return text;
  }();
  const Case cases[] = {
      {"readme in the base directory", "W95", "[CWD]\\README.TXT,x,[CWD]", true, "D:\\W95\\README.TXT",
       "D:\\W95"},
      {"lower-case macro is left alone", "W95", "[cwd]\\A.EXE,x,[CWD]", true, "[cwd]\\A.EXE", "D:\\W95"},
      {"every [CWD] is replaced", "W95", "[CWD]\\[CWD].EXE,x,[CWD]\\SUB", true, "D:\\W95\\D:\\W95.EXE",
       "D:\\W95\\SUB"},
      {"a comma in the base directory splits the line", "A,B", "[CWD]\\SETUP.EXE,x,[CWD]", true, "D:\\A",
       "x"},
      {"[OS] is removed", "", "[CWD]\\[OS]\\SETUP.EXE,x,[CWD]", true, "D:\\\\SETUP.EXE", "D:"},
      {"[OS] removed until none is left", "", "[O[OS]S]A.EXE,x,D:", true, "A.EXE", "D:"},
      {"[CWD] in the base directory is not expanded again", "[CWD]", "[CWD]\\A.EXE,x,[CWD]", true,
       "D:\\[CWD]\\A.EXE", "D:\\[CWD]"},
      {"[OS] brought in by the base directory is removed", "[OS]", "[CWD]\\A.EXE,x,[CWD]", true,
       "D:\\\\A.EXE", "D:\\"},
      {"blanks stay part of the fields", "", "A.EXE , x , D:\\WORK", true, "A.EXE ", " D:\\WORK"},
      {"doubled commas shift the fields", "", "A.EXE,,x,,D:\\WORK,more", true, "A.EXE", "D:\\WORK"},
      {"no working-directory field", "", "A.EXE,x", true, "A.EXE", std::nullopt},
      {"file field only", "", "A.EXE", true, "A.EXE", std::nullopt},
      {"no program entry", "", std::nullopt, false, "", std::nullopt},
      {"commas only", "", ",,,", false, "", std::nullopt},
      {"expanded line would not fit", kLong, "[CWD]\\A.EXE,x,[CWD]", false, "", std::nullopt},
      {"expanded line of exactly 255 characters", std::string(122, 'e'), "[CWD]\\X,x,[CWD]", true,
       "D:\\" + std::string(122, 'e') + "\\X", "D:\\" + std::string(122, 'e')},
      {"256 characters do not fit", std::string(122, 'e'), "[CWD]\\XY,x,[CWD]", false, "", std::nullopt},
      // Three expansions of a base directory of 243 characters overflow even the working copy; removing
      // the [OS] that fill it would leave a few characters, but a line cut once is never opened.
      {"an expansion cut in the middle, though [OS] removal would make it fit", kManyOs, "[CWD][CWD][CWD]",
       false, "", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string ini = "[Application]\r\nW98=ExecTool,ShowMsg\r\n[Message]\r\nShowMsg=After\r\n";
    if (c.programLine) ini += "[ExecTool]\r\nprogram=" + *c.programLine + "\r\n";
    SimDisk disk("");
    disk.folder.Write(c.folder.empty() ? "QUELM.INI" : c.folder + "/QUELM.INI", ini);
    if (!c.folder.empty()) disk.machine.SetCommandTail("\\" + c.folder);
    disk.Run();
    const auto opened = disk.machine.EventsOf<sim::ShellEvent>();
    ASSERT_EQ(c.opened ? 1u : 0u, opened.size());
    EXPECT_EQ(std::vector<std::string>{"ShowMsg"}, disk.MessageKeys()) << "the script goes on in every case";
    if (!c.opened) continue;
    EXPECT_EQ(c.file, opened[0].file);
    EXPECT_EQ(c.directory, opened[0].directory);
  }
}

// Shift-JIS 0x81 0x5B is one character (a long-vowel mark) whose second byte is "[": no macro begins
// there. On Western Windows the same bytes are two characters, and the macro is expanded.
TEST(ShellLaunch, MacrosBeginAtWholeCharacters) {
  struct Case {
    uint32_t codePage;
    std::string file;
  };
  const Case cases[] = {{932, "\x81[CWD]\\A.EXE"},
                        {1252,
                         "\x81"
                         "D:\\A.EXE"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codePage);
    SimDisk disk("[Application]\r\nW98=ExecTool\r\n[ExecTool]\r\nprogram=\x81[CWD]\\A.EXE,x,[CWD]\r\n");
    disk.machine.codePage = c.codePage;
    disk.Run();
    const auto opened = disk.machine.EventsOf<sim::ShellEvent>();
    ASSERT_EQ(1u, opened.size());
    EXPECT_EQ(c.file, opened[0].file);
    EXPECT_EQ(std::optional<std::string>("D:"), opened[0].directory);
  }
}

// The run tells which files the shell is handed that are not on the disk, and whether the installation
// directory is there; of paths that lie on no simulated drive it cannot tell.
TEST(ShellLaunch, SaysWhatIsMissingOnTheDisk) {
  struct Case {
    const char* name;
    std::string programLine;
    std::vector<std::string> files;  // on the disk, besides QUELM.INI
    std::optional<bool> fileExists;
    std::optional<bool> directoryExists;
    std::optional<bool> installDirExists;
  };
  const Case cases[] = {
      {"all there",
       "[CWD]\\README.TXT,x,[CWD]\\TOOLS",
       {"README.TXT", "TOOLS/T.EXE", "WIN98/A.INF"},
       true,
       true,
       true},
      {"names in another case",
       "[CWD]\\readme.txt,x,[CWD]\\tools",
       {"README.TXT", "TOOLS/T.EXE", "win98/A.INF"},
       true,
       true,
       true},
      {"nothing there", "[CWD]\\README.TXT,x,[CWD]\\TOOLS", {}, false, false, false},
      {"a folder is no file",
       "[CWD]\\TOOLS,x,[CWD]\\README.TXT",
       {"README.TXT", "TOOLS/T.EXE"},
       false,
       false,
       false},
      {"on an unmapped drive, and by name only",
       "C:\\NOTES.TXT,x,notepad",
       {},
       std::nullopt,
       std::nullopt,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk("[Application]\r\nW98=ExecIt\r\n[SubDir]\r\nW98=\\WIN98\r\n[ExecIt]\r\nprogram=" +
                 c.programLine + "\r\n");
    for (const std::string& file : c.files) disk.folder.Write(file, "");
    disk.Run();
    const auto opened = disk.machine.EventsOf<sim::ShellEvent>();
    ASSERT_EQ(1u, opened.size());
    EXPECT_EQ(c.fileExists, opened[0].fileExists);
    EXPECT_EQ(c.directoryExists, opened[0].directoryExists);
    EXPECT_EQ(c.installDirExists, disk.machine.EventsOf<sim::StartEvent>().at(0).installDirExists);
  }
}

}  // namespace
}  // namespace quelm
