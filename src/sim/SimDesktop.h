// The simulated machine's desktop: the installer program's processes, their windows among the shell's,
// and the clock they run on.
#pragma once

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "sim/SimEvents.h"

namespace quelm::sim {

enum class InstallerWindow { kNormal, kOffscreen, kHidden, kNever };

// Whether the installer program can be started: found as Windows finds it, or taken as there or as
// missing whatever the disk holds.
enum class InstallerPresence { kSearch, kPresent, kMissing };

// Where the machine found the installer program for one start.
struct InstallerLocation {
  bool found = false;
  std::string path;                   // empty when taken as present
  std::vector<std::string> searched;  // the folders looked through, in order, when it was searched for
};

struct InstallerBehaviour {
  InstallerPresence presence = InstallerPresence::kSearch;
  InstallerWindow window = InstallerWindow::kNormal;
  ScreenRect rect{160, 120, 480, 360};  // where a normal window shows
  uint32_t showAfterMs = 0;             // from its start until its window shows
  bool hasButton = true;                // its window has control 1
  uint32_t exitCode = 0;
  // Exit codes of the first, second, ... start; later starts repeat the last. `exitCode` when empty.
  std::vector<uint32_t> exitCodesInOrder;
  uint32_t workMs = 0;                 // from the click until it ends
  std::optional<uint32_t> lifetimeMs;  // ends by itself this long after its start
};

// The exit code a program gets when the simulation ends it after a hang.
inline constexpr uint32_t kEndedAfterHangExitCode = 1;

// Starts, runs and ends installer programs on a virtual clock, and answers the window walk. Records an
// InstallerEvent per start and a HangEvent where the launcher would wait forever, in `events`.
class SimDesktop {
 public:
  // `screen` is the size the launcher reads, which decides whether it takes a window.
  SimDesktop(const InstallerBehaviour& installer, const ScreenSize& screen, std::vector<Event>& events);

  // As the Platform operations of the same names; `location` says whether the program was found.
  uint32_t StartProcess(const std::string& commandLine, const InstallerLocation& location, ProcessInfo& info);
  bool WaitForProcessEnd(NativeHandle handle, uint32_t milliseconds);
  void WaitForProcess(NativeHandle handle);
  uint32_t ReadProcessExitCode(NativeHandle handle);
  void ReleaseHandle(NativeHandle handle);
  NativeHandle FirstTopLevelWindow();
  NativeHandle NextWindow(NativeHandle window);
  uint32_t ReadWindowThreadId(NativeHandle window);
  bool ReadWindowRect(NativeHandle window, ScreenRect& rect);
  uint32_t ReadWindowStyle(NativeHandle window);
  NativeHandle FindChildControl(NativeHandle window, int32_t controlId);
  void ClickButton(NativeHandle button);
  void Pause(uint32_t milliseconds);

  uint64_t ClockMs() const { return clockMs_; }
  size_t OpenHandles() const { return handlesOpen_; }

 private:
  struct Window {
    NativeHandle handle;
    uint32_t threadId;
    ScreenRect rect;
    uint32_t style;
  };
  // One started installer program.
  struct Process {
    NativeHandle processHandle;
    NativeHandle threadHandle;
    uint32_t threadId;
    uint64_t startMs;
    std::optional<uint64_t> endMs;  // known once it is bound to end
    uint32_t exitCode;
    size_t eventIndex;  // its InstallerEvent
  };

  // What the launcher looked for last: a pass over the windows, or the button of the window it took.
  enum class Looking { kNothing, kWindow, kButton };

  std::vector<Window> WindowsInZOrder() const;
  Process* Running();
  // The installer program's window as it is now, whether or not it shows yet.
  Window WindowOf(const Process& process) const;
  bool ShowsWindow(const Process& process) const {
    return installer_.window != InstallerWindow::kNever &&
           clockMs_ >= process.startMs + installer_.showAfterMs;
  }
  bool IsTaken(const Window& window) const;
  // Whether what the launcher looks for is there now, and whether it never will be while `process`
  // runs; when the next change to the desktop comes, if any.
  bool FoundNow(const Process& process) const;
  bool NeverFound(const Process& process) const;
  std::optional<uint64_t> NextChange(const Process& process) const;
  std::optional<Window> FindWindow(NativeHandle window) const;
  Process* FindProcess(NativeHandle handle);
  bool HasEnded(const Process& process) const { return process.endMs && clockMs_ >= *process.endMs; }
  InstallerEvent& EventOf(const Process& process) {
    return std::get<InstallerEvent>(events_[process.eventIndex]);
  }
  void EndAfterHang(Process& process, const char* waitingFor);

  const InstallerBehaviour& installer_;
  const ScreenSize& screen_;
  std::vector<Event>& events_;
  Looking looking_ = Looking::kNothing;
  std::vector<Process> processes_;
  std::vector<Window> foreignWindows_;
  NativeHandle nextHandle_ = 0x100000;
  size_t handlesOpen_ = 0;
  uint64_t clockMs_ = 0;
};

}  // namespace quelm::sim
