// Profile files as each Windows version reads their bytes, indexed, and values read out of them the way
// the Windows profile reader does.
#include "sim/SimProfile.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "config/Text.h"
#include "sim/SimCodePage.h"

namespace quelm::sim {
namespace {

// The reader's notion of a blank: tab to carriage return, space, and ^Z, the end-of-file mark that
// DOS editors left in files.
bool IsBlank(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x09 && byte <= 0x0d) || byte == 0x1a || byte == 0x20;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Once loaded, names and values are zero-terminated strings, so a NUL byte in the file cuts them.
std::string_view UpToNul(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

// Names of sections and keys as the index holds them: cut at a NUL, like every name once loaded, and
// with only A to Z folded. Wine compares profile names with an ASCII-only case fold, so "É" and "é"
// are different names there (Windows folds them; we follow Wine).
std::string Folded(std::string_view name) {
  std::string folded(UpToNul(name));
  for (char& c : folded) c = UpperAscii(c);
  return folded;
}

// Copies a value the way Wine's PROFILE_CopyEntry does. A value enclosed in one pair of matching
// quotes loses them, but the closing quote is dropped by removing the last copied character whenever
// the buffer holds at most the value plus its closing quote, so a buffer that exactly fits the
// unquoted value loses its last character too: "abc" read into 4 characters gives "ab".
uint32_t CopyEntry(std::string_view value, char* buffer, uint32_t size) {
  bool quoted = false;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    quoted = true;
    value.remove_prefix(1);
  }
  size_t copied = std::min<size_t>(value.size(), size - 1);
  if (quoted && size >= value.size() && copied > 0) --copied;
  std::copy_n(value.data(), copied, buffer);
  buffer[copied] = '\0';
  return static_cast<uint32_t>(copied);
}

}  // namespace

// A section or key name asked for loses the spaces around it, but not tabs: first-hand tests of
// Windows 10 found "   sec   " to find [sec] and "\tsec" not to (WelliSolutions'
// IniFileFormatReverseEngineering, WhiteSpace_Tests). No test of Windows 9x or NT 4.0 is known; they
// are taken alike.
std::string_view LookedUpName(std::string_view name) {
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name;
}

bool HasUtf16Mark(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE");
}

bool HasUtf8Mark(std::string_view bytes) {
  return bytes.starts_with("\xEF\xBB\xBF");
}

ProfileReading ProfileReadingOf(const VersionRecord& version, uint32_t codePage) {
  ProfileReading reading;
  reading.codePage = codePage;
  if (version.platformId == kWindowsNtPlatform) {
    reading.unicodeMark = version.majorVersion >= 5;
  } else {
    // Windows 9x, and Win32s (platform 0) on the profile code of Windows 3.x.
    reading.byteLimit = kSixteenBitProfileLimit;
    reading.crEndsLine = false;
  }
  return reading;
}

std::string ProfileText(std::string_view bytes, const ProfileReading& reading) {
  if (reading.byteLimit != 0 && bytes.size() > reading.byteLimit) bytes = bytes.substr(0, reading.byteLimit);
  if (reading.unicodeMark && HasUtf16Mark(bytes))
    return FromUtf16ToCodePage(bytes.substr(2), reading.codePage);
  return std::string(bytes);
}

ProfileFile ReadProfile(std::string_view bytes, const ProfileReading& reading) {
  return ProfileFile(ProfileText(bytes, reading), reading.crEndsLine);
}

ProfileFile::ProfileFile(std::string asRead, bool crEndsLine) : text_(std::move(asRead)) {
  const std::string_view text = text_;

  // Lines before the first header form a section with the empty name, which is always the first
  // section, so asking for "" (or for blanks) finds them and never a later "[]" section.
  Section* current = &sections_[""];
  firstSections_.emplace("", 0);
  layout_.push_back(SectionLines{"", 0, 1, true, {}, {}});
  size_t position = 0;
  unsigned lineNumber = 1;
  const char* lineEnds = crEndsLine ? "\r\n" : "\n";
  while (position < text.size()) {
    // A line ends at any run of line ends, so blank lines run together; where CR alone ends no line
    // it stays in the line, as a blank at its end or as part of it.
    const size_t lineStart = position;
    const size_t lineEnd = std::min(text.find_first_of(lineEnds, position), text.size());
    const std::string_view line = TrimBlanks(text.substr(position, lineEnd - position));
    position = std::min(text.find_first_not_of(lineEnds, lineEnd), text.size());
    const unsigned thisLine = lineNumber;
    // Lines are numbered as an editor numbers them, whatever this reading takes for a line end.
    for (size_t at = lineStart; at < position; ++at) {
      if (text[at] == '\n' || (text[at] == '\r' && !(at + 1 < position && text[at + 1] == '\n')))
        ++lineNumber;
    }
    if (line.empty()) continue;
    const auto columnOf = [&](std::string_view part) {
      return static_cast<unsigned>(part.data() - (text.data() + lineStart)) + 1;
    };

    // A section header runs to the last "]" on the line; text after it is ignored. "[name" without a
    // "]" is no header at all: it falls through and is read as a key line of the current section.
    // Only the first section of a name counts; the lines of a later one are never consulted.
    const size_t closing = line.front() == '[' ? line.rfind(']') : std::string_view::npos;
    if (closing != std::string_view::npos) {
      const std::string_view name = TrimBlanks(line.substr(1, closing - 1));
      const auto [found, first] = sections_.try_emplace(Folded(name));
      current = first ? &found->second : nullptr;
      if (first) firstSections_.emplace(Folded(name), layout_.size());
      layout_.push_back(SectionLines{std::string(UpToNul(name)), thisLine, columnOf(line), first, {}, {}});
      continue;
    }

    // Comment lines get no treatment of their own when a key is asked for: ";x=1" is key ";x". A line
    // without "=" is a key without a value, and as the first key of its name it hides any later one.
    const size_t equals = line.find('=');
    std::string_view name = line.substr(0, equals);
    while (!name.empty() && IsBlank(name.back())) name.remove_suffix(1);
    std::string_view value =
        equals == std::string_view::npos ? line.substr(line.size()) : line.substr(equals + 1);
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    value = UpToNul(value);
    layout_.back().firstKeys.try_emplace(Folded(name), layout_.back().keys.size());
    layout_.back().keys.push_back(KeyLine{std::string(UpToNul(name)), thisLine,
                                          equals != std::string_view::npos, columnOf(line), columnOf(value),
                                          std::string(value)});
    if (current == nullptr) continue;
    Entry entry;
    if (equals != std::string_view::npos) {
      entry = Entry{true, static_cast<size_t>(value.data() - text.data()), value.size()};
    }
    current->try_emplace(Folded(name), entry);
  }
}

std::optional<std::string_view> ProfileFile::Find(std::string_view section, std::string_view key) const {
  const auto foundSection = sections_.find(Folded(LookedUpName(section)));
  if (foundSection == sections_.end()) return std::nullopt;
  const auto foundKey = foundSection->second.find(Folded(LookedUpName(key)));
  if (foundKey == foundSection->second.end() || !foundKey->second.hasValue) return std::nullopt;
  return std::string_view(text_).substr(foundKey->second.offset, foundKey->second.length);
}

uint32_t CopyValue(std::string_view value, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  return CopyEntry(value, buffer, size);
}

const ProfileFile::SectionLines* ProfileFile::SectionNamed(std::string_view name) const {
  const auto found = firstSections_.find(Folded(LookedUpName(name)));
  return found != firstSections_.end() ? &layout_[found->second] : nullptr;
}

const ProfileFile::KeyLine* ProfileFile::KeyNamed(const SectionLines* section, std::string_view name) {
  if (section == nullptr) return nullptr;
  const auto found = section->firstKeys.find(Folded(LookedUpName(name)));
  return found != section->firstKeys.end() ? &section->keys[found->second] : nullptr;
}

std::optional<unsigned> ProfileFile::LineOf(std::string_view section, std::string_view key) const {
  const KeyLine* line = KeyNamed(SectionNamed(section), key);
  return line != nullptr ? std::optional<unsigned>(line->line) : std::nullopt;
}

uint32_t ReadProfileString(const ProfileFile* file, const char* section, const char* key,
                           const char* defaultValue, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;

  // Trailing spaces (spaces only, not tabs) of the default are removed, but never its first
  // character: a default of blanks reads as one space. The default then goes through the same quote
  // removal as a value from the file.
  std::string_view fallback = defaultValue != nullptr ? defaultValue : "";
  while (fallback.size() > 1 && fallback.back() == ' ') fallback.remove_suffix(1);

  if (file != nullptr && section != nullptr && key != nullptr) {
    if (const auto value = file->Find(section, key)) return CopyEntry(*value, buffer, size);
  }
  return CopyEntry(fallback, buffer, size);
}

uint32_t ReadProfileString(const std::string_view* contents, const char* section, const char* key,
                           const char* defaultValue, char* buffer, uint32_t size) {
  std::optional<ProfileFile> file;
  if (contents != nullptr) file.emplace(std::string(*contents));
  return ReadProfileString(file ? &*file : nullptr, section, key, defaultValue, buffer, size);
}

}  // namespace quelm::sim
