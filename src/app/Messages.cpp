// Showing a message of QUELM.INI: look-up, escapes, the modal box and its answer.
#include "app/Messages.h"

#include "app/LauncherApp.h"

namespace quelm {

void ExpandEscapes(Text<kMessageCapacity>& text, const LeadBytes& leadBytes) {
  // Neither replacement can form a new escape with its neighbours, so both loops end.
  ReplaceUntilGone(text, "\\n", "\r\n", leadBytes);
  ReplaceUntilGone(text, "\\t", "\t", leadBytes);
}

bool LauncherApp::ShowMessage(const char* key, MessageStyle style) {
  Text<kMessageCapacity> text;
  Configuration().Read("Message", key, text);
  ExpandEscapes(text, probe.ReadLeadBytes());
  return platform_.ShowMessageBox(key, text.CStr(), kApplicationTitle, style) != kAnswerCancel;
}

}  // namespace quelm
