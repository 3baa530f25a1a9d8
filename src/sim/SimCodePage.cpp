// Code-page facts of the simulated machine: which code pages it knows and which bytes lead a
// double-byte character. The conversions depend on the host (SimCodePagePosix.cpp, SimCodePageWindows.cpp).
#include "sim/SimCodePage.h"

namespace quelm::sim {

bool IsKnownCodePage(uint32_t codePage) {
  return codePage == 874 || (codePage >= 1250 && codePage <= 1258) || codePage == 932 || codePage == 936 ||
         codePage == 949 || codePage == 950;
}

bool IsLeadByteOf(uint32_t codePage, uint8_t byte) {
  switch (codePage) {
    case 932:  // Shift-JIS
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:  // GBK
    case 949:  // Unified Hangul Code
    case 950:  // Big5
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

}  // namespace quelm::sim
