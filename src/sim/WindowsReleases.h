// The Windows releases the simulated machine can be, the version records they report, and the
// launcher's names for them: the one table the tool's options, rows and help are built from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"
#include "probe/OsKind.h"

namespace quelm::sim {

struct WindowsRelease {
  const char* alias;       // what --os takes and the rows of --all-os show: "98se", "nt4", "xp"
  const char* otherNames;  // the names people use for it, which --os takes too: "win98se se"
  const char* label;       // what it is called, with the version it reports: "Windows 98 SE (4.10.2222 A)"
  VersionRecord record;
};

// Every release, oldest first. The launcher's name for each is not kept here: the launcher's own
// classification gives it (ClassifyVersion), so the two can never disagree.
const std::vector<WindowsRelease>& WindowsReleases();
// The release an alias or another name of it names, in any case; null for none.
const WindowsRelease* ReleaseNamed(std::string_view alias);
// The other names of a release, as a list.
std::vector<std::string> OtherNamesOf(const WindowsRelease& release);
// The labels of the releases that the launcher gives `kind`, joined by ", "; empty where no release
// reports a version of that kind.
std::string ReleasesOf(OsKind kind);

// The launcher's names, and "OTHER" for a system it has no name for (Win32s): each with a version
// record that classifies as it.
std::vector<std::string> SimulatedOsNames();
std::optional<VersionRecord> VersionForOsName(const std::string& name);

}  // namespace quelm::sim
