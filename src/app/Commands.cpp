// The application's commands: each calls its module, then shows the command's message if it failed.
#include "app/LauncherApp.h"
#include "card/CardDetection.h"
#include "card/EnumeratorKey.h"
#include "handoff/ShellLaunch.h"

namespace quelm {

bool LauncherApp::DetectCard(const char* section) {
  const bool found = quelm::DetectCard(Configuration(), probe, section, record.card);
  if (RunObserver* observer = Observer()) observer->OnCardListDone(section, record, found);
  if (!found) ShowMessage(section, MessageStyle::kOk);
  return found;
}

bool LauncherApp::CheckPciKey() {
  const bool found = quelm::CheckPciKey(platform_, record.card);
  if (RunObserver* observer = Observer()) observer->OnKeyCheckDone(record, found);
  if (!found) ShowMessage("CheckPCIKey", MessageStyle::kOk);  // whatever the token's suffix
  return found;
}

bool LauncherApp::Install() {
  if (!OffersInstall(probe.ClassifyOs())) {
    ShowMessage("NotSupport", MessageStyle::kOk);
    RequestQuit();
    return true;  // the script goes on with its next token
  }
  win9xInstaller_.Prepare(record.card);
  installer = &win9xInstaller_;
  const InstallerOutcome outcome = installer->Run();
  record.exitCode = outcome.exitCode;
  if (outcome.started) return true;
  ShowMessage("InstallFailed", MessageStyle::kOk);
  return false;
}

void LauncherApp::LaunchProgram(const char* section) {
  quelm::LaunchProgram(platform_, Configuration(), section, record.baseDir, probe.ReadLeadBytes());
}

}  // namespace quelm
