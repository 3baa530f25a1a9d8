// Byte-order marks and UTF-16 decoding for the simulated machine's profile and registry files.
#include "sim/SimText.h"

namespace quelm::sim {

ByteOrderMark ByteOrderMarkOf(std::string_view contents, size_t& length) {
  if (contents.substr(0, 3) == "\xEF\xBB\xBF") {
    length = 3;
    return ByteOrderMark::kUtf8;
  }
  length = 2;
  if (contents.substr(0, 2) == "\xFF\xFE") return ByteOrderMark::kUtf16LittleEndian;
  if (contents.substr(0, 2) == "\xFE\xFF") return ByteOrderMark::kUtf16BigEndian;
  length = 0;
  return ByteOrderMark::kNone;
}

std::string FromUtf16(std::string_view bytes, bool bigEndian) {
  std::string text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned first = static_cast<unsigned char>(bytes[i]);
    const unsigned second = static_cast<unsigned char>(bytes[i + 1]);
    const unsigned codeUnit = bigEndian ? (first << 8 | second) : (second << 8 | first);
    text.push_back(codeUnit <= 0xFF ? static_cast<char>(codeUnit) : '?');
  }
  return text;
}

}  // namespace quelm::sim
