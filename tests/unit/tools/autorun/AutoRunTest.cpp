// How each release starts the launcher from a disk's AUTORUN.INF: the base directory the launcher's own
// code makes of the command line and current directory it gets, on folders, CD and floppy images.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "autorun/AutoRun.h"
#include "console/RunOptions.h"
#include "support/DiskImages.h"
#include "support/SimDisk.h"

namespace quelm::tool {
namespace {

// The first bytes of a program: an MZ header whose e_lfanew points at `signature`.
std::string Program(const char* signature) {
  std::string bytes(0x44, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  bytes[0x3C] = 0x40;
  bytes.replace(0x40, 2, signature);
  return bytes;
}
const std::string kWin32 = Program("PE");
const std::string kSixteenBit = Program("NE");

enum class Disk { kFolder, kCdImage, kFloppyImage };

struct Case {
  const char* name;
  std::map<std::string, std::string> files;  // path below the root ("SETUP\\QUELM.EXE"): bytes
  const char* os;
  std::optional<std::string> startedBy;  // nothing: no launch record expected
  const char* baseDir;
  const char* program = "";  // the launcher the start names; "" where no record is expected
  const char* note = "";     // a note the record must hold
  Disk disk = Disk::kFolder;
  const char* asked = nullptr;  // --started-by
  bool asksFirst = false;
};

// The disk in a temporary folder: the files themselves, or an image of them.
std::string MakeDisk(const testing::TempFolder& folder, const Case& c) {
  if (c.disk == Disk::kFolder) {
    for (const auto& [path, bytes] : c.files) {
      std::string relative = path;
      for (char& ch : relative) ch = ch == '\\' ? '/' : ch;
      folder.Write("disk/" + relative, bytes);
    }
    return (folder.Path() / "disk").string();
  }
  if (c.disk == Disk::kCdImage) {
    testing::IsoImage image;
    for (const auto& [path, bytes] : c.files) {
      const size_t cut = path.find('\\');
      if (cut == std::string::npos) {
        image.root.children.push_back(testing::IsoFile(path + ";1", "", bytes));
      } else {
        image.root.children.push_back(testing::IsoFolder(
            path.substr(0, cut), "", {testing::IsoFile(path.substr(cut + 1) + ";1", "", bytes)}));
      }
    }
    folder.Write("disk.iso", image.Build());
    return (folder.Path() / "disk.iso").string();
  }
  testing::FatImage image;
  for (const auto& [path, bytes] : c.files) {
    const size_t cut = path.find('\\');
    if (cut == std::string::npos) {
      image.root.push_back(testing::FatFile(path, "", bytes));
    } else {
      image.root.push_back(
          testing::FatFolder(path.substr(0, cut), "", {testing::FatFile(path.substr(cut + 1), "", bytes)}));
    }
  }
  folder.Write("disk.img", image.Build());
  return (folder.Path() / "disk.img").string();
}

TEST(AutoRunStart, EachReleaseGivesTheLauncherItsBaseDirectory) {
  const Case cases[] = {
      {"no AUTORUN.INF: the plain start", {{"QUELM.EXE", kWin32}}, "98", std::nullopt, "D:"},
      {"open= in the root",
       {{"AUTORUN.INF", "[autorun]\r\nopen=QUELM.EXE\r\n"}, {"QUELM.EXE", kWin32}},
       "98",
       "autorun",
       "D:",
       "D:\\QUELM.EXE"},
      {"a sub-folder: the disc's root is the current directory",
       {{"AUTORUN.INF", "[autorun]\r\nopen=SETUP\\QUELM.EXE\r\n"}, {"SETUP\\QUELM.EXE", kWin32}},
       "xp",
       "autorun",
       "D:",
       "D:\\SETUP\\QUELM.EXE",
       "not documented"},
      {"a tail makes the base directory",
       {{"AUTORUN.INF", "[autorun]\r\nopen=QUELM.EXE \\W95\r\n"}, {"QUELM.EXE", kWin32}},
       "95",
       "autorun",
       "D:\\W95",
       "D:\\QUELM.EXE"},
      {"quotes around a program path with blanks, and a tail",
       {{"AUTORUN.INF", "[autorun]\r\nopen=\"SETUP DIR\\QUELM.EXE\" \\W98\r\n"},
        {"SETUP DIR\\QUELM.EXE", kWin32}},
       "98",
       "autorun",
       "D:\\W98",
       "D:\\SETUP DIR\\QUELM.EXE"},
      {"quotes around the whole value are the profile reader's: the path's second word is the tail",
       {{"AUTORUN.INF", "[autorun]\r\nopen=\"SETUP DIR\\QUELM.EXE\"\r\n"}, {"SETUP DIR\\QUELM.EXE", kWin32}},
       "98",
       "autorun",
       "D:DIR\\QUELM.EXE",
       "D:\\SETUP DIR\\QUELM.EXE"},
      {"blanks without quotes",
       {{"AUTORUN.INF", "[autorun]\r\nopen=SETUP DIR\\QUELM.EXE\r\n"}, {"SETUP DIR\\QUELM.EXE", kWin32}},
       "2000",
       "autorun",
       "D:DIR\\QUELM.EXE",
       "D:\\SETUP DIR\\QUELM.EXE"},
      {"names in any case",
       {{"autorun.inf", "[AutoRun]\r\nOPEN=setup\\quelm.exe \\W95\r\n"}, {"setup\\quelm.exe", kWin32}},
       "95-osr2",
       "autorun",
       "D:\\W95",
       "D:\\setup\\quelm.exe"},
      {"shellexecute= on XP",
       {{"AUTORUN.INF", "[autorun]\r\nshellexecute=QUELM.EXE \\W98\r\n"}, {"QUELM.EXE", kWin32}},
       "xp",
       "autorun",
       "D:\\W98",
       "D:\\QUELM.EXE",
       "ShellExecuteEx"},
      {"shellexecute= on Me",
       {{"AUTORUN.INF", "[autorun]\r\nshellexecute=QUELM.EXE \\W98\r\n"}, {"QUELM.EXE", kWin32}},
       "me",
       "autorun",
       "D:\\W98",
       "D:\\QUELM.EXE"},
      {"shellexecute= is not read on 98",
       {{"AUTORUN.INF", "[autorun]\r\nshellexecute=QUELM.EXE \\W98\r\n"}, {"QUELM.EXE", kWin32}},
       "98se",
       "explorer",
       "D:",
       "D:\\QUELM.EXE",
       "does not read shellexecute="},
      {"open= names another program",
       {{"AUTORUN.INF", "[autorun]\r\nopen=SETUP.EXE \\W95\r\n"},
        {"SETUP.EXE", kWin32},
        {"QUELM.EXE", kWin32}},
       "98",
       "explorer",
       "D:",
       "D:\\QUELM.EXE",
       "AutoRun starts D:\\SETUP.EXE, not the launcher"},
      {"NT 3.51 has no AutoRun: Explorer's start in the program's folder",
       {{"AUTORUN.INF", "[autorun]\r\nopen=SETUP\\QUELM.EXE \\W95\r\n"}, {"SETUP\\QUELM.EXE", kWin32}},
       "nt351",
       "explorer",
       "D:\\SETUP",
       "D:\\SETUP\\QUELM.EXE"},
      {"Win32s has no AutoRun",
       {{"AUTORUN.INF", "[autorun]\r\nopen=SETUP\\QUELM.EXE\r\n"}, {"SETUP\\QUELM.EXE", kWin32}},
       "win32s",
       "explorer",
       "D:\\SETUP",
       "D:\\SETUP\\QUELM.EXE"},
      {"Vista asks first",
       {{"AUTORUN.INF", "[autorun]\r\nopen=QUELM.EXE \\W95\r\n"}, {"QUELM.EXE", kWin32}},
       "vista",
       "autorun",
       "D:\\W95",
       "D:\\QUELM.EXE",
       "",
       Disk::kFolder,
       nullptr,
       true},
      {"the program open= names is missing",
       {{"AUTORUN.INF", "[autorun]\r\nopen=SETUP\\QUELM.EXE \\W95\r\n"}},
       "98",
       "explorer",
       "D:",
       "D:\\QUELM.EXE",
       "is not on the disk"},
      {"a 16-bit program is not the launcher",
       {{"AUTORUN.INF", "[autorun]\r\nopen=QUELM.EXE \\W95\r\n"}, {"QUELM.EXE", kSixteenBit}},
       "98",
       "explorer",
       "D:",
       "D:\\QUELM.EXE",
       "no 32-bit Windows program"},
      {"no [autorun] section",
       {{"AUTORUN.INF", "[autoplay]\r\nopen=QUELM.EXE \\W95\r\n"}, {"QUELM.EXE", kWin32}},
       "98",
       "explorer",
       "D:",
       "D:\\QUELM.EXE",
       "no [autorun] section"},
      {"asked for Explorer",
       {{"AUTORUN.INF", "[autorun]\r\nopen=SETUP\\QUELM.EXE \\W95\r\n"}, {"SETUP\\QUELM.EXE", kWin32}},
       "98",
       "explorer",
       "D:\\SETUP",
       "D:\\SETUP\\QUELM.EXE",
       "",
       Disk::kFolder,
       "explorer"},
      {"asked for AutoRun where there is none",
       {{"AUTORUN.INF", "[autorun]\r\nopen=QUELM.EXE \\W95\r\n"}, {"QUELM.EXE", kWin32}},
       "nt35",
       "explorer",
       "D:",
       "D:\\QUELM.EXE",
       "never runs AutoRun",
       Disk::kFolder,
       "autorun"},
      {"a floppy: Explorer's start",
       {{"AUTORUN.INF", "[autorun]\r\nopen=SETUP\\QUELM.EXE \\W95\r\n"}, {"SETUP\\QUELM.EXE", kWin32}},
       "xp",
       "explorer",
       "D:\\SETUP",
       "D:\\SETUP\\QUELM.EXE",
       "",
       Disk::kFloppyImage},
      {"a CD image",
       {{"AUTORUN.INF", "[autorun]\r\nopen=SETUP\\QUELM.EXE \\W95\r\n"}, {"SETUP\\QUELM.EXE", kWin32}},
       "95",
       "autorun",
       "D:\\W95",
       "D:\\SETUP\\QUELM.EXE",
       "",
       Disk::kCdImage},
      {"a CD image's small letters that NT 4.0 does not find",
       {{"autorun.inf", "[autorun]\r\nopen=QUELM.EXE \\W95\r\n"}, {"QUELM.EXE", kWin32}},
       "nt4",
       std::nullopt,
       "D:",
       "",
       "",
       Disk::kCdImage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempFolder folder;
    RunOptions options;
    options.disk = MakeDisk(folder, c);
    options.os = c.os;
    if (c.asked != nullptr) options.startedBy = c.asked;
    sim::SimMachine machine;
    ApplyOptions(options, machine);
    machine.RunLauncher();
    const auto starts = machine.EventsOf<sim::StartEvent>();
    ASSERT_EQ(1u, starts.size());
    const sim::StartEvent& start = starts.front();
    EXPECT_EQ(c.baseDir, start.baseDir);
    ASSERT_EQ(c.startedBy.has_value(), start.launch.has_value());
    if (!start.launch) continue;
    EXPECT_EQ(*c.startedBy, start.launch->startedBy) << start.launch->why;
    EXPECT_EQ(c.program, start.launch->program);
    EXPECT_EQ(c.asksFirst, start.launch->asksFirst);
    std::string notes;
    for (const std::string& note : start.launch->notes) notes += note + "\n";
    EXPECT_NE(std::string::npos, notes.find(c.note)) << notes;
  }
}

TEST(AutoRunStart, AStartOfTheUsersOwnIsAsBefore) {
  struct Given {
    const char* name;
    const char* cwd;
    const char* tail;
    const char* startedBy;
    const char* baseDir;
    bool record;
  };
  const Given cases[] = {
      {"--cwd", "D:\\NT40", "", nullptr, "D:\\NT40", false},
      {"--tail", "D:\\", "\\W98", nullptr, "D:\\W98", false},
      {"--started-by command", "D:\\", "", "command", "D:", true},
      {"--started-by command with --tail", "D:\\", "\\W95", "command", "D:\\W95", true},
  };
  testing::TempFolder folder;
  folder.Write("AUTORUN.INF", "[autorun]\r\nopen=SETUP\\QUELM.EXE \\W95\r\n");
  folder.Write("SETUP/QUELM.EXE", kWin32);
  for (const Given& c : cases) {
    SCOPED_TRACE(c.name);
    RunOptions options;
    options.disk = folder.Path().string();
    options.cwd = c.cwd;
    options.tail = c.tail;
    if (c.startedBy != nullptr) options.startedBy = c.startedBy;
    sim::SimMachine machine;
    ApplyOptions(options, machine);
    machine.RunLauncher();
    const auto starts = machine.EventsOf<sim::StartEvent>();
    ASSERT_EQ(1u, starts.size());
    EXPECT_EQ(c.baseDir, starts.front().baseDir);
    EXPECT_EQ(c.record, starts.front().launch.has_value());
  }
}

TEST(AutoRunStart, ContradictoryOrUnknownStartsAreUsageErrors) {
  struct Bad {
    const char* name;
    const char* startedBy;
    const char* cwd;
    bool launcherDirGiven;
  };
  const Bad cases[] = {
      {"an unknown word", "autoplay", "D:\\", false},
      {"autorun with --cwd", "autorun", "D:\\SETUP", false},
      {"explorer with --launcher-dir", "explorer", "D:\\", true},
  };
  testing::TempFolder folder;
  folder.Write("QUELM.INI", "");
  for (const Bad& c : cases) {
    SCOPED_TRACE(c.name);
    RunOptions options;
    options.disk = folder.Path().string();
    options.startedBy = c.startedBy;
    options.cwd = c.cwd;
    options.startGiven = c.launcherDirGiven;
    sim::SimMachine machine;
    EXPECT_THROW(ApplyOptions(options, machine), UsageError);
  }
}

TEST(AutoRunRule, ReleasesAndDiskKinds) {
  struct Rule {
    const char* release;
    DiskKind kind;
    bool runs;
    bool asks;
    bool shellExecute;
  };
  const Rule cases[] = {
      {"win32s", DiskKind::kCd, false, false, false}, {"95", DiskKind::kCd, true, false, false},
      {"98se", DiskKind::kCd, true, false, false},    {"me", DiskKind::kCd, true, false, true},
      {"nt31", DiskKind::kCd, false, false, false},   {"nt351", DiskKind::kCd, false, false, false},
      {"nt4", DiskKind::kCd, true, false, false},     {"2000", DiskKind::kCd, true, false, true},
      {"xp", DiskKind::kCd, true, false, true},       {"vista", DiskKind::kCd, true, true, true},
      {"11", DiskKind::kCd, true, true, true},        {"95", DiskKind::kFloppy, false, false, false},
      {"xp", DiskKind::kFloppy, false, false, true},  {"7", DiskKind::kFloppy, false, false, true},
  };
  for (const Rule& c : cases) {
    SCOPED_TRACE(std::string(c.release) + (c.kind == DiskKind::kFloppy ? " floppy" : " CD"));
    const AutoRunRule rule = RuleOf(sim::ReleaseNamed(c.release)->record, c.kind);
    EXPECT_EQ(c.runs, rule.runsEntry) << rule.why;
    EXPECT_EQ(c.asks, rule.asksFirst) << rule.why;
    EXPECT_EQ(c.shellExecute, rule.shellExecute) << rule.why;
  }
}

}  // namespace
}  // namespace quelm::tool
