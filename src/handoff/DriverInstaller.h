// The hand-off of the detected card to a driver installer program.
#pragma once

#include <stdint.h>

namespace quelm {

struct InstallerOutcome {
  bool started = false;  // false: the program could not be started at all
  int32_t exitCode = 0;  // its exit code once it has ended, or the system's error code when not started
};

class DriverInstaller {
 public:
  // Runs the installer program to its end.
  virtual InstallerOutcome Run() = 0;

 protected:
  ~DriverInstaller() = default;
};

}  // namespace quelm
