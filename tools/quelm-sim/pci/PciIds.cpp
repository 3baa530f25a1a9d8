// Reading pci.ids.
#include "pci/PciIds.h"

#include <fstream>
#include <sstream>

#include "pci/PciFunctionText.h"

namespace quelm::tool {

namespace {

// "1a2b  Name": four hexadecimal digits, two blanks, the name.
std::optional<std::pair<uint16_t, std::string>> IdLine(std::string_view line) {
  if (line.size() < 7 || line.substr(4, 2) != "  ") return std::nullopt;
  const std::optional<uint32_t> id = ParseHex(line.substr(0, 4), 4);
  if (!id) return std::nullopt;
  return std::make_pair(static_cast<uint16_t>(*id), std::string(line.substr(6)));
}

}  // namespace

PciIds PciIds::Parse(std::string_view text) {
  PciIds ids;
  // A plain flag, not an optional: GCC 12 then warns of an uninitialised read inside the map's key compare.
  bool inVendor = false;
  uint16_t vendor = 0;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == 'C' && line.size() > 1 && line[1] == ' ') break;  // device classes from here on
    if (line.substr(0, 2) == "\t\t") continue;                            // subsystems
    if (line.front() == '\t') {
      const auto device = IdLine(line.substr(1));
      if (device && inVendor) ids.devices_[{vendor, device->first}] = device->second;
      continue;
    }
    const auto named = IdLine(line);
    inVendor = named.has_value();
    if (named) {
      vendor = named->first;
      ids.vendors_[named->first] = named->second;
    }
  }
  return ids;
}

const std::vector<std::filesystem::path>& PciIds::SystemDatabases() {
  // pciutils on Debian and Ubuntu, hwdata on Fedora and Arch, and the older places.
  static const std::vector<std::filesystem::path> kPlaces = {
      "/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids", "/usr/share/pci.ids",
      "/usr/local/share/pci.ids"};
  return kPlaces;
}

PciIds PciIds::Load(const std::string& fileOrAuto) {
  std::filesystem::path file = fileOrAuto;
  if (fileOrAuto == "auto") {
    file.clear();
    std::error_code error;
    for (const auto& place : SystemDatabases()) {
      if (std::filesystem::is_regular_file(place, error)) {
        file = place;
        break;
      }
    }
    if (file.empty()) {
      throw PciIdsError(
          "--pci-ids auto: no pci.ids on this machine (install pciutils or hwdata, or name the file)");
    }
  }
  std::ifstream stream(file, std::ios::binary);
  if (!stream) throw PciIdsError("--pci-ids: cannot read " + file.string());
  std::ostringstream text;
  text << stream.rdbuf();
  return Parse(text.str());
}

std::optional<std::string> PciIds::VendorName(uint16_t vendor) const {
  const auto found = vendors_.find(vendor);
  return found != vendors_.end() ? std::optional<std::string>(found->second) : std::nullopt;
}

std::optional<std::string> PciIds::DeviceName(uint16_t vendor, uint16_t device) const {
  const auto found = devices_.find({vendor, device});
  return found != devices_.end() ? std::optional<std::string>(found->second) : std::nullopt;
}

std::optional<std::string> PciIds::CardName(uint16_t vendor, uint16_t device) const {
  const auto vendorName = VendorName(vendor);
  if (!vendorName) return std::nullopt;
  const auto deviceName = DeviceName(vendor, device);
  return *vendorName + (deviceName ? " " + *deviceName : " (device unknown)");
}

}  // namespace quelm::tool
