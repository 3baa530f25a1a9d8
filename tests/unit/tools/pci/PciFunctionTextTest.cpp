// A PCI function's place and IDs as text: lspci's and Linux's names, and --pci's values with or without a
// domain.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "pci/PciFunctionText.h"

namespace quelm::tool {
namespace {

// "DOMAIN/BB:DD.F", or "none".
std::string Shown(const std::optional<PciFunctionName>& name) {
  if (!name) return "none";
  return std::to_string(name->domain) + "/" + LinuxName(PciFunctionName{0, name->address}).substr(5);
}

TEST(ParsePciFunctionName, DomainOptionalOrRequiredAndNumbersInRange) {
  struct Case {
    const char* text;
    DomainPart domainPart;
    const char* expected;
  };
  const Case cases[] = {
      {"01:00.0", DomainPart::kOptional, "0/01:00.0"},
      {"0000:01:00.0", DomainPart::kOptional, "0/01:00.0"},
      {"0000:01:00.0", DomainPart::kRequired, "0/01:00.0"},
      {"01:00.0", DomainPart::kRequired, "none"},
      {"ff:1F.7", DomainPart::kOptional, "0/ff:1f.7"},
      {"1:0.0", DomainPart::kOptional, "0/01:00.0"},
      {"0001:00:00.0", DomainPart::kOptional, "1/00:00.0"},
      {"10000:e0:17.0", DomainPart::kRequired, "65536/e0:17.0"},
      {"ffffffff:00:00.0", DomainPart::kOptional, "4294967295/00:00.0"},
      {"100000000:00:00.0", DomainPart::kOptional, "none"},
      {"100:00.0", DomainPart::kOptional, "none"},
      {"00:20.0", DomainPart::kOptional, "none"},
      {"00:00.8", DomainPart::kOptional, "none"},
      {"00:00.00", DomainPart::kOptional, "none"},
      {"00.00:0", DomainPart::kOptional, "none"},
      {":00:00.0", DomainPart::kOptional, "none"},
      {"00:00.", DomainPart::kOptional, "none"},
      {"0g:00.0", DomainPart::kOptional, "none"},
      {"0000:00:00.0:0", DomainPart::kOptional, "none"},
      {"", DomainPart::kOptional, "none"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.expected, Shown(ParsePciFunctionName(c.text, c.domainPart)));
  }
}

TEST(ParsePciAssignment, TheFormsOfPciAndWhyOthersAreRefused) {
  struct Case {
    const char* text;
    const char* expected;  // BB:DD.F=VVVV:DDDD, or the refusal's message
  };
  const char* const kForm =
      "expected BB:DD.F=VVVV:DDDD or 0000:BB:DD.F=VVVV:DDDD (hexadecimal; bus up to FF, device up to 1F, "
      "function up to 7)";
  const Case cases[] = {
      {"01:00.0=1A2B:3C4D", "01:00.0=1a2b:3c4d"},
      {"0000:01:00.0=1a2b:3c4d", "01:00.0=1a2b:3c4d"},
      {"ff:1f.7=ffff:0001", "ff:1f.7=ffff:0001"},
      {"0001:01:00.0=1A2B:3C4D", "PCI domain 0001 is out of the launcher's reach (it scans domain 0 only)"},
      {"01:00.0", kForm},
      {"01:00.0=1A2B", kForm},
      {"01:00.0=1A2B:", kForm},
      {"01:00.0=12345:0001", kForm},
      {"01:00=1A2B:3C4D", kForm},
      {"0000:100:00.0=1A2B:3C4D", kForm},
      {"=1A2B:3C4D", kForm},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string shown;
    try {
      const PciFunctionIds ids = ParsePciAssignment(c.text);
      char text[32];
      std::snprintf(text, sizeof(text), "%02x:%02x.%x=%04x:%04x", ids.address.bus, ids.address.device,
                    ids.address.function, ids.vendorId, ids.deviceId);
      shown = text;
    } catch (const PciTextError& fault) {
      shown = fault.what();
    }
    EXPECT_EQ(c.expected, shown);
  }
}

}  // namespace
}  // namespace quelm::tool
