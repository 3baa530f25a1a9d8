// The hand-off of the detected card to a driver installer program.
#pragma once

#include <stdint.h>

namespace quelm {

struct InstallerOutcome {
  bool started = false;  // false: the program could not be started at all
  // Its exit code once it has ended; the system's error code when it could not be started or its exit
  // code could not be read.
  int32_t exitCode = 0;
};

class DriverInstaller {
 public:
  // Runs the installer program to its end.
  virtual InstallerOutcome Run() = 0;

 protected:
  ~DriverInstaller() = default;
};

}  // namespace quelm
