// The application frame: start hook, message loop, exit hook.
#pragma once

#include <stdint.h>

#include "app/LauncherApp.h"
#include "platform/Platform.h"

namespace quelm {

// Runs the whole life of the launcher and returns the process exit code.
int32_t RunApplication(LauncherApp& app, Platform& platform);

}  // namespace quelm
