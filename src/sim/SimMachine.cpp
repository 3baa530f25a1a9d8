// The simulated machine's answers to every platform operation, and the record of what it was asked.
#include "sim/SimMachine.h"

#include <algorithm>
#include <cstring>

#include "app/AppFrame.h"
#include "app/LauncherApp.h"
#include "card/CardDetection.h"
#include "config/Capacities.h"
#include "platform/PciSlot.h"
#include "sim/SimProfile.h"
#include "sim/SimText.h"

namespace quelm::sim {

const char* PciAccessName(PciAccess access) {
  switch (access) {
    case PciAccess::kAuto:
      return "auto";
    case PciAccess::kPorts:
      return "ports";
    case PciAccess::kDeviceList:
      return "device-list";
    case PciAccess::kNone:
      return "none";
  }
  return "";
}

std::optional<PciAccess> PciAccessNamed(const std::string& name) {
  for (const PciAccess access :
       {PciAccess::kAuto, PciAccess::kPorts, PciAccess::kDeviceList, PciAccess::kNone}) {
    if (name == PciAccessName(access)) return access;
  }
  return std::nullopt;
}

PciAccess PciAccessOf(const VersionRecord& version) {
  // Windows 9x hands programs the ports; SetupAPI came with Windows 2000 (NT 5.0).
  if (version.platformId == kWindows9xPlatform) return PciAccess::kPorts;
  if (version.platformId == kWindowsNtPlatform && version.majorVersion >= 5) return PciAccess::kDeviceList;
  return PciAccess::kNone;
}

SimMachine::SimMachine()
    : version(*VersionForOsName("W98")),
      desktop_(installer, screen, events_),
      pciIdentification_(kPciSlotCount) {}

void SimMachine::SetCommandTail(const std::string& tail) {
  commandLine = tail.empty() ? "QUELM.EXE" : "QUELM.EXE " + tail;
}

void SimMachine::AddPciFunction(uint32_t bus, uint32_t device, uint32_t function, uint16_t vendorId,
                                uint16_t deviceId) {
  const uint32_t slot = PciSlotOf(bus & 0xFF, device & 0x1F, function & 0x7);
  pciIdentification_[slot] = static_cast<uint32_t>(deviceId) << 16 | vendorId;
  pciSlotsHeld_.insert(slot);
}

int32_t SimMachine::RunLauncher(Platform& through) {
  LauncherApp app(through, this);
  running_ = true;
  const int32_t exitCode = RunApplication(app, through);
  running_ = false;
  runProfiles_.clear();
  events_.push_back(ExitEvent{exitCode});
  return exitCode;
}

char SimMachine::CurrentDrive() const {
  return currentDirectory.size() >= 2 && currentDirectory[1] == ':' ? currentDirectory[0] : 'D';
}

const ProfileFile* SimMachine::ProfileAt(const char* path, std::optional<ProfileFile>& scratch) {
  std::optional<ProfileFile>* file = &scratch;
  if (running_) {
    const auto [found, first] = runProfiles_.try_emplace(path);
    if (!first) return found->second ? &*found->second : nullptr;
    file = &found->second;
  }
  if (const auto contents = fileSystem.ReadFile(path, CurrentDrive())) {
    file->emplace(ProfileText(*contents, EffectiveProfileReading()));
  }
  return *file ? &**file : nullptr;
}

uint32_t SimMachine::ReadProfileString(const char* section, const char* key, const char* defaultValue,
                                       char* buffer, uint32_t size, const char* path) {
  std::optional<ProfileFile> scratch;
  const ProfileFile* file = path != nullptr ? ProfileAt(path, scratch) : nullptr;
  return sim::ReadProfileString(file, section, key, defaultValue, buffer, size);
}

uint32_t SimMachine::ReadCurrentDirectory(char* buffer, uint32_t size) {
  if (!currentDirectoryReadable) return 0;
  const uint32_t length = static_cast<uint32_t>(currentDirectory.size());
  if (length + 1 > size) return length + 1;
  std::memcpy(buffer, currentDirectory.c_str(), length + 1);
  return length;
}

bool SimMachine::OpenRegistryKey(NativeHandle parent, const char* subKey, NativeHandle& key) {
  RegistryKey* node = nullptr;
  if (parent == kLocalMachine) {
    node = &registry.LocalMachine();
  } else if (const auto open = registryHandles_.find(parent); open != registryHandles_.end()) {
    node = open->second;
  }
  if (node) node = node->FindPath(subKey ? subKey : "");
  if (!node || node->accessDenied) return false;
  key = nextHandle_++;
  registryHandles_[key] = node;
  return true;
}

bool SimMachine::QueryRegistryValue(NativeHandle key, const char* name, char* buffer, uint32_t size) {
  const auto open = registryHandles_.find(key);
  if (open == registryHandles_.end()) return false;
  const RegistryValue* value = open->second->FindValue(name ? name : "");
  if (!value || value->data.size() > size) return false;
  std::memcpy(buffer, value->data.data(), value->data.size());
  return true;
}

bool SimMachine::EnumRegistryKey(NativeHandle key, uint32_t index, char* name, uint32_t size) {
  const auto open = registryHandles_.find(key);
  if (open == registryHandles_.end()) return false;
  const auto& children = open->second->Children();
  if (index >= children.size()) return false;
  const std::string& childName = children[index]->Name();
  if (childName.size() + 1 > size) return false;
  std::memcpy(name, childName.c_str(), childName.size() + 1);
  return true;
}

namespace {

std::string InFolder(std::string folder, const std::string& name) {
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder + name;
}

// The folders in the order Windows looks through them, each once: the launcher's folder is often the
// current directory too.
std::vector<std::string> ProgramFolders(const SimMachine& machine) {
  std::vector<std::string> candidates{machine.launcherDirectory, machine.currentDirectory};
  candidates.insert(candidates.end(), machine.searchPath.begin(), machine.searchPath.end());
  std::vector<std::string> folders;
  for (const std::string& folder : candidates) {
    if (folder.empty()) continue;
    const std::string asFolder = InFolder(folder, "");
    const bool seen = std::any_of(folders.begin(), folders.end(), [&asFolder](const std::string& earlier) {
      const std::string earlierAsFolder = InFolder(earlier, "");
      return EqualsIgnoringCase(ViewOf(earlierAsFolder), ViewOf(asFolder));
    });
    if (!seen) folders.push_back(folder);
  }
  return folders;
}

}  // namespace

std::optional<std::string> SimMachine::FindProgram(const std::string& program) const {
  for (const std::string& folder : ProgramFolders(*this)) {
    if (FileExists(InFolder(folder, program)).value_or(false)) return InFolder(folder, program);
  }
  return std::nullopt;
}

InstallerLocation SimMachine::LocateProgram(const std::string& commandLineText) const {
  InstallerLocation location;
  switch (installer.presence) {
    case InstallerPresence::kPresent:
      location.found = true;
      break;
    case InstallerPresence::kMissing:
      break;
    case InstallerPresence::kSearch: {
      // The program is the command line's first word: the launcher never quotes it.
      location.searched = ProgramFolders(*this);
      const auto found = FindProgram(commandLineText.substr(0, commandLineText.find(' ')));
      location.found = found.has_value();
      location.path = found.value_or("");
      break;
    }
  }
  return location;
}

uint32_t SimMachine::StartProcess(char* commandLineText, ProcessInfo& info) {
  return desktop_.StartProcess(commandLineText, LocateProgram(commandLineText), info);
}

namespace {

bool HasDriveLetter(const std::string& path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

}  // namespace

std::optional<bool> SimMachine::FolderExists(const std::string& windowsPath) const {
  if (!HasDriveLetter(windowsPath) || !fileSystem.HasDrive(windowsPath[0])) return std::nullopt;
  return fileSystem.EntryAt(windowsPath, CurrentDrive()) == FileSystem::Entry::kFolder;
}

std::optional<bool> SimMachine::FileExists(const std::string& windowsPath) const {
  if (!HasDriveLetter(windowsPath) || !fileSystem.HasDrive(windowsPath[0])) return std::nullopt;
  return fileSystem.EntryAt(windowsPath, CurrentDrive()) == FileSystem::Entry::kFile;
}

PciAccess SimMachine::EffectivePciAccess() const {
  return pciAccess == PciAccess::kAuto ? PciAccessOf(version) : pciAccess;
}

bool SimMachine::ReadPciIdentification(uint32_t bus, uint32_t device, uint32_t function,
                                       uint32_t& identification) {
  ++pciReads_;
  if (EffectivePciAccess() == PciAccess::kNone) return false;
  if (!IsPciAddress(bus, device, function) || pciSlotsHeld_.count(PciSlotOf(bus, device, function)) == 0)
    return false;
  identification = pciIdentification_[PciSlotOf(bus, device, function)];
  return true;
}

int32_t SimMachine::ShowMessageBox(const char* key, const char* text, const char*, MessageStyle style) {
  int32_t answer = kAnswerOk;
  if (!answers.empty()) {
    answer = answers.front();
    answers.pop_front();
  }
  // An OK-only box cannot be cancelled: closing it answers OK.
  if (style == MessageStyle::kOk) answer = kAnswerOk;
  events_.push_back(MessageEvent{key, static_cast<uint32_t>(style), text, answer});
  return answer;
}

void SimMachine::PostQuitRequest(int32_t) {
  events_.push_back(QuitEvent{});
}

void SimMachine::ShellOpen(const char* file, const char* directory) {
  ShellEvent event;
  event.file = file;
  event.fileExists = FileExists(event.file);
  if (directory) {
    event.directory = directory;
    event.directoryExists = FolderExists(directory);
  }
  events_.push_back(event);
}

namespace {

// A raw version record in words: "version 4.10 on the 9x platform, service text " "". A service text
// that fills its 128 characters has no terminator, so it is read no further.
std::string VersionText(const VersionRecord& version) {
  const char* service = version.serviceText;
  const std::string serviceText(service, std::find(service, service + sizeof version.serviceText, '\0'));
  const char* platform = version.platformId == kWindows9xPlatform   ? "the 9x platform"
                         : version.platformId == kWindowsNtPlatform ? "the NT platform"
                         : version.platformId == 0                  ? "Win32s"
                                                                    : "an unknown platform";
  return "version " + std::to_string(version.majorVersion) + "." + std::to_string(version.minorVersion) +
         " on " + platform + ", service text \"" + serviceText + "\"";
}

std::string Upper(std::string text) {
  for (char& c : text) c = UpperAscii(c);
  return text;
}

std::string SlotText(uint32_t bus, uint32_t device, uint32_t function) {
  static const char kDigits[] = "0123456789abcdef";
  return {kDigits[bus >> 4], kDigits[bus & 15], ':', kDigits[device >> 4], kDigits[device & 15], '.',
          kDigits[function]};
}

}  // namespace

void SimMachine::OnEnvironmentRead(const RunRecord& record) {
  StartEvent event;
  event.osName = record.osName.CStr();
  event.windows = windowsLabel.empty() ? VersionText(version) : windowsLabel;
  event.standsFor = ReleasesOf(ClassifyVersion(version));
  event.baseDir = record.baseDir.CStr();
  event.iniPath = record.iniPath.CStr();
  event.installDir = record.card.installDir.CStr();
  event.installDirExists = FolderExists(event.installDir);
  event.usbSupplementInstalled = record.usbSupplementInstalled ? 1 : 0;
  event.pciAccess = PciAccessName(EffectivePciAccess());
  // The script the interpreter reads next, as it reads it, and the line that gives it.
  std::optional<ProfileFile> scratch;
  const ProfileFile* file = ProfileAt(record.iniPath.CStr(), scratch);
  if (!event.osName.empty() && file != nullptr) {
    char script[kNameCapacity];
    sim::ReadProfileString(file, "Application", event.osName.c_str(), "", script, kNameCapacity);
    if (script[0] != '\0') {
      event.script = script;
      event.scriptLine = file->LineOf("Application", event.osName).value_or(0);
    }
  }
  events_.push_back(event);
}

std::vector<std::string> SimMachine::SlotsHolding(uint16_t vendorId, uint16_t deviceId) const {
  // Functions that are absent, or out of the launcher's reach, read as all ones.
  const bool allOnes = vendorId == 0xFFFF && deviceId == 0xFFFF;
  if (EffectivePciAccess() == PciAccess::kNone) {
    return allOnes ? std::vector<std::string>{"every slot (no function can be read here)"}
                   : std::vector<std::string>{};
  }
  std::vector<std::string> slots;
  if (allOnes) slots.emplace_back("every slot without a function");
  const uint32_t identification = static_cast<uint32_t>(deviceId) << 16 | vendorId;
  for (const uint32_t slot : pciSlotsHeld_) {
    if (pciIdentification_[slot] == identification) {
      slots.push_back(SlotText(slot >> 8, (slot >> 3) & 0x1F, slot & 7));
    }
  }
  return slots;
}

void SimMachine::OnCardListDone(const char* section, const RunRecord& record, bool found) {
  CardListEvent event;
  event.section = section;
  event.found = found;
  event.pciAccess = PciAccessName(EffectivePciAccess());
  for (unsigned number = 1;; ++number) {
    CardEntryTried tried;
    tried.key = std::to_string(number);
    char entry[kNameCapacity];
    ReadProfileString(section, tried.key.c_str(), "", entry, kNameCapacity, record.iniPath.CStr());
    if (entry[0] == '\0') break;
    tried.entry = entry;
    CardEntry listed;
    tried.namesCard = ReadCardEntry(entry, listed);
    if (tried.namesCard) {
      tried.vendorId = static_cast<uint16_t>(listed.vendor & 0xFFFF);
      tried.deviceId = static_cast<uint16_t>(listed.device & 0xFFFF);
      tried.foundAt = SlotsHolding(tried.vendorId, tried.deviceId);
    }
    event.entries.push_back(tried);
    if (!tried.foundAt.empty()) break;  // the first entry whose card is on the bus ends the list
  }
  events_.push_back(event);
  const CardInfo& card = record.card;
  if (found) {
    events_.push_back(
        CardEvent{card.hardwareId.CStr(), card.location.CStr(), card.busType.CStr(), card.passFlag});
  }
}

void SimMachine::OnKeyCheckDone(const RunRecord& record, bool found) {
  KeyCheckEvent event;
  event.hardwareId = record.card.hardwareId.CStr();
  event.location = record.card.location.CStr();
  event.found = found;
  const RegistryKey* enumerator = registry.Find("Enum\\PCI");
  if (enumerator == nullptr || enumerator->accessDenied) {
    event.verdict = "no-enumerator";
    event.nearestMiss = enumerator == nullptr ? "there is no HKLM\\Enum\\PCI: only Windows 9x keeps it"
                                              : "HKLM\\Enum\\PCI refuses to open";
    events_.push_back(event);
    return;
  }
  std::string caseMiss;
  std::string sameVendor;
  bool refused = false;
  const TextView wanted(event.hardwareId.c_str());
  for (const auto& hardware : enumerator->Children()) {
    const std::string& name = hardware->Name();
    // The launcher's enumeration ends at a name its buffer cannot hold.
    if (name.size() + 1 > kNameCapacity) break;
    if (!Contains(ViewOf(name), wanted)) {
      if (caseMiss.empty() && Upper(name).find(Upper(event.hardwareId)) != std::string::npos) caseMiss = name;
      // "VEN_xxxx" begins every hardware ID.
      const std::string vendor = Upper(event.hardwareId).substr(0, 8);
      if (sameVendor.empty() && vendor.size() == 8 && Upper(name).rfind(vendor, 0) == 0) sameVendor = name;
      continue;
    }
    event.hardwareKeys.push_back(name);
    if (hardware->accessDenied) {
      refused = true;
      continue;
    }
    for (const auto& instance : hardware->Children()) {
      if (instance->Name().size() + 1 > kNameCapacity) break;
      event.instanceKeys.push_back(name + "\\" + instance->Name());
      if (event.match.empty() && Contains(ViewOf(instance->Name()), ViewOf(event.location))) {
        event.match = event.instanceKeys.back();
      }
    }
    if (!event.match.empty()) break;  // the first match ends the search
  }
  if (found) {
    event.verdict = "found";
  } else if (!event.hardwareKeys.empty() && refused && event.instanceKeys.empty()) {
    event.verdict = "key-refused";
    event.nearestMiss = "the hardware key " + event.hardwareKeys.front() + " refuses to open";
  } else if (!event.hardwareKeys.empty()) {
    event.verdict = "wrong-location";
    event.nearestMiss =
        event.instanceKeys.empty()
            ? "the hardware key has no instance key"
            : "no instance key contains \"" + event.location + "\"" +
                  (event.location == "000800"
                       ? ": an AGP card is looked for at 000800, since its card entry says AGP"
                       : "");
  } else if (!caseMiss.empty()) {
    event.verdict = "wrong-case";
    event.nearestMiss = caseMiss + " holds the hardware ID in another case, and names are compared with case";
  } else {
    event.verdict = "no-hardware-key";
    event.nearestMiss = sameVendor.empty() ? std::to_string(enumerator->Children().size()) +
                                                 " hardware keys, none with this vendor"
                                           : sameVendor + " has the vendor, but another device";
  }
  events_.push_back(event);
}

}  // namespace quelm::sim
