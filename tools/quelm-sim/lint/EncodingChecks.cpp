// The file's bytes and layout: repeated sections and keys, a UTF-8 mark, UTF-16, UTF-8 text in an
// 8-bit file, more than Windows 9x reads.
#include <algorithm>

#include "lint/Linter.h"
#include "sim/SimText.h"

namespace quelm::tool::lint {

void Linter::CheckRepeatedNames() {
  for (const Section& section : file_.Layout()) {
    if (!section.counts && section.line != 0) {
      Report(PlaceOf(section), "duplicate-section",
             "a second [" + section.name + "] section is never read: only the first of a name counts");
    }
    std::set<std::string> keys;
    for (const Key& key : section.keys) {
      if (section.counts && !IsComment(key) && !keys.insert(Folded(key.name)).second) {
        Report(PlaceOf(key), "duplicate-key",
               "a second " + Quoted(key.name) + " in [" + section.name +
                   "] is never read: only the first counts");
      }
    }
  }
}

void Linter::CheckEncoding() {
  const std::string_view bytes = disk_.bytes;
  if (sim::HasUtf8Mark(bytes)) CheckUtf8Mark(bytes);
  std::vector<std::string> byteReaders;
  std::vector<std::string> shortReaders;
  for (const OsKindName& system : kOsKindNames) {
    const OsKind kind = system.Kind();
    const char* name = system.name;
    if (scripted_.count(name) == 0) continue;
    if (!ReadsUnicodeFiles(kind)) byteReaders.emplace_back(name);
    if (ReadableBytes(kind) != 0 && bytes.size() > ReadableBytes(kind)) shortReaders.emplace_back(name);
  }
  if (sim::HasUtf16Mark(bytes)) {
    if (!byteReaders.empty()) {
      Report({1, 1}, "utf16-file",
             "the file is UTF-16 (it begins with FF FE), which only Windows 2000 and later read as text: " +
                 Listed(byteReaders) + (byteReaders.size() == 1 ? " reads" : " read") +
                 " it as bytes with zeros between them and finds nothing, "
                 "so those scripts never run and an empty box shows instead; "
                 "save it as 8-bit text in code page " +
                 std::to_string(disk_.codePage));
    }
  } else {
    CheckUtf8Text(sim::HasUtf8Mark(bytes) ? bytes.substr(3) : bytes, sim::HasUtf8Mark(bytes) ? 3 : 0);
  }
  if (!shortReaders.empty()) {
    const size_t limit = ReadableBytes(OsKind::W98);
    const Place last = PlaceOfByte(bytes, limit - 1);
    std::vector<std::string> unseen;
    for (const Section& section : file_.Layout()) {
      if (section.line > last.line) unseen.push_back("[" + section.name + "]");
    }
    Report(last, "long-file",
           "the file has " + std::to_string(bytes.size()) + " bytes, but " + Listed(shortReaders) +
               (shortReaders.size() == 1 ? " reads" : " read") + " only the first " + std::to_string(limit) +
               ", which end here; what follows" +
               (unseen.empty() ? std::string() : " (" + Listed(unseen) + ")") + " is never seen there");
  }
}

void Linter::CheckUtf8Mark(std::string_view bytes) {
  std::string_view first = LinesOf(bytes.substr(3)).front();
  while (!first.empty() && (first.front() == ' ' || first.front() == '\t')) first.remove_prefix(1);
  if (first.empty() || first.front() == ';') return;
  const bool header = first.front() == '[' && first.find(']') != std::string_view::npos;
  Report(
      {1, 1}, "utf8-mark",
      "the file begins with a UTF-8 mark (EF BB BF), which no Windows recognises: "
      "it belongs to line 1, so " +
          Quoted(first) +
          (header ? " is no section header and none of its keys is ever read" : " is not the key it seems") +
          "; save the file without the mark");
}

void Linter::CheckUtf8Text(std::string_view bytes, size_t markLength) {
  unsigned line = 1;
  for (const std::string_view text : LinesOf(bytes)) {
    CheckUtf8Line(text, line, line == 1 ? markLength : 0);
    ++line;
  }
}

void Linter::CheckUtf8Line(std::string_view text, unsigned line, size_t columnShift) {
  size_t first = std::string_view::npos;
  for (size_t at = 0; at < text.size(); ++at) {
    if (static_cast<unsigned char>(text[at]) < 0x80) continue;
    const size_t length = Utf8SequenceAt(text, at);
    if (length == 0) return;  // a byte that UTF-8 cannot hold: 8-bit text, as it should be
    if (first == std::string_view::npos) first = at;
    at += length - 1;
  }
  if (first == std::string_view::npos) return;
  // The word around the first such character, as a reader spots it.
  const size_t before = text.find_last_of(" \t=,", first);
  const size_t wordStart = before == std::string_view::npos ? 0 : before + 1;
  const size_t wordEnd = std::min(text.find_first_of(" \t,", first), text.size());
  const std::string word(text.substr(wordStart, std::min<size_t>(wordEnd - wordStart, 40)));
  const std::string target = "CP" + std::to_string(disk_.codePage);
  Report({line, static_cast<unsigned>(first + columnShift) + 1}, "utf8-text",
         "this line is UTF-8 text, but Windows reads the file in code page " +
             std::to_string(disk_.codePage) + ": ",
         "\"" + word + "\" shows as \"" + sim::ToUtf8(word, disk_.codePage) +
             "\"; convert the file with: iconv -f UTF-8 -t " + target + " QUELM.INI > QUELM.NEW");
}

}  // namespace quelm::tool::lint
