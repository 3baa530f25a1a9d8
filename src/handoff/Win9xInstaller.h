// Starts the disk's driver installer program, presses its OK button, and waits for it to end.
#pragma once

#include <stdint.h>

#include "config/Capacities.h"
#include "config/Text.h"
#include "handoff/DriverInstaller.h"
#include "platform/Platform.h"
#include "record/RunRecord.h"

namespace quelm {

// The control the installer program's first window proceeds with.
inline constexpr int32_t kInstallerButtonId = 1;
// The pause between passes over the top-level windows, spent waiting on the installer program (which
// ends it early when the program ends). Rare enough that the passes leave the processor to the
// installer on a single-core machine (a pass walks every top-level window of the desktop), short
// enough that a window that shows is taken within a fifth of a second: this pause, the time slice a
// busy installer thread may finish first (20 ms as Windows 3.1 sets it up) and a pass fit in 200 ms.
inline constexpr uint32_t kWindowSearchPauseMs = 175;
inline constexpr uint32_t kButtonPollMs = 100;
// Holds the longest line the four fields can make: no part of it is ever cut.
inline constexpr unsigned kCommandLineCapacity = 1024;

// The window rules: on screen (left and top not negative, neither beyond the screen, right edge
// positive; the bottom edge is never examined) and visible. A screen of size 0 (unknown) bounds
// nothing. The owning thread is checked apart.
[[nodiscard]] bool IsInstallerWindowCandidate(const ScreenRect& rect, uint32_t style,
                                              const ScreenSize& screen);

class Win9xInstaller final : public DriverInstaller {
 public:
  explicit Win9xInstaller(Platform& platform) : platform_(platform) {}

  // Starts afresh for the given card: a new hand-off, with nothing of an earlier one.
  void Prepare(const CardInfo& card);
  InstallerOutcome Run() override;

  // "vadrun.exe Enum\PCI\%s %s %s %d" of the four fields; nothing is quoted. The line always holds
  // them whole.
  void BuildCommandLine(Text<kCommandLineCapacity>& commandLine) const;

  Text<kNameCapacity> hardwareId;
  Text<kNameCapacity> location;
  Text<kPathCapacity> installDir;
  int32_t passFlag = 0;

 private:
  uint32_t Launch();
  [[nodiscard]] bool FindInstallerWindow();
  void ConfirmInstallerWindow();

  Platform& platform_;
  ProcessInfo process_;
  NativeHandle window_ = kNoHandle;
};

}  // namespace quelm
