// quelm-sim: shows what a driver disk's QUELM.INI will do on a simulated Windows machine.
#include <CLI/CLI.hpp>
#include <iostream>

#include "console/ConsoleSession.h"
#include "console/RunOptions.h"
#include "lint/LintCommand.h"
#include "run/RunCommand.h"
#include "scan/ScanCommand.h"

namespace {

int Main(int argc, char** argv) {
  CLI::App app{"Shows what a driver disk's QUELM.INI will do, on a simulated Windows machine."};
  app.name("quelm-sim");
  app.require_subcommand(1);
  // Only the top level: `run --version` is a Windows version record.
  app.set_version_flag("--version", "quelm-sim " QUELM_VERSION, "Print quelm-sim's version and exit");
  app.footer(
      "Examples:\n"
      "  quelm-sim run examples/disk --os 98se --pci 01:00.0=1A2B:3C4D --registry "
      "examples/machine/win98-card.reg\n"
      "  quelm-sim run examples/disk --all-os --pci 01:00.0=1A2B:3C4D\n"
      "  lspci -n > bus.txt; quelm-sim run examples/disk --os 98 --pci-file bus.txt\n"
      "  quelm-sim lint examples/disk other-disk/QUELM.INI\n"
      "  quelm-sim scan --entries\n"
      "Each subcommand explains its options: quelm-sim run --help.");
  quelm::tool::RunCommand run(app);
  quelm::tool::ScanCommand scan(app);
  quelm::tool::LintCommand lint(app);

  try {
    quelm::tool::ParseCommandLine(app, argc, argv);
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help);
  } catch (const CLI::CallForAllHelp& help) {
    return app.exit(help);
  } catch (const CLI::CallForVersion& version) {
    return app.exit(version);
  } catch (const CLI::ParseError& fault) {
    std::cerr << "quelm-sim: " << quelm::tool::EscapeForTerminal(fault.what()) << "\n";
    return 2;
  } catch (const quelm::tool::UsageError& fault) {
    std::cerr << "quelm-sim: " << quelm::tool::EscapeForTerminal(fault.what()) << "\n";
    return 2;
  }

  try {
    if (run.Chosen()) return run.Execute(std::cout);
    if (scan.Chosen()) return scan.Execute(std::cout, std::cerr);
    if (lint.Chosen()) return lint.Execute(std::cout, std::cerr);
  } catch (const quelm::tool::UsageError& fault) {
    std::cerr << "quelm-sim: " << quelm::tool::EscapeForTerminal(fault.what()) << "\n";
    return 2;
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const quelm::tool::ConsoleSession console;
  // Whatever else goes wrong (a folder that vanishes while it is read, memory running out) ends as
  // every other fault does: one line on stderr and status 2, never an abort.
  try {
    return Main(argc, argv);
  } catch (const std::exception& fault) {
    std::cerr << "quelm-sim: " << quelm::tool::EscapeForTerminal(fault.what()) << "\n";
    return 2;
  }
}
