// The comma rule, decimal numbers and card entries over fuzzed field lists.
//
// Input: the list itself, every byte of it (a NUL included: the cursor walks a counted text). Its first
// byte also picks a second starting position for the cursor.
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "card/CardDetection.h"
#include "config/FieldList.h"

namespace quelm::fuzz {
namespace {

// ReadDecimal's contract, written out: C's blanks, one sign, digits up to the first non-digit, the
// value taken modulo 2^32.
int32_t ReferenceDecimal(std::string_view field) {
  size_t at = 0;
  while (at < field.size() && (field[at] == ' ' || (field[at] >= '\t' && field[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < field.size() && (field[at] == '+' || field[at] == '-')) negative = field[at++] == '-';
  uint64_t value = 0;
  size_t digits = 0;
  for (; at + digits < field.size() && field[at + digits] >= '0' && field[at + digits] <= '9'; ++digits) {
    value = (value * 10 + static_cast<uint64_t>(field[at + digits] - '0')) & 0xFFFFFFFFu;
  }
  const auto magnitude = static_cast<uint32_t>(value);
  const auto result = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
  // Where no wrap-around is involved, the C library agrees.
  if (digits <= 9 && field.find('\0') == std::string_view::npos) {
    QUELM_FUZZ_CHECK(strtol(std::string(field).c_str(), nullptr, 10) == result);
  }
  return result;
}

// The fields of `list` from `position` on, checked as the comma rule has them.
std::vector<TextView> Fields(std::string_view list, unsigned position) {
  FieldCursor cursor(sim::ViewOf(list), position);
  std::vector<TextView> fields;
  TextView field;
  unsigned end = position;
  while (cursor.Next(field)) {
    // Never empty, never holding a comma, inside the list and after the one before.
    QUELM_FUZZ_CHECK(field.length > 0);
    QUELM_FUZZ_CHECK(field.chars >= list.data() + end);
    QUELM_FUZZ_CHECK(field.chars + field.length <= list.data() + list.size());
    QUELM_FUZZ_CHECK(std::string_view(field.chars, field.length).find(',') == std::string_view::npos);
    // Only commas lie between two fields.
    for (const char* between = list.data() + end; between < field.chars; ++between) {
      QUELM_FUZZ_CHECK(*between == ',');
    }
    end = static_cast<unsigned>(field.chars - list.data()) + field.length;
    // The position is just past the comma that ended the field, or the end of the list.
    QUELM_FUZZ_CHECK(cursor.Position() == (end < list.size() ? end + 1 : end));
    fields.push_back(field);
  }
  // Whatever remains is commas only.
  for (size_t at = end; at < list.size(); ++at) QUELM_FUZZ_CHECK(list[at] == ',');
  return fields;
}

}  // namespace
}  // namespace quelm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quelm;
  using namespace quelm::fuzz;
  const std::string_view list = InputOf(data, size);
  const std::vector<TextView> fields = Fields(list, 0);
  if (size > 0) Fields(list, data[0] % static_cast<unsigned>(size + 1));

  QUELM_FUZZ_CHECK(ReadDecimal(sim::ViewOf(list)) == ReferenceDecimal(list));
  for (const TextView field : fields) {
    QUELM_FUZZ_CHECK(ReadDecimal(field) == ReferenceDecimal(std::string_view(field.chars, field.length)));
  }

  // A card entry is the first five fields: vendor and device as numbers, then bus type and pass flag.
  CardEntry card;
  const bool named = ReadCardEntry(sim::ViewOf(list), card);
  QUELM_FUZZ_CHECK(named == (fields.size() >= 2));
  QUELM_FUZZ_CHECK(card.fieldCount == (fields.size() < 5 ? fields.size() : 5));
  if (named) {
    QUELM_FUZZ_CHECK(card.vendor == ReadDecimal(fields[0]));
    QUELM_FUZZ_CHECK(card.device == ReadDecimal(fields[1]));
    const auto same = [](TextView left, TextView right) {
      return left.length == right.length && (left.length == 0 || left.chars == right.chars);
    };
    QUELM_FUZZ_CHECK(same(card.busType, fields.size() > 2 ? fields[2] : TextView()));
    QUELM_FUZZ_CHECK(same(card.passFlag, fields.size() > 3 ? fields[3] : TextView()));
  }
  return 0;
}
