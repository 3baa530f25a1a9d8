// Whether a PCI function's configuration space carries the AGP capability, as far as its bytes tell.
#pragma once

#include <stdint.h>

#include <span>
#include <string>

namespace quelm::tool {

enum class AgpCapability { kPresent, kAbsent, kUnknown };

struct AgpFinding {
  AgpCapability capability = AgpCapability::kUnknown;
  std::string why;  // for kUnknown: which bytes it would take, past those read
};

// Walks the capability list of `configuration`, the first bytes of a function's configuration space
// as they were read: 256 where the system gives them, 64 to a user other than root on Linux.
AgpFinding FindAgpCapability(std::span<const uint8_t> configuration);

}  // namespace quelm::tool
