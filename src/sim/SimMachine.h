// A simulated Windows machine: disk folders, registry, PCI bus, code page, user answers, and a desktop
// on which the installer program runs.
#pragma once

#include <stdint.h>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/RunObserver.h"
#include "platform/Platform.h"
#include "sim/SimCodePage.h"
#include "sim/SimDesktop.h"
#include "sim/SimEvents.h"
#include "sim/SimFileSystem.h"
#include "sim/SimProfile.h"
#include "sim/SimRegistry.h"
#include "sim/WindowsReleases.h"

namespace quelm::sim {

// How QUELM.EXE reaches the PCI configuration space on a machine: the ports on Windows 9x, SetupAPI's
// list of present devices on Windows 2000 and later, neither on NT 3.x and 4.0 (or Win32s), where no
// card is ever found.
enum class PciAccess { kAuto, kPorts, kDeviceList, kNone };

// "auto", "ports", "device-list", "none".
const char* PciAccessName(PciAccess access);
std::optional<PciAccess> PciAccessNamed(const std::string& name);
// The access QUELM.EXE gets on a system that reports this version record.
PciAccess PciAccessOf(const VersionRecord& version);

class SimMachine final : public Platform, public RunObserver {
 public:
  SimMachine();
  // The desktop keeps references into the machine.
  SimMachine(const SimMachine&) = delete;
  SimMachine& operator=(const SimMachine&) = delete;

  // --- Set-up -------------------------------------------------------------------------------
  FileSystem fileSystem;
  Registry registry;
  VersionRecord version;
  std::string currentDirectory = "D:\\";
  bool currentDirectoryReadable = true;
  // The folder QUELM.EXE was started from, where Windows first looks for a program named without a
  // path; the disk's root unless a run says otherwise.
  std::string launcherDirectory = "D:\\";
  // The system folders and the search path, in the order Windows looks through them after the
  // launcher's folder and the current directory. Nothing is there unless a run puts it there.
  std::vector<std::string> searchPath;
  std::string commandLine = "QUELM.EXE";
  // How the launcher was started, for the start event; nothing for the plain start.
  std::optional<LaunchRecord> launch;
  InstallerBehaviour installer;
  ScreenSize screen{640, 480};
  std::deque<int32_t> answers;             // message-box answers in order; OK once they run out
  PciAccess pciAccess = PciAccess::kAuto;  // kAuto: as the version record decides
  uint32_t codePage = 1252;                // the system's ANSI code page: Western unless set
  std::string windowsLabel;                // the release `version` stands for, where one was named
  // Card-list events list every entry tried against the bus; a caller that needs only what each list
  // found (lint's reference runs) leaves that out, so that a long list costs little.
  bool explainCardEntries = true;
  // Profile files as this machine's release reads them, by the path asked for, already read: a caller
  // that runs one disk on many machines (lint's reference runs) reads each way of reading once.
  std::map<std::string, std::shared_ptr<const ProfileFile>> givenProfiles;

  // The access in effect, kAuto resolved.
  PciAccess EffectivePciAccess() const;
  // How this machine's profile code reads a file's bytes.
  ProfileReading EffectiveProfileReading() const { return ProfileReadingOf(version, codePage); }

  // Where Windows finds `program` named without a path (CreateProcess without an application name):
  // the launcher's folder, the current directory, then the search path; names compared without regard
  // to case. Nothing when it is in none of them.
  std::optional<std::string> FindProgram(const std::string& program) const;
  // Whether `windowsPath` names an existing folder (or a file that is no folder), for a path with a
  // drive letter on a simulated drive; nothing for any other path, whose target the machine cannot see.
  std::optional<bool> FolderExists(const std::string& windowsPath) const;
  std::optional<bool> FileExists(const std::string& windowsPath) const;

  void SetCommandTail(const std::string& tail);
  void AddPciFunction(uint32_t bus, uint32_t device, uint32_t function, uint16_t vendorId, uint16_t deviceId);

  // Runs the launcher's whole life on this machine and returns its exit code; `through` is a platform
  // that passes the calls on to this machine (a fault injector), or the machine itself.
  int32_t RunLauncher() { return RunLauncher(*this); }
  int32_t RunLauncher(Platform& through);

  // --- What happened --------------------------------------------------------------------------
  const std::vector<Event>& Events() const { return events_; }
  uint64_t PciReads() const { return pciReads_; }
  uint64_t ClockMs() const { return desktop_.ClockMs(); }
  size_t OpenHandles() const { return registryHandles_.size() + desktop_.OpenHandles(); }
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
  bool WaitForProcessEnd(NativeHandle process, uint32_t milliseconds) override {
    return desktop_.WaitForProcessEnd(process, milliseconds);
  }
  void WaitForProcess(NativeHandle process) override { desktop_.WaitForProcess(process); }
  uint32_t ReadProcessExitCode(NativeHandle process, uint32_t& exitCode) override {
    exitCode = desktop_.ReadProcessExitCode(process);
    return 0;
  }
  void ReleaseHandle(NativeHandle handle) override { desktop_.ReleaseHandle(handle); }
  ScreenSize ReadScreenSize() override { return screen; }
  NativeHandle FirstTopLevelWindow() override { return desktop_.FirstTopLevelWindow(); }
  NativeHandle NextWindow(NativeHandle window) override { return desktop_.NextWindow(window); }
  uint32_t ReadWindowThreadId(NativeHandle window) override { return desktop_.ReadWindowThreadId(window); }
  bool ReadWindowRect(NativeHandle window, ScreenRect& rect) override {
    return desktop_.ReadWindowRect(window, rect);
  }
  uint32_t ReadWindowStyle(NativeHandle window) override { return desktop_.ReadWindowStyle(window); }
  NativeHandle FindChildControl(NativeHandle window, int32_t controlId) override {
    return desktop_.FindChildControl(window, controlId);
  }
  void ClickButton(NativeHandle button) override { desktop_.ClickButton(button); }
  void Pause(uint32_t milliseconds) override { desktop_.Pause(milliseconds); }
  void ShellOpen(const char* file, const char* directory) override;

  // --- RunObserver ----------------------------------------------------------------------------
  void OnEnvironmentRead(const RunRecord& record) override;
  void OnCardListDone(const char* section, const RunRecord& record, bool found) override;
  void OnKeyCheckDone(const RunRecord& record, bool found) override;
  void OnToken(TextView token, const ScriptCommand* command, const RunRecord& record) override;

 private:
  char CurrentDrive() const;
  void StartExec(const std::string& section, const RunRecord& record);
  void FinishExec();
  // The slots ("BB:DD.F", scan order) of the functions with these IDs that the launcher can reach.
  std::vector<std::string> SlotsHolding(uint16_t vendorId, uint16_t deviceId) const;
  // Where the program a command line starts is, as the installer behaviour decides.
  InstallerLocation LocateProgram(const std::string& commandLineText) const;
  // The profile file at `path` as read in this run, or outside a run read afresh into `scratch`;
  // null when there is no readable file.
  const ProfileFile* ProfileAt(const char* path, std::optional<ProfileFile>& scratch);

  std::vector<Event> events_;
  SimDesktop desktop_;
  // By slot (bus << 8 | device << 3 | function): a flat table, because a scan reads every slot.
  std::vector<uint32_t> pciIdentification_;
  // The slots that hold a function, in scan order: explaining a card list looks through these alone,
  // so that a long list costs time in proportion to its length.
  std::set<uint32_t> pciSlotsHeld_;
  uint64_t pciReads_ = 0;
  std::map<NativeHandle, RegistryKey*> registryHandles_;
  NativeHandle nextHandle_ = 0x1000;
  unsigned waitCursorShown_ = 0;
  unsigned messageLoopRuns_ = 0;
  // Profile files read in the current run, by the path asked for (the current drive does not change
  // during a run), nothing where no file could be read: a run reads each file once, so that a card
  // list costs time in proportion to its length and not to its square. Nothing is kept from one run
  // to the next, or outside a run, where the disk folder may change between reads.
  std::unordered_map<std::string, std::optional<ProfileFile>> runProfiles_;
  bool running_ = false;
  std::optional<size_t> pendingExec_;  // the event of the Exec command that runs, until the next token
};

}  // namespace quelm::sim
