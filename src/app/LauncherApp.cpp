// Construction, start-up and the environment the run starts from.
#include "app/LauncherApp.h"

namespace quelm {

namespace {

LauncherApp* currentApp = nullptr;

bool HasSubDirEntry(OsKind kind) {
  return kind == OsKind::W95A || kind == OsKind::W95B || kind == OsKind::W95C || kind == OsKind::W98 ||
         kind == OsKind::NT40;
}

}  // namespace

LauncherApp::LauncherApp(Platform& platform, RunObserver* observer)
    : probe(platform), platform_(platform), observer_(observer), win9xInstaller_(platform) {
  currentApp = this;
}

LauncherApp::~LauncherApp() {
  if (currentApp == this) currentApp = nullptr;
}

LauncherApp* LauncherApp::Current() { return currentApp; }

bool LauncherApp::StartHook() {
  ReadEnvironment();
  RunScript();
  for (; pendingQuitRequests_ > 0; --pendingQuitRequests_) platform_.PostQuitRequest(0);
  return true;
}

void LauncherApp::ReadEnvironment() {
  usbSupplementInstalled = probe.IsUsbSupplementInstalled();
  probe.GetBaseDirectory(baseDir.Buffer(), kNameCapacity);
  // A path that does not fit would name another file; without it the run simply has no script.
  if (!iniPath.Assign(baseDir) || !iniPath.Append(kConfigurationFileName)) iniPath.Clear();
  card.installDir.Assign(baseDir);
  const OsKind kind = probe.ClassifyOs();
  osName.Assign(OsNameOf(kind));
  if (HasSubDirEntry(kind)) {
    Text<kNameCapacity> subDir;
    Configuration().Read("SubDir", osName.CStr(), subDir);
    card.installDir.Append(subDir);
  }
  if (observer_) observer_->OnEnvironmentRead(*this);
}

}  // namespace quelm
