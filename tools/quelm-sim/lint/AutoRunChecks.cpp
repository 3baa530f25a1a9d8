// lint's checks of AUTORUN.INF: the file read on each release's drive as AutoRun reads it, and the
// start that release makes of it (autorun/AutoRun.h, the model run uses too).
#include <map>
#include <optional>
#include <stdexcept>
#include <tuple>

#include "app/LauncherApp.h"
#include "autorun/AutoRun.h"
#include "config/Capacities.h"
#include "lint/Linter.h"
#include "medium/ReleaseView.h"
#include "probe/SystemProbe.h"
#include "sim/SimMachine.h"
#include "sim/WindowsReleases.h"

namespace quelm::tool::lint {

namespace {

constexpr const char* kAutoRunFile = "AUTORUN.INF";

// A line of the file as an editor counts it (LintText's LinesOf); empty past the end.
std::string LineOf(std::string_view bytes, unsigned line) {
  const std::vector<std::string_view> lines = LinesOf(bytes);
  return line >= 1 && line <= lines.size() ? std::string(lines[line - 1]) : std::string();
}

// The column of a key's name on its line, counted in bytes from 1.
unsigned ColumnOf(const std::string& source, const std::string& key) {
  const size_t at = source.find_first_not_of(" \t");
  return at == std::string::npos || key.empty() ? 1 : static_cast<unsigned>(at) + 1;
}

// Findings of one check, message and place, with the releases that meet them, in release order.
struct Met {
  std::string help;
  std::vector<std::string> notes;
  std::string source;
  std::vector<std::string> releases;
};
using Key = std::tuple<unsigned, unsigned, std::string, std::string>;  // line, column, check, message

class AutoRunLinter {
 public:
  explicit AutoRunLinter(const DiskToLint& disk) : disk_(disk) {}

  std::vector<Finding> Run() {
    if (disk_.files == nullptr && disk_.medium == nullptr) return {};
    unsigned runsSomewhere = 0;
    unsigned present = 0;
    for (const sim::WindowsRelease& release : sim::WindowsReleases()) {
      sim::FileSystem view;
      const sim::FileSystem* files = disk_.files;
      if (disk_.medium != nullptr) {
        view.MapMedium('D', DriveView(*disk_.medium, release.record, disk_.codePage));
        files = &view;
      }
      // "Every release" means every one that runs AutoRun from such a disk, whether or not its view
      // of the disk holds the file.
      const AutoRunRule rule = RuleOf(release.record, Kind().value_or(DiskKind::kCd));
      if (rule.runsEntry) running_.push_back(release.alias);
      const AutoRunFile file = ReadAutoRunFile(*files, 'D', release.record, disk_.codePage);
      if (!file.present) continue;
      ++present;
      if (rule.runsEntry) ++runsSomewhere;
      CheckRelease(release, file, rule, *files);
      if (!rule.runsEntry && !Kind().has_value()) neverRuns_.push_back(release.alias);
    }
    if (present != 0 && runsSomewhere == 0 && firstFile_) {
      Add(1, 1, "autorun-not-started",
          "no release runs AUTORUN.INF from a floppy: the drive does not report a disk put in, and "
          "removable drives are left out of AutoRun by default",
          "put AUTORUN.INF on the CD; on a floppy, tell the user to start QUELM.EXE", {}, "*");
    }
    return Findings();
  }

 private:
  // A floppy where the disk is a FAT image; nothing for a CD (a folder is taken as one).
  std::optional<DiskKind> Kind() const {
    if (disk_.medium != nullptr && disk_.medium->format != MediumFormat::kIso9660) return DiskKind::kFloppy;
    return std::nullopt;
  }

  void CheckRelease(const sim::WindowsRelease& release, const AutoRunFile& file, const AutoRunRule& rule,
                    const sim::FileSystem& files) {
    if (!firstFile_) firstFile_ = file.bytes;
    bytes_ = file.bytes;
    const std::string alias = release.alias;
    if (!rule.runsEntry) return;
    if (!file.hasSection) {
      Add(1, 1, "autorun-no-section", "AUTORUN.INF has no [autorun] section: AutoRun starts nothing from it",
          "begin the file with a line [autorun]", {}, alias);
      return;
    }
    const bool shellExecuteRead = rule.shellExecute && file.shellExecute;
    if (!file.open && !shellExecuteRead) {
      Add(file.sectionLine, 1, "autorun-no-open",
          file.shellExecute ? "[autorun] has no open= line, and this release does not read shellexecute=: "
                              "AutoRun starts nothing"
                            : "[autorun] has no open= line: AutoRun starts nothing",
          "add a line open=QUELM.EXE (with the path of its folder, if it is not in the root)", {}, alias);
    }
    for (const std::optional<AutoRunCommand>* command : {&file.open, &file.shellExecute}) {
      if (!*command || (command == &file.shellExecute && !rule.shellExecute)) continue;
      CheckCommand(**command, alias);
    }
    const AutoRunCommand* entry = EntryRun(file, rule);
    if (entry == nullptr || !entry->programExists) return;
    const LauncherStart start = PlanStart(file, release.record, Kind().value_or(DiskKind::kCd), std::nullopt);
    if (start.by == StartedBy::kAutoRun) {
      // A blank without quotes makes the same wrong tail; its own finding says why.
      if (!entry->unquotedBlank) CheckBaseDirectory(*entry, start, release, files);
      return;
    }
    const std::string what = entry->namesLauncher ? entry->programPath + " is no 32-bit Windows program"
                                                  : "AutoRun starts " + entry->programPath;
    Add(entry->line, ColumnOf(LineOf(bytes_, entry->line), entry->key), "autorun-not-started",
        what + ", not the launcher: the user must start QUELM.EXE from Explorer",
        "name QUELM.EXE in " + entry->key + "=, or have " + FileNameOf(entry->programPath) +
            " start it with the command tail the disk needs",
        {}, alias);
  }

  // The launcher reads QUELM.INI in its base directory, which it makes of the current directory and
  // command tail AutoRun gives it: the core's own SystemProbe works it out, as in run.
  void CheckBaseDirectory(const AutoRunCommand& entry, const LauncherStart& start,
                          const sim::WindowsRelease& release, const sim::FileSystem& files) {
    // Only the QUELM.INI lint was given counts: where a release misses it, image-lacks-ini says so.
    const std::string given = std::string("D:") + kConfigurationFileName;
    if (files.EntryAt(given, 'D') != sim::FileSystem::Entry::kFile) return;
    sim::SimMachine machine;
    machine.version = release.record;
    machine.codePage = disk_.codePage;
    machine.fileSystem = files;
    machine.currentDirectory = start.currentDirectory;
    machine.commandLine = start.commandLine;
    // The buffer the launcher reads it into: a longer one is no base directory at all.
    char base[kNameCapacity] = {};
    if (!SystemProbe(machine).GetBaseDirectory(base, kNameCapacity)) return;
    const std::string ini = std::string(base) + kConfigurationFileName;
    if (files.EntryAt(ini, 'D') == sim::FileSystem::Entry::kFile) return;
    std::vector<std::string> notes;
    for (const std::string& note : start.notes) notes.push_back(note);
    Add(entry.line, ColumnOf(LineOf(bytes_, entry.line), entry.key), "autorun-base-without-ini",
        "AutoRun starts the launcher with the current directory " + start.currentDirectory +
            " and the command tail \"" + CommandTail(start.commandLine.c_str()) +
            "\": its base directory is " + base + ", and there is no " + ini +
            ", so it shows an empty NotSupport message",
        "give as its command tail the folder that holds QUELM.INI, from the disc's root (" + entry.key + "=" +
            entry.program + " \\FOLDER), or no tail where QUELM.INI is in the root",
        std::move(notes), release.alias);
  }

  static std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

  void CheckCommand(const AutoRunCommand& command, const std::string& alias) {
    const std::string source = LineOf(bytes_, command.line);
    const unsigned column = ColumnOf(source, command.key);
    if (command.value.empty()) {
      Add(command.line, column, "autorun-no-open", command.key + "= names no program: AutoRun starts nothing",
          "write the launcher's path after " + command.key + "=", {}, alias);
      return;
    }
    if (!command.programExists) {
      Add(command.line, column, "autorun-program-missing",
          command.programPath + ", which " + command.key +
              "= names, is not on the disk: AutoRun starts nothing",
          "name the program as the disk holds it, from the disk's root", {}, alias);
    }
    if (command.unquotedBlank) {
      const std::string tail = command.value.substr(command.value.find(' ') + 1);
      Add(command.line, column, "autorun-unquoted-blank",
          "the program name \"" + command.program + "\" has a blank and no quotes: the launcher reads \"" +
              tail + "\" as its command tail, and its base directory from it",
          "write the name in quotes with the command tail after it (" + command.key + "=\"" +
              command.program + "\" \\" +
              "FOLDER), or use a folder name without blanks: quotes around the whole value are "
              "removed by the profile reader",
          {}, alias);
    }
  }

  void Add(unsigned line, unsigned column, const char* check, const std::string& message, std::string help,
           std::vector<std::string> notes, const std::string& release) {
    Met& met = met_[Key{line, column, check, message}];
    if (met.releases.empty()) {
      met.help = std::move(help);
      met.notes = std::move(notes);
      met.source = LineOf(bytes_.empty() && firstFile_ ? *firstFile_ : bytes_, line);
    }
    met.releases.push_back(release);
  }

  std::vector<Finding> Findings() const {
    std::vector<Finding> findings;
    for (const auto& [key, met] : met_) {
      const auto& [line, column, check, message] = key;
      const Check* known = CheckNamed(check);
      if (known == nullptr) throw std::logic_error("lint reports an unlisted check " + check);
      Finding finding;
      finding.line = line;
      finding.column = column;
      finding.severity = known->severity;
      finding.check = check;
      finding.message = message;
      finding.help = met.help;
      finding.source = met.source;
      finding.file = kAutoRunFile;
      std::string releases;
      for (const std::string& release : met.releases) releases += (releases.empty() ? "" : ", ") + release;
      if (met.releases == running_) {
        finding.notes.push_back("on every release that runs AutoRun from this disk");
      } else if (releases != "*") {
        finding.notes.push_back("on " + releases);
      }
      if (!neverRuns_.empty()) {
        std::string never;
        for (const std::string& release : neverRuns_) never += (never.empty() ? "" : ", ") + release;
        finding.notes.push_back(never +
                                " never run AutoRun: there the user starts QUELM.EXE from "
                                "File Manager, in its own folder");
      }
      for (const std::string& note : met.notes) finding.notes.push_back(note);
      findings.push_back(std::move(finding));
    }
    return findings;
  }

  const DiskToLint& disk_;
  std::optional<std::string> firstFile_;  // the file as the first release that finds it reads it
  std::string bytes_;                     // as the release being checked reads it
  std::map<Key, Met> met_;                // in line and column order
  std::vector<std::string> neverRuns_;    // releases that find the file and never run AutoRun
  std::vector<std::string> running_;      // releases that find the file and run AutoRun from the disk
};

}  // namespace

std::vector<Finding> CheckAutoRun(const DiskToLint& disk) {
  return AutoRunLinter(disk).Run();
}

}  // namespace quelm::tool::lint
