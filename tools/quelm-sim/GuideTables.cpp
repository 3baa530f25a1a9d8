// Markdown tables of the guide, from the command table, the system names, the releases and the checks.
#include "GuideTables.h"

#include "app/ScriptCommands.h"
#include "lint/DiskLint.h"
#include "probe/OsKind.h"
#include "sim/WindowsReleases.h"

namespace quelm::tool {

std::string SystemNamesTable() {
  std::string table = "| Key | Windows releases that read it |\n|---|---|\n";
  for (const OsKindName& system : kOsKindNames) {
    const std::string releases = sim::ReleasesOf(system.Kind());
    table += std::string("| `") + system.name + "` | " +
             (releases.empty() ? "none: no release reports the version it asks for" : releases) + " |\n";
  }
  return table;
}

std::string CommandWordsTable() {
  std::string table = "| Token | Command | `lint` checks |\n|---|---|---|\n";
  for (unsigned index = 0; index < kScriptCommandCount; ++index) {
    const ScriptCommand& command = kScriptCommands[index];
    const CommandRule* rule = CommandRuleFor(command.kind);
    const std::string token = command.match == WordMatch::kPrefix
                                  ? std::string("begins with `") + command.word + "`"
                                  : std::string("`") + command.word + "` (the whole token)";
    table += "| " + token + " | " + (rule != nullptr ? rule->does : "?") + " | " +
             (rule != nullptr ? rule->checks : "?") + " |\n";
  }
  return table;
}

std::string ChecksTable() {
  std::string table =
      "| Check | Severity | What goes wrong on the user's machine | Releases it concerns |\n|---|---|---|---|\n";
  for (const Check& check : Checks()) {
    table += std::string("| `") + check.name + "` | " +
             (check.severity == Severity::kError ? "error" : "warning") + " | " + check.finds + " | " +
             check.concerns + " |\n";
  }
  return table;
}

}  // namespace quelm::tool
