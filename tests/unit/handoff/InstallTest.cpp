// Handing the card to the installer program: command line, window search, button, exit code.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "handoff/Win9xInstaller.h"
#include "support/SimDisk.h"

namespace quelm {
namespace {

using testing::SimDisk;

std::string Ini(const std::string& script, const std::string& cardEntry = "6699,15437,PCI,1,0",
                const std::string& subDir = "\\W98") {
  return "[Application]\r\nW95A=" + script + "\r\nW95B=" + script + "\r\nW95C=" + script +
         "\r\nW98=" + script + "\r\nWIN95=" + script + "\r\nNT40=" + script + "\r\nWINNT=" + script +
         "\r\n[SubDir]\r\nW98=" + subDir + "\r\n[DetectCard]\r\n1=" + cardEntry +
         "\r\n[Message]\r\nNotSupport=Not here\r\nShowMsg=After\r\nInstallFailed=Cannot start\r\n";
}

// Passes over the windows until a window that shows this long after the program's start is taken: one
// at the start, then one after each pause.
uint32_t PassesUntilShown(uint32_t showAfterMs) {
  return (showAfterMs + kWindowSearchPauseMs - 1) / kWindowSearchPauseMs + 1;
}

TEST(Install, CommandLineCarriesTheCardUnquoted) {
  struct Case {
    const char* name;
    std::string script;
    std::string cardEntry;
    std::string subDir;
    std::string commandLine;
  };
  const Case cases[] = {
      {"PCI card", "DetectCard,Install,End", "6699,15437,PCI,1,0", "\\W98",
       "vadrun.exe Enum\\PCI\\VEN_1A2B&DEV_3C4D BUS_01&DEV_00&FUNC_00 D:\\W98 1"},
      {"AGP card", "DetectCard,Install,End", "6699,15437,AGP,0,0", "\\W98",
       "vadrun.exe Enum\\PCI\\VEN_1A2B&DEV_3C4D 000800 D:\\W98 0"},
      {"no card detected", "Install,End", "6699,15437,PCI,1,0", "\\W98", "vadrun.exe Enum\\PCI\\  D:\\W98 0"},
      {"installation directory with a blank", "DetectCard,Install,End", "6699,15437,PCI,1,0", "\\MY DRIVERS",
       "vadrun.exe Enum\\PCI\\VEN_1A2B&DEV_3C4D BUS_01&DEV_00&FUNC_00 D:\\MY DRIVERS 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk(Ini(c.script, c.cardEntry, c.subDir));
    disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
    disk.Run();
    const auto installers = disk.machine.EventsOf<sim::InstallerEvent>();
    ASSERT_EQ(1u, installers.size());
    EXPECT_EQ(c.commandLine, installers[0].commandLine);
    EXPECT_TRUE(installers[0].clicked);
    EXPECT_EQ(1u, disk.QuitRequests());
    EXPECT_EQ(1u, disk.machine.WaitCursorShown());
    EXPECT_EQ(0u, disk.machine.OpenHandles()) << "process handles left open";
  }
}

TEST(Install, LongestFieldsReachTheInstallerWhole) {
  sim::SimMachine machine;
  Win9xInstaller installer(machine);
  ASSERT_TRUE(installer.hardwareId.Assign(std::string(255, 'h').c_str()));
  ASSERT_TRUE(installer.location.Assign(std::string(255, 'l').c_str()));
  ASSERT_TRUE(installer.installDir.Assign(std::string(259, 'd').c_str()));
  installer.passFlag = 1;
  Text<kCommandLineCapacity> commandLine;
  installer.BuildCommandLine(commandLine);
  EXPECT_EQ("vadrun.exe Enum\\PCI\\" + std::string(255, 'h') + " " + std::string(255, 'l') + " " +
                std::string(259, 'd') + " 1",
            commandLine.CStr());
}

TEST(Install, OnlyWindows95And98AreSupported) {
  struct Case {
    const char* os;
    bool supported;
  };
  const Case cases[] = {{"W95A", true},   {"W95B", true},   {"W95C", true}, {"W98", true},
                        {"WIN95", false}, {"WINNT", false}, {"NT40", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.os);
    SimDisk disk(Ini("Install,ShowMsg,End"));
    disk.SetOs(c.os);
    disk.machine.installer.exitCode = 5;
    const int32_t exitCode = disk.Run();
    EXPECT_EQ(c.supported ? 1u : 0u, disk.machine.EventsOf<sim::InstallerEvent>().size());
    // Unsupported: NotSupport, a quit request, and the script still goes on to ShowMsg.
    const std::vector<std::string> expected =
        c.supported ? std::vector<std::string>{"ShowMsg"} : std::vector<std::string>{"NotSupport", "ShowMsg"};
    EXPECT_EQ(expected, disk.MessageKeys());
    EXPECT_EQ(c.supported ? 0u : 1u, disk.QuitRequests());
    EXPECT_EQ(c.supported ? 5 : 0, exitCode);
  }
}

TEST(Install, ExitCodeIsTheLastInstallerPrograms) {
  struct Case {
    const char* name;
    std::string script;
    std::vector<uint32_t> exitCodes;
    int32_t expected;
  };
  const Case cases[] = {
      {"no Install", "End", {3}, 0},
      {"one Install", "Install,End", {2}, 2},
      {"a later Install overrides", "Install,Install,End", {2, 7}, 7},
      {"a later zero overrides too", "Install,Install,End", {2, 0}, 0},
      {"exit codes are not interpreted", "Install,End", {0xC0000005}, static_cast<int32_t>(0xC0000005)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk(Ini(c.script));
    disk.machine.installer.exitCodesInOrder = c.exitCodes;
    EXPECT_EQ(c.expected, disk.Run());
  }
}

TEST(Install, WindowRules) {
  struct Case {
    const char* name;
    ScreenRect rect;
    uint32_t style;
    bool taken;
    ScreenSize screen = {640, 480};
  };
  const Case cases[] = {
      {"on screen and visible", {100, 100, 400, 300}, kVisibleStyle, true},
      {"hidden", {100, 100, 400, 300}, 0, false},
      {"partly off to the left", {-1, 100, 400, 300}, kVisibleStyle, false},
      {"partly above", {100, -1, 400, 300}, kVisibleStyle, false},
      {"left edge exactly at the screen width", {640, 0, 900, 300}, kVisibleStyle, true},
      {"top edge exactly at the screen height", {0, 480, 300, 700}, kVisibleStyle, true},
      {"beyond the right of the screen", {641, 0, 900, 300}, kVisibleStyle, false},
      {"below the screen", {0, 481, 300, 700}, kVisibleStyle, false},
      {"no width to the right of zero", {0, 0, 0, 300}, kVisibleStyle, false},
      {"right edge just right of zero", {0, 0, 1, 300}, kVisibleStyle, true},
      {"bottom edge is never examined", {0, 0, 10, -50}, kVisibleStyle, true},
      // A screen size that could not be read (0) bounds nothing: no window at all would do otherwise.
      {"screen size unknown", {160, 120, 480, 360}, kVisibleStyle, true, {0, 0}},
      {"screen size unknown, still off to the left", {-1, 120, 480, 360}, kVisibleStyle, false, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.taken, IsInstallerWindowCandidate(c.rect, c.style, c.screen));
  }
}

// Only an installer program that never shows what the launcher looks for and never ends keeps it
// waiting for ever; a slow one is waited for, however slow, and its exit code kept.
TEST(Install, OnlyInstallersThatNeverShowOrEndHangTheRun) {
  struct Case {
    const char* name;
    sim::InstallerWindow window;
    uint32_t showAfterMs;
    bool hasButton;
    std::optional<uint32_t> lifetimeMs;
    bool clicked;
    bool hang;
    int32_t exitCode;
    uint32_t windowPasses;  // 0: not checked
  };
  constexpr uint32_t kMinute = 60 * 1000;
  constexpr auto kEndedAfterHang = static_cast<int32_t>(sim::kEndedAfterHangExitCode);
  const Case cases[] = {
      {"normal window", sim::InstallerWindow::kNormal, 0, true, std::nullopt, true, false, 4, 1},
      {"off-screen window, ends by itself", sim::InstallerWindow::kOffscreen, 0, true, 3000, false, false, 4,
       0},
      {"hidden window, ends by itself", sim::InstallerWindow::kHidden, 0, true, 3000, false, false, 4, 0},
      {"no window, ends by itself", sim::InstallerWindow::kNever, 0, true, 500, false, false, 4, 0},
      {"no button, ends by itself", sim::InstallerWindow::kNormal, 0, false, 800, false, false, 4, 0},
      {"no window and never ends", sim::InstallerWindow::kNever, 0, true, std::nullopt, false, true,
       kEndedAfterHang, 0},
      {"no button and never ends", sim::InstallerWindow::kNormal, 0, false, std::nullopt, false, true,
       kEndedAfterHang, 0},
      {"off-screen window that never ends", sim::InstallerWindow::kOffscreen, 0, true, std::nullopt, false,
       true, kEndedAfterHang, 0},
      // Called hangs once the simulation gave up after ten minutes; the launcher would still be waiting.
      {"window after ten minutes", sim::InstallerWindow::kNormal, 10 * kMinute, true, std::nullopt, true,
       false, 4, PassesUntilShown(10 * kMinute)},
      {"window after a day", sim::InstallerWindow::kNormal, 24 * 60 * kMinute, true, std::nullopt, true,
       false, 4, PassesUntilShown(24 * 60 * kMinute)},
      {"no button, ends after fifteen minutes", sim::InstallerWindow::kNormal, 0, false, 15 * kMinute, false,
       false, 4, 0},
      {"no window, ends after a day", sim::InstallerWindow::kNever, 0, true, 24 * 60 * kMinute, false, false,
       4, PassesUntilShown(24 * 60 * kMinute) - 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk(Ini("Install,ShowMsg"));
    disk.machine.installer.window = c.window;
    disk.machine.installer.showAfterMs = c.showAfterMs;
    disk.machine.installer.hasButton = c.hasButton;
    disk.machine.installer.lifetimeMs = c.lifetimeMs;
    disk.machine.installer.exitCode = 4;
    EXPECT_EQ(c.exitCode, disk.Run());
    const auto installers = disk.machine.EventsOf<sim::InstallerEvent>();
    ASSERT_EQ(1u, installers.size());
    EXPECT_EQ(c.clicked, installers[0].clicked);
    if (c.windowPasses != 0) EXPECT_EQ(c.windowPasses, installers[0].windowPasses);
    EXPECT_EQ(c.hang ? 1u : 0u, disk.machine.EventsOf<sim::HangEvent>().size());
    EXPECT_EQ(std::vector<std::string>{"ShowMsg"}, disk.MessageKeys()) << "the script goes on afterwards";
    EXPECT_EQ(0u, disk.machine.OpenHandles());
  }
}

TEST(Install, InstallerThatCannotStartEndsTheScriptWithItsError) {
  SimDisk disk(Ini("DetectCard,Install,ShowMsg,End"));
  disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
  disk.machine.installer.presence = sim::InstallerPresence::kMissing;
  EXPECT_EQ(2, disk.Run()) << "ERROR_FILE_NOT_FOUND becomes the exit code";
  EXPECT_EQ(std::vector<std::string>{"InstallFailed"}, disk.MessageKeys());
  EXPECT_EQ(0u, disk.QuitRequests());
  EXPECT_EQ(0u, disk.machine.OpenHandles());
}

// Windows looks for a program named without a path in the launcher's folder, then the current directory,
// then the system folders and the search path, names in any case; nowhere else.
TEST(Install, InstallerProgramIsFoundWhereWindowsLooks) {
  struct Case {
    const char* name;
    std::vector<std::string> files;  // copies of the installer program on the disk
    const char* launcherDirectory;
    const char* currentDirectory;
    std::vector<std::string> searchPath;
    sim::InstallerPresence presence;
    std::optional<std::string> foundAt;
    int32_t exitCode;  // 4 once it ran, ERROR_FILE_NOT_FOUND when it could not start
  };
  using sim::InstallerPresence;
  const Case cases[] = {
      {"in the disk's root",
       {"vadrun.exe"},
       "D:\\",
       "D:\\",
       {},
       InstallerPresence::kSearch,
       "D:\\vadrun.exe",
       4},
      {"its name in capitals",
       {"VADRUN.EXE"},
       "D:\\",
       "D:\\",
       {},
       InstallerPresence::kSearch,
       "D:\\vadrun.exe",
       4},
      {"in the current directory",
       {"SUB/vadrun.exe"},
       "D:\\",
       "D:\\SUB",
       {},
       InstallerPresence::kSearch,
       "D:\\SUB\\vadrun.exe",
       4},
      {"the launcher's folder first",
       {"BIN/vadrun.exe", "vadrun.exe"},
       "D:\\BIN",
       "D:\\",
       {},
       InstallerPresence::kSearch,
       "D:\\BIN\\vadrun.exe",
       4},
      {"on the search path",
       {"WINDOWS/vadrun.exe"},
       "D:\\",
       "D:\\",
       {"D:\\SYSTEM", "D:\\WINDOWS"},
       InstallerPresence::kSearch,
       "D:\\WINDOWS\\vadrun.exe",
       4},
      {"in a folder nobody searches",
       {"WIN98/vadrun.exe"},
       "D:\\",
       "D:\\",
       {},
       InstallerPresence::kSearch,
       std::nullopt,
       2},
      {"nowhere", {}, "D:\\", "D:\\", {}, InstallerPresence::kSearch, std::nullopt, 2},
      {"nowhere, taken as present", {}, "D:\\", "D:\\", {}, InstallerPresence::kPresent, std::nullopt, 4},
      {"on the disk, taken as missing",
       {"vadrun.exe"},
       "D:\\",
       "D:\\",
       {},
       InstallerPresence::kMissing,
       std::nullopt,
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk(Ini("Install,ShowMsg"));
    std::filesystem::remove(disk.folder.Path() / "vadrun.exe");
    disk.folder.Write("SUB/QUELM.INI", Ini("Install,ShowMsg"));
    for (const std::string& file : c.files) disk.folder.Write(file, "");
    disk.machine.launcherDirectory = c.launcherDirectory;
    disk.machine.currentDirectory = c.currentDirectory;
    disk.machine.searchPath = c.searchPath;
    disk.machine.installer.presence = c.presence;
    disk.machine.installer.exitCode = 4;
    EXPECT_EQ(c.exitCode, disk.Run());
    const auto installers = disk.machine.EventsOf<sim::InstallerEvent>();
    ASSERT_EQ(1u, installers.size());
    EXPECT_EQ(c.foundAt, installers[0].foundAt);
    EXPECT_EQ(c.exitCode == 4, installers[0].started);
    EXPECT_EQ(
        c.exitCode == 4 ? std::vector<std::string>{"ShowMsg"} : std::vector<std::string>{"InstallFailed"},
        disk.MessageKeys());
  }
}

// The passes pause in between, and however late the window shows, it is taken within a fifth of a
// second, so that nobody waits on the launcher.
TEST(Install, WindowIsTakenWithinAFifthOfASecondOfShowing) {
  struct Case {
    const char* name;
    uint32_t showAfterMs;
  };
  const Case cases[] = {
      {"at once", 0},
      {"just after the first pass", 1},
      {"just before the second pass", kWindowSearchPauseMs - 1},
      {"as the second pass begins", kWindowSearchPauseMs},
      {"just after the second pass", kWindowSearchPauseMs + 1},
      {"after two seconds", 2000},
      {"after ten minutes and a millisecond", 10 * 60 * 1000 + 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk(Ini("Install,End"));
    disk.machine.installer.showAfterMs = c.showAfterMs;
    disk.Run();
    const auto installers = disk.machine.EventsOf<sim::InstallerEvent>();
    ASSERT_EQ(1u, installers.size());
    EXPECT_TRUE(installers[0].clicked);
    EXPECT_EQ(PassesUntilShown(c.showAfterMs), installers[0].windowPasses);
    // The program ends as it is clicked; the click follows one button poll after the window is taken.
    const uint64_t takenAt = disk.machine.ClockMs() - kButtonPollMs;
    EXPECT_GE(takenAt, c.showAfterMs);
    EXPECT_LE(takenAt - c.showAfterMs, 200u) << "taken at " << takenAt << " ms";
  }
}

// The search waits on the installer program between its passes, so an installer that ends before any
// window of its can be taken lets the script go on at once, not at the end of a pause.
TEST(Install, InstallerThatEndsDuringTheWindowSearchIsNoticedAtOnce) {
  struct Case {
    const char* name;
    sim::InstallerWindow window;
    uint32_t lifetimeMs;
  };
  const Case cases[] = {
      {"no window, ends at once", sim::InstallerWindow::kNever, 0},
      {"no window, ends just after the first pass", sim::InstallerWindow::kNever, 1},
      {"no window, ends just before the second pass", sim::InstallerWindow::kNever, kWindowSearchPauseMs - 1},
      {"no window, ends as the second pass would begin", sim::InstallerWindow::kNever, kWindowSearchPauseMs},
      {"hidden window, ends after 3001 ms", sim::InstallerWindow::kHidden, 3001},
      {"off-screen window, ends after 1234 ms", sim::InstallerWindow::kOffscreen, 1234},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk(Ini("Install,ShowMsg"));
    disk.machine.installer.window = c.window;
    disk.machine.installer.lifetimeMs = c.lifetimeMs;
    disk.machine.installer.exitCode = 6;
    EXPECT_EQ(6, disk.Run());
    EXPECT_EQ(c.lifetimeMs, disk.machine.ClockMs()) << "the launcher went on that long after the start";
    EXPECT_EQ(std::vector<std::string>{"ShowMsg"}, disk.MessageKeys());
    EXPECT_EQ(0u, disk.machine.OpenHandles());
  }
}

}  // namespace
}  // namespace quelm
