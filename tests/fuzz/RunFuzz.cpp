// Whole runs of the core on the simulated machine: a fuzzed QUELM.INI, registry, PCI bus, Windows
// version, code page, message-box answers and installer program, all split from one input.
//
// Input: SETTINGS, then a line "%%" and the text of QUELM.INI, then a line "%%" and the text of a .reg
// file loaded into HKEY_LOCAL_MACHINE (a RegFileError leaves the registry empty). Without the first
// "%%" the disk has no QUELM.INI. SETTINGS are lines NAME=VALUE; unknown lines are ignored:
//   os=W98                      a version record by name (W95A ... NT40, OTHER, as quelm-sim's --os)
//   version=P.MAJ.MIN.BUILD:SP  any raw version record
//   codepage=932                the system's ANSI code page
//   cwd=D:\  tail=\DISK1        current directory and command tail; "cwd=?" makes it unreadable
//   answers=OCO                 message-box answers in order (O: OK, C: Cancel)
//   pci=01:00.0=1A2B:3C4D       a PCI function, hexadecimal (repeatable)
//   access=auto|ports|device-list|none
//   installer=present|missing  exit=3  exits=1,2,3  window=normal|offscreen|hidden|never
//   delay=MS  work=MS  lifetime=MS  button=0|1  rect=L,T,R,B  screen=W,H
//   deny=KEY                    a key below HKEY_LOCAL_MACHINE that refuses to open
//   disk=/                      written after the disk folder's name when it is mapped ("/" and "." only)
// The disk is drive D:, a folder made once per process that holds QUELM.INI and DISK1\QUELM.INI.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "FuzzInput.h"
#include "platform/PciSlot.h"
#include "sim/RegFile.h"
#include "sim/SimMachine.h"
#include "support/SimDisk.h"

namespace quelm::fuzz {
namespace {

// The disk: a folder "disk" made once per process, holding QUELM.INI and DISK1\QUELM.INI, inside a
// folder of its own that holds a decoy QUELM.INI no path of the simulated machine may reach. All of it
// is removed again when the fuzzer ends normally.
class DiskFolder {
 public:
  DiskFolder() {
    outside_.Write("QUELM.INI", "[Application]\r\nW98=ShowMsgOutside\r\n");
    std::filesystem::create_directories(Path() / "DISK1");
  }

  std::filesystem::path Path() const { return outside_.Path() / "disk"; }

  // QUELM.INI on the disk and in its folder DISK1, or neither.
  void WriteIni(const std::string_view* ini) const {
    for (const auto& file : {Path() / "QUELM.INI", Path() / "DISK1" / "QUELM.INI"}) {
      if (ini == nullptr) {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
      } else {
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(ini->data(), static_cast<std::streamsize>(ini->size()));
      }
    }
  }

 private:
  testing::TempFolder outside_;
};

// The parts of the input: settings, QUELM.INI and .reg text, the last two only where their marker is.
struct Parts {
  std::string_view settings;
  std::string_view iniText;
  std::string_view regText;
  bool hasIni = false;
  bool hasReg = false;
};

// The position just past the next line "%%" at or after `from` (a line start), and its start.
size_t FindMarker(std::string_view input, size_t from, size_t& markerStart) {
  for (size_t at = from; at < input.size();) {
    if (input.compare(at, 3, "%%\n") == 0) {
      markerStart = at;
      return at + 3;
    }
    const size_t end = input.find('\n', at);
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return std::string_view::npos;
}

Parts SplitInput(std::string_view input) {
  Parts parts;
  size_t markerStart = 0;
  const size_t iniStart = FindMarker(input, 0, markerStart);
  if (iniStart == std::string_view::npos) {
    parts.settings = input;
    return parts;
  }
  parts.settings = input.substr(0, markerStart);
  parts.hasIni = true;
  const size_t regStart = FindMarker(input, iniStart, markerStart);
  if (regStart == std::string_view::npos) {
    parts.iniText = input.substr(iniStart);
    return parts;
  }
  parts.iniText = input.substr(iniStart, markerStart - iniStart);
  parts.hasReg = true;
  parts.regText = input.substr(regStart);
  return parts;
}

// Numbers of a value, separated by anything that is not a digit of `base` (10 or 16).
std::vector<uint32_t> NumbersOf(std::string_view value, unsigned base) {
  std::vector<uint32_t> numbers;
  bool inNumber = false;
  for (const char c : value) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) {
      inNumber = false;
      continue;
    }
    if (!inNumber) numbers.push_back(0);
    inNumber = true;
    numbers.back() = numbers.back() * base + static_cast<uint32_t>(digit);
  }
  return numbers;
}

uint32_t NumberAt(const std::vector<uint32_t>& numbers, size_t index) {
  return index < numbers.size() ? numbers[index] : 0;
}

// What the settings put on the machine beyond its own fields.
struct Extras {
  std::string diskSuffix;  // "/" and "." only, written after the disk folder's name when it is mapped
  std::vector<std::string> deniedKeys;
  std::map<uint32_t, uint32_t> pciFunctions;  // identification by slot, as AddPciFunction stores them
};

void ApplySetting(sim::SimMachine& machine, std::string_view name, std::string_view value, Extras& extras) {
  const std::vector<uint32_t> decimal = NumbersOf(value, 10);
  if (name == "os") {
    if (const auto version = sim::VersionForOsName(std::string(value))) machine.version = *version;
  } else if (name == "version") {
    machine.version = VersionRecord();
    machine.version.platformId = NumberAt(decimal, 0);
    machine.version.majorVersion = NumberAt(decimal, 1);
    machine.version.minorVersion = NumberAt(decimal, 2);
    machine.version.buildNumber = NumberAt(decimal, 3);
    const size_t colon = value.find(':');
    if (colon != std::string_view::npos) {
      const std::string_view service = value.substr(colon + 1, sizeof(machine.version.serviceText) - 1);
      service.copy(machine.version.serviceText, service.size());
    }
  } else if (name == "codepage") {
    machine.codePage = NumberAt(decimal, 0);
  } else if (name == "cwd") {
    machine.currentDirectory = std::string(value);
    machine.currentDirectoryReadable = value != "?";
  } else if (name == "tail") {
    machine.SetCommandTail(std::string(value));
  } else if (name == "answers") {
    for (const char answer : value) machine.answers.push_back(answer == 'C' ? kAnswerCancel : kAnswerOk);
  } else if (name == "pci") {
    const std::vector<uint32_t> hex = NumbersOf(value, 16);
    const uint32_t bus = NumberAt(hex, 0), device = NumberAt(hex, 1), function = NumberAt(hex, 2);
    const auto vendorId = static_cast<uint16_t>(NumberAt(hex, 3));
    const auto deviceId = static_cast<uint16_t>(NumberAt(hex, 4));
    machine.AddPciFunction(bus, device, function, vendorId, deviceId);
    extras.pciFunctions[PciSlotOf(bus & 0xFF, device & 0x1F, function & 0x7)] =
        static_cast<uint32_t>(deviceId) << 16 | vendorId;
  } else if (name == "access") {
    if (const auto access = sim::PciAccessNamed(std::string(value))) machine.pciAccess = *access;
  } else if (name == "installer") {
    machine.installer.presence =
        value == "missing" ? sim::InstallerPresence::kMissing : sim::InstallerPresence::kPresent;
  } else if (name == "exit") {
    machine.installer.exitCode = NumberAt(decimal, 0);
  } else if (name == "exits") {
    machine.installer.exitCodesInOrder = decimal;
  } else if (name == "window") {
    using sim::InstallerWindow;
    machine.installer.window = value == "offscreen" ? InstallerWindow::kOffscreen
                               : value == "hidden"  ? InstallerWindow::kHidden
                               : value == "never"   ? InstallerWindow::kNever
                                                    : InstallerWindow::kNormal;
  } else if (name == "delay") {
    machine.installer.showAfterMs = NumberAt(decimal, 0);
  } else if (name == "work") {
    machine.installer.workMs = NumberAt(decimal, 0);
  } else if (name == "lifetime") {
    machine.installer.lifetimeMs = NumberAt(decimal, 0);
  } else if (name == "button") {
    machine.installer.hasButton = value != "0";
  } else if (name == "rect") {
    // Signed: a window may lie partly off the screen.
    const auto signedAt = [&](size_t index) {
      return static_cast<int32_t>(NumberAt(decimal, index));
    };
    machine.installer.rect = ScreenRect{signedAt(0), signedAt(1), signedAt(2), signedAt(3)};
  } else if (name == "screen") {
    machine.screen =
        ScreenSize{static_cast<int32_t>(NumberAt(decimal, 0)), static_cast<int32_t>(NumberAt(decimal, 1))};
  } else if (name == "disk") {
    // Only spellings of the same folder (or its parent): the input never names another host path.
    for (const char c : value.substr(0, 4)) {
      if (c == '/' || c == '.') extras.diskSuffix.push_back(c);
    }
  } else if (name == "deny") {
    extras.deniedKeys.emplace_back(value);
  }
}

// The settings, line by line.
Extras ApplySettings(sim::SimMachine& machine, std::string_view settings) {
  Extras extras;
  while (!settings.empty()) {
    const size_t end = settings.find('\n');
    std::string_view line = settings.substr(0, end);
    settings.remove_prefix(end == std::string_view::npos ? settings.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    ApplySetting(machine, line.substr(0, equals), line.substr(equals + 1), extras);
  }
  return extras;
}

// A card found is a function on the bus with that identification, at that location unless the AGP
// location replaces it. The one exception is all ones, which every absent function reads as (the scan
// then names a gap in the bus, as the launcher always has).
void CheckCard(const sim::CardEvent& card, const sim::SimMachine& machine, const Extras& extras) {
  unsigned vendor = 0, device = 0, bus = 0, slotDevice = 0, function = 0;
  char end = 0;
  QUELM_FUZZ_CHECK(sscanf(card.hardwareId.c_str(), "VEN_%4X&DEV_%4X%c", &vendor, &device, &end) == 2);
  QUELM_FUZZ_CHECK(card.hardwareId.size() == 17);
  const uint32_t identification = device << 16 | vendor;
  if (identification == 0xFFFFFFFFu) return;
  QUELM_FUZZ_CHECK(machine.EffectivePciAccess() != sim::PciAccess::kNone);
  if (card.location == "000800") {
    bool present = false;
    for (const auto& [slot, listed] : extras.pciFunctions) present = present || listed == identification;
    QUELM_FUZZ_CHECK(present);
    return;
  }
  QUELM_FUZZ_CHECK(
      sscanf(card.location.c_str(), "BUS_%2X&DEV_%2X&FUNC_%2X%c", &bus, &slotDevice, &function, &end) == 3);
  QUELM_FUZZ_CHECK(card.location.size() == 21);
  const auto listed = extras.pciFunctions.find(PciSlotOf(bus, slotDevice, function));
  QUELM_FUZZ_CHECK(listed != extras.pciFunctions.end() && listed->second == identification);
}

// Whether `path` lies within `folder`, both taken as the host resolves them.
bool IsWithin(const std::filesystem::path& path, const std::filesystem::path& folder) {
  std::error_code error;
  const std::filesystem::path inner = std::filesystem::weakly_canonical(path, error);
  const std::filesystem::path outer = std::filesystem::weakly_canonical(folder, error);
  return std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end()).first == outer.end();
}

void CheckRun(const sim::SimMachine& machine, int32_t exitCode, const Extras& extras,
              const std::filesystem::path& drive) {
  const std::vector<sim::Event>& events = machine.Events();
  // The run ended, having read its environment first and reported its exit code last, once each.
  QUELM_FUZZ_CHECK(events.size() >= 2);
  QUELM_FUZZ_CHECK(std::holds_alternative<sim::StartEvent>(events.front()));
  QUELM_FUZZ_CHECK(std::holds_alternative<sim::ExitEvent>(events.back()));
  QUELM_FUZZ_CHECK(std::get<sim::ExitEvent>(events.back()).exitCode == exitCode);
  QUELM_FUZZ_CHECK(machine.EventsOf<sim::StartEvent>().size() == 1);
  QUELM_FUZZ_CHECK(machine.EventsOf<sim::ExitEvent>().size() == 1);

  const auto start = std::get<sim::StartEvent>(events.front());
  QUELM_FUZZ_CHECK(start.baseDir.size() < kNameCapacity);
  QUELM_FUZZ_CHECK(start.iniPath.size() < kPathCapacity);
  QUELM_FUZZ_CHECK(start.installDir.size() < kPathCapacity);
  QUELM_FUZZ_CHECK(start.iniPath.empty() || start.iniPath == start.baseDir + "\\QUELM.INI");
  // The configuration file read, if any, is on the disk: no path leads out of a mapped drive.
  const std::string& cwd = machine.currentDirectory;
  const char currentDrive = cwd.size() >= 2 && cwd[1] == ':' ? cwd[0] : 'D';
  if (const auto read = machine.fileSystem.Resolve(start.iniPath, currentDrive)) {
    QUELM_FUZZ_CHECK(IsWithin(*read, drive));
  }

  // The exit code is 0 unless an installer program was started (or failed to start): then it is the
  // last one's exit code (or the system's error code).
  int32_t expectedExit = 0;
  for (const sim::Event& event : events) {
    if (const auto* message = std::get_if<sim::MessageEvent>(&event)) {
      QUELM_FUZZ_CHECK(message->text.size() < kMessageCapacity);
      QUELM_FUZZ_CHECK(message->style == static_cast<uint32_t>(MessageStyle::kOk) ||
                       message->style == static_cast<uint32_t>(MessageStyle::kOkCancel));
    } else if (const auto* shell = std::get_if<sim::ShellEvent>(&event)) {
      QUELM_FUZZ_CHECK(!shell->file.empty());
      QUELM_FUZZ_CHECK(shell->file.size() < kNameCapacity);
      QUELM_FUZZ_CHECK(shell->directory.value_or("").size() < kNameCapacity);
    } else if (const auto* card = std::get_if<sim::CardEvent>(&event)) {
      CheckCard(*card, machine, extras);
      QUELM_FUZZ_CHECK(card->busType.size() < kBusTypeCapacity);
      QUELM_FUZZ_CHECK(card->passFlag == 0 || card->passFlag == 1);
    } else if (const auto* installer = std::get_if<sim::InstallerEvent>(&event)) {
      QUELM_FUZZ_CHECK(installer->commandLine.starts_with("vadrun.exe Enum\\PCI\\"));
      expectedExit = static_cast<int32_t>(installer->started ? installer->exitCode : installer->error);
    }
  }
  QUELM_FUZZ_CHECK(exitCode == expectedExit);
  // Everything opened was released.
  QUELM_FUZZ_CHECK(machine.OpenHandles() == 0);
}

}  // namespace
}  // namespace quelm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quelm;
  using namespace quelm::fuzz;
  static const DiskFolder disk;
  const Parts parts = SplitInput(InputOf(data, size));
  disk.WriteIni(parts.hasIni ? &parts.iniText : nullptr);

  sim::SimMachine machine;
  const Extras extras = ApplySettings(machine, parts.settings);
  const std::filesystem::path drive = disk.Path().string() + extras.diskSuffix;
  machine.fileSystem.MapDrive('D', drive);
  if (parts.hasReg) {
    try {
      sim::LoadRegText(machine.registry, parts.regText, "fuzz.reg");
    } catch (const sim::RegFileError&) {
      // A faulty file loads nothing; the run goes on with an empty registry.
    }
  }
  for (const std::string& key : extras.deniedKeys) {
    if (sim::RegistryKey* found = machine.registry.Find(key)) found->accessDenied = true;
  }

  const int32_t exitCode = machine.RunLauncher();
  CheckRun(machine, exitCode, extras, drive);
  return 0;
}
