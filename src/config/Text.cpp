// Bounded text operations; written out by hand because the launcher links no C runtime.
#include "config/Text.h"

namespace quelm {

TextView::TextView(const char* text) : chars(text ? text : ""), length(LengthOf(text)) {}

unsigned LengthOf(const char* text) {
  unsigned length = 0;
  if (text) {
    while (text[length] != '\0') ++length;
  }
  return length;
}

bool EqualsIgnoringCase(TextView left, TextView right) {
  return left.length == right.length && StartsWithIgnoringCase(left, right);
}

bool StartsWithIgnoringCase(TextView text, TextView word) {
  if (text.length < word.length) return false;
  for (unsigned i = 0; i < word.length; ++i) {
    if (LowerAscii(text[i]) != LowerAscii(word[i])) return false;
  }
  return true;
}

bool StartsWith(TextView text, TextView prefix) {
  if (text.length < prefix.length) return false;
  for (unsigned i = 0; i < prefix.length; ++i) {
    if (text[i] != prefix[i]) return false;
  }
  return true;
}

unsigned Find(TextView text, TextView needle, unsigned from) {
  if (from > text.length || needle.length > text.length - from) return kNotFound;
  for (unsigned at = from; at + needle.length <= text.length; ++at) {
    if (StartsWith(text.Suffix(at), needle)) return at;
  }
  return kNotFound;
}

namespace {

// 2 for a lead byte with a byte after it, else 1: a lead byte at the very end stands alone.
unsigned CharacterLength(TextView text, unsigned at, const LeadBytes& leadBytes) {
  return leadBytes.Contains(text[at]) && at + 1 < text.length ? 2 : 1;
}

}  // namespace

unsigned FindWhole(TextView text, TextView needle, const LeadBytes& leadBytes, unsigned from) {
  for (unsigned at = from; at + needle.length <= text.length; at += CharacterLength(text, at, leadBytes)) {
    if (StartsWith(text.Suffix(at), needle)) return at;
  }
  return kNotFound;
}

unsigned LastCharacter(TextView text, const LeadBytes& leadBytes) {
  unsigned last = kNotFound;
  for (unsigned at = 0; at < text.length; at += CharacterLength(text, at, leadBytes)) last = at;
  return last;
}

void ReplaceInPlaceUntilGone(char* text, TextView pattern, TextView replacement, const LeadBytes& leadBytes) {
  unsigned length = LengthOf(text);
  for (unsigned at = FindWhole(TextView(text, length), pattern, leadBytes); at != kNotFound;
       at = FindWhole(TextView(text, length), pattern, leadBytes)) {
    for (unsigned i = 0; i < replacement.length; ++i) text[at + i] = replacement[i];
    // Moving the rest down, terminator included, from the front: the gap only ever closes.
    const unsigned gap = pattern.length - replacement.length;
    for (unsigned from = at + pattern.length; from <= length; ++from) text[from - gap] = text[from];
    length -= gap;
  }
}

bool CopyBounded(char* buffer, unsigned capacity, TextView source) {
  if (capacity == 0) return source.length == 0;
  buffer[0] = '\0';
  return AppendBounded(buffer, capacity, source);
}

bool AppendBounded(char* buffer, unsigned capacity, TextView source) {
  if (capacity == 0) return source.length == 0;
  unsigned length = 0;
  while (length + 1 < capacity && buffer[length] != '\0') ++length;
  unsigned copied = 0;
  while (copied < source.length && length + 1 < capacity) buffer[length++] = source[copied++];
  buffer[length] = '\0';
  return copied == source.length;
}

namespace {

// Appends one formatted number; `minimumWidth` digits at least, padded with zeros or blanks.
bool AppendNumber(char* buffer, unsigned capacity, uint32_t magnitude, bool negative, unsigned base,
                  bool upperCase, unsigned minimumWidth, bool zeroPad) {
  char digits[16];
  unsigned count = 0;
  do {
    const unsigned digit = magnitude % base;
    digits[count++] = static_cast<char>(digit < 10 ? '0' + digit : (upperCase ? 'A' : 'a') + digit - 10);
    magnitude /= base;
  } while (magnitude != 0);
  if (minimumWidth > 32) return false;
  char text[48];
  unsigned length = 0;
  const unsigned signLength = negative ? 1 : 0;
  const unsigned padding = minimumWidth > count + signLength ? minimumWidth - count - signLength : 0;
  if (!zeroPad) {
    for (unsigned i = 0; i < padding; ++i) text[length++] = ' ';
  }
  if (negative) text[length++] = '-';
  if (zeroPad) {
    for (unsigned i = 0; i < padding; ++i) text[length++] = '0';
  }
  while (count > 0) text[length++] = digits[--count];
  return AppendBounded(buffer, capacity, TextView(text, length));
}

}  // namespace

bool FormatInto(char* buffer, unsigned capacity, const char* format, const FormatArgument* arguments,
                unsigned count) {
  if (capacity == 0) return false;
  buffer[0] = '\0';
  bool whole = true;
  unsigned next = 0;
  for (const char* at = format; *at != '\0'; ++at) {
    if (*at != '%') {
      whole &= AppendBounded(buffer, capacity, TextView(at, 1));
      continue;
    }
    ++at;
    if (*at == '%') {
      whole &= AppendBounded(buffer, capacity, TextView("%", 1));
      continue;
    }
    const bool zeroPad = *at == '0';
    if (zeroPad) ++at;
    unsigned width = 0;
    while (*at >= '0' && *at <= '9') width = width * 10 + static_cast<unsigned>(*at++ - '0');
    // An argument list shorter than the format is a programming fault; print nothing for it.
    const FormatArgument* argument = next < count ? &arguments[next++] : nullptr;
    switch (*at) {
      case 's':
        if (argument) whole &= AppendBounded(buffer, capacity, TextView(argument->text));
        break;
      case 'd':
        if (argument) {
          const bool negative = argument->integer < 0;
          const uint32_t magnitude = negative ? 0u - static_cast<uint32_t>(argument->integer)
                                              : static_cast<uint32_t>(argument->integer);
          whole &= AppendNumber(buffer, capacity, magnitude, negative, 10, false, width, zeroPad);
        }
        break;
      case 'u':
      case 'x':
      case 'X':
        if (argument) {
          whole &= AppendNumber(buffer, capacity, static_cast<uint32_t>(argument->integer), false,
                                *at == 'u' ? 10 : 16, *at == 'X', width, zeroPad);
        }
        break;
      default:
        // Unknown conversions never reach here from the launcher's own formats; stop rather than guess.
        return false;
    }
  }
  return whole;
}

}  // namespace quelm
