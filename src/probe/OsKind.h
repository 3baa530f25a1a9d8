// The Windows versions the launcher tells apart, their names in QUELM.INI, and what each one gets.
#pragma once

#include <stdint.h>

#include "platform/Platform.h"

namespace quelm {

enum class OsKind : int32_t {
  OTHER = 0,  // neither a Windows 9x nor a Windows NT platform
  WIN95 = 10,
  W95A = 11,
  W95B = 12,
  W95C = 13,
  W98 = 14,
  WINNT = 20,
  NT31 = 21,
  NT35X = 22,
  NT40 = 23,
};

// The one table of the names QUELM.INI gives the kinds, in the order of their values: every kind but
// OTHER, which has none.
// QUELM.EXE carries this table in its last few bytes of room, so each row is seven bytes: the name
// held in the row itself (the longest is five letters) and the kind's value, which fits in one byte.
struct OsKindName {
  char name[6];
  uint8_t value;
  constexpr OsKind Kind() const { return static_cast<OsKind>(value); }
};
inline constexpr OsKindName kOsKindNames[] = {
    {"WIN95", static_cast<uint8_t>(OsKind::WIN95)}, {"W95A", static_cast<uint8_t>(OsKind::W95A)},
    {"W95B", static_cast<uint8_t>(OsKind::W95B)},   {"W95C", static_cast<uint8_t>(OsKind::W95C)},
    {"W98", static_cast<uint8_t>(OsKind::W98)},     {"WINNT", static_cast<uint8_t>(OsKind::WINNT)},
    {"NT31", static_cast<uint8_t>(OsKind::NT31)},   {"NT35X", static_cast<uint8_t>(OsKind::NT35X)},
    {"NT40", static_cast<uint8_t>(OsKind::NT40)},
};

// The name the configuration file uses for a kind: "W95B", "NT40", ...; empty for OTHER.
const char* OsNameOf(OsKind kind);

// The kind a version record stands for. The tests run in a fixed order and compare the minor version
// as an unsigned number, so Windows NT reporting 3.10 is WINNT, not NT31.
OsKind ClassifyVersion(VersionRecord version);

// Whether start-up reads the kind's "SubDir" entry: the systems Install serves, and NT 4.0.
constexpr bool UsesSubDirEntry(OsKind kind) {
  return kind == OsKind::W95A || kind == OsKind::W95B || kind == OsKind::W95C || kind == OsKind::W98 ||
         kind == OsKind::NT40;
}

// Whether Install hands the card to the installer program there: Windows 95 (A, B and C) and 98.
constexpr bool OffersInstall(OsKind kind) {
  return kind == OsKind::W95A || kind == OsKind::W95B || kind == OsKind::W95C || kind == OsKind::W98;
}

}  // namespace quelm
