// Reads the host's PCI functions from Linux's sysfs, or from procfs on kernels without it.
#include "HostPciBus.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string_view>
#include <system_error>

#include "probe/PciScan.h"

namespace quelm::tool {

namespace fs = std::filesystem;

namespace {

struct FunctionName {
  uint32_t domain = 0;
  PciAddress address;
};

// 1 to `maximumDigits` hexadecimal digits and nothing else.
std::optional<uint32_t> ParseHex(std::string_view text, size_t maximumDigits) {
  if (text.empty() || text.size() > maximumDigits) return std::nullopt;
  uint32_t value = 0;
  for (const char c : text) {
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = value << 4 | digit;
  }
  return value;
}

// "DDDD:BB", or "BB" where the domain may be left out (procfs names domain 0's buses so).
bool ParseDomainAndBus(std::string_view text, bool domainOptional, FunctionName& name) {
  const size_t colon = text.find(':');
  std::optional<uint32_t> domain = 0;
  if (colon != std::string_view::npos) {
    domain = ParseHex(text.substr(0, colon), 8);
    text.remove_prefix(colon + 1);
  } else if (!domainOptional) {
    return false;
  }
  const std::optional<uint32_t> bus = ParseHex(text, 2);
  if (!domain || !bus) return false;
  name.domain = *domain;
  name.address.bus = *bus;
  return true;
}

// "DD.F".
bool ParseDeviceAndFunction(std::string_view text, FunctionName& name) {
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos) return false;
  const std::optional<uint32_t> device = ParseHex(text.substr(0, dot), 2);
  const std::optional<uint32_t> function = ParseHex(text.substr(dot + 1), 1);
  if (!device || !function || !IsPciAddress(name.address.bus, *device, *function)) return false;
  name.address.device = *device;
  name.address.function = *function;
  return true;
}

// As Linux and lspci -D name a function: "0000:00:1f.3".
std::string LinuxName(const FunctionName& name) {
  char text[32];
  // Four small numbers always fit.
  static_cast<void>(std::snprintf(text, sizeof(text), "%04x:%02x:%02x.%x", name.domain, name.address.bus,
                                  name.address.device, name.address.function));
  return text;
}

// Empty when the first four bytes (register 0) were read; otherwise why they were not.
std::string ReadIdentification(const fs::path& file, uint32_t& identification) {
  // fopen, unlike a stream, tells a folder (EISDIR on reading) from an empty file. The name goes in
  // narrow, as Windows paths hold wide characters.
  std::FILE* stream = std::fopen(file.string().c_str(), "rb");
  if (!stream)
    return "its configuration space cannot be opened (" + std::generic_category().message(errno) + ")";
  unsigned char bytes[4] = {};
  const size_t count = std::fread(bytes, 1, sizeof(bytes), stream);
  const int readError = std::ferror(stream) != 0 ? errno : 0;
  // Only read from: closing cannot lose anything.
  static_cast<void>(std::fclose(stream));
  if (readError != 0) {
    return "its configuration space cannot be read (" + std::generic_category().message(readError) + ")";
  }
  if (count < sizeof(bytes)) {
    return "its configuration space holds " + std::to_string(count) +
           " bytes, fewer than the 4 of its vendor and device ID";
  }
  // Configuration space is little-endian whatever the host's byte order.
  identification = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                   static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  return {};
}

// Adds the function whose configuration space is `config`, or says why it is left out.
void AddFunction(const FunctionName& name, const fs::path& config, HostPciBus& bus) {
  if (name.domain != 0) {
    // Configuration mechanism #1 has no domain number: the launcher sees domain 0 and nothing else.
    char domain[16];
    static_cast<void>(std::snprintf(domain, sizeof(domain), "%04x", name.domain));
    bus.leftOut.push_back(LinuxName(name) + " left out: PCI domain " + domain +
                          " is out of the launcher's reach (it scans domain 0 only)");
    return;
  }
  uint32_t identification = 0;
  const std::string fault = ReadIdentification(config, identification);
  if (!fault.empty()) {
    bus.leftOut.push_back(LinuxName(name) + " left out: " + fault);
    bus.complete = false;
    return;
  }
  if (identification == kAbsentIdentification) {
    // A function in a deep power state, or gone from under the kernel, reads so; the launcher's scan
    // takes it for an empty slot.
    bus.leftOut.push_back(LinuxName(name) +
                          " left out: it reads as absent (FFFF:FFFF), as the launcher's scan sees it");
    return;
  }
  bus.functions.push_back(HostPciFunction{name.address, identification});
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
    const size_t lastColon = text.rfind(':');
    FunctionName name;
    if (lastColon == std::string::npos ||
        !ParseDomainAndBus(std::string_view(text).substr(0, lastColon), false, name) ||
        !ParseDeviceAndFunction(std::string_view(text).substr(lastColon + 1), name)) {
      bus.leftOut.push_back(text + " left out: not a PCI function's name");
      continue;
    }
    AddFunction(name, entry.path() / "config", bus);
  }
}

// procfs has a folder per bus, "BB" in domain 0 and "DDDD:BB" elsewhere, holding one file "DD.F" per
// function. Its `devices` list names no domain, so the folders are what is read.
void ReadProcfs(const std::vector<fs::directory_entry>& busEntries, HostPciBus& bus) {
  for (const fs::directory_entry& busEntry : busEntries) {
    std::error_code error;
    if (!busEntry.is_directory(error)) continue;  // `devices`
    const std::string busText = busEntry.path().filename().string();
    FunctionName busName;
    if (!ParseDomainAndBus(busText, true, busName)) {
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
      FunctionName name = busName;
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
