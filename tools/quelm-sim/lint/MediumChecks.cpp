// The disk as burnt: what each Windows release finds on the image (the drive run gives it, from
// medium/ReleaseView.h) against what QUELM.INI names, and the names of the image that some release
// reads otherwise than its author wrote them.
#include <algorithm>
#include <climits>
#include <map>

#include "config/Capacities.h"
#include "config/FieldList.h"
#include "handoff/ShellLaunch.h"
#include "lint/Linter.h"
#include "medium/ReleaseView.h"
#include "sim/WindowsReleases.h"

namespace quelm::tool::lint {

// One release's drive: the image as that release reads it.
struct ReleaseDrive {
  const sim::WindowsRelease* release = nullptr;
  std::string osName;  // the launcher's name for it; empty for one it names not
  MediumReading reading;
  sim::FileSystem files;
};

namespace {

// ISO 9660 allows eight levels of folders from the root, and 255 characters of a path; Windows' own
// paths end at MAX_PATH, 260 with the drive and the closing NUL (Platform SDK, "Naming a File").
// Joliet's recording rules lift the depth ("The Directory Hierarchy may be recorded deeper than 8
// levels") but not Windows' path length, nor does a floppy's FAT.
constexpr size_t kMaxLevels = 8;
constexpr size_t kMaxPathCharacters = 255;
// Joliet names are at most 64 characters ("up to 128 bytes (64 unicode characters)", Joliet's recording
// rules as Microsoft published them; genisoimage's and xorriso's -J cut a longer name there unless
// told -joliet-long).
constexpr size_t kJolietNameLimit = 64;
constexpr size_t kNamesShown = 4;  // names a finding about many lists before "and N more"

std::vector<std::string> PartsOf(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

size_t Utf16Units(std::string_view utf8) {
  size_t units = 0;
  for (size_t at = 0; at < utf8.size(); ++at) {
    const auto byte = static_cast<unsigned char>(utf8[at]);
    if ((byte & 0xC0) == 0x80) continue;
    units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

// The entry a path names in a release's tree, matched as its drive matches (any case; the 8.3 alias
// of a long FAT name too). Null where a part is missing.
const MediumEntry* EntryNamed(const MediumEntry& tree, const MediumReading& reading, uint32_t codePage,
                              const std::vector<std::string>& parts) {
  const MediumEntry* at = &tree;
  for (const std::string& part : parts) {
    const auto found = std::find_if(at->children.begin(), at->children.end(), [&](const MediumEntry& child) {
      const std::string seen = DriveName(child, reading, codePage);
      return (!seen.empty() && SameName(seen, part)) ||
             (reading.tree == MediumTree::kFatLongNames && SameName(child.name, part));
    });
    if (found == at->children.end()) return nullptr;
    at = &*found;
  }
  return at;
}

// Where a file's bytes begin in the image: the same in the primary and the Joliet tree, which share
// their files' extents; nothing for an empty file or a folder.
std::optional<uint64_t> FirstByte(const MediumEntry& entry) {
  if (entry.isFolder || entry.extents.empty() || entry.size == 0) return std::nullopt;
  return entry.extents.front().offset;
}

// A file somewhere in a folder, and how many levels below it; for a file, the file itself.
// The reader bounded the tree at kMaxMediumDepth levels, and with it the recursion.
const MediumEntry* SomeFileIn(const MediumEntry& entry, size_t& levels) {  // NOLINT(misc-no-recursion)
  if (FirstByte(entry)) return &entry;
  for (const MediumEntry& child : entry.children) {
    size_t below = 0;
    if (const MediumEntry* file = SomeFileIn(child, below)) {
      levels = below + 1;
      return file;
    }
  }
  return nullptr;
}

// The path (from the root, "\"-separated, as a release names it) of the file whose bytes begin at
// `offset` in `folder`; empty for none.
// The reader bounded the tree at kMaxMediumDepth levels, and with it the recursion.
std::string PathOfBytes(const MediumEntry& folder, const MediumReading& reading,  // NOLINT(misc-no-recursion)
                        uint32_t codePage, uint64_t offset) {
  for (const MediumEntry& child : folder.children) {
    const std::string seen = DriveName(child, reading, codePage);
    if (seen.empty()) continue;
    if (FirstByte(child) == offset) return "\\" + seen;
    if (child.isFolder) {
      const std::string inside = PathOfBytes(child, reading, codePage, offset);
      if (!inside.empty()) return "\\" + seen + inside;
    }
  }
  return "";
}

// The name a release gives the entry that lint's drive names `entry`: found by the bytes of a file
// in it, which every tree of the image shares. Empty where the release has no such file.
std::string SameEntryOn(const Medium& medium, const MediumEntry& entry, const MediumReading& reading,
                        uint32_t codePage) {
  size_t levels = 0;
  const MediumEntry* file = SomeFileIn(entry, levels);
  if (file == nullptr) return "";
  std::string path = PathOfBytes(TreeOf(medium, reading), reading, codePage, *FirstByte(*file));
  // Each path begins with a backslash, so each level taken off finds one.
  for (; levels > 0 && !path.empty(); --levels) path.resize(path.rfind('\\'));
  return path;
}

std::string ShownList(const std::vector<std::string>& names) {
  std::vector<std::string> shown;
  for (size_t index = 0; index < names.size() && index < kNamesShown; ++index)
    shown.push_back(Quoted(names[index]));
  if (names.size() > kNamesShown) shown.push_back(Counted(names.size() - kNamesShown, "more"));
  return Listed(shown);
}

// An entry's name as the tree records it (";1", trailing dot and case kept), in the code page.
std::string RecordedName(const MediumEntry& entry, const MediumReading& reading, uint32_t codePage) {
  return reading.tree == MediumTree::kJoliet ? sim::FromUtf16ToCodePage(Utf8ToUtf16Le(entry.name), codePage)
                                             : entry.name;
}

std::vector<std::string> AliasesOf(const std::vector<const ReleaseDrive*>& drives) {
  std::vector<std::string> aliases;
  aliases.reserve(drives.size());
  for (const ReleaseDrive* drive : drives) aliases.emplace_back(drive->release->alias);
  return aliases;
}

// The readings behind a finding, each once, with the releases that read so: "nt31 and nt35 read the
// primary tree: ...".
std::vector<std::string> ReadingNotes(const std::vector<const ReleaseDrive*>& drives) {
  std::vector<std::pair<std::string, std::vector<std::string>>> byEvidence;
  for (const ReleaseDrive* drive : drives) {
    auto same = std::find_if(byEvidence.begin(), byEvidence.end(), [drive](const auto& known) {
      return known.first == drive->reading.evidence;
    });
    if (same == byEvidence.end()) same = byEvidence.insert(byEvidence.end(), {drive->reading.evidence, {}});
    same->second.emplace_back(drive->release->alias);
  }
  std::vector<std::string> notes;
  notes.reserve(byEvidence.size());
  for (const auto& [evidence, aliases] : byEvidence)
    notes.push_back(Listed(aliases) + " read the " + evidence);
  return notes;
}

}  // namespace

std::vector<ReleaseDrive> Linter::ReleaseDrives() const {
  std::vector<ReleaseDrive> drives;
  for (const sim::WindowsRelease& release : sim::WindowsReleases()) {
    ReleaseDrive drive;
    drive.release = &release;
    drive.osName = OsNameOf(ClassifyVersion(release.record));
    drive.reading = ReadingOf(*disk_.medium, release.record);
    drive.files.MapMedium('D', DriveView(*disk_.medium, release.record, disk_.codePage));
    drives.push_back(std::move(drive));
  }
  return drives;
}

void Linter::CheckMedium() {
  if (disk_.medium == nullptr || disk_.files == nullptr) return;
  const std::vector<ReleaseDrive> drives = ReleaseDrives();
  CheckIniOnReleases(drives);
  for (const NamedOnDisk& named : NamesOnDisk()) CheckNamedOnReleases(drives, named);
  CheckImageNames(drives);
}

std::vector<Linter::NamedOnDisk> Linter::NamesOnDisk() const {
  std::vector<NamedOnDisk> names;
  if (!disk_.installerJoinsLater && !installs_.empty()) {
    NamedOnDisk installer{std::string("\\") + kInstallerProgram,
                          false,
                          {UINT_MAX, 1},
                          "the installer program",
                          {},
                          "Install shows the InstallFailed message there instead of installing"};
    for (const auto& [system, place] : installs_) {
      installer.systems.insert(system);
      if (place.line < installer.place.line) installer.place = place;
    }
    names.push_back(installer);
  }
  for (const auto& [system, place] : installs_) {
    const Key* key = sim::ProfileFile::KeyNamed(file_.SectionNamed("SubDir"), system);
    const std::string subDir = Peek("SubDir", system, kNameCapacity);
    if (key == nullptr || subDir.empty() || subDir.front() != '\\') continue;
    names.push_back({subDir,
                     true,
                     PlaceInValue(*key, 0),
                     "the installation directory of " + system,
                     {system},
                     "the installer program is handed a folder that does not exist there"});
  }
  for (const auto& [folded, use] : programs_) {
    if (use.systems.empty()) continue;
    const Key* key = sim::ProfileFile::KeyNamed(file_.SectionNamed(use.name), "program");
    const std::string written = Peek(use.name, "program", kNameCapacity + 1);
    Text<kNameCapacity> expanded;
    TextView file;
    TextView directory;
    if (key == nullptr || written.empty() || written.size() >= kNameCapacity ||
        !expanded.Assign(ViewOf(written)) || !ExpandMacros(expanded, kDiskRoot, leadBytes_) ||
        !SplitProgramLine(expanded, file, directory)) {
      continue;
    }
    const std::set<std::string>& systems = use.systems;
    const auto add = [&](TextView path, bool folder, const std::string& what, const char* consequence) {
      const std::optional<std::string> onDisk = DiskPath(StringOf(path));
      if (onDisk)
        names.push_back({onDisk->substr(2), folder, PlaceInValue(*key, 0), what, systems, consequence});
    };
    add(file, false, "the file of [" + use.name + "]", "the shell opens nothing there, and nobody is told");
    if (!directory.IsEmpty())
      add(directory, true, "the working directory of [" + use.name + "]", "the shell cannot start it there");
  }
  return names;
}

void Linter::CheckIniOnReleases(const std::vector<ReleaseDrive>& drives) {
  std::vector<const ReleaseDrive*> without;
  const ReleaseDrive* with = nullptr;
  for (const ReleaseDrive& drive : drives) {
    if (drive.files.EntryAt("D:\\QUELM.INI", 'D') == sim::FileSystem::Entry::kFile) {
      if (with == nullptr) with = &drive;
    } else {
      without.push_back(&drive);
    }
  }
  if (without.empty()) return;
  Advice advice;
  advice.notes.emplace_back(
      "there the launcher finds no file D:\\QUELM.INI: no script, so the NotSupport message shows, empty");
  const std::vector<std::string> readings = ReadingNotes(without);
  advice.notes.insert(advice.notes.end(), readings.begin(), readings.end());
  if (with != nullptr) {
    const MediumEntry* ini =
        EntryNamed(TreeOf(*disk_.medium, with->reading), with->reading, disk_.codePage, {"QUELM.INI"});
    const std::string other =
        ini == nullptr ? "" : SameEntryOn(*disk_.medium, *ini, without.front()->reading, disk_.codePage);
    if (!other.empty())
      advice.notes.push_back(std::string(without.front()->release->alias) + " has it as D:" + other);
  }
  advice.help = "name it QUELM.INI, in capitals, in every tree of the image";
  Report({0, 0}, "image-lacks-ini",
         "QUELM.INI is not on the image as " + Listed(AliasesOf(without)) + " read it", advice);
}

void Linter::CheckNamedOnReleases(const std::vector<ReleaseDrive>& drives, const NamedOnDisk& named) {
  const std::string path = std::string(kDiskRoot) + named.path;
  const std::vector<std::string> parts = PartsOf(named.path);
  const ReleaseDrive& widest = drives.back();
  if (!OnDisk(path, named.folder)) {
    ExplainMissing(widest, named);
    return;
  }
  const MediumEntry* entry =
      EntryNamed(TreeOf(*disk_.medium, widest.reading), widest.reading, disk_.codePage, parts);
  std::vector<const ReleaseDrive*> without;
  std::map<std::string, std::vector<std::string>> elsewhere;  // the name a release has it by: its aliases
  for (const ReleaseDrive& drive : drives) {
    if (named.systems.count(drive.osName) == 0) continue;
    const sim::FileSystem::Entry found = drive.files.EntryAt(path, 'D');
    if (named.folder ? found == sim::FileSystem::Entry::kFolder : found != sim::FileSystem::Entry::kMissing)
      continue;
    without.push_back(&drive);
    const std::string other =
        entry == nullptr ? "" : SameEntryOn(*disk_.medium, *entry, drive.reading, disk_.codePage);
    if (!other.empty()) elsewhere["D:" + other].emplace_back(drive.release->alias);
  }
  if (without.empty()) return;
  Advice advice;
  advice.notes.push_back("on " + Listed(AliasesOf(without)) + " " + named.consequence);
  // What the reference runs on each release's drive met, in the launcher's own words.
  const bool installer = named.path == std::string("\\") + kInstallerProgram;
  const auto ran = missingOnRun_.find(Folded(installer ? std::string(kInstallerProgram) : path));
  if (ran != missingOnRun_.end()) {
    std::vector<std::string> aliases;
    for (const ReleaseDrive* drive : without) {
      if (ran->second.count(drive->release->alias) != 0) aliases.emplace_back(drive->release->alias);
    }
    if (!aliases.empty()) {
      advice.notes.push_back("run on " + Listed(aliases) + ": " +
                             (installer ? std::string("the installer program is not found, so Install fails")
                                        : "the shell is asked to open " + path + ", which is not there"));
    }
  }
  for (const auto& [other, aliases] : elsewhere)
    advice.notes.push_back(Listed(aliases) + " " + (aliases.size() == 1 ? "has" : "have") + " it as " +
                           other);
  const std::vector<std::string> readings = ReadingNotes(without);
  advice.notes.insert(advice.notes.end(), readings.begin(), readings.end());
  advice.help = "give it an 8.3 name in capitals, which every tree of the image carries alike";
  Report(named.place, "name-not-on-release",
         Quoted(path) + ", " + named.what + ", is not on the image as " + Listed(AliasesOf(without)) +
             " read it",
         advice);
}

void Linter::ExplainMissing(const ReleaseDrive& widest, const NamedOnDisk& named) {
  const Medium& medium = *disk_.medium;
  const std::vector<std::string> parts = PartsOf(named.path);
  const std::string path = std::string(kDiskRoot) + named.path;
  // A Joliet tree that lacks the name may hold it cut at 64 characters.
  if (widest.reading.tree == MediumTree::kJoliet) {
    const MediumEntry* at = &TreeOf(medium, widest.reading);
    for (const std::string& part : parts) {
      const MediumEntry* next = EntryNamed(*at, widest.reading, disk_.codePage, {part});
      if (next != nullptr) {
        at = next;
        continue;
      }
      for (const MediumEntry& child : at->children) {
        const std::string seen = DriveName(child, widest.reading, disk_.codePage);
        if (Utf16Units(SeenName(child, widest.reading)) == kJolietNameLimit && part.size() > seen.size() &&
            SameName(part.substr(0, seen.size()), seen)) {
          mediumNamesReported_.insert(Folded(seen));
          Advice advice;
          advice.notes.push_back("the image's Joliet tree has " + Quoted(seen) + ", cut at 64 characters");
          advice.help = "shorten the name (an 8.3 name in capitals suits every release)";
          Report(named.place, "joliet-name-cut",
                 Quoted(path) + ", " + named.what + ", is not on the image: its Joliet name is cut short",
                 advice);
          return;
        }
      }
      break;
    }
  }
  // The primary tree may hold it under a Rock Ridge name alone.
  if (medium.format != MediumFormat::kIso9660 || !medium.rockRidge) return;
  MediumReading primary;
  primary.tree = MediumTree::kPrimary;
  const MediumEntry* at = &medium.root;
  std::string seenPath;
  bool byRockRidge = false;
  for (const std::string& part : parts) {
    const MediumEntry* next = EntryNamed(*at, primary, disk_.codePage, {part});
    if (next == nullptr) {
      const auto found =
          std::find_if(at->children.begin(), at->children.end(), [&part](const MediumEntry& child) {
            return !child.rockRidgeName.empty() && SameName(child.rockRidgeName, part);
          });
      if (found == at->children.end()) return;
      next = &*found;
      byRockRidge = true;
      mediumNamesReported_.insert(Folded(found->rockRidgeName));
    }
    seenPath += "\\" + SeenName(*next, primary);
    at = next;
  }
  if (!byRockRidge) return;
  Advice advice;
  advice.notes.push_back("no Windows reads Rock Ridge names (KB Q93604); each release finds D:" + seenPath +
                         " there");
  advice.help = "master the image with Joliet (-J), or give it an 8.3 name in capitals";
  Report(named.place, "rock-ridge-only-name",
         Quoted(path) + ", " + named.what + ", is on the image only as a Rock Ridge name", advice);
}

namespace {

// Every entry of a tree under the name a reading gives it, with its path from the root; `descend`
// says whether to look inside a folder.
struct NamedEntry {
  const MediumEntry* entry;
  std::string path;  // "\A\B"
  size_t levels;     // names from the root
};
// The reader bounded the tree at kMaxMediumDepth levels, and with it the recursion.
void Walk(const MediumEntry& folder, const MediumReading& reading,  // NOLINT(misc-no-recursion)
          uint32_t codePage, const std::string& path, size_t levels,
          const std::function<bool(const NamedEntry&)>& visit) {
  for (const MediumEntry& child : folder.children) {
    const std::string seen = DriveName(child, reading, codePage);
    const NamedEntry named{&child, path + "\\" + (seen.empty() ? child.name : seen), levels + 1};
    if (visit(named) && child.isFolder) Walk(child, reading, codePage, named.path, levels + 1, visit);
  }
}

std::vector<const ReleaseDrive*> DrivesWhere(const std::vector<ReleaseDrive>& drives,
                                             const std::function<bool(const MediumReading&)>& reads) {
  std::vector<const ReleaseDrive*> chosen;
  for (const ReleaseDrive& drive : drives) {
    if (reads(drive.reading)) chosen.push_back(&drive);
  }
  return chosen;
}

}  // namespace

void Linter::CheckImageNames(const std::vector<ReleaseDrive>& drives) {
  const Medium& medium = *disk_.medium;
  const uint32_t codePage = disk_.codePage;
  MediumReading primary;  // the primary tree with every name found, to name what a release misses
  primary.tree = MediumTree::kPrimary;
  if (medium.format == MediumFormat::kIso9660) {
    const auto missing = DrivesWhere(drives, [](const MediumReading& reading) {
      return reading.tree == MediumTree::kPrimary && reading.lowerCase == LowerCaseNames::kNotFound;
    });
    std::vector<std::string> lowerCase;
    Walk(medium.root, primary, codePage, "", 0, [&lowerCase](const NamedEntry& named) {
      const std::string name = named.path.substr(named.path.rfind('\\') + 1);
      const bool lower = std::any_of(name.begin(), name.end(), [](char c) {
        return c >= 'a' && c <= 'z';
      });
      if (lower) lowerCase.push_back(named.path);
      return !lower;  // a folder's contents go with it
    });
    if (!missing.empty() && !lowerCase.empty()) {
      Advice advice;
      advice.notes = ReadingNotes(missing);
      advice.help = "write the ISO 9660 names in capitals (as mkisofs does unless told -allow-lowercase)";
      Report({0, 0}, "lower-case-iso-name",
             Counted(lowerCase.size(), "name") + " of the ISO 9660 tree in small letters (" +
                 ShownList(lowerCase) + "): " + Listed(AliasesOf(missing)) +
                 " find neither them nor anything in such a folder",
             advice);
    }
  }
  if (medium.joliet) {
    MediumReading joliet;
    joliet.tree = MediumTree::kJoliet;
    std::vector<std::string> cut;
    Walk(*medium.joliet, joliet, codePage, "", 0, [&](const NamedEntry& named) {
      const std::string name = named.path.substr(named.path.rfind('\\') + 1);
      if (Utf16Units(SeenName(*named.entry, joliet)) == kJolietNameLimit &&
          mediumNamesReported_.count(Folded(name)) == 0)
        cut.push_back(named.path);
      return true;
    });
    const auto readers = DrivesWhere(drives, [](const MediumReading& reading) {
      return reading.tree == MediumTree::kJoliet;
    });
    if (!cut.empty() && !readers.empty()) {
      Advice advice;
      advice.notes.emplace_back(
          "mastering tools cut a longer Joliet name to 64 characters (genisoimage and xorriso -J)");
      advice.notes.push_back(Listed(AliasesOf(readers)) + " find them so");
      advice.help = "shorten the names (8.3 names in capitals suit every release)";
      Report({0, 0}, "joliet-name-cut",
             Counted(cut.size(), "Joliet name") + " of 64 characters, likely cut short: " + ShownList(cut),
             advice);
    }
  }
  // Too deep or too long, in each tree a release reads.
  std::vector<std::pair<MediumReading, const MediumEntry*>> trees;
  if (medium.format == MediumFormat::kIso9660) {
    trees.emplace_back(primary, &medium.root);
    if (medium.joliet) {
      MediumReading joliet;
      joliet.tree = MediumTree::kJoliet;
      trees.emplace_back(joliet, &*medium.joliet);
    }
  } else {
    trees.emplace_back(drives.back().reading, &medium.root);
  }
  for (const auto& [reading, tree] : trees) {
    std::vector<std::string> deep;
    const bool levelsCount = reading.tree == MediumTree::kPrimary;
    Walk(*tree, reading, codePage, "", 0, [&deep, levelsCount](const NamedEntry& named) {
      const bool tooDeep =
          (levelsCount && named.levels > kMaxLevels) || named.path.size() > kMaxPathCharacters;
      if (tooDeep) deep.push_back(named.path);
      return !tooDeep;
    });
    const MediumTree kind = reading.tree;
    const auto readers = DrivesWhere(drives, [kind](const MediumReading& read) {
      return read.tree == kind ||
             (kind == MediumTree::kFatLongNames && read.tree == MediumTree::kFatShortNames);
    });
    if (deep.empty() || readers.empty()) continue;
    Advice advice;
    advice.notes.emplace_back(
        levelsCount ? "ISO 9660 allows eight levels and 255 characters; with D:\\ and its end a "
                      "Windows path holds 260 (MAX_PATH)"
                    : "with D:\\ and its end a Windows path holds 260 characters (MAX_PATH)");
    advice.notes.push_back("on " + Listed(AliasesOf(readers)) + ", which read " +
                           (kind == MediumTree::kJoliet    ? "the Joliet tree"
                            : kind == MediumTree::kPrimary ? "the ISO 9660 tree"
                                                           : "the floppy"));
    advice.help = "keep the disk's folders few and their names short";
    Report({0, 0}, "path-too-deep",
           Counted(deep.size(), "path") +
               (levelsCount ? " deeper than eight names or longer than 255 characters: "
                            : " longer than 255 characters: ") +
               ShownList(deep),
           advice);
  }
  if (medium.format == MediumFormat::kIso9660 && medium.rockRidge) {
    std::vector<std::string> onlyRockRidge;
    Walk(medium.root, primary, codePage, "", 0, [&](const NamedEntry& named) {
      const MediumEntry& entry = *named.entry;
      const std::string seen = SeenName(entry, primary);
      if (entry.rockRidgeName.empty() || SameName(entry.rockRidgeName, seen) ||
          mediumNamesReported_.count(Folded(entry.rockRidgeName)) != 0)
        return true;
      if (medium.joliet) {
        MediumReading joliet;
        joliet.tree = MediumTree::kJoliet;
        const std::string other = SameEntryOn(medium, entry, joliet, codePage);
        const std::string last = other.substr(other.rfind('\\') + 1);
        if (!other.empty() &&
            SameName(last, sim::FromUtf16ToCodePage(Utf8ToUtf16Le(entry.rockRidgeName), codePage)))
          return true;
      }
      onlyRockRidge.push_back(entry.rockRidgeName + " (" + named.path + ")");
      return true;
    });
    if (!onlyRockRidge.empty()) {
      Advice advice;
      advice.notes.push_back("no Windows reads Rock Ridge names (KB Q93604): " +
                             Listed({drives.front().release->alias, drives.back().release->alias}) +
                             " and every release between find the other name given in brackets");
      advice.help = "master the image with Joliet (-J) as well, or give the files 8.3 names in capitals";
      Report({0, 0}, "rock-ridge-only-name",
             Counted(onlyRockRidge.size(), "name") + " only in Rock Ridge: " + ShownList(onlyRockRidge),
             advice);
    }
  }
  CheckFoldedNames(drives);
}

void Linter::CheckFoldedNames(const std::vector<ReleaseDrive>& drives) {
  // By the clash, as the finding says it: the releases that meet it.
  std::map<std::string, std::vector<std::string>> clashes;
  std::vector<std::string> order;
  for (const ReleaseDrive& drive : drives) {
    const MediumReading& reading = drive.reading;
    std::function<void(const MediumEntry&, const std::string&)> visit;
    // The reader bounded the tree at kMaxMediumDepth levels, and with it the recursion.
    visit = [&](const MediumEntry& folder, const std::string& path) {
      std::map<std::string, std::string> names;  // folded: the name a program finds it by
      for (const MediumEntry& child : folder.children) {
        const std::string seen = DriveName(child, reading, disk_.codePage);
        if (seen.empty()) continue;
        std::vector<std::string> own{seen};
        if (reading.tree == MediumTree::kFatLongNames && !child.longName.empty()) own.push_back(child.name);
        for (const std::string& name : own) {
          const std::string recorded = RecordedName(child, reading, disk_.codePage);
          const auto [first, added] = names.try_emplace(Folded(name), recorded);
          if (added || first->second == recorded) continue;
          const std::string clash = Quoted(first->second) + " and " + Quoted(recorded) + " in " +
                                    (path.empty() ? "\\" : path) + " are one name, " + Quoted(name);
          if (clashes.count(clash) == 0) order.push_back(clash);
          clashes[clash].emplace_back(drive.release->alias);
        }
        if (child.isFolder) visit(child, path + "\\" + seen);
      }
    };
    visit(TreeOf(*disk_.medium, reading), "");
  }
  for (const std::string& clash : order) {
    Advice advice;
    advice.notes.push_back("on " + Listed(clashes[clash]) + ", which find only the first of them");
    advice.help = "give each file a name of its own, whatever its case, version (;1) or trailing dot";
    Report({0, 0}, "names-fold-together", clash, advice);
  }
}

}  // namespace quelm::tool::lint

namespace quelm::tool {

const sim::WindowsRelease& WidestReadingRelease() {
  return sim::WindowsReleases().back();
}

ImageDisk ImageDiskOf(const Medium& medium, uint32_t codePage) {
  ImageDisk disk;
  disk.files.MapMedium('D', DriveView(medium, WidestReadingRelease().record, codePage));
  disk.ini = disk.files.ReadFile("D:\\QUELM.INI", 'D');
  for (const sim::WindowsRelease& release : sim::WindowsReleases()) {
    if (disk.ini) break;
    sim::FileSystem files;
    files.MapMedium('D', DriveView(medium, release.record, codePage));
    disk.ini = files.ReadFile("D:\\QUELM.INI", 'D');
  }
  return disk;
}

}  // namespace quelm::tool
