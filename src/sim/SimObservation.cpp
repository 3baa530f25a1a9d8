// What the simulated machine sees of a run beyond the platform operations: the milestones the launcher
// reports to its observer, each turned into the events quelm-sim prints and tests read.
#include <algorithm>

#include "app/ScriptCommands.h"
#include "card/CardDetection.h"
#include "config/Capacities.h"
#include "handoff/ShellLaunch.h"
#include "probe/SystemProbe.h"
#include "sim/ScriptCause.h"
#include "sim/SimMachine.h"
#include "sim/SimText.h"
#include "sim/TokenMeaning.h"

namespace quelm::sim {

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
  event.launch = launch;
  // The tail as the launcher's own code reads it from the command line it got.
  if (event.launch) event.launch->commandTail = CommandTail(commandLine.c_str());
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
  if (!event.osName.empty() && !event.script) {
    const auto bytes = fileSystem.ReadFile(event.iniPath, CurrentDrive());
    event.noScriptBecause = bytes ? WhyNoScript(*bytes, EffectiveProfileReading(), event.osName)
                                  : "there is no file " + event.iniPath;
  }
  events_.push_back(event);
}

void SimMachine::OnToken(TextView token, const ScriptCommand* command, const RunRecord& record) {
  FinishExec();
  const TokenMeaning meaning = MeaningOfToken(std::string_view(token.chars, token.length));
  TokenEvent event;
  event.token = std::string(token.chars, token.length);
  event.cardFound = !record.card.hardwareId.IsEmpty();
  if (command == nullptr) {
    if (meaning.meant != nullptr) event.nearest = meaning.meant->word;
    event.whyNone = meaning.why;
    events_.push_back(event);
    return;
  }
  event.command = command->word;
  if (command->kind == CommandKind::kShowUsbMsg && record.usbSupplementInstalled) {
    event.skipped = "the Windows 95 USB supplement is installed";
  }
  events_.push_back(event);
  if (command->kind == CommandKind::kExec) StartExec(event.token, record);
}

// What an Exec command reads and expands, by the launcher's own steps; whether the shell is asked is
// seen when it is, and why not once the next token comes or the run ends.
void SimMachine::StartExec(const std::string& section, const RunRecord& record) {
  ExecEvent event;
  event.section = section;
  char written[kNameCapacity + 1];
  ReadProfileString(section.c_str(), "program", "", written, sizeof(written), record.iniPath.CStr());
  event.programLine = written;
  Text<kNameCapacity> line;
  const LeadBytes leadBytes = LeadBytesWhere([this](uint8_t byte) {
    return IsLeadByteOf(codePage, byte);
  });
  TextView file;
  TextView directory;
  if (event.programLine.empty()) {
    event.notOpened = "[" + section + "] has no program line";
  } else if (!line.Assign(ViewOf(event.programLine))) {
    event.notOpened = "the program line is longer than its 255 characters";
  } else if (!ExpandMacros(line, record.baseDir, leadBytes)) {
    event.notOpened = "the program line is longer than its 255 characters once [CWD] is expanded";
  } else if (event.expanded = line.CStr(); !SplitProgramLine(line, file, directory)) {
    event.notOpened = "the program line names no file";
  } else {
    event.notOpened = "the shell was not asked";
  }
  pendingExec_ = events_.size();
  events_.push_back(event);
}

void SimMachine::FinishExec() {
  if (!pendingExec_) return;
  auto& event = std::get<ExecEvent>(events_[*pendingExec_]);
  if (event.opened) event.notOpened.clear();
  pendingExec_.reset();
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
  for (unsigned number = 1; explainCardEntries; ++number) {
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
