// The hand-off of the detected card to a driver installer program.
#pragma once

#include <stdint.h>

namespace quelm {

class DriverInstaller {
 public:
  // Runs the installer program to its end and stores its exit code in the application's run
  // record. Returns 0 when the program could not be started at all (the failure has then been shown
  // and stored as the exit code), 1 otherwise.
  virtual int32_t Run() = 0;

 protected:
  ~DriverInstaller() = default;
};

}  // namespace quelm
