// The application frame shared by every platform.
#include "app/AppFrame.h"

namespace quelm {

int32_t RunApplication(LauncherApp& app, Platform& platform) {
  app.StartHook();
  // All work happened in the start hook; with no main window the loop only takes the quit request.
  platform.RunMessageLoop();
  return app.ExitHook();
}

}  // namespace quelm
