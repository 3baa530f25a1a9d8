// AUTORUN.INF read as each release reads it, the releases' AutoRun rules with their evidence, and the
// start of the launcher they make: the one model run and lint both use.
#include "autorun/AutoRun.h"

#include <algorithm>

#include "config/Text.h"
#include "sim/SimProfile.h"
#include "sim/SimText.h"

namespace quelm::tool {

namespace {

// The drive's path for a name the entry gives: below the root (a name without a path lies in the
// drive's root directory, MSDN's AutoRun.inf entries say), from the root where it begins with a
// backslash, as written where it has a drive.
std::string OnDrive(char drive, const std::string& name) {
  if (name.size() >= 2 && name[1] == ':') return name;
  const std::string root = std::string(1, drive) + ":";
  return name.rfind('\\', 0) == 0 ? root + name : root + "\\" + name;
}

bool IsFile(const sim::FileSystem& files, char drive, const std::string& path) {
  return files.EntryAt(path, drive) == sim::FileSystem::Entry::kFile;
}

// The last part of a path.
std::string FileNameOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// "MZ", and "PE\0\0" where the MZ header's e_lfanew (at 0x3C) points: a Win32 image. A 16-bit program
// has "NE" there, an MS-DOS program neither.
std::optional<bool> IsWin32Image(const sim::FileSystem& files, char drive, const std::string& path) {
  const std::optional<std::string> bytes = files.ReadFile(path, drive);
  if (!bytes || bytes->empty()) return std::nullopt;
  if (bytes->size() < 0x40 || bytes->compare(0, 2, "MZ") != 0) return false;
  const auto byte = [&bytes](size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>((*bytes)[at]));
  };
  const size_t header = byte(0x3C) | byte(0x3D) << 8 | byte(0x3E) << 16 | byte(0x3F) << 24;
  return header + 4 <= bytes->size() && bytes->compare(header, 4, std::string("PE\0\0", 4)) == 0;
}

std::optional<AutoRunCommand> ReadCommand(const sim::FileSystem& files, char drive,
                                          const sim::ProfileFile& profile, const char* key) {
  const sim::ProfileFile::KeyLine* line = sim::ProfileFile::KeyNamed(profile.SectionNamed("autorun"), key);
  if (line == nullptr || !line->hasValue) return std::nullopt;
  // How much of a line Explorer reads is not documented; the whole value is taken, quotes around the
  // whole of it removed as the profile functions remove them.
  std::string value(line->value.size() + 1, '\0');
  value.resize(sim::CopyValue(line->value, value.data(), static_cast<uint32_t>(value.size())));
  return TakeApart(files, drive, line->name, line->line, std::move(value));
}

// The folder a program on the drive lies in, as GetCurrentDirectory writes it: "D:\\" for the root,
// "D:\\SETUP" below it.
std::string FolderOf(const std::string& programPath) {
  const size_t cut = programPath.find_last_of('\\');
  if (cut == std::string::npos) return programPath;
  return cut <= 2 ? programPath.substr(0, cut + 1) : programPath.substr(0, cut);
}

}  // namespace

const char* StartedByName(StartedBy by) {
  switch (by) {
    case StartedBy::kAutoRun:
      return "autorun";
    case StartedBy::kExplorer:
      return "explorer";
    case StartedBy::kCommand:
      return "command";
  }
  return "command";
}

std::optional<StartedBy> StartedByNamed(std::string_view name) {
  for (const StartedBy by : {StartedBy::kAutoRun, StartedBy::kExplorer, StartedBy::kCommand}) {
    if (name == StartedByName(by)) return by;
  }
  return std::nullopt;
}

AutoRunCommand TakeApart(const sim::FileSystem& files, char drive, std::string key, unsigned line,
                         std::string value) {
  AutoRunCommand command;
  command.key = std::move(key);
  command.line = line;
  command.value = std::move(value);
  const std::string& text = command.value;
  size_t end = 0;  // where the program part ends in `text`
  if (!text.empty() && text.front() == '"') {
    const size_t close = text.find('"', 1);
    command.quoted = true;
    command.program = text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    end = close == std::string::npos ? text.size() : close + 1;
  } else {
    // "c:\program files\sub dir\program name" is tried as c:\program.exe, then c:\program files\sub.exe,
    // and so on (Platform SDK, CreateProcess, lpCommandLine); how AutoRun hands its line over is not
    // documented, and this reading is taken.
    const auto found = [&files, drive](const std::string& candidate) {
      const bool noExtension = FileNameOf(candidate).find('.') == std::string::npos;
      return IsFile(files, drive, OnDrive(drive, candidate)) ||
             (noExtension && IsFile(files, drive, OnDrive(drive, candidate + ".EXE")));
    };
    end = std::string::npos;
    for (size_t blank = text.find(' '); blank != std::string::npos && end == std::string::npos;
         blank = text.find(' ', blank + 1)) {
      if (found(text.substr(0, blank))) end = blank;
    }
    if (end == std::string::npos) end = found(text) ? text.size() : std::min(text.find(' '), text.size());
    command.program = text.substr(0, end);
    command.unquotedBlank = command.program.find(' ') != std::string::npos;
  }
  const size_t rest = text.find_first_not_of(' ', end);
  command.parameters = rest == std::string::npos ? "" : text.substr(rest);
  command.programPath = OnDrive(drive, command.program);
  const bool noExtension = FileNameOf(command.program).find('.') == std::string::npos;
  if (!IsFile(files, drive, command.programPath) && noExtension &&
      IsFile(files, drive, command.programPath + ".EXE")) {
    command.programPath += ".EXE";
  }
  command.programExists = IsFile(files, drive, command.programPath);
  command.namesLauncher = sim::Upper(FileNameOf(command.programPath)) == kLauncherFile;
  command.win32Program = IsWin32Image(files, drive, command.programPath);
  return command;
}

AutoRunFile ReadAutoRunFile(const sim::FileSystem& files, char drive, const VersionRecord& version,
                            uint32_t codePage) {
  AutoRunFile file;
  const std::string path = std::string(1, drive) + ":\\AUTORUN.INF";
  const std::optional<std::string> bytes = files.ReadFile(path, drive);
  if (!bytes) return file;
  file.present = true;
  file.bytes = *bytes;
  const sim::ProfileFile profile = sim::ReadProfile(*bytes, sim::ProfileReadingOf(version, codePage));
  const sim::ProfileFile::SectionLines* section = profile.SectionNamed("autorun");
  file.hasSection = section != nullptr;
  if (section == nullptr) return file;
  file.sectionLine = section->line;
  file.open = ReadCommand(files, drive, profile, "open");
  file.shellExecute = ReadCommand(files, drive, profile, "shellexecute");
  if (const auto icon = profile.Find("autorun", "icon")) file.icon = std::string(*icon);
  if (const auto label = profile.Find("autorun", "label")) file.label = std::string(*label);
  return file;
}

AutoRunRule RuleOf(const VersionRecord& version, DiskKind kind) {
  AutoRunRule rule;
  const bool nt = version.platformId == kWindowsNtPlatform;
  const bool nineX = version.platformId == kWindows9xPlatform;
  // "The system must be running Windows 95, Microsoft Windows NT 4.0, or later versions. MS-DOS,
  // Windows versions 3.1 and earlier, and Windows NT versions 3.51 and earlier do not support AutoRun"
  // (MSDN, "Creating an AutoRun-enabled CD-ROM Application").
  if (!(nineX || (nt && version.majorVersion >= 4))) {
    rule.why = nt ? "Windows NT 3.51 and earlier have no AutoRun (MSDN, \"Creating an AutoRun-enabled "
                    "CD-ROM Application\"): the user double-clicks QUELM.EXE in File Manager"
                  : "Win32s runs on Windows 3.1, which has no AutoRun (MSDN, \"Creating an AutoRun-enabled "
                    "CD-ROM Application\"): the user double-clicks QUELM.EXE in File Manager";
    return rule;
  }
  // shellexecute= is "Version 5.0" (MSDN, AutoRun.inf entries): the shell of Windows 2000 and Me, so
  // Windows 95, 98 and NT 4.0 (shell 4.x) do not read it. No first-hand test was at hand.
  rule.shellExecute = (nt && version.majorVersion >= 5) || (nineX && version.minorVersion >= 90);
  if (kind == DiskKind::kFloppy) {
    // NoDriveTypeAutoRun's default 0x95 leaves DRIVE_REMOVABLE out, and "most floppy disk drive
    // controllers do not currently recognize when a floppy disk has been inserted" (KB Q136214); Windows
    // 7 runs no AutoRun entry from non-optical removable media at all (KB 971029).
    rule.why =
        "no release runs AutoRun from a floppy: the drive does not report a disk put in, and "
        "NoDriveTypeAutoRun leaves removable drives out by default (KB Q136214; KB 971029 for Windows 7 "
        "and later): the user double-clicks QUELM.EXE in Explorer";
    return rule;
  }
  rule.runsEntry = true;
  if (nt && version.majorVersion >= 6) {
    // Windows 7's AutoPlay dialog holds the AutoRun task, chosen by the user, for optical media
    // (KB 971029; "Improvements to AutoPlay", Engineering Windows 7 blog, 2009); Vista's dialog is
    // taken alike.
    rule.asksFirst = true;
    rule.why =
        "Windows Vista and later show the AutoPlay dialog for a CD with AUTORUN.INF (KB 971029); the user "
        "is taken to choose to run the program";
    return rule;
  }
  // "The CD-ROM drive must have 32-bit device drivers that detect when a user inserts a compact disc"
  // (ibid.): such a driver is assumed.
  rule.why =
      "Windows 95 to XP, NT 4.0 included, run the AUTORUN.INF entry of a CD as soon as it is in (MSDN, "
      "\"Creating an AutoRun-enabled CD-ROM Application\"; a 32-bit CD-ROM driver, which AutoRun needs, "
      "is assumed)";
  return rule;
}

const AutoRunCommand* EntryRun(const AutoRunFile& file, const AutoRunRule& rule) {
  // Where both are there, which one AutoRun takes is not documented: open=, which every release
  // reads, is taken.
  if (file.open && !file.open->value.empty()) return &*file.open;
  if (rule.shellExecute && file.shellExecute && !file.shellExecute->value.empty()) return &*file.shellExecute;
  return nullptr;
}

LauncherStart PlanStart(const AutoRunFile& file, const VersionRecord& version, DiskKind kind,
                        std::optional<StartedBy> asked) {
  const AutoRunRule rule = RuleOf(version, kind);
  const AutoRunCommand* entry = EntryRun(file, rule);
  LauncherStart start;
  // The label "can contain spaces" and the icon file may carry an index (AutoRun.inf entries).
  start.driveLabel = file.label;
  start.driveIcon = file.icon;
  const bool launches =
      entry != nullptr && entry->namesLauncher && entry->programExists && entry->win32Program != false;
  if (rule.runsEntry && launches && asked != StartedBy::kExplorer) {
    start.by = StartedBy::kAutoRun;
    start.program = entry->programPath;
    start.launcherDirectory = FolderOf(entry->programPath);
    // The program line as written: the program part as CreateProcess reads it, then its parameters, the
    // launcher's command tail.
    start.commandLine = entry->value;
    // Which current directory AutoRun gives the program is not documented; the disc's root is taken.
    start.currentDirectory = std::string(entry->programPath, 0, 3);
    start.why = rule.why;
    start.asksFirst = rule.asksFirst;
    if (sim::Upper(entry->key) != "OPEN")
      start.notes.push_back("shellexecute= opens " + entry->programPath + " through ShellExecuteEx");
    if (start.launcherDirectory.size() > 3)
      start.notes.push_back(
          "the current directory of a program AutoRun starts is not documented: the "
          "disc's root is taken, not " +
          start.launcherDirectory);
    return start;
  }
  // Explorer: the launcher the entry names, where it names one on the disk, else the one in the root.
  const AutoRunCommand* named = nullptr;
  for (const std::optional<AutoRunCommand>* command : {&file.open, &file.shellExecute}) {
    if (named == nullptr && *command && (*command)->namesLauncher && (*command)->programExists &&
        (*command)->win32Program != false)
      named = &**command;
  }
  start.by = StartedBy::kExplorer;
  start.program = named != nullptr ? named->programPath : std::string("D:\\") + kLauncherFile;
  start.launcherDirectory = FolderOf(start.program);
  start.currentDirectory = start.launcherDirectory;
  start.commandLine = "\"" + start.program + "\"";
  start.plain = !file.present && !asked;
  if (!file.present) {
    start.why =
        "the disk has no AUTORUN.INF: the user double-clicks QUELM.EXE in Explorer, which starts it "
        "in its own folder";
  } else if (!rule.runsEntry) {
    start.why = rule.why + ", which starts it in its own folder";
  } else if (asked == StartedBy::kExplorer) {
    start.why = "asked for: the user double-clicks QUELM.EXE in Explorer, which starts it in its own folder";
  } else {
    start.why =
        "AutoRun does not start the launcher: the user double-clicks QUELM.EXE in Explorer, which "
        "starts it in its own folder";
  }
  if (rule.runsEntry && asked != StartedBy::kExplorer) {
    if (!file.hasSection && file.present) {
      start.notes.push_back("AUTORUN.INF has no [autorun] section: AutoRun starts nothing");
    } else if (entry == nullptr && file.present) {
      start.notes.push_back(file.shellExecute && !rule.shellExecute
                                ? "this release does not read shellexecute=, and there is no open=: "
                                  "AutoRun starts nothing"
                                : "AUTORUN.INF names no program: AutoRun starts nothing");
    } else if (entry != nullptr && !entry->programExists) {
      start.notes.push_back(entry->programPath +
                            " is not on the disk as this release reads it: AutoRun "
                            "starts nothing");
    } else if (entry != nullptr && !entry->namesLauncher) {
      start.notes.push_back("AutoRun starts " + entry->programPath + ", not the launcher");
    } else if (entry != nullptr && entry->win32Program == false) {
      start.notes.push_back(entry->programPath + " is no 32-bit Windows program: it is not the launcher");
    }
  }
  if (asked == StartedBy::kAutoRun) {
    start.notes.push_back(rule.runsEntry ? "--started-by autorun: AutoRun does not start the launcher here"
                                         : "--started-by autorun: this release never runs AutoRun here");
  }
  return start;
}

}  // namespace quelm::tool
