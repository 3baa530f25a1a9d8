// The installer program on the simulated desktop: its start, window, button, work and end, on a
// virtual clock, among the shell's own windows.
#include "sim/SimDesktop.h"

#include <algorithm>

#include "config/Text.h"
#include "handoff/Win9xInstaller.h"
#include "sim/SimText.h"

namespace quelm::sim {

namespace {

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kShellThreadId = 0x10;
constexpr uint32_t kNormalWindowStyle = kVisibleStyle | 0x00C00000;  // visible, with a caption
// Where Windows parks a minimised window.
constexpr ScreenRect kMinimisedRect{-32000, -32000, -31840, -31976};

// Windows finds the program by its name, in any case.
bool IsInstallerProgram(const std::string& commandLine) {
  const std::string program = commandLine.substr(0, commandLine.find(' '));
  return EqualsIgnoringCase(ViewOf(program), "vadrun.exe");
}

}  // namespace

SimDesktop::SimDesktop(const InstallerBehaviour& installer, const ScreenSize& screen,
                       std::vector<Event>& events)
    : installer_(installer), screen_(screen), events_(events) {
  // Something else is always on the desktop: the shell's tray and a hidden helper window.
  foreignWindows_.push_back({0x100, kShellThreadId, {0, 452, 640, 480}, kNormalWindowStyle});
  foreignWindows_.push_back({0x104, kShellThreadId, {0, 0, 0, 0}, 0});
}

uint32_t SimDesktop::StartProcess(const std::string& commandLine, const InstallerLocation& location,
                                  ProcessInfo& info) {
  InstallerEvent event;
  event.commandLine = commandLine;
  event.searched = location.searched;
  if (location.found && !location.path.empty()) event.foundAt = location.path;
  if (!location.found || !IsInstallerProgram(event.commandLine)) {
    event.error = kErrorFileNotFound;
    events_.push_back(event);
    return kErrorFileNotFound;
  }
  event.started = true;
  events_.push_back(event);
  uint32_t exitCode = installer_.exitCode;
  if (!installer_.exitCodesInOrder.empty()) {
    exitCode =
        installer_.exitCodesInOrder[std::min(processes_.size(), installer_.exitCodesInOrder.size() - 1)];
  }
  Process process{nextHandle_,       nextHandle_ + 1, static_cast<uint32_t>(0x400 + processes_.size()),
                  clockMs_,          std::nullopt,    exitCode,
                  events_.size() - 1};
  nextHandle_ += 0x20;
  if (installer_.lifetimeMs) process.endMs = clockMs_ + *installer_.lifetimeMs;
  processes_.push_back(process);
  handlesOpen_ += 2;
  info.process = process.processHandle;
  info.thread = process.threadHandle;
  info.processId = process.threadId - 1;
  info.threadId = process.threadId;
  return 0;
}

SimDesktop::Process* SimDesktop::FindProcess(NativeHandle handle) {
  for (Process& process : processes_) {
    if (process.processHandle == handle) return &process;
  }
  return nullptr;
}

bool SimDesktop::WaitForProcessEnd(NativeHandle handle, uint32_t milliseconds) {
  Process* process = FindProcess(handle);
  if (process == nullptr || HasEnded(*process)) return true;
  // A wait on a process returns as it ends, not when its time is up.
  if (process->endMs && *process->endMs <= clockMs_ + milliseconds) {
    clockMs_ = *process->endMs;
    return true;
  }
  // Otherwise the wait is a pause that the program outlives.
  Pause(milliseconds);
  return HasEnded(*process);
}

void SimDesktop::EndAfterHang(Process& process, const char* waitingFor) {
  events_.push_back(HangEvent{waitingFor});
  process.endMs = clockMs_;
  process.exitCode = kEndedAfterHangExitCode;
}

void SimDesktop::WaitForProcess(NativeHandle handle) {
  Process* process = FindProcess(handle);
  if (!process) return;
  if (!process->endMs) EndAfterHang(*process, "the installer program to end");
  if (*process->endMs > clockMs_) clockMs_ = *process->endMs;
}

uint32_t SimDesktop::ReadProcessExitCode(NativeHandle handle) {
  Process* process = FindProcess(handle);
  if (!process) return 0;
  if (!HasEnded(*process)) return 259;  // STILL_ACTIVE
  EventOf(*process).exitCode = process->exitCode;
  return process->exitCode;
}

void SimDesktop::ReleaseHandle(NativeHandle handle) {
  for (const Process& process : processes_) {
    if ((process.processHandle == handle || process.threadHandle == handle) && handlesOpen_ > 0) {
      --handlesOpen_;
    }
  }
}

std::vector<SimDesktop::Window> SimDesktop::WindowsInZOrder() const {
  std::vector<Window> windows;
  // The newest window lies on top.
  for (auto process = processes_.rbegin(); process != processes_.rend(); ++process) {
    if (!HasEnded(*process) && ShowsWindow(*process)) windows.push_back(WindowOf(*process));
  }
  windows.insert(windows.end(), foreignWindows_.begin(), foreignWindows_.end());
  return windows;
}

SimDesktop::Window SimDesktop::WindowOf(const Process& process) const {
  Window window{process.processHandle + 0x10, process.threadId, installer_.rect, kNormalWindowStyle};
  if (installer_.window == InstallerWindow::kOffscreen) window.rect = kMinimisedRect;
  if (installer_.window == InstallerWindow::kHidden) window.style &= ~kVisibleStyle;
  return window;
}

// The launcher's own rule decides which window it takes.
bool SimDesktop::IsTaken(const Window& window) const {
  return IsInstallerWindowCandidate(window.rect, window.style, screen_);
}

SimDesktop::Process* SimDesktop::Running() {
  for (Process& process : processes_) {
    if (!HasEnded(process)) return &process;
  }
  return nullptr;
}

bool SimDesktop::FoundNow(const Process& process) const {
  if (looking_ == Looking::kButton) return installer_.hasButton;
  return ShowsWindow(process) && IsTaken(WindowOf(process));
}

bool SimDesktop::NeverFound(const Process& process) const {
  if (process.endMs || FoundNow(process)) return false;
  if (looking_ == Looking::kButton) return true;
  // A window yet to show is found once it shows, if it is one the launcher takes.
  return installer_.window == InstallerWindow::kNever || !IsTaken(WindowOf(process));
}

std::optional<uint64_t> SimDesktop::NextChange(const Process& process) const {
  std::optional<uint64_t> next;
  if (!ShowsWindow(process) && installer_.window != InstallerWindow::kNever) {
    next = process.startMs + installer_.showAfterMs;
  }
  if (process.endMs && (!next || *process.endMs < *next)) next = process.endMs;
  return next;
}

NativeHandle SimDesktop::FirstTopLevelWindow() {
  looking_ = Looking::kWindow;
  for (const Process& process : processes_) {
    if (!HasEnded(process)) ++EventOf(process).windowPasses;
  }
  const std::vector<Window> windows = WindowsInZOrder();
  return windows.empty() ? kNoHandle : windows.front().handle;
}

NativeHandle SimDesktop::NextWindow(NativeHandle window) {
  const std::vector<Window> windows = WindowsInZOrder();
  for (size_t i = 0; i + 1 < windows.size(); ++i) {
    if (windows[i].handle == window) return windows[i + 1].handle;
  }
  return kNoHandle;  // the last window, or one that no longer exists
}

std::optional<SimDesktop::Window> SimDesktop::FindWindow(NativeHandle window) const {
  for (const Window& candidate : WindowsInZOrder()) {
    if (candidate.handle == window) return candidate;
  }
  return std::nullopt;  // never was, or gone since
}

uint32_t SimDesktop::ReadWindowThreadId(NativeHandle window) {
  const auto found = FindWindow(window);
  return found ? found->threadId : 0;
}

bool SimDesktop::ReadWindowRect(NativeHandle window, ScreenRect& rect) {
  const auto found = FindWindow(window);
  if (found) rect = found->rect;
  return found.has_value();
}

uint32_t SimDesktop::ReadWindowStyle(NativeHandle window) {
  const auto found = FindWindow(window);
  return found ? found->style : 0;
}

NativeHandle SimDesktop::FindChildControl(NativeHandle window, int32_t controlId) {
  looking_ = Looking::kButton;
  if (controlId != kInstallerButtonId || !installer_.hasButton) return kNoHandle;
  const auto found = FindWindow(window);
  return found && found->threadId != kShellThreadId ? window + 1 : kNoHandle;
}

void SimDesktop::ClickButton(NativeHandle button) {
  looking_ = Looking::kNothing;
  for (Process& process : processes_) {
    if (process.processHandle + 0x11 == button && !HasEnded(process)) {
      EventOf(process).clicked = true;
      process.endMs = clockMs_ + installer_.workMs;
    }
  }
}

void SimDesktop::Pause(uint32_t milliseconds) {
  clockMs_ += milliseconds;
  Process* process = Running();
  if (process == nullptr) return;
  // The launcher looks without end, so only an installer program that never shows what it looks for
  // and never ends keeps it waiting for ever: however long a window takes to show, or a program to end
  // by itself, the launcher would still be there to see it.
  if (NeverFound(*process)) {
    EndAfterHang(*process, looking_ == Looking::kButton ? "the OK button in the installer program's window"
                                                        : "a window of the installer program it can take");
    return;
  }
  // Until the desktop next changes, every look and wait of the launcher's is like this one: the clock
  // moves on over them at once (the passes counted as made), so that an hour's wait costs no more than
  // a second's. The launcher is left one look before the change, so it sees the change as it would.
  const std::optional<uint64_t> next = NextChange(*process);
  if (milliseconds == 0 || FoundNow(*process) || !next || *next <= clockMs_) return;
  const uint64_t skipped = (*next - clockMs_ - 1) / milliseconds;
  clockMs_ += skipped * milliseconds;
  if (looking_ == Looking::kWindow) EventOf(*process).windowPasses += static_cast<uint32_t>(skipped);
}

}  // namespace quelm::sim
