// The FAT12/FAT16 reader for floppy images: the BIOS parameter block, cluster chains, 8.3 names and
// the VFAT long-name entries with their checksums, read as a hostile input.
#include <set>

#include "medium/Medium.h"

namespace quelm::tool {

namespace {

constexpr size_t kEntryBytes = 32;
constexpr size_t kLongNameChars = 13;  // UCS-2 characters one long-name entry holds
constexpr size_t kMaxLongNameEntries = (kMaxNameBytes + kLongNameChars - 1) / kLongNameChars;  // 20

uint32_t Le16(std::string_view bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at]) |
                               static_cast<unsigned char>(bytes[at + 1]) << 8);
}

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

// The checksum of an 8.3 name that each of its long-name entries carries (Microsoft's document of the
// FAT file system, "Long Directory Entries").
unsigned char ShortNameChecksum(std::string_view shortName) {
  unsigned char sum = 0;
  for (const char c : shortName.substr(0, 11)) {
    sum = static_cast<unsigned char>(((sum & 1) << 7) + (sum >> 1) + static_cast<unsigned char>(c));
  }
  return sum;
}

// "README  TXT" as "README.TXT"; a first byte 0x05 stands for 0xE5, which marks free entries.
std::string ShortNameOf(std::string_view entry) {
  std::string base = TrimmedRight(entry.substr(0, 8));
  if (!base.empty() && static_cast<unsigned char>(base[0]) == 0x05) base[0] = static_cast<char>(0xE5);
  const std::string extension = TrimmedRight(entry.substr(8, 3));
  return extension.empty() ? base : base + "." + extension;
}

struct Volume {
  Volume(const ImageBytes& bytes, uint32_t clusters, uint64_t bytesPerCluster, uint64_t dataStart,
         std::string table)
      : image(bytes),
        fat12(clusters < 4085),
        clusterBytes(bytesPerCluster),
        clusterCount(clusters),
        dataOffset(dataStart),
        fat(std::move(table)) {}
  const ImageBytes& image;
  bool fat12;
  uint64_t clusterBytes;
  uint32_t clusterCount;  // data clusters, numbered from 2
  uint64_t dataOffset;
  std::string fat;  // the first FAT, as far as the clusters need it, and a zero byte
  size_t entries = 0;
  std::set<uint32_t> directories;  // first clusters of the folders read; 0 is the root

  uint32_t EndOfChain() const { return fat12 ? 0xFF8 : 0xFFF8; }
  uint32_t Next(uint32_t cluster) const {
    if (!fat12) return Le16(fat, static_cast<size_t>(cluster) * 2);
    const uint32_t pair = Le16(fat, static_cast<size_t>(cluster) + cluster / 2);
    return cluster % 2 == 0 ? (pair & 0xFFF) : pair >> 4;
  }
  bool IsCluster(uint32_t value) const { return value >= 2 && value < clusterCount + 2; }
};

// The extents of a chain from `first`: `size` bytes of a file, or a whole folder (size unknown, read
// to the chain's end). A value that is no cluster of the volume, a bad-cluster mark, a chain that ends
// too soon and a cluster met twice are each an error.
std::vector<Extent> ChainOf(const Volume& volume, uint32_t first, std::optional<uint64_t> size,
                            const std::string& path) {
  std::vector<Extent> extents;
  if (size && *size == 0) return extents;
  const uint64_t needed = size ? (*size + volume.clusterBytes - 1) / volume.clusterBytes : 0;
  if (size && needed > volume.clusterCount) {
    throw MediumError(Quoted(path) + " says it is " + std::to_string(*size) +
                      " bytes, more than the volume holds");
  }
  std::vector<bool> seen(static_cast<size_t>(volume.clusterCount) + 2, false);
  uint32_t cluster = first;
  for (uint64_t count = 0;; ++count) {
    if (!volume.IsCluster(cluster)) {
      const bool bad = cluster == volume.EndOfChain() - 1;
      throw MediumError(
          "bad cluster chain: " + Quoted(path) +
          (bad ? " runs into a cluster marked bad"
               : " goes to cluster " + std::to_string(cluster) + ", which the volume does not have"));
    }
    if (seen[cluster]) {
      throw MediumError("cluster loop: the chain of " + Quoted(path) + " comes back to cluster " +
                        std::to_string(cluster));
    }
    seen[cluster] = true;
    const uint64_t offset = volume.dataOffset + static_cast<uint64_t>(cluster - 2) * volume.clusterBytes;
    if (!volume.image.Holds(offset, volume.clusterBytes)) {
      throw MediumError("cluster " + std::to_string(cluster) + " of " + Quoted(path) +
                        " lies past the end of the image (" + std::to_string(volume.image.Size()) +
                        " bytes)");
    }
    if (!extents.empty() && extents.back().offset + extents.back().length == offset) {
      extents.back().length += volume.clusterBytes;
    } else {
      extents.push_back(Extent{offset, volume.clusterBytes});
    }
    if (size && count + 1 == needed) {
      extents.back().length -= needed * volume.clusterBytes - *size;  // the last cluster's unused tail
      return extents;
    }
    if (!size && (count + 1) * volume.clusterBytes > kMaxDirectoryBytes) {
      throw MediumError("the folder " + Quoted(path) + " takes more than " +
                        std::to_string(kMaxDirectoryBytes) + " bytes");
    }
    const uint32_t next = volume.Next(cluster);
    if (next >= volume.EndOfChain()) {
      if (!size) return extents;
      throw MediumError("bad cluster chain: the chain of " + Quoted(path) + " ends after " +
                        std::to_string(count + 1) + " of the " + std::to_string(needed) +
                        " clusters its size needs");
    }
    cluster = next;
  }
}

// Long-name entries gathered before the 8.3 entry they belong to.
struct LongName {
  std::u16string characters;
  size_t expected = 0;  // the ordinal of the next entry; 0: none is gathered
  unsigned char checksum = 0;
  std::string fault;  // why the gathered entries belong to no name
};

// Reads a folder's records into its children; returns the first cluster of each child (its folders'
// records are read afterwards, from there).
std::vector<uint32_t> ReadEntries(Volume& volume, MediumEntry& folder, const std::string& records,
                                  const std::string& path);

// Reads the folders among `folder`'s children, from the first clusters ReadEntries gave.
void ReadSubfolders(Volume& volume, MediumEntry& folder, const std::vector<uint32_t>& firstClusters,
                    const std::string& path, size_t depth);

// Folders nest at most kMaxMediumDepth levels, which bounds the recursion.
void ReadFolder(  // NOLINT(misc-no-recursion)
    Volume& volume, MediumEntry& folder, uint32_t first, const std::string& path, size_t depth) {
  if (depth > kMaxMediumDepth) {
    throw MediumError("the folders in " + Quoted(path) + " lie deeper than " +
                      std::to_string(kMaxMediumDepth) + " levels");
  }
  if (!volume.directories.insert(first).second) {
    throw MediumError("directory loop: the folder " + Quoted(path) + " starts at cluster " +
                      std::to_string(first) +
                      (first == 0 ? ", the root folder's" : ", which was read before"));
  }
  folder.extents = ChainOf(volume, first, std::nullopt, path);
  std::string records;
  for (const Extent& extent : folder.extents) {
    records += volume.image.Read(extent.offset, extent.length, "the folder " + Quoted(path));
  }
  folder.size = records.size();
  ReadSubfolders(volume, folder, ReadEntries(volume, folder, records, path), path, depth);
}

void ReadSubfolders(  // NOLINT(misc-no-recursion): see ReadFolder
    Volume& volume, MediumEntry& folder, const std::vector<uint32_t>& firstClusters, const std::string& path,
    size_t depth) {
  for (size_t index = 0; index < folder.children.size(); ++index) {
    MediumEntry& child = folder.children[index];
    if (child.isFolder) ReadFolder(volume, child, firstClusters[index], path + "\\" + child.name, depth + 1);
  }
}

// Takes one long-name entry into `gathered`; an entry that starts a name longer than any Windows
// takes is an error, one out of order only leaves the gathered name without a file.
void TakeLongNameEntry(LongName& gathered, std::string_view entry, const std::string& path) {
  const auto ordinal = static_cast<unsigned char>(entry[0]);
  const size_t sequence = ordinal & 0x3F;
  if ((ordinal & 0x40) != 0) {
    if (sequence > kMaxLongNameEntries) {
      throw MediumError("a long name in " + Quoted(path) + " of " + std::to_string(sequence) +
                        " entries, more than the " + std::to_string(kMaxNameBytes) +
                        " characters Windows takes");
    }
    gathered = LongName{};
    gathered.characters.assign(sequence * kLongNameChars, u'\0');
    gathered.expected = sequence;
    gathered.checksum = static_cast<unsigned char>(entry[13]);
  } else if (gathered.expected == 0 || sequence != gathered.expected ||
             gathered.checksum != static_cast<unsigned char>(entry[13])) {
    gathered = LongName{};
    gathered.fault = "long-name entries out of order";
    return;
  }
  if (sequence == 0) {
    gathered = LongName{};
    gathered.fault = "a long-name entry numbered 0";
    return;
  }
  static constexpr size_t kOffsets[kLongNameChars] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  for (size_t index = 0; index < kLongNameChars; ++index) {
    gathered.characters[(sequence - 1) * kLongNameChars + index] =
        static_cast<char16_t>(Le16(entry, kOffsets[index]));
  }
  --gathered.expected;
}

// Gives `entry` the long name gathered before it, or says why there is none.
void AttachLongName(MediumEntry& entry, LongName& gathered, std::string_view record,
                    const std::string& path) {
  if (!gathered.fault.empty()) entry.longNameFault = gathered.fault;
  if (gathered.characters.empty() || !gathered.fault.empty()) return;
  if (gathered.expected != 0) {
    entry.longNameFault = "its long-name entries stop before the first";
  } else if (gathered.checksum != ShortNameChecksum(record)) {
    entry.longNameFault = "the checksum of its long-name entries does not match its 8.3 name";
  } else {
    std::u16string name = gathered.characters;
    name.resize(name.find(u'\0') == std::u16string::npos ? name.size() : name.find(u'\0'));
    if (name.size() > kMaxNameBytes) {
      throw MediumError("the long name of " + Quoted(path + "\\" + entry.name) + " has " +
                        std::to_string(name.size()) + " characters, more than the " +
                        std::to_string(kMaxNameBytes) + " Windows takes");
    }
    std::string bytes;
    for (const char16_t unit : name) {
      bytes += static_cast<char>(unit & 0xFF);
      bytes += static_cast<char>(unit >> 8);
    }
    entry.longName = Utf16ToUtf8(bytes, false);
  }
}

std::vector<uint32_t> ReadEntries(Volume& volume, MediumEntry& folder, const std::string& records,
                                  const std::string& path) {
  std::vector<uint32_t> firstClusters;
  LongName gathered;
  for (size_t at = 0; at + kEntryBytes <= records.size(); at += kEntryBytes) {
    const std::string_view record = std::string_view(records).substr(at, kEntryBytes);
    const auto first = static_cast<unsigned char>(record[0]);
    if (first == 0x00) break;  // no entry follows
    if (first == 0xE5) {       // free
      gathered = LongName{};
      continue;
    }
    const auto attributes = static_cast<unsigned char>(record[11]);
    if ((attributes & 0x3F) == 0x0F) {
      TakeLongNameEntry(gathered, record, path);
      continue;
    }
    if ((attributes & 0x08) != 0 || record.substr(0, 2) == ". " || record.substr(0, 2) == "..") {
      gathered = LongName{};  // the volume label, "." and ".."
      continue;
    }
    MediumEntry entry;
    entry.name = ShortNameOf(record);
    entry.isFolder = (attributes & 0x10) != 0;
    entry.hidden = (attributes & 0x02) != 0;
    AttachLongName(entry, gathered, record, path);
    gathered = LongName{};
    const uint32_t firstCluster = Le16(record, 26);
    if (!entry.isFolder) {
      entry.size = Le32(record, 28);
      entry.extents = ChainOf(volume, firstCluster, entry.size, path + "\\" + entry.name);
    }
    if (++volume.entries > kMaxMediumEntries) {
      throw MediumError("a volume of more than " + std::to_string(kMaxMediumEntries) + " names");
    }
    folder.children.push_back(std::move(entry));
    firstClusters.push_back(firstCluster);
  }
  return firstClusters;
}

}  // namespace

Medium ReadFat(std::shared_ptr<const ImageBytes> source) {
  // The medium keeps the image, for its files are read when asked for.
  const std::shared_ptr<const ImageBytes> image = std::move(source);
  if (!image->Holds(0, 512)) throw MediumError("shorter than a boot sector (512 bytes)");
  const std::string boot = image->Read(0, 512, "the boot sector");
  const uint32_t bytesPerSector = Le16(boot, 11);
  const uint32_t sectorsPerCluster = static_cast<unsigned char>(boot[13]);
  const uint32_t reserved = Le16(boot, 14);
  const uint32_t fats = static_cast<unsigned char>(boot[16]);
  const uint32_t rootEntries = Le16(boot, 17);
  const uint32_t totalSectors = Le16(boot, 19) != 0 ? Le16(boot, 19) : Le32(boot, 32);
  const uint32_t sectorsPerFat = Le16(boot, 22);
  const std::string noBlock = "no FAT boot sector: ";
  if (bytesPerSector != 512 && bytesPerSector != 1024 && bytesPerSector != 2048 && bytesPerSector != 4096) {
    throw MediumError(noBlock + "a sector size of " + std::to_string(bytesPerSector) + " bytes");
  }
  if (sectorsPerCluster == 0 || (sectorsPerCluster & (sectorsPerCluster - 1)) != 0) {
    throw MediumError(noBlock + std::to_string(sectorsPerCluster) + " sectors per cluster");
  }
  if (reserved == 0 || fats == 0 || totalSectors == 0) {
    throw MediumError(noBlock + "no reserved sector, no FAT or no sectors");
  }
  if (rootEntries == 0 || sectorsPerFat == 0)
    throw MediumError("a FAT32 volume, not a FAT12 or FAT16 floppy");
  const uint64_t rootSectors =
      (static_cast<uint64_t>(rootEntries) * kEntryBytes + bytesPerSector - 1) / bytesPerSector;
  const uint64_t metaSectors = reserved + static_cast<uint64_t>(fats) * sectorsPerFat + rootSectors;
  if (totalSectors <= metaSectors) throw MediumError("no data area after the FATs and the root folder");
  const uint64_t clusterCount = (totalSectors - metaSectors) / sectorsPerCluster;
  if (clusterCount == 0) throw MediumError("no data cluster");
  if (clusterCount >= 65525) throw MediumError("a FAT32 volume, not a FAT12 or FAT16 floppy");

  // The count of clusters, and nothing else, makes a volume FAT12 or FAT16 (Microsoft's FAT document).
  const bool fat12 = clusterCount < 4085;
  const uint64_t fatBytes = fat12 ? ((clusterCount + 2) * 3 + 1) / 2 : (clusterCount + 2) * 2;
  if (fatBytes > static_cast<uint64_t>(sectorsPerFat) * bytesPerSector) {
    throw MediumError("a FAT of " + std::to_string(sectorsPerFat) + " sectors cannot hold " +
                      std::to_string(clusterCount) + " clusters");
  }
  // The FAT12 reading takes two bytes for the last entry: one more, so that it never reads past the end.
  Volume volume(*image, static_cast<uint32_t>(clusterCount),
                static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector, metaSectors * bytesPerSector,
                image->Read(static_cast<uint64_t>(reserved) * bytesPerSector, fatBytes, "the FAT") + '\0');

  Medium medium;
  medium.format = fat12 ? MediumFormat::kFat12 : MediumFormat::kFat16;
  medium.image = image;
  medium.root.isFolder = true;
  const uint64_t rootOffset = (reserved + static_cast<uint64_t>(fats) * sectorsPerFat) * bytesPerSector;
  const std::string rootRecords =
      image->Read(rootOffset, static_cast<uint64_t>(rootEntries) * kEntryBytes, "the root folder");
  medium.root.size = rootRecords.size();
  medium.root.extents.push_back(Extent{rootOffset, rootRecords.size()});
  volume.directories.insert(0);
  ReadSubfolders(volume, medium.root, ReadEntries(volume, medium.root, rootRecords, ""), "", 0);
  // The label is the root's volume-label entry, else the boot sector's copy.
  for (size_t at = 0; at + kEntryBytes <= rootRecords.size() && rootRecords[at] != 0; at += kEntryBytes) {
    const auto attributes = static_cast<unsigned char>(rootRecords[at + 11]);
    const bool free = static_cast<unsigned char>(rootRecords[at]) == 0xE5;
    if (!free && (attributes & 0x3F) != 0x0F && (attributes & 0x08) != 0) {
      medium.volumeLabel = TrimmedRight(std::string_view(rootRecords).substr(at, 11));
      break;
    }
  }
  if (medium.volumeLabel.empty() && static_cast<unsigned char>(boot[38]) == 0x29) {
    medium.volumeLabel = TrimmedRight(std::string_view(boot).substr(43, 11));
  }
  return medium;
}

}  // namespace quelm::tool
