// Reading an image's bytes within its bounds, from a host file or from memory.
#include "medium/ImageBytes.h"

#include <cstring>
#include <fstream>
#include <system_error>

namespace quelm::tool {

namespace {

class MemoryImage final : public ImageBytes {
 public:
  explicit MemoryImage(std::string bytes) : ImageBytes(bytes.size()), bytes_(std::move(bytes)) {}

 private:
  bool ReadWithin(uint64_t offset, uint64_t length, char* out) const override {
    std::memcpy(out, bytes_.data() + offset, static_cast<size_t>(length));
    return true;
  }
  std::string bytes_;
};

class FileImage final : public ImageBytes {
 public:
  FileImage(std::ifstream stream, uint64_t size) : ImageBytes(size), stream_(std::move(stream)) {}

 private:
  bool ReadWithin(uint64_t offset, uint64_t length, char* out) const override {
    // One stream serves every view of the image, each file read when the launcher asks for it; the
    // simulated machine runs on one thread.
    stream_.clear();
    stream_.seekg(static_cast<std::streamoff>(offset));
    stream_.read(out, static_cast<std::streamsize>(length));
    return static_cast<uint64_t>(stream_.gcount()) == length;
  }
  mutable std::ifstream stream_;
};

}  // namespace

std::shared_ptr<const ImageBytes> ImageBytes::FromFile(const std::filesystem::path& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (error) throw MediumError("cannot open: " + error.message());
  if (std::filesystem::is_directory(status)) throw MediumError("is a folder");
  // A FIFO or a device would never end (or never begin); an image is a file of a known size.
  if (!std::filesystem::is_regular_file(status)) throw MediumError("is not a regular file");
  const uintmax_t size = std::filesystem::file_size(path, error);
  if (error) throw MediumError("cannot read its size: " + error.message());
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw MediumError("cannot open");
  return std::make_shared<FileImage>(std::move(stream), static_cast<uint64_t>(size));
}

std::shared_ptr<const ImageBytes> ImageBytes::FromMemory(std::string bytes) {
  return std::make_shared<MemoryImage>(std::move(bytes));
}

std::string ImageBytes::Read(uint64_t offset, uint64_t length, const std::string& what) const {
  if (!Holds(offset, length)) {
    throw MediumError(what + " (" + std::to_string(length) + " bytes at byte " + std::to_string(offset) +
                      ") lies past the end of the image (" + std::to_string(size_) + " bytes)");
  }
  std::string bytes(static_cast<size_t>(length), '\0');
  if (length != 0 && !ReadWithin(offset, length, bytes.data())) throw MediumError("cannot read " + what);
  return bytes;
}

}  // namespace quelm::tool
