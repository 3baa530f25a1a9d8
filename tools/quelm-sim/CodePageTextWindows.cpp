// Code-page texts as UTF-8 through the system's own conversion, on Windows.
#include <windows.h>

#include "CodePageText.h"

namespace quelm::tool {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

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

std::string ToUtf8(const std::string& text, uint32_t codePage) {
  // A code page this system does not have reads as the Western one, as on Linux.
  if (IsValidCodePage(codePage) == FALSE) codePage = 1252;
  std::string out;
  std::wstring run;  // decoded characters not yet written out
  for (size_t index = 0; index < text.size();) {
    // One character at a time, with the system's own lead-byte test, so that a broken one costs one
    // byte and the walk stays in step with the launcher's.
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

}  // namespace quelm::tool
