// Code-page facts of the simulated machine: which code pages it knows and which bytes lead a
// double-byte character. The conversions depend on the host (SimCodePagePosix.cpp, SimCodePageWindows.cpp).
#include "sim/SimCodePage.h"

#include <utility>

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

namespace {

void AppendUnit(std::string& out, uint32_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}

void AppendUtf8(std::string& out, uint32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | point >> 6);
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | point >> 12);
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | point >> 18);
    out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

// The code point of the UTF-8 sequence at `at`, and its length; nothing for one that is no UTF-8
// (overlong forms, surrogates and points beyond U+10FFFF included).
std::optional<std::pair<uint32_t, size_t>> DecodeUtf8(std::string_view text, size_t at) {
  const auto byte = [&](size_t index) {
    return static_cast<unsigned char>(text[index]);
  };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return std::make_pair(uint32_t{lead}, size_t{1});
  const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
  if (length == 0 || at + length > text.size()) return std::nullopt;
  uint32_t point = lead & (0x7F >> length);
  for (size_t index = 1; index < length; ++index) {
    if ((byte(at + index) & 0xC0) != 0x80) return std::nullopt;
    point = point << 6 | (byte(at + index) & 0x3F);
  }
  const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (point < smallest[length] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF)
    return std::nullopt;
  return std::make_pair(point, length);
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const auto decoded = DecodeUtf8(text, at);
    if (!decoded) {
      out += "\xEF\xBF\xBD";
      ++at;
      continue;
    }
    out += text.substr(at, decoded->second);
    at += decoded->second;
  }
  return out;
}

std::optional<std::string> Utf8ToUtf16(std::string_view utf8) {
  std::string out;
  for (size_t at = 0; at < utf8.size();) {
    const auto decoded = DecodeUtf8(utf8, at);
    if (!decoded) return std::nullopt;
    const uint32_t point = decoded->first;
    if (point >= 0x10000) {
      AppendUnit(out, 0xD800 + ((point - 0x10000) >> 10));
      AppendUnit(out, 0xDC00 + ((point - 0x10000) & 0x3FF));
    } else {
      AppendUnit(out, point);
    }
    at += decoded->second;
  }
  return out;
}

std::string Utf16ToUtf8(std::string_view utf16) {
  std::string out;
  const auto unitAt = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(utf16[at]) |
                                 static_cast<unsigned char>(utf16[at + 1]) << 8);
  };
  for (size_t at = 0; at + 1 < utf16.size(); at += 2) {
    const uint32_t unit = unitAt(at);
    if (unit >= 0xD800 && unit <= 0xDBFF && at + 3 < utf16.size() && unitAt(at + 2) >= 0xDC00 &&
        unitAt(at + 2) <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(at + 2) - 0xDC00));
      at += 2;
    } else {
      AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
  }
  return out;
}

std::optional<std::string> FromUtf8ToCodePage(std::string_view utf8, uint32_t codePage) {
  std::string out;
  for (size_t at = 0; at < utf8.size();) {
    const auto decoded = DecodeUtf8(utf8, at);
    if (!decoded) return std::nullopt;
    const std::string_view character = utf8.substr(at, decoded->second);
    at += decoded->second;
    if (decoded->first < 0x80) {
      out += character;
      continue;
    }
    // A character is in the code page when the code page's form of it reads back as itself.
    const std::string converted = FromUtf16ToCodePage(*Utf8ToUtf16(character), codePage);
    if (ToUtf8(converted, codePage) != character) return std::nullopt;
    out += converted;
  }
  return out;
}

}  // namespace quelm::sim
