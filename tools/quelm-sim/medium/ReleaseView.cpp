// Which tree and which names each Windows release reads on a CD or floppy image, with the evidence,
// and the simulated drive built from them.
#include "medium/ReleaseView.h"

#include "sim/SimCodePage.h"
#include "sim/SimFileSystem.h"

namespace quelm::tool {

namespace {

// The releases as far as media tell them apart, from the version record alone.
enum class Family {
  kWin32s,     // Win32s on Windows 3.1 (and any record of no Windows platform): MSCDEX and MS-DOS's FAT
  kWindows9x,  // Windows 95, 98, Me
  kNt31,       // Windows NT 3.1 (3.10, or the record 3.1)
  kNt35,       // Windows NT 3.5 and 3.51
  kNt40,
  kNt50,     // Windows 2000
  kNtLater,  // Windows XP and every NT after it
};

Family FamilyOf(const VersionRecord& version) {
  if (version.platformId == kWindows9xPlatform) return Family::kWindows9x;
  if (version.platformId != kWindowsNtPlatform) return Family::kWin32s;
  if (version.majorVersion < 3) return Family::kNt31;
  if (version.majorVersion == 3) return version.minorVersion >= 50 ? Family::kNt35 : Family::kNt31;
  if (version.majorVersion == 4) return Family::kNt40;
  if (version.majorVersion == 5 && version.minorVersion == 0) return Family::kNt50;
  return Family::kNtLater;
}

// Which tree a CD gives each release.
//
// Joliet: "Support for Joliet is included in Windows 95" (KB Q125630, on Joliet
// CD-ROMs); "Versions of Windows NT up to 3.51 build 1057 do not read Joliet discs. Windows NT 4.0 can
// read Joliet discs by design" (KB Q142372); Windows 2000 and XP's CDFS "supports Joliet" (KB Q93604 as
// revised in 2007; Windows XP Professional Resource Kit, "CDFS"). Win32s runs on Windows 3.1, whose
// MSCDEX reads the primary tree only.
//
// Rock Ridge: "Windows NT ... does not support any of the RockRidge CD-ROM format extensions" (KB
// Q93604, NT 3.1); "Rock Ridge is not supported in Windows NT or Windows 2000" (the same article,
// revised); XP's CDFS "does not support the Rock Ridge Interchange Protocol extensions to ISO 9660 and
// reads only the ISO 9660 structures on such discs" (Windows XP Professional Resource Kit, "CDFS"). No
// Windows 9x document names Rock Ridge; its CDFS was written for ISO 9660 and Joliet (Q125630), and no report
// has it reading Rock Ridge names. So a Rock Ridge name is read by no release here.
bool ReadsJoliet(Family family) {
  return family != Family::kWin32s && family != Family::kNt31 && family != Family::kNt35;
}

// What happens to a primary-tree name with lower-case letters.
//
// Windows NT 3.5, 3.51 and 4.0: "All directories and file names must be in capital letters" (KB
// Q142372, "Windows NT Support For Long File Names Under CDFS File System", which applies to 3.5, 3.51
// and 4.0 and refers to KB Q123067, "CDFS Does Not Support Lowercase Filenames"); NT 3.1's CDFS is the
// one that article's rule was written for (Q93604: "single-case characters ... All alphabetic characters
// are in uppercase letters").
// Windows 2000: "CDFS adheres to ISO 9660 standards and therefore does not support lowercase file names.
// When you use CDFS to access a file or directory with a lowercase file name on a CD-ROM, you get a
// 'File not found' error message" (Windows 2000 Server documentation, "Compact Disk File System").
// Windows XP and later: the CDFS that Microsoft publishes as its driver sample ("The Cdfs file system is
// included with the Microsoft Windows operating system": Windows-driver-samples, filesys/cdfs)
// compares without regard to case for every Win32 open (create.c: IgnoreCase is set unless
// SL_CASE_SENSITIVE) by upcasing the name read from the disc as well as the name asked for (dirsup.c,
// CdUpdateDirentName, then CdIsNameInExpression), so a lower-case name is found. That source carries
// "1989-2000", which would cover Windows 2000 too; the simulation follows Windows 2000's own
// documentation there and takes the source for the releases after it. Not tried on a real XP.
// Windows 9x (CDFS.VXD) and Win32s (MSCDEX on MS-DOS): no document or first-hand report was found; the
// simulation takes such a name as found, and says that this is not established.
LowerCaseNames LowerCaseOf(Family family) {
  switch (family) {
    case Family::kNt31:
    case Family::kNt35:
    case Family::kNt40:
    case Family::kNt50:
      return LowerCaseNames::kNotFound;
    case Family::kNtLater:
      return LowerCaseNames::kFound;
    case Family::kWin32s:
    case Family::kWindows9x:
      return LowerCaseNames::kUnknownTakenAsFound;
  }
  return LowerCaseNames::kUnknownTakenAsFound;
}

// Long FAT names: "Windows NT, versions 3.5, 3.51, and 4.0 have the ability to create or open files with
// long filenames (LFN) on Windows NT file allocation table (FAT) partitions" (KB Q115236); Windows 95
// and later read them, while on "down-level file systems (such as MS-DOS version 6.0, Windows version
// 3.1 ...) ... the long filename will not be visible; only the alias (the 8.3 filename) will be
// visible" (Platform SDK, "Long Filenames", Windows 95/98). Win32s runs on Windows 3.1; NT 3.1 came
// before Q115236's 3.5.
bool ReadsLongFatNames(Family family) {
  return family != Family::kWin32s && family != Family::kNt31;
}

std::string IsoEvidence(const Medium& medium, Family family, MediumTree tree) {
  std::string evidence;
  if (tree == MediumTree::kJoliet) {
    evidence = family == Family::kWindows9x ? "Joliet tree (KB Q125630)" : "Joliet tree (KB Q142372, Q93604)";
  } else if (medium.joliet) {
    evidence = "primary tree: no Joliet before Windows NT 4.0 (KB Q142372), none on Win32s' MSCDEX";
  } else {
    evidence = "primary tree: the image has no Joliet volume";
  }
  if (medium.rockRidge) evidence += "; Rock Ridge names not read (KB Q93604)";
  if (tree != MediumTree::kPrimary) return evidence;
  switch (LowerCaseOf(family)) {
    case LowerCaseNames::kNotFound:
      return evidence + (family == Family::kNt50
                             ? "; lower-case names not found (Windows 2000 documentation, CDFS)"
                             : "; lower-case names not found (KB Q123067, Q142372)");
    case LowerCaseNames::kFound:
      return evidence + "; lower-case names found (CDFS source, case-blind opens)";
    case LowerCaseNames::kUnknownTakenAsFound:
      return evidence + "; lower-case names: not established, taken as found";
  }
  return evidence;
}

bool HasLowerCaseLetter(std::string_view name) {
  for (const char c : name) {
    if (c >= 'a' && c <= 'z') return true;
  }
  return false;
}

// An ISO 9660 name as a program gets it: without the version after ';' and one trailing dot, as CDFS
// splits and trims it (dirsup.c, CdUpdateDirentName; namesup.c, CdConvertNameToCdName).
std::string WithoutVersion(const std::string& name) {
  std::string seen = name.substr(0, name.find(';'));
  if (!seen.empty() && seen.back() == '.') seen.pop_back();
  return seen;
}

// A UTF-8 name in the machine's code page, as an ANSI program receives it.
std::string InCodePage(const std::string& utf8, uint32_t codePage) {
  return sim::FromUtf16ToCodePage(Utf8ToUtf16Le(utf8), codePage);
}

// A file's bytes from the image as the launcher reads them; nothing past the simulated machine's limit
// or where the image cannot give them.
std::function<std::optional<std::string>()> ReaderOf(const Medium& medium, const MediumEntry& entry) {
  return [image = medium.image, extents = entry.extents, size = entry.size]() -> std::optional<std::string> {
    if (size > sim::kHostFileLimit) return std::nullopt;
    std::string bytes;
    try {
      for (const Extent& extent : extents) bytes += image->Read(extent.offset, extent.length, "a file");
    } catch (const MediumError&) {
      return std::nullopt;
    }
    return bytes;
  };
}

}  // namespace

std::string DriveName(const MediumEntry& entry, const MediumReading& reading, uint32_t codePage) {
  const std::string seen = SeenName(entry, reading);
  // Joliet and long FAT names are Unicode on the medium; ISO 9660 and 8.3 names are bytes already.
  const bool unicode = reading.tree == MediumTree::kJoliet ||
                       (reading.tree == MediumTree::kFatLongNames && !entry.longName.empty());
  return unicode && !seen.empty() ? InCodePage(seen, codePage) : seen;
}

namespace {

// The reader bounded the tree at kMaxMediumDepth levels, and with it the recursion.
void BuildView(  // NOLINT(misc-no-recursion)
    const Medium& medium, const MediumEntry& folder, const MediumReading& reading, uint32_t codePage,
    sim::MediumNode& node) {
  for (const MediumEntry& entry : folder.children) {
    sim::MediumNode child;
    child.name = DriveName(entry, reading, codePage);
    if (child.name.empty()) continue;
    if (reading.tree == MediumTree::kFatLongNames && !entry.longName.empty()) child.alias = entry.name;
    child.isFolder = entry.isFolder;
    if (entry.isFolder) {
      BuildView(medium, entry, reading, codePage, child);
    } else {
      child.read = ReaderOf(medium, entry);
    }
    node.children.push_back(std::move(child));
  }
}

}  // namespace

MediumReading ReadingOf(const Medium& medium, const VersionRecord& version) {
  const Family family = FamilyOf(version);
  MediumReading reading;
  if (medium.format != MediumFormat::kIso9660) {
    const bool longNames = ReadsLongFatNames(family);
    reading.tree = longNames ? MediumTree::kFatLongNames : MediumTree::kFatShortNames;
    reading.evidence = longNames
                           ? (family == Family::kWindows9x ? "long FAT names (Platform SDK, Long Filenames)"
                                                           : "long FAT names (KB Q115236)")
                           : "8.3 FAT names only: long names came with Windows NT 3.5 (KB Q115236) and "
                             "Windows 95 (Platform SDK, Long Filenames)";
    return reading;
  }
  reading.tree = medium.joliet && ReadsJoliet(family) ? MediumTree::kJoliet : MediumTree::kPrimary;
  reading.lowerCase = reading.tree == MediumTree::kPrimary ? LowerCaseOf(family) : LowerCaseNames::kFound;
  reading.evidence = IsoEvidence(medium, family, reading.tree);
  return reading;
}

const MediumEntry& TreeOf(const Medium& medium, const MediumReading& reading) {
  return reading.tree == MediumTree::kJoliet && medium.joliet ? *medium.joliet : medium.root;
}

std::string SeenName(const MediumEntry& entry, const MediumReading& reading) {
  switch (reading.tree) {
    case MediumTree::kJoliet:
      return WithoutVersion(entry.name);
    case MediumTree::kPrimary: {
      std::string seen = WithoutVersion(entry.name);
      if (reading.lowerCase == LowerCaseNames::kNotFound && HasLowerCaseLetter(seen)) return "";
      return seen;
    }
    case MediumTree::kFatLongNames:
      return entry.longName.empty() ? entry.name : entry.longName;
    case MediumTree::kFatShortNames:
      return entry.name;
  }
  return entry.name;
}

std::shared_ptr<const sim::MediumNode> DriveView(const Medium& medium, const VersionRecord& version,
                                                 uint32_t codePage) {
  const MediumReading reading = ReadingOf(medium, version);
  auto root = std::make_shared<sim::MediumNode>();
  root->isFolder = true;
  BuildView(medium, TreeOf(medium, reading), reading, codePage, *root);
  return root;
}

}  // namespace quelm::tool
