// quelm-sim lint: the likely mistakes in a disk's QUELM.INI, found with the launcher's own rules.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/sim/SimProfile.h"

namespace quelm::tool {

enum class Severity { kWarning, kError };

struct Finding {
  unsigned line = 0;  // of QUELM.INI, from 1; the line of what refers to a missing entry
  Severity severity = Severity::kWarning;
  std::string check;  // its name, as the disk authors' guide lists them
  std::string message;
};

// Every finding, by line. The file is read as the launcher reads it (the simulated profile reader,
// the comma rule, the command table, the buffer sizes); `codePage` decides which bytes begin a
// double-byte character.
std::vector<Finding> LintProfile(const sim::ProfileFile& file, uint32_t codePage);

// "QUELM.INI:LINE: warning|error: message [check]", one line each; and one JSON object per line. The
// disk's texts in the messages are in `codePage`; the output is UTF-8.
std::string RenderFindings(const std::vector<Finding>& findings, const std::string& fileName,
                           uint32_t codePage);
std::string RenderFindingsJson(const std::vector<Finding>& findings, const std::string& fileName,
                               uint32_t codePage);
// "N errors, N warnings", or that there is nothing to report.
std::string SummaryOf(const std::vector<Finding>& findings, const std::string& fileName);

}  // namespace quelm::tool
