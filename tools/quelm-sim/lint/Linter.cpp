// The linter's common ground: the order of the checks, findings and where they are placed, values read
// as the launcher reads them; and LintDisk, which reads the file as its author meant it.
#include "lint/Linter.h"

#include <algorithm>
#include <stdexcept>

#include "sim/NearestWord.h"
#include "sim/SimProfile.h"

namespace quelm::tool::lint {

std::vector<Finding> Linter::Run() {
  lines_ = LinesOf(text_);
  ReadDirectives();
  if (CheckIsProfile()) {
    CheckRepeatedNames();
    CheckScripts();
    CheckSubDirs();
    CheckCardLists();
    CheckPrograms();
    CheckMessages();
    CheckEncoding();
    CheckLineEnds();
    CheckDiskFiles();
    CheckFlow();
    CheckMedium();
  }
  std::erase_if(findings_, [this](const Finding& finding) {
    const auto disabled = disabled_.find(finding.line);
    return disk_.skippedChecks.count(finding.check) != 0 ||
           (disabled != disabled_.end() && disabled->second.count(finding.check) != 0);
  });
  std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& left, const Finding& right) {
    return left.line != right.line ? left.line < right.line : left.column < right.column;
  });
  return findings_;
}

void Linter::Report(Place place, const char* check, const std::string& message, Advice advice) {
  const Check* known = CheckNamed(check);
  if (known == nullptr) throw std::logic_error(std::string("lint reports an unlisted check ") + check);
  Finding finding{place.line,
                  place.column,
                  known->severity,
                  check,
                  message,
                  std::move(advice.notes),
                  std::move(advice.help),
                  std::move(advice.fix),
                  "",
                  ""};
  if (place.line >= 1 && place.line <= lines_.size()) finding.source = std::string(lines_[place.line - 1]);
  // A UTF-16 file is read converted, so a fix of its lines has no place in its bytes: the file's own
  // fix (to 8-bit text) comes first, and its lines are mended once it is made.
  if (finding.fix && finding.fix->file == FileFix::kNone && sim::HasUtf16Mark(disk_.bytes))
    finding.fix.reset();
  findings_.push_back(std::move(finding));
}

Place Linter::PlaceOf(const Section& section) {
  return {section.line, section.column};
}

Place Linter::PlaceOf(const Key& key) {
  return {key.line, key.column};
}

Place Linter::PlaceOf(std::string_view section, std::string_view key, Place otherwise) const {
  const Section* found = file_.SectionNamed(section);
  const Key* line = sim::ProfileFile::KeyNamed(found, key);
  return line != nullptr ? PlaceOf(*line) : found != nullptr ? PlaceOf(*found) : otherwise;
}

Place Linter::PlaceInValue(const Key& key, size_t offset) {
  return {key.line, key.valueColumn + static_cast<unsigned>(offset) + (IsQuoted(key.value) ? 1 : 0)};
}

size_t Linter::OffsetInValue(const Key& key, size_t offset) const {
  const size_t lineStart = key.line >= 1 && key.line <= lines_.size()
                               ? static_cast<size_t>(lines_[key.line - 1].data() - text_.data())
                               : 0;
  return lineStart + key.valueColumn - 1 + offset + (IsQuoted(key.value) ? 1 : 0);
}

Fix Linter::ReplaceInValue(const Key& key, size_t offset, size_t length, std::string replacement) const {
  Fix fix;
  fix.offset = OffsetInValue(key, offset);
  fix.length = length;
  fix.replacement = std::move(replacement);
  return fix;
}

std::string Linter::ReadKey(const Key& key, std::string_view section, unsigned capacity) {
  std::vector<char> buffer(capacity);
  std::vector<char> whole(key.value.size() + 2);
  const uint32_t length = sim::CopyValue(key.value, buffer.data(), capacity);
  const uint32_t wholeLength = sim::CopyValue(key.value, whole.data(), static_cast<uint32_t>(whole.size()));
  if (wholeLength > length) {
    Report(PlaceInValue(key, length), "value-too-long",
           "the value of " + Quoted(key.name) + " in [" + std::string(section) + "] has " +
               Counted(wholeLength, "character") + "; the launcher reads only the first " +
               std::to_string(length));
  }
  return buffer.data();
}

std::string Linter::Peek(std::string_view section, std::string_view key, unsigned capacity) const {
  const Key* line = sim::ProfileFile::KeyNamed(file_.SectionNamed(section), key);
  if (line == nullptr || !line->hasValue) return "";
  std::vector<char> buffer(capacity);
  sim::CopyValue(line->value, buffer.data(), capacity);
  return buffer.data();
}

void Linter::NeedMessage(const std::string& key, Place place, const std::string& why) {
  messagesNeeded_.try_emplace(Folded(key), MessageNeed{key, place, why});
}

const sim::ProfileFile::SectionLines* Linter::NearestSection(const std::string& name) const {
  // Sections something reads are no candidates: renaming one would break what reads it.
  const auto used = [this](const std::string& folded) {
    return cardLists_.count(folded) != 0 || programs_.count(folded) != 0 || folded == "application" ||
           folded == "subdir" || folded == "message";
  };
  std::vector<std::string> names;
  for (const Section& section : file_.Layout()) {
    if (section.counts && section.line != 0 && !used(Folded(section.name))) names.push_back(section.name);
  }
  const std::string nearest = sim::NearestWord(name, names);
  return nearest.empty() ? nullptr : file_.SectionNamed(nearest);
}

Place Linter::PlaceOfMissing(const std::string& name, const char* what, Place otherwise,
                             Advice& advice) const {
  const Section* nearest = NearestSection(name);
  if (nearest == nullptr) return otherwise;
  advice.help = "rename [" + nearest->name + "] to [" + name + "]: the " + what +
                " and the token name the same section";
  advice.notes.push_back("the token stands on line " + std::to_string(otherwise.line));
  return PlaceOf(*nearest);
}

}  // namespace quelm::tool::lint

namespace quelm::tool {

std::vector<Finding> LintDisk(const DiskToLint& disk) {
  // The file as its author meant it: as the most capable reader sees it (Windows 2000 and later:
  // Unicode where marked, the whole file, CR alone a line end), and without a UTF-8 mark. What the
  // systems see differently is a finding of its own, and the rest is checked all the same.
  sim::ProfileReading reading;
  reading.unicodeMark = true;
  reading.codePage = disk.codePage;
  const std::string_view bytes = disk.bytes;
  const std::string text = sim::ProfileText(sim::HasUtf8Mark(bytes) ? bytes.substr(3) : bytes, reading);
  const sim::ProfileFile file(text);
  std::vector<Finding> findings = lint::Linter(file, text, disk).Run();
  // AUTORUN.INF's findings follow QUELM.INI's, in its own line order.
  for (Finding& finding : lint::CheckAutoRun(disk)) {
    if (disk.skippedChecks.count(finding.check) == 0) findings.push_back(std::move(finding));
  }
  return findings;
}

}  // namespace quelm::tool
