// Summing up a run per system, and the table and JSON lines that show them side by side.
#include "run/SystemsTable.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <variant>

#include "events/EventRendering.h"

namespace quelm::tool {

namespace {

using Json = nlohmann::ordered_json;

std::string Joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : "; ") + part;
  return out.empty() ? "-" : out;
}

// The cells of one row, before alignment: system, messages, card, installer, shell, exit code.
std::vector<std::string> Cells(const SystemRun& run) {
  std::vector<std::string> messages;
  for (const sim::MessageEvent& message : run.messages) {
    const bool asked = message.style == static_cast<uint32_t>(MessageStyle::kOkCancel);
    messages.push_back(message.key + (message.text.empty() ? " (empty)" : "") +
                       (asked ? std::string(" (") + AnswerName(message.answer) + ")" : ""));
  }
  // What the disk lacks on this release is marked where it shows, so that a row says where a name the
  // INI file uses is missing on one release only (an image without Joliet, say, on Windows NT 3.x).
  const auto missing = [](const std::optional<bool>& exists, const std::string& mark) {
    return exists == false ? mark : std::string();
  };
  std::vector<std::string> installers;
  for (const sim::InstallerEvent& installer : run.installers) {
    installers.push_back(installer.started
                             ? installer.commandLine +
                                   missing(run.installDirExists, " (" + run.installDir + " missing)")
                             : "not started (error " + std::to_string(installer.error) + ")");
  }
  std::vector<std::string> shellOpens;
  for (const sim::ShellEvent& shell : run.shellOpens) {
    const std::string directory = shell.directory.value_or("");
    shellOpens.push_back(shell.file + missing(shell.fileExists, " (missing)") +
                         missing(shell.directoryExists, " (in " + directory + ", missing)"));
  }
  const std::string card = run.card ? run.card->hardwareId + " at " + run.card->location : "-";
  const std::string start = !run.launch
                                ? "-"
                                : run.launch->startedBy + (run.launch->asksFirst ? " (AutoPlay asks)" : "") +
                                      (run.baseDir != "D:" ? ", base " + run.baseDir : "");
  return {run.release,
          run.osName,
          Joined(messages),
          card,
          Joined(installers),
          Joined(shellOpens),
          std::to_string(run.exitCode) + (run.hang ? " (after a hang)" : ""),
          start};
}

// Terminal columns count characters, not bytes.
size_t DisplayWidth(const std::string& utf8) {
  return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

}  // namespace

SystemRun SumUp(const sim::WindowsRelease& release, const std::vector<sim::Event>& events) {
  SystemRun run;
  run.release = release.alias;
  run.releaseLabel = release.label;
  for (const sim::Event& event : events) {
    if (const auto* start = std::get_if<sim::StartEvent>(&event)) {
      run.pciAccess = start->pciAccess;
      run.installDir = start->installDir;
      run.baseDir = start->baseDir;
      run.launch = start->launch;
      run.installDirExists = start->installDirExists;
      run.osName = start->osName.empty() ? "OTHER" : start->osName;
    }
    if (const auto* message = std::get_if<sim::MessageEvent>(&event)) run.messages.push_back(*message);
    if (const auto* card = std::get_if<sim::CardEvent>(&event)) run.card = *card;
    if (const auto* installer = std::get_if<sim::InstallerEvent>(&event))
      run.installers.push_back(*installer);
    if (const auto* shell = std::get_if<sim::ShellEvent>(&event)) run.shellOpens.push_back(*shell);
    if (std::holds_alternative<sim::HangEvent>(event)) run.hang = true;
    if (const auto* exit = std::get_if<sim::ExitEvent>(&event)) run.exitCode = exit->exitCode;
  }
  return run;
}

std::string RenderSystemsTable(const std::vector<SystemRun>& runs, uint32_t codePage) {
  std::vector<std::vector<std::string>> rows = {
      {"Release", "System", "Messages", "Card", "Installer", "Shell", "Exit", "Start"}};
  // The Start column shows only where a run says how the launcher started, so that a disk without
  // AUTORUN.INF keeps the table it always had.
  const bool starts = std::any_of(runs.begin(), runs.end(), [](const SystemRun& run) {
    return run.launch.has_value();
  });
  if (!starts) rows.front().pop_back();
  for (const SystemRun& run : runs) {
    std::vector<std::string> cells = Cells(run);
    if (!starts) cells.pop_back();
    for (std::string& cell : cells) cell = ToUtf8(cell, codePage);
    rows.push_back(std::move(cells));
  }
  std::vector<size_t> widths(rows.front().size(), 0);
  for (const auto& row : rows) {
    for (size_t column = 0; column < row.size(); ++column) {
      widths[column] = std::max(widths[column], DisplayWidth(row[column]));
    }
  }
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (size_t column = 0; column < row.size(); ++column) {
      line += row[column];
      if (column + 1 < row.size()) line += std::string(widths[column] - DisplayWidth(row[column]) + 2, ' ');
    }
    out += line + "\n";
  }
  return out;
}

std::string RenderSystemsJson(const std::vector<SystemRun>& runs, uint32_t codePage) {
  const auto text = [codePage](const std::string& value) {
    return ToUtf8(value, codePage);
  };
  std::string out;
  for (const SystemRun& run : runs) {
    Json messages = Json::array();
    for (const sim::MessageEvent& message : run.messages) {
      messages.push_back({{"key", text(message.key)},
                          {"style", message.style},
                          {"text", text(message.text)},
                          {"answer", AnswerName(message.answer)}});
    }
    Json card = nullptr;
    if (run.card) {
      card = {{"hardwareId", text(run.card->hardwareId)},
              {"location", text(run.card->location)},
              {"busType", text(run.card->busType)},
              {"passFlag", run.card->passFlag}};
    }
    Json installers = Json::array();
    for (const sim::InstallerEvent& installer : run.installers) {
      Json entry = {{"commandLine", text(installer.commandLine)}};
      if (installer.started) {
        entry["exitCode"] = installer.exitCode;
      } else {
        entry["error"] = installer.error;
      }
      installers.push_back(entry);
    }
    Json shellOpens = Json::array();
    for (const sim::ShellEvent& shell : run.shellOpens) {
      const auto known = [](const std::optional<bool>& fact) {
        return fact ? Json(*fact) : Json(nullptr);
      };
      shellOpens.push_back({{"file", text(shell.file)},
                            {"directory", shell.directory ? Json(text(*shell.directory)) : Json(nullptr)},
                            {"fileExists", known(shell.fileExists)},
                            {"directoryExists", known(shell.directoryExists)}});
    }
    Json row = {{"release", run.release},     {"windows", run.releaseLabel}, {"os", run.osName},
                {"pciAccess", run.pciAccess}, {"messages", messages},        {"card", card},
                {"installers", installers},   {"shell", shellOpens},         {"hang", run.hang},
                {"exitCode", run.exitCode}};
    if (run.launch) {
      row["start"] = {{"by", run.launch->startedBy},
                      {"asksFirst", run.launch->asksFirst},
                      {"program", text(run.launch->program)},
                      {"baseDir", text(run.baseDir)}};
    }
    out += row.dump() + "\n";
  }
  return out;
}

}  // namespace quelm::tool
