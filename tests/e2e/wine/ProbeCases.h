// The case files that the Win32 platform probe and the simulated one both read, and their output.
//
// Profile cases, one look-up a line: FILE hSECTION hKEY hDEFAULT SIZE (texts hex-coded after "h";
// FILE is a name inside the corpus folder, possibly of a file that does not exist). Each prints
//   <returned length> <hex text up to the first zero within SIZE, or -> <zero within SIZE: 1|0>
//   <bytes past SIZE untouched: 1|0>
// Format cases: "hwid IDENTIFICATION" (hexadecimal register 0), "location BUS DEVICE FUNCTION"
// (decimal), "format CAPACITY hFORMAT ARGUMENT..." with arguments "s:HEX" or "i:DECIMAL". Each prints
// the hex-coded result ("-" when empty); the simulated "format" adds 1 when the result is whole, 0
// when it was cut to CAPACITY.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace probe {

inline std::string Unhex(const std::string& text) {
  std::string bytes;
  for (size_t index = 0; index + 1 < text.size(); index += 2) {
    bytes.push_back(static_cast<char>(std::stoi(text.substr(index, 2), nullptr, 16)));
  }
  return bytes;
}

inline std::string Hex(const std::string& bytes) {
  if (bytes.empty()) return "-";
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char byte : bytes) {
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 15]);
  }
  return out;
}

// A hex field written as "h" followed by its digits.
inline std::string Field(const std::string& word) {
  return Unhex(word.substr(1));
}

inline std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < line.size()) {
    const size_t start = line.find_first_not_of(" \t\r", at);
    if (start == std::string::npos) break;
    const size_t end = line.find_first_of(" \t\r", start);
    words.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
    at = end == std::string::npos ? line.size() : end;
  }
  return words;
}

inline std::vector<std::vector<std::string>> ReadCases(const char* path) {
  std::vector<std::vector<std::string>> cases;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return cases;
  std::string line;
  for (int character; (character = std::fgetc(file)) != EOF;) {
    if (character != '\n') {
      line.push_back(static_cast<char>(character));
      continue;
    }
    if (!Words(line).empty()) cases.push_back(Words(line));
    line.clear();
  }
  if (!Words(line).empty()) cases.push_back(Words(line));
  std::fclose(file);
  return cases;
}

constexpr char kJunk = '#';
constexpr unsigned kSlack = 8;  // junk bytes past SIZE that must stay untouched

// The printed result of one profile look-up into a junk-filled buffer of SIZE + kSlack bytes.
inline std::string DescribeLookup(uint32_t returned, const std::vector<char>& buffer, uint32_t size) {
  uint32_t length = 0;
  while (length < size && buffer[length] != '\0') ++length;
  bool tailIntact = true;
  for (size_t index = size; index < buffer.size(); ++index) tailIntact = tailIntact && buffer[index] == kJunk;
  return std::to_string(returned) + " " + Hex(std::string(buffer.data(), length)) + " " +
         (length < size ? "1" : "0") + " " + (tailIntact ? "1" : "0");
}

}  // namespace probe
