// quelm-sim's option values: version records, PCI devices, and text for terminals and JSON.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "console/RunOptions.h"
#include "events/EventRendering.h"
#include "probe/SystemProbe.h"
#include "support/DiskImages.h"
#include "support/SimDisk.h"

namespace quelm::tool {
namespace {

TEST(ParseVersion, RawRecordsClassifyAsTheSystemsTheyName) {
  struct Case {
    const char* text;
    const char* osName;
  };
  const Case cases[] = {
      {"1.4.0", "W95A"},    {"1.4.0: B", "W95B"},
      {"1.4.0:xc", "W95C"}, {"1.4.0: A", "WIN95"},
      {"1.4.10", "W98"},    {"1.4.90:", "WIN95"},
      {"2.3.51", "NT35X"},  {"2.3.10", "WINNT"},
      {"2.4.0", "NT40"},    {"2.10.0:Service Pack 1", "WINNT"},
      {"0.3.11", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    sim::SimMachine machine;
    machine.version = ParseVersion(c.text);
    SystemProbe probe(machine);
    EXPECT_STREQ(c.osName, OsNameOf(probe.ClassifyOs()));
  }
  for (const char* bad : {"", "1.4", "1.4.x", "a.b.c", "1..0", "-1.4.0", "1.4.0.5", "99999999999.0.0"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ParseVersion(bad), UsageError);
  }
  EXPECT_THROW(ParseVersion("1.4.0:" + std::string(128, 's')), UsageError);
}

TEST(AddPciDevice, HexadecimalAddressAndIdsWithinTheirRanges) {
  sim::SimMachine machine;
  AddPciDevice("01:00.0=1A2B:3C4D", machine);
  AddPciDevice("ff:1f.7=ffff:0001", machine);
  uint32_t identification = 0;
  EXPECT_TRUE(machine.ReadPciIdentification(1, 0, 0, identification));
  EXPECT_EQ(0x3C4D1A2Bu, identification);
  EXPECT_TRUE(machine.ReadPciIdentification(255, 31, 7, identification));
  EXPECT_EQ(0x0001FFFFu, identification);
  for (const char* bad :
       {"01:00.0", "01:00=1A2B:3C4D", "100:00.0=1A2B:3C4D", "00:20.0=1A2B:3C4D", "00:00.8=1A2B:3C4D",
        "00:00.0=12345:0001", "00:00.0=1A2B", "0g:00.0=1A2B:3C4D", "00:00.0=1A2B:", "00.00:0=1A2B:3C4D"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(AddPciDevice(bad, machine), UsageError);
  }
}

TEST(ToUtf8, EachCodePageBecomesUtf8) {
  struct Case {
    const char* name;
    uint32_t codePage;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"ASCII", 1252, "plain", "plain"},
      {"Western letter", 1252, "Ger\xE4t", "Ger\xC3\xA4t"},
      {"euro sign", 1252, "\x80 5", "\xE2\x82\xAC 5"},
      {"curly quotes", 1252, "\x93q\x94", "\xE2\x80\x9Cq\xE2\x80\x9D"},
      {"undefined in 1252: kept as its own code", 1252, "\x81", "\xC2\x81"},
      {"last byte of 1252", 1252, "\xFF", "\xC3\xBF"},
      {"Cyrillic", 1251, "\xC0", "\xD0\x90"},
      {"Shift-JIS with a backslash trail byte", 932, "\x95\x5C\\n", "\xE8\xA1\xA8\\n"},
      {"Shift-JIS half-width katakana", 932, "\xB1", "\xEF\xBD\xB1"},
      {"lone lead byte at the end", 932, "A\x95", "A\xEF\xBF\xBD"},
      {"GBK", 936, "\xD6\xD0", "\xE4\xB8\xAD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, ToUtf8(c.text, c.codePage));
  }
}

TEST(EscapeForTerminal, MessagesStayOneLineOfValidUtf8) {
  struct Case {
    const char* name;
    std::string text;
    std::string expected;
  };
  using namespace std::string_literals;
  const Case cases[] = {
      {"printable ASCII untouched", "bad --answer \"MAYBE\"", "bad --answer \"MAYBE\""},
      {"Windows path keeps its backslashes", "D:\\W98\\n.ini", "D:\\W98\\n.ini"},
      {"line breaks and tab", "OK\nCANCEL\r\t", "OK\\nCANCEL\\r\\t"},
      {"terminal escape sequence", "\x1B[31mred", "\\x1B[31mred"},
      {"NUL and DEL", "a\0b\x7F"s, "a\\x00b\\x7F"},
      {"valid UTF-8 untouched", "Ger\xC3\xA4t \xF0\x9F\x92\xBE", "Ger\xC3\xA4t \xF0\x9F\x92\xBE"},
      {"C1 control (CSI)",
       "\xC2\x9B"
       "2J",
       "\\u009B2J"},
      {"line and paragraph separators",
       "a\xE2\x80\xA8"
       "b\xE2\x80\xA9",
       "a\\u2028b\\u2029"},
      {"Latin-1 byte", "caf\xE9!", "caf\\xE9!"},
      {"stray continuation byte", "\x80x", "\\x80x"},
      {"overlong slash", "\xC0\xAF", "\\xC0\\xAF"},
      {"overlong three bytes", "\xE0\x80\xAF", "\\xE0\\x80\\xAF"},
      {"surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
      {"sequence cut short by the end", "\xE2\x82", "\\xE2\\x82"},
      {"sequence cut short by a line break", "\xE2\x82\n", "\\xE2\\x82\\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, EscapeForTerminal(c.text));
  }
}

TEST(RenderJson, EveryTextIsValidJsonWhateverTheBytes) {
  std::vector<sim::Event> events = {sim::MessageEvent{"Key\x9F", 0x30, "Caf\xE9\r\n\t\x01", kAnswerOk},
                                    sim::ShellEvent{"A.EXE", std::nullopt}, sim::ExitEvent{-1}};
  EXPECT_EQ(
      "{\"event\":\"message\",\"key\":\"Key\xC5\xB8\",\"style\":48,\"text\":\"Caf\xC3\xA9\\r\\n\\t\\u0001\","
      "\"answer\":\"OK\"}\n{\"event\":\"shell\",\"file\":\"A.EXE\",\"directory\":null,\"fileExists\":null,"
      "\"directoryExists\":null}\n"
      "{\"event\":\"exit\",\"exitCode\":-1}\n",
      RenderJson(events));
}

// An image given as the disk is read as the machine's release reads it: the long names of a Joliet CD
// are there from Windows 95 and NT 4.0 on, not on NT 3.x and Win32s, which read the primary tree.
TEST(ApplyOptions, AnImageDiskShowsWhatTheReleaseReadsOnIt) {
  testing::TempFolder folder;
  testing::IsoImage cd;
  cd.joliet = true;
  cd.root.children = {testing::IsoFile("QUELM.INI;1", "QUELM.INI", "[Application]\r\nW98=End\r\n"),
                      testing::IsoFile("READ_ME_.TXT;1", "Read me first.txt", "hello")};
  folder.Write("driver.ISO", cd.Build());
  testing::FatImage floppy;
  floppy.root = {testing::FatFile("README~1.TXT", "Read me first.txt", "hello")};
  folder.Write("driver.ima", floppy.Build());
  struct Case {
    const char* image;
    const char* os;
    bool longName;
  };
  const Case cases[] = {
      {"driver.ISO", "98", true},     {"driver.ISO", "nt4", true},     {"driver.ISO", "xp", true},
      {"driver.ISO", "nt351", false}, {"driver.ISO", "win32s", false}, {"driver.ISO", "W98", true},
      {"driver.ima", "nt31", false},  {"driver.ima", "nt35", true},    {"driver.ima", "95", true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(std::string(test.image) + " on " + test.os);
    RunOptions options;
    options.disk = (folder.Path() / test.image).string();
    options.os = test.os;
    sim::SimMachine machine;
    ApplyOptions(options, machine);
    EXPECT_EQ(test.longName, machine.FileExists("D:\\Read me first.txt"));
    // A FAT file's 8.3 name finds it beside its long name; a CD's primary name is in the other tree.
    const bool floppy = std::string(test.image).find(".ima") != std::string::npos;
    EXPECT_EQ(floppy || !test.longName, machine.FileExists(floppy ? "D:\\README~1.TXT" : "D:\\READ_ME_.TXT"));
  }
  // The same image on another drive, beside a folder disk.
  RunOptions options;
  options.disk = folder.Path().string();
  options.drives = {"e=" + (folder.Path() / "driver.ISO").string()};
  sim::SimMachine machine;
  ApplyOptions(options, machine);
  EXPECT_EQ(true, machine.FileExists("E:\\Read me first.txt"));
  EXPECT_EQ(true, machine.FileExists("D:\\driver.ISO"));
}

TEST(ApplyOptions, AnImageThatCannotBeReadIsAUsageErrorNamingIt) {
  testing::TempFolder folder;
  testing::IsoImage loop;
  testing::IsoNode inner = testing::IsoFolder("LOOP", "", {});
  inner.sector = testing::IsoImage::kFirstData;
  loop.root.children = {inner};
  folder.Write("loop.iso", loop.Build());
  folder.Write("empty.img", "");
  folder.Write("floppy.img", testing::FatImage().Build());
  folder.Write("notes.txt", "");
  std::filesystem::create_directory(folder.Path() / "folder.iso");
  struct Case {
    const char* name;
    std::string disk;
    std::vector<std::string> drives;
    const char* error;
  };
  const std::string base = folder.Path().string() + "/";
  const Case cases[] = {
      {"a directory loop", base + "loop.iso", {}, "disk image \""},
      {"a directory loop, said", base + "loop.iso", {}, ": directory loop: the folder \"\\LOOP\""},
      {"an empty floppy image", base + "empty.img", {}, ": shorter than a boot sector"},
      {"no such image", base + "absent.ima", {}, "disk image \""},
      {"a file that is no image", base + "notes.txt", {}, "disk folder \""},
      {"an image on another drive", base, {"E=" + base + "loop.iso"}, "image for drive E: \""},
      {"drive D: twice, once an image", base + "floppy.img", {"d=" + base}, "is already mapped"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    RunOptions options;
    options.disk = test.disk;
    options.drives = test.drives;
    sim::SimMachine machine;
    try {
      ApplyOptions(options, machine);
      ADD_FAILURE() << "accepted";
    } catch (const UsageError& fault) {
      EXPECT_NE(std::string::npos, std::string(fault.what()).find(test.error)) << fault.what();
    }
  }
  // A folder named like an image is a folder disk.
  RunOptions options;
  options.disk = base + "folder.iso";
  sim::SimMachine machine;
  EXPECT_NO_THROW(ApplyOptions(options, machine));
}

}  // namespace
}  // namespace quelm::tool
