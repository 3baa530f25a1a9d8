// Texts of the simulated machine, written in a Windows code page, as the UTF-8 that terminals and JSON want.
#pragma once

#include <stdint.h>

#include <string>

namespace quelm::tool {

// Converts through the host's own converter: the C library's on Linux, the system's on Windows. A byte
// that does not begin a valid character becomes U+FFFD and the walk goes on with the next byte, so a
// lone lead byte of a double-byte code page costs one character, never the rest of the text. The five
// bytes that the Western code page leaves undefined keep their own value, as Windows converts them.
std::string ToUtf8(const std::string& text, uint32_t codePage);

}  // namespace quelm::tool
