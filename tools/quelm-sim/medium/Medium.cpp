// Opening an image by its kind, reading a file's bytes, and the UTF-16 texts the trees record.
#include "medium/Medium.h"

#include <algorithm>
#include <utility>

#include "sim/SimCodePage.h"

namespace quelm::tool {

namespace {

std::string LowerExtension(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return extension;
}

// An ISO 9660 volume descriptor's standard identifier at sector 16 (ECMA-119 8.1).
bool HoldsIso9660(const ImageBytes& image) {
  constexpr uint64_t kFirstDescriptor = uint64_t{16} * 2048;
  return image.Holds(kFirstDescriptor, 6) &&
         image.Read(kFirstDescriptor + 1, 5, "the volume descriptor") == "CD001";
}

}  // namespace

const char* MediumFormatName(MediumFormat format) {
  switch (format) {
    case MediumFormat::kIso9660:
      return "ISO 9660";
    case MediumFormat::kFat12:
      return "FAT12";
    case MediumFormat::kFat16:
      return "FAT16";
  }
  return "";
}

bool IsImagePath(const std::filesystem::path& path) {
  const std::string extension = LowerExtension(path);
  return extension == ".iso" || extension == ".img" || extension == ".ima";
}

Medium OpenMedium(const std::filesystem::path& path) {
  std::shared_ptr<const ImageBytes> image = ImageBytes::FromFile(path);
  if (LowerExtension(path) == ".iso" || HoldsIso9660(*image)) return ReadIso9660(std::move(image));
  return ReadFat(std::move(image));
}

std::string ReadEntry(const Medium& medium, const MediumEntry& entry, uint64_t limit) {
  if (entry.isFolder) throw MediumError("\"" + entry.name + "\" is a folder");
  if (entry.size > limit) {
    throw MediumError("\"" + entry.name + "\" is larger than " + std::to_string(limit) + " bytes");
  }
  std::string bytes;
  bytes.reserve(static_cast<size_t>(entry.size));
  for (const Extent& extent : entry.extents) {
    bytes += medium.image->Read(extent.offset, extent.length, "the bytes of \"" + entry.name + "\"");
  }
  // The readers make the extents cover the size exactly; a file is never handed on cut or padded.
  if (bytes.size() != entry.size)
    throw MediumError("the extents of \"" + entry.name + "\" do not make its size");
  return bytes;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  if (!bigEndian) return sim::Utf16ToUtf8(bytes);
  std::string swapped(bytes.substr(0, bytes.size() & ~size_t{1}));
  for (size_t at = 0; at < swapped.size(); at += 2) std::swap(swapped[at], swapped[at + 1]);
  return sim::Utf16ToUtf8(swapped);
}

std::string Utf8ToUtf16Le(std::string_view utf8) {
  // ValidUtf8 leaves only characters, so the conversion cannot fail.
  return sim::Utf8ToUtf16(sim::ValidUtf8(utf8)).value_or("");
}

}  // namespace quelm::tool
