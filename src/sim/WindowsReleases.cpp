// The Windows releases and the version records they report, as documented for GetVersionEx and
// GetVersion: build numbers and service texts of the first edition of each.
#include "sim/WindowsReleases.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "config/Text.h"
#include "sim/SimText.h"

namespace quelm::sim {

namespace {

VersionRecord MakeVersion(uint32_t platformId, uint32_t major, uint32_t minor, uint32_t build,
                          const char* service) {
  VersionRecord record;
  record.platformId = platformId;
  record.majorVersion = major;
  record.minorVersion = minor;
  record.buildNumber = build;
  std::strncpy(record.serviceText, service, sizeof(record.serviceText) - 1);
  return record;
}

constexpr uint32_t kWin32s = 0;  // VER_PLATFORM_WIN32s

}  // namespace

const std::vector<WindowsRelease>& WindowsReleases() {
  // Windows 8.1 and later report 6.2 to a program that declares no compatibility in a manifest, as
  // QUELM.EXE does not (GetVersionEx documentation); Windows NT 3.1 reports 3.10, and GetVersion is
  // all it has.
  static const std::vector<WindowsRelease> kReleases = {
      {"win32s", "", "Win32s on Windows 3.1 (3.10)", MakeVersion(kWin32s, 3, 10, 0, "")},
      {"95", "win95 windows95", "Windows 95 (4.00.950)", MakeVersion(kWindows9xPlatform, 4, 0, 950, "")},
      {"95-osr1", "osr1 win95a", "Windows 95 A, OSR1 (4.00.950 A)",
       MakeVersion(kWindows9xPlatform, 4, 0, 950, " A")},
      {"95-osr2", "osr2 win95b", "Windows 95 B, OSR2 (4.00.1111 B)",
       MakeVersion(kWindows9xPlatform, 4, 0, 1111, " B")},
      {"95-osr21", "osr21 osr2.1", "Windows 95 B, OSR2.1 (4.03.1212 B)",
       MakeVersion(kWindows9xPlatform, 4, 0, 1212, " B")},
      {"95-osr25", "osr25 osr2.5 win95c", "Windows 95 C, OSR2.5 (4.03.1214 C)",
       MakeVersion(kWindows9xPlatform, 4, 0, 1214, " C")},
      {"98", "win98 windows98", "Windows 98 (4.10.1998)", MakeVersion(kWindows9xPlatform, 4, 10, 1998, " ")},
      {"98se", "win98se se", "Windows 98 SE (4.10.2222 A)",
       MakeVersion(kWindows9xPlatform, 4, 10, 2222, " A ")},
      {"me", "winme windowsme millennium", "Windows Me (4.90.3000)",
       MakeVersion(kWindows9xPlatform, 4, 90, 3000, " ")},
      {"nt31", "winnt31", "Windows NT 3.1 (3.10.511)", MakeVersion(kWindowsNtPlatform, 3, 10, 511, "")},
      {"nt35", "winnt35", "Windows NT 3.5 (3.50.807)", MakeVersion(kWindowsNtPlatform, 3, 50, 807, "")},
      {"nt351", "winnt351", "Windows NT 3.51 (3.51.1057)",
       MakeVersion(kWindowsNtPlatform, 3, 51, 1057, "Service Pack 5")},
      {"nt4", "winnt4 nt4.0", "Windows NT 4.0 (4.00.1381)",
       MakeVersion(kWindowsNtPlatform, 4, 0, 1381, "Service Pack 6")},
      {"2000", "win2k win2000 windows2000 w2k", "Windows 2000 (5.0.2195)",
       MakeVersion(kWindowsNtPlatform, 5, 0, 2195, "Service Pack 4")},
      {"xp", "winxp windowsxp", "Windows XP (5.1.2600)",
       MakeVersion(kWindowsNtPlatform, 5, 1, 2600, "Service Pack 3")},
      {"vista", "winvista", "Windows Vista (6.0.6002)",
       MakeVersion(kWindowsNtPlatform, 6, 0, 6002, "Service Pack 2")},
      {"7", "win7 windows7", "Windows 7 (6.1.7601)",
       MakeVersion(kWindowsNtPlatform, 6, 1, 7601, "Service Pack 1")},
      {"8", "win8 windows8", "Windows 8 (6.2.9200)", MakeVersion(kWindowsNtPlatform, 6, 2, 9200, "")},
      {"10", "win10 windows10", "Windows 10 (reports 6.2.9200)",
       MakeVersion(kWindowsNtPlatform, 6, 2, 9200, "")},
      {"11", "win11 windows11", "Windows 11 (reports 6.2.9200)",
       MakeVersion(kWindowsNtPlatform, 6, 2, 9200, "")},
  };
  return kReleases;
}

std::vector<std::string> OtherNamesOf(const WindowsRelease& release) {
  std::vector<std::string> names;
  std::string_view rest = release.otherNames;
  while (!rest.empty()) {
    const size_t blank = std::min(rest.find(' '), rest.size());
    names.emplace_back(rest.substr(0, blank));
    rest.remove_prefix(std::min(blank + 1, rest.size()));
  }
  return names;
}

const WindowsRelease* ReleaseNamed(std::string_view alias) {
  const TextView wanted(alias.data(), static_cast<unsigned>(alias.size()));
  for (const WindowsRelease& release : WindowsReleases()) {
    if (EqualsIgnoringCase(wanted, release.alias)) return &release;
    for (const std::string& name : OtherNamesOf(release)) {
      if (EqualsIgnoringCase(wanted, name.c_str())) return &release;
    }
  }
  return nullptr;
}

std::string ReleasesOf(OsKind kind) {
  std::string labels;
  for (const WindowsRelease& release : WindowsReleases()) {
    if (ClassifyVersion(release.record) != kind) continue;
    labels += (labels.empty() ? "" : ", ") + std::string(release.label);
  }
  return labels;
}

std::vector<std::string> SimulatedOsNames() {
  std::vector<std::string> names;
  for (const OsKindName& named : kOsKindNames) names.emplace_back(named.name);
  names.emplace_back("OTHER");
  return names;
}

std::optional<VersionRecord> VersionForOsName(const std::string& name) {
  // A release of each name where there is one; NT31 asks for version 3.1, which no release reports.
  static const std::map<std::string, VersionRecord> kRecords = {
      {"W95A", ReleaseNamed("95")->record},
      {"W95B", ReleaseNamed("95-osr2")->record},
      {"W95C", ReleaseNamed("95-osr25")->record},
      {"W98", ReleaseNamed("98")->record},
      {"WIN95", ReleaseNamed("me")->record},
      {"WINNT", ReleaseNamed("xp")->record},
      {"NT31", MakeVersion(kWindowsNtPlatform, 3, 1, 528, "")},
      {"NT35X", ReleaseNamed("nt351")->record},
      {"NT40", ReleaseNamed("nt4")->record},
      {"OTHER", ReleaseNamed("win32s")->record},
  };
  const auto found = kRecords.find(name);
  if (found == kRecords.end()) return std::nullopt;
  return found->second;
}

}  // namespace quelm::sim
