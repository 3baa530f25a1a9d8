// quelm-sim lint: a disk's QUELM.INI checked for the mistakes the launcher passes over in silence.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace quelm::tool {

class LintCommand {
 public:
  // Adds the subcommand and its options to `app`.
  explicit LintCommand(CLI::App& app);

  bool Chosen() const { return command_->parsed(); }
  // Prints each disk's findings and returns 0 when all are clean, 1 with findings, 2 when a disk could
  // not be read (said on `errors`, the others checked all the same); throws UsageError for a path that
  // names no disk.
  int Execute(std::ostream& out, std::ostream& errors);

 private:
  CLI::App* command_;
  std::vector<std::string> disks_;
  std::vector<std::string> skipped_;
  unsigned codePage_ = 1252;
  std::string installer_ = "search";
  bool json_ = false;
  bool fix_ = false;
  std::string pciIds_;  // a pci.ids file, "auto", or empty for none
};

}  // namespace quelm::tool
