// Win32 calls behind the launcher's platform operations; only what Windows 95 already has is imported.
#include "win32/Win32Platform.h"

#include <windows.h>

#include "win32/PackedVersion.h"
#include "win32/SystemExports.h"

namespace quelm {

namespace {

using GetVersionExFunction = BOOL(WINAPI*)(OSVERSIONINFOA*);
using WaitForInputIdleFunction = DWORD(WINAPI*)(HANDLE, DWORD);
using SetForegroundWindowFunction = BOOL(WINAPI*)(HWND);
using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);
using CoInitializeFunction = HRESULT(WINAPI*)(void*);
using CoUninitializeFunction = void(WINAPI*)();

// How long the installer program gets to reach its message loop before the window search starts
// anyway: an installer that never goes idle (one that animates a splash screen, say) is then found by
// the search alone, as before, a few seconds later than it could have been.
constexpr DWORD kInstallerStartBoundMs = 5000;
// Time for the installer's thread to take its activation before the click: that thread carries it
// out (its window gets WM_ACTIVATE), and nothing documented orders it before a message the launcher
// sends next.
constexpr DWORD kActivationPauseMs = 100;

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
  // CreateProcess returns before the new program has made its first window, and the search for it
  // walks every top-level window: the documentation of both asks a parent to wait with
  // WaitForInputIdle before looking for a window of its child. Time-out, failure (a program that
  // ended, or one without a message queue) and a system without the function (Win32s) all let the
  // search begin at once, as it always did.
  const auto waitForInputIdle = FindSystemExport<WaitForInputIdleFunction>("USER32", "WaitForInputIdle");
  if (waitForInputIdle != nullptr) waitForInputIdle(started.hProcess, kInstallerStartBoundMs);
  return 0;
}

bool Win32Platform::WaitForProcessEnd(NativeHandle process, uint32_t milliseconds) {
  // It returns when "the specified object is in the signaled state" (a process is, once it has ended)
  // or "the time-out interval elapses", and meanwhile "the calling thread enters an efficient wait
  // state" (Win32 SDK, WaitForSingleObject): a pause that an ending program cuts short. WAIT_FAILED
  // counts as ended too, so no poll can spin on a handle that cannot be waited on.
  return WaitForSingleObject(ToNative<HANDLE>(process), milliseconds) != WAIT_TIMEOUT;
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
  // BM_CLICK "might fail" when the button's dialog is not active. SetActiveWindow, which its
  // documentation names, is meant for windows of the calling thread's queue; SetForegroundWindow
  // activates a window of another thread and brings it forward (KB Q97925): always on Windows 95 and
  // NT 4.0, on Windows 98, 2000 and later only while the launcher may set the foreground (KB Q227043;
  // otherwise the window stays as it was, or its taskbar button flashes). The click follows either way.
  const auto setForeground = FindSystemExport<SetForegroundWindowFunction>("USER32", "SetForegroundWindow");
  if (setForeground != nullptr && setForeground(GetParent(ToNative<HWND>(button))) != FALSE) {
    Sleep(kActivationPauseMs);
  }
  SendMessageA(ToNative<HWND>(button), BM_CLICK, 0, 0);
}

void Win32Platform::Pause(uint32_t milliseconds) {
  Sleep(milliseconds);
}

// --- Shell -------------------------------------------------------------------------------------------

void Win32Platform::ShellOpen(const char* file, const char* directory) {
  // The shell may hand the request to a DDE server or to a thread of its own and return before the
  // document is open; a launcher that ends right after the call would then lose it. ShellExecuteExA
  // waits when asked (SEE_MASK_FLAG_DDEWAIT, the later SEE_MASK_NOASYNC), and the shell's extensions
  // want COM initialised in a single-threaded apartment first. ShellExecuteExA came with the Windows 95
  // shell, COM with OLE32; Windows NT 3.x and Win32s get ShellExecuteA as before. SEE_MASK_FLAG_NO_UI
  // keeps the failure as silent as ShellExecuteA's, whose result is not examined either.
  const auto shellExecuteEx = FindSystemExport<ShellExecuteExFunction>("SHELL32", "ShellExecuteExA");
  if (shellExecuteEx == nullptr) {
    ShellExecuteA(nullptr, "open", file, nullptr, directory, SW_SHOWNORMAL);
    return;
  }
  // CoInitialize, not the CoInitializeEx the documentation shows: the first release of Windows 95
  // lacks CoInitializeEx, and CoInitialize asks for the same single-threaded apartment.
  const auto coInitialize = FindSystemExport<CoInitializeFunction>("OLE32", "CoInitialize");
  const auto coUninitialize = FindSystemExport<CoUninitializeFunction>("OLE32", "CoUninitialize");
  const bool comStarted =
      coInitialize != nullptr && coUninitialize != nullptr && SUCCEEDED(coInitialize(nullptr));
  SHELLEXECUTEINFOA request;
  ZeroMemory(&request, sizeof(request));
  request.cbSize = sizeof(request);
  request.fMask = SEE_MASK_FLAG_DDEWAIT | SEE_MASK_FLAG_NO_UI;
  request.lpVerb = "open";
  request.lpFile = file;
  request.lpDirectory = directory;
  request.nShow = SW_SHOWNORMAL;
  shellExecuteEx(&request);
  if (comStarted) coUninitialize();
}

}  // namespace quelm
