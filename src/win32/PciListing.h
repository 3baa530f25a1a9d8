// The PCI functions an operating-system device list names, read from its texts into a fixed table.
#pragma once

#include <stdint.h>

#include "config/Text.h"
#include "platform/PciSlot.h"

namespace quelm {

// Reads "PCI\VEN_xxxx&DEV_xxxx..." (letters in either case, anything after the device ID ignored)
// into register-0 form: vendor ID in the low word, device ID in the high word.
inline bool ParsePciHardwareId(const char* text, uint32_t& identification) {
  if (text == nullptr) return false;
  // Each '#' of the pattern is one hexadecimal digit; the eight of them make VVVVDDDD.
  const char* pattern = "PCI\\VEN_####&DEV_####";
  uint32_t digits = 0;
  for (const char* at = text; *pattern != '\0'; ++pattern, ++at) {
    const char character = UpperAscii(*at);
    if (*pattern != '#') {
      if (character != *pattern) return false;
    } else if (character >= '0' && character <= '9') {
      digits = digits << 4 | static_cast<uint32_t>(character - '0');
    } else if (character >= 'A' && character <= 'F') {
      digits = digits << 4 | static_cast<uint32_t>(character - 'A' + 10);
    } else {
      return false;
    }
  }
  identification = (digits & 0xFFFFu) << 16 | digits >> 16;
  return true;
}

// Reads a location text as bus, device and function: its last three decimal numbers. Windows puts a
// slot number before them ("PCI Slot 3 (PCI bus 2, device 0, function 0)"), translates the words
// around them ("PCI-Bus 2, Gerät 0, Funktion 0"), and from Windows 8 on may hand out the indirect form
// ("@System32\drivers\pci.sys,#65536;PCI bus %1, device %2, function %3;(2,0,0)"); the numbers
// themselves always come last, in this order. The trail bytes of double-byte code pages are never
// ASCII digits. False when there are fewer than three numbers or one is out of range.
inline bool ParsePciLocation(const char* text, uint32_t& bus, uint32_t& device, uint32_t& function) {
  if (text == nullptr) return false;
  uint32_t last[3] = {};
  unsigned count = 0;
  for (const char* at = text; *at != '\0';) {
    if (*at < '0' || *at > '9') {
      ++at;
      continue;
    }
    uint32_t value = 0;
    for (; *at >= '0' && *at <= '9'; ++at) {
      // A number past any location field stays out of range without overflowing.
      if (value <= 0xFFFF) value = value * 10 + static_cast<uint32_t>(*at - '0');
    }
    last[0] = last[1];
    last[1] = last[2];
    last[2] = value;
    ++count;
  }
  if (count < 3 || !IsPciAddress(last[0], last[1], last[2])) return false;
  bus = last[0];
  device = last[1];
  function = last[2];
  return true;
}

// The functions a device list names, by location. Sized for the largest bus there can be, so that no
// list is ever too long and each of a scan's 65,536 reads is one look-up: 256 KiB, filled once.
class PciFunctionTable {
 public:
  PciFunctionTable() {
    for (uint32_t& entry : identification_) entry = kUnlisted;
  }

  // Keeps the first answer for a location; numbers IsPciAddress accepts.
  void Add(uint32_t bus, uint32_t device, uint32_t function, uint32_t identification) {
    uint32_t& entry = identification_[PciSlotOf(bus, device, function)];
    if (entry == kUnlisted) entry = identification;
  }

  bool Find(uint32_t bus, uint32_t device, uint32_t function, uint32_t& identification) const {
    if (!IsPciAddress(bus, device, function)) return false;
    const uint32_t entry = identification_[PciSlotOf(bus, device, function)];
    if (entry == kUnlisted) return false;
    identification = entry;
    return true;
  }

 private:
  // All ones, which is also what an absent function reads as: a listed function that reports it is
  // absent to every caller anyway.
  static constexpr uint32_t kUnlisted = 0xFFFFFFFFu;

  uint32_t identification_[kPciSlotCount];
};

}  // namespace quelm
