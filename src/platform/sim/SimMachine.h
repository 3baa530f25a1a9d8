// A simulated Windows machine: disk folders, registry, PCI bus, user answers and an installer program.
#pragma once

#include <stdint.h>

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/RunObserver.h"
#include "platform/Platform.h"
#include "platform/sim/SimFileSystem.h"
#include "platform/sim/SimRegistry.h"

namespace quelm::sim {

// --- What a run shows, in order --------------------------------------------------------------

struct StartEvent {
  std::string osName;
  std::string baseDir;
  std::string iniPath;
  std::string installDir;
  int32_t usbSupplementInstalled = 0;
  std::string pciAccess;  // how the real program reaches the configuration space here
};

struct MessageEvent {
  std::string key;
  uint32_t style = 0;
  std::string text;
  int32_t answer = kAnswerOk;
};

struct QuitEvent {};

struct CardEvent {
  std::string hardwareId;
  std::string location;
  std::string busType;
  int32_t passFlag = 0;
};

struct InstallerEvent {
  std::string commandLine;
  bool started = false;
  uint32_t error = 0;          // the system's error code when it could not be started
  uint32_t exitCode = 0;       // once it has ended
  uint32_t windowPasses = 0;   // passes over the top-level windows while looking for its window
  bool clicked = false;        // its button was pressed
};

struct ShellEvent {
  std::string file;
  std::optional<std::string> directory;  // none when no working directory was given
};

// The launcher would have waited forever here on a real machine; the simulation ends the installer
// program (as a user would through the task list) so that the run can be shown to its end.
struct HangEvent {
  std::string waitingFor;
};

struct ExitEvent {
  int32_t exitCode = 0;
};

using Event = std::variant<StartEvent, MessageEvent, QuitEvent, CardEvent, InstallerEvent, ShellEvent,
                           HangEvent, ExitEvent>;

// --- The installer program ------------------------------------------------------------------------

enum class InstallerWindow { kNormal, kOffscreen, kHidden, kNever };

struct InstallerBehaviour {
  bool present = true;               // false: it cannot be started ("file not found")
  InstallerWindow window = InstallerWindow::kNormal;
  ScreenRect rect{160, 120, 480, 360};  // where a normal window shows
  uint32_t showAfterMs = 0;          // from its start until its window shows
  bool hasButton = true;             // its window has control 1
  uint32_t exitCode = 0;
  // Exit codes of the first, second, ... start; later starts repeat the last. `exitCode` when empty.
  std::vector<uint32_t> exitCodesInOrder;
  uint32_t workMs = 0;               // from the click until it ends
  std::optional<uint32_t> lifetimeMs;  // ends by itself this long after its start
};

// The exit code a program gets when the simulation ends it after a hang.
inline constexpr uint32_t kEndedAfterHangExitCode = 1;
// How long the launcher may wait for an installer program before the simulation calls it a hang.
inline constexpr uint64_t kHangLimitMs = 10ull * 60 * 1000;

// How QUELM.EXE reaches the PCI configuration space on a machine: the ports on Windows 9x, SetupAPI's
// list of present devices on Windows 2000 and later, neither on NT 3.x and 4.0 (or Win32s), where no
// card is ever found.
enum class PciAccess { kAuto, kPorts, kDeviceList, kNone };

// "auto", "ports", "device-list", "none".
const char* PciAccessName(PciAccess access);
std::optional<PciAccess> PciAccessNamed(const std::string& name);
// The access QUELM.EXE gets on a system that reports this version record.
PciAccess PciAccessOf(const VersionRecord& version);

// The system code pages the simulated machine knows: the single-byte Windows code pages (874, 1250 to
// 1258) and the double-byte ones of Japanese (932), simplified Chinese (936), Korean (949) and
// traditional Chinese (950) Windows.
bool IsKnownCodePage(uint32_t codePage);
// IsDBCSLeadByte of that code page.
bool IsLeadByteOf(uint32_t codePage, uint8_t byte);

// Version records that classify as each operating-system name; "OTHER" is a Win32s record.
std::optional<VersionRecord> VersionForOsName(const std::string& name);

class SimMachine final : public Platform, public RunObserver {
 public:
  SimMachine();

  // --- Set-up -------------------------------------------------------------------------------
  FileSystem fileSystem;
  Registry registry;
  VersionRecord version;
  std::string currentDirectory = "D:\\";
  bool currentDirectoryReadable = true;
  std::string commandLine = "QUELM.EXE";
  InstallerBehaviour installer;
  ScreenSize screen{640, 480};
  std::deque<int32_t> answers;  // message-box answers in order; OK once they run out
  PciAccess pciAccess = PciAccess::kAuto;  // kAuto: as the version record decides
  uint32_t codePage = 1252;  // the system's ANSI code page: Western unless set

  // The access in effect, kAuto resolved.
  PciAccess EffectivePciAccess() const;

  void SetCommandTail(const std::string& tail);
  void AddPciFunction(uint32_t bus, uint32_t device, uint32_t function, uint16_t vendorId, uint16_t deviceId);

  // Runs the launcher's whole life on this machine and returns its exit code.
  int32_t RunLauncher();

  // --- What happened --------------------------------------------------------------------------
  const std::vector<Event>& Events() const { return events_; }
  uint64_t PciReads() const { return pciReads_; }
  uint64_t ClockMs() const { return clockMs_; }
  size_t OpenHandles() const { return registryHandles_.size() + processHandlesOpen_; }
  unsigned WaitCursorShown() const { return waitCursorShown_; }
  unsigned MessageLoopRuns() const { return messageLoopRuns_; }
  template <typename T>
  std::vector<T> EventsOf() const {
    std::vector<T> found;
    for (const Event& event : events_) {
      if (const T* typed = std::get_if<T>(&event)) found.push_back(*typed);
    }
    return found;
  }

  // --- Platform -------------------------------------------------------------------------------
  uint32_t ReadProfileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                             uint32_t size, const char* path) override;
  uint32_t ReadCurrentDirectory(char* buffer, uint32_t size) override;
  const char* ReadCommandLine() override { return commandLine.c_str(); }
  void ReadVersion(VersionRecord& record) override { record = version; }
  bool IsLeadByte(uint8_t byte) override { return IsLeadByteOf(codePage, byte); }
  bool OpenRegistryKey(NativeHandle parent, const char* subKey, NativeHandle& key) override;
  bool QueryRegistryValue(NativeHandle key, const char* name, char* buffer, uint32_t size) override;
  bool EnumRegistryKey(NativeHandle key, uint32_t index, char* name, uint32_t size) override;
  void CloseRegistryKey(NativeHandle key) override { registryHandles_.erase(key); }
  bool ReadPciIdentification(uint32_t bus, uint32_t device, uint32_t function,
                             uint32_t& identification) override;
  int32_t ShowMessageBox(const char* key, const char* text, const char* caption, MessageStyle style) override;
  void PostQuitRequest(int32_t status) override;
  void RunMessageLoop() override { ++messageLoopRuns_; }
  void ShowWaitCursor() override { ++waitCursorShown_; }
  uint32_t StartProcess(char* commandLineText, ProcessInfo& info) override;
  bool HasProcessEnded(NativeHandle process) override;
  void WaitForProcess(NativeHandle process) override;
  uint32_t ReadProcessExitCode(NativeHandle process) override;
  void ReleaseHandle(NativeHandle handle) override;
  ScreenSize ReadScreenSize() override { return screen; }
  NativeHandle FirstTopLevelWindow() override;
  NativeHandle NextWindow(NativeHandle window) override;
  uint32_t ReadWindowThreadId(NativeHandle window) override;
  bool ReadWindowRect(NativeHandle window, ScreenRect& rect) override;
  uint32_t ReadWindowStyle(NativeHandle window) override;
  NativeHandle FindChildControl(NativeHandle window, int32_t controlId) override;
  void ClickButton(NativeHandle button) override;
  void Pause(uint32_t milliseconds) override;
  void ShellOpen(const char* file, const char* directory) override;

  // --- RunObserver ----------------------------------------------------------------------------
  void OnEnvironmentRead(const RunRecord& record) override;
  void OnCardDetected(const CardInfo& card) override;

 private:
  struct Window {
    NativeHandle handle;
    uint32_t threadId;
    ScreenRect rect;
    uint32_t style;
  };
  // One started installer program.
  struct Process {
    NativeHandle processHandle;
    NativeHandle threadHandle;
    uint32_t threadId;
    uint64_t startMs;
    std::optional<uint64_t> endMs;  // known once it is bound to end
    uint32_t exitCode;
    size_t eventIndex;  // its InstallerEvent
  };

  char CurrentDrive() const;
  std::vector<Window> WindowsInZOrder() const;
  std::optional<Window> FindWindow(NativeHandle window) const;
  Process* FindProcess(NativeHandle handle);
  bool HasEnded(const Process& process) const { return process.endMs && clockMs_ >= *process.endMs; }
  InstallerEvent& EventOf(const Process& process) { return std::get<InstallerEvent>(events_[process.eventIndex]); }
  void EndAfterHang(Process& process, const char* waitingFor);

  std::vector<Event> events_;
  // By slot (bus << 8 | device << 3 | function): a flat table, because a scan reads every slot.
  std::vector<uint32_t> pciIdentification_;
  std::vector<bool> pciPresent_;
  uint64_t pciReads_ = 0;
  std::map<NativeHandle, RegistryKey*> registryHandles_;
  NativeHandle nextHandle_ = 0x1000;
  std::vector<Process> processes_;
  size_t processHandlesOpen_ = 0;
  std::vector<Window> foreignWindows_;
  uint64_t clockMs_ = 0;
  unsigned waitCursorShown_ = 0;
  unsigned messageLoopRuns_ = 0;
};

}  // namespace quelm::sim
