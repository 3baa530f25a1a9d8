// Applies quelm-sim's run options to a simulated machine.
#include "console/RunOptions.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>

#include "autorun/AutoRun.h"
#include "config/Text.h"
#include "medium/ReleaseView.h"
#include "pci/PciFunctionText.h"
#include "platform/PciSlot.h"
#include "probe/SystemProbe.h"
#include "sim/NearestWord.h"
#include "sim/RegFile.h"
#include "sim/SimText.h"

namespace quelm::tool {

namespace {

// A decimal number of at most `maximum`.
unsigned long ParseNumber(const std::string& text, unsigned long maximum, const std::string& what) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isdigit(c) != 0;
      })) {
    throw UsageError("bad " + what + " \"" + text + "\"");
  }
  unsigned long value = 0;
  try {
    value = std::stoul(text, nullptr, 10);
  } catch (const std::exception&) {
    throw UsageError(what + " \"" + text + "\" is too large");
  }
  if (value > maximum) throw UsageError(what + " \"" + text + "\" is too large");
  return value;
}

// The length of the valid UTF-8 sequence at the start of `text` and its code point; 0 when it is
// not one (a stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut short).
size_t Utf8SequenceAt(std::string_view text, uint32_t& codePoint) {
  const auto lead = static_cast<unsigned char>(text[0]);
  size_t length = 0;
  uint32_t minimum = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1Fu;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0Fu;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07u;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t index = 1; index < length; ++index) {
    const auto next = static_cast<unsigned char>(text[index]);
    if ((next & 0xC0) != 0x80) return 0;
    codePoint = codePoint << 6 | (next & 0x3Fu);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < minimum || surrogate || codePoint > 0x10FFFF) return 0;
  return length;
}

void AppendHex(std::string& out, const char* prefix, uint32_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  out += prefix;
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xF];
}

}  // namespace

std::string EscapeForTerminal(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    uint32_t codePoint = 0;
    const size_t length = Utf8SequenceAt(text, codePoint);
    if (length == 0) {
      AppendHex(out, "\\x", static_cast<unsigned char>(text[0]), 2);
      text.remove_prefix(1);
      continue;
    }
    if (codePoint == '\n') {
      out += "\\n";
    } else if (codePoint == '\r') {
      out += "\\r";
    } else if (codePoint == '\t') {
      out += "\\t";
    } else if (codePoint < 0x20 || codePoint == 0x7F) {
      AppendHex(out, "\\x", codePoint, 2);
    } else if ((codePoint >= 0x80 && codePoint <= 0x9F) || codePoint == 0x2028 || codePoint == 0x2029) {
      AppendHex(out, "\\u", codePoint, 4);
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return out;
}

VersionRecord ParseVersion(const std::string& text) {
  const size_t colon = text.find(':');
  const std::string numbers = text.substr(0, colon);
  const size_t firstDot = numbers.find('.');
  const size_t secondDot =
      firstDot == std::string::npos ? std::string::npos : numbers.find('.', firstDot + 1);
  if (secondDot == std::string::npos) {
    throw UsageError("bad --version \"" + text + "\": expected PLATFORM.MAJOR.MINOR[:SERVICETEXT]");
  }
  VersionRecord record;
  record.platformId =
      static_cast<uint32_t>(ParseNumber(numbers.substr(0, firstDot), 0xFFFFFFFF, "platform ID"));
  record.majorVersion = static_cast<uint32_t>(
      ParseNumber(numbers.substr(firstDot + 1, secondDot - firstDot - 1), 0xFFFFFFFF, "major version"));
  record.minorVersion =
      static_cast<uint32_t>(ParseNumber(numbers.substr(secondDot + 1), 0xFFFFFFFF, "minor version"));
  if (colon != std::string::npos) {
    const std::string service = text.substr(colon + 1);
    if (service.size() >= sizeof(record.serviceText))
      throw UsageError("service text longer than 127 characters");
    std::copy(service.begin(), service.end(), record.serviceText);
  }
  return record;
}

uint32_t AddPciDevice(const std::string& text, sim::SimMachine& machine) {
  PciFunctionIds ids;
  try {
    ids = ParsePciAssignment(text);
  } catch (const PciTextError& fault) {
    throw UsageError("bad --pci \"" + text + "\": " + fault.what());
  }
  const PciAddress& address = ids.address;
  machine.AddPciFunction(address.bus, address.device, address.function, ids.vendorId, ids.deviceId);
  return PciSlotOf(address.bus, address.device, address.function);
}

std::vector<std::string> SystemChoices() {
  std::vector<std::string> choices = sim::SimulatedOsNames();
  for (const sim::WindowsRelease& release : sim::WindowsReleases()) {
    choices.emplace_back(release.alias);
    for (const std::string& other : sim::OtherNamesOf(release)) choices.push_back(other);
  }
  return choices;
}

void ApplySystem(const std::string& os, sim::SimMachine& machine) {
  // Launcher names are written in capitals and releases in small letters: "WIN95" is the launcher's
  // name (a Windows Me record), "win95" the release Windows 95, as people call it; "NT31" (version
  // 3.1) and "nt31" (the release, which reports 3.10) differ alike. A launcher name in small letters
  // that names no release ("w98") is still taken.
  const sim::WindowsRelease* release = sim::ReleaseNamed(os);
  if (const auto record = sim::VersionForOsName(os)) {
    machine.version = *record;
    machine.windowsLabel.clear();
  } else if (release != nullptr) {
    machine.version = release->record;
    machine.windowsLabel = release->label;
  } else if (const auto anyCase = sim::VersionForOsName(sim::Upper(os))) {
    machine.version = *anyCase;
    machine.windowsLabel.clear();
  } else {
    std::string names;
    for (const std::string& name : sim::SimulatedOsNames()) names += " " + name;
    throw UsageError("unknown --os \"" + os + "\"" + sim::DidYouMean(os, SystemChoices()) + ": expected" +
                     names + ", or a release that quelm-sim run --help lists");
  }
}

namespace {

// A drive backed by an image, shown once the machine's release and code page are known.
struct ImageDrive {
  char letter;
  Medium medium;
};

// The image at `path`, read; a fault is a usage error that names `what` ("disk image", "image for
// drive E:") and the path.
Medium OpenImage(const std::string& path, const std::string& what) {
  try {
    return OpenMedium(path);
  } catch (const MediumError& fault) {
    throw UsageError(what + " \"" + path + "\": " + fault.what());
  }
}

// Whether `path` is to be read as an image: it is no folder and names one by its extension.
bool NamesImage(const std::string& path) {
  std::error_code error;
  return !std::filesystem::is_directory(path, error) && IsImagePath(path);
}

// The launcher's start: the user's own command where the options give one, else as the release starts
// it from this disk. The plain start (Explorer, D:\QUELM.EXE, no AUTORUN.INF) leaves the machine as
// every run had it before AUTORUN.INF was read.
void ApplyStart(const RunOptions& options, DiskKind kind, sim::SimMachine& machine) {
  std::optional<StartedBy> asked;
  if (options.startedBy) {
    asked = StartedByNamed(*options.startedBy);
    if (!asked) {
      throw UsageError("bad --started-by \"" + *options.startedBy +
                       "\": expected autorun, explorer or command");
    }
  }
  const bool given =
      options.startGiven || options.cwd != "D:\\" || !options.tail.empty() || options.launcherDir != "D:\\";
  if (given && asked && *asked != StartedBy::kCommand) {
    throw UsageError(std::string("--started-by ") + StartedByName(*asked) +
                     " takes the start from the disk: leave out --cwd, --tail and --launcher-dir");
  }
  if (given || asked == StartedBy::kCommand) {
    if (asked) {
      sim::LaunchRecord launch;
      launch.startedBy = "command";
      launch.program =
          options.launcherDir + (options.launcherDir.ends_with('\\') ? "" : "\\") + kLauncherFile;
      launch.commandLine = machine.commandLine;
      launch.currentDirectory = options.cwd;
      launch.why = "asked for: the command line and current directory the options give";
      machine.launch = std::move(launch);
    }
    return;
  }
  const AutoRunFile file = ReadAutoRunFile(machine.fileSystem, 'D', machine.version, machine.codePage);
  const LauncherStart start = PlanStart(file, machine.version, kind, asked);
  if (start.plain) return;
  machine.currentDirectory = start.currentDirectory;
  machine.commandLine = start.commandLine;
  machine.launcherDirectory = start.launcherDirectory;
  machine.launch =
      sim::LaunchRecord{StartedByName(start.by), start.program,  start.commandLine, "",
                        start.currentDirectory,  start.why,      start.notes,       start.asksFirst,
                        start.driveLabel,        start.driveIcon};
}

}  // namespace

std::vector<std::string> LoadRegistry(const RunOptions& options, sim::Registry& registry) {
  std::vector<std::string> notes;
  for (const std::string& file : options.registryFiles) {
    try {
      const std::vector<std::string> skipped = LoadRegFile(registry, file);
      std::string hives;
      for (const std::string& hive : skipped) hives += (hives.empty() ? "" : ", ") + hive;
      if (!hives.empty()) {
        notes.push_back("--registry " + file + ": " + hives +
                        " left out; the launcher reads HKEY_LOCAL_MACHINE alone");
      }
    } catch (const sim::RegFileError& fault) {
      throw UsageError(fault.what());
    }
  }
  return notes;
}

std::vector<std::string> ApplyOptions(const RunOptions& options, sim::SimMachine& machine,
                                      const sim::Registry* loaded) {
  std::vector<std::string> notes;
  std::error_code error;
  std::vector<ImageDrive> images;
  if (NamesImage(options.disk)) {
    images.push_back(ImageDrive{'D', OpenImage(options.disk, "disk image")});
  } else if (!std::filesystem::is_directory(options.disk, error)) {
    throw UsageError("disk folder \"" + options.disk + "\" does not exist");
  } else {
    machine.fileSystem.MapDrive('D', options.disk);
  }
  const auto mapped = [&machine, &images](char letter) {
    return machine.fileSystem.HasDrive(letter) ||
           std::any_of(images.begin(), images.end(), [letter](const ImageDrive& image) {
             return image.letter == UpperAscii(letter);
           });
  };
  for (const std::string& mapping : options.drives) {
    if (mapping.size() < 3 || mapping[1] != '=' ||
        std::isalpha(static_cast<unsigned char>(mapping[0])) == 0) {
      throw UsageError("bad --drive \"" + mapping + "\": expected L=FOLDER or L=IMAGE");
    }
    // A second folder for a letter would silently replace the first (DISK is D:).
    if (mapped(mapping[0])) {
      throw UsageError("--drive \"" + mapping + "\": drive " + UpperAscii(mapping[0]) +
                       ": is already mapped");
    }
    const std::string target = mapping.substr(2);
    if (NamesImage(target)) {
      images.push_back(ImageDrive{UpperAscii(mapping[0]),
                                  OpenImage(target, "image for drive " + mapping.substr(0, 1) + ":")});
      continue;
    }
    if (!std::filesystem::is_directory(target, error)) {
      throw UsageError("folder \"" + target + "\" for drive " + mapping.substr(0, 1) + ": does not exist");
    }
    machine.fileSystem.MapDrive(mapping[0], target);
  }

  if (options.version) {
    machine.version = ParseVersion(*options.version);
  } else {
    ApplySystem(options.os, machine);
  }

  machine.currentDirectory = options.cwd;
  machine.SetCommandTail(options.tail);

  if (loaded != nullptr) {
    machine.registry = *loaded;
  } else {
    notes = LoadRegistry(options, machine.registry);
  }
  if (options.usbSupplement) {
    if (*options.usbSupplement == "yes") {
      // What the supplement's setup leaves, as far as the launcher reads it.
      machine.registry.SetString(kUsbSupplementKey, kUsbSupplementValue, "USB Supplement to OSR2");
    } else if (*options.usbSupplement == "no") {
      if (sim::RegistryKey* key = machine.registry.Find(kUsbSupplementKey))
        key->RemoveValue(kUsbSupplementValue);
    } else {
      throw UsageError("bad --usb-supplement \"" + *options.usbSupplement + "\": expected yes or no");
    }
  }
  for (const std::string& key : options.deniedKeys) {
    sim::RegistryKey* found = machine.registry.Find(key);
    if (!found) throw UsageError("--deny-key \"" + key + "\": no such key below HKEY_LOCAL_MACHINE");
    found->accessDenied = true;
  }

  for (const std::string& answer : options.answers) {
    const std::string upper = sim::Upper(answer);
    if (upper != "OK" && upper != "CANCEL")
      throw UsageError("bad --answer \"" + answer + "\": expected OK or CANCEL");
    machine.answers.push_back(upper == "OK" ? kAnswerOk : kAnswerCancel);
  }

  std::set<uint32_t> slots;
  for (const std::string& device : options.pciDevices) {
    // Two cards in one slot would silently leave only the last.
    if (!slots.insert(AddPciDevice(device, machine)).second)
      throw UsageError("--pci \"" + device + "\": that bus, device and function is already given");
  }
  const auto access = sim::PciAccessNamed(options.pciAccess);
  if (!access)
    throw UsageError("bad --pci-access \"" + options.pciAccess +
                     "\": expected auto, ports, device-list or none");
  machine.pciAccess = *access;
  if (!sim::IsKnownCodePage(options.codePage)) {
    throw UsageError("unknown --codepage " + std::to_string(options.codePage) +
                     ": expected 874, 1250 to 1258, 932, 936, 949 or 950");
  }
  machine.codePage = options.codePage;

  static const std::map<std::string, sim::InstallerPresence> kPresences = {
      {"search", sim::InstallerPresence::kSearch},
      {"present", sim::InstallerPresence::kPresent},
      {"missing", sim::InstallerPresence::kMissing}};
  const auto presence = kPresences.find(options.installer);
  if (presence == kPresences.end()) {
    throw UsageError("bad --installer \"" + options.installer + "\": expected search, present or missing");
  }
  machine.installer.presence = presence->second;
  machine.launcherDirectory = options.launcherDir;
  machine.searchPath = options.searchPath;
  machine.installer.exitCode = static_cast<uint32_t>(options.installerExit);
  machine.installer.showAfterMs = options.installerDelayMs;
  static const std::map<std::string, sim::InstallerWindow> kWindows = {
      {"normal", sim::InstallerWindow::kNormal},
      {"offscreen", sim::InstallerWindow::kOffscreen},
      {"hidden", sim::InstallerWindow::kHidden},
      {"never", sim::InstallerWindow::kNever}};
  const auto window = kWindows.find(options.installerWindow);
  if (window == kWindows.end()) {
    throw UsageError("bad --installer-window \"" + options.installerWindow +
                     "\": expected normal, offscreen, hidden or never");
  }
  machine.installer.window = window->second;
  if (options.installerButton != "present" && options.installerButton != "absent") {
    throw UsageError("bad --installer-button \"" + options.installerButton +
                     "\": expected present or absent");
  }
  machine.installer.hasButton = options.installerButton == "present";
  machine.installer.lifetimeMs = options.installerLifetimeMs;

  // An image shows what the machine's release reads on it, names in the machine's code page.
  for (const ImageDrive& image : images) {
    machine.fileSystem.MapMedium(image.letter, DriveView(image.medium, machine.version, machine.codePage));
  }
  const bool floppy = std::any_of(images.begin(), images.end(), [](const ImageDrive& image) {
    return image.letter == 'D' && image.medium.format != MediumFormat::kIso9660;
  });
  ApplyStart(options, floppy ? DiskKind::kFloppy : DiskKind::kCd, machine);
  return notes;
}

}  // namespace quelm::tool
