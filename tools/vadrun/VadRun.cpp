// vadrun.exe, the stand-in driver installer program: shows the four arguments it was handed and
// proceeds when its OK button (control ID 1) is pressed, recording every event for tests.
//
// Environment:
//   QUELM_VADRUN_LOG         file to append one line per event to ("commandline <exactly as given>",
//                            "argument <n> <text>", "window", "clicked", "timeout", "closed", "exit <code>")
//   QUELM_VADRUN_EXIT        exit code after the button is pressed (default 0)
//   QUELM_VADRUN_DELAY_MS    pause before the window appears (default 0), after going idle once, as a
//                            program that first shows a splash screen does
//   QUELM_VADRUN_TIMEOUT_MS  how long the window waits for a press (default 60000); then exit 124
//   QUELM_VADRUN_MODE        how it misbehaves, for the launcher's sake: "crash" (an access violation
//                            before any window), "exit" (ends at once with QUELM_VADRUN_EXIT),
//                            "nowindow" (shows nothing until the time-out), "hidden" (its window is never
//                            made visible), "nobutton" (its window lacks the OK button); unset, it behaves
// Closing the window without the button exits with 125. No C runtime: it runs on every Windows
// version the launcher supports, Windows 95 included.
#include <windows.h>

namespace {

constexpr int kOkButtonId = 1;
constexpr UINT kTimeoutExitCode = 124;
constexpr UINT kClosedExitCode = 125;
constexpr UINT kDefaultTimeoutMs = 60000;
constexpr UINT_PTR kTimeoutTimerId = 1;
constexpr unsigned kMaxShownArguments = 8;
constexpr const char* kWindowClass = "QuelmVadRunWindow";

// Everything lives in zero-initialised statics: no constructor has to run before the entry point.
struct Run {
  char logPath[MAX_PATH];
  bool logging;
  UINT exitCode;      // what the button press ends with
  UINT finishCode;    // what the run actually ends with
  char report[2048];  // the text the window shows
} run;

// Appends at most what fits, always leaving `buffer` terminated.
void Append(char* buffer, unsigned capacity, const char* text) {
  unsigned length = lstrlenA(buffer);
  while (*text != '\0' && length + 1 < capacity) buffer[length++] = *text++;
  buffer[length] = '\0';
}

void AppendLog(const char* event, const char* detail = nullptr) {
  if (!run.logging) return;
  // Opened per event, so the record is complete up to the last event even if the program is killed.
  const HANDLE file = CreateFileA(run.logPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  SetFilePointer(file, 0, nullptr, FILE_END);
  char line[1200] = {};
  Append(line, sizeof(line), event);
  if (detail != nullptr) {
    Append(line, sizeof(line), " ");
    Append(line, sizeof(line), detail);
  }
  Append(line, sizeof(line), "\r\n");
  DWORD written = 0;
  WriteFile(file, line, lstrlenA(line), &written, nullptr);
  CloseHandle(file);
}

// A decimal number, optionally negative, from the environment; `fallback` when unset or malformed.
long ReadEnvironmentNumber(const char* name, long fallback) {
  char text[32] = {};
  const DWORD length = GetEnvironmentVariableA(name, text, sizeof(text));
  if (length == 0 || length >= sizeof(text)) return fallback;
  const char* at = text;
  const bool negative = *at == '-';
  if (negative) ++at;
  if (*at == '\0') return fallback;
  long value = 0;
  for (; *at != '\0'; ++at) {
    if (*at < '0' || *at > '9') return fallback;
    value = value * 10 + (*at - '0');
  }
  return negative ? -value : value;
}

// The characters after the program name, which may be quoted; arguments are split at blanks only,
// as the launcher never quotes them.
const char* SkipProgramName(const char* at) {
  if (*at == '"') {
    for (++at; *at != '\0' && *at != '"'; ++at) {
    }
    if (*at == '"') ++at;
  } else {
    while (static_cast<unsigned char>(*at) > ' ') ++at;
  }
  return at;
}

// Records and describes every argument; returns how many there were.
unsigned ListArguments(const char* commandLine) {
  unsigned count = 0;
  for (const char* at = SkipProgramName(commandLine); *at != '\0';) {
    if (static_cast<unsigned char>(*at) <= ' ') {
      ++at;
      continue;
    }
    char argument[MAX_PATH + 64] = {};
    unsigned length = 0;
    for (; static_cast<unsigned char>(*at) > ' '; ++at) {
      if (length + 1 < sizeof(argument)) argument[length++] = *at;
    }
    ++count;
    char label[48];
    wsprintfA(label, "argument %u", count);
    AppendLog(label, argument);
    if (count <= kMaxShownArguments) {
      wsprintfA(label, "Argument %u:\t", count);
      Append(run.report, sizeof(run.report), label);
      Append(run.report, sizeof(run.report), argument);
      Append(run.report, sizeof(run.report), "\r\n");
    }
  }
  return count;
}

void Finish(HWND window, UINT code, const char* event) {
  KillTimer(window, kTimeoutTimerId);
  AppendLog(event);
  run.finishCode = code;
  DestroyWindow(window);
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kOkButtonId && HIWORD(wParam) == BN_CLICKED)
        Finish(window, run.exitCode, "clicked");
      return 0;
    case WM_TIMER:
      if (wParam == kTimeoutTimerId) Finish(window, kTimeoutExitCode, "timeout");
      return 0;
    case WM_CLOSE:
      Finish(window, kClosedExitCode, "closed");
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND CreateChild(HWND parent, const char* className, const char* text, DWORD style, int x, int y, int width,
                 int height, int id, HINSTANCE instance) {
  const HWND child =
      CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return child;
}

UINT RunVadRun() {
  const char* commandLine = GetCommandLineA();
  const DWORD pathLength = GetEnvironmentVariableA("QUELM_VADRUN_LOG", run.logPath, sizeof(run.logPath));
  run.logging = pathLength > 0 && pathLength < sizeof(run.logPath);
  run.exitCode = static_cast<UINT>(ReadEnvironmentNumber("QUELM_VADRUN_EXIT", 0));
  const long delay = ReadEnvironmentNumber("QUELM_VADRUN_DELAY_MS", 0);
  const long timeout = ReadEnvironmentNumber("QUELM_VADRUN_TIMEOUT_MS", kDefaultTimeoutMs);
  run.finishCode = kTimeoutExitCode;

  AppendLog("commandline", commandLine);
  Append(run.report, sizeof(run.report), "The driver installer program was started with:\r\n\r\n");
  const unsigned count = ListArguments(commandLine);
  char summary[64];
  wsprintfA(summary, "\r\n%u argument(s). Press OK to proceed.", count);
  Append(run.report, sizeof(run.report), summary);

  char mode[16] = {};
  const DWORD modeLength = GetEnvironmentVariableA("QUELM_VADRUN_MODE", mode, sizeof(mode));
  if (modeLength == 0 || modeLength >= sizeof(mode)) mode[0] = '\0';
  if (lstrcmpA(mode, "crash") == 0) {
    AppendLog("crash");
    RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  }
  if (lstrcmpA(mode, "exit") == 0) return run.exitCode;
  if (lstrcmpA(mode, "nowindow") == 0) {
    Sleep(timeout > 0 ? static_cast<DWORD>(timeout) : kDefaultTimeoutMs);
    AppendLog("timeout");
    return kTimeoutExitCode;
  }

  if (delay > 0) {
    // Looking at the empty message queue makes the program idle, which ends the launcher's
    // WaitForInputIdle: its search for the window then runs through the whole delay. Wine counts a
    // look at the thread's own messages (window -1) as idle, not one at all of them.
    MSG peeked;
    PeekMessageA(&peeked, reinterpret_cast<HWND>(-1), 0, 0, PM_NOREMOVE);
    Sleep(static_cast<DWORD>(delay));
  }

  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (RegisterClassA(&windowClass) == 0) return kClosedExitCode;

  // A fixed place well inside the screen: the launcher only takes a window that lies on it, and only
  // one that is visible.
  const DWORD visible = lstrcmpA(mode, "hidden") == 0 ? 0 : WS_VISIBLE;
  const HWND window = CreateWindowExA(0, kWindowClass, "Driver installation",
                                      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | visible, 40, 40, 520, 300,
                                      nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return kClosedExitCode;
  CreateChild(window, "STATIC", run.report, SS_LEFT, 12, 12, 488, 200, -1, instance);
  if (lstrcmpA(mode, "nobutton") != 0) {
    const HWND button = CreateChild(window, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 210, 224, 96, 28,
                                    kOkButtonId, instance);
    SetFocus(button);
  }
  UpdateWindow(window);
  SetTimer(window, kTimeoutTimerId, timeout > 0 ? static_cast<UINT>(timeout) : kDefaultTimeoutMs, nullptr);
  AppendLog("window");

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(window, &message) != FALSE) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return run.finishCode;
}

}  // namespace

extern "C" __attribute__((noreturn)) void VadRunEntry() {
  const UINT code = RunVadRun();
  char text[16];
  wsprintfA(text, "%d", static_cast<int>(code));
  AppendLog("exit", text);
  ExitProcess(code);
}
