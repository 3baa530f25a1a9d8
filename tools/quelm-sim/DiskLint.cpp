// The checks of quelm-sim lint. Every value is read as the launcher reads it (the simulated profile
// reader with the launcher's buffer sizes), split by the launcher's comma rule and dispatched by its
// command table, so that no rule is written a second time here.
#include "DiskLint.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>

#include "EventRendering.h"
#include "NearestWord.h"
#include "card/CardDetection.h"
#include "config/Capacities.h"
#include "config/FieldList.h"
#include "handoff/ShellLaunch.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimText.h"
#include "probe/OsKind.h"

namespace quelm::tool {

const std::vector<Check>& Checks() {
  static const std::vector<Check> kChecks = {
      {"unknown-command", Severity::kWarning,
       "a token that selects no command does nothing (the nearest command word is suggested)"},
      {"leading-blank", Severity::kWarning,
       "a token, bus type or pass flag that begins with a blank: the token selects nothing, ` AGP` is not "
       "AGP, "
       "` 1` gives pass flag 0"},
      {"end-not-whole", Severity::kWarning,
       "`End` with anything after it (`End.`, `End `) is not `End`: the run goes on"},
      {"unreachable-token", Severity::kWarning, "tokens after a `ShowMsg` or an `End` never run"},
      {"commas-only", Severity::kError,
       "a script of commas only runs nothing, and shows no `NotSupport` either"},
      {"no-script", Severity::kError, "no Windows version has a script: every one shows `NotSupport`"},
      {"unknown-system", Severity::kWarning, "an `[Application]` key that no Windows version reads"},
      {"no-bus-access", Severity::kWarning,
       "a card list in a script for Windows NT 3.x or 4.0, which give programs no way to the PCI bus: no "
       "card is "
       "ever found there"},
      {"no-enumerator", Severity::kWarning,
       "`CheckPCIKey` in a script for Windows NT, which has no `Enum\\PCI` tree: it always fails there"},
      {"install-not-offered", Severity::kWarning,
       "`Install` in a script for a system it does not serve: the `NotSupport` message, then the run ends"},
      {"missing-subdir", Severity::kWarning,
       "a system whose script installs but has no `[SubDir]` entry: the installer gets the disk's folder"},
      {"subdir-without-backslash", Severity::kWarning, "`W98=WIN98` makes `D:WIN98`, not `D:\\WIN98`"},
      {"unused-subdir", Severity::kWarning, "a `[SubDir]` key that is never read"},
      {"missing-card-list", Severity::kError,
       "a card-list token whose section is missing or has no entry `1`: the card is never found"},
      {"card-list-gap", Severity::kWarning, "entries after a gap in the numbering are never read"},
      {"short-card-entry", Severity::kWarning, "an entry with fewer than five fields"},
      {"not-decimal", Severity::kError,
       "a vendor or device ID written in hexadecimal (`0x1A2B` reads as 0), with letters, or beyond 65535"},
      {"missing-program", Severity::kError, "an `Exec` section without a `program` line: nothing opens"},
      {"short-program-line", Severity::kWarning, "a program line with fewer than three fields"},
      {"lower-case-macro", Severity::kWarning, "`[cwd]` or `[Os]` stays as written"},
      {"missing-message", Severity::kWarning, "a message that a script can show has no text: an empty box"},
      {"escape-in-path", Severity::kWarning,
       "`\\n` or `\\t` inside a path (`C:\\new`, `D:\\DRIVERS\\tools`) breaks the line or makes a tab"},
      {"value-too-long", Severity::kWarning, "a value longer than its buffer is cut"},
      {"duplicate-section", Severity::kWarning,
       "a second section of a name (a second `[Message]`, say) is never read"},
      {"duplicate-key", Severity::kWarning, "a second line of a key in a section is never read"},
      {"utf8-mark", Severity::kError,
       "the file begins with a UTF-8 mark, which no Windows recognises: what line 1 holds (`[Application]`, "
       "say) "
       "is not what it seems; a mark before a comment or a blank line hides nothing and is not reported"},
      {"utf16-file", Severity::kError,
       "a UTF-16 file where a script for Windows 9x or NT 3.x/4.0 exists: those systems read bytes and find "
       "nothing"},
      {"utf8-text", Severity::kWarning,
       "a line of UTF-8 text in an 8-bit file, with how it shows in the disk's code page and the `iconv` "
       "line that "
       "converts the file"},
      {"long-file", Severity::kError,
       "a file over 64 KB where a script for Windows 95, 98 or Me exists: they read only the first 65,536 "
       "bytes "
       "(the line where that part ends is named)"},
      {"missing-installer", Severity::kError,
       "`vadrun.exe` is not in the disk's root although a script can reach `Install`: the `InstallFailed` "
       "message "
       "instead of an installation (`--installer present` when it joins the disk later)"},
      {"missing-folder", Severity::kError,
       "the `[SubDir]` folder of a system that installs is not on the disk"},
      {"missing-file", Severity::kError,
       "an `Exec` file or working directory on the disk (after `[CWD]` becomes the disk's root) is not "
       "there: the "
       "shell opens nothing, and nobody is told"},
      {"not-8.3", Severity::kWarning,
       "a name the disk uses (a `[SubDir]` folder, an `Exec` file or folder) that a CD without long names "
       "cannot "
       "carry"},
      {"lint-directive", Severity::kWarning, "a `; quelm-lint: disable=` comment that names no check"},
  };
  return kChecks;
}

const Check* CheckNamed(std::string_view name) {
  for (const Check& check : Checks()) {
    if (name == check.name) return &check;
  }
  return nullptr;
}

const CommandRule* CommandRuleFor(CommandKind kind) {
  static const CommandRule kRules[] = {
      {CommandKind::kDetectCard,
       "runs the card list of the section named as the token; no card found: the token's message, the script "
       "ends",
       "the section and its entry 1, every entry's fields, the token's message, a card list on Windows NT "
       "3.x/4.0"},
      {CommandKind::kCheckPciKey,
       "checks that Windows 9x registered the card (`HKLM\\Enum\\PCI`); if not: message `CheckPCIKey`, the "
       "script "
       "ends",
       "the `CheckPCIKey` message, the check on Windows NT"},
      {CommandKind::kShowMsg, "shows the token's message, and the script ends",
       "the token's message, tokens after it"},
      {CommandKind::kShowUsbMsg,
       "unless the Windows 95 USB supplement is installed, asks with OK and Cancel; Cancel ends the run",
       "the token's message"},
      {CommandKind::kInstall,
       "hands the card to `vadrun.exe` (Windows 95 and 98 only; elsewhere the `NotSupport` message)",
       "`vadrun.exe` on the disk, the `[SubDir]` entry and its folder, the `InstallFailed` and `NotSupport` "
       "messages, "
       "the systems it serves"},
      {CommandKind::kExec, "opens the section's `program` line through the shell",
       "the `program` line, its fields and macros, its file and working directory on the disk, their names"},
      {CommandKind::kEnd, "ends the run", "tokens after it; `End` followed by anything"},
  };
  for (const CommandRule& rule : kRules) {
    if (rule.kind == kind) return &rule;
  }
  return nullptr;
}

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

// The command word a misspelt token most likely meant, measured on the token's beginning as long as the
// word (a token may carry any suffix) and on the whole token.
std::string NearestCommandWord(std::string_view token) {
  std::string best;
  size_t bestDistance = SIZE_MAX;
  for (unsigned index = 0; index < kScriptCommandCount; ++index) {
    const std::string_view word = kScriptCommands[index].word;
    const size_t distance =
        std::min(EditDistance(token.substr(0, word.size()), word), EditDistance(token, word));
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

std::string Listed(const std::vector<std::string>& names) {
  std::string out;
  for (size_t index = 0; index < names.size(); ++index) {
    out += (index == 0 ? "" : index + 1 == names.size() ? " and " : ", ") + names[index];
  }
  return out;
}

// The systems whose profile code reads the file as plain bytes (not as Unicode), and those that see
// only its first part, by the version records they report.
bool ReadsUnicodeFiles(OsKind kind) {
  return sim::ProfileReadingOf(*sim::VersionForOsName(OsNameOf(kind)), 1252).unicodeMark;
}
size_t ReadableBytes(OsKind kind) {
  return sim::ProfileReadingOf(*sim::VersionForOsName(OsNameOf(kind)), 1252).byteLimit;
}

struct Place {
  unsigned line = 1;
  unsigned column = 1;
};

// Lines as an editor counts them (CR LF, CR and LF each end one), with the byte each begins at.
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

// The line and column of byte `offset`.
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
constexpr std::string_view kDirective = "quelm-lint:";

// Where a script comes from: the system that reads it (none for a name no Windows reads), its line, and
// why the launcher never reads it, if it does not.
struct ScriptSource {
  std::optional<OsKind> kind;
  std::string name;
  const sim::ProfileFile::KeyLine* key = nullptr;
  std::string hiddenBy;  // empty for a script the launcher reads
};

class Linter {
 public:
  Linter(const sim::ProfileFile& file, std::string_view text, const DiskToLint& disk)
      : file_(file), text_(text), disk_(disk), leadBytes_(LeadBytesWhere([&disk](uint8_t byte) {
          return sim::IsLeadByteOf(disk.codePage, byte);
        })) {}

  std::vector<Finding> Run() {
    ReadDirectives();
    CheckRepeatedNames();
    CheckScripts();
    CheckSubDirs();
    CheckCardLists();
    CheckPrograms();
    CheckMessages();
    CheckEncoding();
    CheckDiskFiles();
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

 private:
  using Section = sim::ProfileFile::SectionLines;
  using Key = sim::ProfileFile::KeyLine;

  void Report(Place place, const char* check, const std::string& message, const std::string& detail = "") {
    const Check* known = CheckNamed(check);
    if (known == nullptr) throw std::logic_error(std::string("lint reports an unlisted check ") + check);
    findings_.push_back({place.line, place.column, known->severity, check, message, detail});
  }

  // --- Where things are --------------------------------------------------------------------------------

  static Place PlaceOf(const Section& section) { return {section.line, section.column}; }
  static Place PlaceOf(const Key& key) { return {key.line, key.column}; }
  // Byte `offset` of a key's value as the launcher gets it: past the quote the reader removes.
  static Place PlaceInValue(const Key& key, size_t offset) {
    const std::string& value = key.value;
    const bool quoted =
        value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    return {key.line, key.valueColumn + static_cast<unsigned>(offset) + (quoted ? 1 : 0)};
  }
  // The key's place if the reader finds it, else its section's, else `otherwise`.
  Place PlaceOf(std::string_view section, std::string_view key, Place otherwise) const {
    const Section* found = file_.SectionNamed(section);
    const Key* line = sim::ProfileFile::KeyNamed(found, key);
    return line != nullptr ? PlaceOf(*line) : found != nullptr ? PlaceOf(*found) : otherwise;
  }

  // --- Reading values as the launcher does ---------------------------------------------------------

  // A key line's value as the launcher gets it in a buffer of `capacity`; a value it gets cut is a
  // finding, placed where the cut falls.
  std::string ReadKey(const Key& key, std::string_view section, unsigned capacity) {
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
  // For questions only, without findings.
  std::string Peek(std::string_view section, std::string_view key, unsigned capacity) const {
    const Key* line = sim::ProfileFile::KeyNamed(file_.SectionNamed(section), key);
    if (line == nullptr || !line->hasValue) return "";
    std::vector<char> buffer(capacity);
    sim::CopyValue(line->value, buffer.data(), capacity);
    return buffer.data();
  }

  void NeedMessage(const std::string& key, Place place, const std::string& why) {
    messagesNeeded_.try_emplace(Folded(key), MessageNeed{key, place, why});
  }

  // --- Directives ----------------------------------------------------------------------------------

  // "; quelm-lint: disable=CHECK[,CHECK]" silences those checks on the next line that holds anything
  // but blanks or another directive.
  void ReadDirectives() {
    const std::vector<std::string_view> lines = LinesOf(text_);
    std::set<std::string> pending;
    for (size_t index = 0; index < lines.size(); ++index) {
      const auto line = static_cast<unsigned>(index + 1);
      std::string_view text = lines[index];
      while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
      if (text.empty()) continue;
      const std::optional<std::set<std::string>> checks = DirectiveChecks(text, line);
      if (checks) {
        pending.insert(checks->begin(), checks->end());
        continue;
      }
      if (!pending.empty()) disabled_[line].insert(pending.begin(), pending.end());
      pending.clear();
    }
  }

  // The checks a directive line names; nothing for a line that is no directive.
  std::optional<std::set<std::string>> DirectiveChecks(std::string_view text, unsigned line) {
    if (text.front() != ';') return std::nullopt;
    text.remove_prefix(1);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (!text.starts_with(kDirective)) return std::nullopt;
    text.remove_prefix(kDirective.size());
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    std::set<std::string> checks;
    const std::string_view kDisable = "disable=";
    if (!text.starts_with(kDisable)) {
      Report({line, 1}, "lint-directive", "a quelm-lint comment says what to do as disable=CHECK[,CHECK]");
      return checks;
    }
    text.remove_prefix(kDisable.size());
    std::vector<std::string> names;
    for (const Check& check : Checks()) names.emplace_back(check.name);
    while (!text.empty()) {
      const size_t comma = std::min(text.find(','), text.size());
      std::string_view name = text.substr(0, comma);
      while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
      while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
      if (CheckNamed(name) == nullptr) {
        Report({line, 1}, "lint-directive",
               Quoted(name) + " is no check of quelm-sim lint" + DidYouMean(name, names) +
                   ", so nothing is disabled");
      } else {
        checks.emplace(name);
      }
      text.remove_prefix(std::min(comma + 1, text.size()));
    }
    return checks;
  }

  // --- Names that are never read -------------------------------------------------------------------

  void CheckRepeatedNames() {
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

  // --- Scripts ------------------------------------------------------------------------------------

  // Every script line of every [Application] section: those the launcher reads for its systems, and
  // those it never reads, checked alike so that one pass finds every mistake.
  void CheckScripts() {
    const Section* application = file_.SectionNamed("Application");
    const Place applicationPlace = application != nullptr ? PlaceOf(*application) : Place{};
    std::string names;
    for (const OsKindName& system : kOsKindNames)
      names += std::string(names.empty() ? "" : " ") + system.name;
    for (const Section& section : file_.Layout()) {
      if (!SameName(section.name, "Application")) continue;
      for (const Key& key : section.keys) {
        if (IsComment(key) || !key.hasValue) continue;
        ScriptSource source{std::nullopt, key.name, &key, ""};
        for (const OsKindName& system : kOsKindNames) {
          if (SameName(key.name, system.name)) source.kind = system.Kind();
        }
        if (!section.counts) {
          source.hiddenBy = "in a second [Application] section, which is never read";
        } else if (!source.kind) {
          source.hiddenBy = "in a script no Windows reads";
          Report(
              PlaceOf(key), "unknown-system",
              "no Windows version reads the script " + Quoted(key.name) + " (the names are " + names + ")");
        } else if (sim::ProfileFile::KeyNamed(&section, key.name) != &key) {
          source.hiddenBy = "in a second " + key.name + " script, which is never read";
        }
        const std::string script = ReadKey(key, "Application", kNameCapacity);
        if (script.empty()) continue;
        if (source.hiddenBy.empty()) scripted_.insert(OsNameOf(*source.kind));
        CheckScript(source, script);
      }
    }
    bool anyScript = false;
    for (const OsKindName& system : kOsKindNames) {
      if (scripted_.count(system.name) != 0) {
        anyScript = true;
      } else {
        NeedMessage("NotSupport", applicationPlace,
                    std::string("a system without a script (") + system.name + ")");
      }
    }
    if (!anyScript) {
      Report(applicationPlace, "no-script",
             "no Windows version has a script: every one shows the NotSupport message");
    }
  }

  void CheckScript(const ScriptSource& source, const std::string& script) {
    const std::string who = "the " + source.name;
    FieldCursor tokens(ViewOf(script));
    TextView field;
    std::string endedBy;
    std::vector<std::string> unreachable;
    bool anyToken = false;
    while (tokens.Next(field)) {
      anyToken = true;
      const std::string token = StringOf(field);
      const Place place = PlaceInValue(*source.key, static_cast<size_t>(field.chars - script.data()));
      ScriptSource where = source;
      if (!endedBy.empty()) {
        unreachable.push_back(token);
        if (where.hiddenBy.empty())
          where.hiddenBy = "which never runs: " + Quoted(endedBy) + " ends the script";
      }
      if (BeginsWithBlank(token)) {
        Report(place, "leading-blank",
               who + " token " + Quoted(token) + " begins with a blank and selects no command");
        continue;
      }
      const ScriptCommand* command = CommandFor(field);
      if (command == nullptr) {
        if (StartsWithIgnoringCase(field, "End")) {
          Report(place, "end-not-whole",
                 who + " token " + Quoted(token) +
                     " is not End, which must be the whole token: the run goes on");
        } else {
          Report(place, "unknown-command",
                 who + " token " + Quoted(token) + " selects no command and is skipped; did you mean " +
                     Quoted(NearestCommandWord(token)) + "?");
        }
        continue;
      }
      CheckToken(where, *command, token, place, endedBy);
    }
    if (!anyToken) {
      Report(PlaceInValue(*source.key, 0), "commas-only",
             who + " script has commas only: nothing runs, and no NotSupport message is shown either");
    }
    if (!unreachable.empty()) {
      std::string list;
      for (const std::string& token : unreachable) list += (list.empty() ? "" : ", ") + Quoted(token);
      Report(PlaceOf(*source.key), "unreachable-token",
             "in " + who + " script, " + list + " never run" + (unreachable.size() == 1 ? "s" : "") + ": " +
                 Quoted(endedBy) + " ends the script");
    }
  }

  // What a token names must be there wherever it stands; what it does to a system is checked only where
  // the launcher reads the script and the token runs.
  void CheckToken(const ScriptSource& source, const ScriptCommand& command, const std::string& token,
                  Place place, std::string& endedBy) {
    const std::string tail = source.hiddenBy.empty() ? "" : ", " + source.hiddenBy;
    const std::string theToken = "the " + source.name + " token " + token + tail;
    // The system whose run this token is part of, if the launcher reads the script and the token runs.
    const bool runs = source.hiddenBy.empty() && source.kind.has_value();
    const OsKind kind = source.kind.value_or(OsKind::OTHER);
    switch (command.kind) {
      case CommandKind::kDetectCard:
        cardLists_.try_emplace(Folded(token), token, place);
        NeedMessage(token, place, "the " + source.name + " card list " + token + tail);
        if (runs && (kind == OsKind::NT31 || kind == OsKind::NT35X || kind == OsKind::NT40)) {
          Report(place, "no-bus-access",
                 "the " + source.name + " card list " + Quoted(token) +
                     " never finds a card: Windows NT 3.x and 4.0 give programs no way to the PCI bus");
        }
        break;
      case CommandKind::kCheckPciKey:
        NeedMessage("CheckPCIKey", place, theToken);
        if (runs && IsNt(kind)) {
          Report(place, "no-enumerator",
                 "the " + source.name + " token " + Quoted(token) +
                     " always fails: Windows NT has no Enum\\PCI tree");
        }
        break;
      case CommandKind::kShowMsg:
        NeedMessage(token, place, theToken);
        if (endedBy.empty()) endedBy = token;
        break;
      case CommandKind::kShowUsbMsg:
        NeedMessage(token, place, theToken);
        break;
      case CommandKind::kInstall:
        if (runs) {
          CheckInstall(kind, token, place);
        } else {
          NeedMessage("InstallFailed", place, theToken);
        }
        break;
      case CommandKind::kExec:
        programs_.try_emplace(Folded(token), token, place);
        if (runs) programsThatRun_.insert(Folded(token));
        break;
      case CommandKind::kEnd:
        if (endedBy.empty()) endedBy = token;
        break;
    }
  }

  void CheckInstall(OsKind kind, const std::string& token, Place place) {
    const std::string system = OsNameOf(kind);
    if (!OffersInstall(kind)) {
      Report(place, "install-not-offered",
             "Install does nothing on " + system +
                 " but show the NotSupport message and end the run once the script is done");
      NeedMessage("NotSupport", place, "the " + system + " token " + token);
      return;
    }
    NeedMessage("InstallFailed", place, "the " + system + " token " + token);
    installs_.try_emplace(system, place);
    if (Peek("SubDir", system, kNameCapacity).empty() && reportedSubDir_.insert(system).second) {
      Report(place, "missing-subdir",
             system + " installs, but [SubDir] has no " + system +
                 " entry: the installer program gets the disk's own folder");
    }
  }

  // --- SubDir -------------------------------------------------------------------------------------

  void CheckSubDirs() {
    const Section* subDirs = file_.SectionNamed("SubDir");
    if (subDirs == nullptr) return;
    std::string read;
    for (const OsKindName& system : kOsKindNames) {
      if (UsesSubDirEntry(system.Kind())) read += std::string(read.empty() ? "" : " ") + system.name;
    }
    std::set<std::string> seen;
    for (const Key& key : subDirs->keys) {
      if (IsComment(key) || !seen.insert(Folded(key.name)).second) continue;
      const auto named =
          std::find_if(std::begin(kOsKindNames), std::end(kOsKindNames), [&key](const OsKindName& system) {
            return UsesSubDirEntry(system.Kind()) && SameName(key.name, system.name);
          });
      if (named == std::end(kOsKindNames)) {
        Report(PlaceOf(key), "unused-subdir",
               "the [SubDir] entry " + Quoted(key.name) + " is never read (only " + read + " are)");
        continue;
      }
      const std::string value = ReadKey(key, "SubDir", kNameCapacity);
      if (!value.empty() && value.front() != '\\') {
        Report(PlaceInValue(key, 0), "subdir-without-backslash",
               Quoted(value) + " is appended as written, so the directory reads D:" + value + ", not D:\\" +
                   value);
      }
    }
  }

  // --- Card lists ---------------------------------------------------------------------------------

  void CheckCardLists() {
    for (const auto& [folded, use] : cardLists_) {
      const auto& [name, place] = use;
      const Section* section = file_.SectionNamed(name);
      if (section == nullptr) {
        Report(place, "missing-card-list",
               "the card list " + Quoted(name) + " has no section: no card is ever found");
        continue;
      }
      std::set<std::string> read;
      for (unsigned number = 1;; ++number) {
        const std::string key = std::to_string(number);
        const Key* line = sim::ProfileFile::KeyNamed(section, key);
        const std::string entry =
            line != nullptr && line->hasValue ? ReadKey(*line, name, kNameCapacity) : "";
        if (entry.empty()) {
          if (number == 1) {
            Report(PlaceOf(*section), "missing-card-list",
                   "the card list [" + section->name + "] has no entry 1: no card is ever found");
          }
          break;
        }
        read.insert(key);
        CheckCardEntry(section->name, *line, entry);
      }
      for (const Key& key : section->keys) {
        if (!IsComment(key) && read.count(Folded(key.name)) == 0 &&
            sim::ProfileFile::KeyNamed(section, key.name) == &key) {
          Report(PlaceOf(key), "card-list-gap",
                 "the entry " + Quoted(key.name) + " of [" + section->name +
                     "] is never read: entries are read as 1, 2, 3 ... up to the first one missing");
        }
      }
    }
  }

  void CheckCardEntry(const std::string& section, const Key& key, const std::string& entry) {
    const std::string where = "entry " + key.name + " of [" + section + "]";
    FieldCursor cursor(ViewOf(entry));
    std::vector<TextView> fields;
    TextView field;
    while (fields.size() < 5 && cursor.Next(field)) fields.push_back(field);
    const auto placeOf = [&](TextView part) {
      return PlaceInValue(key, static_cast<size_t>(part.chars - entry.data()));
    };
    if (fields.size() < 5) {
      Report(PlaceInValue(key, 0), "short-card-entry",
             where + " has " + Counted(fields.size(), "field") +
                 ", not the five of vendor, device, bus type, pass flag and a last one");
    }
    const char* kNames[] = {"vendor", "device"};
    for (size_t index = 0; index < std::min<size_t>(fields.size(), 2); ++index) {
      if (!IsDecimalId(StringOf(fields[index]))) {
        CardEntry read;
        const bool namesCard = ReadCardEntry(ViewOf(entry), read);
        const int32_t number = index == 0 ? read.vendor : read.device;
        Report(placeOf(fields[index]), "not-decimal",
               where + ": the " + kNames[index] + " ID " + Quoted(StringOf(fields[index])) +
                   " is not a decimal number from 0 to 65535; the launcher reads it as " +
                   std::to_string(namesCard ? (number & 0xFFFF) : 0));
      }
    }
    const char* kTextNames[] = {"bus type", "pass flag"};
    for (size_t index = 2; index < std::min<size_t>(fields.size(), 4); ++index) {
      if (BeginsWithBlank(StringOf(fields[index]))) {
        Report(placeOf(fields[index]), "leading-blank",
               where + ": the " + kTextNames[index - 2] + " " + Quoted(StringOf(fields[index])) +
                   " begins with a blank" +
                   (index == 2 ? ", so it is never AGP" : ", so the pass flag is 0"));
      }
    }
  }

  // --- Programs -----------------------------------------------------------------------------------

  void CheckPrograms() {
    for (const auto& [folded, use] : programs_) {
      const auto& [name, place] = use;
      const Section* section = file_.SectionNamed(name);
      const Key* key = sim::ProfileFile::KeyNamed(section, "program");
      if (key == nullptr || !key->hasValue) {
        Report(section != nullptr ? PlaceOf(*section) : place, "missing-program",
               "[" + name + "] has no program line: the Exec command opens nothing");
        continue;
      }
      const std::string program = ReadKey(*key, name, kNameCapacity);
      FieldCursor cursor(ViewOf(program));
      unsigned count = 0;
      TextView field;
      while (count < 3 && cursor.Next(field)) ++count;
      if (count < 3) {
        Report(PlaceInValue(*key, 0), "short-program-line",
               "the program line of [" + name + "] has " + Counted(count, "field") +
                   ", not the three of file, a skipped field and working directory");
      }
      for (const std::string macro : {"[CWD]", "[OS]"}) {
        for (size_t at = Folded(program).find(Folded(macro)); at != std::string::npos;
             at = Folded(program).find(Folded(macro), at + 1)) {
          if (program.compare(at, macro.size(), macro) != 0) {
            Report(PlaceInValue(*key, at), "lower-case-macro",
                   Quoted(program.substr(at, macro.size())) + " in the program line of [" + name +
                       "] stays as written: macros are " + macro + " in capitals");
          }
        }
      }
    }
  }

  // --- Messages -----------------------------------------------------------------------------------

  void CheckMessages() {
    const Section* messages = file_.SectionNamed("Message");
    for (const auto& [folded, need] : messagesNeeded_) {
      const Key* key = sim::ProfileFile::KeyNamed(messages, need.key);
      const std::string text =
          key != nullptr && key->hasValue ? ReadKey(*key, "Message", kMessageCapacity) : "";
      if (text.empty()) {
        Report(
            need.place, "missing-message",
            "the message " + Quoted(need.key) + " (" + need.why + ") has no text in [Message]: an empty box");
        continue;
      }
      CheckEscapesInPaths(*key, text);
    }
  }

  // "\n" and "\t" are escapes wherever they stand: inside a path they break the path. A path here is a
  // word (up to the blank before it) ending in a drive's colon, or holding a backslash of its own.
  void CheckEscapesInPaths(const Key& key, const std::string& text) {
    const TextView view(text.data(), static_cast<unsigned>(text.size()));
    for (const char* escape : {"\\n", "\\t"}) {
      for (unsigned at = FindWhole(view, escape, leadBytes_); at != kNotFound;
           at = FindWhole(view, escape, leadBytes_, at + 2)) {
        const size_t wordStart = text.find_last_of(" \t", at == 0 ? 0 : at - 1);
        const size_t from = wordStart == std::string::npos ? 0 : wordStart + 1;
        const std::string word = text.substr(from, at - from);
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
          Report(PlaceInValue(key, at), "escape-in-path",
                 "in the message " + Quoted(key.name) + ", " + Quoted(word + escape) + " is a path, but " +
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
    for (const OsKindName& system : kOsKindNames) {
      const OsKind kind = system.Kind();
      const char* name = system.name;
      if (scripted_.count(name) == 0) continue;
      if (!ReadsUnicodeFiles(kind)) byteReaders.emplace_back(name);
      if (ReadableBytes(kind) != 0 && bytes.size() > ReadableBytes(kind)) shortReaders.emplace_back(name);
    }
    if (sim::HasUtf16Mark(bytes)) {
      if (!byteReaders.empty()) {
        Report(
            {1, 1}, "utf16-file",
            "the file is UTF-16 (it begins with FF FE), which only Windows 2000 and later read as text: " +
                Listed(byteReaders) + (byteReaders.size() == 1 ? " reads" : " read") +
                " it as bytes with zeros between them and finds nothing, so those scripts never run and an "
                "empty box shows instead; save it as 8-bit text in code page " +
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
                 (shortReaders.size() == 1 ? " reads" : " read") + " only the first " +
                 std::to_string(limit) + ", which end here; what follows" +
                 (unseen.empty() ? std::string() : " (" + Listed(unseen) + ")") + " is never seen there");
    }
  }

  // No Windows knows the UTF-8 mark: its three bytes begin line 1, so what is written there is not what
  // it seems. A mark before a blank line or a comment hides nothing.
  void CheckUtf8Mark(std::string_view bytes) {
    std::string_view first = LinesOf(bytes.substr(3)).front();
    while (!first.empty() && (first.front() == ' ' || first.front() == '\t')) first.remove_prefix(1);
    if (first.empty() || first.front() == ';') return;
    const bool header = first.front() == '[' && first.find(']') != std::string_view::npos;
    Report({1, 1}, "utf8-mark",
           "the file begins with a UTF-8 mark (EF BB BF), which no Windows recognises: it belongs to line 1, "
           "so " +
               Quoted(first) +
               (header ? " is no section header and none of its keys is ever read"
                       : " is not the key it seems") +
               "; save the file without the mark");
  }

  // Text an editor saved as UTF-8 shows as other characters on Windows, which reads the file in its
  // code page: one finding per line, with the text as written and as it will show.
  void CheckUtf8Text(std::string_view bytes, size_t markLength) {
    unsigned line = 1;
    for (const std::string_view text : LinesOf(bytes)) {
      CheckUtf8Line(text, line, line == 1 ? markLength : 0);
      ++line;
    }
  }

  void CheckUtf8Line(std::string_view text, unsigned line, size_t columnShift) {
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

  // --- The disk's files -----------------------------------------------------------------------------

  void CheckDiskFiles() {
    if (disk_.files == nullptr) return;
    if (!disk_.installerJoinsLater && !installs_.empty() &&
        !OnDisk(std::string(kDiskRoot) + "\\" + kInstallerProgram, false)) {
      std::vector<std::string> systems;
      Place first{UINT_MAX, 1};
      for (const auto& [system, place] : installs_) {
        systems.push_back(system);
        if (place.line < first.line) first = place;
      }
      Report(first, "missing-installer",
             std::string(kInstallerProgram) +
                 " is not in the disk's root, where QUELM.EXE starts from: Install on " + Listed(systems) +
                 " shows the InstallFailed message instead of installing");
    }
    for (const auto& [system, place] : installs_) {
      const Key* key = sim::ProfileFile::KeyNamed(file_.SectionNamed("SubDir"), system);
      const std::string subDir = Peek("SubDir", system, kNameCapacity);
      if (key == nullptr || subDir.empty()) continue;
      CheckShortNames(subDir, PlaceInValue(*key, 0), "the " + system + " [SubDir] entry");
      if (!OnDisk(kDiskRoot + subDir, true)) {
        Report(PlaceInValue(*key, 0), "missing-folder",
               "the installation directory D:" + subDir + " of " + system +
                   " is not on the disk: the installer program is handed a folder that does not exist");
      }
    }
    for (const auto& [folded, use] : programs_) {
      if (programsThatRun_.count(folded) != 0) CheckProgramFiles(use.first);
    }
  }

  // The file and working directory of an Exec line, with the launcher started at the disk's root and no
  // command tail: [CWD] is then D:.
  void CheckProgramFiles(const std::string& section) {
    const Key* key = sim::ProfileFile::KeyNamed(file_.SectionNamed(section), "program");
    const std::string written = Peek(section, "program", kNameCapacity);
    Text<kNameCapacity> expanded;
    if (key == nullptr || written.empty() || !expanded.Assign(ViewOf(written)) ||
        !ExpandMacros(expanded, kDiskRoot, leadBytes_)) {
      return;
    }
    const Place place = PlaceInValue(*key, 0);
    TextView file;
    TextView directory;
    if (!SplitProgramLine(expanded, file, directory)) return;
    const auto check = [&](TextView path, bool folder, const char* what) {
      const std::string text = StringOf(path);
      const std::optional<std::string> onDisk = DiskPath(text);
      if (!onDisk) return;
      CheckShortNames(onDisk->substr(2), place, "the " + std::string(what) + " of [" + section + "]");
      if (!OnDisk(*onDisk, folder)) {
        Report(place, "missing-file",
               "the " + std::string(what) + " " + Quoted(text) + " of [" + section +
                   "] is not on the disk (with QUELM.EXE started at the disk's root): the shell " +
                   (folder ? "cannot start it there" : "opens nothing, and nobody is told"));
      }
    };
    check(file, false, "file");
    if (!directory.IsEmpty()) check(directory, true, "working directory");
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
    const sim::FileSystem::Entry entry = disk_.files->EntryAt(windowsPath, 'D');
    return folder ? entry == sim::FileSystem::Entry::kFolder : entry != sim::FileSystem::Entry::kMissing;
  }

  // Each part of a path on the disk that a plain ISO 9660 CD cannot carry, once per path.
  void CheckShortNames(const std::string& path, Place place, const std::string& where) {
    if (!shortNamesChecked_.insert(Folded(path)).second) return;
    size_t start = 0;
    while (start <= path.size()) {
      size_t end = path.find_first_of("\\/", start);
      if (end == std::string::npos) end = path.size();
      const std::string part = path.substr(start, end - start);
      if (!part.empty() && part != "." && part != ".." && !IsShortName(part)) {
        Report(place, "not-8.3",
               Quoted(part) + " in " + where +
                   " is no 8.3 name (up to eight letters, digits or _, a dot and up to three more): a CD "
                   "written "
                   "without long names (plain ISO 9660) and some floppy tools cannot carry it, and the "
                   "launcher then "
                   "finds nothing there");
      }
      start = end + 1;
    }
  }

  struct MessageNeed {
    std::string key;
    Place place;
    std::string why;
  };

  const sim::ProfileFile& file_;
  std::string_view text_;
  const DiskToLint& disk_;
  LeadBytes leadBytes_;
  std::vector<Finding> findings_;
  std::map<unsigned, std::set<std::string>> disabled_;              // by line: checks silenced there
  std::map<std::string, std::pair<std::string, Place>> cardLists_;  // folded name: name, first place
  std::map<std::string, std::pair<std::string, Place>> programs_;
  std::set<std::string> programsThatRun_;  // folded names of Exec sections a read script runs
  std::map<std::string, MessageNeed> messagesNeeded_;
  std::set<std::string> reportedSubDir_;
  std::set<std::string> scripted_;         // systems with a script the launcher reads
  std::map<std::string, Place> installs_;  // systems whose script reaches Install, and its place
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
  const std::string text = sim::ProfileText(sim::HasUtf8Mark(bytes) ? bytes.substr(3) : bytes, reading);
  const sim::ProfileFile file(text);
  return Linter(file, text, disk).Run();
}

std::string RenderFindings(const std::vector<Finding>& findings, const std::string& path, uint32_t codePage) {
  std::string out;
  for (const Finding& finding : findings) {
    out += path + ":" + std::to_string(finding.line) + ":" + std::to_string(finding.column) + ": " +
           SeverityName(finding.severity) + ": " + ToUtf8(finding.message, codePage) + finding.detail + " [" +
           finding.check + "]\n";
  }
  return out;
}

std::string RenderFindingsJson(const std::vector<Finding>& findings, const std::string& path,
                               uint32_t codePage) {
  std::string out;
  for (const Finding& finding : findings) {
    const nlohmann::ordered_json object = {{"file", path},
                                           {"line", finding.line},
                                           {"column", finding.column},
                                           {"severity", SeverityName(finding.severity)},
                                           {"check", finding.check},
                                           {"message", ToUtf8(finding.message, codePage) + finding.detail}};
    out += object.dump() + "\n";
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
