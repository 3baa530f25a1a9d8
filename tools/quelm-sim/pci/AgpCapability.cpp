// The capability list walk that tells an AGP function from a PCI one, bounded against broken lists.
#include "pci/AgpCapability.h"

#include <cstdio>

namespace quelm::tool {

namespace {

constexpr size_t kStatusRegister = 0x06;
constexpr unsigned kCapabilityListBit = 0x10;
constexpr size_t kHeaderType = 0x0E;
constexpr unsigned kCardBusHeader = 2;
// Where the list starts: CardBus bridges keep the pointer at 14h, every other header at 34h.
constexpr size_t kCapabilityPointer = 0x34;
constexpr size_t kCardBusCapabilityPointer = 0x14;
constexpr size_t kHeaderSize = 0x40;
constexpr uint8_t kAgpCapabilityId = 0x02;
// Each capability takes at least four bytes after the 64-byte header, so no list is longer; a walk
// that gets further is going round a loop.
constexpr int kLongestList = (256 - kHeaderSize) / 4;

std::string Past(const char* what, size_t offset, size_t count) {
  char text[128];
  static_cast<void>(
      std::snprintf(text, sizeof(text), "%s at %02zXh, past the %zu bytes read", what, offset, count));
  return text;
}

}  // namespace

AgpFinding FindAgpCapability(std::span<const uint8_t> configuration) {
  const size_t count = configuration.size();
  if (count < kStatusRegister + 2)
    return {AgpCapability::kUnknown, Past("its status register", kStatusRegister, count)};
  const unsigned status = configuration[kStatusRegister] | configuration[kStatusRegister + 1] << 8;
  if ((status & kCapabilityListBit) == 0) return {AgpCapability::kAbsent, {}};
  if (count <= kCapabilityPointer) {
    return {AgpCapability::kUnknown, Past("the start of its capability list", kCapabilityPointer, count)};
  }
  const bool cardBus = (configuration[kHeaderType] & 0x7F) == kCardBusHeader;
  // The two low bits of every pointer are reserved: a function may set them.
  size_t position = configuration[cardBus ? kCardBusCapabilityPointer : kCapabilityPointer] & 0xFCu;
  for (int step = 0; step < kLongestList && position != 0; ++step) {
    // A pointer back into the header ends the list, as Linux's own walk takes it.
    if (position < kHeaderSize) break;
    if (position + 1 >= count)
      return {AgpCapability::kUnknown, Past("its capability list goes on", position, count)};
    if (configuration[position] == kAgpCapabilityId) return {AgpCapability::kPresent, {}};
    position = configuration[position + 1] & 0xFCu;
  }
  return {AgpCapability::kAbsent, {}};
}

}  // namespace quelm::tool
