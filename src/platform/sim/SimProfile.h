// The Windows profile reader's behaviour over the text of a profile file, for the simulated machine.
#pragma once

#include <stdint.h>

#include <string_view>

namespace quelm::sim {

// GetPrivateProfileStringA for a named section and key: sections and keys matched without regard to
// case, only the first section of a name consulted and the first key of a name in it winning, blanks
// around names and values removed, one pair of matching enclosing quotes (" or ') removed, a line
// without "=" giving no value, lines ending at CR, LF or CRLF. The value (or the default when the
// file, section or key is missing) is cut to size-1 characters; returns the number of characters
// copied. `contents` is null when the file does not exist. It is 8-bit text taken byte for byte,
// unless it starts with a UTF-8 or UTF-16 byte-order mark, in which case it is decoded first.
uint32_t ReadProfileString(const std::string_view* contents, const char* section, const char* key,
                           const char* defaultValue, char* buffer, uint32_t size);

}  // namespace quelm::sim
