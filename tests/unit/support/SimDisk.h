// Test support: a throwaway disk folder and a simulated machine that has it as drive D:.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/SimMachine.h"

namespace quelm::testing {

// A fresh folder under the system's temporary directory, removed again with the object.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quelm-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Writes `contents` byte for byte to `relative`, creating folders on the way.
  void Write(const std::string& relative, const std::string& contents) const {
    const auto file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << contents;
  }

 private:
  std::filesystem::path path_;
};

// A machine with a disk as drive D: holding QUELM.INI and the installer program, started in D:\ on
// Windows 98 by default.
class SimDisk {
 public:
  explicit SimDisk(const std::string& ini) {
    if (!ini.empty()) folder.Write("QUELM.INI", ini);
    folder.Write("vadrun.exe", "");
    machine.fileSystem.MapDrive('D', folder.Path());
  }
  void SetOs(const std::string& name) { machine.version = *sim::VersionForOsName(name); }
  int32_t Run() { return machine.RunLauncher(); }

  std::vector<std::string> MessageKeys() const {
    std::vector<std::string> keys;
    for (const auto& message : machine.EventsOf<sim::MessageEvent>()) keys.push_back(message.key);
    return keys;
  }
  size_t QuitRequests() const { return machine.EventsOf<sim::QuitEvent>().size(); }

  TempFolder folder;
  sim::SimMachine machine;
};

}  // namespace quelm::testing
