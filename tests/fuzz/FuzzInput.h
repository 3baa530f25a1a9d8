// What the fuzz targets share: taking one input apart, fuzzed lead-byte sets, the character walk the
// reference models use, and the check that turns a broken property into a finding.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <string_view>

#include "config/Text.h"
#include "sim/SimText.h"

// A property that must hold: when it does not, the input is a finding, kept by libFuzzer like a crash.
#define QUELM_FUZZ_CHECK(condition)                                                  \
  do {                                                                               \
    if (!(condition)) ::quelm::fuzz::PropertyBroken(#condition, __FILE__, __LINE__); \
  } while (false)

namespace quelm::fuzz {

[[noreturn]] inline void PropertyBroken(const char* property, const char* file, int line) {
  fprintf(stderr, "%s:%d: property broken: %s\n", file, line, property);
  abort();
}

inline std::string_view InputOf(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// Takes the text up to the next NUL byte (or all that is left) off the front of `input`. Fields that
// the code under test reads as zero-terminated strings cannot hold a NUL, so NUL separates them.
inline std::string_view TakeField(std::string_view& input) {
  const size_t end = input.find('\0');
  const std::string_view field = input.substr(0, end);
  input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
  return field;
}

// A decimal number of a field, digits only, capped at `limit`; anything else in the field is ignored.
inline uint32_t NumberOf(std::string_view field, uint32_t limit) {
  uint64_t value = 0;
  for (const char c : field) {
    if (c >= '0' && c <= '9') value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > limit) return limit;
  }
  return static_cast<uint32_t>(value);
}

// A lead-byte set written as a list: every byte of it is a lead byte, and "a-b" stands for the bytes
// a to b; "\x81-\x9f\xe0-\xfc" is Shift-JIS. Empty for a single-byte code page.
inline LeadBytes LeadBytesOf(std::string_view list) {
  LeadBytes leadBytes;
  for (size_t i = 0; i < list.size(); ++i) {
    const auto first = static_cast<unsigned char>(list[i]);
    if (i + 2 < list.size() && list[i + 1] == '-') {
      const auto last = static_cast<unsigned char>(list[i + 2]);
      for (unsigned byte = first; byte <= last; ++byte) leadBytes.Add(static_cast<unsigned char>(byte));
      i += 2;
    } else {
      leadBytes.Add(first);
    }
  }
  return leadBytes;
}

// The reference walk of the models: a lead byte with a byte after it starts a two-byte character.
inline size_t CharacterLengthAt(std::string_view text, size_t at, const LeadBytes& leadBytes) {
  return leadBytes.Contains(text[at]) && at + 1 < text.size() ? 2 : 1;
}

// The first `needle` at or after `from` that begins at a character start; npos if none.
inline size_t FindAtCharacter(std::string_view text, std::string_view needle, const LeadBytes& leadBytes,
                              size_t from = 0) {
  for (size_t at = from; at + needle.size() <= text.size(); at += CharacterLengthAt(text, at, leadBytes)) {
    if (text.compare(at, needle.size(), needle) == 0) return at;
  }
  return std::string_view::npos;
}

// Replaces the first `pattern` at a character start, from the beginning each time, until none is left.
inline void ReplaceAllFromStart(std::string& text, std::string_view pattern, std::string_view replacement,
                                const LeadBytes& leadBytes) {
  for (size_t at = FindAtCharacter(text, pattern, leadBytes); at != std::string_view::npos;
       at = FindAtCharacter(text, pattern, leadBytes)) {
    text.replace(at, pattern.size(), replacement);
  }
}

}  // namespace quelm::fuzz
