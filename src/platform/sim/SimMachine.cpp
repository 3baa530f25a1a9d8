// The simulated machine's answers to every platform operation, and the record of what it was asked.
#include "platform/sim/SimMachine.h"

#include <algorithm>
#include <cstring>

#include "app/AppFrame.h"
#include "app/LauncherApp.h"
#include "platform/PciSlot.h"
#include "platform/sim/SimProfile.h"

namespace quelm::sim {

namespace {

VersionRecord MakeVersion(uint32_t platformId, uint32_t major, uint32_t minor, uint32_t build,
                          const char* service) {
  VersionRecord record;
  record.platformId = platformId;
  record.majorVersion = major;
  record.minorVersion = minor;
  record.buildNumber = build;
  std::strncpy(record.serviceText, service, sizeof(record.serviceText) - 1);
  return record;
}

}  // namespace

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

bool IsKnownCodePage(uint32_t codePage) {
  return codePage == 874 || (codePage >= 1250 && codePage <= 1258) || codePage == 932 || codePage == 936 ||
         codePage == 949 || codePage == 950;
}

bool IsLeadByteOf(uint32_t codePage, uint8_t byte) {
  switch (codePage) {
    case 932:  // Shift-JIS
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:  // GBK
    case 949:  // Unified Hangul Code
    case 950:  // Big5
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

std::optional<VersionRecord> VersionForOsName(const std::string& name) {
  // Records as the systems report them; the service texts are those their first releases carry.
  static const std::map<std::string, VersionRecord> kRecords = {
      {"W95A", MakeVersion(1, 4, 0, 950, "")},
      {"W95B", MakeVersion(1, 4, 0, 1111, " B")},
      {"W95C", MakeVersion(1, 4, 0, 1212, " C")},
      {"W98", MakeVersion(1, 4, 10, 1998, " ")},
      {"WIN95", MakeVersion(1, 4, 90, 3000, " ")},  // Windows Me: a 9x system the launcher has no name for
      {"WINNT", MakeVersion(2, 5, 1, 2600, "Service Pack 3")},
      {"NT31", MakeVersion(2, 3, 1, 528, "")},
      {"NT35X", MakeVersion(2, 3, 51, 1057, "Service Pack 5")},
      {"NT40", MakeVersion(2, 4, 0, 1381, "Service Pack 6")},
      {"OTHER", MakeVersion(0, 3, 11, 0, "")},  // Win32s on Windows 3.11
  };
  const auto found = kRecords.find(name);
  if (found == kRecords.end()) return std::nullopt;
  return found->second;
}

SimMachine::SimMachine()
    : version(*VersionForOsName("W98")),
      desktop_(installer, events_),
      pciIdentification_(kPciSlotCount),
      pciPresent_(kPciSlotCount) {}

void SimMachine::SetCommandTail(const std::string& tail) {
  commandLine = tail.empty() ? "QUELM.EXE" : "QUELM.EXE " + tail;
}

void SimMachine::AddPciFunction(uint32_t bus, uint32_t device, uint32_t function, uint16_t vendorId,
                                uint16_t deviceId) {
  const uint32_t slot = PciSlotOf(bus & 0xFF, device & 0x1F, function & 0x7);
  pciIdentification_[slot] = static_cast<uint32_t>(deviceId) << 16 | vendorId;
  pciPresent_[slot] = true;
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
  if (const auto contents = fileSystem.ReadFile(path, CurrentDrive())) file->emplace(*contents);
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

PciAccess SimMachine::EffectivePciAccess() const {
  return pciAccess == PciAccess::kAuto ? PciAccessOf(version) : pciAccess;
}

bool SimMachine::ReadPciIdentification(uint32_t bus, uint32_t device, uint32_t function,
                                       uint32_t& identification) {
  ++pciReads_;
  if (EffectivePciAccess() == PciAccess::kNone) return false;
  if (!IsPciAddress(bus, device, function) || !pciPresent_[PciSlotOf(bus, device, function)]) return false;
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
  if (directory) event.directory = directory;
  events_.push_back(event);
}

void SimMachine::OnEnvironmentRead(const RunRecord& record) {
  events_.push_back(StartEvent{record.osName.CStr(), record.baseDir.CStr(), record.iniPath.CStr(),
                               record.card.installDir.CStr(), record.usbSupplementInstalled ? 1 : 0,
                               PciAccessName(EffectivePciAccess())});
}

void SimMachine::OnCardDetected(const CardInfo& card) {
  events_.push_back(
      CardEvent{card.hardwareId.CStr(), card.location.CStr(), card.busType.CStr(), card.passFlag});
}

}  // namespace quelm::sim
