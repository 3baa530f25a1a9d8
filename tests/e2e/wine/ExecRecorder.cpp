// exec-recorder.exe: the program an Exec line of a test disk opens; it appends one line to the file
// named by QUELM_EXEC_LOG: "exec<TAB>its own path<TAB>its current directory<TAB>its command line".
#include <windows.h>

#include <cstdio>

int main() {
  char logPath[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("QUELM_EXEC_LOG", logPath, sizeof(logPath));
  if (length == 0 || length >= sizeof(logPath)) return 1;
  char modulePath[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, modulePath, sizeof(modulePath));
  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof(directory), directory);
  FILE* log = std::fopen(logPath, "ab");
  if (log == nullptr) return 1;
  std::fprintf(log, "exec\t%s\t%s\t%s\n", modulePath, directory, GetCommandLineA());
  std::fclose(log);
  return 0;
}
