// The scripts of [Application]: every token, what it selects, and what it does on the system that reads
// the script.
#include <algorithm>

#include "config/Capacities.h"
#include "config/FieldList.h"
#include "lint/Linter.h"
#include "sim/NearestWord.h"
#include "sim/SimProfile.h"
#include "sim/TokenMeaning.h"

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
        std::vector<std::string> systems;
        for (const OsKindName& system : kOsKindNames) systems.emplace_back(system.name);
        Advice advice;
        const std::string nearest = sim::NearestWord(key.name, systems);
        if (!nearest.empty()) advice.help = "did you mean " + nearest + "?";
        Report(PlaceOf(key), "unknown-system",
               "no Windows version reads the script " + Quoted(key.name) + " (the names are " + names + ")",
               advice);
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
  const bool read = source.hiddenBy.empty() && source.kind.has_value();
  FieldCursor tokens(ViewOf(script));
  TextView field;
  std::string endedBy;
  std::vector<std::string> unreachable;
  bool anyToken = false;
  while (tokens.Next(field)) {
    anyToken = true;
    const std::string token = StringOf(field);
    const size_t offset = static_cast<size_t>(field.chars - script.data());
    const Place place = PlaceInValue(*source.key, offset);
    if (read) scriptTokens_[OsNameOf(*source.kind)].push_back({token, place});
    ScriptSource where = source;
    if (!endedBy.empty()) {
      unreachable.push_back(token);
      if (where.hiddenBy.empty())
        where.hiddenBy = "which never runs: " + Quoted(endedBy) + " ends the script";
    }
    if (!CheckTokenMeaning(where, token, offset)) continue;
    CheckToken(where, *CommandFor(field), token, place, endedBy);
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

bool Linter::CheckTokenMeaning(const ScriptSource& source, const std::string& token, size_t offset) {
  const sim::TokenMeaning meaning = sim::MeaningOfToken(token);
  const Place place = PlaceInValue(*source.key, offset);
  const std::string theToken = "the " + source.name + " token " + Quoted(token);
  Advice advice;
  if (source.hiddenBy.empty() && source.kind) {
    advice.notes.push_back("the " + source.name + " script is read on " + ReleasesNamed(source.name));
  } else if (!source.hiddenBy.empty()) {
    advice.notes.push_back("it stands " + source.hiddenBy);
  }
  const auto replaceToken = [&](const std::string& replacement) {
    advice.help = "write " + Quoted(replacement);
    if (replacement != token) advice.fix = ReplaceInValue(*source.key, offset, token.size(), replacement);
  };
  if (meaning.selected == meaning.meant) {
    if (meaning.selected == nullptr) {
      Report(place, "unknown-command", theToken + " selects no command and is skipped", advice);
      return false;
    }
    // The same command, but the section or message it names may differ: the reader looks a name up
    // without the spaces around it, but with a tab.
    if (Folded(sim::LookedUpName(token)) != Folded(meaning.meantToken)) {
      replaceToken(meaning.meantToken);
      Report(place, "trailing-blank",
             theToken + " names the section or message " + Quoted(sim::LookedUpName(token)) + ", not " +
                 Quoted(meaning.meantToken),
             advice);
    }
    return true;
  }
  const std::string meant = meaning.meant != nullptr ? meaning.meant->word : "";
  if (meaning.why == "it begins with a blank") {
    replaceToken(meaning.meantToken);
    Report(place, "leading-blank", theToken + " begins with a blank and selects no command", advice);
  } else if (meaning.why == "it is in quotes") {
    replaceToken(meaning.meantToken);
    Report(place, "quoted-field",
           theToken +
               " is in quotes and selects no command: the reader removes quotes around a whole value only",
           advice);
  } else if (meaning.meant != nullptr && meaning.meant->kind == CommandKind::kEnd &&
             meaning.why == "End must be the whole token") {
    if (Meant(token) == meaning.meantToken) {
      replaceToken(meaning.meantToken);
    } else {
      advice.help = "write End";
    }
    Report(place, "end-not-whole", theToken + " is not End, which must be the whole token: the run goes on",
           advice);
  } else {
    advice.help = "did you mean " + Quoted(meant) + "?";
    Report(place, "unknown-command", theToken + " selects no command and is skipped", advice);
  }
  return meaning.selected != nullptr;
}

void Linter::CheckToken(const ScriptSource& source, const ScriptCommand& command, const std::string& token,
                        Place place, std::string& endedBy) {
  const std::string tail = source.hiddenBy.empty() ? "" : ", " + source.hiddenBy;
  const std::string theToken = "the " + source.name + " token " + token + tail;
  // The system whose run this token is part of, if the launcher reads the script and the token runs.
  const bool runs = source.hiddenBy.empty() && source.kind.has_value();
  const OsKind kind = source.kind.value_or(OsKind::OTHER);
  switch (command.kind) {
    case CommandKind::kDetectCard: {
      NoteUse(cardLists_, token, place, runs ? OsNameOf(kind) : "");
      NeedMessage(token, place, "the " + source.name + " card list " + token + tail);
      break;
    }
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
    case CommandKind::kExec: {
      NoteUse(programs_, token, place, runs ? OsNameOf(kind) : "");
      break;
    }
    case CommandKind::kEnd:
      if (endedBy.empty()) endedBy = token;
      break;
  }
}

void Linter::NoteUse(std::map<std::string, SectionUse>& uses, const std::string& token, Place place,
                     const std::string& system) {
  // cppcheck-suppress variableScope ; the use is noted whether or not a system runs it
  SectionUse& use =
      uses.try_emplace(Folded(sim::LookedUpName(token)), SectionUse{token, place, {}}).first->second;
  if (!system.empty()) use.systems.insert(system);
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
