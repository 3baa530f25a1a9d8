// This machine's PCI functions on Windows: SetupAPI's list of present devices, as QUELM.EXE reads it.
#include <memory>

#include "pci/LocalPciBus.h"
#include "probe/PciScan.h"
#include "win32/SetupApiDeviceList.h"

namespace quelm::tool {

HostPciBus ReadLocalPciBus() {
  // Windows hands programs no configuration ports, so what the launcher finds here is what its device
  // list finds: the same code, so that scan and run --pci-host show exactly that. The list's table
  // holds a whole bus (256 KiB), too much for the stack.
  const auto list = std::make_unique<SetupApiDeviceList>();
  if (!list->Detect()) {
    throw HostPciBusError("no PCI bus to read: SetupAPI's list of present PCI devices is not available");
  }
  HostPciBus bus;
  bus.source = HostPciSource::kDeviceList;
  for (uint32_t slot = 0; slot < kPciSlotCount; ++slot) {
    const PciAddress address = PciAddressOf(slot);
    uint32_t identification = 0;
    if (list->Read(address.bus, address.device, address.function, identification) == PciAnswer::kPresent &&
        identification != kAbsentIdentification) {
      // SetupAPI gives no configuration space: whether a function is AGP cannot be told here.
      bus.functions.push_back(HostPciFunction{address, identification, {}});
    }
  }
  return bus;
}

}  // namespace quelm::tool
