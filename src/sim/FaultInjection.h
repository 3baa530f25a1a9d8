// Failing one system call of a simulated run, the way the real call fails, to see what the launcher
// makes of it: a platform that passes every call to the simulated machine and counts them by kind.
#pragma once

#include <stdint.h>

#include <array>

#include "platform/Platform.h"
#include "sim/SimMachine.h"

namespace quelm::sim {

// The system calls that can fail on a real machine. Those that cannot (the command line, the lead-byte
// test, the quit request, the wait cursor, a pause) are passed on uncounted.
enum class CallSite {
  kProfileRead,
  kCurrentDirectory,
  kVersionQuery,
  kRegistryOpen,
  kRegistryRead,
  kRegistryEnumerate,
  kPciRead,
  kMessageBox,
  kProcessStart,
  kProcessPoll,
  kProcessWait,
  kExitCode,
  kScreenSize,
  kWindowWalk,
  kWindowThread,
  kWindowRect,
  kWindowStyle,
  kChildControl,
  kShellOpen,
  kCount
};

const char* CallSiteName(CallSite site);

// What a failed call leaves in the buffers it would have filled: a pattern no disk or registry of the
// tests holds, so that a launcher reading such a buffer shows it.
inline constexpr char kPoisonByte = static_cast<char>(0xDD);

class FaultInjector final : public Platform {
 public:
  explicit FaultInjector(SimMachine& machine) : machine_(machine) {}

  // Makes the `number`th call (from 1) of `site` fail; 0 fails none.
  void FailCall(CallSite site, unsigned number) {
    failSite_ = site;
    failNumber_ = number;
  }
  unsigned Calls(CallSite site) const { return calls_[static_cast<size_t>(site)]; }
  // Whether that call succeeded when it was not made to fail, so that failing it changes something.
  bool Succeeded(CallSite site, unsigned number) const;
  bool HasFailed() const { return failed_; }

  // Runs the launcher's whole life through this platform and returns its exit code.
  int32_t RunLauncher() { return machine_.RunLauncher(*this); }

  uint32_t ReadProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                             uint32_t size, const char* path) override;
  uint32_t ReadCurrentDirectory(char* buffer, uint32_t size) override;
  const char* ReadCommandLine() override { return machine_.ReadCommandLine(); }
  void ReadVersion(VersionRecord& record) override;
  bool IsLeadByte(uint8_t byte) override { return machine_.IsLeadByte(byte); }
  bool OpenRegistryKey(NativeHandle parent, const char* subKey, NativeHandle& key) override;
  bool QueryRegistryValue(NativeHandle key, const char* name, char* buffer, uint32_t size) override;
  bool EnumRegistryKey(NativeHandle key, uint32_t index, char* name, uint32_t size) override;
  void CloseRegistryKey(NativeHandle key) override { machine_.CloseRegistryKey(key); }
  bool ReadPciIdentification(uint32_t bus, uint32_t device, uint32_t function,
                             uint32_t& identification) override;
  int32_t ShowMessageBox(const char* key, const char* text, const char* caption, MessageStyle style) override;
  void PostQuitRequest(int32_t status) override { machine_.PostQuitRequest(status); }
  void RunMessageLoop() override { machine_.RunMessageLoop(); }
  void ShowWaitCursor() override { machine_.ShowWaitCursor(); }
  uint32_t StartProcess(char* commandLine, ProcessInfo& info) override;
  bool WaitForProcessEnd(NativeHandle process, uint32_t milliseconds) override;
  void WaitForProcess(NativeHandle process) override;
  uint32_t ReadProcessExitCode(NativeHandle process, uint32_t& exitCode) override;
  void ReleaseHandle(NativeHandle handle) override { machine_.ReleaseHandle(handle); }
  ScreenSize ReadScreenSize() override;
  NativeHandle FirstTopLevelWindow() override;
  NativeHandle NextWindow(NativeHandle window) override;
  uint32_t ReadWindowThreadId(NativeHandle window) override;
  bool ReadWindowRect(NativeHandle window, ScreenRect& rect) override;
  uint32_t ReadWindowStyle(NativeHandle window) override;
  NativeHandle FindChildControl(NativeHandle window, int32_t controlId) override;
  void ClickButton(NativeHandle button) override { machine_.ClickButton(button); }
  void Pause(uint32_t milliseconds) override { machine_.Pause(milliseconds); }
  void ShellOpen(const char* file, const char* directory) override;

 private:
  // Counts a call of `site`; true when it is the one to fail.
  bool Fails(CallSite site);
  // Records whether the call just counted succeeded.
  template <typename Result>
  Result Note(CallSite site, Result result, bool succeeded);

  SimMachine& machine_;
  std::array<unsigned, static_cast<size_t>(CallSite::kCount)> calls_{};
  std::array<std::vector<bool>, static_cast<size_t>(CallSite::kCount)> succeeded_{};
  CallSite failSite_ = CallSite::kCount;
  unsigned failNumber_ = 0;
  bool failed_ = false;
};

}  // namespace quelm::sim
