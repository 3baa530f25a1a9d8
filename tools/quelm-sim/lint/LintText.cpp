// What lint's checks share: quoting, names, lines and places, the facts of a disk.
#include "lint/LintText.h"

#include <stdint.h>

#include <algorithm>
#include <climits>

#include "app/ScriptCommands.h"
#include "sim/NearestWord.h"
#include "sim/SimMachine.h"
#include "sim/WindowsReleases.h"

namespace quelm::tool::lint {

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      static const char kDigits[] = "0123456789ABCDEF";
      out += std::string("\\x") + kDigits[byte >> 4] + kDigits[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = LowerAscii(c);
  return folded;
}

bool SameName(std::string_view left, std::string_view right) {
  return EqualsIgnoringCase(ViewOf(left), ViewOf(right));
}

std::string StringOf(TextView text) {
  return std::string(text.chars, text.length);
}

bool IsNt(OsKind kind) {
  return kind == OsKind::WINNT || kind == OsKind::NT31 || kind == OsKind::NT35X || kind == OsKind::NT40;
}

bool IsComment(const sim::ProfileFile::KeyLine& key) {
  return !key.name.empty() && key.name.front() == ';';
}

std::string Counted(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

bool BeginsWithBlank(std::string_view text) {
  return !text.empty() && (text.front() == ' ' || text.front() == '\t');
}

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0x80) != 0) return false;
  }
  return true;
}

bool EndsWithBlank(std::string_view text) {
  return !text.empty() && (text.back() == ' ' || text.back() == '\t');
}

bool IsQuoted(std::string_view text) {
  return text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front();
}

std::string_view Meant(std::string_view field) {
  const auto trim = [](std::string_view text) {
    while (BeginsWithBlank(text)) text.remove_prefix(1);
    while (EndsWithBlank(text)) text.remove_suffix(1);
    return text;
  };
  field = trim(field);
  return IsQuoted(field) ? trim(field.substr(1, field.size() - 2)) : field;
}

std::string ReleasesNamed(const std::string& osName) {
  std::vector<std::string> aliases;
  for (const sim::WindowsRelease& release : sim::WindowsReleases()) {
    if (osName == OsNameOf(ClassifyVersion(release.record))) aliases.emplace_back(release.alias);
  }
  return aliases.empty() ? "no release" : Listed(aliases);
}

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool AllOf(std::string_view text, bool (*test)(char)) {
  return !text.empty() && std::all_of(text.begin(), text.end(), test);
}

}  // namespace

IdMeaning MeaningOfId(std::string_view field) {
  const std::string_view text = Meant(field);
  IdMeaning meaning;
  using Form = IdMeaning::Form;
  const std::string_view digits = !text.empty() && text.front() == '+' ? text.substr(1) : text;
  if ((digits.starts_with("0x") || digits.starts_with("0X")) && digits.size() <= 6 &&
      AllOf(digits.substr(2), IsHexDigit)) {
    meaning.form = Form::kHexPrefix;
    meaning.meant = static_cast<uint32_t>(std::stoul(std::string(digits.substr(2)), nullptr, 16));
  } else if (AllOf(digits, IsDigit)) {
    meaning.meant = digits.size() <= 9 ? static_cast<uint32_t>(std::stoul(std::string(digits))) : UINT32_MAX;
    meaning.form = meaning.meant > 0xFFFF ? Form::kTooLarge : Form::kDecimal;
    if (digits.size() >= 2 && digits.size() <= 4 && digits.front() == '0') {
      meaning.form = Form::kLeadingZero;
      meaning.hex = static_cast<uint32_t>(std::stoul(std::string(digits), nullptr, 16));
    }
  } else if (digits.size() <= 4 && AllOf(digits, IsHexDigit)) {
    meaning.form = Form::kHexLetters;
    meaning.meant = static_cast<uint32_t>(std::stoul(std::string(digits), nullptr, 16));
  }
  return meaning;
}

bool MeansAgp(std::string_view busType) {
  const std::string_view meant = Meant(busType);
  return meant.size() >= 3 && StartsWithIgnoringCase(ViewOf(meant), "AGP");
}

std::string OnSystems(const std::set<std::string>& osNames) {
  std::vector<std::string> names;
  for (const OsKindName& system : kOsKindNames) {
    if (osNames.count(system.name) != 0)
      names.push_back(std::string(system.name) + " (" + ReleasesNamed(system.name) + ")");
  }
  return names.empty() ? "on no Windows version" : "on " + Listed(names);
}

std::string Listed(const std::vector<std::string>& names) {
  std::string out;
  for (size_t index = 0; index < names.size(); ++index) {
    out += (index == 0 ? "" : index + 1 == names.size() ? " and " : ", ") + names[index];
  }
  return out;
}

bool ReadsUnicodeFiles(OsKind kind) {
  return sim::ProfileReadingOf(*sim::VersionForOsName(OsNameOf(kind)), 1252).unicodeMark;
}

size_t ReadableBytes(OsKind kind) {
  return sim::ProfileReadingOf(*sim::VersionForOsName(OsNameOf(kind)), 1252).byteLimit;
}

std::vector<std::string_view> LinesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  for (size_t at = 0;;) {
    const size_t end = std::min(text.find_first_of("\r\n", at), text.size());
    lines.push_back(text.substr(at, end - at));
    if (end == text.size()) break;
    at = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
  }
  return lines;
}

Place PlaceOfByte(std::string_view text, size_t offset) {
  Place place;
  const std::vector<std::string_view> lines = LinesOf(text);
  for (size_t index = 0; index < lines.size(); ++index) {
    const auto start = static_cast<size_t>(lines[index].data() - text.data());
    const size_t next = index + 1 < lines.size() ? static_cast<size_t>(lines[index + 1].data() - text.data())
                                                 : text.size() + 1;
    // A byte of the line's end (CR, LF) belongs to the line it ends, just past its last character.
    if (offset < next) {
      place.column = static_cast<unsigned>(std::min(offset, start + lines[index].size()) - start) + 1;
      return place;
    }
    ++place.line;
  }
  return place;
}

size_t Utf8SequenceAt(std::string_view text, size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const size_t length = (lead >= 0xC2 && lead <= 0xDF)   ? 2
                        : (lead >= 0xE0 && lead <= 0xEF) ? 3
                        : (lead >= 0xF0 && lead <= 0xF4) ? 4
                                                         : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t index = 1; index < length; ++index) {
    if ((static_cast<unsigned char>(text[at + index]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

bool IsShortName(std::string_view name) {
  const size_t dot = name.find('.');
  const std::string_view base = name.substr(0, dot);
  const std::string_view extension =
      dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
  const auto plain = [](std::string_view part) {
    return std::all_of(part.begin(), part.end(), [](char c) {
      return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
  };
  const bool extensionFits = dot == std::string_view::npos || (!extension.empty() && extension.size() <= 3);
  return !base.empty() && base.size() <= 8 && extensionFits && plain(base) && plain(extension);
}

}  // namespace quelm::tool::lint
