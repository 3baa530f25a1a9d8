// quelm-sim run --all-os: one disk on every system, each run summed up in a row.
#pragma once

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/sim/SimEvents.h"

namespace quelm::tool {

// What a disk does on one system, as a disk author compares it across systems.
struct SystemRun {
  std::string osName;  // as the simulated machine was set up, "OTHER" included
  std::string pciAccess;
  std::vector<sim::MessageEvent> messages;
  std::optional<sim::CardEvent> card;  // the last card a card list found
  std::vector<sim::InstallerEvent> installers;
  std::vector<sim::ShellEvent> shellOpens;
  bool hang = false;
  int32_t exitCode = 0;
};

SystemRun SumUp(const std::string& osName, const std::vector<sim::Event>& events);

// One row per system with aligned columns, or one JSON object per system and line; UTF-8.
std::string RenderSystemsTable(const std::vector<SystemRun>& runs, uint32_t codePage);
std::string RenderSystemsJson(const std::vector<SystemRun>& runs, uint32_t codePage);

}  // namespace quelm::tool
