// The real x86 I/O ports, each access guarded so that a system that refuses them cannot crash us.
#pragma once

#include <stdint.h>

#include "platform/win32/PciMechanism1.h"

namespace quelm {

// Windows 9x lets applications use the configuration ports directly; NT raises a
// privileged-instruction exception (or an access violation), which this bus turns into `false`.
class GuardedPortBus final : public PciPortBus {
 public:
  bool Write32(uint16_t port, uint32_t value) override;
  bool Read32(uint16_t port, uint32_t& value) override;
  bool Read8(uint16_t port, uint8_t& value) override;
};

}  // namespace quelm
