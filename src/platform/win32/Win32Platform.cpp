// Win32 calls behind the launcher's platform operations; only what Windows 95 already has is imported.
#include "platform/win32/Win32Platform.h"

#include <windows.h>

#include "platform/win32/PackedVersion.h"
#include "platform/win32/SystemExports.h"

namespace quelm {

namespace {

using GetVersionExFunction = BOOL(WINAPI*)(OSVERSIONINFOA*);

template <typename Handle>
Handle ToNative(NativeHandle handle) {
  return reinterpret_cast<Handle>(handle);
}

template <typename Handle>
NativeHandle FromNative(Handle handle) {
  return reinterpret_cast<NativeHandle>(handle);
}

// The error a failed call left behind, never 0: the caller's 0 means success.
uint32_t FailureCode() {
  const DWORD error = GetLastError();
  return error != 0 ? error : ERROR_GEN_FAILURE;
}

}  // namespace

// --- Profile file and start-up information ---------------------------------------------------------

uint32_t Win32Platform::ReadProfileString(const char* section, const char* key, const char* defaultValue,
                                          char* buffer, uint32_t size, const char* path) {
  return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, path);
}

uint32_t Win32Platform::ReadCurrentDirectory(char* buffer, uint32_t size) {
  return GetCurrentDirectoryA(size, buffer);
}

const char* Win32Platform::ReadCommandLine() {
  return GetCommandLineA();
}

void Win32Platform::ReadVersion(VersionRecord& record) {
  OSVERSIONINFOA version;
  static_assert(sizeof(version) == 148, "the version record Windows 95 knows is 148 bytes");
  static_assert(sizeof(version.szCSDVersion) == sizeof(record.serviceText), "service text sizes must agree");
  version.dwOSVersionInfoSize = sizeof(version);
  // GetVersionExA came with Windows NT 3.5 ("Windows NT: Requires version 3.5 or later", MSDN 1998),
  // so NT 3.1 would refuse to load an image that imports it. Where it is missing, or fails, GetVersion
  // answers, which every Win32 system has, Win32s included; it gives no service text. GetVersionExA
  // writes every field it returns, so the record needs no clearing first.
  const auto getVersionEx = FindSystemExport<GetVersionExFunction>("KERNEL32", "GetVersionExA");
  if (getVersionEx == nullptr || getVersionEx(&version) == FALSE) {
    DecodePackedVersion(GetVersion(), record);
    return;
  }
  record.platformId = version.dwPlatformId;
  record.majorVersion = version.dwMajorVersion;
  record.minorVersion = version.dwMinorVersion;
  record.buildNumber = version.dwBuildNumber;
  CopyMemory(record.serviceText, version.szCSDVersion, sizeof(record.serviceText));
}

bool Win32Platform::IsLeadByte(uint8_t byte) {
  return IsDBCSLeadByte(byte) != FALSE;
}

// --- Registry ----------------------------------------------------------------------------------------

bool Win32Platform::OpenRegistryKey(NativeHandle parent, const char* subKey, NativeHandle& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(ToNative<HKEY>(parent), subKey, 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS)
    return false;
  key = FromNative(opened);
  return true;
}

bool Win32Platform::QueryRegistryValue(NativeHandle key, const char* name, char* buffer, uint32_t size) {
  DWORD length = size;
  return RegQueryValueExA(ToNative<HKEY>(key), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                          &length) == ERROR_SUCCESS;
}

bool Win32Platform::EnumRegistryKey(NativeHandle key, uint32_t index, char* name, uint32_t size) {
  DWORD length = size;
  return RegEnumKeyExA(ToNative<HKEY>(key), index, name, &length, nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

void Win32Platform::CloseRegistryKey(NativeHandle key) {
  RegCloseKey(ToNative<HKEY>(key));
}

// --- PCI configuration space -------------------------------------------------------------------------

bool Win32Platform::ReadPciIdentification(uint32_t bus, uint32_t device, uint32_t function,
                                          uint32_t& identification) {
  return pci_.chain.Read(bus, device, function, identification);
}

// --- User interface ----------------------------------------------------------------------------------

int32_t Win32Platform::ShowMessageBox(const char* /*key*/, const char* text, const char* caption,
                                      MessageStyle style) {
  return MessageBoxA(nullptr, text, caption, static_cast<UINT>(style));
}

void Win32Platform::PostQuitRequest(int32_t status) {
  PostQuitMessage(status);
}

void Win32Platform::RunMessageLoop() {
  // The launcher has no main window, so nothing else would ever end the loop.
  PostQuitMessage(0);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void Win32Platform::ShowWaitCursor() {
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

// --- Processes ---------------------------------------------------------------------------------------

uint32_t Win32Platform::StartProcess(char* commandLine, ProcessInfo& info) {
  STARTUPINFOA startup;
  static_assert(sizeof(startup) == (sizeof(void*) == 4 ? 68 : 104),
                "the start-up record is 68 bytes (104 on x64)");
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  // No standard handles, and no show state: the installer program shows its window as it likes.
  startup.dwFlags = STARTF_FORCEONFEEDBACK | STARTF_USESTDHANDLES;
  PROCESS_INFORMATION started;
  ZeroMemory(&started, sizeof(started));
  if (CreateProcessA(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started) ==
      FALSE) {
    return FailureCode();
  }
  info.process = FromNative(started.hProcess);
  info.thread = FromNative(started.hThread);
  info.processId = started.dwProcessId;
  info.threadId = started.dwThreadId;
  return 0;
}

bool Win32Platform::HasProcessEnded(NativeHandle process) {
  // A handle that cannot be waited on counts as ended, so no poll can spin on it for ever.
  return WaitForSingleObject(ToNative<HANDLE>(process), 0) != WAIT_TIMEOUT;
}

void Win32Platform::WaitForProcess(NativeHandle process) {
  WaitForSingleObject(ToNative<HANDLE>(process), INFINITE);
}

uint32_t Win32Platform::ReadProcessExitCode(NativeHandle process, uint32_t& exitCode) {
  DWORD code = 0;
  if (GetExitCodeProcess(ToNative<HANDLE>(process), &code) == FALSE) return FailureCode();
  exitCode = code;
  return 0;
}

void Win32Platform::ReleaseHandle(NativeHandle handle) {
  if (handle != kNoHandle) CloseHandle(ToNative<HANDLE>(handle));
}

// --- Windows -----------------------------------------------------------------------------------------

ScreenSize Win32Platform::ReadScreenSize() {
  ScreenSize size;
  size.width = GetSystemMetrics(SM_CXSCREEN);
  size.height = GetSystemMetrics(SM_CYSCREEN);
  return size;
}

NativeHandle Win32Platform::FirstTopLevelWindow() {
  return FromNative(GetWindow(GetDesktopWindow(), GW_CHILD));
}

NativeHandle Win32Platform::NextWindow(NativeHandle window) {
  return FromNative(GetWindow(ToNative<HWND>(window), GW_HWNDNEXT));
}

uint32_t Win32Platform::ReadWindowThreadId(NativeHandle window) {
  return GetWindowThreadProcessId(ToNative<HWND>(window), nullptr);
}

bool Win32Platform::ReadWindowRect(NativeHandle window, ScreenRect& rect) {
  RECT bounds;
  if (GetWindowRect(ToNative<HWND>(window), &bounds) == FALSE) return false;
  rect.left = bounds.left;
  rect.top = bounds.top;
  rect.right = bounds.right;
  rect.bottom = bounds.bottom;
  return true;
}

uint32_t Win32Platform::ReadWindowStyle(NativeHandle window) {
  return static_cast<uint32_t>(GetWindowLongA(ToNative<HWND>(window), GWL_STYLE));
}

NativeHandle Win32Platform::FindChildControl(NativeHandle window, int32_t controlId) {
  return FromNative(GetDlgItem(ToNative<HWND>(window), controlId));
}

void Win32Platform::ClickButton(NativeHandle button) {
  SendMessageA(ToNative<HWND>(button), BM_CLICK, 0, 0);
}

void Win32Platform::Pause(uint32_t milliseconds) {
  Sleep(milliseconds);
}

// --- Shell -------------------------------------------------------------------------------------------

void Win32Platform::ShellOpen(const char* file, const char* directory) {
  ShellExecuteA(nullptr, "open", file, nullptr, directory, SW_SHOWNORMAL);
}

}  // namespace quelm
