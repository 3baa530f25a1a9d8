// Measures quelm-sim lint on card lists of 10,000 and 100,000 entries: the time per entry, which stays
// the same however long the list is when every check is linear in the file's size.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "lint/DiskLint.h"

namespace {

// A disk whose card list names no card on the bus: every entry is read, by the checks and by the
// reference runs alike.
std::string DiskWithEntries(unsigned entries) {
  std::string ini =
      "[Application]\r\nW98=DetectCard,CheckPCIKey,Install,End\r\n[SubDir]\r\nW98=\\WIN98\r\n"
      "[DetectCard]\r\n";
  for (unsigned number = 1; number <= entries; ++number) {
    ini += std::to_string(number) + "=6699," + std::to_string(1000 + number % 60000) + ",PCI,1,0\r\n";
  }
  return ini +
         "[Message]\r\nDetectCard=No card.\r\nCheckPCIKey=Not registered.\r\nInstallFailed=x\r\nNotSupport=y\r\n";
}

// The best of three runs, in seconds.
double LintSeconds(const std::string& ini) {
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    quelm::tool::DiskToLint disk;
    disk.bytes = ini;
    const auto started = std::chrono::steady_clock::now();
    const auto findings = quelm::tool::LintDisk(disk);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    best = std::min(best, took.count());
    if (run == 0) std::printf("  (%zu findings)\n", findings.size());
  }
  return best;
}

}  // namespace

int main() {
  double perEntry[2] = {};
  const unsigned sizes[2] = {10000, 100000};
  for (int index = 0; index < 2; ++index) {
    const std::string ini = DiskWithEntries(sizes[index]);
    const double seconds = LintSeconds(ini);
    perEntry[index] = seconds / sizes[index];
    std::printf("%u entries (%zu bytes): %.3f s, %.2f us per entry\n", sizes[index], ini.size(), seconds,
                perEntry[index] * 1e6);
  }
  std::printf("time per entry at 100,000 against 10,000: %.2f\n", perEntry[1] / perEntry[0]);
  return 0;
}
