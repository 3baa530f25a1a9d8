// lint's findings as a person and as a program read them, and the summary of a disk.
#include <algorithm>
#include <nlohmann/json.hpp>

#include "lint/DiskLint.h"
#include "sim/SimCodePage.h"

namespace quelm::tool {

namespace {

const char* SeverityName(Severity severity) {
  return severity == Severity::kError ? "error" : "warning";
}

// The disk's text in UTF-8 for a terminal or JSON, valid whatever its bytes.
std::string Shown(std::string_view text, uint32_t codePage) {
  return sim::ValidUtf8(sim::ToUtf8(text, codePage));
}

// A source line as it is shown: control characters (a tab too) as one blank each, so that the caret
// below stands under the column's character.
std::string ShownLine(std::string_view line, uint32_t codePage) {
  std::string plain(line);
  for (char& c : plain) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return Shown(plain, codePage);
}

size_t CharactersOf(std::string_view utf8) {
  return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (c & 0xC0) != 0x80;
  }));
}

// The byte offset in UTF-8 text where its character `index` begins; its size past the last.
size_t OffsetOfCharacter(std::string_view utf8, size_t index) {
  size_t seen = 0;
  for (size_t at = 0; at < utf8.size(); ++at) {
    if ((utf8[at] & 0xC0) == 0x80) continue;
    if (seen++ == index) return at;
  }
  return utf8.size();
}

// A line is shown whole up to this many characters; a longer one (an image read as text, a file of one
// long line) as the part around the column, so that the finding stays readable in a terminal.
constexpr size_t kExcerptWidth = 160;
constexpr size_t kExcerptBefore = 60;  // characters kept before the column
constexpr std::string_view kCutMark = "...";

struct Excerpt {
  std::string text;
  size_t caret = 0;  // the column's character in `text`, from 0
};

Excerpt ExcerptOf(std::string_view source, unsigned column, uint32_t codePage) {
  const size_t before = std::min<size_t>(column - 1, source.size());
  Excerpt excerpt{ShownLine(source, codePage), CharactersOf(ShownLine(source.substr(0, before), codePage))};
  const size_t total = CharactersOf(excerpt.text);
  if (total <= kExcerptWidth) return excerpt;
  size_t first = excerpt.caret > kExcerptBefore ? excerpt.caret - kExcerptBefore : 0;
  const size_t last = std::min(total, first + kExcerptWidth);
  if (last - first < kExcerptWidth) first = last - kExcerptWidth;  // the line's end: as wide as elsewhere
  const size_t from = OffsetOfCharacter(excerpt.text, first);
  const std::string middle = excerpt.text.substr(from, OffsetOfCharacter(excerpt.text, last) - from);
  const bool cutBefore = first > 0;
  excerpt.text = std::string(cutBefore ? kCutMark : "") + middle + std::string(last < total ? kCutMark : "");
  excerpt.caret = excerpt.caret - first + (cutBefore ? kCutMark.size() : 0);
  return excerpt;
}

const char* FileFixName(FileFix fix) {
  switch (fix) {
    case FileFix::kNone:
      return "none";
    case FileFix::kRemoveUtf8Mark:
      return "remove-utf8-mark";
    case FileFix::kToCodePage:
      return "to-code-page";
    case FileFix::kCrLfLineEnds:
      return "crlf-line-ends";
  }
  return "none";
}

}  // namespace

std::string FindingPath(const Finding& finding, const std::string& iniPath) {
  if (finding.file.empty()) return iniPath;
  // The typed path keeps its own separators, so that an editor given it jumps there as well.
  // An image's QUELM.INI is "driver.iso:QUELM.INI", and its other files are beside it after the colon.
  const size_t cut = iniPath.find_last_of("/\\:");
  const std::string folder = cut == std::string::npos ? "" : iniPath.substr(0, cut + 1);
  return folder + finding.file;
}

std::string RenderFindings(const std::vector<Finding>& findings, const std::string& path, uint32_t codePage) {
  std::string out;
  for (const Finding& finding : findings) {
    out += FindingPath(finding, path) + ":" + std::to_string(finding.line) + ":" +
           std::to_string(finding.column) + ": " + SeverityName(finding.severity) + ": " +
           Shown(finding.message, codePage) + " [" + finding.check + "]\n";
    const std::string number = std::to_string(finding.line);
    const std::string gutter(number.size() + 1, ' ');
    if (finding.line != 0) {
      const Excerpt excerpt = ExcerptOf(finding.source, finding.column, codePage);
      out += " " + number + " | " + excerpt.text + "\n";
      out += gutter + " | " + std::string(excerpt.caret, ' ') + "^\n";
    }
    for (const std::string& note : finding.notes) out += gutter + " = note: " + Shown(note, codePage) + "\n";
    if (!finding.help.empty()) out += gutter + " = help: " + Shown(finding.help, codePage) + "\n";
  }
  return out;
}

std::string RenderFindingsJson(const std::vector<Finding>& findings, const std::string& path,
                               uint32_t codePage) {
  using Json = nlohmann::ordered_json;
  std::string out;
  for (const Finding& finding : findings) {
    Json notes = Json::array();
    for (const std::string& note : finding.notes) notes.push_back(Shown(note, codePage));
    Json fix = nullptr;
    if (finding.fix) {
      fix = finding.fix->file != FileFix::kNone
                ? Json{{"file", FileFixName(finding.fix->file)}}
                : Json{{"offset", finding.fix->offset},
                       {"length", finding.fix->length},
                       {"replacement", Shown(finding.fix->replacement, codePage)}};
    }
    const Json object = {{"file", sim::ValidUtf8(FindingPath(finding, path))},
                         {"line", finding.line},
                         {"column", finding.column},
                         {"severity", SeverityName(finding.severity)},
                         {"check", finding.check},
                         {"message", Shown(finding.message, codePage)},
                         {"notes", notes},
                         {"help", finding.help.empty() ? Json(nullptr) : Json(Shown(finding.help, codePage))},
                         {"source", Shown(finding.source, codePage)},
                         {"fix", fix}};
    out += object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
  }
  return out;
}

std::string SummaryOf(const std::vector<Finding>& findings, const std::string& path) {
  const auto errors = std::count_if(findings.begin(), findings.end(), [](const Finding& finding) {
    return finding.severity == Severity::kError;
  });
  const auto warnings = static_cast<long>(findings.size()) - errors;
  if (findings.empty()) return path + ": no findings\n";
  return path + ": " + std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
         std::to_string(warnings) + (warnings == 1 ? " warning\n" : " warnings\n");
}

}  // namespace quelm::tool
