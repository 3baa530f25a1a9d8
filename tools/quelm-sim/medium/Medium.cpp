// Opening an image by its kind, reading a file's bytes, and the UTF-16 texts the trees record.
#include "medium/Medium.h"

#include <algorithm>

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

void AppendUtf8(std::string& out, uint32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | codePoint >> 6);
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | codePoint >> 12);
    out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | codePoint >> 18);
    out += static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
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
  std::string out;
  const auto unitAt = [&bytes, bigEndian](size_t at) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    return bigEndian ? static_cast<uint32_t>(first << 8 | second)
                     : static_cast<uint32_t>(second << 8 | first);
  };
  for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
    uint32_t unit = unitAt(at);
    if (unit >= 0xD800 && unit <= 0xDBFF && at + 3 < bytes.size()) {
      const uint32_t low = unitAt(at + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        at += 2;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
    AppendUtf8(out, unit);
  }
  return out;
}

std::string Utf8ToUtf16Le(std::string_view utf8) {
  std::string out;
  const auto put = [&out](uint32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  };
  for (size_t at = 0; at < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > utf8.size()) {
      put(0xFFFD);
      ++at;
      continue;
    }
    uint32_t codePoint = length == 1 ? lead : lead & (0xFFu >> (length + 1));
    for (size_t index = 1; index < length; ++index) {
      codePoint = codePoint << 6 | (static_cast<unsigned char>(utf8[at + index]) & 0x3Fu);
    }
    if (codePoint >= 0x10000) {
      put(0xD800 + ((codePoint - 0x10000) >> 10));
      put(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    } else {
      put(codePoint);
    }
    at += length;
  }
  return out;
}

}  // namespace quelm::tool
