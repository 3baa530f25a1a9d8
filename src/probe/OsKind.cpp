// The names QUELM.INI gives the Windows versions.
#include "probe/OsKind.h"

namespace quelm {

const char* OsNameOf(OsKind kind) {
  switch (kind) {
    case OsKind::WIN95:
      return "WIN95";
    case OsKind::W95A:
      return "W95A";
    case OsKind::W95B:
      return "W95B";
    case OsKind::W95C:
      return "W95C";
    case OsKind::W98:
      return "W98";
    case OsKind::WINNT:
      return "WINNT";
    case OsKind::NT31:
      return "NT31";
    case OsKind::NT35X:
      return "NT35X";
    case OsKind::NT40:
      return "NT40";
    case OsKind::OTHER:
      break;
  }
  return "";
}

}  // namespace quelm
