// PCI through SetupAPI's list of present devices, loaded at run time where the system has it.
#pragma once

#include <stdint.h>

#include "win32/PciListing.h"
#include "win32/PciSource.h"

namespace quelm {

class SetupApiDeviceList final : public PciSource {
 public:
  // Loads SetupAPI (Windows 2000 and later; Windows 95 and NT 4.0 lack it) and reads its list of
  // present PCI devices into the table once; false when SetupAPI or the list is missing.
  bool Detect() override;
  // Functions the list does not name read as absent.
  PciAnswer Read(uint32_t bus, uint32_t device, uint32_t function, uint32_t& identification) override;

 private:
  PciFunctionTable table_;
};

}  // namespace quelm
