// A PCI bus as lspci lists it (-n, -nn, -D, -mm), read into the functions the launcher's scan would see.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pci/HostPciBus.h"
#include "pci/PciFunctionText.h"

namespace quelm::tool {

// The functions of `text`, lspci output from the file `fileName`, in the launcher's scan order.
// Blank lines and lines that begin with white space (the detail lines of -v) are passed over. Throws
// PciTextError, as "FILE:LINE: why", for any other line that is not lspci's with vendor and device
// IDs, for a function outside domain 0, for a function listed twice, and for a text without any
// function.
std::vector<HostPciFunction> ParseLspciListing(std::string_view text, const std::string& fileName);

// The same for the file (or pipe) named `file`; throws PciTextError when it cannot be read.
std::vector<HostPciFunction> ReadLspciListing(const std::string& file);

}  // namespace quelm::tool
