// The one comma rule of QUELM.INI: scripts, card entries and program lines all split by it.
#pragma once

#include <stdint.h>

#include "config/Text.h"

namespace quelm {

// Walks a field list: a run of commas counts as one separator and leading commas are skipped, so
// no field is ever empty. Blanks belong to the fields.
class FieldCursor {
 public:
  explicit FieldCursor(TextView list, unsigned position = 0) : list_(list), position_(position) {}

  // The next field; false when only commas (or nothing) remain.
  bool Next(TextView& field);
  // Just after the comma that ended the last field, or the end of the list.
  unsigned Position() const { return position_; }

 private:
  TextView list_;
  unsigned position_;
};

// A decimal number as a card entry writes it: leading blanks and one sign accepted, reading stops at
// the first non-digit. Over-long digit strings wrap around modulo 2^32 instead of overflowing.
int32_t ReadDecimal(TextView field);

}  // namespace quelm
