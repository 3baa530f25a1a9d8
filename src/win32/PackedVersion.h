// The version record a system without GetVersionExA gives, decoded from GetVersion's packed answer.
#pragma once

#include <stdint.h>

#include "platform/Platform.h"

namespace quelm {

// Platform ID of Win32s on Windows 3.1 (VER_PLATFORM_WIN32s), which GetVersionExA also reports.
inline constexpr uint32_t kWin32sPlatform = 0;

// GetVersion's answer as the record GetVersionExA would give on the same system, with an empty service
// text; every field is written. Major version in the low byte, minor version in the next; the high
// bit clear on Windows NT, set on Win32s (major version 3) and on Windows 95 and later (major version
// 4); the high word holds the build number on Windows NT and, without its high bit, on Win32s; on
// Windows 95 it is reserved.
void DecodePackedVersion(uint32_t packed, VersionRecord& record);

}  // namespace quelm
