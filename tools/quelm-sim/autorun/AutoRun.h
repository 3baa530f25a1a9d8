// How each Windows release starts the launcher from a disk: its AUTORUN.INF as that release reads it,
// the release's AutoRun rules, and the program, command line and current directory that result.
#pragma once

#include <stdint.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"
#include "sim/SimFileSystem.h"

namespace quelm::tool {

// What the disk is to AutoRun: a CD (an ISO 9660 image, and a folder, taken as a CD) or a floppy (a FAT
// image).
enum class DiskKind { kCd, kFloppy };

// Who starts the launcher: AutoRun from the disk's AUTORUN.INF, a double-click in Explorer (File
// Manager on Windows NT 3.x and Win32s), or a command line of the user's own (--cwd, --tail,
// --launcher-dir).
enum class StartedBy { kAutoRun, kExplorer, kCommand };

// "autorun", "explorer", "command".
const char* StartedByName(StartedBy by);
std::optional<StartedBy> StartedByNamed(std::string_view name);

// The launcher's own file name: AutoRun starts the launcher only where its entry names this file.
inline constexpr const char* kLauncherFile = "QUELM.EXE";

// One program line of [autorun] (open= or shellexecute=), taken apart as Windows takes it apart.
struct AutoRunCommand {
  std::string key;          // "open" or "shellexecute", as the file writes it
  unsigned line = 0;        // of AUTORUN.INF
  std::string value;        // as the profile reader hands it over: quotes around the whole value removed
  std::string program;      // the program part, without its quotes: "SETUP\QUELM.EXE"
  std::string programPath;  // on the disk: "D:\SETUP\QUELM.EXE"
  bool programExists = false;
  bool quoted = false;         // the program part stands in quotes
  bool unquotedBlank = false;  // the program part has a blank and no quotes around it
  std::string parameters;      // what follows the program part, blanks before it removed
  bool namesLauncher = false;  // the program part's file name is QUELM.EXE, in any case
  // The program's first bytes say it is a 32-bit Windows program ("MZ" then "PE\0\0" where the MZ
  // header points); nothing for a program that is absent or an empty file (one that joins the disk
  // later).
  std::optional<bool> win32Program;
};

// AUTORUN.INF in the root of a drive, as one release reads it.
struct AutoRunFile {
  bool present = false;
  std::string bytes;         // the file as the release reads it
  bool hasSection = false;   // an [autorun] section, in any case
  unsigned sectionLine = 0;  // its header's line
  std::optional<AutoRunCommand> open;
  std::optional<AutoRunCommand> shellExecute;
  std::string icon;
  std::string label;
};

// Reads AUTORUN.INF from the root of `drive` as a release that reports `version` reads it: the file's
// name found without regard to case, as every Windows file system finds names; its bytes through the
// profile reader of that release (SimProfile), since Explorer reads the file with the profile functions
// of its own system.
AutoRunFile ReadAutoRunFile(const sim::FileSystem& files, char drive, const VersionRecord& version,
                            uint32_t codePage);

// Takes a program line apart: a program in quotes, or else the shortest run of words up to a blank
// that names a file on the drive (CreateProcess's documented reading of an unquoted name with blanks,
// ".exe" added where the name has no extension), or else the first word.
AutoRunCommand TakeApart(const sim::FileSystem& files, char drive, std::string key, unsigned line,
                         std::string value);

// What a release does with an AutoRun-enabled disk of a kind.
struct AutoRunRule {
  bool runsEntry = false;     // AutoRun runs the disk's entry when the disk is inserted
  bool asksFirst = false;     // AutoPlay shows its dialog first, and the user picks the program
  bool shellExecute = false;  // the release reads shellexecute=
  std::string why;            // the rule and its evidence, in a few words
};
AutoRunRule RuleOf(const VersionRecord& version, DiskKind kind);

// The entry AutoRun runs on that release: open= where it has a program, else shellexecute= where the
// release reads it; null where it runs none.
const AutoRunCommand* EntryRun(const AutoRunFile& file, const AutoRunRule& rule);

// How the launcher starts, once the disk and the release are known.
struct LauncherStart {
  StartedBy by = StartedBy::kExplorer;
  std::string program;             // the launcher's path: "D:\QUELM.EXE"
  std::string commandLine;         // what GetCommandLine gives it
  std::string currentDirectory;    // what GetCurrentDirectory gives it
  std::string launcherDirectory;   // the program's folder, where Windows looks for the installer first
  std::string why;                 // which rule of which release
  bool asksFirst = false;          // AutoPlay's dialog asked first
  std::vector<std::string> notes;  // what was taken where Windows' documents are silent; what starts instead
  // The start is the one every run had before AUTORUN.INF was read: Explorer, D:\QUELM.EXE, no tail.
  bool plain = false;
  std::string driveLabel;  // label= and icon= as read, for what Explorer shows for the drive
  std::string driveIcon;
};

// The start on a release: `asked` is --started-by (autorun or explorer), nothing for the default,
// which is AutoRun where the release runs an entry naming the launcher, Explorer otherwise. Asked for
// AutoRun where the release runs no entry or one that is not the launcher, the launcher starts from
// Explorer and a note says why.
LauncherStart PlanStart(const AutoRunFile& file, const VersionRecord& version, DiskKind kind,
                        std::optional<StartedBy> asked);

}  // namespace quelm::tool
