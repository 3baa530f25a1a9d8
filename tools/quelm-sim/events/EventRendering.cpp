// A run's events as a person reads them, or as one JSON object per line.
#include "events/EventRendering.h"

#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "pci/PciFunctionText.h"

namespace quelm::tool {

namespace {

using Json = nlohmann::ordered_json;

std::string StyleName(uint32_t style) {
  return style == static_cast<uint32_t>(MessageStyle::kOkCancel) ? "OK, Cancel" : "OK";
}

// The message as it reads on screen: CR LF breaks the line, every line indented.
std::string Indented(const std::string& text) {
  std::string out = "    ";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
    if (text[i] == '\n') out += "    ";
  }
  return out;
}

Json Known(const std::optional<bool>& fact) {
  return fact ? Json(*fact) : Json(nullptr);
}

Json Strings(const std::vector<std::string>& texts,
             const std::function<std::string(const std::string&)>& convert) {
  Json array = Json::array();
  for (const std::string& text : texts) array.push_back(convert(text));
  return array;
}

std::string Joined(const std::vector<std::string>& parts, const char* separator = ", ") {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : separator) + part;
  return out;
}

// Why the run took the script it took: the system the machine is, the name the launcher gives it, the
// releases that name stands for, and the line of QUELM.INI that holds the script.
std::string ScriptChoice(const sim::StartEvent& e) {
  std::string out = "\n  Windows: " + e.windows;
  if (e.osName.empty()) return out + ", which the launcher has no name for: it reads no script";
  out += ", which the launcher calls " + e.osName + " (" + e.osName + " stands for " +
         (e.standsFor.empty() ? "no release of Windows" : e.standsFor) + ")";
  if (!e.script) return out + "\n  Script: none, so NotSupport follows: " + e.noScriptBecause;
  return out + "\n  Script: " +
         (e.scriptLine != 0 ? "line " + std::to_string(e.scriptLine) + ", " : std::string()) + e.osName +
         "=" + *e.script;
}

// " (missing on the disk)" after a path the machine can see is not there.
std::string MissingMark(const std::optional<bool>& exists, const char* what) {
  return exists.value_or(true) ? "" : std::string(" (") + what + " is not on the disk)";
}

// How the launcher was started, on lines of its own after the environment.
std::string LaunchText(const sim::StartEvent& e) {
  if (!e.launch) return "";
  const sim::LaunchRecord& launch = *e.launch;
  std::string out = "\n  Started by " + launch.startedBy + ": " + launch.program + ", command tail \"" +
                    launch.commandTail + "\", current directory \"" + launch.currentDirectory +
                    "\"\n  Why: " + launch.why;
  for (const std::string& note : launch.notes) out += "\n  Note: " + note;
  if (!launch.driveLabel.empty() || !launch.driveIcon.empty()) {
    out += "\n  Drive: label \"" + launch.driveLabel + "\", icon \"" + launch.driveIcon + "\" (AUTORUN.INF)";
  }
  return out;
}

struct JsonEvent {
  uint32_t codePage;

  Json operator()(const sim::StartEvent& e) const {
    Json event = Start(e);
    if (e.launch) {
      const sim::LaunchRecord& launch = *e.launch;
      Json notes = Json::array();
      for (const std::string& note : launch.notes) notes.push_back(Text(note));
      event["startedBy"] = {{"by", launch.startedBy},
                            {"program", Text(launch.program)},
                            {"commandLine", Text(launch.commandLine)},
                            {"commandTail", Text(launch.commandTail)},
                            {"currentDirectory", Text(launch.currentDirectory)},
                            {"why", Text(launch.why)},
                            {"asksFirst", launch.asksFirst},
                            {"driveLabel", Text(launch.driveLabel)},
                            {"driveIcon", Text(launch.driveIcon)},
                            {"notes", notes}};
    }
    return event;
  }
  Json Start(const sim::StartEvent& e) const {
    return {{"event", "start"},
            {"osName", e.osName},
            {"baseDir", Text(e.baseDir)},
            {"iniPath", Text(e.iniPath)},
            {"installDir", Text(e.installDir)},
            {"installDirExists", Known(e.installDirExists)},
            {"usbSupplementInstalled", e.usbSupplementInstalled},
            {"pciAccess", e.pciAccess},
            {"windows", e.windows},
            {"standsFor", e.standsFor},
            {"script", e.script ? Json(Text(*e.script)) : Json(nullptr)},
            {"scriptLine", e.scriptLine},
            {"noScriptBecause", e.noScriptBecause.empty() ? Json(nullptr) : Json(Text(e.noScriptBecause))}};
  }
  Json operator()(const sim::TokenEvent& e) const {
    const auto orNull = [this](const std::string& text) {
      return text.empty() ? Json(nullptr) : Json(Text(text));
    };
    return {{"event", "token"},
            {"token", Text(e.token)},
            {"command", orNull(e.command)},
            {"nearest", orNull(e.nearest)},
            {"whyNone", orNull(e.whyNone)},
            {"skipped", orNull(e.skipped)},
            {"cardFound", e.cardFound}};
  }
  Json operator()(const sim::ExecEvent& e) const {
    return {{"event", "exec"},
            {"section", Text(e.section)},
            {"programLine", Text(e.programLine)},
            {"expanded", e.expanded.empty() ? Json(nullptr) : Json(Text(e.expanded))},
            {"opened", e.opened},
            {"notOpened", e.opened ? Json(nullptr) : Json(Text(e.notOpened))}};
  }
  Json operator()(const sim::CardListEvent& e) const {
    Json entries = Json::array();
    for (const sim::CardEntryTried& tried : e.entries) {
      Json entry = {{"key", tried.key}, {"entry", Text(tried.entry)}};
      entry["vendorId"] = tried.namesCard ? Json(IdText(tried.vendorId)) : Json(nullptr);
      entry["deviceId"] = tried.namesCard ? Json(IdText(tried.deviceId)) : Json(nullptr);
      entry["foundAt"] = tried.foundAt;
      entries.push_back(entry);
    }
    return {{"event", "cardList"},
            {"section", Text(e.section)},
            {"found", e.found},
            {"pciAccess", e.pciAccess},
            {"entries", entries}};
  }
  Json operator()(const sim::KeyCheckEvent& e) const {
    const auto text = [this](const std::string& value) {
      return Text(value);
    };
    return {{"event", "keyCheck"},
            {"hardwareId", Text(e.hardwareId)},
            {"location", Text(e.location)},
            {"found", e.found},
            {"verdict", e.verdict},
            {"hardwareKeys", Strings(e.hardwareKeys, text)},
            {"instanceKeys", Strings(e.instanceKeys, text)},
            {"match", e.match.empty() ? Json(nullptr) : Json(Text(e.match))},
            {"nearestMiss", e.nearestMiss.empty() ? Json(nullptr) : Json(Text(e.nearestMiss))}};
  }
  Json operator()(const sim::MessageEvent& e) const {
    return {{"event", "message"},
            {"key", Text(e.key)},
            {"style", e.style},
            {"text", Text(e.text)},
            {"answer", AnswerName(e.answer)}};
  }
  Json operator()(const sim::QuitEvent&) const { return {{"event", "quit"}}; }
  Json operator()(const sim::CardEvent& e) const {
    return {{"event", "card"},
            {"hardwareId", Text(e.hardwareId)},
            {"location", Text(e.location)},
            {"busType", Text(e.busType)},
            {"passFlag", e.passFlag}};
  }
  Json operator()(const sim::InstallerEvent& e) const {
    Json json = {{"event", "installer"}, {"commandLine", Text(e.commandLine)}};
    json["foundAt"] = e.foundAt ? Json(Text(*e.foundAt)) : Json(nullptr);
    if (!e.started && !e.searched.empty()) {
      Json searched = Json::array();
      for (const std::string& folder : e.searched) searched.push_back(Text(folder));
      json["searched"] = searched;
    }
    if (e.started) {
      json["exitCode"] = e.exitCode;
      json["windowPasses"] = e.windowPasses;
      json["clicked"] = e.clicked;
    } else {
      json["error"] = e.error;
    }
    return json;
  }
  Json operator()(const sim::ShellEvent& e) const {
    return {{"event", "shell"},
            {"file", Text(e.file)},
            {"directory", e.directory ? Json(Text(*e.directory)) : Json(nullptr)},
            {"fileExists", Known(e.fileExists)},
            {"directoryExists", Known(e.directoryExists)}};
  }
  Json operator()(const sim::HangEvent& e) const { return {{"event", "hang"}, {"waitingFor", e.waitingFor}}; }
  Json operator()(const sim::ExitEvent& e) const { return {{"event", "exit"}, {"exitCode", e.exitCode}}; }

  std::string Text(const std::string& text) const { return ToUtf8(text, codePage); }
};

struct TextEvent {
  std::string operator()(const sim::StartEvent& e) const {
    std::ostringstream out;
    out << "Environment: " << (e.osName.empty() ? "unrecognised Windows version" : e.osName)
        << ", base directory \"" << e.baseDir << "\", configuration file \"" << e.iniPath
        << "\", installation directory \"" << e.installDir << "\""
        << MissingMark(e.installDirExists, "that folder") << ", USB supplement "
        << (e.usbSupplementInstalled != 0 ? "installed" : "not installed") << ", PCI access: " << e.pciAccess
        << LaunchText(e) << ScriptChoice(e);
    return out.str();
  }
  std::string operator()(const sim::TokenEvent& e) const {
    std::string out = "Token \"" + e.token + "\": ";
    if (e.command.empty()) {
      out += "selects no command and is skipped";
      if (!e.whyNone.empty()) out += " (" + e.whyNone + ")";
      if (!e.nearest.empty() && e.whyNone.find(e.nearest) == std::string::npos)
        out += "; did you mean " + e.nearest + "?";
      return out;
    }
    out += e.command;
    if (!e.skipped.empty()) return out + ", which does nothing here: " + e.skipped;
    if (!e.cardFound && (e.command == "CheckPCIKey" || e.command == "Install")) {
      out += ", with no card found before it: its IDs and location are empty";
    }
    return out;
  }
  std::string operator()(const sim::ExecEvent& e) const {
    std::string out = "Exec [" + e.section + "]: ";
    if (e.programLine.empty()) return out + "nothing is opened: " + e.notOpened;
    out += "program line \"" + e.programLine + "\"";
    if (!e.expanded.empty() && e.expanded != e.programLine) out += " becomes \"" + e.expanded + "\"";
    return e.opened ? out : out + "\n  nothing is opened: " + e.notOpened;
  }
  std::string operator()(const sim::CardListEvent& e) const {
    std::string out =
        "Card list [" + e.section + "]" +
        (e.pciAccess == "none" ? " (the launcher cannot read the bus here: every function reads as absent)"
                               : "") +
        ":";
    for (const sim::CardEntryTried& tried : e.entries) {
      out += "\n  " + tried.key + "=" + tried.entry + ": ";
      if (!tried.namesCard) {
        out += "names no card (no vendor or device field)";
      } else {
        out += IdText(tried.vendorId) + ":" + IdText(tried.deviceId) +
               (tried.foundAt.empty() ? " is not on the bus" : " is on the bus at " + Joined(tried.foundAt));
      }
    }
    if (e.entries.empty()) out += "\n  no entry 1";
    return out + "\n  " +
           (e.found ? "the first entry on the bus is the card" : "no entry's card is on the bus");
  }
  std::string operator()(const sim::KeyCheckEvent& e) const {
    std::string out = "Key check: HKLM\\Enum\\PCI searched for a hardware key containing \"" + e.hardwareId +
                      "\" (with case) and in it an instance key containing \"" + e.location +
                      "\": " + (e.found ? "found, " + e.match : "not found (" + e.verdict + ")");
    if (!e.found && !e.hardwareKeys.empty())
      out += "\n  hardware keys with the ID: " + Joined(e.hardwareKeys);
    if (!e.found && !e.instanceKeys.empty()) out += "\n  their instance keys: " + Joined(e.instanceKeys);
    if (!e.nearestMiss.empty()) out += "\n  nearest miss: " + e.nearestMiss;
    return out;
  }
  std::string operator()(const sim::MessageEvent& e) const {
    return "Message \"" + e.key + "\" [" + StyleName(e.style) + "]:\n" + Indented(e.text) + "\n  answered " +
           AnswerName(e.answer);
  }
  std::string operator()(const sim::QuitEvent&) const { return "Quit request"; }
  std::string operator()(const sim::CardEvent& e) const {
    return "Card found: " + e.hardwareId + " at " + e.location + ", bus type \"" + e.busType +
           "\", pass flag " + std::to_string(e.passFlag);
  }
  std::string operator()(const sim::InstallerEvent& e) const {
    if (!e.started) {
      std::string text =
          "Installer program could not start (error " + std::to_string(e.error) + "): " + e.commandLine;
      if (!e.searched.empty()) {
        text += "\n  not found in";
        for (size_t index = 0; index < e.searched.size(); ++index) {
          text += (index == 0 ? " " : ", ") + e.searched[index];
        }
      }
      return text;
    }
    return "Installer program: " + e.commandLine + (e.foundAt ? "\n  found at " + *e.foundAt : "") +
           "\n  window " + (e.clicked ? "confirmed" : "not confirmed") + " after " +
           std::to_string(e.windowPasses) + " window passes; exit code " + std::to_string(e.exitCode);
  }
  std::string operator()(const sim::ShellEvent& e) const {
    return "Shell open: \"" + e.file + "\"" + MissingMark(e.fileExists, "that file") +
           (e.directory ? " in \"" + *e.directory + "\"" + MissingMark(e.directoryExists, "that folder")
                        : " (no working directory)");
  }
  std::string operator()(const sim::HangEvent& e) const {
    return "HANG: the launcher would wait forever for " + e.waitingFor +
           "; the simulation ended the installer program";
  }
  std::string operator()(const sim::ExitEvent& e) const { return "Exit code " + std::to_string(e.exitCode); }
};

}  // namespace

const char* AnswerName(int32_t answer) {
  return answer == kAnswerCancel ? "CANCEL" : "OK";
}

std::string RenderJson(const std::vector<sim::Event>& events, uint32_t codePage) {
  std::string out;
  for (const sim::Event& event : events) out += std::visit(JsonEvent{codePage}, event).dump() + "\n";
  return out;
}

std::string RenderText(const std::vector<sim::Event>& events, uint32_t codePage) {
  std::string out;
  for (const sim::Event& event : events) out += ToUtf8(std::visit(TextEvent{}, event), codePage) + "\n";
  return out;
}

}  // namespace quelm::tool
