// Test support: a list of PCI functions as --pci writes them, for comparing lists in failure messages.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "pci/HostPciBus.h"

namespace quelm::testing {

// "BB:DD.F=VVVV:DDDD" per function, in the list's order.
inline std::vector<std::string> Rendered(const std::vector<tool::HostPciFunction>& functions) {
  std::vector<std::string> lines;
  for (const tool::HostPciFunction& f : functions) {
    char line[32];
    std::snprintf(line, sizeof(line), "%02x:%02x.%x=%04x:%04x", f.address.bus, f.address.device,
                  f.address.function, f.identification & 0xFFFF, f.identification >> 16);
    lines.push_back(line);
  }
  return lines;
}

}  // namespace quelm::testing
