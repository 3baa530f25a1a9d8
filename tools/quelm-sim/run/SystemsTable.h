// quelm-sim run --all-os: one disk on every system, each run summed up in a row.
#pragma once

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "sim/SimEvents.h"
#include "sim/WindowsReleases.h"

namespace quelm::tool {

// What a disk does on one system, as a disk author compares it across systems.
struct SystemRun {
  std::string release;       // the release's alias: "98se"
  std::string releaseLabel;  // what it is: "Windows 98 SE (4.10.2222 A)"
  std::string osName;        // the launcher's name for it; "OTHER" where it has none
  std::string pciAccess;
  std::string installDir;
  std::string baseDir;
  std::optional<sim::LaunchRecord> launch;  // how the launcher started, where the run says so
  std::optional<bool> installDirExists;     // nothing where it lies on no simulated drive
  std::vector<sim::MessageEvent> messages;
  std::optional<sim::CardEvent> card;  // the last card a card list found
  std::vector<sim::InstallerEvent> installers;
  std::vector<sim::ShellEvent> shellOpens;
  bool hang = false;
  int32_t exitCode = 0;
};

SystemRun SumUp(const sim::WindowsRelease& release, const std::vector<sim::Event>& events);

// One row per system with aligned columns (a Start column where a run says how the launcher started:
// who started it and the base directory where it is not D:\'s root), or one JSON object per system and line;
// UTF-8.
std::string RenderSystemsTable(const std::vector<SystemRun>& runs, uint32_t codePage);
std::string RenderSystemsJson(const std::vector<SystemRun>& runs, uint32_t codePage);

}  // namespace quelm::tool
