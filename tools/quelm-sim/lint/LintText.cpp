// What lint's checks share: quoting, names, lines and places, the facts of a disk.
#include "lint/LintText.h"

#include <stdint.h>

#include <algorithm>
#include <climits>

#include "app/ScriptCommands.h"
#include "sim/NearestWord.h"
#include "sim/SimMachine.h"

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

std::string NearestCommandWord(std::string_view token) {
  std::string best;
  size_t bestDistance = SIZE_MAX;
  for (unsigned index = 0; index < kScriptCommandCount; ++index) {
    const std::string_view word = kScriptCommands[index].word;
    const size_t distance =
        std::min(sim::EditDistance(token.substr(0, word.size()), word), sim::EditDistance(token, word));
    if (distance < bestDistance) {
      bestDistance = distance;
      best = word;
    }
  }
  return best;
}

bool IsNt(OsKind kind) {
  return kind == OsKind::WINNT || kind == OsKind::NT31 || kind == OsKind::NT35X || kind == OsKind::NT40;
}

bool IsDecimalId(std::string_view field) {
  size_t at = 0;
  while (at < field.size() && (field[at] == ' ' || (field[at] >= '\t' && field[at] <= '\r'))) ++at;
  const std::string_view digits = field.substr(at);
  if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), [](char c) {
        return c >= '0' && c <= '9';
      })) {
    return false;
  }
  return std::stoul(std::string(digits)) <= 0xFFFF;
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
  for (const std::string_view line : LinesOf(text)) {
    const auto start = static_cast<size_t>(line.data() - text.data());
    if (offset <= start + line.size()) {
      place.column = static_cast<unsigned>(offset - start) + 1;
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
