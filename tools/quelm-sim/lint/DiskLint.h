// quelm-sim lint: the likely mistakes in a disk, found with the launcher's own rules.
#pragma once

#include <stdint.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/ScriptCommands.h"
#include "pci/PciIds.h"
#include "sim/SimFileSystem.h"
#include "sim/SimProfile.h"
#include "sim/WindowsReleases.h"

namespace quelm::tool {

enum class Severity { kWarning, kError };

// Every check, in the order the guide lists them: the one list of their names.
struct Check {
  const char* name;
  Severity severity;
  const char* finds;     // what goes wrong on the user's machine, as the guide says it
  const char* concerns;  // the Windows releases it concerns, as the guide says it
};
const std::vector<Check>& Checks();
// The check of that name; null for none.
const Check* CheckNamed(std::string_view name);

// What each command word does and what lint checks of a token that selects it. Keyed by the core's
// command table, so that a command without its rule is found (by a test, and by the compiler's switch
// over the kinds).
struct CommandRule {
  CommandKind kind;
  const char* does;    // what the command does, as the guide says it
  const char* checks;  // what lint checks of its tokens
};
const CommandRule* CommandRuleFor(CommandKind kind);

// A change that mends a finding exactly: the bytes [offset, offset + length) of the file as lint read
// it become `replacement`; or a change of the whole file, which comes first.
enum class FileFix {
  kNone,
  kRemoveUtf8Mark,  // the three bytes of a UTF-8 mark go
  kToCodePage,      // UTF-8 or UTF-16 text becomes 8-bit text in the disk's code page, without a mark
  kCrLfLineEnds,    // every line ends in CR LF
};
struct Fix {
  FileFix file = FileFix::kNone;
  size_t offset = 0;
  size_t length = 0;
  std::string replacement;
};

struct Finding {
  unsigned line = 0;    // of `file`, from 1; the line of what refers to a missing entry
  unsigned column = 1;  // of that line, in bytes from 1
  Severity severity = Severity::kWarning;
  std::string check;               // its name, as the disk authors' guide lists them
  std::string message;             // in the disk's code page, as the disk's texts it quotes
  std::vector<std::string> notes;  // which releases meet it, what happens instead; in the code page
  std::string help;                // how to mend it, where that is plain; in the code page
  std::optional<Fix> fix;          // where --fix can mend it exactly
  std::string source;              // the line, as lint read it, for showing it under the message
  // The disk's file the line belongs to, as Windows names it from the disk's root ("AUTORUN.INF");
  // empty for QUELM.INI. A finding about the disk or image as a whole has line 0.
  std::string file;
};

struct Medium;

// A disk to check: its QUELM.INI byte for byte, and its files.
struct DiskToLint {
  std::string bytes;
  // The disk as drive D:, QUELM.EXE starting from its root; null when only the file is checked.
  const sim::FileSystem* files = nullptr;
  uint32_t codePage = 1252;  // the systems' ANSI code page, which the disk's texts are written in
  // The installer program joins the disk later: its absence is no finding.
  bool installerJoinsLater = false;
  // Checks left out of this run (--no-check).
  std::set<std::string> skippedChecks;
  // Names for the vendor and device IDs of card entries (--pci-ids); none without it, so that the
  // output is the same on every machine.
  const PciIds* pciIds = nullptr;
  // The image the disk is, where it is one: each release reads its trees as it does
  // (medium/ReleaseView.h); null for a folder.
  const Medium* medium = nullptr;
};

// An image as lint reads it: drive D: as the release that reads the most of any image sees it (the
// newest: Joliet where there is one, ISO 9660 names in any case, long FAT names), the image checks
// saying where other releases see less; and its QUELM.INI as the releases find it, from that drive
// or else from the first release's that has one. Nothing where no release finds one.
struct ImageDisk {
  sim::FileSystem files;
  std::optional<std::string> ini;
};
ImageDisk ImageDiskOf(const Medium& medium, uint32_t codePage);
const sim::WindowsRelease& WidestReadingRelease();

// Every finding, by line and column. The file is read as the launcher reads it (the simulated profile
// reader, the comma rule, the command table, the buffer sizes, the number reading) and compared with
// what each line plainly means; a difference is reported where it changes what the launcher does, with
// the releases it concerns. Each script is also run, by the launcher's own code on the simulated machine,
// on a few reference machines (its cards present and registered, present only, absent; with and without
// the USB supplement) for what cannot work as meant. Scripts the launcher never reads and tokens that
// never run are checked all the same, so that one pass finds every mistake. A comment line
// "; quelm-lint: disable=CHECK[,CHECK]" silences those checks on the next line that holds anything else.
std::vector<Finding> LintDisk(const DiskToLint& disk);

// "PATH:LINE:COLUMN: warning|error: message [check]", the source line with a caret under the column,
// then "note:" and "help:" lines; and one JSON object per finding and line. The disk's texts are in
// `codePage`; the output is valid UTF-8 whatever the file holds. `path` is QUELM.INI as the user named
// it; a finding in another of the disk's files is shown at that file's path (FindingPath).
std::string RenderFindings(const std::vector<Finding>& findings, const std::string& path, uint32_t codePage);
std::string RenderFindingsJson(const std::vector<Finding>& findings, const std::string& path,
                               uint32_t codePage);
// Where a finding is: `iniPath` for QUELM.INI; for another file of the disk, that file beside it.
std::string FindingPath(const Finding& finding, const std::string& iniPath);
// "N errors, N warnings", or that there is nothing to report.
std::string SummaryOf(const std::vector<Finding>& findings, const std::string& path);

// The file with every exact fix applied, linting again after each round (a file's encoding first, then
// its lines) until no fix is left; `applied` counts them. Lines lint cannot mend exactly stay as written.
struct FixedFile {
  std::string bytes;
  unsigned applied = 0;
};
FixedFile FixDisk(const DiskToLint& disk);

}  // namespace quelm::tool
