// The Win32 backend's ordered PCI sources: the first that detects answers, one that stops working
// hands over to the next, and with none left every function is absent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32/PciSource.h"

namespace quelm {
namespace {

// A source that detects as told, answers one function, and can stop working after some reads.
class FakeSource final : public PciSource {
 public:
  FakeSource(bool detects, uint32_t identification, int readsBeforeRefusal = -1)
      : detects_(detects), identification_(identification), readsLeft_(readsBeforeRefusal) {}

  bool Detect() override {
    ++detections;
    return detects_;
  }
  PciAnswer Read(uint32_t bus, uint32_t device, uint32_t function, uint32_t& identification) override {
    if (readsLeft_ == 0) return PciAnswer::kUnreachable;
    if (readsLeft_ > 0) --readsLeft_;
    if (bus != 1 || device != 0 || function != 0) return PciAnswer::kAbsent;
    identification = identification_;
    return PciAnswer::kPresent;
  }

  int detections = 0;

 private:
  bool detects_;
  uint32_t identification_;
  int readsLeft_;
};

TEST(PciSourceChainTest, TheFirstWorkingSourceAnswersInListOrder) {
  struct Case {
    const char* name;
    bool portsDetect;
    int portReadsBeforeRefusal;  // -1: never refused
    bool listDetects;
    std::vector<uint32_t> expected;  // what three reads of bus 1 device 0 function 0 give; 0: absent
    int listDetections;
  };
  constexpr uint32_t kPorts = 0x11111111;
  constexpr uint32_t kList = 0x22222222;
  const Case cases[] = {
      {"ports on Windows 9x", true, -1, true, {kPorts, kPorts, kPorts}, 0},
      {"no ports (NT): the device list", false, -1, true, {kList, kList, kList}, 1},
      {"ports refused after two reads: the list from then on", true, 2, true, {kPorts, kPorts, kList}, 1},
      {"neither (NT 4.0): nothing is present", false, -1, false, {0, 0, 0}, 1},
      {"ports refused and no list: absent from then on", true, 1, false, {kPorts, 0, 0}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSource ports(c.portsDetect, kPorts, c.portReadsBeforeRefusal);
    FakeSource list(c.listDetects, kList);
    PciSource* order[] = {&ports, &list};
    PciSourceChain chain(order, 2);
    std::vector<uint32_t> seen;
    for (int read = 0; read < 3; ++read) {
      uint32_t identification = 0;
      seen.push_back(chain.Read(1, 0, 0, identification) ? identification : 0);
    }
    EXPECT_EQ(seen, c.expected);
    EXPECT_EQ(ports.detections, 1) << "each source is detected at most once";
    EXPECT_EQ(list.detections, c.listDetections);
    uint32_t untouched = 0x5A5A5A5A;
    EXPECT_FALSE(chain.Read(2, 0, 0, untouched)) << "an empty slot is absent from every source";
  }
}

}  // namespace
}  // namespace quelm
