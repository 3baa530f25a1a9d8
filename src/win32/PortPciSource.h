// PCI through the configuration ports, on 32-bit Windows 9x only: each port access guarded so that a
// system that refuses them cannot crash the launcher.
#pragma once

#include <stdint.h>

#include "platform/Platform.h"
#include "win32/PciMechanism1.h"
#include "win32/PciSource.h"

namespace quelm {

// Windows 9x lets applications use the configuration ports directly; NT raises a
// privileged-instruction exception (or an access violation), which this bus turns into `false`.
class GuardedPortBus final : public PciPortBus {
 public:
  bool Write32(uint16_t port, uint32_t value) override;
  bool Read32(uint16_t port, uint32_t& value) override;
  bool Read8(uint16_t port, uint8_t& value) override;
};

class PortPciSource final : public PciSource {
 public:
  explicit PortPciSource(Platform& platform) : platform_(platform), mechanism_(ports_) {}

  // Windows 9x, and mechanism #1 answering there: asking NT would only raise exceptions.
  bool Detect() override;
  // A refusal after the check hands over to the next source.
  PciAnswer Read(uint32_t bus, uint32_t device, uint32_t function, uint32_t& identification) override;

 private:
  Platform& platform_;
  GuardedPortBus ports_;
  PciMechanism1 mechanism_;
};

}  // namespace quelm
