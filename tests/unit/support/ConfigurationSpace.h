// Test support: planted PCI configuration spaces with a status register and a capability list.
#pragma once

#include <stdint.h>

#include <vector>

namespace quelm::testing {

struct Capability {
  uint8_t offset;
  uint8_t id;
  uint8_t next;
};

inline constexpr uint16_t kStatusWithList = 0x0210;  // capability list bit set, medium DEVSEL timing
inline constexpr uint16_t kStatusWithoutList = 0x0200;

// The first `size` bytes of a configuration space: register 0 from `identification`, the status
// register, the list's start (at 34h, or 14h for a CardBus header) and the capabilities given.
inline std::vector<uint8_t> PlantedSpace(size_t size, uint32_t identification, uint16_t status, uint8_t start,
                                         const std::vector<Capability>& list, uint8_t headerType = 0x00) {
  std::vector<uint8_t> bytes(256, 0);
  for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(identification >> (8 * i));
  bytes[6] = static_cast<uint8_t>(status & 0xFF);
  bytes[7] = static_cast<uint8_t>(status >> 8);
  bytes[0x0E] = headerType;
  bytes[(headerType & 0x7F) == 0x02 ? 0x14 : 0x34] = start;
  for (const Capability& capability : list) {
    bytes[capability.offset] = capability.id;
    bytes[capability.offset + 1u] = capability.next;
  }
  bytes.resize(size);
  return bytes;
}

}  // namespace quelm::testing
