// PCI configuration mechanism #1: written against the port seam so that it runs on the host too.
#include "win32/PciMechanism1.h"

namespace quelm {

uint32_t PciConfigurationAddress(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg) {
  return kPciEnableBit | (bus & 0xFFu) << 16 | (device & 0x1Fu) << 11 | (function & 0x7u) << 8 |
         (reg & 0xFCu);
}

bool PciMechanism1::IsPresent() {
  if (state_ == State::kUnknown) state_ = Check() ? State::kPresent : State::kAbsent;
  return state_ == State::kPresent;
}

bool PciMechanism1::Check() {
  uint32_t saved = 0;
  if (!ports_.Read32(kPciAddressPort, saved)) return false;
  uint32_t echo = 0;
  const bool answered =
      ports_.Write32(kPciAddressPort, kPciEnableBit) && ports_.Read32(kPciAddressPort, echo);
  // Restored whatever the answer: the address latch belongs to whoever set it before us.
  const bool restored = ports_.Write32(kPciAddressPort, saved);
  return answered && restored && echo == kPciEnableBit;
}

bool PciMechanism1::ReadIdentification(uint32_t bus, uint32_t device, uint32_t function,
                                       uint32_t& identification) {
  if (!IsPresent()) return false;
  uint8_t bytes[4] = {};
  bool accepted = ports_.Write32(kPciAddressPort, PciConfigurationAddress(bus, device, function, 0));
  for (uint16_t index = 0; accepted && index < 4; ++index) {
    accepted = ports_.Read8(static_cast<uint16_t>(kPciDataPort + index), bytes[index]);
  }
  if (!accepted) {
    state_ = State::kAbsent;
    return false;
  }
  identification = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                   static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  return true;
}

}  // namespace quelm
