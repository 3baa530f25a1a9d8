// quelm-sim scan: what the launcher's PCI scan finds on the machine quelm-sim runs on.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>

namespace quelm::tool {

class ScanCommand {
 public:
  // Adds the subcommand and its options to `app`.
  explicit ScanCommand(CLI::App& app);

  bool Chosen() const { return command_->parsed(); }
  // Prints one line per function (text, JSON or a card list entry) and, on `notes`, one per function
  // left out or whose AGP capability could not be told. Returns 0, or 1 when a function, or the AGP
  // capability asked for, could not be read; throws UsageError when there is no bus to read.
  int Execute(std::ostream& out, std::ostream& notes);

 private:
  CLI::App* command_;
  std::optional<std::string> root_;  // a Linux tree to read instead of this machine's bus
  bool json_ = false;
  bool entries_ = false;
};

}  // namespace quelm::tool
