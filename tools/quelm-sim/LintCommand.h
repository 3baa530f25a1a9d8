// quelm-sim lint: a disk's QUELM.INI checked for the mistakes the launcher passes over in silence.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

namespace quelm::tool {

class LintCommand {
 public:
  // Adds the subcommand and its options to `app`.
  explicit LintCommand(CLI::App& app);

  bool Chosen() const { return command_->parsed(); }
  // Prints the findings and returns 0 for a clean disk, 1 with findings; throws UsageError when the
  // disk cannot be read.
  int Execute(std::ostream& out);

 private:
  CLI::App* command_;
  std::string disk_;
  unsigned codePage_ = 1252;
  std::string installer_ = "search";
  bool json_ = false;
};

}  // namespace quelm::tool
