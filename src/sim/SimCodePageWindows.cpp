// Code-page conversions on Windows, through the system's own tables.
#include <windows.h>

#include "sim/SimCodePage.h"

namespace quelm::sim {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// A code page this system does not have is read as the Western one, as on Linux.
uint32_t Usable(uint32_t codePage) {
  return IsValidCodePage(codePage) != FALSE ? codePage : 1252;
}

// The UTF-16 of one character of `codePage`, empty when the bytes are not one. MB_ERR_INVALID_CHARS
// keeps Windows from putting the code page's own default character (Shift-JIS's is U+30FB, a middle
// dot) in place of a broken one, which would read as text the disk holds.
std::wstring DecodedCharacter(const char* bytes, int count, uint32_t codePage) {
  wchar_t wide[4];
  const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, count, wide, 4);
  return length > 0 ? std::wstring(wide, static_cast<size_t>(length)) : std::wstring();
}

std::string Utf8Of(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), length, nullptr,
                      nullptr);
  return out;
}

}  // namespace

std::string ToUtf8(std::string_view text, uint32_t codePage) {
  codePage = Usable(codePage);
  std::string out;
  std::wstring run;  // decoded characters not yet written out
  for (size_t index = 0; index < text.size();) {
    // One character at a time, with the system's own lead-byte test: a byte that begins no valid
    // character becomes U+FFFD and the walk goes on with the next byte, as iconv's does on Linux.
    const auto byte = static_cast<unsigned char>(text[index]);
    const size_t length = IsDBCSLeadByteEx(codePage, byte) != FALSE ? 2 : 1;
    const std::wstring character = index + length <= text.size()
                                       ? DecodedCharacter(&text[index], static_cast<int>(length), codePage)
                                       : std::wstring();
    if (character.empty()) {
      out += Utf8Of(run);
      run.clear();
      out += kReplacement;
      ++index;
      continue;
    }
    run += character;
    index += length;
  }
  return out + Utf8Of(run);
}

std::string FromUtf16ToCodePage(std::string_view bytes, uint32_t codePage) {
  codePage = Usable(codePage);
  std::string out;
  // Unit by unit: a surrogate, or a unit the code page lacks, is one '?'. WC_NO_BEST_FIT_CHARS keeps
  // the similar letters Windows' ANSI functions would pick ("o" for "ő") out, so that this build shows
  // what the Linux one shows.
  for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
    const auto unit = static_cast<wchar_t>(static_cast<unsigned char>(bytes[at]) |
                                           static_cast<unsigned char>(bytes[at + 1]) << 8);
    char converted[4];
    BOOL usedDefault = FALSE;
    const int length = unit >= 0xD800 && unit <= 0xDFFF
                           ? 0
                           : WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &unit, 1, converted,
                                                 sizeof(converted), "?", &usedDefault);
    out += length > 0 && usedDefault == FALSE ? std::string(converted, static_cast<size_t>(length)) : "?";
  }
  return out;
}

}  // namespace quelm::sim
