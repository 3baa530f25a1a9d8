// GetVersion's packed answer decoded by the table of its documentation, for the host tests too.
#include "win32/PackedVersion.h"

namespace quelm {

void DecodePackedVersion(uint32_t packed, VersionRecord& record) {
  const uint32_t highWord = packed >> 16;
  record.majorVersion = packed & 0xFFu;
  record.minorVersion = packed >> 8 & 0xFFu;
  record.serviceText[0] = '\0';
  if ((packed & 0x80000000u) == 0) {
    record.platformId = kWindowsNtPlatform;
    record.buildNumber = highWord;
  } else if (record.majorVersion < 4) {
    record.platformId = kWin32sPlatform;
    record.buildNumber = highWord & 0x7FFFu;
  } else {
    record.platformId = kWindows9xPlatform;
    record.buildNumber = 0;
  }
}

}  // namespace quelm
