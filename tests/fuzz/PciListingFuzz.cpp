// The Windows backend's readers of SetupAPI texts, the location text and the hardware ID, over fuzzed
// texts; both are plain header functions that build on the host.
//
// Input: one text, up to its first NUL, given to both readers.
#include <ctype.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "win32/PciListing.h"

namespace quelm::fuzz {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The location contract: the last three runs of decimal digits are bus, device and function, each in
// range. A run is in range only if it has at most three digits after its leading zeros.
bool ExpectedLocation(std::string_view text, uint32_t& bus, uint32_t& device, uint32_t& function) {
  std::vector<std::string_view> numbers;
  for (size_t at = 0; at < text.size();) {
    if (!IsDigit(text[at])) {
      ++at;
      continue;
    }
    size_t end = at;
    while (end < text.size() && IsDigit(text[end])) ++end;
    numbers.push_back(text.substr(at, end - at));
    at = end;
  }
  if (numbers.size() < 3) return false;
  uint32_t values[3];
  for (size_t i = 0; i < 3; ++i) {
    std::string_view digits = numbers[numbers.size() - 3 + i];
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    if (digits.size() > 3) return false;
    values[i] = static_cast<uint32_t>(strtoul(std::string(digits).c_str(), nullptr, 10));
  }
  if (values[0] > 255 || values[1] > 31 || values[2] > 7) return false;
  bus = values[0];
  device = values[1];
  function = values[2];
  return true;
}

// The hardware-ID contract: "PCI\VEN_" four hex digits "&DEV_" four hex digits, letters in either case,
// anything after it ignored; vendor in the low word, device in the high word.
bool ExpectedHardwareId(std::string_view text, uint32_t& identification) {
  const auto sameIgnoringCase = [&](size_t at, std::string_view word) {
    for (size_t i = 0; i < word.size(); ++i) {
      if (toupper(static_cast<unsigned char>(text[at + i])) != word[i]) return false;
    }
    return true;
  };
  const auto isHex = [&](size_t at) {
    for (size_t i = 0; i < 4; ++i) {
      if (!isxdigit(static_cast<unsigned char>(text[at + i]))) return false;
    }
    return true;
  };
  if (text.size() < 21 || !sameIgnoringCase(0, "PCI\\VEN_") || !isHex(8) || !sameIgnoringCase(12, "&DEV_") ||
      !isHex(17)) {
    return false;
  }
  const auto vendor = strtoul(std::string(text.substr(8, 4)).c_str(), nullptr, 16);
  const auto device = strtoul(std::string(text.substr(17, 4)).c_str(), nullptr, 16);
  identification = static_cast<uint32_t>(device << 16 | vendor);
  return true;
}

}  // namespace
}  // namespace quelm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quelm;
  using namespace quelm::fuzz;
  std::string_view input = InputOf(data, size);
  const std::string text(TakeField(input));

  constexpr uint32_t kUntouched = 0xDEADBEEFu;
  uint32_t bus = kUntouched, device = kUntouched, function = kUntouched;
  const bool located = ParsePciLocation(text.c_str(), bus, device, function);
  uint32_t expectedBus = kUntouched, expectedDevice = kUntouched, expectedFunction = kUntouched;
  QUELM_FUZZ_CHECK(located == ExpectedLocation(text, expectedBus, expectedDevice, expectedFunction));
  // A location read is a PCI address; one that was not read leaves the outputs alone.
  if (located) QUELM_FUZZ_CHECK(IsPciAddress(bus, device, function));
  QUELM_FUZZ_CHECK(bus == expectedBus && device == expectedDevice && function == expectedFunction);

  uint32_t identification = kUntouched;
  const bool identified = ParsePciHardwareId(text.c_str(), identification);
  uint32_t expectedIdentification = kUntouched;
  QUELM_FUZZ_CHECK(identified == ExpectedHardwareId(text, expectedIdentification));
  QUELM_FUZZ_CHECK(identification == expectedIdentification);
  return 0;
}
