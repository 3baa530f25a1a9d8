// Drive letters onto host folders, with Windows' case-blind name matching.
#include "platform/sim/SimFileSystem.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>
#include <vector>

#include "config/Text.h"
#include "platform/sim/SimText.h"

namespace quelm::sim {

namespace {

bool SameNameIgnoringCase(std::string_view left, std::string_view right) {
  return EqualsIgnoringCase(ViewOf(left), ViewOf(right));
}

// The entry of `folder` whose name equals `name` without regard to case; an exact match wins.
std::optional<std::filesystem::path> FindEntry(const std::filesystem::path& folder, std::string_view name) {
  std::error_code error;
  const std::filesystem::path exact = folder / std::string(name);
  if (std::filesystem::exists(exact, error)) return exact;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (SameNameIgnoringCase(entry.path().filename().string(), name)) return entry.path();
  }
  return std::nullopt;
}

HostFile Fault(std::string text) {
  return HostFile{std::nullopt, std::move(text)};
}

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

HostFile ReadHostFile(const std::filesystem::path& path, size_t limit) {
  const std::string tooLarge = "is larger than " + std::to_string(limit) + " bytes";
  // The name is looked at first so that a device is never even opened (opening some has effects of
  // its own); the opened file is looked at again because the name may have changed hands meanwhile,
  // and opening without blocking keeps a FIFO without a writer from holding the open.
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return Fault(SystemFault("cannot open"));
  if (auto fault = KindFault(status)) return Fault(*fault);
  const Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.Value() < 0) return Fault(SystemFault("cannot open"));
  if (fstat(file.Value(), &status) != 0) return Fault(SystemFault("cannot read"));
  if (auto fault = KindFault(status)) return Fault(*fault);
  if (static_cast<uintmax_t>(status.st_size) > limit) return Fault(tooLarge);

  // The size is only a hint: a file can grow while it is read, and files such as those under /proc
  // report none, so the limit is also kept while reading.
  std::string bytes;
  bytes.reserve(static_cast<size_t>(status.st_size));
  char chunk[64 * 1024];
  for (;;) {
    const ssize_t count = read(file.Value(), chunk, sizeof(chunk));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return Fault(SystemFault("cannot read"));
    if (count == 0) break;
    if (static_cast<size_t>(count) > limit - bytes.size()) return Fault(tooLarge);
    bytes.append(chunk, static_cast<size_t>(count));
  }
  return HostFile{std::move(bytes), {}};
}

void FileSystem::MapDrive(char letter, const std::filesystem::path& folder) {
  drives_[UpperAscii(letter)] = folder;
}

bool FileSystem::HasDrive(char letter) const {
  return drives_.count(UpperAscii(letter)) != 0;
}

std::optional<std::filesystem::path> FileSystem::Resolve(std::string_view windowsPath,
                                                         char currentDrive) const {
  char drive = currentDrive;
  if (windowsPath.size() >= 2 && windowsPath[1] == ':') {
    drive = windowsPath[0];
    windowsPath.remove_prefix(2);
  }
  const auto mapped = drives_.find(UpperAscii(drive));
  if (mapped == drives_.end()) return std::nullopt;
  // The folders walked so far, the drive's own first: ".." takes one back, never past the first,
  // however the drive's folder was spelt ("disk", "disk/", "./disk/.").
  std::vector<std::filesystem::path> walked{mapped->second};
  size_t start = 0;
  while (start <= windowsPath.size()) {
    size_t end = windowsPath.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = windowsPath.size();
    const std::string_view part = windowsPath.substr(start, end - start);
    if (!part.empty() && part != ".") {
      if (part == "..") {
        if (walked.size() > 1) walked.pop_back();
      } else {
        const auto found = FindEntry(walked.back(), part);
        if (!found) return std::nullopt;
        walked.push_back(*found);
      }
    }
    start = end + 1;
  }
  return walked.back();
}

std::optional<std::string> FileSystem::ReadFile(std::string_view windowsPath, char currentDrive) const {
  const auto hostPath = Resolve(windowsPath, currentDrive);
  if (!hostPath) return std::nullopt;
  return ReadHostFile(*hostPath).bytes;
}

}  // namespace quelm::sim
