// The bytes of a disk image, read piece by piece and never past their end: a host file or bytes in memory.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace quelm::tool {

// Anything wrong with an image or its reading, in one line that says what and where: the image's
// structures are read as a hostile input, so a loop, an extent past the end or an absurd size ends
// the reading with this error, never with a crash or a wait.
class MediumError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ImageBytes {
 public:
  // The image in a host file, opened once and read as asked; throws MediumError when it cannot be
  // opened or is no regular file.
  static std::shared_ptr<const ImageBytes> FromFile(const std::filesystem::path& path);
  // An image built in memory (tests, fuzzing).
  static std::shared_ptr<const ImageBytes> FromMemory(std::string bytes);

  ImageBytes(const ImageBytes&) = delete;
  ImageBytes& operator=(const ImageBytes&) = delete;
  virtual ~ImageBytes() = default;

  uint64_t Size() const { return size_; }
  // Whether `length` bytes from `offset` lie within the image.
  bool Holds(uint64_t offset, uint64_t length) const { return offset <= size_ && length <= size_ - offset; }
  // Exactly `length` bytes from `offset`; throws MediumError naming `what` when they do not lie
  // within the image or cannot be read.
  std::string Read(uint64_t offset, uint64_t length, const std::string& what) const;

 protected:
  explicit ImageBytes(uint64_t size) : size_(size) {}
  // Reads bytes known to lie within the image into `out`; false on a read error.
  virtual bool ReadWithin(uint64_t offset, uint64_t length, char* out) const = 0;

 private:
  uint64_t size_;
};

}  // namespace quelm::tool
