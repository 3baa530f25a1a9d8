// quelm-sim scan: the host's PCI functions, named as the launcher names them.
#include "ScanCommand.h"

#include "HostPciBus.h"
#include "LocalPciBus.h"
#include "RunOptions.h"
#include "probe/PciScan.h"

namespace quelm::tool {

ScanCommand::ScanCommand(CLI::App& app)
    : command_(app.add_subcommand(
          "scan",
          "List the PCI functions of this machine as the launcher's scan finds them, in scan order")) {
  command_->add_option("--root", root_,
                       "Read a Linux machine's sys/bus/pci or proc/bus/pci below this folder instead of this "
                       "machine's bus");
}

int ScanCommand::Execute(std::ostream& out, std::ostream& notes) {
  HostPciBus bus;
  try {
    bus = root_ ? ReadHostPciBus(*root_) : ReadLocalPciBus();
  } catch (const HostPciBusError& fault) {
    throw UsageError(fault.what());
  }
  for (const HostPciFunction& function : bus.functions) {
    Text<kNameCapacity> location;
    Text<kNameCapacity> hardwareId;
    // Both names always fit their texts.
    static_cast<void>(FormatLocation(location, function.address));
    static_cast<void>(FormatHardwareId(hardwareId, function.identification));
    out << location.CStr() << ' ' << hardwareId.CStr() << '\n';
  }
  for (const std::string& line : bus.leftOut) notes << "quelm-sim: " << line << '\n';
  return bus.complete ? 0 : 1;
}

}  // namespace quelm::tool
