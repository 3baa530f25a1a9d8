// The launcher's platform on real Windows, 95 through 11: every operation is a direct Win32 call.
#pragma once

#include <stdint.h>

#include "platform/Platform.h"
#include "win32/Win32PciSources.h"

namespace quelm {

class Win32Platform final : public Platform {
 public:
  Win32Platform() : pci_(*this) {}
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  uint32_t ReadProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                             uint32_t size, const char* path) override;
  uint32_t ReadCurrentDirectory(char* buffer, uint32_t size) override;
  const char* ReadCommandLine() override;
  void ReadVersion(VersionRecord& record) override;
  bool IsLeadByte(uint8_t byte) override;

  bool OpenRegistryKey(NativeHandle parent, const char* subKey, NativeHandle& key) override;
  bool QueryRegistryValue(NativeHandle key, const char* name, char* buffer, uint32_t size) override;
  bool EnumRegistryKey(NativeHandle key, uint32_t index, char* name, uint32_t size) override;
  void CloseRegistryKey(NativeHandle key) override;

  bool ReadPciIdentification(uint32_t bus, uint32_t device, uint32_t function,
                             uint32_t& identification) override;

  int32_t ShowMessageBox(const char* key, const char* text, const char* caption, MessageStyle style) override;
  void PostQuitRequest(int32_t status) override;
  void RunMessageLoop() override;
  void ShowWaitCursor() override;

  uint32_t StartProcess(char* commandLine, ProcessInfo& info) override;
  bool WaitForProcessEnd(NativeHandle process, uint32_t milliseconds) override;
  void WaitForProcess(NativeHandle process) override;
  uint32_t ReadProcessExitCode(NativeHandle process, uint32_t& exitCode) override;
  void ReleaseHandle(NativeHandle handle) override;

  ScreenSize ReadScreenSize() override;
  NativeHandle FirstTopLevelWindow() override;
  NativeHandle NextWindow(NativeHandle window) override;
  uint32_t ReadWindowThreadId(NativeHandle window) override;
  bool ReadWindowRect(NativeHandle window, ScreenRect& rect) override;
  uint32_t ReadWindowStyle(NativeHandle window) override;
  NativeHandle FindChildControl(NativeHandle window, int32_t controlId) override;
  void ClickButton(NativeHandle button) override;
  void Pause(uint32_t milliseconds) override;

  void ShellOpen(const char* file, const char* directory) override;

 private:
  Win32PciSources pci_;
};

}  // namespace quelm
