// quelm-sim lint: the likely mistakes in a disk's QUELM.INI, found with the launcher's own rules.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/sim/SimFileSystem.h"
#include "platform/sim/SimProfile.h"

namespace quelm::tool {

enum class Severity { kWarning, kError };

struct Finding {
  unsigned line = 0;  // of QUELM.INI, from 1; the line of what refers to a missing entry
  Severity severity = Severity::kWarning;
  std::string check;    // its name, as the disk authors' guide lists them
  std::string message;  // in the disk's code page, as the disk's texts it quotes
  std::string detail;   // in UTF-8, shown after the message: text as the author wrote it, say
};

// A disk to check: its QUELM.INI byte for byte, and its files.
struct DiskToLint {
  std::string bytes;
  // The disk as drive D:, QUELM.EXE starting from its root; null when only the file is checked.
  const sim::FileSystem* files = nullptr;
  uint32_t codePage = 1252;  // the systems' ANSI code page, which the disk's texts are written in
  // The installer program joins the disk later: its absence is no finding.
  bool installerJoinsLater = false;
};

// Every finding, by line. The file is read as the launcher reads it (the simulated profile reader,
// the comma rule, the command table, the buffer sizes), and its bytes as each Windows version takes
// them; the code page decides which bytes begin a double-byte character.
std::vector<Finding> LintDisk(const DiskToLint& disk);

// "QUELM.INI:LINE: warning|error: message [check]", one line each; and one JSON object per line. The
// disk's texts in the messages are in `codePage`; the output is UTF-8.
std::string RenderFindings(const std::vector<Finding>& findings, const std::string& fileName,
                           uint32_t codePage);
std::string RenderFindingsJson(const std::vector<Finding>& findings, const std::string& fileName,
                               uint32_t codePage);
// "N errors, N warnings", or that there is nothing to report.
std::string SummaryOf(const std::vector<Finding>& findings, const std::string& fileName);

}  // namespace quelm::tool
