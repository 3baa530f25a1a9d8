// A disk image's directory trees exactly as the image records them: ISO 9660 (the primary tree, the
// Joliet tree, Rock Ridge recognised) and FAT12/FAT16 floppies (8.3 and long names). run and lint read
// images through this; what each Windows release makes of the trees is ReleaseView.h's business.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "medium/ImageBytes.h"

namespace quelm::tool {

// Bounds that no disk for a launcher comes near and that keep a hostile image from taking memory and
// time: each is a MediumError when an image exceeds it.
constexpr size_t kMaxMediumEntries = 100000;                 // names in one tree
constexpr size_t kMaxMediumDepth = 128;                      // folder levels: no Windows path reaches deeper
constexpr uint64_t kMaxDirectoryBytes = uint64_t{16} << 20;  // one directory's records
constexpr size_t kMaxNameBytes = 255;  // a Rock Ridge name; a long FAT name in characters

// Where part of a file's bytes lies in the image.
struct Extent {
  uint64_t offset = 0;
  uint64_t length = 0;
};

// One file or folder of a tree.
struct MediumEntry {
  // The name as the tree records it. ISO 9660 primary tree: its bytes, a file's version included
  // ("README.TXT;1", or "README.;1" for a name without extension); FAT: the 8.3 name's bytes as
  // "NAME.EXT" without the fields' padding blanks; Joliet tree: its UCS-2 name in UTF-8.
  std::string name;
  // FAT: the long name of the VFAT entries before it, in UTF-8, where they run in order and their
  // checksum matches the 8.3 name. Where entries were there but do not belong to it, `longName` is
  // empty and `longNameFault` says why: Windows then shows the 8.3 name alone.
  std::string longName;
  std::string longNameFault;
  // ISO 9660 primary tree: the name the Rock Ridge entries (SUSP "NM") give, bytes as recorded; empty
  // where there are none. No Windows reads it: it is kept so that a tool can say which name is lost.
  std::string rockRidgeName;
  bool isFolder = false;
  bool hidden = false;                // the ISO 9660 existence bit or the FAT hidden attribute
  uint64_t size = 0;                  // a file's length in bytes; a folder's directory length
  std::vector<Extent> extents;        // a file's bytes, in order: together exactly `size` bytes
  std::vector<MediumEntry> children;  // a folder's entries in recorded order, without "." and ".."
};

enum class MediumFormat { kIso9660, kFat12, kFat16 };

// "ISO 9660", "FAT12", "FAT16".
const char* MediumFormatName(MediumFormat format);

struct Medium {
  MediumFormat format = MediumFormat::kIso9660;
  std::string volumeLabel;  // as recorded, trailing blanks left out
  // ISO 9660: the primary volume's tree; FAT: the volume's tree. The root's name is empty.
  MediumEntry root;
  // ISO 9660: the tree of the Joliet supplementary volume (UCS-2 names), where the image has one.
  std::optional<MediumEntry> joliet;
  // ISO 9660: the primary tree carries Rock Ridge entries (SUSP "RR" or "NM" in its records'
  // system use areas).
  bool rockRidge = false;
  std::shared_ptr<const ImageBytes> image;
};

// Whether a path names an image by its extension: .iso, .img or .ima, in any case.
bool IsImagePath(const std::filesystem::path& path);

// Reads the image a path names: an .iso as ISO 9660; an .img or .ima as a FAT floppy, unless it holds
// an ISO 9660 volume (some tools name CD images .img). Throws MediumError, whose text says what is
// wrong but not which file: the caller names it.
Medium OpenMedium(const std::filesystem::path& path);
// Reads the image `source` holds as ISO 9660, or as a FAT12 or FAT16 volume; throws MediumError.
Medium ReadIso9660(std::shared_ptr<const ImageBytes> source);
Medium ReadFat(std::shared_ptr<const ImageBytes> source);

// A file's bytes. Throws MediumError for a folder, for a file longer than `limit` bytes, and for
// bytes that do not lie within the image.
std::string ReadEntry(const Medium& medium, const MediumEntry& entry, uint64_t limit);

// UCS-2 or UTF-16 text, big-endian (Joliet) or little-endian (VFAT), in UTF-8; an unpaired surrogate
// becomes U+FFFD. And back to UTF-16LE, for the conversions to a code page.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);
std::string Utf8ToUtf16Le(std::string_view utf8);

}  // namespace quelm::tool
