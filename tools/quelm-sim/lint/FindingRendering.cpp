// lint's findings as a person and as a program read them, and the summary of a disk.
#include <algorithm>
#include <nlohmann/json.hpp>

#include "lint/DiskLint.h"
#include "sim/SimCodePage.h"

namespace quelm::tool {

namespace {

const char* SeverityName(Severity severity) {
  return severity == Severity::kError ? "error" : "warning";
}

}  // namespace

std::string RenderFindings(const std::vector<Finding>& findings, const std::string& path, uint32_t codePage) {
  std::string out;
  for (const Finding& finding : findings) {
    out += path + ":" + std::to_string(finding.line) + ":" + std::to_string(finding.column) + ": " +
           SeverityName(finding.severity) + ": " + sim::ToUtf8(finding.message, codePage) + finding.detail +
           " [" + finding.check + "]\n";
  }
  return out;
}

std::string RenderFindingsJson(const std::vector<Finding>& findings, const std::string& path,
                               uint32_t codePage) {
  std::string out;
  for (const Finding& finding : findings) {
    const nlohmann::ordered_json object = {
        {"file", path},
        {"line", finding.line},
        {"column", finding.column},
        {"severity", SeverityName(finding.severity)},
        {"check", finding.check},
        {"message", sim::ToUtf8(finding.message, codePage) + finding.detail}};
    out += object.dump() + "\n";
  }
  return out;
}

std::string SummaryOf(const std::vector<Finding>& findings, const std::string& path) {
  const auto errors = std::count_if(findings.begin(), findings.end(), [](const Finding& finding) {
    return finding.severity == Severity::kError;
  });
  const auto warnings = static_cast<long>(findings.size()) - errors;
  if (findings.empty()) return path + ": no findings\n";
  return path + ": " + std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
         std::to_string(warnings) + (warnings == 1 ? " warning\n" : " warnings\n");
}

}  // namespace quelm::tool
