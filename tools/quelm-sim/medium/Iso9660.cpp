// The ISO 9660 reader (ECMA-119): volume descriptors, the primary and the Joliet directory trees, and
// the Rock Ridge entries of the primary tree, read as a hostile input.
#include <set>

#include "medium/Medium.h"

namespace quelm::tool {

namespace {

constexpr uint64_t kSector = 2048;  // the logical block size of every CD, and the only one read here
constexpr uint64_t kFirstDescriptorSector = 16;
constexpr size_t kMaxDescriptors = 64;    // more than any mastering tool writes before the terminator
constexpr size_t kMaxContinuations = 16;  // SUSP continuation areas of one record
constexpr size_t kRecordHeader = 33;      // a directory record before its identifier
// All directories of one tree together: folders may share sectors only in a hostile image, and this
// bounds the reading such an image could ask for.
constexpr uint64_t kMaxTreeDirectoryBytes = 4 * kMaxDirectoryBytes;

uint32_t Le16(std::string_view bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at]) |
                               static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// The little-endian half of a both-endian number: Windows' CDFS reads that half.
uint32_t Le32(std::string_view bytes, size_t at) {
  return Le16(bytes, at) | Le16(bytes, at + 2) << 16;
}

std::string TrimmedRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\0')) --end;
  return std::string(text.substr(0, end));
}

std::string Quoted(const std::string& path) {
  return "\"" + (path.empty() ? std::string("\\") : path) + "\"";
}

// One tree's walk: what it has seen so far, so that loops and floods end in an error.
struct TreeWalk {
  explicit TreeWalk(const ImageBytes& bytes) : image(bytes) {}
  const ImageBytes& image;
  bool joliet = false;
  size_t suspSkip = 0;     // bytes before the SUSP entries of each system use area (the root's "SP")
  bool rockRidge = false;  // an "RR" or "NM" entry was seen
  size_t entries = 0;
  uint64_t directoryBytes = 0;     // read so far
  std::set<uint64_t> directories;  // the extents of the folders read, each once
};

// The name a Rock Ridge "NM" chain gives, or empty; notes in `walk` that Rock Ridge is there. SUSP
// entries that do not parse end the scan of their area quietly, as Windows never reads them; what could
// loop or flood (continuation areas, names) ends in an error.
std::string RockRidgeName(TreeWalk& walk, std::string_view area, const std::string& path) {
  std::string name;
  size_t continuations = 0;
  std::string continued;  // the bytes of the continuation area being scanned
  while (true) {
    std::string_view next;  // a continuation area this area names
    uint32_t ceSector = 0, ceOffset = 0, ceLength = 0;
    while (area.size() >= 4) {
      const std::string_view signature = area.substr(0, 2);
      const auto length = static_cast<unsigned char>(area[2]);
      if (length < 4 || length > area.size()) break;
      const std::string_view entry = area.substr(0, length);
      if (signature == "ST") break;
      if (signature == "RR") walk.rockRidge = true;
      if (signature == "NM" && length >= 5) {
        walk.rockRidge = true;
        const auto flags = static_cast<unsigned char>(entry[4]);
        // CURRENT and PARENT name "." and ".."; a record's own name is the rest.
        if ((flags & 0x06) == 0) name.append(entry.substr(5));
        if (name.size() > kMaxNameBytes) {
          throw MediumError("the Rock Ridge name of " + Quoted(path) + " is longer than " +
                            std::to_string(kMaxNameBytes) + " bytes");
        }
      }
      if (signature == "CE" && length >= 28) {
        ceSector = Le32(entry, 4);
        ceOffset = Le32(entry, 12);
        ceLength = Le32(entry, 20);
        next = entry;
      }
      area.remove_prefix(length);
    }
    if (next.empty()) return name;
    if (++continuations > kMaxContinuations) {
      throw MediumError("the Rock Ridge entries of " + Quoted(path) + " continue more than " +
                        std::to_string(kMaxContinuations) + " times");
    }
    if (ceOffset >= kSector || ceLength > kSector - ceOffset) {
      throw MediumError("a Rock Ridge continuation area of " + Quoted(path) + " runs past its sector");
    }
    continued = walk.image.Read(ceSector * kSector + ceOffset, ceLength,
                                "a Rock Ridge continuation area of " + Quoted(path));
    area = continued;
  }
}

// The entry a directory record describes; `record` is known to hold its identifier.
MediumEntry EntryOf(TreeWalk& walk, std::string_view record, const std::string& folderPath) {
  const auto nameLength = static_cast<unsigned char>(record[32]);
  const std::string_view identifier = record.substr(kRecordHeader, nameLength);
  MediumEntry entry;
  if (walk.joliet) {
    if (nameLength % 2 != 0) {
      throw MediumError("a Joliet name in " + Quoted(folderPath) + " has an odd number of bytes");
    }
    entry.name = Utf16ToUtf8(identifier, true);
  } else {
    entry.name = std::string(identifier);
  }
  const std::string path = folderPath + "\\" + entry.name;
  const auto flags = static_cast<unsigned char>(record[25]);
  entry.isFolder = (flags & 0x02) != 0;
  entry.hidden = (flags & 0x01) != 0;
  if (record[26] != 0 || record[27] != 0) {
    throw MediumError(Quoted(path) + " is recorded interleaved, which this reader does not read");
  }
  const uint64_t sector = static_cast<uint64_t>(Le32(record, 2)) + static_cast<unsigned char>(record[1]);
  entry.size = Le32(record, 10);
  if (!walk.image.Holds(sector * kSector, entry.size)) {
    throw MediumError("the extent of " + Quoted(path) + " (sector " + std::to_string(sector) + ", " +
                      std::to_string(entry.size) + " bytes) lies past the end of the image (" +
                      std::to_string(walk.image.Size() / kSector) + " sectors)");
  }
  entry.extents.push_back(Extent{sector * kSector, entry.size});
  if (!walk.joliet) {
    const size_t systemUse = kRecordHeader + nameLength + (nameLength % 2 == 0 ? 1 : 0) + walk.suspSkip;
    if (systemUse < record.size()) entry.rockRidgeName = RockRidgeName(walk, record.substr(systemUse), path);
  }
  return entry;
}

// The records of one folder into its children, folders left unread.
void ReadRecords(TreeWalk& walk, MediumEntry& folder, const std::string& path) {
  const Extent extent = folder.extents.front();
  if (extent.length > kMaxDirectoryBytes) {
    throw MediumError("the folder " + Quoted(path) + " says its records take " +
                      std::to_string(extent.length) + " bytes, more than " +
                      std::to_string(kMaxDirectoryBytes));
  }
  walk.directoryBytes += extent.length;
  if (walk.directoryBytes > kMaxTreeDirectoryBytes) {
    throw MediumError("the folders of a tree take more than " + std::to_string(kMaxTreeDirectoryBytes) +
                      " bytes");
  }
  const std::string records = walk.image.Read(extent.offset, extent.length, "the folder " + Quoted(path));
  // A file of several extents has a record per extent, all but the last marked, in a row.
  bool continuing = false;
  for (uint64_t at = 0; at < records.size();) {
    const auto length = static_cast<unsigned char>(records[at]);
    if (length == 0) {  // the rest of the sector is padding
      at = (at / kSector + 1) * kSector;
      continue;
    }
    const std::string where = "a record at byte " + std::to_string(at) + " of the folder " + Quoted(path);
    if (length < kRecordHeader + 1) throw MediumError(where + " is shorter than 34 bytes");
    if (at % kSector + length > kSector || at + length > records.size()) {
      throw MediumError(where + " runs past the end of its sector");
    }
    const std::string_view record = std::string_view(records).substr(at, length);
    at += length;
    const auto nameLength = static_cast<unsigned char>(record[32]);
    if (nameLength == 0 || kRecordHeader + nameLength > length) {
      throw MediumError(where + " has a name longer than the record");
    }
    if (nameLength == 1 && (record[33] == 0 || record[33] == 1)) continue;  // "." and ".."
    const auto flags = static_cast<unsigned char>(record[25]);
    if ((flags & 0x04) != 0) continue;  // associated files: CDFS passes over them
    MediumEntry entry = EntryOf(walk, record, path);
    if (continuing) {
      MediumEntry& file = folder.children.back();
      if (entry.name != file.name || entry.isFolder) {
        throw MediumError("the file " + Quoted(path + "\\" + file.name) +
                          " says it goes on in another extent, but the next record is another name");
      }
      file.extents.push_back(entry.extents.front());
      file.size += entry.size;
    } else {
      if (++walk.entries > kMaxMediumEntries) {
        throw MediumError("a tree of more than " + std::to_string(kMaxMediumEntries) + " names");
      }
      folder.children.push_back(std::move(entry));
    }
    continuing = (flags & 0x80) != 0;
  }
  if (continuing) {
    throw MediumError("the last file in " + Quoted(path) + " says it goes on, but its folder ends there");
  }
}

// Folders nest at most kMaxMediumDepth levels, which bounds the recursion.
void ReadDirectory(  // NOLINT(misc-no-recursion)
    TreeWalk& walk, MediumEntry& folder, const std::string& path, size_t depth) {
  if (depth > kMaxMediumDepth) {
    throw MediumError("the folders in " + Quoted(path) + " lie deeper than " +
                      std::to_string(kMaxMediumDepth) + " levels");
  }
  if (!walk.directories.insert(folder.extents.front().offset).second) {
    throw MediumError("directory loop: the folder " + Quoted(path) + " is the folder at sector " +
                      std::to_string(folder.extents.front().offset / kSector) + ", which was read before");
  }
  ReadRecords(walk, folder, path);
  for (MediumEntry& child : folder.children) {
    if (child.isFolder) ReadDirectory(walk, child, path + "\\" + child.name, depth + 1);
  }
}

// The root of a volume's tree from its descriptor's root directory record (offset 156, 34 bytes).
MediumEntry RootOf(const ImageBytes& image, std::string_view descriptor, const char* volume) {
  const std::string_view record = descriptor.substr(156, 34);
  MediumEntry root;
  root.isFolder = true;
  const uint64_t sector = static_cast<uint64_t>(Le32(record, 2)) + static_cast<unsigned char>(record[1]);
  root.size = Le32(record, 10);
  if (!image.Holds(sector * kSector, root.size)) {
    throw MediumError(std::string("the root folder of the ") + volume + " volume (sector " +
                      std::to_string(sector) + ", " + std::to_string(root.size) +
                      " bytes) lies past the end of the image");
  }
  root.extents.push_back(Extent{sector * kSector, root.size});
  return root;
}

// The bytes SUSP entries are preceded by in every system use area, from the "SP" entry of the root's
// "." record (SUSP 5.3), or 0 where there is none.
size_t SuspSkipOf(const ImageBytes& image, const MediumEntry& root) {
  if (root.size < kRecordHeader + 1) return 0;
  const std::string self = image.Read(root.extents.front().offset, kRecordHeader + 1, "the root folder");
  const auto length = static_cast<unsigned char>(self[0]);
  if (length < kRecordHeader + 7 || length > root.size) return 0;
  const std::string record = image.Read(root.extents.front().offset, length, "the root folder");
  const std::string_view area = std::string_view(record).substr(kRecordHeader + 1);  // "." has a 1-byte name
  if (area.size() >= 7 && area.substr(0, 2) == "SP" && static_cast<unsigned char>(area[4]) == 0xBE &&
      static_cast<unsigned char>(area[5]) == 0xEF) {
    return static_cast<unsigned char>(area[6]);
  }
  return 0;
}

// Joliet's supplementary volume: UCS-2 level 1, 2 or 3 in the escape sequences (Joliet 4.1).
bool IsJoliet(std::string_view descriptor) {
  const std::string_view escapes = descriptor.substr(88, 32);
  for (const char* level : {"%/@", "%/C", "%/E"}) {
    if (escapes.substr(0, 3) == level) return true;
  }
  return false;
}

}  // namespace

Medium ReadIso9660(std::shared_ptr<const ImageBytes> source) {
  // The medium keeps the image, for its files are read when asked for.
  const std::shared_ptr<const ImageBytes> image = std::move(source);
  Medium medium;
  medium.format = MediumFormat::kIso9660;
  medium.image = image;
  std::optional<std::string> primary, joliet;
  for (size_t index = 0;; ++index) {
    const uint64_t offset = (kFirstDescriptorSector + index) * kSector;
    if (index == kMaxDescriptors || !image->Holds(offset, kSector)) {
      if (primary) break;  // no terminator, but the volume is there: read what is
      throw MediumError(index == 0 ? "no ISO 9660 volume descriptor at sector 16"
                                   : "no primary volume descriptor before the end of the descriptors");
    }
    std::string descriptor = image->Read(offset, kSector, "a volume descriptor");
    if (descriptor.substr(1, 5) != "CD001") {
      if (index == 0) throw MediumError("no ISO 9660 volume descriptor at sector 16");
      if (primary) break;
      throw MediumError("no primary volume descriptor before the end of the descriptors");
    }
    const auto type = static_cast<unsigned char>(descriptor[0]);
    if (type == 255) break;
    if (type == 1 && !primary)
      primary = std::move(descriptor);
    else if (type == 2 && !joliet && IsJoliet(descriptor))
      joliet = std::move(descriptor);
  }
  if (!primary) throw MediumError("no primary volume descriptor before the terminator");
  if (Le16(*primary, 128) != kSector) {
    throw MediumError("a logical block size of " + std::to_string(Le16(*primary, 128)) +
                      " bytes: CD-ROMs have 2048");
  }
  medium.volumeLabel = TrimmedRight(std::string_view(*primary).substr(40, 32));

  medium.root = RootOf(*image, *primary, "primary");
  TreeWalk primaryWalk(*image);
  primaryWalk.suspSkip = SuspSkipOf(*image, medium.root);
  ReadDirectory(primaryWalk, medium.root, "", 0);
  medium.rockRidge = primaryWalk.rockRidge;
  if (joliet) {
    medium.joliet = RootOf(*image, *joliet, "Joliet");
    TreeWalk jolietWalk(*image);
    jolietWalk.joliet = true;
    ReadDirectory(jolietWalk, *medium.joliet, "", 0);
  }
  return medium;
}

}  // namespace quelm::tool
