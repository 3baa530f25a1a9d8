// The names QUELM.INI gives the Windows versions, looked up in their one table, and the kind a version
// record stands for.
#include "probe/OsKind.h"

#include "config/Text.h"

namespace quelm {

const char* OsNameOf(OsKind kind) {
  for (const OsKindName& named : kOsKindNames) {
    if (named.Kind() == kind) return named.name;
  }
  return "";
}

OsKind ClassifyVersion(VersionRecord version) {
  version.serviceText[kServiceTextCapacity - 1] = '\0';
  const unsigned major = version.majorVersion;
  const unsigned minor = version.minorVersion;
  if (version.platformId == kWindows9xPlatform) {
    if (major == 4 && minor == 10) return OsKind::W98;
    if (major == 4 && minor == 0) {
      const TextView service(version.serviceText);
      const char second = service.length >= 2 ? service[1] : '\0';
      if (second == 'B' || second == 'b') return OsKind::W95B;
      if (second == 'C' || second == 'c') return OsKind::W95C;
      return service.IsEmpty() ? OsKind::W95A : OsKind::WIN95;
    }
    return OsKind::WIN95;
  }
  if (version.platformId == kWindowsNtPlatform) {
    if (major == 3 && minor >= 50) return OsKind::NT35X;
    if (major == 4 && minor == 0) return OsKind::NT40;
    if (major == 3 && minor == 1) return OsKind::NT31;
    return OsKind::WINNT;
  }
  return OsKind::OTHER;
}

}  // namespace quelm
