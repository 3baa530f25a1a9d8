// Buffer sizes of the launcher's texts, in characters including the terminating zero.
#pragma once

namespace quelm {

// Names, profile values, directories, tokens, card entries, program lines.
inline constexpr unsigned kNameCapacity = 256;
// The configuration-file path and the installation directory.
inline constexpr unsigned kPathCapacity = 260;
// Message texts and the working copy used while expanding macros.
inline constexpr unsigned kMessageCapacity = 512;
inline constexpr unsigned kOsNameCapacity = 20;
// A bus type holds at most 7 characters; only "AGP" means anything.
inline constexpr unsigned kBusTypeCapacity = 8;

}  // namespace quelm
