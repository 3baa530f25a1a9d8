// The install-script interpreter: tokens by the comma rule, each dispatched through the command table.
#include "app/LauncherApp.h"
#include "app/ScriptCommands.h"
#include "config/FieldList.h"

namespace quelm {

void LauncherApp::RunScript() {
  Text<kNameCapacity> script;
  if (!record.osName.IsEmpty()) Configuration().Read("Application", record.osName.CStr(), script);
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
    const ScriptCommand* command = CommandFor(field);
    if (RunObserver* observer = Observer()) observer->OnToken(field, command, record);
    if (command == nullptr) continue;  // a misspelt word does nothing
    // A token is never longer than the script that holds it.
    Text<kNameCapacity> token;
    if (!token.Assign(field) || command->run(*this, token.CStr()) == ScriptFlow::kEnd) return;
  }
}

}  // namespace quelm
