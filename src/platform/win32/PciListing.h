// The PCI functions an operating-system device list names, read from its texts into a fixed table.
#pragma once

#include <stdint.h>

namespace quelm {

// Reads "PCI\VEN_xxxx&DEV_xxxx..." (letters in either case, anything after the device ID ignored)
// into register-0 form: vendor ID in the low word, device ID in the high word.
inline bool ParsePciHardwareId(const char* text, uint32_t& identification) {
  if (text == nullptr) return false;
  // Each '#' of the pattern is one hexadecimal digit; the eight of them make VVVVDDDD.
  const char* pattern = "PCI\\VEN_####&DEV_####";
  uint32_t digits = 0;
  for (const char* at = text; *pattern != '\0'; ++pattern, ++at) {
    char character = *at;
    if (character >= 'a' && character <= 'z') character = static_cast<char>(character - 'a' + 'A');
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
  if (count < 3 || last[0] > 0xFF || last[1] > 0x1F || last[2] > 0x7) return false;
  bus = last[0];
  device = last[1];
  function = last[2];
  return true;
}

// The listed functions, in the order the system listed them; no heap, so the table has a fixed size.
class PciFunctionTable {
 public:
  // Far more functions than any real machine lists; what does not fit is treated as absent.
  static constexpr unsigned kCapacity = 256;

  // Keeps the first answer for a location; false when the table is full.
  bool Add(uint32_t bus, uint32_t device, uint32_t function, uint32_t identification) {
    uint32_t ignored = 0;
    if (Find(bus, device, function, ignored)) return true;
    if (count_ == kCapacity) return false;
    entries_[count_].slot = SlotOf(bus, device, function);
    entries_[count_].identification = identification;
    ++count_;
    return true;
  }

  bool Find(uint32_t bus, uint32_t device, uint32_t function, uint32_t& identification) const {
    const uint32_t slot = SlotOf(bus, device, function);
    for (unsigned index = 0; index < count_; ++index) {
      if (entries_[index].slot == slot) {
        identification = entries_[index].identification;
        return true;
      }
    }
    return false;
  }

  unsigned Count() const { return count_; }

 private:
  static uint32_t SlotOf(uint32_t bus, uint32_t device, uint32_t function) {
    return (bus & 0xFFu) << 8 | (device & 0x1Fu) << 3 | (function & 0x7u);
  }

  struct Entry {
    uint32_t slot;
    uint32_t identification;
  };

  Entry entries_[kCapacity] = {};
  unsigned count_ = 0;
};

}  // namespace quelm
