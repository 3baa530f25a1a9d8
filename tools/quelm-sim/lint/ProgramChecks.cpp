// Programs and folders: [SubDir] entries, Exec program lines, and the files and folders they name on
// the disk.
#include <algorithm>
#include <climits>

#include "config/Capacities.h"
#include "config/FieldList.h"
#include "handoff/ShellLaunch.h"
#include "lint/Linter.h"

namespace quelm::tool::lint {

void Linter::CheckSubDirs() {
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

void Linter::CheckPrograms() {
  for (const auto& [folded, use] : programs_) {
    const Section* section = file_.SectionNamed(use.name);
    const Key* key = sim::ProfileFile::KeyNamed(section, "program");
    if (key == nullptr || !key->hasValue) {
      Advice advice;
      const Place place = section != nullptr ? PlaceOf(*section)
                                             : PlaceOfMissing(std::string(sim::LookedUpName(use.name)),
                                                              "Exec command", use.place, advice);
      Report(place, "missing-program",
             "[" + use.name + "] has no program line: the Exec command opens nothing", advice);
      continue;
    }
    // A line too long for its buffer is never opened: exec-opens-nothing says so, for what the
    // launcher makes of it, and its fields are not looked at.
    const std::string program = Peek(use.name, "program", kNameCapacity + 1);
    if (program.size() >= kNameCapacity) continue;
    FieldCursor cursor(ViewOf(program));
    unsigned count = 0;
    TextView field;
    while (count < 3 && cursor.Next(field)) ++count;
    if (count < 3) {
      Report(PlaceInValue(*key, 0), "short-program-line",
             "the program line of [" + use.name + "] has " + Counted(count, "field") +
                 ", not the three of file, a skipped field and working directory");
    }
    CheckProgramFields(use.name, *key, program, use.systems);
  }
}

// The file and working directory fields, and their macros, as the launcher takes them against what
// they plainly mean. Macros are expanded before the line is split, so a field's macro is looked at in
// the line as written.
void Linter::CheckProgramFields(const std::string& section, const Key& key, const std::string& program,
                                const std::set<std::string>& systems) {
  const std::string ofLine = " in the program line of [" + section + "]";
  for (const std::string macro : {"[CWD]", "[OS]"}) {
    for (size_t at = Folded(program).find(Folded(macro)); at != std::string::npos;
         at = Folded(program).find(Folded(macro), at + 1)) {
      if (program.compare(at, macro.size(), macro) == 0) continue;
      Advice advice;
      advice.help = "write " + macro;
      advice.fix = ReplaceInValue(key, at, macro.size(), macro);
      advice.notes.push_back(OnSystems(systems) + " the shell is handed " +
                             Quoted(program.substr(at, macro.size())) + " as written");
      Report(PlaceInValue(key, at), "lower-case-macro",
             Quoted(program.substr(at, macro.size())) + ofLine + " stays as written: macros are " + macro +
                 " in capitals",
             advice);
    }
  }
  FieldCursor cursor(ViewOf(program));
  TextView field;
  const char* kNames[] = {"file", "skipped field", "working directory"};
  for (unsigned index = 0; index < 3 && cursor.Next(field); ++index) {
    if (index == 1) continue;  // read over
    const std::string text = StringOf(field);
    Advice advice;
    const size_t offset = static_cast<size_t>(field.chars - program.data());
    const char* check = BlankOrQuote(key, offset, text, advice);
    if (check == nullptr) continue;
    advice.notes.push_back(OnSystems(systems) + " the shell is handed " + Quoted(text) + ", which names no " +
                           (index == 0 ? "file" : "folder") + " the author wrote");
    Report(
        PlaceInValue(key, offset), check,
        "the " + std::string(kNames[index]) + " " + Quoted(text) + ofLine + " is not " + Quoted(Meant(text)),
        advice);
  }
}

void Linter::CheckDiskFiles() {
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
    if (!use.systems.empty()) CheckProgramFiles(use.name);
  }
}

void Linter::CheckProgramFiles(const std::string& section) {
  const Key* key = sim::ProfileFile::KeyNamed(file_.SectionNamed(section), "program");
  const std::string written = Peek(section, "program", kNameCapacity + 1);
  if (written.size() >= kNameCapacity) return;  // never opened
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

std::optional<std::string> Linter::DiskPath(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') {
    if (UpperAscii(path[0]) != 'D') return std::nullopt;
    return "D:" + path.substr(2);
  }
  if (!path.empty() && path[0] == '\\' && path.rfind("\\\\", 0) != 0) return "D:" + path;
  return std::nullopt;
}

bool Linter::OnDisk(const std::string& windowsPath, bool folder) const {
  const sim::FileSystem::Entry entry = disk_.files->EntryAt(windowsPath, 'D');
  return folder ? entry == sim::FileSystem::Entry::kFolder : entry != sim::FileSystem::Entry::kMissing;
}

void Linter::CheckShortNames(const std::string& path, Place place, const std::string& where) {
  if (!shortNamesChecked_.insert(Folded(path)).second) return;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (!part.empty() && part != "." && part != ".." && !IsShortName(part)) {
      Report(place, "not-8.3",
             Quoted(part) + " in " + where +
                 " is no 8.3 name (up to eight letters, digits or _, a dot and up to three more): "
                 "a CD written without long names (plain ISO 9660) and some floppy tools cannot carry it, "
                 "and the launcher then finds nothing there");
    }
    start = end + 1;
  }
}

}  // namespace quelm::tool::lint
