// The launcher's one application object: its run record, start-up, script and commands.
#pragma once

#include <stdint.h>

#include "app/RunObserver.h"
#include "config/Capacities.h"
#include "config/Profile.h"
#include "config/Text.h"
#include "handoff/DriverInstaller.h"
#include "handoff/Win9xInstaller.h"
#include "platform/Platform.h"
#include "probe/SystemProbe.h"
#include "record/RunRecord.h"

namespace quelm {

inline constexpr const char* kConfigurationFileName = "\\QUELM.INI";

class LauncherApp {
 public:
  explicit LauncherApp(Platform& platform, RunObserver* observer = nullptr);
  LauncherApp(const LauncherApp&) = delete;
  LauncherApp& operator=(const LauncherApp&) = delete;

  // Called once by the application frame: reads the environment, runs the script, then hands the
  // quit requests the script made to the platform.
  void StartHook();
  // Called once when the message loop has ended: the process exit code.
  int32_t ExitHook() const { return record.exitCode; }

  void ReadEnvironment();
  void RunScript();

  // The script's commands; each shows its own message when it fails.
  // Shows the message `key` of QUELM.INI; false when the user chose Cancel. Most callers only show.
  bool ShowMessage(const char* key, MessageStyle style);
  [[nodiscard]] bool DetectCard(const char* section);
  [[nodiscard]] bool CheckPciKey();
  // False when the installer program could not be started: the script then ends.
  [[nodiscard]] bool Install();
  // Opens the section's program line through the shell, its macros expanded (ExpandMacros of
  // handoff/ShellLaunch.h with the run's base directory).
  void LaunchProgram(const char* section);

  // Quit requests wait until the script has ended: one handed to the platform at once would close
  // the message boxes of the commands that still run.
  void RequestQuit() { ++pendingQuitRequests_; }

  SystemProbe probe;
  RunRecord record;
  // None until an Install command has run on a system it serves.
  DriverInstaller* installer = nullptr;

 private:
  // The observer a simulation watches the run through. QUELM.EXE is never watched, and its build
  // (QUELM_UNWATCHED) makes this a constant null, so that every call to an observer compiles away.
  RunObserver* Observer() const {
#ifdef QUELM_UNWATCHED
    return nullptr;
#else
    return observer_;
#endif
  }
  Profile Configuration() const {
    return Profile(platform_, record.iniPath.CStr());
  }

  Platform& platform_;
  [[maybe_unused]] RunObserver* observer_;  // never read where the run is unwatched
  unsigned pendingQuitRequests_ = 0;
  // The storage `installer` points into: the core has no heap.
  Win9xInstaller win9xInstaller_;
};

}  // namespace quelm
