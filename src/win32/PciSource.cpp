// Walking the ordered list of PCI sources: written without Windows so that it is tested on the host.
#include "win32/PciSource.h"

namespace quelm {

bool PciSourceChain::Read(uint32_t bus, uint32_t device, uint32_t function, uint32_t& identification) {
  while (current_ < count_) {
    PciSource& source = *sources_[current_];
    if (!detected_ && !source.Detect()) {
      ++current_;
      continue;
    }
    detected_ = true;
    switch (source.Read(bus, device, function, identification)) {
      case PciAnswer::kPresent:
        return true;
      case PciAnswer::kAbsent:
        return false;
      case PciAnswer::kUnreachable:
        ++current_;
        detected_ = false;
        break;
    }
  }
  return false;
}

}  // namespace quelm
