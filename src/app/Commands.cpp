// The application's commands: each calls its module, then shows the command's message if it failed.
#include "app/LauncherApp.h"
#include "card/CardDetection.h"
#include "card/EnumeratorKey.h"
#include "handoff/ShellLaunch.h"

namespace quelm {

bool LauncherApp::DetectCard(const char* section) {
  if (!quelm::DetectCard(Configuration(), probe, section, record.card)) {
    ShowMessage(section, MessageStyle::kOk);
    return false;
  }
  if (observer_) observer_->OnCardDetected(record.card);
  return true;
}

bool LauncherApp::CheckPciKey() {
  if (quelm::CheckPciKey(platform_, record.card)) return true;
  ShowMessage("CheckPCIKey", MessageStyle::kOk);  // whatever the token's suffix
  return false;
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
