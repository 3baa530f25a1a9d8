// quelm-sim run: the launcher on a disk folder, on a simulated machine set up by the options.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>

#include "RunOptions.h"

namespace quelm::tool {

class RunCommand {
 public:
  // Adds the subcommand and its options to `app`.
  explicit RunCommand(CLI::App& app);

  bool Chosen() const { return command_->parsed(); }
  // Runs the launcher and prints what it did; throws UsageError for options it cannot apply.
  int Execute(std::ostream& out);

 private:
  CLI::App* command_;
  RunOptions options_;
  bool allOs_ = false;
};

}  // namespace quelm::tool
