// The PCI ID database (pci.ids, as pciutils and hwdata install it): the names of vendors and devices,
// so that a card entry can say which card it names.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quelm::tool {

class PciIdsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class PciIds {
 public:
  // The text of a pci.ids file: "vvvv  Vendor" lines, "\tdddd  Device" lines below them; subsystem
  // lines, comments and the device classes that follow the "C" lines are passed over.
  static PciIds Parse(std::string_view text);
  // The file, or with "auto" the system's database where pciutils or hwdata put it; PciIdsError when
  // there is none or it cannot be read.
  static PciIds Load(const std::string& fileOrAuto);
  // The places "auto" looks, in order.
  static const std::vector<std::filesystem::path>& SystemDatabases();

  std::optional<std::string> VendorName(uint16_t vendor) const;
  std::optional<std::string> DeviceName(uint16_t vendor, uint16_t device) const;
  // "Vendor Device", "Vendor (device unknown)", or nothing for an unknown vendor.
  std::optional<std::string> CardName(uint16_t vendor, uint16_t device) const;

 private:
  std::map<uint16_t, std::string> vendors_;
  std::map<std::pair<uint16_t, uint16_t>, std::string> devices_;
};

}  // namespace quelm::tool
