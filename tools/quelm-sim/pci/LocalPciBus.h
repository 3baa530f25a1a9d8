// The PCI functions of the machine quelm-sim runs on, from the source its system offers.
#pragma once

#include "pci/HostPciBus.h"

namespace quelm::tool {

// Linux: /sys/bus/pci, or else /proc/bus/pci (ReadHostPciBus of "/"). Windows: SetupAPI's list of
// present PCI devices, read by the very code QUELM.EXE uses on Windows 2000 and later. Throws
// HostPciBusError when the system offers neither.
HostPciBus ReadLocalPciBus();

}  // namespace quelm::tool
