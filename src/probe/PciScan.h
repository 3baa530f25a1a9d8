// Looking for a vendor and device ID on the PCI bus, and remembering what one full scan found.
#pragma once

#include <stdint.h>

#include "config/Capacities.h"
#include "config/Text.h"
#include "platform/PciSlot.h"
#include "platform/Platform.h"

namespace quelm {

// What an absent function reads as: vendor and device ID FFFF.
inline constexpr uint32_t kAbsentIdentification = 0xFFFFFFFFu;

// Register 0 of a function as the configuration space holds it: vendor low, device high.
inline uint32_t PciIdentification(int32_t vendor, int32_t device) {
  return (static_cast<uint32_t>(device) & 0xFFFFu) << 16 | (static_cast<uint32_t>(vendor) & 0xFFFFu);
}

// The scan every caller relies on: all 256 buses x 32 devices x 8 functions in that nesting; the
// last matching device wins, and within it the lowest matching function. Absent functions read as
// all ones. `address` is written only on a match.
[[nodiscard]] bool ScanForDevice(Platform& platform, uint32_t identification, PciAddress& address);

// What one full scan found, so that later card entries of the same run cost no further port or
// system traffic. Answers exactly as ScanForDevice would on an unchanged bus.
class PciBusRecord {
 public:
  // A real bus holds a few dozen functions; a bus with more than this is answered by fresh scans.
  static constexpr unsigned kCapacity = 512;

  bool IsScanned() const { return scanned_; }
  // True when every function that answered fitted in the record.
  bool IsComplete() const { return scanned_ && !overflowed_; }
  void Scan(Platform& platform);
  // Only meaningful when IsComplete(); `address` is written only on a match.
  [[nodiscard]] bool Find(uint32_t identification, PciAddress& address) const;

 private:
  struct Entry {
    uint16_t slot;  // bus << 8 | device << 3 | function: ascending in scan order
    uint32_t identification;
  };

  Entry entries_[kCapacity] = {};
  unsigned count_ = 0;
  bool scanned_ = false;
  bool overflowed_ = false;
};

// "VEN_%04X&DEV_%04X" and "BUS_%02X&DEV_%02X&FUNC_%02X", as the Windows 9x enumerator names keys.
// False only if a text did not fit, which these short texts always do.
[[nodiscard]] bool FormatHardwareId(Text<kNameCapacity>& hardwareId, uint32_t identification);
[[nodiscard]] bool FormatLocation(Text<kNameCapacity>& location, const PciAddress& address);

}  // namespace quelm
