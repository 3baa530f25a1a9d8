// quelm-sim run: the launcher on a disk folder, on a simulated machine set up by the options.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>

#include "console/RunOptions.h"

namespace quelm::tool {

// Parses the whole command line into `app` as CLI11's own parse does, except that an option written
// with an empty value ("--tail=") gets that empty value instead of the next argument. Throws what
// CLI11 throws.
void ParseCommandLine(CLI::App& app, int argc, const char* const* argv);

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
