// The bus scan, its record, and the enumerator-style names of what it finds.
#include "probe/PciScan.h"

namespace quelm {

namespace {

uint32_t ReadIdentification(Platform& platform, uint32_t bus, uint32_t device, uint32_t function) {
  uint32_t identification = kAbsentIdentification;
  if (!platform.ReadPciIdentification(bus, device, function, identification)) {
    identification = kAbsentIdentification;
  }
  return identification;
}

}  // namespace

bool ScanForDevice(Platform& platform, uint32_t identification, PciAddress& address) {
  bool found = false;
  for (uint32_t bus = 0; bus < kPciBusCount; ++bus) {
    for (uint32_t device = 0; device < kPciDeviceCount; ++device) {
      for (uint32_t function = 0; function < kPciFunctionCount; ++function) {
        if (ReadIdentification(platform, bus, device, function) == identification) {
          address = PciAddress{bus, device, function};
          found = true;
          break;  // the lowest matching function of a device is the one reported
        }
      }
    }
  }
  return found;
}

void PciBusRecord::Scan(Platform& platform) {
  count_ = 0;
  overflowed_ = false;
  for (uint32_t bus = 0; bus < kPciBusCount; ++bus) {
    for (uint32_t device = 0; device < kPciDeviceCount; ++device) {
      for (uint32_t function = 0; function < kPciFunctionCount; ++function) {
        const uint32_t identification = ReadIdentification(platform, bus, device, function);
        if (identification == kAbsentIdentification) continue;
        if (count_ == kCapacity) {
          overflowed_ = true;
          continue;
        }
        entries_[count_].slot = static_cast<uint16_t>(PciSlotOf(bus, device, function));
        entries_[count_].identification = identification;
        ++count_;
      }
    }
  }
  scanned_ = true;
}

bool PciBusRecord::Find(uint32_t identification, PciAddress& address) const {
  if (identification == kAbsentIdentification) {
    // Every function the record lacks reads as all ones: the answer is the last device with a gap,
    // at its lowest missing function.
    unsigned next = count_;
    for (uint32_t deviceSlot = kPciBusCount * kPciDeviceCount; deviceSlot-- > 0;) {
      unsigned presentMask = 0;
      while (next > 0 && (entries_[next - 1].slot >> 3) == deviceSlot) {
        presentMask |= 1u << (entries_[next - 1].slot & 0x7);
        --next;
      }
      for (uint32_t function = 0; function < kPciFunctionCount; ++function) {
        if ((presentMask & (1u << function)) == 0) {
          address = PciAddressOf(deviceSlot << 3 | function);
          return true;
        }
      }
    }
    return false;
  }
  // Walking backwards finds the last matching device first; within it, the match seen last is the
  // lowest function.
  for (unsigned index = count_; index-- > 0;) {
    if (entries_[index].identification != identification) continue;
    const unsigned deviceSlot = entries_[index].slot >> 3;
    unsigned lowest = index;
    while (index-- > 0 && (entries_[index].slot >> 3) == deviceSlot) {
      if (entries_[index].identification == identification) lowest = index;
    }
    address = PciAddressOf(entries_[lowest].slot);
    return true;
  }
  return false;
}

bool FormatHardwareId(Text<kNameCapacity>& hardwareId, uint32_t identification) {
  return Format(hardwareId, "VEN_%04X&DEV_%04X", identification & 0xFFFFu, identification >> 16);
}

bool FormatLocation(Text<kNameCapacity>& location, const PciAddress& address) {
  return Format(location, "BUS_%02X&DEV_%02X&FUNC_%02X", address.bus, address.device, address.function);
}

}  // namespace quelm
