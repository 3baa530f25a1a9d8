// quelm-sim scan's listings of a bus: the launcher's names, JSON, and card entries to paste into QUELM.INI.
#pragma once

#include <string>
#include <vector>

#include "pci/HostPciBus.h"

namespace quelm::tool {

enum class ScanFormat {
  kText,     // "BUS_01&DEV_00&FUNC_00 VEN_1A2B&DEV_3C4D", as the launcher names a card
  kJson,     // one object per line with the numbers and the AGP flag
  kEntries,  // "1=6699,15437,AGP,1,0", a card list's entries
};

struct ScanListing {
  std::string text;
  // One line per function whose AGP capability could not be told from the bytes read (kJson and
  // kEntries only): the listing then holds null, or a bus type PCI that may be wrong.
  std::vector<std::string> unknownAgp;
};

// `functions` in the order given, which is the scan's.
ScanListing RenderScan(const std::vector<HostPciFunction>& functions, ScanFormat format);

}  // namespace quelm::tool
