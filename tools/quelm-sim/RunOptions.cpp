// Applies quelm-sim's run options to a simulated machine.
#include "RunOptions.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

#include "config/Text.h"
#include "platform/sim/RegFile.h"

namespace quelm::tool {

namespace {

unsigned long ParseNumber(const std::string& text, int base, unsigned long maximum, const std::string& what) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [base](unsigned char c) {
        return base == 16 ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
      })) {
    throw UsageError("bad " + what + " \"" + text + "\"");
  }
  unsigned long value = 0;
  try {
    value = std::stoul(text, nullptr, base);
  } catch (const std::exception&) {
    throw UsageError(what + " \"" + text + "\" is too large");
  }
  if (value > maximum) throw UsageError(what + " \"" + text + "\" is too large");
  return value;
}

std::string Upper(std::string text) {
  for (char& c : text) c = UpperAscii(c);
  return text;
}

}  // namespace

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
      static_cast<uint32_t>(ParseNumber(numbers.substr(0, firstDot), 10, 0xFFFFFFFF, "platform ID"));
  record.majorVersion = static_cast<uint32_t>(
      ParseNumber(numbers.substr(firstDot + 1, secondDot - firstDot - 1), 10, 0xFFFFFFFF, "major version"));
  record.minorVersion =
      static_cast<uint32_t>(ParseNumber(numbers.substr(secondDot + 1), 10, 0xFFFFFFFF, "minor version"));
  if (colon != std::string::npos) {
    const std::string service = text.substr(colon + 1);
    if (service.size() >= sizeof(record.serviceText))
      throw UsageError("service text longer than 127 characters");
    std::copy(service.begin(), service.end(), record.serviceText);
  }
  return record;
}

void AddPciDevice(const std::string& text, sim::SimMachine& machine) {
  // BB:DD.F=VVVV:DDDD
  const size_t colon = text.find(':');
  const size_t dot = text.find('.');
  const size_t equals = text.find('=');
  const size_t idColon = equals == std::string::npos ? std::string::npos : text.find(':', equals);
  if (colon == std::string::npos || dot == std::string::npos || equals == std::string::npos ||
      idColon == std::string::npos || !(colon < dot && dot < equals)) {
    throw UsageError("bad --pci \"" + text + "\": expected BB:DD.F=VVVV:DDDD (hexadecimal)");
  }
  const auto bus = ParseNumber(text.substr(0, colon), 16, 0xFF, "PCI bus");
  const auto device = ParseNumber(text.substr(colon + 1, dot - colon - 1), 16, 0x1F, "PCI device");
  const auto function = ParseNumber(text.substr(dot + 1, equals - dot - 1), 16, 0x7, "PCI function");
  const auto vendorId = ParseNumber(text.substr(equals + 1, idColon - equals - 1), 16, 0xFFFF, "vendor ID");
  const auto deviceId = ParseNumber(text.substr(idColon + 1), 16, 0xFFFF, "device ID");
  machine.AddPciFunction(static_cast<uint32_t>(bus), static_cast<uint32_t>(device),
                         static_cast<uint32_t>(function), static_cast<uint16_t>(vendorId),
                         static_cast<uint16_t>(deviceId));
}

void ApplyOptions(const RunOptions& options, sim::SimMachine& machine) {
  std::error_code error;
  if (!std::filesystem::is_directory(options.disk, error)) {
    throw UsageError("disk folder \"" + options.disk + "\" does not exist");
  }
  machine.fileSystem.MapDrive('D', options.disk);
  for (const std::string& mapping : options.drives) {
    if (mapping.size() < 3 || mapping[1] != '=' || !std::isalpha(static_cast<unsigned char>(mapping[0]))) {
      throw UsageError("bad --drive \"" + mapping + "\": expected L=FOLDER");
    }
    if (!std::filesystem::is_directory(mapping.substr(2), error)) {
      throw UsageError("folder \"" + mapping.substr(2) + "\" for drive " + mapping.substr(0, 1) +
                       ": does not exist");
    }
    machine.fileSystem.MapDrive(mapping[0], mapping.substr(2));
  }

  if (options.version) {
    machine.version = ParseVersion(*options.version);
  } else if (const auto record = sim::VersionForOsName(Upper(options.os))) {
    machine.version = *record;
  } else {
    throw UsageError("unknown --os \"" + options.os +
                     "\": expected W95A W95B W95C W98 WIN95 WINNT NT31 NT35X NT40 OTHER");
  }

  machine.currentDirectory = options.cwd;
  machine.SetCommandTail(options.tail);

  for (const std::string& file : options.registryFiles) {
    try {
      LoadRegFile(machine.registry, file);
    } catch (const sim::RegFileError& fault) {
      throw UsageError(fault.what());
    }
  }
  for (const std::string& key : options.deniedKeys) {
    sim::RegistryKey* found = machine.registry.Find(key);
    if (!found) throw UsageError("--deny-key \"" + key + "\": no such key below HKEY_LOCAL_MACHINE");
    found->accessDenied = true;
  }

  for (const std::string& answer : options.answers) {
    const std::string upper = Upper(answer);
    if (upper != "OK" && upper != "CANCEL")
      throw UsageError("bad --answer \"" + answer + "\": expected OK or CANCEL");
    machine.answers.push_back(upper == "OK" ? kAnswerOk : kAnswerCancel);
  }

  for (const std::string& device : options.pciDevices) AddPciDevice(device, machine);
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

  if (options.installer != "present" && options.installer != "missing") {
    throw UsageError("bad --installer \"" + options.installer + "\": expected present or missing");
  }
  machine.installer.present = options.installer == "present";
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
}

}  // namespace quelm::tool
