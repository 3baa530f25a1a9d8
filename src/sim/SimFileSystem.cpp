// Drive letters onto host folders and media, with Windows' case-blind name matching.
#include "sim/SimFileSystem.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "config/Text.h"
#include "sim/SimText.h"

namespace quelm::sim {

HostFile ReadHostFile(const std::filesystem::path& path, size_t limit) {
  std::string bytes;
  std::string fault = ReadHostFileChunks(path, limit, [&bytes](std::string_view chunk) {
    bytes.append(chunk);
  });
  if (!fault.empty()) return HostFile{std::nullopt, std::move(fault)};
  return HostFile{std::move(bytes), {}};
}

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

// Calls `step` with each part of a path without its drive ("W98", "..", "QUELM.INI"), leaving out
// empty parts and "."; stops early and returns false when `step` does.
template <typename Step>
bool ForEachPart(std::string_view path, Step step) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (!part.empty() && part != "." && !step(part)) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

void FileSystem::MapDrive(char letter, const std::filesystem::path& folder) {
  drives_[UpperAscii(letter)] = Drive{folder, nullptr};
}

void FileSystem::MapMedium(char letter, std::shared_ptr<const MediumNode> root) {
  drives_[UpperAscii(letter)] = Drive{{}, std::move(root)};
}

namespace {

// A put file's path as the map holds it: in capitals, on its drive.
std::string PutKey(std::string_view windowsPath, char currentDrive) {
  std::string key;
  if (windowsPath.size() < 2 || windowsPath[1] != ':') key = {currentDrive, ':'};
  key += windowsPath;
  for (char& c : key) c = UpperAscii(c);
  return key;
}

}  // namespace

void FileSystem::PutFile(std::string_view windowsPath, std::string bytes) {
  putFiles_[PutKey(windowsPath, 'D')] = std::move(bytes);
}

bool FileSystem::HasDrive(char letter) const {
  const char drive = UpperAscii(letter);
  if (drives_.count(drive) != 0) return true;
  return std::any_of(putFiles_.begin(), putFiles_.end(), [drive](const auto& put) {
    return put.first[0] == drive;
  });
}

const FileSystem::Drive* FileSystem::DriveOf(std::string_view& windowsPath, char currentDrive) const {
  char drive = currentDrive;
  if (windowsPath.size() >= 2 && windowsPath[1] == ':') {
    drive = windowsPath[0];
    windowsPath.remove_prefix(2);
  }
  const auto mapped = drives_.find(UpperAscii(drive));
  return mapped == drives_.end() ? nullptr : &mapped->second;
}

const MediumNode* FileSystem::FindOnMedium(const MediumNode& root, std::string_view path) {
  // As on a folder drive: ".." takes one back, never past the root, and a part is looked up among the
  // entries of the folder reached so far, the first whose name or alias matches winning.
  std::vector<const MediumNode*> walked{&root};
  const bool found = ForEachPart(path, [&walked](std::string_view part) {
    if (part == "..") {
      if (walked.size() > 1) walked.pop_back();
      return true;
    }
    for (const MediumNode& child : walked.back()->children) {
      if (SameNameIgnoringCase(child.name, part) ||
          (!child.alias.empty() && SameNameIgnoringCase(child.alias, part))) {
        walked.push_back(&child);
        return true;
      }
    }
    return false;
  });
  return found ? walked.back() : nullptr;
}

std::optional<std::filesystem::path> FileSystem::Resolve(std::string_view windowsPath,
                                                         char currentDrive) const {
  const Drive* mapped = DriveOf(windowsPath, currentDrive);
  if (!mapped || mapped->medium) return std::nullopt;
  // The folders walked so far, the drive's own first: ".." takes one back, never past the first,
  // however the drive's folder was spelt ("disk", "disk/", "./disk/.").
  std::vector<std::filesystem::path> walked{mapped->folder};
  const bool found = ForEachPart(windowsPath, [&walked](std::string_view part) {
    if (part == "..") {
      if (walked.size() > 1) walked.pop_back();
      return true;
    }
    const auto entry = FindEntry(walked.back(), part);
    if (!entry) return false;
    walked.push_back(*entry);
    return true;
  });
  if (!found) return std::nullopt;
  return walked.back();
}

FileSystem::Entry FileSystem::EntryAt(std::string_view windowsPath, char currentDrive) const {
  if (putFiles_.count(PutKey(windowsPath, currentDrive)) != 0) return Entry::kFile;
  std::string_view onDrive = windowsPath;
  if (const Drive* mapped = DriveOf(onDrive, currentDrive); mapped && mapped->medium) {
    const MediumNode* node = FindOnMedium(*mapped->medium, onDrive);
    if (!node) return Entry::kMissing;
    return node->isFolder ? Entry::kFolder : Entry::kFile;
  }
  const auto hostPath = Resolve(windowsPath, currentDrive);
  std::error_code error;
  if (!hostPath || !std::filesystem::exists(*hostPath, error)) return Entry::kMissing;
  return std::filesystem::is_directory(*hostPath, error) ? Entry::kFolder : Entry::kFile;
}

std::optional<std::string> FileSystem::ReadFile(std::string_view windowsPath, char currentDrive) const {
  if (const auto put = putFiles_.find(PutKey(windowsPath, currentDrive)); put != putFiles_.end())
    return put->second;
  std::string_view onDrive = windowsPath;
  if (const Drive* mapped = DriveOf(onDrive, currentDrive); mapped && mapped->medium) {
    const MediumNode* node = FindOnMedium(*mapped->medium, onDrive);
    if (!node || node->isFolder || !node->read) return std::nullopt;
    return node->read();
  }
  const auto hostPath = Resolve(windowsPath, currentDrive);
  if (!hostPath) return std::nullopt;
  return ReadHostFile(*hostPath).bytes;
}

}  // namespace quelm::sim
