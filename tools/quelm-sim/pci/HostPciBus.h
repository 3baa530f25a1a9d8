// The PCI functions of the machine quelm-sim runs on, as the launcher's own scan would find them.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/PciSlot.h"
#include "sim/SimMachine.h"

namespace quelm::tool {

// Neither Linux source of the PCI bus is there (containers often have neither).
class HostPciBusError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Linux's two trees, or (on Windows) SetupAPI's list of present devices.
enum class HostPciSource { kSysfs, kProcfs, kDeviceList };

// As much of a configuration space as is read: the standard header and the capabilities after it.
inline constexpr size_t kConfigurationBytes = 256;

struct HostPciFunction {
  PciAddress address;
  uint32_t identification;  // register 0: vendor ID low, device ID high
  // Its first bytes, kConfigurationBytes where the system gives them (Linux gives only 64 to a user
  // other than root); empty where the bus was not read from the configuration spaces themselves.
  std::vector<uint8_t> configuration;
};

struct HostPciBus {
  HostPciSource source = HostPciSource::kSysfs;
  // Domain 0 only, in the launcher's scan order; at most one function per slot.
  std::vector<HostPciFunction> functions;
  // One line per function left out, saying which and why.
  std::vector<std::string> leftOut;
  // False when a function's configuration space could not be read: the list then lacks a function
  // that the launcher would see. Functions of other domains and functions that read as absent are
  // left out on purpose and keep the bus complete.
  bool complete = true;
};

// Reads `root`/sys/bus/pci/devices, or else `root`/proc/bus/pci; throws HostPciBusError when
// neither is there. Never throws for a single unreadable function: it goes to `leftOut`.
HostPciBus ReadHostPciBus(const std::filesystem::path& root);

// Puts every function of `bus` into the machine's slots, replacing what they held.
void AddHostPciFunctions(const HostPciBus& bus, sim::SimMachine& machine);

}  // namespace quelm::tool
