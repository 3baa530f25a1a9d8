// quelm-sim scan: the host's PCI functions, named as the launcher names them.
#include "scan/ScanCommand.h"

#include "console/RunOptions.h"
#include "pci/HostPciBus.h"
#include "pci/LocalPciBus.h"
#include "scan/ScanRendering.h"

namespace quelm::tool {

ScanCommand::ScanCommand(CLI::App& app)
    : command_(app.add_subcommand(
          "scan",
          "List the PCI functions of this machine as the launcher's scan finds them, in scan order")) {
  command_->add_option("--root", root_,
                       "Read a Linux machine's sys/bus/pci or proc/bus/pci below this folder instead of this "
                       "machine's bus");
  CLI::Option* json =
      command_->add_flag("--json", json_,
                         "One JSON object per function: its names, numbers, IDs in hexadecimal and decimal, "
                         "and whether it is AGP");
  command_
      ->add_flag("--entries", entries_,
                 "Card list entries for QUELM.INI, N=VENDOR,DEVICE,PCI|AGP,1,0 in decimal, one per function")
      ->excludes(json);
}

int ScanCommand::Execute(std::ostream& out, std::ostream& notes) {
  HostPciBus bus;
  try {
    bus = root_ ? ReadHostPciBus(*root_) : ReadLocalPciBus();
  } catch (const HostPciBusError& fault) {
    throw UsageError(fault.what());
  }
  const ScanFormat format = json_ ? ScanFormat::kJson : entries_ ? ScanFormat::kEntries : ScanFormat::kText;
  const ScanListing listing = RenderScan(bus.functions, format);
  out << listing.text;
  for (const std::string& line : bus.leftOut) notes << "quelm-sim: " << line << '\n';
  for (const std::string& line : listing.unknownAgp) notes << "quelm-sim: " << line << '\n';
  return bus.complete && listing.unknownAgp.empty() ? 0 : 1;
}

}  // namespace quelm::tool
