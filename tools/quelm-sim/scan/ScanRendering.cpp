// Writes quelm-sim scan's listings, in the launcher's terms and in QUELM.INI's.
#include "scan/ScanRendering.h"

#include <nlohmann/json.hpp>

#include "pci/AgpCapability.h"
#include "pci/PciFunctionText.h"
#include "probe/PciScan.h"

namespace quelm::tool {

namespace {

using Json = nlohmann::ordered_json;

// What Linux's sysfs and procfs give a user other than root of a configuration space.
constexpr size_t kUserConfigurationBytes = 64;

}  // namespace

ScanListing RenderScan(const std::vector<HostPciFunction>& functions, ScanFormat format) {
  ScanListing listing;
  // Every function, host bridges and the chipset's own functions too: the launcher's scan matches any
  // of them, and a list entry for one of them would find it. The author keeps the lines of the card
  // the disk is for.
  unsigned entry = 0;
  for (const HostPciFunction& function : functions) {
    ++entry;
    Text<kNameCapacity> location;
    Text<kNameCapacity> hardwareId;
    // Both names always fit their texts.
    static_cast<void>(FormatLocation(location, function.address));
    static_cast<void>(FormatHardwareId(hardwareId, function.identification));
    const uint32_t vendorId = function.identification & 0xFFFFu;
    const uint32_t deviceId = function.identification >> 16;
    if (format == ScanFormat::kText) {
      listing.text += std::string(location.CStr()) + ' ' + hardwareId.CStr() + '\n';
      continue;
    }
    const AgpFinding agp = FindAgpCapability(function.configuration);
    if (agp.capability == AgpCapability::kUnknown) {
      const bool userRead = function.configuration.size() == kUserConfigurationBytes;
      listing.unknownAgp.push_back(
          LinuxName(PciFunctionName{0, function.address}) + ": whether it is AGP cannot be told: " + agp.why +
          (userRead ? " (Linux gives no more to users other than root: scan as root)" : "") +
          (format == ScanFormat::kJson
               ? "; its \"agp\" is null"
               : "; entry " + std::to_string(entry) + " says PCI, which may be wrong"));
    }
    if (format == ScanFormat::kJson) {
      Json object;
      object["location"] = location.CStr();
      object["hardwareId"] = hardwareId.CStr();
      object["bus"] = function.address.bus;
      object["device"] = function.address.device;
      object["function"] = function.address.function;
      object["vendorId"] = IdText(vendorId);
      object["deviceId"] = IdText(deviceId);
      object["vendorIdDecimal"] = vendorId;
      object["deviceIdDecimal"] = deviceId;
      object["agp"] = agp.capability == AgpCapability::kUnknown
                          ? Json(nullptr)
                          : Json(agp.capability == AgpCapability::kPresent);
      listing.text += object.dump() + '\n';
    } else {
      // Decimal, as the launcher reads a card list; pass flag 1 and the fifth field that must be there.
      listing.text += std::to_string(entry) + '=' + std::to_string(vendorId) + ',' +
                      std::to_string(deviceId) + ',' +
                      (agp.capability == AgpCapability::kPresent ? "AGP" : "PCI") + ",1,0\n";
    }
  }
  return listing;
}

}  // namespace quelm::tool
