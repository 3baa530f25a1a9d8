// e2e-driver.exe: starts QUELM.EXE under Wine, answers its message boxes from a script and records
// what they showed, the exit code and the launcher's timings, one line per event.
//
// Usage: e2e-driver.exe LOG TIMEOUT_MS DIRECTORY COMMAND_LINE [OK|CANCEL]...
// Log lines (times in milliseconds since the launcher was started, texts hex-coded byte for byte):
//   started <process id>
//   box <time> <buttons, e.g. OK,CANCEL> <button pressed> <hex text>
//   exit <exit code> <time>
//   times <kernel 100ns> <user 100ns>     processor time of the launcher's whole life
//   hang <time>                           the launcher outlived the time-out and was ended
//   error <text>
// With QUELM_CAPTURE_DIR set, each box is also saved there, before it is answered, as the screen shows
// it: box-1.bmp, box-2.bmp and so on (scripts/capture-boxes.sh makes the guide's pictures from them).
// A test tool, not part of the product: it uses the C runtime and Windows APIs newer than 95.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ProbeCases.h"

namespace {

constexpr int kTextControlId = 0xFFFF;  // the message box's text: a static control without an ID
constexpr int kPollMs = 2;

struct ButtonName {
  int id;
  const char* name;
};
constexpr ButtonName kButtons[] = {{IDOK, "OK"},       {IDCANCEL, "CANCEL"}, {IDABORT, "ABORT"},
                                   {IDRETRY, "RETRY"}, {IDIGNORE, "IGNORE"}, {IDYES, "YES"},
                                   {IDNO, "NO"},       {10, "TRYAGAIN"},     {11, "CONTINUE"}};

FILE* logFile = nullptr;
LARGE_INTEGER startCounter;
LARGE_INTEGER counterFrequency;

long ElapsedMs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<long>((now.QuadPart - startCounter.QuadPart) * 1000 / counterFrequency.QuadPart);
}

void Log(const std::string& line) {
  std::fputs(line.c_str(), logFile);
  std::fputc('\n', logFile);
  std::fflush(logFile);
}

std::string WindowText(HWND window) {
  std::vector<char> text(8192);
  const int length = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  return std::string(text.data(), length > 0 ? length : 0);
}

std::string ClassName(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

struct BoxSearch {
  DWORD processId;
  HWND found;
};

// A launcher message box: a dialog of the launcher's process, captioned "QUELM", already shown (so
// its text and buttons are in place).
BOOL CALLBACK FindBox(HWND window, LPARAM parameter) {
  auto& search = *reinterpret_cast<BoxSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.processId || !IsWindowVisible(window)) return TRUE;
  if (ClassName(window) != "#32770" || WindowText(window) != "QUELM") return TRUE;
  search.found = window;
  return FALSE;
}

void WriteAll(FILE* file, const void* bytes, size_t size) {
  if (std::fwrite(bytes, 1, size, file) != size) Log("error writing a captured box failed");
}

// The box's pixels as on the screen, frame and caption included, in a 24-bit BMP file.
void CaptureBox(HWND box, int number) {
  const char* folder = std::getenv("QUELM_CAPTURE_DIR");
  if (folder == nullptr) return;
  // The box is visible once found, but its text and buttons may not be painted yet.
  RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  Sleep(500);
  RECT frame;
  GetWindowRect(box, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
  SelectObject(memory, previous);

  BITMAPINFOHEADER info;
  ZeroMemory(&info, sizeof(info));
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;  // bottom-up rows, as BMP files keep them
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD rowSize = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<unsigned char> pixels(static_cast<size_t>(rowSize) * height);
  GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);

  BITMAPFILEHEADER header;
  ZeroMemory(&header, sizeof(header));
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof(header) + sizeof(info);
  header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
  const std::string path = std::string(folder) + "\\box-" + std::to_string(number) + ".bmp";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    Log("error cannot write " + path);
    return;
  }
  WriteAll(file, &header, sizeof(header));
  WriteAll(file, &info, sizeof(info));
  WriteAll(file, pixels.data(), pixels.size());
  std::fclose(file);
}

bool HasButton(HWND box, int id) {
  const HWND button = GetDlgItem(box, id);
  return button != nullptr && IsWindowVisible(button);
}

// Records the box and presses the scripted answer; a box without that button gets OK, as closing an
// OK-only box does.
void AnswerBox(HWND box, const char* scripted) {
  std::string buttons;
  for (const ButtonName& button : kButtons) {
    if (!HasButton(box, button.id)) continue;
    if (!buttons.empty()) buttons += ",";
    buttons += button.name;
  }
  int pressed = IDOK;
  for (const ButtonName& button : kButtons) {
    if (std::strcmp(scripted, button.name) == 0 && HasButton(box, button.id)) pressed = button.id;
  }
  const char* pressedName = "OK";
  for (const ButtonName& button : kButtons) {
    if (button.id == pressed) pressedName = button.name;
  }
  const HWND textControl = GetDlgItem(box, kTextControlId);
  const std::string text = textControl != nullptr ? WindowText(textControl) : std::string();
  Log("box " + std::to_string(ElapsedMs()) + " " + (buttons.empty() ? "-" : buttons) + " " + pressedName +
      " " + probe::Hex(text));
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(pressed, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, pressed)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: e2e-driver.exe LOG TIMEOUT_MS DIRECTORY COMMAND_LINE [OK|CANCEL]...\n");
    return 2;
  }
  logFile = std::fopen(argv[1], "wb");
  if (logFile == nullptr) return 2;
  const long timeoutMs = std::atol(argv[2]);
  const char* directory = argv[3];
  std::string commandLine = argv[4];
  std::vector<const char*> answers(argv + 5, argv + argc);
  size_t nextAnswer = 0;

  QueryPerformanceFrequency(&counterFrequency);
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof(process));
  QueryPerformanceCounter(&startCounter);
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory, &startup,
                      &process)) {
    Log("error CreateProcess failed with " + std::to_string(GetLastError()));
    return 2;
  }
  Log("started " + std::to_string(process.dwProcessId));

  HWND answered = nullptr;
  bool ended = false;
  while (!(ended = WaitForSingleObject(process.hProcess, kPollMs) == WAIT_OBJECT_0)) {
    if (ElapsedMs() > timeoutMs) break;
    // One box at a time: the launcher's boxes are modal, so the next one comes after this one is gone.
    if (answered != nullptr && IsWindow(answered)) continue;
    BoxSearch search = {process.dwProcessId, nullptr};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) continue;
    CaptureBox(search.found, static_cast<int>(nextAnswer) + 1);
    AnswerBox(search.found, nextAnswer < answers.size() ? answers[nextAnswer] : "OK");
    ++nextAnswer;
    answered = search.found;
  }
  if (!ended) {
    Log("hang " + std::to_string(ElapsedMs()));
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
  } else {
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    Log("exit " + std::to_string(exitCode) + " " + std::to_string(ElapsedMs()));
  }
  FILETIME created, exited, kernel, user;
  if (GetProcessTimes(process.hProcess, &created, &exited, &kernel, &user)) {
    const auto ticks = [](const FILETIME& time) {
      return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    Log("times " + std::to_string(ticks(kernel)) + " " + std::to_string(ticks(user)));
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::fclose(logFile);
  return ended ? 0 : 3;
}
