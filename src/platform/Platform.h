// The one seam between the launcher's logic and the operating system it runs on.
#pragma once

#include <stdint.h>

namespace quelm {

// An operating-system handle (registry key, process, thread, window) the core only passes back.
using NativeHandle = uintptr_t;
inline constexpr NativeHandle kNoHandle = 0;

// The service-pack text of the version record: OSVERSIONINFOA's 128 characters.
inline constexpr unsigned kServiceTextCapacity = 128;

// Platform IDs of the version record (VER_PLATFORM_WIN32_WINDOWS, VER_PLATFORM_WIN32_NT).
inline constexpr uint32_t kWindows9xPlatform = 1;
inline constexpr uint32_t kWindowsNtPlatform = 2;

// What GetVersionExA reports, in the fields the classification reads.
struct VersionRecord {
  uint32_t platformId = 0;  // kWindows9xPlatform, kWindowsNtPlatform, or 0 for Win32s
  uint32_t majorVersion = 0;
  uint32_t minorVersion = 0;
  uint32_t buildNumber = 0;
  char serviceText[kServiceTextCapacity] = {};
};

enum class MessageStyle : uint32_t {
  kOk = 0x30,        // OK button, exclamation mark
  kOkCancel = 0x31,  // OK and Cancel buttons, exclamation mark
};

// Button identifiers a message box answers with.
inline constexpr int32_t kAnswerOk = 1;
inline constexpr int32_t kAnswerCancel = 2;

struct ProcessInfo {
  NativeHandle process = kNoHandle;
  NativeHandle thread = kNoHandle;
  uint32_t processId = 0;
  uint32_t threadId = 0;
};

struct ScreenRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

struct ScreenSize {
  int32_t width = 0;
  int32_t height = 0;
};

inline constexpr uint32_t kVisibleStyle = 0x10000000;  // WS_VISIBLE

class Platform {
 public:
  // --- Profile file ------------------------------------------------------------------------
  // The value of (section, key) in the profile file at `path`, cut to size-1 characters and always
  // terminated; `defaultValue` when the file, section or key is missing. Returns the length copied.
  virtual uint32_t ReadProfileString(const char* section, const char* key, const char* defaultValue,
                                     char* buffer, uint32_t size, const char* path) = 0;

  // --- Start-up information ------------------------------------------------------------------
  // The current directory: its length on success, the size it needs (terminator included) when
  // `size` is too small, 0 when it cannot be read.
  virtual uint32_t ReadCurrentDirectory(char* buffer, uint32_t size) = 0;
  // The whole command line, program name included.
  virtual const char* ReadCommandLine() = 0;
  // The version record; when the query fails the record is left zeroed.
  virtual void ReadVersion(VersionRecord& record) = 0;
  // Whether `byte` begins a two-byte character in the system's code page (IsDBCSLeadByte).
  virtual bool IsLeadByte(uint8_t byte) = 0;

  // --- Registry, read only -------------------------------------------------------------------
  static constexpr NativeHandle kLocalMachine = 0x80000002;  // HKEY_LOCAL_MACHINE
  // Opens `subKey` of `parent` with all access; false when it does not exist or access is refused.
  virtual bool OpenRegistryKey(NativeHandle parent, const char* subKey, NativeHandle& key) = 0;
  // The raw bytes of value `name`; false when it is missing or larger than `size` bytes.
  virtual bool QueryRegistryValue(NativeHandle key, const char* name, char* buffer, uint32_t size) = 0;
  // The name of subkey `index` (from 0, in the registry's own order); false past the last one.
  virtual bool EnumRegistryKey(NativeHandle key, uint32_t index, char* name, uint32_t size) = 0;
  virtual void CloseRegistryKey(NativeHandle key) = 0;

  // --- PCI configuration space ---------------------------------------------------------------
  // Register 0 (vendor ID in the low word, device ID in the high word) of one function; false when
  // the function is absent or cannot be reached, which callers treat as all ones.
  virtual bool ReadPciIdentification(uint32_t bus, uint32_t device, uint32_t function,
                                     uint32_t& identification) = 0;

  // --- User interface ------------------------------------------------------------------------
  // A modal box with no owner; returns the button chosen (kAnswerOk, kAnswerCancel, ...). `key`
  // names the message in the profile file: the real system ignores it, simulations record it.
  virtual int32_t ShowMessageBox(const char* key, const char* text, const char* caption,
                                 MessageStyle style) = 0;
  virtual void PostQuitRequest(int32_t status) = 0;
  // The application's message loop: with no main window it posts a quit request of its own and
  // returns once it has taken a quit request.
  virtual void RunMessageLoop() = 0;
  virtual void ShowWaitCursor() = 0;

  // --- Processes -----------------------------------------------------------------------------
  // Starts `commandLine` (the system may write into it) with the launcher's directory, environment
  // and inherited handles. Returns 0 on success, else the system's error code.
  virtual uint32_t StartProcess(char* commandLine, ProcessInfo& info) = 0;
  // Waits for the process to end, `milliseconds` at most (0: only looks); true once it has ended. A
  // handle that cannot be waited on counts as ended, so that no loop spins on it for ever.
  virtual bool WaitForProcessEnd(NativeHandle process, uint32_t milliseconds) = 0;
  virtual void WaitForProcess(NativeHandle process) = 0;
  // 0 with the exit code of an ended process (STILL_ACTIVE, 259, for one that runs on), else the
  // system's error code when the code cannot be read.
  virtual uint32_t ReadProcessExitCode(NativeHandle process, uint32_t& exitCode) = 0;
  virtual void ReleaseHandle(NativeHandle handle) = 0;

  // --- Windows -------------------------------------------------------------------------------
  virtual ScreenSize ReadScreenSize() = 0;
  // Top-level windows in z-order: the desktop's first child, then each next sibling; kNoHandle ends.
  virtual NativeHandle FirstTopLevelWindow() = 0;
  virtual NativeHandle NextWindow(NativeHandle window) = 0;
  virtual uint32_t ReadWindowThreadId(NativeHandle window) = 0;
  virtual bool ReadWindowRect(NativeHandle window, ScreenRect& rect) = 0;
  virtual uint32_t ReadWindowStyle(NativeHandle window) = 0;
  virtual NativeHandle FindChildControl(NativeHandle window, int32_t controlId) = 0;
  // Sends BM_CLICK and returns once the control has handled it.
  virtual void ClickButton(NativeHandle button) = 0;
  virtual void Pause(uint32_t milliseconds) = 0;

  // --- Shell ---------------------------------------------------------------------------------
  // Opens `file` with the "open" verb, normal show state; `directory` may be null. Fire and forget.
  virtual void ShellOpen(const char* file, const char* directory) = 0;

 protected:
  ~Platform() = default;
};

}  // namespace quelm
