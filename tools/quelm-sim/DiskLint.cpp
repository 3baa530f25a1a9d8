// The checks of quelm-sim lint. Every value is read as the launcher reads it (the simulated profile
// reader with the launcher's buffer sizes), split by the launcher's comma rule and dispatched by its
// command table, so that no rule is written a second time here.
#include "DiskLint.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "EventRendering.h"
#include "app/ScriptCommands.h"
#include "card/CardDetection.h"
#include "config/Capacities.h"
#include "config/FieldList.h"
#include "handoff/ShellLaunch.h"
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

// The systems whose profile code reads the file as plain bytes (not as Unicode), and those that see
// only its first part, by the version records they report.
bool ReadsUnicodeFiles(OsKind kind) {
  return sim::ProfileReadingOf(*sim::VersionForOsName(OsNameOf(kind)), 1252).unicodeMark;
}
size_t ReadableBytes(OsKind kind) {
  return sim::ProfileReadingOf(*sim::VersionForOsName(OsNameOf(kind)), 1252).byteLimit;
}

// The line (counted as editors count: CR LF, CR and LF each end one) that holds byte `offset`.
unsigned LineAt(std::string_view bytes, size_t offset) {
  unsigned line = 1;
  for (size_t at = 0; at < offset && at < bytes.size(); ++at) {
    if (bytes[at] == '\n' || (bytes[at] == '\r' && (at + 1 >= bytes.size() || bytes[at + 1] != '\n'))) ++line;
  }
  return line;
}

// The length of a UTF-8 sequence of two or more bytes at `at` (a character beyond ASCII), else 0.
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

// A name as a CD without long-name extensions (plain ISO 9660) carries it: up to eight letters, digits
// or underscores, and an extension of up to three after a dot. Case does not matter: such a CD holds
// capitals, and Windows finds a name in any case.
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

constexpr const char* kInstallerProgram = "vadrun.exe";
// Where QUELM.EXE starts on a disk: its root, with no command tail, so that [CWD] is the drive alone.
constexpr const char* kDiskRoot = "D:";

class Linter {
 public:
  Linter(const sim::ProfileFile& file, const DiskToLint& disk)
      : file_(file), disk_(disk), leadBytes_(LeadBytesWhere([&disk](uint8_t byte) {
          return sim::IsLeadByteOf(disk.codePage, byte);
        })) {}

  std::vector<Finding> Run() {
    CheckRepeatedNames();
    CheckScripts();
    CheckSubDirs();
    CheckCardLists();
    CheckPrograms();
    CheckMessages();
    CheckEncoding();
    CheckDiskFiles();
    std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& left, const Finding& right) {
      return left.line < right.line;
    });
    return findings_;
  }

 private:
  using Section = sim::ProfileFile::SectionLines;
  using Key = sim::ProfileFile::KeyLine;

  void Report(unsigned line, Severity severity, const char* check, const std::string& message,
              const std::string& detail = "") {
    findings_.push_back({line, severity, check, message, detail});
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
      scripted_.insert(system);
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
    installs_.try_emplace(system, line);
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

  // --- The file's bytes -----------------------------------------------------------------------------

  void CheckEncoding() {
    const std::string_view bytes = disk_.bytes;
    if (sim::HasUtf8Mark(bytes)) CheckUtf8Mark(bytes);
    std::vector<std::string> byteReaders;
    std::vector<std::string> shortReaders;
    for (const OsKind kind : kNamedOsKinds) {
      if (scripted_.count(OsNameOf(kind)) == 0) continue;
      if (!ReadsUnicodeFiles(kind)) byteReaders.push_back(OsNameOf(kind));
      if (ReadableBytes(kind) != 0 && bytes.size() > ReadableBytes(kind))
        shortReaders.push_back(OsNameOf(kind));
    }
    if (sim::HasUtf16Mark(bytes)) {
      if (!byteReaders.empty()) {
        Report(
            1, Severity::kError, "utf16-file",
            "the file is UTF-16 (it begins with FF FE), which only Windows 2000 and later read as text: " +
                Listed(byteReaders) + (byteReaders.size() == 1 ? " reads" : " read") +
                " it as bytes with zeros between them and finds nothing, so those scripts never run and an "
                "empty box shows instead; save it as 8-bit text in code page " +
                std::to_string(disk_.codePage));
      }
    } else {
      CheckUtf8Text(sim::HasUtf8Mark(bytes) ? bytes.substr(3) : bytes);
    }
    if (!shortReaders.empty()) {
      const size_t limit = ReadableBytes(OsKind::W98);
      const unsigned lastLine = LineAt(bytes, limit - 1);
      std::vector<std::string> unseen;
      for (const Section& section : file_.Layout()) {
        if (section.line > lastLine) unseen.push_back("[" + section.name + "]");
      }
      Report(lastLine, Severity::kError, "long-file",
             "the file has " + std::to_string(bytes.size()) + " bytes, but " + Listed(shortReaders) +
                 (shortReaders.size() == 1 ? " reads" : " read") + " only the first " +
                 std::to_string(limit) + ", which end in this line; what follows" +
                 (unseen.empty() ? std::string() : " (" + Listed(unseen) + ")") + " is never seen there");
    }
  }

  // No Windows knows the UTF-8 mark: its three bytes begin line 1, so what is written there is not what
  // it seems. A mark before a blank line or a comment hides nothing.
  void CheckUtf8Mark(std::string_view bytes) {
    std::string_view first = bytes.substr(3, bytes.find_first_of("\r\n") == std::string_view::npos
                                                 ? std::string_view::npos
                                                 : bytes.find_first_of("\r\n") - 3);
    while (!first.empty() && (first.front() == ' ' || first.front() == '\t')) first.remove_prefix(1);
    if (first.empty() || first.front() == ';') return;
    const bool header = first.front() == '[' && first.find(']') != std::string_view::npos;
    Report(1, Severity::kError, "utf8-mark",
           "the file begins with a UTF-8 mark (EF BB BF), which no Windows recognises: it belongs to line 1, "
           "so " +
               Quoted(first) +
               (header ? " is no section header and none of its keys is ever read"
                       : " is not the key it seems") +
               "; save the file without the mark");
  }

  // Text an editor saved as UTF-8 shows as other characters on Windows, which reads the file in its
  // code page: one finding per line, with the text as written and as it will show.
  void CheckUtf8Text(std::string_view bytes) {
    unsigned line = 1;
    for (size_t at = 0;; ++line) {
      const size_t end = std::min(bytes.find_first_of("\r\n", at), bytes.size());
      CheckUtf8Line(bytes.substr(at, end - at), line);
      if (end == bytes.size()) break;
      at = end + (bytes.substr(end, 2) == "\r\n" ? 2 : 1);
    }
  }

  void CheckUtf8Line(std::string_view text, unsigned line) {
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
    const size_t wordStart = text.find_last_of(" \t=,", first) == std::string_view::npos
                                 ? 0
                                 : text.find_last_of(" \t=,", first) + 1;
    const size_t wordEnd = std::min(text.find_first_of(" \t,", first), text.size());
    const std::string word(text.substr(wordStart, std::min<size_t>(wordEnd - wordStart, 40)));
    const std::string target = "CP" + std::to_string(disk_.codePage);
    Report(line, Severity::kWarning, "utf8-text",
           "this line is UTF-8 text, but Windows reads the file in code page " +
               std::to_string(disk_.codePage) + ": ",
           "\"" + word + "\" shows as \"" + sim::ToUtf8(word, disk_.codePage) +
               "\"; convert the file with: iconv -f UTF-8 -t " + target + " QUELM.INI > QUELM.NEW");
  }

  // --- The disk's files -----------------------------------------------------------------------------

  void CheckDiskFiles() {
    if (disk_.files == nullptr) return;
    if (!disk_.installerJoinsLater && !installs_.empty() &&
        !OnDisk(std::string(kDiskRoot) + "\\" + kInstallerProgram, false)) {
      std::vector<std::string> systems;
      unsigned line = UINT_MAX;
      for (const auto& [system, at] : installs_) {
        systems.push_back(system);
        line = std::min(line, at);
      }
      Report(line, Severity::kError, "missing-installer",
             std::string(kInstallerProgram) +
                 " is not in the disk's root, where QUELM.EXE starts from: Install on " + Listed(systems) +
                 " shows the InstallFailed message instead of installing");
    }
    for (const auto& [system, line] : installs_) {
      const std::string subDir = Read("SubDir", system, kNameCapacity);
      if (subDir.empty()) continue;
      const unsigned keyLine = LineOf("SubDir", system, line);
      CheckShortNames(subDir, keyLine, "the " + system + " [SubDir] entry");
      if (!OnDisk(kDiskRoot + subDir, true)) {
        Report(keyLine, Severity::kError, "missing-folder",
               "the installation directory D:" + subDir + " of " + system +
                   " is not on the disk: the installer program is handed a folder that does not exist");
      }
    }
    for (const auto& [folded, use] : programs_) CheckProgramFiles(use.first, use.second);
  }

  // The file and working directory of an Exec line, with the launcher started at the disk's root and no
  // command tail: [CWD] is then D:.
  void CheckProgramFiles(const std::string& section, unsigned line) {
    const std::string written = Read(section, "program", kNameCapacity);
    Text<kNameCapacity> expanded;
    if (written.empty() || !expanded.Assign(ViewOf(written)) ||
        !ExpandMacros(expanded, kDiskRoot, leadBytes_))
      return;
    const unsigned keyLine = LineOf(section, "program", line);
    FieldCursor cursor(expanded);
    TextView file;
    TextView skipped;
    TextView directory;
    if (!cursor.Next(file)) return;
    const bool hasDirectory = cursor.Next(skipped) && cursor.Next(directory);
    const auto check = [&](TextView path, bool folder, const char* what) {
      const std::string text = StringOf(path);
      const std::optional<std::string> onDisk = DiskPath(text);
      if (!onDisk) return;
      CheckShortNames(onDisk->substr(2), keyLine, "the " + std::string(what) + " of [" + section + "]");
      if (!OnDisk(*onDisk, folder)) {
        Report(keyLine, Severity::kError, "missing-file",
               "the " + std::string(what) + " " + Quoted(text) + " of [" + section +
                   "] is not on the disk (with QUELM.EXE started at the disk's root): the shell " +
                   (folder ? "cannot start it there" : "opens nothing, and nobody is told"));
      }
    };
    check(file, false, "file");
    if (hasDirectory) check(directory, true, "working directory");
  }

  // The disk path ("D:\...") a path of the program line names, when it lies on the disk: on D:, or from
  // the root of the current drive, which is D: at the disk's root.
  static std::optional<std::string> DiskPath(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') {
      if (UpperAscii(path[0]) != 'D') return std::nullopt;
      return "D:" + path.substr(2);
    }
    if (!path.empty() && path[0] == '\\' && path.rfind("\\\\", 0) != 0) return "D:" + path;
    return std::nullopt;
  }

  bool OnDisk(const std::string& windowsPath, bool folder) const {
    std::error_code error;
    const auto found = disk_.files->Resolve(windowsPath, 'D');
    if (!found) return false;
    return folder ? std::filesystem::is_directory(*found, error) : std::filesystem::exists(*found, error);
  }

  // Each part of a path on the disk that a plain ISO 9660 CD cannot carry, once per path.
  void CheckShortNames(const std::string& path, unsigned line, const std::string& where) {
    if (!shortNamesChecked_.insert(Folded(path)).second) return;
    size_t start = 0;
    while (start <= path.size()) {
      size_t end = path.find_first_of("\\/", start);
      if (end == std::string::npos) end = path.size();
      const std::string part = path.substr(start, end - start);
      if (!part.empty() && part != "." && part != ".." && !IsShortName(part)) {
        Report(line, Severity::kWarning, "not-8.3",
               Quoted(part) + " in " + where +
                   " is no 8.3 name (up to eight letters, digits or _, a dot and up "
                   "to three more): a CD written without long names (plain ISO 9660) and some floppy tools "
                   "cannot "
                   "carry it, and the launcher then finds nothing there");
      }
      start = end + 1;
    }
  }

  static std::string Listed(const std::vector<std::string>& names) {
    std::string out;
    for (size_t index = 0; index < names.size(); ++index) {
      out += (index == 0 ? "" : index + 1 == names.size() ? " and " : ", ") + names[index];
    }
    return out;
  }

  struct MessageNeed {
    std::string key;
    unsigned line;
    std::string why;
  };

  const sim::ProfileFile& file_;
  const DiskToLint& disk_;
  LeadBytes leadBytes_;
  std::vector<Finding> findings_;
  std::map<std::string, std::pair<std::string, unsigned>> cardLists_;  // folded name: name, first line
  std::map<std::string, std::pair<std::string, unsigned>> programs_;
  std::map<std::string, MessageNeed> messagesNeeded_;
  std::set<std::string> reportedSubDir_;
  std::set<std::string> scripted_;            // systems with a script
  std::map<std::string, unsigned> installs_;  // systems whose script reaches Install, and its line
  std::set<std::string> shortNamesChecked_;
};

const char* SeverityName(Severity severity) {
  return severity == Severity::kError ? "error" : "warning";
}

}  // namespace

std::vector<Finding> LintDisk(const DiskToLint& disk) {
  // The file as its author meant it: as the most capable reader sees it (Windows 2000 and later:
  // Unicode where marked, the whole file), and without a UTF-8 mark. What the systems see differently
  // is a finding of its own, and the rest is checked all the same.
  sim::ProfileReading reading;
  reading.unicodeMark = true;
  reading.codePage = disk.codePage;
  const std::string_view bytes = disk.bytes;
  const sim::ProfileFile file(sim::ProfileText(sim::HasUtf8Mark(bytes) ? bytes.substr(3) : bytes, reading));
  return Linter(file, disk).Run();
}

std::string RenderFindings(const std::vector<Finding>& findings, const std::string& fileName,
                           uint32_t codePage) {
  std::string out;
  for (const Finding& finding : findings) {
    out += fileName + ":" + std::to_string(finding.line) + ": " + SeverityName(finding.severity) + ": " +
           ToUtf8(finding.message, codePage) + finding.detail + " [" + finding.check + "]\n";
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
                                           {"message", ToUtf8(finding.message, codePage) + finding.detail}};
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
