// Windows paths of the simulated machine, mapped by drive letter onto host folders.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quelm::sim {

class FileSystem {
 public:
  void MapDrive(char letter, const std::filesystem::path& folder);
  bool HasDrive(char letter) const;

  // The host path for a Windows path such as "D:\W98\QUELM.INI", each part matched without regard
  // to case as Windows does; a path without a drive is taken on `currentDrive`. Nothing when a part
  // does not exist.
  std::optional<std::filesystem::path> Resolve(std::string_view windowsPath, char currentDrive) const;
  std::optional<std::string> ReadFile(std::string_view windowsPath, char currentDrive) const;

 private:
  std::map<char, std::filesystem::path> drives_;
};

}  // namespace quelm::sim
