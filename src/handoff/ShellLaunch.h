// Exec commands: a program line from the profile, its macros expanded, opened through the shell.
#pragma once

#include "config/Capacities.h"
#include "config/Profile.h"
#include "config/Text.h"
#include "platform/Platform.h"

namespace quelm {

// Rewrites "[CWD]" (as `baseDir`) and "[OS]" (removed) in place, each beginning at a whole character.
// False, with the line untouched, when the result would not fit the line.
[[nodiscard]] bool ExpandMacros(Text<kNameCapacity>& line, TextView baseDir, const LeadBytes& leadBytes);

// The fields of an expanded program line, by the comma rule: the file, a field that is skipped, and the
// working directory. False for a line without a file; `directory` stays empty where the line has no
// third field.
[[nodiscard]] bool SplitProgramLine(TextView line, TextView& file, TextView& directory);

// Reads section `section`'s "program" line, expands it, splits it into file, skipped field and
// working directory, and asks the shell to open the file. A line without a file, or one longer than
// its 255 characters as written or once expanded, opens nothing; one without a working directory
// opens with none.
void LaunchProgram(Platform& platform, const Profile& profile, const char* section, TextView baseDir,
                   const LeadBytes& leadBytes);

}  // namespace quelm
