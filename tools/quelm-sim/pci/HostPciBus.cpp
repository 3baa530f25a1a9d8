// Reads the host's PCI functions from Linux's sysfs, or from procfs on kernels without it.
#include "pci/HostPciBus.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string_view>
#include <system_error>

#include "pci/PciFunctionText.h"
#include "probe/PciScan.h"

namespace quelm::tool {

namespace fs = std::filesystem;

namespace {

// "DDDD:BB", or "BB" in domain 0, as procfs names a bus's folder.
bool ParseDomainAndBus(std::string_view text, PciFunctionName& name) {
  const size_t colon = text.find(':');
  std::optional<uint32_t> domain = 0;
  if (colon != std::string_view::npos) {
    domain = ParseHex(text.substr(0, colon), 8);
    text.remove_prefix(colon + 1);
  }
  const std::optional<uint32_t> bus = ParseHex(text, 2);
  if (!domain || !bus) return false;
  name.domain = *domain;
  name.address.bus = *bus;
  return true;
}

// "DD.F".
bool ParseDeviceAndFunction(std::string_view text, PciFunctionName& name) {
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos) return false;
  const std::optional<uint32_t> device = ParseHex(text.substr(0, dot), 2);
  const std::optional<uint32_t> function = ParseHex(text.substr(dot + 1), 1);
  if (!device || !function || !IsPciAddress(name.address.bus, *device, *function)) return false;
  name.address.device = *device;
  name.address.function = *function;
  return true;
}

// Empty when at least the first four bytes (register 0) were read; otherwise why they were not.
std::string ReadConfiguration(const fs::path& file, std::vector<uint8_t>& bytes) {
  // fopen, unlike a stream, tells a folder (EISDIR on reading) from an empty file. The name goes in
  // narrow, as Windows paths hold wide characters.
  std::FILE* stream = std::fopen(file.string().c_str(), "rb");
  if (!stream)
    return "its configuration space cannot be opened (" + std::generic_category().message(errno) + ")";
  bytes.resize(kConfigurationBytes);
  const size_t count = std::fread(bytes.data(), 1, bytes.size(), stream);
  bytes.resize(count);
  const int readError = std::ferror(stream) != 0 ? errno : 0;
  // Only read from: closing cannot lose anything.
  static_cast<void>(std::fclose(stream));
  if (readError != 0) {
    return "its configuration space cannot be read (" + std::generic_category().message(readError) + ")";
  }
  if (count < 4) {
    return "its configuration space holds " + std::to_string(count) +
           " bytes, fewer than the 4 of its vendor and device ID";
  }
  return {};
}

// Adds the function whose configuration space is `config`, or says why it is left out.
void AddFunction(const PciFunctionName& name, const fs::path& config, HostPciBus& bus) {
  if (name.domain != 0) {
    bus.leftOut.push_back(LinuxName(name) + " left out: " + OutOfReach(name.domain));
    return;
  }
  std::vector<uint8_t> configuration;
  const std::string fault = ReadConfiguration(config, configuration);
  if (!fault.empty()) {
    bus.leftOut.push_back(LinuxName(name) + " left out: " + fault);
    bus.complete = false;
    return;
  }
  // Configuration space is little-endian whatever the host's byte order.
  const uint32_t identification =
      static_cast<uint32_t>(configuration[0]) | static_cast<uint32_t>(configuration[1]) << 8 |
      static_cast<uint32_t>(configuration[2]) << 16 | static_cast<uint32_t>(configuration[3]) << 24;
  if (identification == kAbsentIdentification) {
    // A function in a deep power state, or gone from under the kernel, reads so; the launcher's scan
    // takes it for an empty slot.
    bus.leftOut.push_back(LinuxName(name) +
                          " left out: it reads as absent (FFFF:FFFF), as the launcher's scan sees it");
    return;
  }
  bus.functions.push_back(HostPciFunction{name.address, identification, std::move(configuration)});
}

// The entries of a directory, by name, so that what is left out is told in a stable order.
std::optional<std::vector<fs::directory_entry>> SortedEntries(const fs::path& directory) {
  std::error_code error;
  fs::directory_iterator iterator(directory, error);
  if (error) return std::nullopt;
  std::vector<fs::directory_entry> entries;
  for (; iterator != fs::directory_iterator(); iterator.increment(error)) {
    if (error) return std::nullopt;
    entries.push_back(*iterator);
  }
  if (error) return std::nullopt;
  std::sort(entries.begin(), entries.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
    return a.path() < b.path();
  });
  return entries;
}

// sysfs names each function "DDDD:BB:DD.F", a link to its folder, whose `config` file is its
// configuration space.
void ReadSysfs(const std::vector<fs::directory_entry>& entries, HostPciBus& bus) {
  for (const fs::directory_entry& entry : entries) {
    const std::string text = entry.path().filename().string();
    const std::optional<PciFunctionName> name = ParsePciFunctionName(text, DomainPart::kRequired);
    if (!name) {
      bus.leftOut.push_back(text + " left out: not a PCI function's name");
      continue;
    }
    AddFunction(*name, entry.path() / "config", bus);
  }
}

// procfs has a folder per bus, "BB" in domain 0 and "DDDD:BB" elsewhere, holding one file "DD.F" per
// function. Its `devices` list names no domain, so the folders are what is read.
void ReadProcfs(const std::vector<fs::directory_entry>& busEntries, HostPciBus& bus) {
  for (const fs::directory_entry& busEntry : busEntries) {
    std::error_code error;
    if (!busEntry.is_directory(error)) continue;  // `devices`
    const std::string busText = busEntry.path().filename().string();
    PciFunctionName busName;
    if (!ParseDomainAndBus(busText, busName)) {
      bus.leftOut.push_back(busText + " left out: not a PCI bus's name");
      continue;
    }
    const auto functionEntries = SortedEntries(busEntry.path());
    if (!functionEntries) {
      bus.leftOut.push_back(busText + " left out: the bus's folder cannot be listed");
      bus.complete = false;
      continue;
    }
    for (const fs::directory_entry& functionEntry : *functionEntries) {
      const std::string functionText = functionEntry.path().filename().string();
      PciFunctionName name = busName;
      if (!ParseDeviceAndFunction(functionText, name)) {
        bus.leftOut.push_back(busText + "/" + functionText + " left out: not a PCI function's name");
        continue;
      }
      AddFunction(name, functionEntry.path(), bus);
    }
  }
}

}  // namespace

HostPciBus ReadHostPciBus(const fs::path& root) {
  HostPciBus bus;
  const fs::path sysfs = root / "sys" / "bus" / "pci" / "devices";
  const fs::path procfs = root / "proc" / "bus" / "pci";
  std::error_code error;
  if (const auto entries = SortedEntries(sysfs)) {
    bus.source = HostPciSource::kSysfs;
    ReadSysfs(*entries, bus);
  } else if (const auto busEntries = SortedEntries(procfs);
             busEntries && fs::exists(procfs / "devices", error)) {
    bus.source = HostPciSource::kProcfs;
    ReadProcfs(*busEntries, bus);
  } else {
    throw HostPciBusError("no PCI bus to read: found neither " + sysfs.string() + " nor " +
                          (procfs / "devices").string());
  }
  const auto slotOf = [](const HostPciFunction& function) {
    return PciSlotOf(function.address.bus, function.address.device, function.address.function);
  };
  std::stable_sort(bus.functions.begin(), bus.functions.end(),
                   [&](const HostPciFunction& a, const HostPciFunction& b) {
                     return slotOf(a) < slotOf(b);
                   });
  // A slot holds one function, even in a tree that names a bus twice (procfs "00" and "0000:00").
  bus.functions.erase(std::unique(bus.functions.begin(), bus.functions.end(),
                                  [&](const HostPciFunction& a, const HostPciFunction& b) {
                                    return slotOf(a) == slotOf(b);
                                  }),
                      bus.functions.end());
  return bus;
}

void AddHostPciFunctions(const HostPciBus& bus, sim::SimMachine& machine) {
  for (const HostPciFunction& function : bus.functions) {
    machine.AddPciFunction(function.address.bus, function.address.device, function.address.function,
                           static_cast<uint16_t>(function.identification & 0xFFFFu),
                           static_cast<uint16_t>(function.identification >> 16));
  }
}

}  // namespace quelm::tool
