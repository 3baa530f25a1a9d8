// Construction, start-up and the environment the run starts from.
#include "app/LauncherApp.h"

namespace quelm {

LauncherApp::LauncherApp(Platform& platform, RunObserver* observer)
    : probe(platform), platform_(platform), observer_(observer), win9xInstaller_(platform) {}

void LauncherApp::StartHook() {
  ReadEnvironment();
  RunScript();
  for (; pendingQuitRequests_ > 0; --pendingQuitRequests_) platform_.PostQuitRequest(0);
}

void LauncherApp::ReadEnvironment() {
  record.usbSupplementInstalled = probe.IsUsbSupplementInstalled();
  // An unreadable directory leaves the base directory empty, one that does not fit empties it.
  if (!probe.GetBaseDirectory(record.baseDir.Buffer(), kNameCapacity)) record.baseDir.Clear();
  // A path that does not fit would name another file; without it the run simply has no script.
  if (!record.iniPath.Assign(record.baseDir) || !record.iniPath.Append(kConfigurationFileName)) {
    record.iniPath.Clear();
  }
  // The base directory always fits the longer installation directory.
  record.card.installDir = Text<kPathCapacity>(record.baseDir);
  const OsKind kind = probe.ClassifyOs();
  if (!record.osName.Assign(OsNameOf(kind))) record.osName.Clear();
  if (UsesSubDirEntry(kind)) {
    Text<kNameCapacity> subDir;
    Configuration().Read("SubDir", record.osName.CStr(), subDir);
    record.card.installDir.AppendCut(subDir);  // Windows 9x reaches no longer directory anyway
  }
  if (RunObserver* observer = Observer()) observer->OnEnvironmentRead(record);
}

}  // namespace quelm
