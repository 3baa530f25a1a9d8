// The file's bytes and layout: whether it is a profile file at all, repeated sections and keys, a UTF-8
// mark, UTF-16, UTF-8 text in an 8-bit file and characters the code page lacks, line ends, more than
// Windows 9x reads.
#include <algorithm>
#include <cstdio>

#include "lint/Linter.h"
#include "sim/SimCodePage.h"
#include "sim/SimText.h"
#include "sim/WindowsReleases.h"

namespace quelm::tool::lint {

namespace {

constexpr const char* kFixCommand = "quelm-sim lint --fix";

// What a file that is no profile file looks like, by the bytes other kinds of file begin with.
std::string WhatItLooksLike(std::string_view bytes) {
  if (bytes.size() > 0x8005 && bytes.substr(0x8001, 5) == "CD001") return "an ISO 9660 disc image";
  if (bytes.size() >= 512 && bytes.substr(510, 2) == "\x55\xAA" &&
      (bytes.substr(54, 3) == "FAT" || bytes.substr(82, 3) == "FAT")) {
    return "a FAT floppy or disk image";
  }
  if (bytes.starts_with("MZ")) return "a Windows or DOS program";
  if (bytes.starts_with("PK\x03\x04")) return "a ZIP archive";
  if (bytes.starts_with("%PDF")) return "a PDF document";
  if (bytes.starts_with("\x89PNG")) return "a PNG picture";
  if (bytes.starts_with("{\\rtf")) return "an RTF document";
  return "";
}

// Systems that read a script of the file, by how their profile code takes its bytes.
bool NinexReader(const std::string& osName) {
  const auto version = sim::VersionForOsName(osName);
  return version && !sim::ProfileReadingOf(*version, 1252).crEndsLine;
}

}  // namespace

bool Linter::CheckIsProfile() {
  const std::string_view bytes = disk_.bytes;
  std::string looks = WhatItLooksLike(bytes);
  const bool binary = text_.find('\0') != std::string_view::npos;
  const bool anyHeader =
      std::any_of(file_.Layout().begin(), file_.Layout().end(), [](const Section& section) {
        return section.line != 0;
      });
  if (looks.empty() && binary) looks = "binary data (it holds NUL bytes)";
  if (looks.empty() && !anyHeader && text_.find_first_not_of(" \t\r\n\x1A") != std::string_view::npos) {
    looks = "text without a single [section] header";
  }
  if (looks.empty()) return true;
  Advice advice;
  advice.help = "name the disk's folder, or its QUELM.INI";
  Report({1, 1}, "not-a-profile",
         "this is no profile file: it looks like " + looks + ", and the launcher finds no script in it",
         advice);
  return false;
}

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
    const std::string utf8 = sim::Utf16ToUtf8(bytes.substr(2));
    CheckUtf8Text(utf8, 0);
    if (!byteReaders.empty()) {
      Advice advice;
      if (sim::FromUtf8ToCodePage(utf8, disk_.codePage)) {
        advice.help = kFixCommand + std::string(" saves it as 8-bit text in code page ") +
                      std::to_string(disk_.codePage);
        advice.fix = Fix{FileFix::kToCodePage, 0, 0, ""};
      } else {
        advice.help = "write the characters code page " + std::to_string(disk_.codePage) +
                      " lacks another way, then save the file as 8-bit text in that code page";
      }
      Report({1, 1}, "utf16-file",
             "the file is UTF-16 (it begins with FF FE), which only Windows 2000 and later read as text: " +
                 Listed(byteReaders) + (byteReaders.size() == 1 ? " reads" : " read") +
                 " it as bytes with zeros between them and finds nothing, "
                 "so those scripts never run and an empty box shows instead",
             advice);
    }
  } else {
    if (sim::HasUtf8Mark(bytes)) CheckUtf8Mark(bytes);
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
  while (BeginsWithBlank(first)) first.remove_prefix(1);
  if (first.empty() || first.front() == ';') return;
  const bool header = first.front() == '[' && first.find(']') != std::string_view::npos;
  Advice advice;
  advice.help = kFixCommand + std::string(" saves the file without the mark");
  const bool utf8Text = std::any_of(bytes.begin() + 3, bytes.end(), [](char c) {
    return (c & 0x80) != 0;
  });
  if (!utf8Text) {
    advice.fix = Fix{FileFix::kRemoveUtf8Mark, 0, 0, ""};
  } else if (sim::FromUtf8ToCodePage(bytes.substr(3), disk_.codePage)) {
    advice.fix = Fix{FileFix::kToCodePage, 0, 0, ""};
  } else {
    advice.help = "save the file without the mark, once the characters code page " +
                  std::to_string(disk_.codePage) + " lacks are written another way";
  }
  advice.notes.push_back("on every release: no Windows reads a UTF-8 mark as one");
  Report(
      {1, 1}, "utf8-mark",
      "the file begins with a UTF-8 mark (EF BB BF), which no Windows recognises: it belongs to line 1, so " +
          Quoted(first) +
          (header ? " is no section header and none of its keys is ever read" : " is not the key it seems"),
      advice);
}

void Linter::CheckUtf8Text(std::string_view bytes, size_t markLength) {
  const std::string_view text = bytes;
  if (IsAscii(text)) return;
  // The whole file converts exactly, or no line gets the fix.
  const bool allUtf8 = sim::Utf8ToUtf16(text).has_value();
  const bool converts = allUtf8 && sim::FromUtf8ToCodePage(text, disk_.codePage).has_value();
  unsigned line = 1;
  for (const std::string_view lineText : LinesOf(text)) {
    CheckUtf8Line(lineText, line, line == 1 ? markLength : 0);
    ++line;
  }
  // A file whose every line converts gets its fix once, on its first finding of UTF-8 text.
  for (Finding& finding : findings_) {
    if (finding.check != "utf8-text") continue;
    if (converts && !sim::HasUtf16Mark(disk_.bytes)) finding.fix = Fix{FileFix::kToCodePage, 0, 0, ""};
    break;
  }
}

void Linter::CheckUtf8Line(std::string_view text, unsigned line, size_t columnShift) {
  std::vector<std::pair<size_t, size_t>> characters;  // beyond ASCII: where, how long
  for (size_t at = 0; at < text.size(); ++at) {
    if (static_cast<unsigned char>(text[at]) < 0x80) continue;
    const size_t length = Utf8SequenceAt(text, at);
    if (length == 0) return;  // a byte that UTF-8 cannot hold: 8-bit text, as it should be
    characters.emplace_back(at, length);
    at += length - 1;
  }
  if (characters.empty()) return;
  const bool utf16 = sim::HasUtf16Mark(disk_.bytes);
  const std::string codePage = std::to_string(disk_.codePage);
  bool allFit = true;
  std::set<std::string> reported;
  for (const auto& [at, length] : characters) {
    const std::string character(text.substr(at, length));
    if (sim::FromUtf8ToCodePage(character, disk_.codePage)) continue;
    allFit = false;
    if (!reported.insert(character).second) continue;
    Advice advice;
    advice.notes.push_back(
        utf16 ? "on Windows 2000 and later, which read the file as UTF-16, it shows as \"?\""
              : "on every release it shows as " + Quoted(std::string(text.substr(at, length))) +
                    " read in code page " + codePage + ", as long as the file is UTF-8");
    advice.help = "write it with the letters of code page " + codePage;
    // The message names the character by its code point: the code page cannot hold it.
    const std::string units = *sim::Utf8ToUtf16(character);
    uint32_t point = static_cast<unsigned char>(units[0]) | static_cast<unsigned char>(units[1]) << 8;
    if (units.size() == 4) {
      point = 0x10000 + ((point - 0xD800) << 10) +
              ((static_cast<unsigned char>(units[2]) | static_cast<unsigned char>(units[3]) << 8) - 0xDC00);
    }
    char name[16];
    static_cast<void>(std::snprintf(name, sizeof(name), "U+%04X", point));
    // The column in the file as read: for UTF-16, the text before it as the code page holds it.
    const size_t column =
        utf16 ? sim::FromUtf16ToCodePage(sim::Utf8ToUtf16(text.substr(0, at)).value_or(""), disk_.codePage)
                    .size()
              : at + columnShift;
    Report({line, static_cast<unsigned>(column) + 1}, "not-in-code-page",
           "the character " + std::string(name) + " is not in code page " + codePage +
               ": no 8-bit file in that code page can hold it",
           advice);
  }
  if (utf16) return;  // a UTF-16 file holds its characters; utf16-file says what the 8-bit readers make of it
  // The word around the first character beyond ASCII, as a reader spots it.
  const size_t first = characters.front().first;
  const size_t before = text.find_last_of(" \t=,", first);
  const size_t wordStart = before == std::string_view::npos ? 0 : before + 1;
  const size_t wordEnd = std::min(text.find_first_of(" \t,", first), text.size());
  const std::string word(text.substr(wordStart, std::min<size_t>(wordEnd - wordStart, 40)));
  Advice advice;
  const auto inCodePage = sim::FromUtf8ToCodePage(word, disk_.codePage);
  advice.notes.push_back("on every release " + Quoted(word) + " shows as written in code page " + codePage +
                         (inCodePage ? ", not as " + Quoted(*inCodePage) : std::string()));
  advice.help =
      allFit ? kFixCommand + std::string(" converts the file to code page ") + codePage
             : "write the characters code page " + codePage + " lacks another way, then run " + kFixCommand;
  Report({line, static_cast<unsigned>(first + columnShift) + 1}, "utf8-text",
         "this line is UTF-8 text, but Windows reads the file in code page " + codePage, advice);
}

void Linter::CheckLineEnds() {
  std::vector<std::string> readers;
  for (const std::string& system : scripted_) {
    if (NinexReader(system)) readers.push_back(system);
  }
  if (readers.empty()) return;
  for (size_t at = text_.find('\r'); at != std::string_view::npos; at = text_.find('\r', at + 1)) {
    if (at + 1 < text_.size() && text_[at + 1] == '\n') continue;
    if (at + 1 == text_.size()) continue;  // the last line's end: nothing follows it
    Advice advice;
    advice.notes.push_back(Listed(readers) + (readers.size() == 1 ? " takes" : " take") +
                           " what follows a CR alone as part of the line before it (Windows 9x)");
    advice.help = kFixCommand + std::string(" ends every line with CR LF");
    advice.fix = Fix{FileFix::kCrLfLineEnds, 0, 0, ""};
    Report(PlaceOfByte(text_, at), "cr-line-ends",
           "this line ends in CR alone, which Windows 95, 98 and Me do not read as a line end", advice);
    return;
  }
}

}  // namespace quelm::tool::lint
