// quelm-sim lint: the likely mistakes in a disk, found with the launcher's own rules.
#pragma once

#include <stdint.h>

#include <set>
#include <string>
#include <vector>

#include "app/ScriptCommands.h"
#include "sim/SimFileSystem.h"
#include "sim/SimProfile.h"

namespace quelm::tool {

enum class Severity { kWarning, kError };

// Every check, in the order the guide lists them: the one list of their names.
struct Check {
  const char* name;
  Severity severity;
  const char* finds;  // what goes wrong on the user's machine, as the guide says it
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

struct Finding {
  unsigned line = 0;    // of QUELM.INI, from 1; the line of what refers to a missing entry
  unsigned column = 1;  // of that line, in bytes from 1
  Severity severity = Severity::kWarning;
  std::string check;    // its name, as the disk authors' guide lists them
  std::string message;  // in the disk's code page, as the disk's texts it quotes
  std::string detail;   // in UTF-8, shown after the message: text as the author wrote it, say
};

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
};

// Every finding, by line and column. The file is read as the launcher reads it (the simulated profile
// reader, the comma rule, the command table, the buffer sizes), and its bytes as each Windows version
// takes them; scripts the launcher never reads and tokens that never run are checked all the same, so
// that one pass finds every mistake. A comment line "; quelm-lint: disable=CHECK[,CHECK]" silences those
// checks on the next line that holds anything else.
std::vector<Finding> LintDisk(const DiskToLint& disk);

// "PATH:LINE:COLUMN: warning|error: message [check]", one line each; and one JSON object per line. The
// disk's texts in the messages are in `codePage`; the output is UTF-8. `path` is the file as the user
// named it.
std::string RenderFindings(const std::vector<Finding>& findings, const std::string& path, uint32_t codePage);
std::string RenderFindingsJson(const std::vector<Finding>& findings, const std::string& path,
                               uint32_t codePage);
// "N errors, N warnings", or that there is nothing to report.
std::string SummaryOf(const std::vector<Finding>& findings, const std::string& path);

}  // namespace quelm::tool
