// The command table: each command is a few lines that call the application's commands.
#include "app/ScriptCommands.h"

#include "app/LauncherApp.h"

namespace quelm {

namespace {

ScriptFlow GoOnIf(bool succeeded) {
  return succeeded ? ScriptFlow::kNext : ScriptFlow::kEnd;
}

ScriptFlow RunDetectCard(LauncherApp& app, const char* token) {
  return GoOnIf(app.DetectCard(token));
}

ScriptFlow RunCheckPciKey(LauncherApp& app, const char*) {
  return GoOnIf(app.CheckPciKey());
}

ScriptFlow RunShowMsg(LauncherApp& app, const char* token) {
  app.ShowMessage(token, MessageStyle::kOk);
  return ScriptFlow::kEnd;
}

ScriptFlow RunShowUsbMsg(LauncherApp& app, const char* token) {
  if (app.record.usbSupplementInstalled) return ScriptFlow::kNext;
  if (app.ShowMessage(token, MessageStyle::kOkCancel)) return ScriptFlow::kNext;
  app.RequestQuit();
  return ScriptFlow::kEnd;
}

ScriptFlow RunInstall(LauncherApp& app, const char*) {
  return GoOnIf(app.Install());
}

ScriptFlow RunExec(LauncherApp& app, const char* token) {
  app.LaunchProgram(token);
  return ScriptFlow::kNext;
}

ScriptFlow RunEnd(LauncherApp& app, const char*) {
  app.RequestQuit();
  return ScriptFlow::kEnd;
}

}  // namespace

// "ShowMsg" comes before "ShowUSBMsg", which is harmless because the two differ from their fifth
// letter on.
const ScriptCommand kScriptCommands[] = {
    {"DetectCard", WordMatch::kPrefix, CommandKind::kDetectCard, RunDetectCard},
    {"CheckPCIKey", WordMatch::kPrefix, CommandKind::kCheckPciKey, RunCheckPciKey},
    {"ShowMsg", WordMatch::kPrefix, CommandKind::kShowMsg, RunShowMsg},
    {"ShowUSBMsg", WordMatch::kPrefix, CommandKind::kShowUsbMsg, RunShowUsbMsg},
    {"Install", WordMatch::kPrefix, CommandKind::kInstall, RunInstall},
    {"Exec", WordMatch::kPrefix, CommandKind::kExec, RunExec},
    {"End", WordMatch::kWholeToken, CommandKind::kEnd, RunEnd},
};
const unsigned kScriptCommandCount = sizeof(kScriptCommands) / sizeof(kScriptCommands[0]);

const ScriptCommand* CommandFor(TextView token) {
  for (const ScriptCommand& command : kScriptCommands) {
    const bool matches = command.match == WordMatch::kPrefix ? StartsWithIgnoringCase(token, command.word)
                                                             : EqualsIgnoringCase(token, command.word);
    if (matches) return &command;
  }
  return nullptr;
}

}  // namespace quelm
