// Message texts: every text the user sees comes from QUELM.INI's "Message" section.
#pragma once

#include "config/Capacities.h"
#include "config/Text.h"

namespace quelm {

// The only caption the launcher ever shows.
inline constexpr const char* kApplicationTitle = "QUELM";

// "\n" becomes carriage return and line feed, then "\t" a tab; nothing else is an escape, and the
// second byte of a double-byte character never begins one. The text never grows.
void ExpandEscapes(Text<kMessageCapacity>& text, const LeadBytes& leadBytes);

}  // namespace quelm
