// quelm-sim run: options, the simulated run, its output; and the parse every command line goes through.
#include "run/RunCommand.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "events/EventRendering.h"
#include "pci/HostPciBus.h"
#include "pci/LocalPciBus.h"
#include "pci/LspciListing.h"
#include "run/SystemsTable.h"
#include "sim/NearestWord.h"

namespace quelm::tool {

namespace {

// Whether `name` ("--tail") is an option of `scope` that takes a value, as opposed to a flag.
bool TakesValue(const CLI::App& scope, const std::string& name) {
  const CLI::Option* option = scope.get_option_no_throw(name);
  return option != nullptr && option->get_items_expected_max() > 0;
}

// A number option given as "--installer-exit=" is refused instead of reading as 0.
std::string NonEmpty(const std::string& value) {
  return value.empty() ? "a value is needed" : "";
}

// A word that names no command or option where it stands is refused here, with the nearest word, rather
// than by CLI11, which says only that it was not expected.
void CheckWord(const CLI::App& scope, const std::string& argument) {
  if (argument.size() > 2 && argument.rfind("--", 0) == 0) {
    const std::string name = argument.substr(0, argument.find('='));
    if (scope.get_option_no_throw(name) != nullptr) return;
    std::vector<std::string> names;
    for (const CLI::Option* option : scope.get_options()) {
      for (const std::string& longName : option->get_lnames()) names.push_back("--" + longName);
    }
    const std::string where = scope.get_parent() != nullptr ? " of quelm-sim " + scope.get_name() : "";
    throw UsageError("unknown option " + name + where + sim::DidYouMean(name, names));
  }
  if (scope.get_parent() == nullptr && !argument.empty() && argument.front() != '-') {
    std::vector<std::string> commands;
    for (const CLI::App* command : scope.get_subcommands({})) commands.push_back(command->get_name());
    std::string listed;
    for (const std::string& command : commands) listed += (listed.empty() ? "" : ", ") + command;
    throw UsageError("unknown command \"" + argument + "\"" + sim::DidYouMean(argument, commands) +
                     ": the commands are " + listed);
  }
}

}  // namespace

void ParseCommandLine(CLI::App& app, int argc, const char* const* argv) {
  if (app.get_name().empty() && argc > 0) app.name(argv[0]);
  // CLI11 reads "--tail=" as "--tail" alone and then takes the next argument for its value, so
  // "--tail= --json" set the tail to "--json". Handing it the empty value as an argument of its own
  // keeps the value empty, as typed. Flags are left alone ("--json=" still means --json), and so is
  // everything after "--".
  std::vector<std::string> arguments;
  const CLI::App* scope = &app;
  bool optionsEnded = false;
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    optionsEnded = optionsEnded || argument == "--";
    const bool emptyValue = argument.size() > 3 && argument.rfind("--", 0) == 0 && argument.back() == '=';
    if (!optionsEnded && emptyValue && TakesValue(*scope, argument.substr(0, argument.size() - 1))) {
      arguments.push_back(argument.substr(0, argument.size() - 1));
      arguments.emplace_back();
      continue;
    }
    const auto entered = scope->get_subcommands([&argument](const CLI::App* subcommand) {
      return subcommand->check_name(argument);
    });
    if (!entered.empty()) {
      scope = entered.front();
    } else if (!optionsEnded) {
      CheckWord(*scope, argument);
    }
    arguments.push_back(argument);
  }
  std::reverse(arguments.begin(), arguments.end());  // CLI11 takes them last first
  app.parse(std::move(arguments));
}

namespace {

// The releases --os takes, each with the version record it reports and the launcher's name for it.
std::string ReleasesHelp() {
  std::string help =
      "Releases for --os (and the rows of --all-os): release, what it is, its version record "
      "(as --version writes it), the launcher's name for it, the other names --os takes for it (in any "
      "case; the launcher's names are written in capitals)\n";
  for (const sim::WindowsRelease& release : sim::WindowsReleases()) {
    const VersionRecord& record = release.record;
    const std::string raw = std::to_string(record.platformId) + "." + std::to_string(record.majorVersion) +
                            "." + std::to_string(record.minorVersion) + ":" + record.serviceText;
    const char* name = OsNameOf(ClassifyVersion(record));
    const auto column = [](const std::string& text, size_t width) {
      return text + std::string(text.size() < width ? width - text.size() : 1, ' ');
    };
    std::string others;
    for (const std::string& other : sim::OtherNamesOf(release))
      others += (others.empty() ? "" : ", ") + other;
    help += "  " + column(release.alias, 10) + column(release.label, 39) + column("\"" + raw + "\"", 25) +
            column(*name != '\0' ? name : "(none: NotSupport)", 20) + others + "\n";
  }
  return help;
}

}  // namespace

RunCommand::RunCommand(CLI::App& app)
    : command_(app.add_subcommand(
          "run", "Run the launcher on a disk folder or image and print what the user would see")) {
  CLI::App& run = *command_;
  RunOptions& options = options_;
  run.add_option("DISK", options.disk,
                 "Folder holding the disk's files, or the disk's ISO 9660 (.iso) or FAT floppy (.img, .ima) "
                 "image, read as each Windows release reads it; it becomes drive D:")
      ->required();
  std::string names;
  for (const std::string& name : sim::SimulatedOsNames()) names += (names.empty() ? "" : " ") + name;
  CLI::Option* os =
      run.add_option("--os", options.os, "Windows: a launcher name (" + names + ") or a release listed below")
          ->capture_default_str();
  run.footer(ReleasesHelp());
  // Both describe the same version record: taking one over the other would hide a mistake.
  run.add_option("--version", options.version, "Raw version record PLATFORM.MAJOR.MINOR[:SERVICETEXT]")
      ->excludes(os);
  run.add_option("--cwd", options.cwd, "Current directory as a Windows path")->capture_default_str();
  run.add_option("--tail", options.tail, "Command tail after the program name");
  run.add_option("--started-by", options.startedBy,
                 "Who starts QUELM.EXE: autorun (the disk's AUTORUN.INF, as the release runs it), explorer "
                 "(a double-click, in the program's folder) or command (--cwd, --tail, --launcher-dir); "
                 "default: autorun where the release runs an entry naming QUELM.EXE, else explorer");
  run.add_option("--drive", options.drives, "Map another drive: L=FOLDER or L=IMAGE (repeatable)");
  run.add_option("--registry", options.registryFiles,
                 "Load a .reg file into HKEY_LOCAL_MACHINE (repeatable)");
  run.add_option("--deny-key", options.deniedKeys, "A key below HKEY_LOCAL_MACHINE that refuses to open");
  run.add_option("--usb-supplement", options.usbSupplement,
                 "Whether the Windows 95 USB supplement is installed: yes or no "
                 "(writes or removes the uninstall entry the launcher reads, after any --registry)");
  run.add_option("--answer", options.answers, "Answer the next message box: OK or CANCEL (repeatable)");
  run.add_option("--pci", options.pciDevices,
                 "A PCI function: BB:DD.F=VVVV:DDDD or 0000:BB:DD.F=VVVV:DDDD, hexadecimal (repeatable)");
  CLI::Option* pciHost = run.add_flag(
      "--pci-host", options.pciHost,
      "Add the PCI functions of this machine (as quelm-sim scan lists them); a --pci in the same slot wins");
  run.add_option("--root", options.hostRoot,
                 "Have --pci-host read a Linux machine's sys/bus/pci or proc/bus/pci below this folder")
      ->needs(pciHost);
  // Two whole buses in one machine would be one of them with parts of the other.
  run.add_option("--pci-file", options.pciFile,
                 "Add the PCI functions of a machine as lspci -n (or -nn, -D -n, -mm -n) listed them; "
                 "a --pci in the same slot wins")
      ->excludes(pciHost);
  run.add_option("--pci-access", options.pciAccess,
                 "How QUELM.EXE reaches the bus: auto (by Windows version: ports on 9x, "
                 "the device list on 2000 and later, none on NT 3.x/4.0), ports, device-list or none")
      ->capture_default_str();
  run.add_option("--installer", options.installer,
                 "The installer program: search (where Windows looks for it: the launcher's folder, "
                 "the current directory, the search path), present or missing, whatever the disk holds")
      ->capture_default_str();
  run.add_option("--launcher-dir", options.launcherDir,
                 "The folder QUELM.EXE starts from, a Windows path; "
                 "Windows looks for the installer program there first")
      ->capture_default_str();
  run.add_option("--search-path", options.searchPath,
                 "A folder of the system folders and search path, a Windows path (repeatable; "
                 "in the order Windows looks)");
  run.add_option("--installer-exit", options.installerExit, "The installer program's exit code")
      ->check(NonEmpty);
  run.add_option("--installer-window", options.installerWindow,
                 "The installer program's window: normal, offscreen, hidden or never")
      ->capture_default_str();
  run.add_option("--installer-delay", options.installerDelayMs,
                 "Milliseconds before the installer program shows its window")
      ->check(NonEmpty);
  run.add_option("--installer-button", options.installerButton,
                 "Whether the installer program's window has its OK button: present or absent")
      ->capture_default_str();
  run.add_option("--installer-lifetime", options.installerLifetimeMs,
                 "Milliseconds after its start at which the installer program ends by itself, "
                 "pressed or not (0: at once, as one that crashes)")
      ->check(NonEmpty);
  run.add_option("--codepage", options.codePage,
                 "The system's ANSI code page: 1252 (Western), 874, 1250-1258, or the double-byte 932 "
                 "(Japanese), 936, 949, 950")
      ->capture_default_str()
      ->check(NonEmpty);
  run.add_flag("--json", options.json, "One JSON object per line");
  run.add_flag("--all-os", allOs_,
               "Run the disk once on every release listed below and show one row per release, "
               "with the launcher's name for it (with --json: one object per release)");
}

namespace {

// This machine's PCI functions, for --pci-host.
HostPciBus ReadHostBus(const std::optional<std::string>& root) {
  try {
    return root ? ReadHostPciBus(*root) : ReadLocalPciBus();
  } catch (const HostPciBusError& fault) {
    throw UsageError(std::string("--pci-host: ") + fault.what());
  }
}

// The functions of an lspci listing, for --pci-file.
HostPciBus ReadListedBus(const std::string& file) {
  HostPciBus bus;
  try {
    bus.functions = ReadLspciListing(file);
  } catch (const PciTextError& fault) {
    throw UsageError(fault.what());
  }
  return bus;
}

}  // namespace

int RunCommand::Execute(std::ostream& out) {
  options_.startGiven =
      command_->count("--cwd") + command_->count("--tail") + command_->count("--launcher-dir") > 0;
  // The host's or the listing's functions go in first, so that a --pci option in the same slot
  // replaces them.
  const HostPciBus host = options_.pciHost            ? ReadHostBus(options_.hostRoot)
                          : !options_.pciFile.empty() ? ReadListedBus(options_.pciFile)
                                                      : HostPciBus{};
  sim::Registry registry;
  const std::vector<std::string> notes = LoadRegistry(options_, registry);
  const auto runOn = [&host, &registry](const RunOptions& options, sim::SimMachine& machine) {
    AddHostPciFunctions(host, machine);
    ApplyOptions(options, machine, &registry);
  };
  const auto printNotes = [&notes, &host]() {
    for (const std::string& line : host.leftOut) std::cerr << "quelm-sim: --pci-host: " << line << '\n';
    for (const std::string& line : notes) std::cerr << "quelm-sim: " << line << '\n';
  };
  if (allOs_) {
    if (command_->count("--os") > 0 || command_->count("--version") > 0) {
      throw UsageError("--all-os runs every system: leave out --os and --version");
    }
    std::vector<SystemRun> runs;
    uint32_t codePage = 1252;
    for (const sim::WindowsRelease& release : sim::WindowsReleases()) {
      RunOptions options = options_;
      options.os = release.alias;
      sim::SimMachine machine;
      runOn(options, machine);
      machine.RunLauncher();
      runs.push_back(SumUp(release, machine.Events()));
      codePage = machine.codePage;
    }
    printNotes();
    out << (options_.json ? RenderSystemsJson(runs, codePage) : RenderSystemsTable(runs, codePage));
    return 0;
  }
  sim::SimMachine machine;
  runOn(options_, machine);
  // Only once the options are known to be good, so that a usage error stays the one line on stderr.
  printNotes();
  machine.RunLauncher();
  out << (options_.json ? RenderJson(machine.Events(), machine.codePage)
                        : RenderText(machine.Events(), machine.codePage));
  return 0;
}

}  // namespace quelm::tool
