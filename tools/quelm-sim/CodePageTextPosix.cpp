// Code-page texts as UTF-8 through the C library's iconv, with the Western code page done by table.
#include <iconv.h>

#include <cerrno>

#include "CodePageText.h"

namespace quelm::tool {

namespace {

// glibc's CP1252 refuses the five bytes Windows leaves undefined but converts to their own value, so the
// Western code page, the one most disks are written in, does not go through iconv.
std::string Windows1252ToUtf8(const std::string& text) {
  // Code points of 0x80 to 0x9F; the five bytes the code page leaves undefined keep their own value.
  static const char16_t kHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                             0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const unsigned code = (byte >= 0x80 && byte <= 0x9F) ? kHighControls[byte - 0x80] : byte;
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

// Any other code page through the C library's converter, one undecodable byte at a time.
std::string ConvertedToUtf8(const std::string& text, uint32_t codePage) {
  iconv_t converter = iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str());
  // (iconv_t)-1 is how iconv_open says it knows no such conversion.
  if (converter == reinterpret_cast<iconv_t>(-1))
    return Windows1252ToUtf8(text);  // NOLINT(performance-no-int-to-ptr)
  std::string out;
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  while (inLeft > 0) {
    char buffer[256];
    char* to = buffer;
    size_t toLeft = sizeof(buffer);
    const size_t result = iconv(converter, &in, &inLeft, &to, &toLeft);
    out.append(buffer, static_cast<size_t>(to - buffer));
    if (result == static_cast<size_t>(-1) && errno != E2BIG) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++in;
      --inLeft;
    }
  }
  iconv_close(converter);
  return out;
}

}  // namespace

std::string ToUtf8(const std::string& text, uint32_t codePage) {
  return codePage == 1252 ? Windows1252ToUtf8(text) : ConvertedToUtf8(text, codePage);
}

}  // namespace quelm::tool
