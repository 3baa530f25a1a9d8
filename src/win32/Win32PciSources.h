// The ways to the PCI configuration space on real Windows, in the order they are tried.
#pragma once

#include "platform/Platform.h"
#include "win32/PciSource.h"
#include "win32/SetupApiDeviceList.h"

#if defined(__i386__)
#include "win32/PortPciSource.h"

namespace quelm {

// The configuration ports where Windows 9x hands them out, else the device list.
struct Win32PciSources {
  explicit Win32PciSources(Platform& platform) : ports(platform) {}

  PortPciSource ports;
  SetupApiDeviceList deviceList;
  PciSource* order[2] = {&ports, &deviceList};
  PciSourceChain chain{order, 2};
};

}  // namespace quelm

#else

namespace quelm {

// The 64-bit test build: 64-bit Windows never hands a program the ports, so only the device list.
struct Win32PciSources {
  explicit Win32PciSources(Platform& /*platform*/) {}

  SetupApiDeviceList deviceList;
  PciSource* order[1] = {&deviceList};
  PciSourceChain chain{order, 1};
};

}  // namespace quelm

#endif
