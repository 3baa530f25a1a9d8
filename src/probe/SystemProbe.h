// Questions the launcher asks about the machine: directories, Windows version, USB supplement, PCI.
#pragma once

#include <stdint.h>

#include "config/Capacities.h"
#include "config/Text.h"
#include "platform/Platform.h"
#include "probe/OsKind.h"
#include "probe/PciScan.h"

namespace quelm {

// Where the Windows 95 USB supplement leaves its uninstall entry, and what the launcher takes as its
// sign: a DisplayName beginning with these letters, in this case.
inline constexpr const char* kUsbSupplementKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OSR21";
inline constexpr const char* kUsbSupplementValue = "DisplayName";
inline constexpr const char* kUsbSupplementPrefix = "USB";

// The command line less the program name (quoted or not) and the characters of code 1 to 32 after it.
const char* CommandTail(const char* commandLine);

class SystemProbe {
 public:
  explicit SystemProbe(Platform& platform) : platform_(platform) {}

  // The current directory less one trailing backslash (a whole character, never the second byte of a
  // double-byte one), followed by the command tail. False with the buffer untouched when the
  // directory cannot be read, and false with the buffer emptied when the result would not fit: a
  // cut directory would point somewhere else.
  [[nodiscard]] bool GetBaseDirectory(char* buffer, unsigned size);
  OsKind ClassifyOs();
  [[nodiscard]] bool IsUsbSupplementInstalled();
  // The lead bytes of the system's code page, for walking texts a whole character at a time.
  LeadBytes ReadLeadBytes() const;
  // Whether a function with these IDs (low 16 bits each) is on the bus; the texts are written only
  // then. The bus is read once per run; later calls are answered from that record.
  [[nodiscard]] bool FindPciDevice(int32_t vendor, int32_t device, Text<kNameCapacity>& hardwareId,
                                   Text<kNameCapacity>& location);

 private:
  Platform& platform_;
  PciBusRecord bus_;
};

}  // namespace quelm
