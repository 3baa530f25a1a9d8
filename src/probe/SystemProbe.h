// Questions the launcher asks about the machine: directories, Windows version, USB supplement, PCI.
#pragma once

#include <stdint.h>

#include "config/Capacities.h"
#include "config/Text.h"
#include "platform/Platform.h"
#include "probe/PciScan.h"

namespace quelm {

enum class OsKind : int32_t {
  OTHER = 0,  // neither a Windows 9x nor a Windows NT platform
  WIN95 = 10,
  W95A = 11,
  W95B = 12,
  W95C = 13,
  W98 = 14,
  WINNT = 20,
  NT31 = 21,
  NT35X = 22,
  NT40 = 23,
};

// The name the configuration file uses for a kind: "W95B", "NT40", ...; empty for OTHER.
const char* OsNameOf(OsKind kind);

// The command line less the program name (quoted or not) and the characters of code 1 to 32 after it.
const char* CommandTail(const char* commandLine);

class SystemProbe {
 public:
  explicit SystemProbe(Platform& platform) : platform_(platform) {}

  // The current directory less one trailing backslash (a whole character, never the second byte of a
  // double-byte one), followed by the command tail. 1 on success;
  // 0 with the buffer untouched when the directory cannot be read, and 0 with the buffer emptied when
  // the result would not fit: a cut directory would point somewhere else.
  int32_t GetBaseDirectory(char* buffer, unsigned size);
  OsKind ClassifyOs();
  int32_t IsUsbSupplementInstalled();
  // The lead bytes of the system's code page, for walking texts a whole character at a time.
  LeadBytes ReadLeadBytes() const;
  // "\n" becomes carriage return and line feed, then "\t" a tab; nothing else is an escape, and the
  // second byte of a double-byte character never begins one.
  void ExpandEscapes(Text<kMessageCapacity>& text);
  // 1 when a function with these IDs (low 16 bits each) is on the bus; the texts are written only then.
  int32_t FindPciDevice(int32_t vendor, int32_t device, Text<kNameCapacity>& hardwareId,
                        Text<kNameCapacity>& location);

  // The bus is read once per run; later calls are answered from this record.
  const PciBusRecord& BusRecord() const { return bus_; }

 private:
  Platform& platform_;
  PciBusRecord bus_;
};

}  // namespace quelm
