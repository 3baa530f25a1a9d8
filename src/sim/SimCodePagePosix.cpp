// Code-page conversions on Linux and other POSIX systems: the Western code page from its own table,
// the others through the C library's converter.
#include <iconv.h>

#include <cerrno>

#include "sim/SimCodePage.h"

namespace quelm::sim {

namespace {

constexpr uint32_t kWestern = 1252;
constexpr char32_t kReplacement = 0xFFFD;

// Code points of 0x80 to 0x9F in the Western code page; the five bytes it leaves undefined keep their
// own value, as Windows' tables give them.
constexpr char16_t kWesternHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t WesternToUnicode(unsigned char byte) {
  return (byte >= 0x80 && byte <= 0x9F) ? kWesternHighControls[byte - 0x80] : byte;
}

// The byte for a code point, or '?' when the Western code page has none.
char UnicodeToWestern(char32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<char>(codePoint);
  for (unsigned index = 0; index < 32; ++index) {
    if (kWesternHighControls[index] == codePoint) return static_cast<char>(0x80 + index);
  }
  return '?';
}

void AppendUtf8(std::string& out, char32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

// One conversion of the C library's, closed on every way out. Not valid when the library knows no
// such conversion.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (IsValid()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // (iconv_t)-1 is how iconv_open says it knows no such conversion.
  bool IsValid() const {
    return handle_ != reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
  }

  // Converts as much of `in` as it can into `out`; false at a sequence it cannot convert, which is
  // left at the front of `in`.
  bool Convert(std::string_view& in, std::string& out) {
    char* from = const_cast<char*>(in.data());
    size_t fromLeft = in.size();
    bool converted = true;
    while (fromLeft > 0) {
      char buffer[256];
      char* to = buffer;
      size_t toLeft = sizeof(buffer);
      const size_t result = iconv(handle_, &from, &fromLeft, &to, &toLeft);
      out.append(buffer, static_cast<size_t>(to - buffer));
      if (result == static_cast<size_t>(-1) && errno != E2BIG) {
        converted = false;
        break;
      }
    }
    in.remove_prefix(in.size() - fromLeft);
    return converted;
  }

 private:
  iconv_t handle_;
};

std::string CodePageName(uint32_t codePage) {
  return "CP" + std::to_string(codePage);
}

std::string WesternToUtf8(std::string_view text) {
  std::string out;
  for (const char c : text) AppendUtf8(out, WesternToUnicode(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::string ToUtf8(std::string_view text, uint32_t codePage) {
  if (codePage == kWestern) return WesternToUtf8(text);
  Converter converter("UTF-8", CodePageName(codePage).c_str());
  if (!converter.IsValid()) return WesternToUtf8(text);
  std::string out;
  // One undecodable byte at a time becomes U+FFFD, and the rest is converted on.
  while (!converter.Convert(text, out)) {
    AppendUtf8(out, kReplacement);
    text.remove_prefix(1);
  }
  return out;
}

std::string FromUtf16ToCodePage(std::string_view bytes, uint32_t codePage) {
  Converter converter(CodePageName(codePage).c_str(), "UTF-16LE");
  std::string out;
  // Unit by unit, as Windows' tables convert: a surrogate, or a unit the code page lacks, is one '?'.
  for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[at]) |
                                            static_cast<unsigned char>(bytes[at + 1]) << 8);
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      out += '?';
    } else if (codePage == kWestern || !converter.IsValid()) {
      out += UnicodeToWestern(unit);
    } else {
      std::string_view one = bytes.substr(at, 2);
      std::string converted;
      out += converter.Convert(one, converted) && !converted.empty() ? converted : std::string("?");
    }
  }
  return out;
}

}  // namespace quelm::sim
