// The simulated machine's answers to every platform operation, and the record of what it was asked.
#include "platform/sim/SimMachine.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "app/AppFrame.h"
#include "app/LauncherApp.h"
#include "handoff/Win9xInstaller.h"
#include "platform/sim/SimProfile.h"
#include "platform/PciSlot.h"

namespace quelm::sim {

namespace {

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kShellThreadId = 0x10;
constexpr uint32_t kNormalWindowStyle = kVisibleStyle | 0x00C00000;  // visible, with a caption
// Where Windows parks a minimised window.
constexpr ScreenRect kMinimisedRect{-32000, -32000, -31840, -31976};

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

bool IsInstallerProgram(const std::string& commandLine) {
  const std::string program = commandLine.substr(0, commandLine.find(' '));
  if (program.size() != 10) return false;
  for (size_t i = 0; i < program.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(program[i])) != "vadrun.exe"[i]) return false;
  }
  return true;
}

}  // namespace

const char* PciAccessName(PciAccess access) {
  switch (access) {
    case PciAccess::kAuto: return "auto";
    case PciAccess::kPorts: return "ports";
    case PciAccess::kDeviceList: return "device-list";
    case PciAccess::kNone: return "none";
  }
  return "";
}

std::optional<PciAccess> PciAccessNamed(const std::string& name) {
  for (const PciAccess access : {PciAccess::kAuto, PciAccess::kPorts, PciAccess::kDeviceList, PciAccess::kNone}) {
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
      pciIdentification_(kPciSlotCount),
      pciPresent_(kPciSlotCount) {
  // Something else is always on the desktop: the shell's tray and a hidden helper window.
  foreignWindows_.push_back({0x100, kShellThreadId, {0, 452, 640, 480}, kNormalWindowStyle});
  foreignWindows_.push_back({0x104, kShellThreadId, {0, 0, 0, 0}, 0});
}

void SimMachine::SetCommandTail(const std::string& tail) {
  commandLine = tail.empty() ? "QUELM.EXE" : "QUELM.EXE " + tail;
}

void SimMachine::AddPciFunction(uint32_t bus, uint32_t device, uint32_t function, uint16_t vendorId,
                                uint16_t deviceId) {
  const uint32_t slot = PciSlotOf(bus & 0xFF, device & 0x1F, function & 0x7);
  pciIdentification_[slot] = static_cast<uint32_t>(deviceId) << 16 | vendorId;
  pciPresent_[slot] = true;
}

int32_t SimMachine::RunLauncher() {
  LauncherApp app(*this, this);
  const int32_t exitCode = RunApplication(app, *this);
  events_.push_back(ExitEvent{exitCode});
  return exitCode;
}

char SimMachine::CurrentDrive() const {
  return currentDirectory.size() >= 2 && currentDirectory[1] == ':' ? currentDirectory[0] : 'D';
}

uint32_t SimMachine::ReadProfileString(const char* section, const char* key, const char* defaultValue,
                                       char* buffer, uint32_t size, const char* path) {
  const std::optional<std::string> contents = fileSystem.ReadFile(path, CurrentDrive());
  const std::string_view view = contents ? std::string_view(*contents) : std::string_view();
  return sim::ReadProfileString(contents ? &view : nullptr, section, key, defaultValue, buffer, size);
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
  const std::string_view path(subKey ? subKey : "");
  size_t start = 0;
  while (node && start < path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) node = node->FindChild(path.substr(start, end - start));
    start = end + 1;
  }
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

void SimMachine::PostQuitRequest(int32_t) { events_.push_back(QuitEvent{}); }

uint32_t SimMachine::StartProcess(char* commandLineText, ProcessInfo& info) {
  InstallerEvent event;
  event.commandLine = commandLineText;
  if (!installer.present || !IsInstallerProgram(event.commandLine)) {
    event.error = kErrorFileNotFound;
    events_.push_back(event);
    return kErrorFileNotFound;
  }
  event.started = true;
  events_.push_back(event);
  uint32_t exitCode = installer.exitCode;
  if (!installer.exitCodesInOrder.empty()) {
    exitCode = installer.exitCodesInOrder[std::min(processes_.size(), installer.exitCodesInOrder.size() - 1)];
  }
  Process process{nextHandle_, nextHandle_ + 1, static_cast<uint32_t>(0x400 + processes_.size()),
                  clockMs_, std::nullopt, exitCode, events_.size() - 1};
  nextHandle_ += 0x20;
  if (installer.lifetimeMs) process.endMs = clockMs_ + *installer.lifetimeMs;
  processes_.push_back(process);
  processHandlesOpen_ += 2;
  info.process = process.processHandle;
  info.thread = process.threadHandle;
  info.processId = process.threadId - 1;
  info.threadId = process.threadId;
  return 0;
}

SimMachine::Process* SimMachine::FindProcess(NativeHandle handle) {
  for (Process& process : processes_) {
    if (process.processHandle == handle) return &process;
  }
  return nullptr;
}

bool SimMachine::HasProcessEnded(NativeHandle process) {
  const Process* found = FindProcess(process);
  return !found || HasEnded(*found);
}

void SimMachine::EndAfterHang(Process& process, const char* waitingFor) {
  events_.push_back(HangEvent{waitingFor});
  process.endMs = clockMs_;
  process.exitCode = kEndedAfterHangExitCode;
}

void SimMachine::WaitForProcess(NativeHandle handle) {
  Process* process = FindProcess(handle);
  if (!process) return;
  if (!process->endMs) EndAfterHang(*process, "the installer program to end");
  if (*process->endMs > clockMs_) clockMs_ = *process->endMs;
}

uint32_t SimMachine::ReadProcessExitCode(NativeHandle handle) {
  Process* process = FindProcess(handle);
  if (!process) return 0;
  if (!HasEnded(*process)) return 259;  // STILL_ACTIVE
  EventOf(*process).exitCode = process->exitCode;
  return process->exitCode;
}

void SimMachine::ReleaseHandle(NativeHandle handle) {
  for (const Process& process : processes_) {
    if ((process.processHandle == handle || process.threadHandle == handle) && processHandlesOpen_ > 0) {
      --processHandlesOpen_;
    }
  }
}

std::vector<SimMachine::Window> SimMachine::WindowsInZOrder() const {
  std::vector<Window> windows;
  // The newest window lies on top.
  for (auto process = processes_.rbegin(); process != processes_.rend(); ++process) {
    if (HasEnded(*process) || installer.window == InstallerWindow::kNever) continue;
    if (clockMs_ < process->startMs + installer.showAfterMs) continue;
    Window window{process->processHandle + 0x10, process->threadId, installer.rect, kNormalWindowStyle};
    if (installer.window == InstallerWindow::kOffscreen) window.rect = kMinimisedRect;
    if (installer.window == InstallerWindow::kHidden) window.style &= ~kVisibleStyle;
    windows.push_back(window);
  }
  windows.insert(windows.end(), foreignWindows_.begin(), foreignWindows_.end());
  return windows;
}

NativeHandle SimMachine::FirstTopLevelWindow() {
  for (const Process& process : processes_) {
    if (!HasEnded(process)) ++EventOf(process).windowPasses;
  }
  const std::vector<Window> windows = WindowsInZOrder();
  return windows.empty() ? kNoHandle : windows.front().handle;
}

NativeHandle SimMachine::NextWindow(NativeHandle window) {
  const std::vector<Window> windows = WindowsInZOrder();
  for (size_t i = 0; i + 1 < windows.size(); ++i) {
    if (windows[i].handle == window) return windows[i + 1].handle;
  }
  return kNoHandle;  // the last window, or one that no longer exists
}

std::optional<SimMachine::Window> SimMachine::FindWindow(NativeHandle window) const {
  for (const Window& candidate : WindowsInZOrder()) {
    if (candidate.handle == window) return candidate;
  }
  return std::nullopt;  // never was, or gone since
}

uint32_t SimMachine::ReadWindowThreadId(NativeHandle window) {
  const auto found = FindWindow(window);
  return found ? found->threadId : 0;
}

bool SimMachine::ReadWindowRect(NativeHandle window, ScreenRect& rect) {
  const auto found = FindWindow(window);
  if (found) rect = found->rect;
  return found.has_value();
}

uint32_t SimMachine::ReadWindowStyle(NativeHandle window) {
  const auto found = FindWindow(window);
  return found ? found->style : 0;
}

NativeHandle SimMachine::FindChildControl(NativeHandle window, int32_t controlId) {
  if (controlId != kInstallerButtonId || !installer.hasButton) return kNoHandle;
  const auto found = FindWindow(window);
  return found && found->threadId != kShellThreadId ? window + 1 : kNoHandle;
}

void SimMachine::ClickButton(NativeHandle button) {
  for (Process& process : processes_) {
    if (process.processHandle + 0x11 == button && !HasEnded(process)) {
      EventOf(process).clicked = true;
      process.endMs = clockMs_ + installer.workMs;
    }
  }
}

void SimMachine::Pause(uint32_t milliseconds) {
  clockMs_ += milliseconds;
  for (Process& process : processes_) {
    if (!process.endMs && clockMs_ - process.startMs > kHangLimitMs) {
      EndAfterHang(process, "the installer program's window and button");
    }
  }
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
  events_.push_back(CardEvent{card.hardwareId.CStr(), card.location.CStr(), card.busType.CStr(), card.passFlag});
}

}  // namespace quelm::sim
