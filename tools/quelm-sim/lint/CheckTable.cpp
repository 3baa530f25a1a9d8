// The check table and the rules of each command word: the one list of lint's checks, which the guide,
// --no-check and the disable comments all take from.
#include "lint/DiskLint.h"

namespace quelm::tool {

namespace {

constexpr const char* kReadingScript = "the releases whose script holds the line";
constexpr const char* kEvery = "every release";
constexpr const char* kNineX = "Windows 95, 98 and Me, Win32s";
constexpr const char* kImageReaders = "the releases that read the image so (each finding names them)";
constexpr const char* kAutoRunning =
    "the releases that run AutoRun from a CD: Windows 95 to 11, NT 4.0 included";

}  // namespace

const std::vector<Check>& Checks() {
  static const std::vector<Check> kChecks = {
      {"unknown-command", Severity::kWarning,
       "a token that selects no command does nothing (the nearest command word is suggested)",
       kReadingScript},
      {"leading-blank", Severity::kWarning,
       "a token or field that begins with a blank: the token selects nothing, ` AGP` is not AGP, "
       "` 1` gives pass flag 0, ` [CWD]` is no folder",
       kReadingScript},
      {"trailing-blank", Severity::kWarning,
       "a field that ends with a blank the reader keeps: `AGP ` is not AGP, a file `README.TXT ` is not "
       "found, a token `DetectCard<tab>` names a section with the tab",
       kReadingScript},
      {"quoted-field", Severity::kWarning,
       "a token or field in quotes: the reader removes quotes around a whole value only, "
       "so `\"AGP\"` is not AGP and `\"6699\"` reads as 0",
       kReadingScript},
      {"end-not-whole", Severity::kWarning,
       "`End` with anything after it (`End.`, `End `) is not `End`: the run goes on", kReadingScript},
      {"unreachable-token", Severity::kWarning, "tokens after a `ShowMsg` or an `End` never run",
       kReadingScript},
      {"never-runs", Severity::kWarning,
       "a token that runs on no reference machine: a message never shown, an installer never started, "
       "because an earlier command always ends the script there",
       kReadingScript},
      {"no-card-before", Severity::kError,
       "`CheckPCIKey` or `Install` with no card list that found a card before it: "
       "the key check looks for empty IDs, the installer gets none",
       kReadingScript},
      {"commas-only", Severity::kError,
       "a script of commas only runs nothing, and shows no `NotSupport` either", kReadingScript},
      {"no-script", Severity::kError, "no Windows version has a script: every one shows `NotSupport`",
       kEvery},
      {"unknown-system", Severity::kWarning,
       "an `[Application]` key that no Windows version reads (the nearest name is suggested)", "none"},
      {"no-bus-access", Severity::kWarning,
       "a card list in a script for a release that gives programs no way to the PCI bus: "
       "no card is ever found there",
       "Windows NT 3.1, 3.5, 3.51 and 4.0, Win32s"},
      {"no-enumerator", Severity::kWarning,
       "`CheckPCIKey` in a script for Windows NT, which has no `Enum\\PCI` tree: it always fails there",
       "every Windows NT"},
      {"install-not-offered", Severity::kWarning,
       "`Install` in a script for a system it does not serve: the `NotSupport` message, then the run ends",
       "every release but Windows 95 (first release, OSR2, OSR2.5) and 98"},
      {"missing-subdir", Severity::kWarning,
       "a system whose script installs but has no `[SubDir]` entry: the installer gets the disk's folder",
       "Windows 95 and 98"},
      {"subdir-without-backslash", Severity::kWarning, "`W98=WIN98` makes `D:WIN98`, not `D:\\WIN98`",
       "Windows 95 and 98"},
      {"unused-subdir", Severity::kWarning, "a `[SubDir]` key that is never read", "none"},
      {"missing-card-list", Severity::kError,
       "a card-list token whose section is missing or has no entry `1`: the card is never found "
       "(the nearest section name is suggested)",
       kReadingScript},
      {"card-list-gap", Severity::kWarning, "entries after a gap in the numbering are never read",
       kReadingScript},
      {"short-card-entry", Severity::kWarning, "an entry with fewer than five fields", kReadingScript},
      {"not-decimal", Severity::kError,
       "a vendor or device ID written in hexadecimal (`0x1A2B` reads as 0, `1A2B` as 1), with words, "
       "or beyond 65535 (its decimal form is suggested)",
       kReadingScript},
      {"leading-zero-id", Severity::kWarning,
       "an ID with a leading zero, as lspci writes hexadecimal ones: `0421` is decimal 421 to the launcher, "
       "hexadecimal 0421 is 1057; both readings are shown, with the card each names where --pci-ids is given",
       kReadingScript},
      {"not-agp", Severity::kWarning,
       "a bus type that plainly means AGP but is not `AGP` (`AGP4X`, `AGP 2x`): the card is handed over "
       "at its bus location instead of 000800",
       kReadingScript},
      {"missing-program", Severity::kError,
       "an `Exec` section without a `program` line: nothing opens (the nearest section name is suggested)",
       kReadingScript},
      {"short-program-line", Severity::kWarning, "a program line with fewer than three fields",
       kReadingScript},
      {"exec-opens-nothing", Severity::kWarning,
       "an `Exec` command that opens nothing on a reference machine: its line names no file, "
       "or is too long once `[CWD]` is expanded",
       kReadingScript},
      {"lower-case-macro", Severity::kWarning, "`[cwd]` or `[Os]` stays as written", kReadingScript},
      {"missing-message", Severity::kWarning,
       "a message that a script can show has no text: an empty box (the nearest key is suggested)",
       kReadingScript},
      {"escape-in-path", Severity::kWarning,
       "`\\n` or `\\t` inside a path (`C:\\new`, `D:\\DRIVERS\\tools`) breaks the line or makes a tab",
       kEvery},
      {"value-too-long", Severity::kWarning, "a value longer than its buffer is cut", kEvery},
      {"duplicate-section", Severity::kWarning,
       "a second section of a name (a second `[Message]`, say) is never read", kEvery},
      {"duplicate-key", Severity::kWarning, "a second line of a key in a section is never read", kEvery},
      {"not-a-profile", Severity::kError,
       "the file is no profile file (NUL bytes, a disk image, no section header at all): "
       "nothing in it is read as meant",
       kEvery},
      {"utf8-mark", Severity::kError,
       "the file begins with a UTF-8 mark, which no Windows recognises: what line 1 holds "
       "(`[Application]`, say) is not what it seems; "
       "a mark before a comment or a blank line hides nothing and is not reported",
       kEvery},
      {"utf16-file", Severity::kError,
       "a UTF-16 file where a script for Windows 9x or NT 3.x/4.0 exists: "
       "those systems read bytes and find nothing",
       "Windows 95 to Me, NT 3.x and 4.0, Win32s"},
      {"utf8-text", Severity::kWarning,
       "a line of UTF-8 text in an 8-bit file, with how it shows in the disk's code page "
       "(`quelm-sim lint --fix` converts the file)",
       kEvery},
      {"not-in-code-page", Severity::kWarning,
       "a character the disk's code page lacks: no 8-bit file can hold it, and Windows shows "
       "something else there",
       kEvery},
      {"cr-line-ends", Severity::kError,
       "lines that end in CR alone (as old Mac editors write them) where a script for Windows 9x exists: "
       "those systems do not read them as lines",
       kNineX},
      {"long-file", Severity::kError,
       "a file over 64 KB where a script for Windows 95, 98 or Me exists: "
       "they read only the first 65,536 bytes (the line where that part ends is named)",
       kNineX},
      {"missing-installer", Severity::kError,
       "`vadrun.exe` is not in the disk's root although a script can reach `Install`: "
       "the `InstallFailed` message instead of an installation "
       "(`--installer present` when it joins the disk later)",
       "Windows 95 and 98"},
      {"missing-folder", Severity::kError,
       "the `[SubDir]` folder of a system that installs is not on the disk", "Windows 95 and 98"},
      {"missing-file", Severity::kError,
       "an `Exec` file or working directory on the disk "
       "(after `[CWD]` becomes the disk's root) is not there: the shell opens nothing, "
       "and nobody is told",
       kReadingScript},
      {"not-8.3", Severity::kWarning,
       "a name the disk uses (a `[SubDir]` folder, "
       "an `Exec` file or folder) that a CD without long names cannot carry",
       "every release, from a CD without long names"},
      // The disk as burnt: an image, read as each release reads it.
      {"image-lacks-ini", Severity::kError,
       "a release that finds no `QUELM.INI` on the image (another tree, a name in small letters, Rock Ridge "
       "alone): no script runs there, and the `NotSupport` message it shows is empty",
       kImageReaders},
      {"name-not-on-release", Severity::kError,
       "a file or folder the INI names (`vadrun.exe`, a `[SubDir]` folder, an `Exec` file or folder) that "
       "lint's reading of the image has and a release's does not, or has under another name "
       "(`READ_ME_.TXT` for `Read me first.txt`)",
       kImageReaders},
      {"joliet-name-cut", Severity::kWarning,
       "a Joliet name of 64 characters, the length mastering tools cut longer names to: the name the INI "
       "gives is not found",
       "Windows 95 and later, NT 4.0 and later (the releases that read Joliet)"},
      {"lower-case-iso-name", Severity::kWarning,
       "an ISO 9660 name in small letters: not found, nor anything in such a folder",
       "Windows NT 3.1 to 2000"},
      {"path-too-deep", Severity::kWarning,
       "an ISO 9660 path of more than eight names, or any path longer than 255 characters: beyond ISO "
       "9660's limits and near Windows' 260",
       kImageReaders},
      {"rock-ridge-only-name", Severity::kWarning,
       "a name that only the Rock Ridge entries give (`genisoimage -R` without `-J`): no Windows reads them",
       kEvery},
      {"names-fold-together", Severity::kWarning,
       "two names of one folder that a release takes for one (case, `;1`, a trailing dot): only the first is "
       "found",
       kImageReaders},
      // AUTORUN.INF, read per release as AutoRun reads it (autorun/AutoRun.h).
      {"autorun-no-section", Severity::kWarning,
       "`AUTORUN.INF` has no `[autorun]` section: AutoRun starts nothing, and the user must find QUELM.EXE",
       kAutoRunning},
      {"autorun-no-open", Severity::kWarning,
       "`[autorun]` names no program the release reads (no `open=`; `shellexecute=` only where the release "
       "reads it): AutoRun starts nothing",
       kAutoRunning},
      {"autorun-program-missing", Severity::kError,
       "the program `open=` or `shellexecute=` names is not on the disk as a release reads it: AutoRun "
       "starts nothing there",
       kAutoRunning},
      {"autorun-unquoted-blank", Severity::kError,
       "a program name with a blank and no quotes (the profile reader removes quotes around a whole value): "
       "the launcher reads the rest of its own name as its command tail, so its base directory is wrong",
       kAutoRunning},
      {"autorun-base-without-ini", Severity::kError,
       "AutoRun starts the launcher with a current directory and command tail that make a base directory "
       "without `QUELM.INI` (a launcher in a folder, started without the folder as its tail): the "
       "`NotSupport` message instead of a script",
       kAutoRunning},
      {"autorun-not-started", Severity::kWarning,
       "AutoRun starts a program that is not the launcher (another program, a 16-bit one), or no release "
       "runs the entry at all (a floppy): the user starts QUELM.EXE from Explorer, in its own folder",
       kAutoRunning},
      {"lint-directive", Severity::kWarning, "a `; quelm-lint: disable=` comment that names no check",
       "none"},
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
       "the section and its entry 1, every entry's fields against what they plainly mean, the token's message, "
       "a card list where no program reaches the bus"},
      {CommandKind::kCheckPciKey,
       "checks that Windows 9x registered the card (`HKLM\\Enum\\PCI`); if not: "
       "message `CheckPCIKey`, the script ends",
       "the `CheckPCIKey` message, the check on Windows NT, a card list before it"},
      {CommandKind::kShowMsg, "shows the token's message, and the script ends",
       "the token's message, tokens after it, a path that reaches it"},
      {CommandKind::kShowUsbMsg,
       "unless the Windows 95 USB supplement is installed, asks with OK and Cancel; Cancel ends the run",
       "the token's message, a path that reaches it"},
      {CommandKind::kInstall,
       "hands the card to `vadrun.exe` (Windows 95 and 98 only; elsewhere the `NotSupport` message)",
       "`vadrun.exe` on the disk, the `[SubDir]` entry and its folder, "
       "the `InstallFailed` and `NotSupport` messages, the systems it serves, a card list before it"},
      {CommandKind::kExec, "opens the section's `program` line through the shell",
       "the `program` line, its fields and macros, its file and working directory on the disk, their names, "
       "whether anything opens"},
      {CommandKind::kEnd, "ends the run", "tokens after it; `End` followed by anything"},
  };
  for (const CommandRule& rule : kRules) {
    if (rule.kind == kind) return &rule;
  }
  return nullptr;
}

}  // namespace quelm::tool
