// The check table and the rules of each command word: the one list of lint's checks, which the guide,
// --no-check and the disable comments all take from.
#include "lint/DiskLint.h"

namespace quelm::tool {

const std::vector<Check>& Checks() {
  static const std::vector<Check> kChecks = {
      {"unknown-command", Severity::kWarning,
       "a token that selects no command does nothing (the nearest command word is suggested)"},
      {"leading-blank", Severity::kWarning,
       "a token, bus type or pass flag that begins with a blank: the token selects nothing, "
       "` AGP` is not AGP, ` 1` gives pass flag 0"},
      {"end-not-whole", Severity::kWarning,
       "`End` with anything after it (`End.`, `End `) is not `End`: the run goes on"},
      {"unreachable-token", Severity::kWarning, "tokens after a `ShowMsg` or an `End` never run"},
      {"commas-only", Severity::kError,
       "a script of commas only runs nothing, and shows no `NotSupport` either"},
      {"no-script", Severity::kError, "no Windows version has a script: every one shows `NotSupport`"},
      {"unknown-system", Severity::kWarning, "an `[Application]` key that no Windows version reads"},
      {"no-bus-access", Severity::kWarning,
       "a card list in a script for Windows NT 3.x or 4.0, "
       "which give programs no way to the PCI bus: no card is ever found there"},
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
       "the file begins with a UTF-8 mark, which no Windows recognises: what line 1 holds "
       "(`[Application]`, say) is not what it seems; "
       "a mark before a comment or a blank line hides nothing and is not reported"},
      {"utf16-file", Severity::kError,
       "a UTF-16 file where a script for Windows 9x or NT 3.x/4.0 exists: "
       "those systems read bytes and find nothing"},
      {"utf8-text", Severity::kWarning,
       "a line of UTF-8 text in an 8-bit file, "
       "with how it shows in the disk's code page and the `iconv` line that converts the file"},
      {"long-file", Severity::kError,
       "a file over 64 KB where a script for Windows 95, 98 or Me exists: "
       "they read only the first 65,536 bytes (the line where that part ends is named)"},
      {"missing-installer", Severity::kError,
       "`vadrun.exe` is not in the disk's root although a script can reach `Install`: "
       "the `InstallFailed` message instead of an installation "
       "(`--installer present` when it joins the disk later)"},
      {"missing-folder", Severity::kError,
       "the `[SubDir]` folder of a system that installs is not on the disk"},
      {"missing-file", Severity::kError,
       "an `Exec` file or working directory on the disk "
       "(after `[CWD]` becomes the disk's root) is not there: the shell opens nothing, "
       "and nobody is told"},
      {"not-8.3", Severity::kWarning,
       "a name the disk uses (a `[SubDir]` folder, "
       "an `Exec` file or folder) that a CD without long names cannot carry"},
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
       "runs the card list of the section named as the token; no card found: the token's message, "
       "the script ends",
       "the section and its entry 1, every entry's fields, the token's message, "
       "a card list on Windows NT 3.x/4.0"},
      {CommandKind::kCheckPciKey,
       "checks that Windows 9x registered the card (`HKLM\\Enum\\PCI`); if not: "
       "message `CheckPCIKey`, the script ends",
       "the `CheckPCIKey` message, the check on Windows NT"},
      {CommandKind::kShowMsg, "shows the token's message, and the script ends",
       "the token's message, tokens after it"},
      {CommandKind::kShowUsbMsg,
       "unless the Windows 95 USB supplement is installed, asks with OK and Cancel; Cancel ends the run",
       "the token's message"},
      {CommandKind::kInstall,
       "hands the card to `vadrun.exe` (Windows 95 and 98 only; elsewhere the `NotSupport` message)",
       "`vadrun.exe` on the disk, the `[SubDir]` entry and its folder, "
       "the `InstallFailed` and `NotSupport` messages, the systems it serves"},
      {CommandKind::kExec, "opens the section's `program` line through the shell",
       "the `program` line, its fields and macros, its file and working directory on the disk, their names"},
      {CommandKind::kEnd, "ends the run", "tokens after it; `End` followed by anything"},
  };
  for (const CommandRule& rule : kRules) {
    if (rule.kind == kind) return &rule;
  }
  return nullptr;
}

}  // namespace quelm::tool
