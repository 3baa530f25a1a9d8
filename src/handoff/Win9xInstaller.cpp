// The Windows 9x hand-off to the driver installer program.
#include "handoff/Win9xInstaller.h"

namespace quelm {

bool IsInstallerWindowCandidate(const ScreenRect& rect, uint32_t style, const ScreenSize& screen) {
  // A screen size that could not be read (GetSystemMetrics answers 0) bounds nothing: taking no window
  // at all would leave the launcher waiting for a button nobody presses.
  const bool withinWidth = screen.width <= 0 || rect.left <= screen.width;
  const bool withinHeight = screen.height <= 0 || rect.top <= screen.height;
  return rect.left >= 0 && rect.top >= 0 && withinWidth && withinHeight && rect.right > 0 &&
         (style & kVisibleStyle) != 0;
}

void Win9xInstaller::Prepare(const CardInfo& card) {
  hardwareId = card.hardwareId;
  location = card.location;
  installDir = card.installDir;
  passFlag = card.passFlag;
  process_ = ProcessInfo();
  window_ = kNoHandle;
}

void Win9xInstaller::BuildCommandLine(Text<kCommandLineCapacity>& commandLine) const {
  static_assert(kCommandLineCapacity > sizeof("vadrun.exe Enum\\PCI\\   -2147483648") + kNameCapacity +
                                           kNameCapacity + kPathCapacity,
                "the command line must hold the longest fields whole");
  const bool whole =
      Format(commandLine, "vadrun.exe Enum\\PCI\\%s %s %s %d", hardwareId, location, installDir, passFlag);
  static_cast<void>(whole);  // always: the capacity holds the longest fields, as asserted above
}

InstallerOutcome Win9xInstaller::Run() {
  platform_.ShowWaitCursor();
  InstallerOutcome outcome;
  const uint32_t error = Launch();
  if (error != 0) {
    outcome.exitCode = static_cast<int32_t>(error);
    return outcome;
  }
  // An installer program that ends before its window or button shows up needs no more pressing.
  if (FindInstallerWindow()) ConfirmInstallerWindow();
  platform_.WaitForProcess(process_.process);
  outcome.started = true;
  // An exit code that cannot be read must not pass for success: the system's error code stands in.
  uint32_t exitCode = 0;
  const uint32_t readError = platform_.ReadProcessExitCode(process_.process, exitCode);
  outcome.exitCode = static_cast<int32_t>(readError != 0 ? readError : exitCode);
  platform_.ReleaseHandle(process_.thread);
  platform_.ReleaseHandle(process_.process);
  process_ = ProcessInfo();
  return outcome;
}

uint32_t Win9xInstaller::Launch() {
  process_ = ProcessInfo();
  Text<kCommandLineCapacity> commandLine;
  BuildCommandLine(commandLine);
  return platform_.StartProcess(commandLine.Buffer(), process_);
}

bool Win9xInstaller::FindInstallerWindow() {
  const ScreenSize screen = platform_.ReadScreenSize();
  for (;;) {
    for (NativeHandle window = platform_.FirstTopLevelWindow(); window != kNoHandle;
         window = platform_.NextWindow(window)) {
      if (platform_.ReadWindowThreadId(window) != process_.threadId) continue;
      ScreenRect rect;
      if (!platform_.ReadWindowRect(window, rect)) continue;
      if (IsInstallerWindowCandidate(rect, platform_.ReadWindowStyle(window), screen)) {
        window_ = window;
        return true;
      }
    }
    // The pause is a wait on the program itself, so that one that ends is noticed at once.
    if (platform_.WaitForProcessEnd(process_.process, kWindowSearchPauseMs)) return false;
  }
}

void Win9xInstaller::ConfirmInstallerWindow() {
  for (;;) {
    platform_.Pause(kButtonPollMs);
    const NativeHandle button = platform_.FindChildControl(window_, kInstallerButtonId);
    if (button != kNoHandle) {
      platform_.ClickButton(button);
      return;
    }
    if (platform_.WaitForProcessEnd(process_.process, 0)) return;
  }
}

}  // namespace quelm
