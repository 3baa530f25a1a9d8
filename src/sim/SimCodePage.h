// The system code pages of the simulated machine: which bytes lead a double-byte character, and how
// its 8-bit texts relate to Unicode (for showing them, and for the files Windows reads as Unicode).
#pragma once

#include <stdint.h>

#include <optional>
#include <string>
#include <string_view>

namespace quelm::sim {

// The single-byte Windows code pages (874, 1250 to 1258) and the double-byte ones of Japanese (932),
// simplified Chinese (936), Korean (949) and traditional Chinese (950) Windows.
bool IsKnownCodePage(uint32_t codePage);
// IsDBCSLeadByte of that code page.
bool IsLeadByteOf(uint32_t codePage, uint8_t byte);

// Text of the code page in UTF-8, for terminals and JSON. Bytes the code page does not define become
// U+FFFD, but for the five that the Western code page leaves undefined, which keep their own value (as
// Windows converts them).
std::string ToUtf8(std::string_view text, uint32_t codePage);

// UTF-16LE text (without its mark) brought to the code page, as an ANSI function of Windows hands on
// what it read as Unicode: every UTF-16 unit the code page cannot hold becomes '?'. Windows may pick
// a similar letter instead where its tables have one ("ő" as "o" in the Western code page); the
// simulation does not know those tables and shows '?' there too.
std::string FromUtf16ToCodePage(std::string_view bytes, uint32_t codePage);

// The text with every byte that is no part of a UTF-8 character replaced by U+FFFD, as a terminal shows
// it: what is printed is valid UTF-8 whatever the bytes were.
std::string ValidUtf8(std::string_view text);
// UTF-8 text as UTF-16LE (without a mark); nothing for bytes that are no UTF-8.
std::optional<std::string> Utf8ToUtf16(std::string_view utf8);
// UTF-16LE text (without its mark) as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view utf16);
// UTF-8 text in the code page, each character as the code page holds it; nothing when one has no
// place there (or the bytes are no UTF-8).
std::optional<std::string> FromUtf8ToCodePage(std::string_view utf8, uint32_t codePage);

}  // namespace quelm::sim
