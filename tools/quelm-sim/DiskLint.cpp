// The checks of quelm-sim lint. Every value is read as the launcher reads it (the simulated profile
// reader with the launcher's buffer sizes), split by the launcher's comma rule and dispatched by its
// command table, so that no rule is written a second time here.
#include "DiskLint.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "EventRendering.h"
#include "app/ScriptCommands.h"
#include "card/CardDetection.h"
#include "config/Capacities.h"
#include "config/FieldList.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimText.h"
#include "probe/OsKind.h"

namespace quelm::tool {

namespace {

using sim::ViewOf;

// Quoted for a finding's message, control characters shown as \xHH so that a finding stays one line.
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

size_t EditDistance(const std::string& left, const std::string& right) {
  std::vector<size_t> row(right.size() + 1);
  for (size_t j = 0; j <= right.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= left.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= right.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (left[i - 1] == right[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[right.size()];
}

// The command word a misspelt token most likely meant: the nearest by edit distance, measured on the
// token's beginning as long as the word (a token may carry any suffix) and on the whole token.
std::string NearestCommandWord(std::string_view token) {
  std::string best;
  size_t bestDistance = SIZE_MAX;
  for (unsigned index = 0; index < kScriptCommandCount; ++index) {
    const std::string word = Folded(kScriptCommands[index].word);
    const std::string folded = Folded(token);
    const size_t distance =
        std::min(EditDistance(folded.substr(0, word.size()), word), EditDistance(folded, word));
    if (distance < bestDistance) {
      bestDistance = distance;
      best = kScriptCommands[index].word;
    }
  }
  return best;
}

bool IsNt(OsKind kind) {
  return kind == OsKind::WINNT || kind == OsKind::NT31 || kind == OsKind::NT35X || kind == OsKind::NT40;
}

// A vendor or device field as a card entry should write it: decimal digits (after blanks the number
// reading skips), 0 to 65535. Anything else reads as some other number.
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

// A key line an author meant as a comment. The reader has no comments, but nothing ever asks for a key
// that begins with ";", so such a line is left out of the checks of keys nobody reads.
bool IsComment(const sim::ProfileFile::KeyLine& key) {
  return !key.name.empty() && key.name.front() == ';';
}

std::string Counted(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

bool BeginsWithBlank(std::string_view text) {
  return !text.empty() && (text.front() == ' ' || text.front() == '\t');
}

class Linter {
 public:
  Linter(const sim::ProfileFile& file, uint32_t codePage)
      : file_(file), leadBytes_(LeadBytesWhere([codePage](uint8_t byte) {
          return sim::IsLeadByteOf(codePage, byte);
        })) {}

  std::vector<Finding> Run() {
    CheckRepeatedNames();
    CheckScripts();
    CheckSubDirs();
    CheckCardLists();
    CheckPrograms();
    CheckMessages();
    std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& left, const Finding& right) {
      return left.line < right.line;
    });
    return findings_;
  }

 private:
  using Section = sim::ProfileFile::SectionLines;
  using Key = sim::ProfileFile::KeyLine;

  void Report(unsigned line, Severity severity, const char* check, const std::string& message) {
    findings_.push_back({line, severity, check, message});
  }

  // The section the reader consults for a name, and the key line it takes: the first of each name.
  const Section* SectionNamed(std::string_view name) const {
    for (const Section& section : file_.Layout()) {
      if (section.counts && SameName(section.name, name)) return &section;
    }
    return nullptr;
  }
  static const Key* KeyNamed(const Section* section, std::string_view name) {
    if (section == nullptr) return nullptr;
    for (const Key& key : section->keys) {
      if (SameName(key.name, name)) return &key;
    }
    return nullptr;
  }
  unsigned LineOf(std::string_view section, std::string_view key, unsigned otherwise) const {
    const Section* found = SectionNamed(section);
    const Key* line = KeyNamed(found, key);
    return line != nullptr ? line->line : (found != nullptr ? found->line : otherwise);
  }

  // The value as the launcher gets it in a buffer of `capacity`, and how long it is uncut.
  std::string Read(std::string_view section, std::string_view key, unsigned capacity,
                   size_t* wholeLength = nullptr) const {
    const std::string sectionName(section);
    const std::string keyName(key);
    std::vector<char> buffer(capacity);
    sim::ReadProfileString(&file_, sectionName.c_str(), keyName.c_str(), "", buffer.data(), capacity);
    if (wholeLength != nullptr) {
      const std::optional<std::string_view> raw = file_.Find(section, key);
      std::vector<char> whole(raw ? raw->size() + 2 : 1);
      *wholeLength = sim::ReadProfileString(&file_, sectionName.c_str(), keyName.c_str(), "", whole.data(),
                                            static_cast<uint32_t>(whole.size()));
    }
    return buffer.data();
  }
  std::string ReadChecked(std::string_view section, std::string_view key, unsigned capacity, unsigned line) {
    size_t wholeLength = 0;
    std::string value = Read(section, key, capacity, &wholeLength);
    if (wholeLength > value.size()) {
      Report(line, Severity::kWarning, "value-too-long",
             "the value of " + Quoted(key) + " in [" + std::string(section) + "] has " +
                 Counted(wholeLength, "character") + "; the launcher reads only the first " +
                 std::to_string(value.size()));
    }
    return value;
  }

  void NeedMessage(const std::string& key, unsigned line, const std::string& why) {
    if (messagesNeeded_.count(Folded(key)) == 0) messagesNeeded_[Folded(key)] = {key, line, why};
  }

  // --- Names that are never read -------------------------------------------------------------------

  void CheckRepeatedNames() {
    for (const Section& section : file_.Layout()) {
      if (!section.counts && section.line != 0) {
        Report(section.line, Severity::kWarning, "duplicate-section",
               "a second [" + section.name + "] section is never read: only the first of a name counts");
      }
      std::set<std::string> keys;
      for (const Key& key : section.keys) {
        if (section.counts && !IsComment(key) && !keys.insert(Folded(key.name)).second) {
          Report(key.line, Severity::kWarning, "duplicate-key",
                 "a second " + Quoted(key.name) + " in [" + section.name +
                     "] is never read: only the first counts");
        }
      }
    }
  }

  // --- Scripts ------------------------------------------------------------------------------------

  void CheckScripts() {
    const Section* application = SectionNamed("Application");
    for (const Key& key : application != nullptr ? application->keys : std::vector<Key>{}) {
      if (IsComment(key)) continue;
      const bool named = std::any_of(std::begin(kNamedOsKinds), std::end(kNamedOsKinds), [&key](OsKind kind) {
        return SameName(key.name, OsNameOf(kind));
      });
      if (!named) {
        Report(key.line, Severity::kWarning, "unknown-system",
               "no Windows version reads the script " + Quoted(key.name) +
                   " (the names are WIN95 W95A W95B W95C W98 WINNT NT31 NT35X NT40)");
      }
    }
    bool anyScript = false;
    for (const OsKind kind : kNamedOsKinds) {
      const char* system = OsNameOf(kind);
      const unsigned line = LineOf("Application", system, 1);
      const std::string script = ReadChecked("Application", system, kNameCapacity, line);
      if (script.empty()) {
        NeedMessage("NotSupport", application != nullptr ? application->line : 1,
                    std::string("a system without a script (") + system + ")");
        continue;
      }
      anyScript = true;
      CheckScript(kind, script, line);
    }
    if (!anyScript) {
      Report(application != nullptr ? application->line : 1, Severity::kError, "no-script",
             "no Windows version has a script: every one shows the NotSupport message");
    }
  }

  void CheckScript(OsKind kind, const std::string& script, unsigned line) {
    const std::string system = OsNameOf(kind);
    FieldCursor tokens(ViewOf(script));
    TextView field;
    std::string endedBy;
    std::vector<std::string> unreachable;
    bool anyToken = false;
    while (tokens.Next(field)) {
      anyToken = true;
      const std::string token = StringOf(field);
      if (!endedBy.empty()) {
        unreachable.push_back(token);
        continue;
      }
      if (BeginsWithBlank(token)) {
        Report(line, Severity::kWarning, "leading-blank",
               "the " + system + " token " + Quoted(token) + " begins with a blank and selects no command");
        continue;
      }
      const ScriptCommand* command = CommandFor(field);
      if (command == nullptr) {
        if (StartsWithIgnoringCase(field, "End")) {
          Report(line, Severity::kWarning, "end-not-whole",
                 "the " + system + " token " + Quoted(token) +
                     " is not End, which must be the whole token: the run goes on");
        } else {
          Report(line, Severity::kWarning, "unknown-command",
                 "the " + system + " token " + Quoted(token) +
                     " selects no command and is skipped; did you mean " + Quoted(NearestCommandWord(token)) +
                     "?");
        }
        continue;
      }
      const std::string word = command->word;
      if (word == "DetectCard") {
        cardLists_.try_emplace(Folded(token), token, line);
        NeedMessage(token, line, "the " + system + " card list " + token);
        if (kind == OsKind::NT31 || kind == OsKind::NT35X || kind == OsKind::NT40) {
          Report(line, Severity::kWarning, "no-bus-access",
                 "the " + system + " card list " + Quoted(token) +
                     " never finds a card: Windows NT 3.x and 4.0 give programs no way to the PCI bus");
        }
      } else if (word == "CheckPCIKey") {
        NeedMessage("CheckPCIKey", line, "the " + system + " token " + token);
        if (IsNt(kind)) {
          Report(line, Severity::kWarning, "no-enumerator",
                 "the " + system + " token " + Quoted(token) +
                     " always fails: Windows NT has no Enum\\PCI tree");
        }
      } else if (word == "ShowMsg") {
        NeedMessage(token, line, "the " + system + " token " + token);
        endedBy = token;
      } else if (word == "ShowUSBMsg") {
        NeedMessage(token, line, "the " + system + " token " + token);
      } else if (word == "Install") {
        CheckInstall(kind, token, line);
      } else if (word == "Exec") {
        programs_.try_emplace(Folded(token), token, line);
      } else if (word == "End") {
        endedBy = token;
      }
    }
    if (!anyToken) {
      Report(line, Severity::kError, "commas-only",
             "the " + system +
                 " script has commas only: nothing runs, and no NotSupport message is shown either");
    }
    if (!unreachable.empty()) {
      std::string list;
      for (const std::string& token : unreachable) list += (list.empty() ? "" : ", ") + Quoted(token);
      Report(line, Severity::kWarning, "unreachable-token",
             "in the " + system + " script, " + list + " never run" + (unreachable.size() == 1 ? "s" : "") +
                 ": " + Quoted(endedBy) + " ends the script");
    }
  }

  void CheckInstall(OsKind kind, const std::string& token, unsigned line) {
    const std::string system = OsNameOf(kind);
    if (!OffersInstall(kind)) {
      Report(line, Severity::kWarning, "install-not-offered",
             "Install does nothing on " + system +
                 " but show the NotSupport message and end the run once the script is done");
      NeedMessage("NotSupport", line, "the " + system + " token " + token);
      return;
    }
    NeedMessage("InstallFailed", line, "the " + system + " token " + token);
    if (Read("SubDir", system, kNameCapacity).empty() && reportedSubDir_.insert(system).second) {
      Report(line, Severity::kWarning, "missing-subdir",
             system + " installs, but [SubDir] has no " + system +
                 " entry: the installer program gets the disk's own folder");
    }
  }

  // --- SubDir -------------------------------------------------------------------------------------

  void CheckSubDirs() {
    const Section* subDirs = SectionNamed("SubDir");
    if (subDirs == nullptr) return;
    std::set<std::string> seen;
    for (const Key& key : subDirs->keys) {
      if (IsComment(key) || !seen.insert(Folded(key.name)).second) continue;
      const auto read = std::find_if(std::begin(kNamedOsKinds), std::end(kNamedOsKinds), [&key](OsKind kind) {
        return UsesSubDirEntry(kind) && SameName(key.name, OsNameOf(kind));
      });
      if (read == std::end(kNamedOsKinds)) {
        Report(
            key.line, Severity::kWarning, "unused-subdir",
            "the [SubDir] entry " + Quoted(key.name) + " is never read (only W95A W95B W95C W98 NT40 are)");
        continue;
      }
      const std::string value = ReadChecked("SubDir", key.name, kNameCapacity, key.line);
      if (!value.empty() && value.front() != '\\') {
        Report(key.line, Severity::kWarning, "subdir-without-backslash",
               Quoted(value) + " is appended as written, so the directory reads D:" + value + ", not D:\\" +
                   value);
      }
    }
  }

  // --- Card lists ---------------------------------------------------------------------------------

  void CheckCardLists() {
    for (const auto& [folded, use] : cardLists_) {
      const auto& [name, line] = use;
      const Section* section = SectionNamed(name);
      if (section == nullptr) {
        Report(line, Severity::kError, "missing-card-list",
               "the card list " + Quoted(name) + " has no section: no card is ever found");
        continue;
      }
      std::set<std::string> read;
      for (unsigned number = 1;; ++number) {
        const std::string key = std::to_string(number);
        const unsigned keyLine = LineOf(name, key, section->line);
        const std::string entry = ReadChecked(name, key, kNameCapacity, keyLine);
        if (entry.empty()) {
          if (number == 1) {
            Report(section->line, Severity::kError, "missing-card-list",
                   "the card list [" + section->name + "] has no entry 1: no card is ever found");
          }
          break;
        }
        read.insert(key);
        CheckCardEntry(section->name, key, entry, keyLine);
      }
      for (const Key& key : section->keys) {
        if (!IsComment(key) && read.count(Folded(key.name)) == 0 && KeyNamed(section, key.name) == &key) {
          Report(key.line, Severity::kWarning, "card-list-gap",
                 "the entry " + Quoted(key.name) + " of [" + section->name +
                     "] is never read: entries are read as 1, 2, 3 ... up to the first one missing");
        }
      }
    }
  }

  void CheckCardEntry(const std::string& section, const std::string& key, const std::string& entry,
                      unsigned line) {
    const std::string where = "entry " + key + " of [" + section + "]";
    FieldCursor cursor(ViewOf(entry));
    std::vector<std::string> fields;
    TextView field;
    while (fields.size() < 5 && cursor.Next(field)) fields.push_back(StringOf(field));
    if (fields.size() < 5) {
      Report(line, Severity::kWarning, "short-card-entry",
             where + " has " + Counted(fields.size(), "field") +
                 ", not the five of vendor, device, bus type, pass flag and a last one");
    }
    const char* kNames[] = {"vendor", "device"};
    for (size_t index = 0; index < std::min<size_t>(fields.size(), 2); ++index) {
      if (!IsDecimalId(fields[index])) {
        CardEntry read;
        const bool namesCard = ReadCardEntry(ViewOf(entry), read);
        const int32_t number = index == 0 ? read.vendor : read.device;
        Report(line, Severity::kError, "not-decimal",
               where + ": the " + kNames[index] + " ID " + Quoted(fields[index]) +
                   " is not a decimal number from 0 to 65535; the launcher reads it as " +
                   std::to_string(namesCard ? (number & 0xFFFF) : 0));
      }
    }
    const char* kTextNames[] = {"bus type", "pass flag"};
    for (size_t index = 2; index < std::min<size_t>(fields.size(), 4); ++index) {
      if (BeginsWithBlank(fields[index])) {
        Report(line, Severity::kWarning, "leading-blank",
               where + ": the " + kTextNames[index - 2] + " " + Quoted(fields[index]) +
                   " begins with a blank" +
                   (index == 2 ? ", so it is never AGP" : ", so the pass flag is 0"));
      }
    }
  }

  // --- Programs -----------------------------------------------------------------------------------

  void CheckPrograms() {
    for (const auto& [folded, use] : programs_) {
      const auto& [name, line] = use;
      const Section* section = SectionNamed(name);
      if (KeyNamed(section, "program") == nullptr || !file_.Find(name, "program")) {
        Report(section != nullptr ? section->line : line, Severity::kError, "missing-program",
               "[" + name + "] has no program line: the Exec command opens nothing");
        continue;
      }
      const unsigned keyLine = LineOf(name, "program", line);
      const std::string program = ReadChecked(name, "program", kNameCapacity, keyLine);
      FieldCursor cursor(ViewOf(program));
      unsigned count = 0;
      TextView field;
      while (count < 3 && cursor.Next(field)) ++count;
      if (count < 3) {
        Report(keyLine, Severity::kWarning, "short-program-line",
               "the program line of [" + name + "] has " + Counted(count, "field") +
                   ", not the three of file, a skipped field and working directory");
      }
      for (const std::string macro : {"[CWD]", "[OS]"}) {
        for (size_t at = Folded(program).find(Folded(macro)); at != std::string::npos;
             at = Folded(program).find(Folded(macro), at + 1)) {
          if (program.compare(at, macro.size(), macro) != 0) {
            Report(keyLine, Severity::kWarning, "lower-case-macro",
                   Quoted(program.substr(at, macro.size())) + " in the program line of [" + name +
                       "] stays as written: macros are " + macro + " in capitals");
          }
        }
      }
    }
  }

  // --- Messages -----------------------------------------------------------------------------------

  void CheckMessages() {
    for (const auto& [folded, need] : messagesNeeded_) {
      const unsigned keyLine = LineOf("Message", need.key, need.line);
      const std::string text = ReadChecked("Message", need.key, kMessageCapacity, keyLine);
      if (text.empty()) {
        Report(
            need.line, Severity::kWarning, "missing-message",
            "the message " + Quoted(need.key) + " (" + need.why + ") has no text in [Message]: an empty box");
        continue;
      }
      CheckEscapesInPaths(need.key, text, keyLine);
    }
  }

  // "\n" and "\t" are escapes wherever they stand: inside a path they break the path. A path here is a
  // word (up to the blank before it) ending in a drive's colon, or holding a backslash of its own.
  void CheckEscapesInPaths(const std::string& key, const std::string& text, unsigned line) {
    const TextView view(text.data(), static_cast<unsigned>(text.size()));
    for (const char* escape : {"\\n", "\\t"}) {
      for (unsigned at = FindWhole(view, escape, leadBytes_); at != kNotFound;
           at = FindWhole(view, escape, leadBytes_, at + 2)) {
        const size_t wordStart = text.find_last_of(" \t", at == 0 ? 0 : at - 1);
        const std::string word = text.substr(wordStart == std::string::npos ? 0 : wordStart + 1,
                                             at - (wordStart == std::string::npos ? 0 : wordStart + 1));
        // A word that ends a sentence ("D:\TOOLS.\n") is followed by a break on purpose.
        const bool endsSentence =
            !word.empty() && std::string(".,;:!?").find(word.back()) != std::string::npos;
        const size_t size = word.size();
        const bool drive = size >= 2 && word[size - 1] == ':' &&
                           std::isalpha(static_cast<unsigned char>(word[size - 2])) != 0 &&
                           (size == 2 || std::isalnum(static_cast<unsigned char>(word[size - 3])) == 0);
        const bool inPath = !endsSentence && word.find('\\') != std::string::npos &&
                            (word.find(':') != std::string::npos || word.rfind("\\\\", 0) == 0);
        if (drive || inPath) {
          Report(line, Severity::kWarning, "escape-in-path",
                 "in the message " + Quoted(key) + ", " + Quoted(word + escape) + " is a path, but " +
                     escape +
                     (std::string(escape) == "\\n" ? " breaks the line there" : " becomes a tab there"));
        }
      }
    }
  }

  struct MessageNeed {
    std::string key;
    unsigned line;
    std::string why;
  };

  const sim::ProfileFile& file_;
  LeadBytes leadBytes_;
  std::vector<Finding> findings_;
  std::map<std::string, std::pair<std::string, unsigned>> cardLists_;  // folded name: name, first line
  std::map<std::string, std::pair<std::string, unsigned>> programs_;
  std::map<std::string, MessageNeed> messagesNeeded_;
  std::set<std::string> reportedSubDir_;
};

const char* SeverityName(Severity severity) {
  return severity == Severity::kError ? "error" : "warning";
}

}  // namespace

std::vector<Finding> LintProfile(const sim::ProfileFile& file, uint32_t codePage) {
  return Linter(file, codePage).Run();
}

std::string RenderFindings(const std::vector<Finding>& findings, const std::string& fileName,
                           uint32_t codePage) {
  std::string out;
  for (const Finding& finding : findings) {
    out += fileName + ":" + std::to_string(finding.line) + ": " + SeverityName(finding.severity) + ": " +
           ToUtf8(finding.message, codePage) + " [" + finding.check + "]\n";
  }
  return out;
}

std::string RenderFindingsJson(const std::vector<Finding>& findings, const std::string& fileName,
                               uint32_t codePage) {
  std::string out;
  for (const Finding& finding : findings) {
    const nlohmann::ordered_json object = {{"file", fileName},
                                           {"line", finding.line},
                                           {"severity", SeverityName(finding.severity)},
                                           {"check", finding.check},
                                           {"message", ToUtf8(finding.message, codePage)}};
    out += object.dump() + "\n";
  }
  return out;
}

std::string SummaryOf(const std::vector<Finding>& findings, const std::string& fileName) {
  const auto errors = std::count_if(findings.begin(), findings.end(), [](const Finding& finding) {
    return finding.severity == Severity::kError;
  });
  const auto warnings = static_cast<long>(findings.size()) - errors;
  if (findings.empty()) return fileName + ": no findings\n";
  return fileName + ": " + std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
         std::to_string(warnings) + (warnings == 1 ? " warning\n" : " warnings\n");
}

}  // namespace quelm::tool
