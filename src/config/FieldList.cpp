// Field splitting and number reading for QUELM.INI values.
#include "config/FieldList.h"

namespace quelm {

bool FieldCursor::Next(TextView& field) {
  while (position_ < list_.length && list_[position_] == ',') ++position_;
  if (position_ >= list_.length) return false;
  const unsigned start = position_;
  while (position_ < list_.length && list_[position_] != ',') ++position_;
  field = TextView(list_.chars + start, position_ - start);
  if (position_ < list_.length) ++position_;  // past the comma that ended the field
  return true;
}

int32_t ReadDecimal(TextView field) {
  unsigned at = 0;
  // The blanks the C library's number reading skips: space, tab, line feed, vertical tab, form
  // feed, carriage return.
  while (at < field.length && (field[at] == ' ' || (field[at] >= '\t' && field[at] <= '\r'))) ++at;
  bool negative = false;
  if (at < field.length && (field[at] == '+' || field[at] == '-')) negative = field[at++] == '-';
  uint32_t value = 0;
  while (at < field.length && field[at] >= '0' && field[at] <= '9') {
    value = value * 10u + static_cast<uint32_t>(field[at++] - '0');
  }
  return static_cast<int32_t>(negative ? 0u - value : value);
}

}  // namespace quelm
