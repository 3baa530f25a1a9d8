// The install-script interpreter: one table of command words, one dispatch.
#include "app/LauncherApp.h"
#include "config/FieldList.h"

namespace quelm {

namespace {

enum class ScriptFlow { kNext, kEnd };
enum class Match { kPrefix, kWholeToken };

struct ScriptCommand {
  const char* word;
  Match match;
  ScriptFlow (*run)(LauncherApp& app, const char* token);
};

ScriptFlow GoOnIf(int32_t result) { return result != 0 ? ScriptFlow::kNext : ScriptFlow::kEnd; }

// Tried in this order; the first word the token matches selects the command. "ShowMsg" comes before
// "ShowUSBMsg", which is harmless because the two differ from their fifth letter on.
constexpr ScriptCommand kCommands[] = {
    {"DetectCard", Match::kPrefix,
     [](LauncherApp& app, const char* token) { return GoOnIf(app.DetectCard(token)); }},
    {"CheckPCIKey", Match::kPrefix,
     [](LauncherApp& app, const char*) { return GoOnIf(app.CheckPciKey()); }},
    {"ShowMsg", Match::kPrefix,
     [](LauncherApp& app, const char* token) {
       app.ShowMessage(token, MessageStyle::kOk);
       return ScriptFlow::kEnd;
     }},
    {"ShowUSBMsg", Match::kPrefix,
     [](LauncherApp& app, const char* token) {
       if (app.usbSupplementInstalled == 1) return ScriptFlow::kNext;
       if (app.ShowMessage(token, MessageStyle::kOkCancel) != 0) return ScriptFlow::kNext;
       app.RequestQuit();
       return ScriptFlow::kEnd;
     }},
    {"Install", Match::kPrefix, [](LauncherApp& app, const char*) { return GoOnIf(app.Install()); }},
    {"Exec", Match::kPrefix,
     [](LauncherApp& app, const char* token) {
       app.LaunchProgram(token);
       return ScriptFlow::kNext;
     }},
    {"End", Match::kWholeToken,
     [](LauncherApp& app, const char*) {
       app.RequestQuit();
       return ScriptFlow::kEnd;
     }},
};

ScriptFlow Dispatch(LauncherApp& app, const Text<kNameCapacity>& token) {
  for (const ScriptCommand& command : kCommands) {
    const bool matches = command.match == Match::kPrefix ? StartsWithIgnoringCase(token, command.word)
                                                         : EqualsIgnoringCase(token, command.word);
    if (matches) return command.run(app, token.CStr());
  }
  return ScriptFlow::kNext;  // a misspelt word does nothing
}

}  // namespace

void LauncherApp::RunScript() {
  Text<kNameCapacity> script;
  if (!osName.IsEmpty()) Configuration().Read("Application", osName.CStr(), script);
  if (script.IsEmpty()) {
    ShowMessage("NotSupport", MessageStyle::kOk);
    RequestQuit();
    return;
  }
  // The interpreter keeps its own position: the commands split other texts with cursors of their own.
  unsigned position = 0;
  for (;;) {
    FieldCursor cursor(script, position);
    TextView field;
    if (!cursor.Next(field)) return;
    position = cursor.Position();
    const Text<kNameCapacity> token(field);
    if (Dispatch(*this, token) == ScriptFlow::kEnd) return;
  }
}

int32_t LauncherApp::ShowMessage(const char* key, MessageStyle style) {
  Text<kMessageCapacity> text;
  Configuration().Read("Message", key, text);
  probe.ExpandEscapes(text);
  const int32_t answer = platform_.ShowMessageBox(key, text.CStr(), kApplicationTitle, style);
  return answer == kAnswerCancel ? 0 : 1;
}

}  // namespace quelm
