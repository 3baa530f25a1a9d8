// quelm-sim's disk-image reader, the drive each release sees, and lint of the image where one finds
// a QUELM.INI, over fuzzed images.
//
// Input: one byte that picks the reader ('I': ISO 9660, anything else: FAT), then the image. An ISO 9660
// image is given from its sector 16 on, the 32 KiB before it being zeros, so that the fuzzer spends its
// bytes on the volume descriptors and directories.
#include <stdint.h>

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>

#include "FuzzInput.h"
#include "lint/DiskLint.h"
#include "medium/ReleaseView.h"
#include "sim/SimCodePage.h"
#include "sim/SimFileSystem.h"
#include "sim/WindowsReleases.h"

namespace quelm::fuzz {
namespace {

using tool::Medium;
using tool::MediumEntry;

// Checks what must hold of a tree the reader accepted, and returns it as text for comparing.
std::string CheckTree(const Medium& medium, const MediumEntry& folder, size_t depth, size_t& entries) {
  QUELM_FUZZ_CHECK(depth <= tool::kMaxMediumDepth + 1);
  std::string listing;
  for (const MediumEntry& entry : folder.children) {
    QUELM_FUZZ_CHECK(++entries <= tool::kMaxMediumEntries);
    QUELM_FUZZ_CHECK(entry.longName.empty() || entry.longNameFault.empty());
    QUELM_FUZZ_CHECK(entry.rockRidgeName.size() <= tool::kMaxNameBytes);
    listing +=
        entry.name + '\0' + entry.longName + '\0' + entry.rockRidgeName + '\0' + std::to_string(entry.size);
    if (entry.isFolder) {
      listing += "{" + CheckTree(medium, entry, depth + 1, entries) + "}";
      continue;
    }
    // Every extent was checked against the image: a file within the limit is read whole, exactly.
    constexpr uint64_t kLimit = 1 << 20;
    if (entry.size <= kLimit) {
      QUELM_FUZZ_CHECK(tool::ReadEntry(medium, entry, kLimit).size() == entry.size);
    }
  }
  return listing;
}

bool HasLowerCaseLetter(const std::string& name) {
  for (const char c : name) {
    if (c >= 'a' && c <= 'z') return true;
  }
  return false;
}

// The drive's entries: each is found by its own path (or by an earlier entry of the same name), and
// on Windows NT up to 2000 no primary-tree name with small letters is there.
void CheckView(const sim::FileSystem& drive, const sim::MediumNode& folder, const std::string& path,
               bool upperCaseOnly, size_t& budget) {
  for (const sim::MediumNode& child : folder.children) {
    if (budget-- == 0) return;
    if (upperCaseOnly) QUELM_FUZZ_CHECK(!HasLowerCaseLetter(child.name));
    QUELM_FUZZ_CHECK(child.isFolder || child.read);
    const bool walkable = !child.name.empty() && child.name != "." && child.name != ".." &&
                          child.name.find_first_of("\\/") == std::string::npos;
    if (!walkable) continue;
    const std::string childPath = path + "\\" + child.name;
    QUELM_FUZZ_CHECK(drive.EntryAt(childPath, 'D') != sim::FileSystem::Entry::kMissing);
    if (child.isFolder) CheckView(drive, child, childPath, upperCaseOnly, budget);
  }
}

}  // namespace
}  // namespace quelm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quelm;
  using namespace quelm::fuzz;
  std::string_view input = InputOf(data, size);
  if (input.empty()) return 0;
  const bool iso = input.front() == 'I';
  input.remove_prefix(1);
  const std::string bytes = (iso ? std::string(16 * 2048, '\0') : std::string()) + std::string(input);
  const auto read = [&bytes, iso] {
    auto image = tool::ImageBytes::FromMemory(bytes);
    return iso ? tool::ReadIso9660(image) : tool::ReadFat(image);
  };
  Medium medium;
  try {
    medium = read();
  } catch (const tool::MediumError&) {
    return 0;  // refused with its one-line reason: what a hostile image must get
  }
  size_t entries = 0;
  const std::string listing = CheckTree(medium, medium.root, 0, entries);
  if (medium.joliet) {
    entries = 0;
    CheckTree(medium, *medium.joliet, 0, entries);
  }
  // The reader keeps no state: the same bytes give the same trees.
  size_t again = 0;
  QUELM_FUZZ_CHECK(CheckTree(medium, read().root, 0, again) == listing);

  for (const sim::WindowsRelease& release : sim::WindowsReleases()) {
    const tool::MediumReading reading = tool::ReadingOf(medium, release.record);
    QUELM_FUZZ_CHECK(reading.tree != tool::MediumTree::kJoliet || medium.joliet.has_value());
    const auto view = tool::DriveView(medium, release.record, 1252);
    sim::FileSystem drive;
    drive.MapMedium('D', view);
    size_t budget = 2000;
    const bool upperCaseOnly =
        reading.tree == tool::MediumTree::kPrimary && reading.lowerCase == tool::LowerCaseNames::kNotFound;
    CheckView(drive, *view, "D:", upperCaseOnly, budget);
  }

  // lint of the image: every finding of a check the table lists, about the image (line 0) or a line
  // of its QUELM.INI, and the rendering valid UTF-8.
  tool::ImageDisk disk = tool::ImageDiskOf(medium, 1252);
  if (disk.ini) {
    tool::DiskToLint lint;
    lint.bytes = *disk.ini;
    lint.files = &disk.files;
    lint.medium = &medium;
    const size_t lines = static_cast<size_t>(std::count(lint.bytes.begin(), lint.bytes.end(), '\n')) +
                         static_cast<size_t>(std::count(lint.bytes.begin(), lint.bytes.end(), '\r')) + 1;
    const std::vector<tool::Finding> findings = tool::LintDisk(lint);
    for (const tool::Finding& finding : findings) {
      QUELM_FUZZ_CHECK(tool::CheckNamed(finding.check) != nullptr);
      QUELM_FUZZ_CHECK(finding.line <= lines);
    }
    const std::string text = tool::RenderFindings(findings, "image.iso:QUELM.INI", 1252);
    QUELM_FUZZ_CHECK(sim::ValidUtf8(text) == text);
  }
  return 0;
}
