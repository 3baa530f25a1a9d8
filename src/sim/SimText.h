// Texts the simulated machine reads from host files: byte-order marks and UTF-16, brought to the
// 8-bit text the launcher works in; and string views as the core's text views.
#pragma once

#include <string>
#include <string_view>

#include "config/Text.h"

namespace quelm::sim {

enum class ByteOrderMark { kNone, kUtf8, kUtf16LittleEndian, kUtf16BigEndian };

// The mark a file starts with, and its length in bytes.
ByteOrderMark ByteOrderMarkOf(std::string_view contents, size_t& length);

// UTF-16 code units up to 0xFF stand for themselves in the 8-bit text; any other becomes '?'.
std::string FromUtf16(std::string_view bytes, bool bigEndian);

// A to Z in capitals, every other byte as it is: names compared as Windows compares them.
inline std::string Upper(std::string text) {
  for (char& c : text) c = UpperAscii(c);
  return text;
}

inline TextView ViewOf(std::string_view text) {
  return TextView(text.data(), static_cast<unsigned>(text.size()));
}

}  // namespace quelm::sim
