// The ways to the PCI configuration space, tried in order as pciutils tries its access methods.
#pragma once

#include <stdint.h>

namespace quelm {

enum class PciAnswer : uint8_t {
  kPresent,      // the identification was read
  kAbsent,       // nothing answers at this location
  kUnreachable,  // the source stopped working (the system refused an access): ask the next one
};

class PciSource {
 public:
  // Whether this source works on the running system; asked once, before its first read.
  virtual bool Detect() = 0;
  // Register 0 of one function: vendor ID in the low word, device ID in the high word.
  virtual PciAnswer Read(uint32_t bus, uint32_t device, uint32_t function, uint32_t& identification) = 0;

 protected:
  ~PciSource() = default;
};

// Answers from the first source whose detection succeeds; one that becomes unreachable hands over to
// the next in the list. When none is left, every function reads as absent.
class PciSourceChain {
 public:
  PciSourceChain(PciSource* const* sources, unsigned count) : sources_(sources), count_(count) {}

  bool Read(uint32_t bus, uint32_t device, uint32_t function, uint32_t& identification);

 private:
  PciSource* const* sources_;
  unsigned count_;
  unsigned current_ = 0;
  bool detected_ = false;
};

}  // namespace quelm
