// The flow of each script: run by the launcher's own code on the simulated machine, on a few reference
// machines of each release (the cards its card lists name first present and registered, present only,
// absent; with and without the USB supplement), for what cannot work as meant on any of them.
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <tuple>

#include "config/Capacities.h"
#include "config/FieldList.h"
#include "lint/Linter.h"
#include "medium/ReleaseView.h"
#include "probe/SystemProbe.h"
#include "sim/SimMachine.h"
#include "sim/WindowsReleases.h"

namespace quelm::tool::lint {

namespace {

enum class CardState { kRegistered, kPresent, kAbsent };

// Releases that run a disk alike: the same script, read alike, with the same way to the bus and the
// same answer to Install. One of them runs for all.
struct ReleaseGroup {
  const sim::WindowsRelease* release = nullptr;
  std::string osName;
  std::vector<std::string> aliases;
};

// On an image, releases that read it otherwise (another tree, small letters found or not) run apart.
std::vector<ReleaseGroup> ReleaseGroups(const Medium* medium) {
  std::map<std::tuple<std::string, bool, size_t, bool, sim::PciAccess, int, int>, size_t> index;
  std::vector<ReleaseGroup> groups;
  for (const sim::WindowsRelease& release : sim::WindowsReleases()) {
    const OsKind kind = ClassifyVersion(release.record);
    const sim::ProfileReading reading = sim::ProfileReadingOf(release.record, 1252);
    const MediumReading onImage = medium != nullptr ? ReadingOf(*medium, release.record) : MediumReading{};
    const auto key = std::make_tuple(std::string(OsNameOf(kind)), reading.unicodeMark, reading.byteLimit,
                                     reading.crEndsLine, sim::PciAccessOf(release.record),
                                     static_cast<int>(onImage.tree), static_cast<int>(onImage.lowerCase));
    const auto [found, added] = index.try_emplace(key, groups.size());
    if (added) groups.push_back({&release, OsNameOf(kind), {}});
    groups[found->second].aliases.emplace_back(release.alias);
  }
  return groups;
}

std::string SlotName(unsigned bus) {
  char text[32];
  // Two digits always fit.
  static_cast<void>(std::snprintf(text, sizeof(text), "BUS_%02X&DEV_00&FUNC_00", bus));
  return text;
}

std::string HardwareKey(uint16_t vendor, uint16_t device) {
  char text[64];
  // Four digits each always fit.
  static_cast<void>(
      std::snprintf(text, sizeof(text), "VEN_%04X&DEV_%04X&SUBSYS_00000000&REV_00", vendor, device));
  return text;
}

}  // namespace

void Linter::CheckFlow() {
  // The card each card list names first, as its author meant it: on the reference machines it is on
  // the bus, and on the first of them registered.
  struct ReferenceCard {
    uint16_t vendor;
    uint16_t device;
  };
  std::vector<ReferenceCard> cards;
  for (const auto& [folded, use] : cardLists_) {
    const Key* first = sim::ProfileFile::KeyNamed(file_.SectionNamed(use.name), "1");
    if (first == nullptr || !first->hasValue) continue;
    const std::string entry = Peek(use.name, "1", kNameCapacity);
    FieldCursor cursor(ViewOf(entry));
    TextView fields[2];
    unsigned count = 0;
    while (count < 2 && cursor.Next(fields[count])) ++count;
    if (count < 2) continue;
    const IdMeaning vendor = MeaningOfId(StringOf(fields[0]));
    const IdMeaning device = MeaningOfId(StringOf(fields[1]));
    const auto idOf = [](const IdMeaning& meaning, TextView field) {
      return static_cast<uint16_t>(meaning.IsPlain() ? meaning.meant
                                                     : static_cast<uint32_t>(ReadDecimal(field)));
    };
    cards.push_back({idOf(vendor, fields[0]), idOf(device, fields[1])});
  }

  // What was seen of each token, by system and the token's index in its script.
  struct TokenSeen {
    std::set<std::string> ranOn;     // release aliases
    std::set<std::string> noCardOn;  // ran with no card found before it, where every card is there
    std::map<std::string, std::string> notOpened;  // Exec: alias, why nothing opened
    std::set<std::string> noBusOn;                 // a card list, where no program reaches the bus
  };
  std::map<std::pair<std::string, size_t>, TokenSeen> seen;
  std::set<std::string> compared;  // systems with a release that reads the script as written
  // By system: the index of a card list that finds no card even where its card is present and the bus
  // can be read, or of an Install whose installer program cannot start. Their own findings say why;
  // the tokens after them are not said to never run.
  std::map<std::string, size_t> failingList;

  // The file as each way of reading takes it, read once for all the machines that read it so.
  std::map<std::tuple<bool, size_t, bool>, std::shared_ptr<const sim::ProfileFile>> readings;
  for (const ReleaseGroup& group : ReleaseGroups(disk_.medium)) {
    if (group.osName.empty() || scripted_.count(group.osName) == 0) continue;
    const sim::ProfileReading reading = sim::ProfileReadingOf(group.release->record, disk_.codePage);
    auto& read = readings[std::make_tuple(reading.unicodeMark, reading.byteLimit, reading.crEndsLine)];
    if (!read) read = std::make_shared<const sim::ProfileFile>(sim::ReadProfile(disk_.bytes, reading));
    const auto tokens = scriptTokens_.find(group.osName);
    if (tokens == scriptTokens_.end()) continue;
    const std::string written = Peek("Application", group.osName, kNameCapacity);
    const bool hasUsbMessage =
        std::any_of(tokens->second.begin(), tokens->second.end(), [](const TokenPlace& token) {
          const ScriptCommand* command = CommandFor(ViewOf(token.token));
          return command != nullptr && command->kind == CommandKind::kShowUsbMsg;
        });
    for (const CardState state : {CardState::kRegistered, CardState::kPresent, CardState::kAbsent}) {
      for (const bool usbSupplement : {false, true}) {
        if (usbSupplement && !hasUsbMessage) continue;
        sim::SimMachine machine;
        machine.version = group.release->record;
        machine.windowsLabel = group.release->label;
        machine.codePage = disk_.codePage;
        machine.explainCardEntries = false;
        if (disk_.files != nullptr) machine.fileSystem = *disk_.files;
        // An image is run as each release reads it, as run does; where it finds no QUELM.INI,
        // image-lacks-ini says so and there is no script to follow.
        if (disk_.medium != nullptr) {
          machine.fileSystem.MapMedium('D', DriveView(*disk_.medium, group.release->record, disk_.codePage));
          if (machine.fileSystem.EntryAt("D:\\QUELM.INI", 'D') != sim::FileSystem::Entry::kFile) continue;
        }
        machine.fileSystem.PutFile("D:\\QUELM.INI", disk_.bytes);
        machine.givenProfiles["D:\\QUELM.INI"] = read;
        if (disk_.files == nullptr || disk_.installerJoinsLater)
          machine.installer.presence = sim::InstallerPresence::kPresent;
        if (usbSupplement)
          machine.registry.SetString(kUsbSupplementKey, kUsbSupplementValue, "USB Supplement to OSR2");
        if (state != CardState::kAbsent) {
          for (unsigned index = 0; index < cards.size(); ++index) {
            const ReferenceCard& card = cards[index];
            const unsigned bus = index + 1;
            machine.AddPciFunction(bus, 0, 0, card.vendor, card.device);
            // Registered at its slot and at 000800 alike, so that a card list read otherwise than meant
            // (an AGP entry that is not) shows in that list's own findings, not again in every token after.
            if (state == CardState::kRegistered) {
              machine.registry.Create("Enum\\PCI\\" + HardwareKey(card.vendor, card.device) + "\\" +
                                      SlotName(bus));
              machine.registry.Create("Enum\\PCI\\" + HardwareKey(card.vendor, card.device) + "\\000800");
            }
          }
        }
        machine.RunLauncher();
        const auto& events = machine.Events();
        const auto* start = std::get_if<sim::StartEvent>(&events.front());
        // Tokens are placed by their index where the release reads the script as written.
        if (start == nullptr || !start->script || *start->script != written) continue;
        compared.insert(group.osName);
        size_t index = 0;
        bool inToken = false;
        for (const sim::Event& event : events) {
          if (const auto* token = std::get_if<sim::TokenEvent>(&event)) {
            if (inToken) ++index;
            inToken = true;
            TokenSeen& entry = seen[{group.osName, index}];
            for (const std::string& alias : group.aliases) entry.ranOn.insert(alias);
            // Where the command does its work: the key check on Windows 9x, Install where it installs.
            const OsKind kind = ClassifyVersion(group.release->record);
            const bool needsCard = (token->command == "CheckPCIKey" && kind != OsKind::OTHER &&
                                    group.release->record.platformId != kWindowsNtPlatform) ||
                                   (token->command == "Install" && OffersInstall(kind));
            if (needsCard && !token->cardFound && state == CardState::kRegistered) {
              entry.noCardOn.insert(group.aliases.begin(), group.aliases.end());
            }
          } else if (const auto* exec = std::get_if<sim::ExecEvent>(&event)) {
            if (!exec->opened)
              seen[{group.osName, index}].notOpened.try_emplace(Listed(group.aliases), exec->notOpened);
          } else if (const auto* shell = std::get_if<sim::ShellEvent>(&event)) {
            // What the run found missing on this release's drive, for the image checks to cite.
            if (shell->fileExists == false)
              missingOnRun_[Folded(shell->file)].insert(group.aliases.begin(), group.aliases.end());
            if (shell->directory && shell->directoryExists == false)
              missingOnRun_[Folded(*shell->directory)].insert(group.aliases.begin(), group.aliases.end());
          } else if (const auto* installer = std::get_if<sim::InstallerEvent>(&event)) {
            if (!installer->started && !installer->foundAt)
              missingOnRun_[Folded(kInstallerProgram)].insert(group.aliases.begin(), group.aliases.end());
            if (!installer->started && state == CardState::kRegistered)
              failingList.try_emplace(group.osName, index);
          } else if (const auto* list = std::get_if<sim::CardListEvent>(&event)) {
            if (list->pciAccess == "none") {
              seen[{group.osName, index}].noBusOn.insert(group.aliases.begin(), group.aliases.end());
            } else if (!list->found && state == CardState::kRegistered) {
              failingList.try_emplace(group.osName, index);
            }
          }
        }
      }
    }
  }

  for (const auto& [system, tokens] : scriptTokens_) {
    if (compared.count(system) == 0) continue;
    bool ended = false;  // by a ShowMsg or End before: unreachable-token says so
    std::string stoppedBy;
    for (size_t index = 0; index < tokens.size(); ++index) {
      const TokenPlace& token = tokens[index];
      const ScriptCommand* command = CommandFor(ViewOf(token.token));
      const auto found = seen.find({system, index});
      const TokenSeen none;
      const TokenSeen& what = found != seen.end() ? found->second : none;
      const std::string theToken = "the " + system + " token " + Quoted(token.token);
      const auto failing = failingList.find(system);
      const bool afterFailingList = failing != failingList.end() && index > failing->second;
      if (!ended && !afterFailingList && what.ranOn.empty() && command != nullptr &&
          command->kind != CommandKind::kEnd) {
        Advice advice;
        advice.notes.push_back(
            "it runs on no reference machine of " + ReleasesNamed(system) +
            " (cards present and registered, present only, absent; with and without the USB "
            "supplement)" +
            (stoppedBy.empty() ? "" : ": " + stoppedBy));
        const char* consequence =
            command->kind == CommandKind::kShowMsg || command->kind == CommandKind::kShowUsbMsg
                ? "its message is never shown"
            : command->kind == CommandKind::kInstall ? "the installer program is never started"
                                                     : "";
        Report(token.place, "never-runs",
               theToken + " never runs" + (consequence[0] != '\0' ? std::string(": ") + consequence : ""),
               advice);
      }
      if (!what.noCardOn.empty() && command != nullptr) {
        Advice advice;
        advice.notes.push_back("on " + Listed({what.noCardOn.begin(), what.noCardOn.end()}) +
                               ", with every card the card lists name present and registered");
        advice.help = "put a card list (DetectCard...) before it";
        Report(
            token.place, "no-card-before",
            theToken + " runs with no card found before it: " +
                (command->kind == CommandKind::kInstall ? "the installer program gets empty IDs and location"
                                                        : "the key check looks for empty IDs"),
            advice);
      }
      for (const auto& [alias, why] : what.notOpened) {
        // No program line, or none with a file: missing-program and short-program-line say so.
        if (why.find("longer than") == std::string::npos) continue;
        Advice advice;
        advice.notes.push_back("on " + alias + ", with QUELM.EXE started at the disk's root");
        Report(token.place, "exec-opens-nothing", theToken + " opens nothing: " + why, advice);
        break;
      }
      if (!what.noBusOn.empty()) {
        Advice advice;
        advice.notes.push_back(
            "Windows NT 3.x and 4.0 and Win32s let programs neither read the PCI "
            "configuration ports nor ask SetupAPI for the bus");
        Report(token.place, "no-bus-access",
               "the " + system + " card list " + Quoted(token.token) + " never finds a card on " +
                   Listed({what.noBusOn.begin(), what.noBusOn.end()}) +
                   ", which give programs no way to the PCI bus",
               advice);
      }
      if (command != nullptr &&
          (command->kind == CommandKind::kShowMsg || command->kind == CommandKind::kEnd)) {
        ended = true;
      }
      if (command != nullptr && command->kind == CommandKind::kDetectCard && !what.noBusOn.empty() &&
          stoppedBy.empty()) {
        stoppedBy = Quoted(token.token) + " finds no card where no program reaches the bus";
      }
    }
  }
}

}  // namespace quelm::tool::lint
