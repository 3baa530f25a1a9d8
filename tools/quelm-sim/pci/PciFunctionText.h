// A PCI function written as text: the place names of lspci and Linux, and --pci's BB:DD.F=VVVV:DDDD.
#pragma once

#include <stdint.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/PciSlot.h"

namespace quelm::tool {

// Text that names no PCI function, or one the launcher cannot reach; the message says which.
class PciTextError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PciFunctionName {
  uint32_t domain = 0;
  PciAddress address;
};

// Whether a name may leave its domain out: lspci does on a machine with one domain, sysfs never does.
enum class DomainPart { kOptional, kRequired };

// 1 to `maximumDigits` hexadecimal digits of either case and nothing else.
std::optional<uint32_t> ParseHex(std::string_view text, size_t maximumDigits);

// "DDDD:BB:DD.F" or "BB:DD.F" (domain 0), hexadecimal, 1 to 8 digits of domain, 1 to 2 of bus and
// device, 1 of function; nullopt unless the numbers name a function.
std::optional<PciFunctionName> ParsePciFunctionName(std::string_view text,
                                                    DomainPart domainPart = DomainPart::kOptional);

// A vendor or device ID as the launcher writes it in its names: four upper-case hexadecimal digits.
std::string IdText(uint32_t id);

// As Linux and lspci -D name a function: "0000:00:1f.3".
std::string LinuxName(const PciFunctionName& name);

// Why the launcher cannot see a function of `domain` (configuration mechanism #1 has no domain
// number); empty for domain 0.
std::string OutOfReach(uint32_t domain);

struct PciFunctionIds {
  PciAddress address;
  uint16_t vendorId = 0;
  uint16_t deviceId = 0;
};

// "BB:DD.F=VVVV:DDDD" or lspci -D's "0000:BB:DD.F=VVVV:DDDD"; throws PciTextError saying what is wrong.
PciFunctionIds ParsePciAssignment(std::string_view text);

}  // namespace quelm::tool
