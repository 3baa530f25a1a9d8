// Fixed-size, always zero-terminated text and the few string operations the launcher needs.
#pragma once

#include <stdint.h>

namespace quelm {

inline constexpr unsigned kNotFound = 0xFFFFFFFFu;

// A read-only run of characters; not necessarily zero-terminated.
struct TextView {
  const char* chars = "";
  unsigned length = 0;

  constexpr TextView() = default;
  constexpr TextView(const char* text, unsigned count) : chars(text), length(count) {}
  // A zero-terminated text; a null pointer reads as empty.
  TextView(const char* text);  // NOLINT(google-explicit-constructor): texts are passed as literals everywhere

  char operator[](unsigned index) const { return chars[index]; }
  bool IsEmpty() const { return length == 0; }
  TextView Prefix(unsigned count) const { return TextView(chars, count < length ? count : length); }
  TextView Suffix(unsigned from) const {
    return from < length ? TextView(chars + from, length - from) : TextView(chars + length, 0);
  }
};

unsigned LengthOf(const char* text);

// The one case rule: the letters A to Z equal a to z, and no other character is folded, whatever the
// code page.
constexpr char LowerAscii(char character) {
  return (character >= 'A' && character <= 'Z') ? static_cast<char>(character - 'A' + 'a') : character;
}
constexpr char UpperAscii(char character) {
  return (character >= 'a' && character <= 'z') ? static_cast<char>(character - 'a' + 'A') : character;
}
bool EqualsIgnoringCase(TextView left, TextView right);
// True when `text` begins with the whole of `word`, compared without regard to case.
bool StartsWithIgnoringCase(TextView text, TextView word);
bool StartsWith(TextView text, TextView prefix);
// Position of the first `needle` in `text` at or after `from`, compared with case; kNotFound if none.
unsigned Find(TextView text, TextView needle, unsigned from = 0);
inline bool Contains(TextView text, TextView needle) {
  return Find(text, needle) != kNotFound;
}

// The lead bytes of the system's code page: bytes that begin a two-byte character in the double-byte
// code pages of Japanese, Chinese and Korean Windows, whose second byte can be anything from 0x40 up,
// a backslash included. Empty for single-byte code pages. Texts that may hold such characters are
// walked a whole character at a time.
class LeadBytes {
 public:
  void Add(unsigned char byte) { bits_[byte >> 5] |= 1u << (byte & 31u); }
  bool Contains(char byte) const {
    const auto value = static_cast<unsigned char>(byte);
    return ((bits_[value >> 5] >> (value & 31u)) & 1u) != 0;
  }

 private:
  uint32_t bits_[8] = {};
};

// The bytes `isLead(byte)` says lead, asked only of those that can: in every Windows code page the
// lead bytes are 0x80 and up.
template <typename IsLead>
LeadBytes LeadBytesWhere(IsLead isLead) {
  LeadBytes leadBytes;
  for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
    if (isLead(static_cast<uint8_t>(byte))) leadBytes.Add(static_cast<unsigned char>(byte));
  }
  return leadBytes;
}

// Position of the first `needle` at or after `from` (itself a character start) that begins at a whole
// character, never at the second byte of a double-byte one; kNotFound if none.
unsigned FindWhole(TextView text, TextView needle, const LeadBytes& leadBytes, unsigned from = 0);
// Start of the text's last whole character; kNotFound for an empty text.
unsigned LastCharacter(TextView text, const LeadBytes& leadBytes);

// Bounded operations on a raw buffer of `capacity` characters, terminator included. The buffer is
// always left terminated; the result is false when the text had to be cut to fit.
[[nodiscard]] bool CopyBounded(char* buffer, unsigned capacity, TextView source);
[[nodiscard]] bool AppendBounded(char* buffer, unsigned capacity, TextView source);

// A text of at most N-1 characters held in N bytes, as the launcher's records lay them out. Whether a
// text fitted must be looked at: a text cut on purpose says so with AssignCut or AppendCut.
template <unsigned N>
class Text {
  static_assert(N > 1, "a text needs room for one character and its terminator");

 public:
  static constexpr unsigned kCapacity = N;

  constexpr Text() : chars_{} {}
  // From a text that always fits.
  template <unsigned M>
  requires(M <= N) explicit Text(const Text<M>& source) : chars_{} {
    for (unsigned i = 0; i < M && source[i] != '\0'; ++i) chars_[i] = source[i];
  }

  const char* CStr() const { return chars_; }
  TextView View() const { return TextView(chars_, Length()); }
  operator TextView() const { return View(); }  // NOLINT(google-explicit-constructor)
  char operator[](unsigned index) const { return chars_[index]; }

  unsigned Length() const { return LengthOf(chars_); }
  bool IsEmpty() const { return chars_[0] == '\0'; }
  void Clear() { chars_[0] = '\0'; }
  [[nodiscard]] bool Assign(TextView source) { return CopyBounded(chars_, N, source); }
  [[nodiscard]] bool Append(TextView source) { return AppendBounded(chars_, N, source); }
  // A literal always fits, or the program does not compile.
  template <unsigned M>
  void AssignLiteral(const char (&literal)[M]) {
    static_assert(M <= N, "the literal does not fit");
    for (unsigned i = 0; i < M; ++i) chars_[i] = literal[i];
  }
  // Keeps what fits, where a cut text is still what the caller wants.
  void AssignCut(TextView source) { static_cast<void>(Assign(source)); }
  void AppendCut(TextView source) { static_cast<void>(Append(source)); }

  // For platform calls that fill the whole buffer; Seal() restores a terminator they may leave out.
  char* Buffer() { return chars_; }
  void Seal() { chars_[N - 1] = '\0'; }

 private:
  char chars_[N];
};

// Replaces the first `pattern` left in the zero-terminated `text` (at a whole character) by
// `replacement`, no longer than the pattern, searching again from the start each time, until none is
// left. The text never grows, so this works in place.
void ReplaceInPlaceUntilGone(char* text, TextView pattern, TextView replacement, const LeadBytes& leadBytes);

// The same on a Text, for literal patterns and replacements: a replacement longer than its pattern
// could make the text outgrow its capacity, and does not compile. Callers pick replacements that
// cannot form the pattern anew, or this would never end.
template <unsigned N, unsigned P, unsigned R>
void ReplaceUntilGone(Text<N>& text, const char (&pattern)[P], const char (&replacement)[R],
                      const LeadBytes& leadBytes) {
  static_assert(R <= P, "a replacement longer than its pattern could make the text grow past its capacity");
  ReplaceInPlaceUntilGone(text.Buffer(), TextView(pattern, P - 1), TextView(replacement, R - 1), leadBytes);
}

// One argument of FormatInto: a text for "%s", an integer for "%d", "%u" and "%X".
struct FormatArgument {
  enum class Kind : uint8_t { kText, kInteger };
  const char* text;
  int32_t integer;
  Kind kind;

  // Arguments are written as they are (Format(text, "%s %d", name, number)), so these convert.
  FormatArgument(const char* value) : text(value), integer(0), kind(Kind::kText) {}  // NOLINT
  FormatArgument(int32_t value) : text(""), integer(value), kind(Kind::kInteger) {}  // NOLINT
  FormatArgument(uint32_t value)                                                     // NOLINT
      : text(""), integer(static_cast<int32_t>(value)), kind(Kind::kInteger) {}
  template <unsigned N>
  FormatArgument(const Text<N>& value) : FormatArgument(value.CStr()) {}  // NOLINT
};

// The subset of wsprintfA the launcher uses: %s, %d, %u, %x, %X, a zero flag and a width, %%.
// Returns false when the result had to be cut; the buffer is always terminated.
[[nodiscard]] bool FormatInto(char* buffer, unsigned capacity, const char* format,
                              const FormatArgument* arguments, unsigned count);

template <unsigned N, typename... Arguments>
[[nodiscard]] bool Format(Text<N>& out, const char* format, const Arguments&... arguments) {
  const FormatArgument list[] = {FormatArgument(arguments)..., FormatArgument("")};
  return FormatInto(out.Buffer(), N, format, list, sizeof...(Arguments));
}

}  // namespace quelm
