// PCI configuration mechanism #1 over an abstract port bus: the address, the presence check, the reads.
#pragma once

#include <stdint.h>

namespace quelm {

inline constexpr uint16_t kPciAddressPort = 0xCF8;
inline constexpr uint16_t kPciDataPort = 0xCFC;
inline constexpr uint32_t kPciEnableBit = 0x80000000u;

// The x86 I/O space as the mechanism sees it. Every access reports false when the system refused it
// (a privileged-instruction or access-violation exception), so a refusal never looks like data.
class PciPortBus {
 public:
  virtual bool Write32(uint16_t port, uint32_t value) = 0;
  virtual bool Read32(uint16_t port, uint32_t& value) = 0;
  virtual bool Read8(uint16_t port, uint8_t& value) = 0;

 protected:
  ~PciPortBus() = default;
};

// The 32-bit address written to 0xCF8: enable bit, bus in bits 16-23, device in 11-15, function in
// 8-10, register in 0-7 (dword aligned). Out-of-range numbers are cut to their fields.
uint32_t PciConfigurationAddress(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg);

// Talks mechanism #1 through `ports` once the mechanism has been found there.
class PciMechanism1 {
 public:
  explicit PciMechanism1(PciPortBus& ports) : ports_(ports) {}

  // Saves 0xCF8, writes the bare enable bit, reads it back and restores the saved value; the
  // mechanism is there when the enable bit reads back unchanged. An emulation that answers every
  // port read with all ones, a chipset with only mechanism #2 (an 8-bit 0xCF8) and a refused
  // access all fail the check. The answer is kept: the check runs once.
  bool IsPresent();

  // Register 0 of (bus, device, function), assembled from the four bytes at 0xCFC..0xCFF: vendor ID
  // in the low word, device ID in the high word. False when the mechanism is absent or an access
  // was refused; from a refusal on, the mechanism counts as absent.
  bool ReadIdentification(uint32_t bus, uint32_t device, uint32_t function, uint32_t& identification);

 private:
  enum class State : uint8_t { kUnknown, kPresent, kAbsent };

  bool Check();

  PciPortBus& ports_;
  State state_ = State::kUnknown;
};

}  // namespace quelm
