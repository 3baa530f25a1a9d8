// --fix: the exact fixes of a disk's findings, the file's encoding and line ends first, then its lines.
#include <algorithm>

#include "lint/DiskLint.h"
#include "sim/SimCodePage.h"

namespace quelm::tool {

namespace {

std::string WithCrLf(std::string_view text) {
  std::string out;
  for (size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
      out += "\r\n";
      ++at;
    } else if (c == '\r' || c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

// The file with a fix of the whole file made; nothing where it cannot be made exactly.
std::optional<std::string> FixFile(const std::string& bytes, FileFix fix, uint32_t codePage) {
  switch (fix) {
    case FileFix::kNone:
      return std::nullopt;
    case FileFix::kRemoveUtf8Mark:
      return sim::HasUtf8Mark(bytes) ? std::optional<std::string>(bytes.substr(3)) : std::nullopt;
    case FileFix::kToCodePage: {
      const std::string utf8 = sim::HasUtf16Mark(bytes)  ? sim::Utf16ToUtf8(std::string_view(bytes).substr(2))
                               : sim::HasUtf8Mark(bytes) ? bytes.substr(3)
                                                         : bytes;
      return sim::FromUtf8ToCodePage(utf8, codePage);
    }
    case FileFix::kCrLfLineEnds:
      return WithCrLf(bytes);
  }
  return std::nullopt;
}

}  // namespace

FixedFile FixDisk(const DiskToLint& disk) {
  FixedFile fixed{disk.bytes, 0};
  // Each round mends what the last one left; a fix never brings back one of its own kind, so a
  // handful of rounds is all a file takes.
  for (unsigned round = 0; round < 8; ++round) {
    DiskToLint current = disk;
    current.bytes = fixed.bytes;
    const std::vector<Finding> findings = LintDisk(current);
    std::optional<std::string> wholeFile;
    for (const Finding& finding : findings) {
      if (finding.fix && finding.fix->file != FileFix::kNone) {
        wholeFile = FixFile(fixed.bytes, finding.fix->file, disk.codePage);
        if (wholeFile) break;
      }
    }
    if (wholeFile) {
      fixed.bytes = std::move(*wholeFile);
      ++fixed.applied;
      continue;
    }
    // Fixes of lines are placed in the file as lint read it: the file itself, past a UTF-8 mark. (A
    // UTF-16 file, read converted, gets none.)
    const size_t shift = sim::HasUtf8Mark(fixed.bytes) ? 3 : 0;
    std::vector<Fix> fixes;
    for (const Finding& finding : findings) {
      if (finding.fix && finding.fix->file == FileFix::kNone) fixes.push_back(*finding.fix);
    }
    std::sort(fixes.begin(), fixes.end(), [](const Fix& left, const Fix& right) {
      return left.offset > right.offset;
    });
    size_t limit = fixed.bytes.size();
    unsigned applied = 0;
    for (const Fix& fix : fixes) {
      const size_t offset = fix.offset + shift;
      if (offset + fix.length > limit) continue;  // overlaps one made already: the next round sees it
      fixed.bytes.replace(offset, fix.length, fix.replacement);
      limit = offset;
      ++applied;
    }
    if (applied == 0) break;
    fixed.applied += applied;
  }
  return fixed;
}

}  // namespace quelm::tool
