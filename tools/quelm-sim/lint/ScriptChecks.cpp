// The scripts of [Application]: every token, what it selects, and what it does on the system that reads
// the script.
#include <algorithm>

#include "config/Capacities.h"
#include "config/FieldList.h"
#include "lint/Linter.h"
#include "sim/NearestWord.h"

namespace quelm::tool::lint {

void Linter::CheckScripts() {
  const Section* application = file_.SectionNamed("Application");
  const Place applicationPlace = application != nullptr ? PlaceOf(*application) : Place{};
  std::string names;
  for (const OsKindName& system : kOsKindNames) names += std::string(names.empty() ? "" : " ") + system.name;
  for (const Section& section : file_.Layout()) {
    if (!SameName(section.name, "Application")) continue;
    for (const Key& key : section.keys) {
      if (IsComment(key) || !key.hasValue) continue;
      ScriptSource source{std::nullopt, key.name, &key, ""};
      for (const OsKindName& system : kOsKindNames) {
        if (SameName(key.name, system.name)) source.kind = system.Kind();
      }
      if (!section.counts) {
        source.hiddenBy = "in a second [Application] section, which is never read";
      } else if (!source.kind) {
        source.hiddenBy = "in a script no Windows reads";
        Report(PlaceOf(key), "unknown-system",
               "no Windows version reads the script " + Quoted(key.name) + " (the names are " + names + ")");
      } else if (sim::ProfileFile::KeyNamed(&section, key.name) != &key) {
        source.hiddenBy = "in a second " + key.name + " script, which is never read";
      }
      const std::string script = ReadKey(key, "Application", kNameCapacity);
      if (script.empty()) continue;
      if (source.hiddenBy.empty()) scripted_.insert(OsNameOf(*source.kind));
      CheckScript(source, script);
    }
  }
  bool anyScript = false;
  for (const OsKindName& system : kOsKindNames) {
    if (scripted_.count(system.name) != 0) {
      anyScript = true;
    } else {
      NeedMessage("NotSupport", applicationPlace,
                  std::string("a system without a script (") + system.name + ")");
    }
  }
  if (!anyScript) {
    Report(applicationPlace, "no-script",
           "no Windows version has a script: every one shows the NotSupport message");
  }
}

void Linter::CheckScript(const ScriptSource& source, const std::string& script) {
  const std::string who = "the " + source.name;
  FieldCursor tokens(ViewOf(script));
  TextView field;
  std::string endedBy;
  std::vector<std::string> unreachable;
  bool anyToken = false;
  while (tokens.Next(field)) {
    anyToken = true;
    const std::string token = StringOf(field);
    const Place place = PlaceInValue(*source.key, static_cast<size_t>(field.chars - script.data()));
    ScriptSource where = source;
    if (!endedBy.empty()) {
      unreachable.push_back(token);
      if (where.hiddenBy.empty())
        where.hiddenBy = "which never runs: " + Quoted(endedBy) + " ends the script";
    }
    if (BeginsWithBlank(token)) {
      Report(place, "leading-blank",
             who + " token " + Quoted(token) + " begins with a blank and selects no command");
      continue;
    }
    const ScriptCommand* command = CommandFor(field);
    if (command == nullptr) {
      if (StartsWithIgnoringCase(field, "End")) {
        Report(
            place, "end-not-whole",
            who + " token " + Quoted(token) + " is not End, which must be the whole token: the run goes on");
      } else {
        Report(place, "unknown-command",
               who + " token " + Quoted(token) + " selects no command and is skipped; did you mean " +
                   Quoted(NearestCommandWord(token)) + "?");
      }
      continue;
    }
    CheckToken(where, *command, token, place, endedBy);
  }
  if (!anyToken) {
    Report(PlaceInValue(*source.key, 0), "commas-only",
           who + " script has commas only: nothing runs, and no NotSupport message is shown either");
  }
  if (!unreachable.empty()) {
    std::string list;
    for (const std::string& token : unreachable) list += (list.empty() ? "" : ", ") + Quoted(token);
    Report(PlaceOf(*source.key), "unreachable-token",
           "in " + who + " script, " + list + " never run" + (unreachable.size() == 1 ? "s" : "") + ": " +
               Quoted(endedBy) + " ends the script");
  }
}

void Linter::CheckToken(const ScriptSource& source, const ScriptCommand& command, const std::string& token,
                        Place place, std::string& endedBy) {
  const std::string tail = source.hiddenBy.empty() ? "" : ", " + source.hiddenBy;
  const std::string theToken = "the " + source.name + " token " + token + tail;
  // The system whose run this token is part of, if the launcher reads the script and the token runs.
  const bool runs = source.hiddenBy.empty() && source.kind.has_value();
  const OsKind kind = source.kind.value_or(OsKind::OTHER);
  switch (command.kind) {
    case CommandKind::kDetectCard:
      cardLists_.try_emplace(Folded(token), token, place);
      NeedMessage(token, place, "the " + source.name + " card list " + token + tail);
      if (runs && (kind == OsKind::NT31 || kind == OsKind::NT35X || kind == OsKind::NT40)) {
        Report(place, "no-bus-access",
               "the " + source.name + " card list " + Quoted(token) +
                   " never finds a card: Windows NT 3.x and 4.0 give programs no way to the PCI bus");
      }
      break;
    case CommandKind::kCheckPciKey:
      NeedMessage("CheckPCIKey", place, theToken);
      if (runs && IsNt(kind)) {
        Report(place, "no-enumerator",
               "the " + source.name + " token " + Quoted(token) +
                   " always fails: Windows NT has no Enum\\PCI tree");
      }
      break;
    case CommandKind::kShowMsg:
      NeedMessage(token, place, theToken);
      if (endedBy.empty()) endedBy = token;
      break;
    case CommandKind::kShowUsbMsg:
      NeedMessage(token, place, theToken);
      break;
    case CommandKind::kInstall:
      if (runs) {
        CheckInstall(kind, token, place);
      } else {
        NeedMessage("InstallFailed", place, theToken);
      }
      break;
    case CommandKind::kExec:
      programs_.try_emplace(Folded(token), token, place);
      if (runs) programsThatRun_.insert(Folded(token));
      break;
    case CommandKind::kEnd:
      if (endedBy.empty()) endedBy = token;
      break;
  }
}

void Linter::CheckInstall(OsKind kind, const std::string& token, Place place) {
  const std::string system = OsNameOf(kind);
  if (!OffersInstall(kind)) {
    Report(place, "install-not-offered",
           "Install does nothing on " + system +
               " but show the NotSupport message and end the run once the script is done");
    NeedMessage("NotSupport", place, "the " + system + " token " + token);
    return;
  }
  NeedMessage("InstallFailed", place, "the " + system + " token " + token);
  installs_.try_emplace(system, place);
  if (Peek("SubDir", system, kNameCapacity).empty() && reportedSubDir_.insert(system).second) {
    Report(place, "missing-subdir",
           system + " installs, but [SubDir] has no " + system +
               " entry: the installer program gets the disk's own folder");
  }
}

}  // namespace quelm::tool::lint
