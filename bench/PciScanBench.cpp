// Measures configuration-space reads and time of card lists with no card present on the bus.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "probe/PciScan.h"
#include "sim/SimMachine.h"

namespace {

// A bus as a typical AGP-era machine shows it: host bridge, ISA bridge with IDE and USB functions,
// an AGP bridge and a few add-in cards.
void AddTypicalBus(quelm::sim::SimMachine& machine) {
  machine.AddPciFunction(0, 0, 0, 0x8086, 0x7190);
  machine.AddPciFunction(0, 1, 0, 0x8086, 0x7191);
  machine.AddPciFunction(0, 7, 0, 0x8086, 0x7110);
  machine.AddPciFunction(0, 7, 1, 0x8086, 0x7111);
  machine.AddPciFunction(0, 7, 2, 0x8086, 0x7112);
  machine.AddPciFunction(0, 7, 3, 0x8086, 0x7113);
  machine.AddPciFunction(0, 9, 0, 0x10EC, 0x8139);
  machine.AddPciFunction(0, 11, 0, 0x1274, 0x1371);
  machine.AddPciFunction(1, 0, 0, 0x10DE, 0x0020);
}

std::filesystem::path WriteDisk(unsigned entries) {
  const auto folder = std::filesystem::temp_directory_path() / ("quelm-bench-" + std::to_string(entries));
  std::filesystem::create_directories(folder);
  std::ofstream ini(folder / "QUELM.INI", std::ios::binary | std::ios::trunc);
  ini << "[Application]\r\nW98=DetectCard,End\r\n[DetectCard]\r\n";
  // None of these cards is on the bus.
  for (unsigned n = 1; n <= entries; ++n)
    ini << n << "=" << 0x1A00 + n << "," << 0x3C00 + n << ",PCI,1,0\r\n";
  ini << "[Message]\r\nDetectCard=No supported card was found.\r\n";
  return folder;
}

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  std::printf("%-8s %16s %12s %22s %14s\n", "entries", "reads per run", "ms per run", "reads, scan per entry",
              "ms, per entry");
  for (const unsigned entries : {1u, 10u, 50u}) {
    const auto disk = WriteDisk(entries);

    quelm::sim::SimMachine machine;
    machine.fileSystem.MapDrive('D', disk);
    AddTypicalBus(machine);
    auto start = std::chrono::steady_clock::now();
    machine.RunLauncher();
    const double runMs = MillisecondsSince(start);
    const uint64_t runReads = machine.PciReads();

    // The same list tried the old way: a full scan for every entry.
    quelm::sim::SimMachine fresh;
    AddTypicalBus(fresh);
    start = std::chrono::steady_clock::now();
    quelm::PciAddress address;
    unsigned found = 0;
    for (unsigned n = 1; n <= entries; ++n) {
      found += quelm::ScanForDevice(fresh,
                                    quelm::PciIdentification(static_cast<int32_t>(0x1A00 + n),
                                                             static_cast<int32_t>(0x3C00 + n)),
                                    address)
                   ? 1
                   : 0;
    }
    const double freshMs = MillisecondsSince(start);
    if (found != 0) std::printf("(%u of the listed cards were on the bus)\n", found);
    std::printf("%-8u %16llu %12.2f %22llu %14.2f\n", entries, static_cast<unsigned long long>(runReads),
                runMs, static_cast<unsigned long long>(fresh.PciReads()), freshMs);
    std::filesystem::remove_all(disk);
  }
  return 0;
}
