// Message escapes over fuzzed texts and fuzzed lead-byte sets.
//
// Input: LEAD-BYTES NUL TEXT. LEAD-BYTES as FuzzInput.h's LeadBytesOf reads it; TEXT up to the next NUL,
// cut to a message's capacity.
#include <stdint.h>
#include <string.h>

#include <string>
#include <string_view>

#include "FuzzInput.h"
#include "app/Messages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quelm;
  using namespace quelm::fuzz;
  std::string_view input = InputOf(data, size);
  const LeadBytes leadBytes = LeadBytesOf(TakeField(input));
  const std::string_view source = TakeField(input);

  Text<kMessageCapacity> text;
  text.AssignCut(sim::ViewOf(source));
  const unsigned before = text.Length();
  QUELM_FUZZ_CHECK(before == (source.size() < kMessageCapacity ? source.size() : kMessageCapacity - 1));

  ExpandEscapes(text, leadBytes);

  // Terminated within its capacity, and never longer than before.
  QUELM_FUZZ_CHECK(memchr(text.CStr(), '\0', kMessageCapacity) != nullptr);
  const unsigned after = text.Length();
  QUELM_FUZZ_CHECK(after <= before);

  // As the contract reads: "\n" (at a character start) becomes CR LF until none is left, then "\t" a tab.
  std::string expected(source.substr(0, before));
  ReplaceAllFromStart(expected, "\\n", "\r\n", leadBytes);
  ReplaceAllFromStart(expected, "\\t", "\t", leadBytes);
  QUELM_FUZZ_CHECK(std::string_view(text.CStr(), after) == expected);
  return 0;
}
