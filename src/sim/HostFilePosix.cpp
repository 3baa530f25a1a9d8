// Reading a host file for the simulated machine on Linux and other POSIX systems.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "sim/SimFileSystem.h"

namespace quelm::sim {

namespace {

std::string SystemFault(const char* what) {
  return std::string(what) + ": " + strerror(errno);
}

// Closes a descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int value) : value_(value) {}
  ~Descriptor() {
    if (value_ >= 0) close(value_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Value() const { return value_; }

 private:
  int value_;
};

std::optional<std::string> KindFault(const struct stat& status) {
  if (S_ISDIR(status.st_mode)) return "is a folder";
  if (!S_ISREG(status.st_mode)) return "is not a regular file";
  return std::nullopt;
}

}  // namespace

std::string ReadHostFileChunks(const std::filesystem::path& path, size_t limit,
                               const std::function<void(std::string_view)>& take) {
  std::string tooLarge = "is larger than " + std::to_string(limit) + " bytes";
  // The name is looked at first so that a device is never even opened (opening some has effects of
  // its own); the opened file is looked at again because the name may have changed hands meanwhile,
  // and opening without blocking keeps a FIFO without a writer from holding the open.
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return SystemFault("cannot open");
  if (auto fault = KindFault(status)) return *fault;
  const Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.Value() < 0) return SystemFault("cannot open");
  if (fstat(file.Value(), &status) != 0) return SystemFault("cannot read");
  if (auto fault = KindFault(status)) return *fault;
  if (static_cast<uintmax_t>(status.st_size) > limit) return tooLarge;

  // The size is only a hint: a file can grow while it is read, and files such as those under /proc
  // report none, so the limit is also kept while reading.
  size_t taken = 0;
  char chunk[64 * 1024];
  for (;;) {
    const ssize_t count = read(file.Value(), chunk, sizeof(chunk));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return SystemFault("cannot read");
    if (count == 0) break;
    if (static_cast<size_t>(count) > limit - taken) return tooLarge;
    taken += static_cast<size_t>(count);
    take(std::string_view(chunk, static_cast<size_t>(count)));
  }
  return "";
}

}  // namespace quelm::sim
