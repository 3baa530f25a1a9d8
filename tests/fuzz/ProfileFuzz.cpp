// The simulated profile reader over fuzzed file text, section, key, default and buffer size.
//
// Input: SECTION NUL KEY NUL DEFAULT NUL SIZE NUL FILE-TEXT. SIZE is the buffer size in decimal (at
// most 65536), with any of the flags "!" (no file), "s" (null section), "k" (null key) and "d" (null
// default) before or among its digits. FILE-TEXT is the rest of the input, NUL bytes included.
#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>
#include <string_view>

#include "FuzzInput.h"
#include "sim/SimProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quelm::fuzz;
  std::string_view input = InputOf(data, size);
  const std::string section(TakeField(input));
  const std::string key(TakeField(input));
  const std::string fallback(TakeField(input));
  const std::string_view sizeField = TakeField(input);
  const std::string_view contents = input;
  const bool noFile = sizeField.find('!') != std::string_view::npos;
  const char* sectionArgument = sizeField.find('s') != std::string_view::npos ? nullptr : section.c_str();
  const char* keyArgument = sizeField.find('k') != std::string_view::npos ? nullptr : key.c_str();
  const char* defaultArgument = sizeField.find('d') != std::string_view::npos ? nullptr : fallback.c_str();
  const uint32_t bufferSize = NumberOf(sizeField, 65536);

  // Exactly as large as said, so that AddressSanitizer sees any byte written past it.
  const std::unique_ptr<char[]> buffer(new char[bufferSize]);
  memset(buffer.get(), 'X', bufferSize);
  const uint32_t copied = quelm::sim::ReadProfileString(
      noFile ? nullptr : &contents, sectionArgument, keyArgument, defaultArgument, buffer.get(), bufferSize);
  if (bufferSize == 0) {
    QUELM_FUZZ_CHECK(copied == 0);
    return 0;
  }
  // Always terminated within the buffer, and the count is the text's length.
  QUELM_FUZZ_CHECK(copied < bufferSize);
  QUELM_FUZZ_CHECK(buffer[copied] == '\0');
  QUELM_FUZZ_CHECK(strlen(buffer.get()) == copied);
  const std::string_view value(buffer.get(), copied);

  // A smaller buffer only ever cuts the value: what it holds begins the whole value.
  const uint32_t wholeSize = static_cast<uint32_t>(contents.size() + fallback.size() + 2);
  const std::unique_ptr<char[]> whole(new char[wholeSize]);
  const uint32_t wholeCopied = quelm::sim::ReadProfileString(
      noFile ? nullptr : &contents, sectionArgument, keyArgument, defaultArgument, whole.get(), wholeSize);
  QUELM_FUZZ_CHECK(wholeCopied + 1 < wholeSize);
  QUELM_FUZZ_CHECK(std::string_view(whole.get(), wholeCopied).starts_with(value));

  // The reader takes the file byte for byte, marks and all: the value is a run of the file's bytes or
  // of the default's.
  const bool fromFile = !noFile && contents.find(value) != std::string_view::npos;
  const bool fromDefault = defaultArgument != nullptr && fallback.find(value) != std::string::npos;
  QUELM_FUZZ_CHECK(value.empty() || fromFile || fromDefault);
  return 0;
}
