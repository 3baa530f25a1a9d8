// Where a PCI function sits: bus, device and function numbers, and the one slot number they pack into.
#pragma once

#include <stdint.h>

namespace quelm {

inline constexpr uint32_t kPciBusCount = 256;
inline constexpr uint32_t kPciDeviceCount = 32;
inline constexpr uint32_t kPciFunctionCount = 8;
// Every function there can be: the size of a table that holds a whole bus.
inline constexpr uint32_t kPciSlotCount = kPciBusCount * kPciDeviceCount * kPciFunctionCount;

struct PciAddress {
  uint32_t bus = 0;
  uint32_t device = 0;
  uint32_t function = 0;
};

// Whether the numbers name a function at all.
constexpr bool IsPciAddress(uint32_t bus, uint32_t device, uint32_t function) {
  return bus < kPciBusCount && device < kPciDeviceCount && function < kPciFunctionCount;
}

// bus << 8 | device << 3 | function, for numbers that IsPciAddress accepts: slot order is scan order.
constexpr uint32_t PciSlotOf(uint32_t bus, uint32_t device, uint32_t function) {
  return bus << 8 | device << 3 | function;
}

constexpr PciAddress PciAddressOf(uint32_t slot) {
  return PciAddress{slot >> 8, (slot >> 3) & 0x1F, slot & 0x7};
}

}  // namespace quelm
