// Each counted call either passes on to the simulated machine or fails as the Windows call does.
#include "sim/FaultInjection.h"

#include <cstring>

#include "sim/SimProfile.h"

namespace quelm::sim {

namespace {

constexpr uint32_t kErrorNotEnoughMemory = 8;  // what CreateProcessA reports when it cannot start
constexpr uint32_t kErrorInvalidHandle = 6;

void Poison(void* buffer, size_t size) {
  std::memset(buffer, kPoisonByte, size);
}

}  // namespace

const char* CallSiteName(CallSite site) {
  static constexpr const char* kNames[] = {
      "profile read",       "current directory", "version query", "registry open", "registry read",
      "registry enumerate", "PCI read",          "message box",   "process start", "process poll",
      "process wait",       "exit code",         "screen size",   "window walk",   "window thread",
      "window rectangle",   "window style",      "child control", "shell open"};
  static_assert(sizeof(kNames) / sizeof(kNames[0]) == static_cast<size_t>(CallSite::kCount));
  return kNames[static_cast<size_t>(site)];
}

bool FaultInjector::Succeeded(CallSite site, unsigned number) const {
  const std::vector<bool>& results = succeeded_[static_cast<size_t>(site)];
  return number >= 1 && number <= results.size() && results[number - 1];
}

bool FaultInjector::Fails(CallSite site) {
  const unsigned number = ++calls_[static_cast<size_t>(site)];
  const bool fails = site == failSite_ && number == failNumber_;
  failed_ = failed_ || fails;
  return fails;
}

template <typename Result>
Result FaultInjector::Note(CallSite site, Result result, bool succeeded) {
  succeeded_[static_cast<size_t>(site)].push_back(succeeded);
  return result;
}

// --- Failing as Windows fails -----------------------------------------------------------------------

uint32_t FaultInjector::ReadProfileString(const char* section, const char* key, const char* defaultValue,
                                          char* buffer, uint32_t size, const char* path) {
  // A profile that cannot be read gives the default, as a missing one does.
  const char* fallback = defaultValue != nullptr ? defaultValue : "";
  if (Fails(CallSite::kProfileRead)) {
    return Note(CallSite::kProfileRead,
                sim::ReadProfileString(static_cast<const sim::ProfileFile*>(nullptr), section, key, fallback,
                                       buffer, size),
                false);
  }
  const uint32_t length = machine_.ReadProfileString(section, key, fallback, buffer, size, path);
  return Note(CallSite::kProfileRead, length, length > 0);
}

uint32_t FaultInjector::ReadCurrentDirectory(char* buffer, uint32_t size) {
  if (Fails(CallSite::kCurrentDirectory)) {
    Poison(buffer, size);
    return Note(CallSite::kCurrentDirectory, 0u, false);
  }
  const uint32_t length = machine_.ReadCurrentDirectory(buffer, size);
  return Note(CallSite::kCurrentDirectory, length, length > 0);
}

void FaultInjector::ReadVersion(VersionRecord& record) {
  // The query failing leaves the record zeroed, as the Windows backend promises.
  if (Fails(CallSite::kVersionQuery)) {
    record = VersionRecord();
    Note(CallSite::kVersionQuery, 0, false);
    return;
  }
  machine_.ReadVersion(record);
  Note(CallSite::kVersionQuery, 0, true);
}

bool FaultInjector::OpenRegistryKey(NativeHandle parent, const char* subKey, NativeHandle& key) {
  if (Fails(CallSite::kRegistryOpen)) return Note(CallSite::kRegistryOpen, false, false);
  const bool opened = machine_.OpenRegistryKey(parent, subKey, key);
  return Note(CallSite::kRegistryOpen, opened, opened);
}

bool FaultInjector::QueryRegistryValue(NativeHandle key, const char* name, char* buffer, uint32_t size) {
  if (Fails(CallSite::kRegistryRead)) {
    Poison(buffer, size);
    return Note(CallSite::kRegistryRead, false, false);
  }
  const bool read = machine_.QueryRegistryValue(key, name, buffer, size);
  return Note(CallSite::kRegistryRead, read, read);
}

bool FaultInjector::EnumRegistryKey(NativeHandle key, uint32_t index, char* name, uint32_t size) {
  if (Fails(CallSite::kRegistryEnumerate)) {
    Poison(name, size);
    return Note(CallSite::kRegistryEnumerate, false, false);
  }
  const bool found = machine_.EnumRegistryKey(key, index, name, size);
  return Note(CallSite::kRegistryEnumerate, found, found);
}

bool FaultInjector::ReadPciIdentification(uint32_t bus, uint32_t device, uint32_t function,
                                          uint32_t& identification) {
  // A refused configuration access reads as an absent function.
  if (Fails(CallSite::kPciRead)) {
    Poison(&identification, sizeof identification);
    return Note(CallSite::kPciRead, false, false);
  }
  const bool present = machine_.ReadPciIdentification(bus, device, function, identification);
  return Note(CallSite::kPciRead, present, present);
}

int32_t FaultInjector::ShowMessageBox(const char* key, const char* text, const char* caption,
                                      MessageStyle style) {
  // MessageBoxA answers 0 when it cannot show the box (out of memory): nobody saw it.
  if (Fails(CallSite::kMessageBox)) return Note(CallSite::kMessageBox, 0, false);
  return Note(CallSite::kMessageBox, machine_.ShowMessageBox(key, text, caption, style), true);
}

uint32_t FaultInjector::StartProcess(char* commandLine, ProcessInfo& info) {
  if (Fails(CallSite::kProcessStart)) {
    Poison(&info, sizeof info);
    return Note(CallSite::kProcessStart, kErrorNotEnoughMemory, false);
  }
  const uint32_t error = machine_.StartProcess(commandLine, info);
  return Note(CallSite::kProcessStart, error, error == 0);
}

bool FaultInjector::WaitForProcessEnd(NativeHandle process, uint32_t milliseconds) {
  // WAIT_FAILED, at once, which the Windows backend takes for an ended process.
  if (Fails(CallSite::kProcessPoll)) return Note(CallSite::kProcessPoll, true, false);
  return Note(CallSite::kProcessPoll, machine_.WaitForProcessEnd(process, milliseconds), true);
}

void FaultInjector::WaitForProcess(NativeHandle process) {
  // A failed wait returns at once, whether or not the program has ended.
  if (Fails(CallSite::kProcessWait)) {
    Note(CallSite::kProcessWait, 0, false);
    return;
  }
  machine_.WaitForProcess(process);
  Note(CallSite::kProcessWait, 0, true);
}

uint32_t FaultInjector::ReadProcessExitCode(NativeHandle process, uint32_t& exitCode) {
  if (Fails(CallSite::kExitCode)) {
    Poison(&exitCode, sizeof exitCode);
    return Note(CallSite::kExitCode, kErrorInvalidHandle, false);
  }
  const uint32_t error = machine_.ReadProcessExitCode(process, exitCode);
  return Note(CallSite::kExitCode, error, error == 0);
}

ScreenSize FaultInjector::ReadScreenSize() {
  // GetSystemMetrics answers 0 for what it cannot tell.
  if (Fails(CallSite::kScreenSize)) return Note(CallSite::kScreenSize, ScreenSize{0, 0}, false);
  return Note(CallSite::kScreenSize, machine_.ReadScreenSize(), true);
}

NativeHandle FaultInjector::FirstTopLevelWindow() {
  if (Fails(CallSite::kWindowWalk)) return Note(CallSite::kWindowWalk, kNoHandle, false);
  const NativeHandle window = machine_.FirstTopLevelWindow();
  return Note(CallSite::kWindowWalk, window, window != kNoHandle);
}

NativeHandle FaultInjector::NextWindow(NativeHandle window) {
  if (Fails(CallSite::kWindowWalk)) return Note(CallSite::kWindowWalk, kNoHandle, false);
  const NativeHandle next = machine_.NextWindow(window);
  return Note(CallSite::kWindowWalk, next, next != kNoHandle);
}

uint32_t FaultInjector::ReadWindowThreadId(NativeHandle window) {
  if (Fails(CallSite::kWindowThread)) return Note(CallSite::kWindowThread, 0u, false);
  const uint32_t thread = machine_.ReadWindowThreadId(window);
  return Note(CallSite::kWindowThread, thread, thread != 0);
}

bool FaultInjector::ReadWindowRect(NativeHandle window, ScreenRect& rect) {
  if (Fails(CallSite::kWindowRect)) {
    Poison(&rect, sizeof rect);
    return Note(CallSite::kWindowRect, false, false);
  }
  const bool read = machine_.ReadWindowRect(window, rect);
  return Note(CallSite::kWindowRect, read, read);
}

uint32_t FaultInjector::ReadWindowStyle(NativeHandle window) {
  if (Fails(CallSite::kWindowStyle)) return Note(CallSite::kWindowStyle, 0u, false);
  return Note(CallSite::kWindowStyle, machine_.ReadWindowStyle(window), true);
}

NativeHandle FaultInjector::FindChildControl(NativeHandle window, int32_t controlId) {
  if (Fails(CallSite::kChildControl)) return Note(CallSite::kChildControl, kNoHandle, false);
  const NativeHandle control = machine_.FindChildControl(window, controlId);
  return Note(CallSite::kChildControl, control, control != kNoHandle);
}

void FaultInjector::ShellOpen(const char* file, const char* directory) {
  // ShellExecuteA's failure is not examined: nothing opens.
  if (Fails(CallSite::kShellOpen)) {
    Note(CallSite::kShellOpen, 0, false);
    return;
  }
  machine_.ShellOpen(file, directory);
  Note(CallSite::kShellOpen, 0, true);
}

}  // namespace quelm::sim
