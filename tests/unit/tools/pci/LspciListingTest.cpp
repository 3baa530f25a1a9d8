// Reading lspci's listings: every form lspci writes of a real machine, the corners of each, and refusals.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pci/LspciListing.h"
#include "support/PciFunctions.h"
#include "support/SimDisk.h"

namespace quelm::tool {
namespace {

using testing::Rendered;
using testing::TempFolder;

const std::string kListings = QUELM_TEST_DATA_DIR "/lspci/";

std::vector<std::string> LinesOf(const std::string& file) {
  std::ifstream stream(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// The message of the PciTextError that parsing `text` throws, or "" when it throws none.
std::string Refusal(const std::string& text) {
  try {
    static_cast<void>(ParseLspciListing(text, "bus.txt"));
  } catch (const PciTextError& fault) {
    return fault.what();
  }
  return "";
}

TEST(ParseLspciListing, EveryFormOfOneRealMachineListsTheSameFunctions) {
  struct Case {
    const char* file;
    const char* expected;  // BB:DD.F=VVVV:DDDD per line, in scan order
  };
  // This machine's bus, listed by lspci 3.9 in each form; the 440BX board is as a retro PC lists it.
  const Case cases[] = {
      {"vm-n.txt", "vm.functions"},      {"vm-nn.txt", "vm.functions"},
      {"vm-D-n.txt", "vm.functions"},    {"vm-mm-n.txt", "vm.functions"},
      {"vm-D-mm-n.txt", "vm.functions"}, {"vm-mm-nn.txt", "vm.functions"},
      {"vm-v-nn.txt", "vm.functions"},   {"440bx-example-card-n.txt", "440bx-example-card.functions"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::vector<std::string> expected = LinesOf(kListings + c.expected);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(expected, Rendered(ReadLspciListing(kListings + c.file)));
  }
}

TEST(ParseLspciListing, LinesOfEachFormWithTheirTails) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> functions;
  };
  const Case cases[] = {
      {"-n with a revision", "01:00.0 0300: 10de:0020 (rev 04)\n", {"01:00.0=10de:0020"}},
      {"-n upper-case digits", "0A:1F.7 0C03: 8086:7112\n", {"0a:1f.7=8086:7112"}},
      {"-v -n: prog-if without a name",
       "00:07.2 0c03: 8086:7112 (rev 01) (prog-if 00)\n",
       {"00:07.2=8086:7112"}},
      {"-nn: a device name in brackets before the IDs",
       "01:00.0 VGA compatible controller [0300]: NVIDIA Corporation NV4 [Riva TNT] [10de:0020] (rev 04)\n",
       {"01:00.0=10de:0020"}},
      {"-nn -v: prog-if with its name in brackets",
       "00:07.2 USB controller [0c03]: Intel Corporation 82371AB/EB/MB PIIX4 USB [8086:7112] (rev 01) "
       "(prog-if 00 [UHCI])\n",
       {"00:07.2=8086:7112"}},
      {"-nn: brackets that look like IDs inside the name",
       "01:00.0 Display controller [0380]: Odd Vendor Card [1234:5678] rev B [1af4:1050]\n",
       {"01:00.0=1af4:1050"}},
      {"-D with the domain", "0000:01:00.0 0300: 1a2b:3c4d\n", {"01:00.0=1a2b:3c4d"}},
      {"-mm -n with revision, prog-if and subsystem",
       "01:00.0 \"0300\" \"1002\" \"5046\" -r01 -p00 \"1002\" \"0408\"\n",
       {"01:00.0=1002:5046"}},
      {"-mm -n without options or subsystem", "00:00.0 \"0600\" \"8086\" \"7190\"\n", {"00:00.0=8086:7190"}},
      {"-mm -nn: a quote inside a name, escaped",
       "01:00.0 \"VGA compatible controller [0300]\" \"ATI Technologies Inc [1002]\" "
       "\"Rage 128 \\\"Pro\\\" [5046]\" -r00 \"\" \"\"\n",
       {"01:00.0=1002:5046"}},
      {"-D -mm -n", "0000:00:07.3 \"0680\" \"8086\" \"7113\" -r02 \"\" \"\"\n", {"00:07.3=8086:7113"}},
      {"-v: detail lines and blank lines are passed over",
       "00:00.0 0600: 8086:7190 (rev 03)\n\tFlags: bus master, medium devsel, latency 64\n"
       "\tCapabilities: [a0] AGP version 1.0\n\n01:00.0 0300: 1a2b:3c4d\n  Subsystem: 1a2b:0001\n",
       {"00:00.0=8086:7190", "01:00.0=1a2b:3c4d"}},
      {"CR LF line ends, a UTF-8 mark and no final line end",
       "\xEF\xBB\xBF"
       "00:00.0 0600: 8086:7190\r\n\r\n01:00.0 0300: 1a2b:3c4d",
       {"00:00.0=8086:7190", "01:00.0=1a2b:3c4d"}},
      {"out of order: put in scan order",
       "01:00.0 0300: 1a2b:3c4d\n00:07.1 0101: 8086:7111\n00:07.0 0601: 8086:7110\n",
       {"00:07.0=8086:7110", "00:07.1=8086:7111", "01:00.0=1a2b:3c4d"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.functions, Rendered(ParseLspciListing(c.text, "bus.txt")));
  }
}

TEST(ParseLspciListing, RefusesWhatItCannotReadWithTheFileAndLine) {
  struct Case {
    const char* name;
    std::string text;
    const char* message;  // the whole message
  };
  const Case cases[] = {
      {"a function of another domain", "0000:00:00.0 0600: 8086:0d57\n0001:00:00.0 0600: 8086:0d57\n",
       "bus.txt:2: 0001:00:00.0: PCI domain 0001 is out of the launcher's reach (it scans domain 0 only)"},
      {"plain lspci: names without IDs",
       "00:00.0 Host bridge: Intel Corporation 440BX/ZX/DX - 82443BX/ZX/DX Host bridge (rev 03)\n",
       "bus.txt:1: no vendor and device ID in \"00:00.0 Host bridge: Intel Corporation 440BX/ZX/DX - "
       "82443BX...\": list the bus with lspci -n (or -nn, -D -n, -mm -n)"},
      {"-mm without -n", "00:00.0 \"Host bridge\" \"Intel Corporation\" \"440BX\" -r03 \"\" \"\"\n",
       "bus.txt:1: no vendor and device ID in \"00:00.0 \"Host bridge\" \"Intel Corporation\" \"440BX\" -r03 "
       "\"\" "
       "\"\"\": list the bus with lspci -n (or -nn, -D -n, -mm -n)"},
      {"-vmm's records", "Slot:\t00:00.0\n",
       "bus.txt:1: \"Slot:\t00:00.0\" does not begin with a PCI function such as 01:00.0: expected the "
       "output of "
       "lspci -n"},
      {"-x's hex dump after a function", "00:00.0 0600: 8086:7190\n00: 86 80 90 71 06 00 10 22\n",
       "bus.txt:2: \"00: 86 80 90 71 06 00 10 22\" does not begin with a PCI function such as 01:00.0: "
       "expected the output of lspci -n"},
      {"a device number past 1F", "00:20.0 0600: 8086:7190\n",
       "bus.txt:1: \"00:20.0 0600: 8086:7190\" does not begin with a PCI function such as 01:00.0: expected "
       "the "
       "output of lspci -n"},
      {"a function listed twice, with and without its domain",
       "00:00.0 0600: 8086:7190\n\n0000:00:00.0 0600: 8086:7190\n",
       "bus.txt:3: 0000:00:00.0 is listed again (first on line 1)"},
      {"text after the IDs that is no tail", "00:00.0 0600: 8086:7190 extra\n",
       "bus.txt:1: no vendor and device ID in \"00:00.0 0600: 8086:7190 extra\": list the bus with lspci -n "
       "(or "
       "-nn, -D -n, -mm -n)"},
      {"a tail that is not lspci's", "00:00.0 0600: 8086:7190 (rev 3)\n",
       "bus.txt:1: no vendor and device ID in \"00:00.0 0600: 8086:7190 (rev 3)\": list the bus with lspci "
       "-n "
       "(or -nn, -D -n, -mm -n)"},
      {"an -mm quote left open", "00:00.0 \"0600\" \"8086\" \"7190\n",
       "bus.txt:1: no vendor and device ID in \"00:00.0 \"0600\" \"8086\" \"7190\": list the bus with lspci "
       "-n "
       "(or -nn, -D -n, -mm -n)"},
      {"three-digit IDs", "00:00.0 0600: 8086:719\n",
       "bus.txt:1: no vendor and device ID in \"00:00.0 0600: 8086:719\": list the bus with lspci -n (or "
       "-nn, "
       "-D -n, -mm -n)"},
      {"nothing but detail and blank lines", "\n\tFlags: fast devsel\n\n",
       "bus.txt: no PCI function listed: expected the output of lspci -n"},
      {"an empty file", "", "bus.txt: no PCI function listed: expected the output of lspci -n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.message, Refusal(c.text));
  }
}

TEST(ReadLspciListing, RefusesWhatIsNoListingByItsName) {
  TempFolder folder;
  folder.Write("names-only.txt", "00:00.0 Host bridge: Intel Corporation Device 0d57\n");
  struct Case {
    const char* name;
    std::string file;
    std::string message;
  };
  const Case cases[] = {
      {"missing", (folder.Path() / "missing.txt").string(),
       (folder.Path() / "missing.txt").string() + ": cannot be opened (No such file or directory)"},
      {"a folder", folder.Path().string(), folder.Path().string() + ": is a folder, not an lspci listing"},
      {"lspci without -n", (folder.Path() / "names-only.txt").string(),
       (folder.Path() / "names-only.txt").string() + ":1: no vendor and device ID in \"00:00.0 Host bridge: "
                                                     "Intel Corporation Device 0d57\": list the bus "
                                                     "with lspci -n (or -nn, -D -n, -mm -n)"},
      {"this machine, listed without -n", kListings + "vm-names-only.txt",
       kListings + "vm-names-only.txt:1: no vendor and device ID in \"00:00.0 Host bridge: Intel Corporation "
                   "Device 0d57\": list the bus with lspci -n (or -nn, -D -n, -mm -n)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string message;
    try {
      static_cast<void>(ReadLspciListing(c.file));
    } catch (const PciTextError& fault) {
      message = fault.what();
    }
    EXPECT_EQ(c.message, message);
  }
}

}  // namespace
}  // namespace quelm::tool
