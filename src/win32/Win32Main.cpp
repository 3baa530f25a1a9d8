// QUELM.EXE's entry point: no C runtime, so the loader calls straight into here.
#include <windows.h>

#include "app/AppFrame.h"
#include "app/LauncherApp.h"
#include "win32/Win32Platform.h"

namespace {

// Kept out of the entry point so both objects are gone before the process ends.
__attribute__((noinline)) int32_t RunLauncher() {
  quelm::Win32Platform platform;
  quelm::LauncherApp app(platform);
  return quelm::RunApplication(app, platform);
}

}  // namespace

extern "C" __attribute__((noreturn)) void QuelmEntry() {
  ExitProcess(static_cast<UINT>(RunLauncher()));
}
