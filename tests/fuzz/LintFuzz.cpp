// quelm-sim lint over a fuzzed QUELM.INI: every finding renders, as text and as JSON, and every JSON line
// parses as valid UTF-8 whatever bytes the file holds; the first byte picks the disk's code page, and
// fixing the file leaves one that lints with no fix left to make.
//
// Input: CODE-PAGE-SELECTOR FILE-BYTES.
#include <stdint.h>

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "FuzzInput.h"
#include "lint/DiskLint.h"
#include "sim/SimCodePage.h"

namespace {

constexpr uint32_t kCodePages[] = {1252, 1250, 1251, 874, 932, 936, 949, 950};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  quelm::tool::DiskToLint disk;
  disk.codePage = kCodePages[data[0] % std::size(kCodePages)];
  disk.bytes.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  const auto findings = quelm::tool::LintDisk(disk);
  const std::string text = quelm::tool::RenderFindings(findings, "QUELM.INI", disk.codePage);
  QUELM_FUZZ_CHECK(quelm::sim::ValidUtf8(text) == text);
  const std::string json = quelm::tool::RenderFindingsJson(findings, "QUELM.INI", disk.codePage);
  size_t lines = 0;
  for (size_t start = 0; start < json.size();) {
    const size_t end = json.find('\n', start);
    QUELM_FUZZ_CHECK(end != std::string::npos);
    QUELM_FUZZ_CHECK(nlohmann::json::accept(std::string_view(json).substr(start, end - start)));
    ++lines;
    start = end + 1;
  }
  QUELM_FUZZ_CHECK(lines == findings.size());
  // A fixed file has nothing left that --fix would mend: each fix is exact, and final.
  if (size < 4096) {
    disk.bytes = quelm::tool::FixDisk(disk).bytes;
    for (const auto& finding : quelm::tool::LintDisk(disk)) QUELM_FUZZ_CHECK(!finding.fix.has_value());
  }
  return 0;
}
