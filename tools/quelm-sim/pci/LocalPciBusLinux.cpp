// This machine's PCI functions on Linux: the kernel's trees below the root folder.
#include "pci/LocalPciBus.h"

namespace quelm::tool {

HostPciBus ReadLocalPciBus() {
  return ReadHostPciBus("/");
}

}  // namespace quelm::tool
