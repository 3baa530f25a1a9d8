// quelm-sim's run options and how they set up a simulated machine.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimMachine.h"

namespace quelm::tool {

// A command-line fault that gets a one-line message and exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A message as one line of valid UTF-8, whatever user input it quotes: control characters
// (line breaks, escape sequences, C1 controls, the Unicode line and paragraph separators) and bytes
// that are not UTF-8 are written as \n, \r, \t, \xHH or \uHHHH. Backslashes and quotes stay as
// they are, so that Windows paths read as typed.
std::string EscapeForTerminal(std::string_view text);

// What `quelm-sim run` was asked to simulate, before it is applied to a machine.
struct RunOptions {
  std::string disk;                    // a folder, or an .iso, .img or .ima image of the disk
  std::string os = "W98";              // a launcher name (W98) or a release (98se)
  std::optional<std::string> version;  // PLATFORM.MAJOR.MINOR[:SERVICETEXT], instead of `os`
  std::string cwd = "D:\\";
  std::string tail;
  // autorun, explorer or command; nothing: AutoRun where the disk's AUTORUN.INF starts the launcher on
  // the release, Explorer otherwise (autorun/AutoRun.h). A start given by --cwd, --tail or
  // --launcher-dir (`startGiven`, or values other than the defaults) is a command of the user's own.
  std::optional<std::string> startedBy;
  bool startGiven = false;
  std::vector<std::string> drives;  // L=FOLDER or L=IMAGE
  std::vector<std::string> registryFiles;
  std::vector<std::string> answers;          // OK or CANCEL
  std::vector<std::string> pciDevices;       // [0000:]BB:DD.F=VVVV:DDDD
  bool pciHost = false;                      // add this machine's own PCI functions; --pci replaces them
  std::string pciFile;                       // add the functions an lspci listing names; --pci replaces them
  std::optional<std::string> hostRoot;       // a Linux tree --pci-host reads instead of this machine's bus
  std::vector<std::string> deniedKeys;       // keys that exist but refuse to open
  std::optional<std::string> usbSupplement;  // yes or no: writes or removes what the launcher reads
  std::string pciAccess = "auto";            // auto, ports, device-list or none
  unsigned codePage = 1252;                  // the system's ANSI code page
  int installerExit = 0;
  std::string installerWindow = "normal";
  std::string installer = "search";     // search (as Windows would), present or missing
  std::string launcherDir = "D:\\";     // the folder QUELM.EXE starts from
  std::vector<std::string> searchPath;  // system folders and the search path, as Windows paths
  unsigned installerDelayMs = 0;
  std::string installerButton = "present";      // present or absent
  std::optional<unsigned> installerLifetimeMs;  // ends by itself this long after its start
  bool json = false;
};

// Sets the machine up as the options say; the launcher's start (its current directory, command line
// and folder) comes from the disk's AUTORUN.INF and the release's rules unless the options give it; throws
// UsageError for anything it cannot apply, a disk image that cannot be read among them. An image drive shows
// what the machine's release reads on it (medium/ReleaseView.h), so it is mapped once the release and the
// code page are set. Returns notes for stderr about what was left out (the other hives of a whole-registry
// export). `loaded`, where given, is the registry the --registry files make (LoadRegistry), so that runs on
// many systems read a large export once.
std::vector<std::string> ApplyOptions(const RunOptions& options, sim::SimMachine& machine,
                                      const sim::Registry* loaded = nullptr);
// The registry the --registry files make, in order; the notes of ApplyOptions.
std::vector<std::string> LoadRegistry(const RunOptions& options, sim::Registry& registry);

// Makes the machine the system `os` names: a launcher name (W95A ... NT40, OTHER) in any case, or a
// release ("95-osr2", "98se", "xp"); throws UsageError, with the nearest name, for any other.
void ApplySystem(const std::string& os, sim::SimMachine& machine);
// Every word --os takes: the launcher's names, then the releases.
std::vector<std::string> SystemChoices();

// Parses PLATFORM.MAJOR.MINOR[:SERVICETEXT]; throws UsageError.
VersionRecord ParseVersion(const std::string& text);
// Parses BB:DD.F=VVVV:DDDD or 0000:BB:DD.F=VVVV:DDDD (hexadecimal) and returns the slot it fills;
// throws UsageError.
uint32_t AddPciDevice(const std::string& text, sim::SimMachine& machine);

}  // namespace quelm::tool
