// Test support: small ISO 9660 and FAT12 images built in memory, with the knobs hostile images turn
// (an extent or a size of one's own, a cluster chain rewritten, a checksum gone wrong).
#pragma once

#include <stdint.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quelm::testing {

// One file or folder of an ISO 9660 image.
struct IsoNode {
  std::string primary;    // the primary tree's identifier as recorded ("README.TXT;1")
  std::string joliet;     // its Joliet name in UTF-8; empty: not in the Joliet tree
  std::string rockRidge;  // its Rock Ridge name; empty: no NM entry
  bool isFolder = false;
  std::string contents;
  std::vector<IsoNode> children;
  std::optional<uint32_t> sector;  // recorded instead of its own extent
  std::optional<uint32_t> size;    // recorded instead of its own length
  uint8_t flags = 0;               // ORed into the record's flags (0x04 associated, 0x01 hidden)
};

inline IsoNode IsoFile(std::string primary, std::string joliet, std::string contents) {
  IsoNode node;
  node.primary = std::move(primary);
  node.joliet = std::move(joliet);
  node.contents = std::move(contents);
  return node;
}

inline IsoNode IsoFolder(std::string primary, std::string joliet, std::vector<IsoNode> children) {
  IsoNode node;
  node.primary = std::move(primary);
  node.joliet = std::move(joliet);
  node.isFolder = true;
  node.children = std::move(children);
  return node;
}

class IsoImage {
 public:
  static constexpr uint32_t kSector = 2048;
  static constexpr uint32_t kFirstData = 20;  // the first sector after the volume descriptors
  IsoNode root = IsoFolder("", "", {});
  bool joliet = false;
  bool rockRidge = false;  // an SP entry in the root and an NM entry for each name that has one

  std::string Build() {
    sectors_.assign(kFirstData, std::string(kSector, '\0'));
    const uint32_t primaryRoot = PlaceFolder(root, false);
    const uint32_t jolietRoot = joliet ? PlaceFolder(root, true) : 0;
    sectors_[16] = Descriptor(1, primaryRoot, false);
    sectors_[17] = joliet ? Descriptor(2, jolietRoot, true) : Terminator();
    sectors_[18] = Terminator();
    std::string image;
    for (const std::string& sector : sectors_) image += sector;
    return image;
  }

 private:
  static void Both32(std::string& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
      out[at + i] = static_cast<char>(value >> (8 * i));
      out[at + 7 - i] = static_cast<char>(value >> (8 * i));
    }
  }

  // UCS-2 big-endian of a name of one- and two-byte UTF-8 sequences, as the tests' names are.
  static std::string Ucs2(const std::string& utf8) {
    std::string out;
    for (size_t at = 0; at < utf8.size(); ++at) {
      uint32_t unit = static_cast<unsigned char>(utf8[at]);
      if (unit >= 0xC0 && at + 1 < utf8.size()) {
        unit = (unit & 0x1F) << 6 | (static_cast<unsigned char>(utf8[++at]) & 0x3F);
      }
      out += static_cast<char>(unit >> 8);
      out += static_cast<char>(unit & 0xFF);
    }
    return out;
  }

  std::string Record(uint32_t sector, uint32_t size, uint8_t flags, const std::string& identifier,
                     const std::string& systemUse) const {
    const size_t padding = identifier.size() % 2 == 0 ? 1 : 0;
    std::string record(33 + identifier.size() + padding + systemUse.size(), '\0');
    record[0] = static_cast<char>(record.size());
    Both32(record, 2, sector);
    Both32(record, 10, size);
    record[25] = static_cast<char>(flags);
    record[28] = 1;
    record[31] = 1;
    record[32] = static_cast<char>(identifier.size());
    record.replace(33, identifier.size(), identifier);
    record.replace(33 + identifier.size() + padding, systemUse.size(), systemUse);
    return record;
  }

  // The NM entries of a name: in the record where they fit, else in a continuation area of their own.
  std::string NameEntries(const std::string& name) {
    std::string entries;
    for (size_t at = 0; at < name.size(); at += 200) {
      const std::string part = name.substr(at, 200);
      entries += "NM";
      entries += static_cast<char>(5 + part.size());
      entries += '\1';
      entries += static_cast<char>(at + 200 < name.size() ? 1 : 0);  // CONTINUE
      entries += part;
    }
    if (entries.size() <= 150) return entries;
    const uint32_t area = static_cast<uint32_t>(sectors_.size());
    sectors_.push_back(entries + std::string(kSector - entries.size(), '\0'));
    std::string ce = "CE";
    ce += static_cast<char>(28);
    ce += '\1';
    ce += std::string(24, '\0');
    Both32(ce, 4, area);
    Both32(ce, 12, 0);
    Both32(ce, 20, static_cast<uint32_t>(entries.size()));
    return ce;
  }

  // Places a folder's records, then its files and subfolders after them; returns its sector. The
  // primary root is thus always at kFirstData.
  uint32_t PlaceFolder(IsoNode& folder, bool forJoliet) {
    const uint32_t own = static_cast<uint32_t>(sectors_.size());
    sectors_.emplace_back(kSector, '\0');
    std::vector<std::string> records;
    std::vector<size_t> childSectors, childSizes;
    for (IsoNode& child : folder.children) {
      if (forJoliet && child.joliet.empty()) continue;
      uint32_t sector = 0, size = 0;
      if (child.isFolder) {
        sector = PlaceFolder(child, forJoliet);
        size = kSector;
      } else {
        sector = forJoliet ? placedFiles_[&child] : PlaceFile(child);
        size = static_cast<uint32_t>(child.contents.size());
      }
      sector = child.sector.value_or(sector);
      size = child.size.value_or(size);
      const std::string identifier = forJoliet ? Ucs2(child.joliet) : child.primary;
      const std::string systemUse =
          !forJoliet && rockRidge && !child.rockRidge.empty() ? NameEntries(child.rockRidge) : "";
      records.push_back(Record(sector, size, static_cast<uint8_t>((child.isFolder ? 0x02 : 0) | child.flags),
                               identifier, systemUse));
    }
    std::string self =
        Record(own, kSector, 0x02, std::string(1, '\0'),
               &folder == &root && rockRidge && !forJoliet ? std::string("SP\7\1\xBE\xEF\0", 7) : "");
    std::string records0 = self + Record(own, kSector, 0x02, std::string(1, '\1'), "");
    for (const std::string& record : records) records0 += record;
    records0.resize(kSector, '\0');
    sectors_[own] = records0;
    return own;
  }

  uint32_t PlaceFile(IsoNode& file) {
    const uint32_t first = static_cast<uint32_t>(sectors_.size());
    for (size_t at = 0; at < std::max<size_t>(file.contents.size(), 1); at += kSector) {
      std::string sector = file.contents.substr(std::min(at, file.contents.size()), kSector);
      sector.resize(kSector, '\0');
      sectors_.push_back(sector);
    }
    placedFiles_[&file] = first;
    return first;
  }

  std::string Descriptor(uint8_t type, uint32_t rootSector, bool forJoliet) const {
    std::string descriptor(kSector, '\0');
    descriptor[0] = static_cast<char>(type);
    descriptor.replace(1, 6, "CD001\1");
    descriptor.replace(40, 9, "TEST DISK");
    if (forJoliet) descriptor.replace(88, 3, "%/E");
    descriptor[128] = 0x00;
    descriptor[129] = 0x08;
    descriptor[130] = 0x08;
    descriptor[131] = 0x00;
    descriptor.replace(156, 34, Record(rootSector, kSector, 0x02, std::string(1, '\0'), ""));
    descriptor[881] = 1;
    return descriptor;
  }

  static std::string Terminator() {
    std::string descriptor(kSector, '\0');
    descriptor[0] = static_cast<char>(255);
    descriptor.replace(1, 6, "CD001\1");
    return descriptor;
  }

  std::vector<std::string> sectors_;
  std::map<const IsoNode*, uint32_t> placedFiles_;
};

// One file or folder of a FAT12 floppy image.
struct FatNode {
  std::string shortName;  // "README.TXT"
  std::string longName;   // UTF-8 (ASCII in the tests); empty: no long-name entries
  bool isFolder = false;
  std::string contents;
  std::vector<FatNode> children;
  std::optional<uint16_t> firstCluster;  // recorded instead of its own
  std::optional<uint32_t> size;          // recorded instead of its own
  bool wrongChecksum = false;            // its long-name entries carry another name's checksum
};

inline FatNode FatFile(std::string shortName, std::string longName, std::string contents) {
  FatNode node;
  node.shortName = std::move(shortName);
  node.longName = std::move(longName);
  node.contents = std::move(contents);
  return node;
}

inline FatNode FatFolder(std::string shortName, std::string longName, std::vector<FatNode> children) {
  FatNode node;
  node.shortName = std::move(shortName);
  node.longName = std::move(longName);
  node.isFolder = true;
  node.children = std::move(children);
  return node;
}

class FatImage {
 public:
  static constexpr uint32_t kSector = 512;  // one sector a cluster
  static constexpr uint32_t kClusters = 64;
  static constexpr uint32_t kRootEntries = 64;
  std::vector<FatNode> root;
  std::map<uint16_t, uint16_t> chainEdits;  // FAT entries written over the builder's own

  std::string Build() {
    fat_.assign(kClusters + 2, 0);
    fat_[0] = 0xFF0;
    fat_[1] = 0xFFF;
    next_ = 2;
    clusters_.assign(kClusters, std::string(kSector, '\0'));
    const std::string rootRecords = Entries(root, 0, 0);
    for (const auto& [cluster, value] : chainEdits) fat_[cluster] = value;

    std::string image(kSector, '\0');
    image[0] = static_cast<char>(0xEB);
    image[11] = 0x00;
    image[12] = 0x02;  // 512 bytes a sector
    image[13] = 1;     // a sector a cluster
    image[14] = 1;     // one reserved sector
    image[16] = 1;     // one FAT
    image[17] = static_cast<char>(kRootEntries);
    const uint32_t total = 1 + 1 + kRootEntries * 32 / kSector + kClusters;
    image[19] = static_cast<char>(total & 0xFF);
    image[20] = static_cast<char>(total >> 8);
    image[21] = static_cast<char>(0xF0);
    image[22] = 1;  // a sector a FAT
    image[510] = 0x55;
    image[511] = static_cast<char>(0xAA);
    std::string fat(kSector, '\0');
    for (size_t cluster = 0; cluster < fat_.size(); ++cluster) {
      const size_t at = cluster + cluster / 2;
      if (cluster % 2 == 0) {
        fat[at] = static_cast<char>(fat_[cluster] & 0xFF);
        fat[at + 1] = static_cast<char>((fat[at + 1] & 0xF0) | (fat_[cluster] >> 8));
      } else {
        fat[at] = static_cast<char>((fat[at] & 0x0F) | (fat_[cluster] & 0x0F) << 4);
        fat[at + 1] = static_cast<char>(fat_[cluster] >> 4);
      }
    }
    image += fat;
    std::string rootArea = rootRecords;
    rootArea.resize(kRootEntries * 32, '\0');
    image += rootArea;
    for (const std::string& cluster : clusters_) image += cluster;
    return image;
  }

  static unsigned char Checksum(const std::string& padded) {
    unsigned char sum = 0;
    for (const char c : padded)
      sum = static_cast<unsigned char>(((sum & 1) << 7) + (sum >> 1) + static_cast<unsigned char>(c));
    return sum;
  }

 private:
  static std::string Padded(const std::string& shortName) {
    const size_t dot = shortName.find('.');
    std::string base = shortName.substr(0, dot);
    std::string extension = dot == std::string::npos ? "" : shortName.substr(dot + 1);
    base.resize(8, ' ');
    extension.resize(3, ' ');
    return base + extension;
  }

  static std::string Entry(const std::string& padded, uint8_t attributes, uint16_t cluster, uint32_t size) {
    std::string entry(32, '\0');
    entry.replace(0, 11, padded);
    entry[11] = static_cast<char>(attributes);
    entry[26] = static_cast<char>(cluster & 0xFF);
    entry[27] = static_cast<char>(cluster >> 8);
    for (int i = 0; i < 4; ++i) entry[28 + i] = static_cast<char>(size >> (8 * i));
    return entry;
  }

  static std::string LongNameEntries(const std::string& name, unsigned char checksum) {
    std::u16string units(name.begin(), name.end());
    const size_t count = (units.size() + 12) / 13;
    if (units.size() % 13 != 0) units += u'\0';
    units.resize(count * 13, u'\xFFFF');
    static constexpr size_t kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    std::string entries;
    for (size_t sequence = count; sequence >= 1; --sequence) {
      std::string entry(32, '\0');
      entry[0] = static_cast<char>(sequence | (sequence == count ? 0x40 : 0));
      entry[11] = 0x0F;
      entry[13] = static_cast<char>(checksum);
      for (size_t i = 0; i < 13; ++i) {
        const char16_t unit = units[(sequence - 1) * 13 + i];
        entry[kOffsets[i]] = static_cast<char>(unit & 0xFF);
        entry[kOffsets[i] + 1] = static_cast<char>(unit >> 8);
      }
      entries += entry;
    }
    return entries;
  }

  // Allocates clusters for `bytes` in a row; returns the first (0 for none).
  uint16_t Allocate(const std::string& bytes) {
    if (bytes.empty()) return 0;
    const uint16_t first = next_;
    for (size_t at = 0; at < bytes.size(); at += kSector) {
      clusters_[next_ - 2] = bytes.substr(at, kSector);
      clusters_[next_ - 2].resize(kSector, '\0');
      fat_[next_] = at + kSector < bytes.size() ? static_cast<uint16_t>(next_ + 1) : 0xFFF;
      ++next_;
    }
    return first;
  }

  std::string Entries(std::vector<FatNode>& nodes, uint16_t self, uint16_t parent) {
    std::string records;
    if (self != 0) {
      records += Entry(".          ", 0x10, self, 0);
      records += Entry("..         ", 0x10, parent, 0);
    }
    for (FatNode& node : nodes) {
      const std::string padded = Padded(node.shortName);
      uint16_t cluster = 0;
      uint32_t size = 0;
      if (node.isFolder) {
        // A folder's cluster is taken first, so that its own entries can name it.
        cluster = next_;
        const size_t reserved = 2;  // two clusters for each folder's records
        next_ = static_cast<uint16_t>(next_ + reserved);
        std::string inner = Entries(node.children, cluster, self);
        inner.resize(reserved * kSector, '\0');
        clusters_[cluster - 2] = inner.substr(0, kSector);
        clusters_[cluster - 1] = inner.substr(kSector);
        fat_[cluster] = static_cast<uint16_t>(cluster + 1);
        fat_[cluster + 1] = 0xFFF;
      } else {
        cluster = Allocate(node.contents);
        size = static_cast<uint32_t>(node.contents.size());
      }
      if (!node.longName.empty()) {
        records += LongNameEntries(
            node.longName, static_cast<unsigned char>(Checksum(padded) + (node.wrongChecksum ? 1 : 0)));
      }
      records += Entry(padded, node.isFolder ? 0x10 : 0x20, node.firstCluster.value_or(cluster),
                       node.size.value_or(size));
    }
    return records;
  }

  std::vector<uint16_t> fat_;
  std::vector<std::string> clusters_;
  uint16_t next_ = 2;
};

}  // namespace quelm::testing
