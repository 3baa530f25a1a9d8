// Windows paths of the simulated machine, mapped by drive letter onto host folders or burnt media.
#pragma once

#include <stddef.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "sim/SimMedium.h"

namespace quelm::sim {

// The most the simulated machine reads of one host file. A disk's QUELM.INI and a machine's .reg
// file are kilobytes, and even a card list of 100,000 entries stays under 4 MiB; the bound keeps a
// path given by mistake (a disk image, a log that keeps growing) from taking memory and time.
constexpr size_t kHostFileLimit = size_t{16} << 20;

// A host file's bytes, or why there are none, in words for a one-line message.
struct HostFile {
  std::optional<std::string> bytes;
  std::string fault;  // "is a folder", "is not a regular file", "cannot open: <reason>", ...
};

// Reads a regular file of at most `limit` bytes. Folders, FIFOs, sockets and devices are refused
// without being read, so nothing blocks or runs on without end.
HostFile ReadHostFile(const std::filesystem::path& path, size_t limit = kHostFileLimit);
// The same, handing the bytes over a piece at a time (so that a large file is never held whole), with
// the rules of ReadHostFile; the fault in words, empty when the whole file was read.
std::string ReadHostFileChunks(const std::filesystem::path& path, size_t limit,
                               const std::function<void(std::string_view)>& take);

class FileSystem {
 public:
  // The drive shows the host folder's files. A letter mapped again takes the new folder or medium.
  void MapDrive(char letter, const std::filesystem::path& folder);
  // A file that stands at `windowsPath` (with its drive) whatever the drive's folder holds there: the
  // QUELM.INI that lint was handed, say. Its drive exists from then on.
  void PutFile(std::string_view windowsPath, std::string bytes);
  // The drive shows a medium's files as the machine's release sees them (see MediumNode): names are
  // matched as on a folder drive, against each entry's name and alias.
  void MapMedium(char letter, std::shared_ptr<const MediumNode> root);
  bool HasDrive(char letter) const;

  // The host path for a Windows path such as "D:\W98\QUELM.INI", each part matched without regard
  // to case as Windows does; a path without a drive is taken on `currentDrive`. Nothing when a part
  // does not exist, or when the drive is a medium, whose files have no host path. ".." stops at the
  // drive's folder, as it stops at a drive's root on Windows.
  std::optional<std::filesystem::path> Resolve(std::string_view windowsPath, char currentDrive) const;
  // What the path names: nothing, a folder, or a file (anything that is no folder).
  enum class Entry { kMissing, kFolder, kFile };
  Entry EntryAt(std::string_view windowsPath, char currentDrive) const;
  // The file's bytes; nothing when it does not exist or is no regular file within kHostFileLimit.
  std::optional<std::string> ReadFile(std::string_view windowsPath, char currentDrive) const;

 private:
  std::map<std::string, std::string> putFiles_;  // by the path in capitals
  struct Drive {
    std::filesystem::path folder;              // a folder drive's folder
    std::shared_ptr<const MediumNode> medium;  // a medium drive's root; null for a folder drive
  };
  // The drive a path lies on, and the path without its drive letter; null for an unmapped drive.
  const Drive* DriveOf(std::string_view& windowsPath, char currentDrive) const;
  // The medium's entry a path (without its drive) names; null when a part does not exist.
  static const MediumNode* FindOnMedium(const MediumNode& root, std::string_view path);

  std::map<char, Drive> drives_;
};

}  // namespace quelm::sim
