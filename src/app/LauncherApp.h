// The launcher's one application object: its run record, start-up, script and commands.
#pragma once

#include <stdint.h>

#include "app/CardInfo.h"
#include "app/RunObserver.h"
#include "config/Capacities.h"
#include "config/Profile.h"
#include "config/Text.h"
#include "handoff/DriverInstaller.h"
#include "handoff/Win9xInstaller.h"
#include "platform/Platform.h"
#include "probe/SystemProbe.h"

namespace quelm {

// The only caption the launcher ever shows.
inline constexpr const char* kApplicationTitle = "QUELM";
inline constexpr const char* kConfigurationFileName = "\\QUELM.INI";

class LauncherApp {
 public:
  explicit LauncherApp(Platform& platform, RunObserver* observer = nullptr);
  ~LauncherApp();
  LauncherApp(const LauncherApp&) = delete;
  LauncherApp& operator=(const LauncherApp&) = delete;

  // The process's one application object, for the parts that hold no reference to it.
  static LauncherApp* Current();

  // Called once by the application frame: reads the environment, runs the script, then hands the
  // quit requests the script made to the platform. Reports success unconditionally.
  bool StartHook();
  // Called once when the message loop has ended: the process exit code.
  int32_t ExitHook() const { return exitCode; }

  void ReadEnvironment();
  void RunScript();

  // The script's commands.
  int32_t ShowMessage(const char* key, MessageStyle style);
  int32_t DetectCard(const char* section);
  int32_t CheckPciKey();
  // 1 when the script goes on; 0 when the installer program could not be started.
  int32_t Install();
  void LaunchProgram(const char* section);
  // Rewrites "[CWD]" and "[OS]" in place; false when the result would not fit the line.
  bool ExpandMacros(Text<kNameCapacity>& line) const;

  // Quit requests wait until the script has ended: one handed to the platform at once would close
  // the message boxes of the commands that still run.
  void RequestQuit() { ++pendingQuitRequests_; }
  Profile Configuration() const { return Profile(platform_, iniPath.CStr()); }

  // The run record.
  SystemProbe probe;
  Text<kPathCapacity> iniPath;
  int32_t usbSupplementInstalled = 0;
  Text<kOsNameCapacity> osName;
  Text<kNameCapacity> baseDir;
  DriverInstaller* installer = nullptr;
  CardInfo card;
  int32_t exitCode = 0;

 private:
  Platform& platform_;
  RunObserver* observer_;
  unsigned pendingQuitRequests_ = 0;
  // The storage `installer` points into once an Install command has run: the core has no heap.
  Win9xInstaller win9xInstaller_;
};

}  // namespace quelm
