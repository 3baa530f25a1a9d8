// Why a run finds no script for its system, as the file shows it.
#pragma once

#include <string>
#include <string_view>

#include "sim/SimProfile.h"

namespace quelm::sim {

// For a file whose [Application] section gives `osName` no script as `reading` reads the file: the
// likeliest cause in words ("the file begins with a UTF-8 mark, ..."), or that [Application] has no
// such entry.
std::string WhyNoScript(std::string_view bytes, const ProfileReading& reading, const std::string& osName);

}  // namespace quelm::sim
