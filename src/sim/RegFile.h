// Loading .reg files into the simulated machine's registry.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimRegistry.h"

namespace quelm::sim {

// A .reg file that cannot be loaded: `line` is 1-based, 0 when the file could not be read.
class RegFileError : public std::runtime_error {
 public:
  RegFileError(const std::string& source, unsigned line, const std::string& message);
  unsigned line;
};

// REGEDIT4 or "Windows Registry Editor Version 5.00" text, 8-bit or UTF-16LE with its byte-order
// mark: keys under HKEY_LOCAL_MACHINE (or HKLM), string, dword, hex and hex(N) values with the
// escapes regedit writes, "@" for the default value, deletions with "[-key]" and "name"=-. The other
// hives of a whole-registry export are read over and left out; their names are returned. A file of
// any size is read a piece at a time, and only what HKEY_LOCAL_MACHINE gets is kept.
// Throws RegFileError naming the line of the first fault; nothing is applied then.
std::vector<std::string> LoadRegFile(Registry& registry, const std::filesystem::path& file);
std::vector<std::string> LoadRegText(Registry& registry, std::string_view text,
                                     const std::string& sourceName);

}  // namespace quelm::sim
