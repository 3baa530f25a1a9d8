// Macro expansion of program lines over fuzzed lines, base directories and lead-byte sets.
//
// Input: LEAD-BYTES NUL BASE-DIRECTORY NUL LINE. LEAD-BYTES as FuzzInput.h's LeadBytesOf reads it; the
// base directory up to the next NUL, of any length; the line up to the next NUL, cut to its capacity.
#include <stdint.h>
#include <string.h>

#include <optional>
#include <string>
#include <string_view>

#include "FuzzInput.h"
#include "handoff/ShellLaunch.h"

namespace quelm::fuzz {
namespace {

// ExpandMacros' contract: each "[CWD]" written in the line (at a character start, left to right, what
// a replacement brings in not searched again) becomes the base directory within a working buffer of a
// message's size; then "[OS]" is removed until none is left; nothing when a step does not fit.
std::optional<std::string> ExpectedExpansion(std::string_view line, std::string_view baseDir,
                                             const LeadBytes& leadBytes) {
  std::string work;
  size_t copied = 0;
  for (size_t at = FindAtCharacter(line, "[CWD]", leadBytes); at != std::string_view::npos;
       at = FindAtCharacter(line, "[CWD]", leadBytes, copied)) {
    work.append(line.substr(copied, at - copied)).append(baseDir);
    copied = at + 5;
  }
  work.append(line.substr(copied));
  if (work.size() >= kMessageCapacity) return std::nullopt;
  ReplaceAllFromStart(work, "[OS]", "", leadBytes);
  if (work.size() >= kNameCapacity) return std::nullopt;
  return work;
}

}  // namespace
}  // namespace quelm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quelm;
  using namespace quelm::fuzz;
  std::string_view input = InputOf(data, size);
  const LeadBytes leadBytes = LeadBytesOf(TakeField(input));
  const std::string_view baseDir = TakeField(input);
  const std::string_view source = TakeField(input);

  Text<kNameCapacity> line;
  line.AssignCut(sim::ViewOf(source));
  const Text<kNameCapacity> before = line;

  const bool expanded = ExpandMacros(line, sim::ViewOf(baseDir), leadBytes);

  // Terminated within its capacity whatever happened, and untouched when it did not fit.
  QUELM_FUZZ_CHECK(memchr(line.CStr(), '\0', kNameCapacity) != nullptr);
  if (!expanded) QUELM_FUZZ_CHECK(memcmp(line.CStr(), before.CStr(), kNameCapacity) == 0);

  const std::optional<std::string> expected = ExpectedExpansion(before.CStr(), baseDir, leadBytes);
  QUELM_FUZZ_CHECK(expanded == expected.has_value());
  if (expanded) QUELM_FUZZ_CHECK(std::string_view(line.CStr(), line.Length()) == *expected);
  return 0;
}
