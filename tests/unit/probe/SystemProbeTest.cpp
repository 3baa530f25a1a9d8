// Base directory, Windows version classification, USB supplement check, and double-byte code pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/Messages.h"
#include "probe/SystemProbe.h"
#include "sim/SimMachine.h"

namespace quelm {
namespace {

TEST(BaseDirectory, CurrentDirectoryLessOneBackslashThenTheTail) {
  struct Case {
    const char* name;
    std::string currentDirectory;
    std::string commandLine;
    std::string expected;
  };
  const Case cases[] = {
      {"root of a drive", "A:\\", "QUELM.EXE", "A:"},
      {"subdirectory tail", "C:\\DISK", "QUELM.EXE \\W95", "C:\\DISK\\W95"},
      {"tail keeps its own backslash", "C:\\", "QUELM.EXE \\W95\\", "C:\\W95\\"},
      {"blank at the end of the tail stays", "D:\\", "QUELM.EXE \\W95 ", "D:\\W95 "},
      {"quoted program name with blanks", "D:\\", "\"D:\\My Disk\\QUELM.EXE\"   \\W95", "D:\\W95"},
      {"quoted name without its closing quote", "D:\\", "\"D:\\QUELM.EXE \\W95", "D:"},
      {"tab and control characters after the name", "D:\\", "QUELM.EXE\t\x01 \\W95", "D:\\W95"},
      {"only one trailing backslash removed", "D:\\\\", "QUELM.EXE", "D:\\"},
      {"tail without separator", "D:\\DISK", "QUELM.EXE W95", "D:\\DISKW95"},
      {"longest directory that fits", "C:\\" + std::string(252, 'x'), "QUELM.EXE",
       "C:\\" + std::string(252, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimMachine machine;
    machine.currentDirectory = c.currentDirectory;
    machine.commandLine = c.commandLine;
    SystemProbe probe(machine);
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_TRUE(probe.GetBaseDirectory(buffer, sizeof buffer));
    EXPECT_EQ(c.expected, std::string(buffer));
  }
}

TEST(BaseDirectory, WhatCannotBeReadOrDoesNotFitIsNeverCut) {
  struct Case {
    const char* name;
    bool readable;
    std::string currentDirectory;
    std::string commandLine;
    std::string expected;
  };
  const Case cases[] = {
      {"unreadable directory leaves the buffer as it was", false, "D:\\", "QUELM.EXE", "junk"},
      {"directory one too long", true, "C:\\" + std::string(253, 'x'), "QUELM.EXE", ""},
      {"directory far too long", true, "C:\\" + std::string(400, 'x'), "QUELM.EXE", ""},
      {"a length that disagrees with the text written", true, std::string("D:\\A\0B", 6), "QUELM.EXE", ""},
      {"tail that does not fit", true, "C:\\" + std::string(240, 'x'), "QUELM.EXE \\" + std::string(20, 'y'),
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimMachine machine;
    machine.currentDirectoryReadable = c.readable;
    machine.currentDirectory = c.currentDirectory;
    machine.commandLine = c.commandLine;
    SystemProbe probe(machine);
    char buffer[256] = "junk";
    EXPECT_FALSE(probe.GetBaseDirectory(buffer, sizeof buffer));
    EXPECT_EQ(c.expected, std::string(buffer));
  }
}

TEST(ClassifyOs, TestsRunInOrderWithTheirTieBreaks) {
  struct Case {
    uint32_t platformId;
    uint32_t major;
    uint32_t minor;
    std::string service;  // copied into the record, terminated only where it leaves room
    OsKind expected;
  };
  const Case cases[] = {
      {1, 4, 0, "", OsKind::W95A},
      {1, 4, 0, " A", OsKind::WIN95},  // a service text that is neither B nor C
      {1, 4, 0, " B", OsKind::W95B},
      {1, 4, 0, "xb", OsKind::W95B},  // only the second character counts, in either case
      {1, 4, 0, " c", OsKind::W95C},
      {1, 4, 0, "B", OsKind::WIN95},                          // no second character
      {1, 4, 0, " C" + std::string(125, 'x'), OsKind::W95C},  // 127 characters: the text fills its buffer
      {1, 4, 0, std::string(128, 'c'), OsKind::W95C},         // unterminated: read within its 128 bytes
      {1, 4, 10, " A ", OsKind::W98},  // Windows 98 SE: the service text is not looked at
      {1, 4, 10, "", OsKind::W98},
      {1, 4, 90, " ", OsKind::WIN95},  // Windows Me
      {1, 3, 0, "", OsKind::WIN95},
      {2, 3, 51, "Service Pack 5", OsKind::NT35X},
      {2, 3, 50, "", OsKind::NT35X},
      {2, 3, 0xFFFFFFFF, "", OsKind::NT35X},  // minor compared unsigned
      {2, 3, 1, "", OsKind::NT31},
      {2, 3, 10, "", OsKind::WINNT},  // minor 10 is not minor 1
      {2, 4, 0, "Service Pack 6", OsKind::NT40},
      {2, 4, 10, "", OsKind::WINNT},
      {2, 5, 0, "", OsKind::WINNT},
      {2, 10, 0, "", OsKind::WINNT},
      {0, 3, 11, "", OsKind::OTHER},  // Win32s
      {3, 4, 0, "", OsKind::OTHER},   // Windows CE
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.platformId) + "." + std::to_string(c.major) + "." +
                 std::to_string(c.minor) + " \"" + c.service.substr(0, 20) + "\"");
    sim::SimMachine machine;
    machine.version = VersionRecord();
    machine.version.platformId = c.platformId;
    machine.version.majorVersion = c.major;
    machine.version.minorVersion = c.minor;
    std::memcpy(machine.version.serviceText, c.service.data(),
                std::min(c.service.size(), sizeof machine.version.serviceText));
    SystemProbe probe(machine);
    EXPECT_EQ(static_cast<int>(c.expected), static_cast<int>(probe.ClassifyOs()));
  }
}

TEST(ClassifyOs, EveryNamedMachineClassifiesAsItsName) {
  for (const char* name :
       {"W95A", "W95B", "W95C", "W98", "WIN95", "WINNT", "NT31", "NT35X", "NT40", "OTHER"}) {
    SCOPED_TRACE(name);
    sim::SimMachine machine;
    machine.version = *sim::VersionForOsName(name);
    SystemProbe probe(machine);
    const std::string expected = std::string(name) == "OTHER" ? "" : name;
    EXPECT_EQ(expected, OsNameOf(probe.ClassifyOs()));
  }
}

TEST(UsbSupplement, DisplayNameMustBeginWithUpperCaseUsbAndFit) {
  const char* kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OSR21";
  struct Case {
    const char* name;
    void (*setUp)(sim::Registry&, const char*);
    int32_t expected;
  };
  const Case cases[] = {
      {"no key", [](sim::Registry&, const char*) {}, 0},
      {"supplement installed",
       [](sim::Registry& r, const char* k) {
         r.SetString(k, "DisplayName", "USB Supplement to OSR2");
       },
       1},
      {"lower-case usb",
       [](sim::Registry& r, const char* k) {
         r.SetString(k, "DisplayName", "usb supplement");
       },
       0},
      {"no DisplayName value",
       [](sim::Registry& r, const char* k) {
         r.SetString(k, "Other", "USB");
       },
       0},
      {"shorter than the prefix",
       [](sim::Registry& r, const char* k) {
         r.SetString(k, "DisplayName", "US");
       },
       0},
      {"255 characters fit",
       [](sim::Registry& r, const char* k) {
         r.SetString(k, "DisplayName", "USB" + std::string(252, 'x'));
       },
       1},
      {"256 characters do not fit",
       [](sim::Registry& r, const char* k) {
         r.SetString(k, "DisplayName", "USB" + std::string(253, 'x'));
       },
       0},
      {"type is not consulted",
       [](sim::Registry& r, const char* k) {
         r.Create(k).SetValue({"DisplayName", sim::kRegDword, {'U', 'S', 'B', 0}});
       },
       1},
      {"key refuses to open",
       [](sim::Registry& r, const char* k) {
         r.SetString(k, "DisplayName", "USB Supplement to OSR2");
         r.Find(k)->accessDenied = true;
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimMachine machine;
    c.setUp(machine.registry, kKey);
    SystemProbe probe(machine);
    EXPECT_EQ(c.expected, probe.IsUsbSupplementInstalled());
    EXPECT_EQ(0u, machine.OpenHandles()) << "registry key left open";
  }
}

// On Japanese, Chinese and Korean Windows a backslash byte can be the second half of a character
// (Shift-JIS 0x95 0x5C, GBK 0x81 0x5C): it is neither a directory's trailing backslash nor the start
// of an escape. The same bytes on Western Windows are two characters.
TEST(DoubleByteCodePages, TrailBytesAreNeverBackslashes) {
  struct Case {
    const char* name;
    uint32_t codePage;
    std::string currentDirectory;
    std::string expectedBaseDir;
    std::string message;
    std::string expectedMessage;
  };
  const Case cases[] = {
      {"Shift-JIS folder ending in a trail byte", 932, "D:\\\x95\x5C", "D:\\\x95\x5C", "\x95\x5Cn",
       "\x95\x5Cn"},
      {"the same bytes on Western Windows", 1252, "D:\\\x95\x5C", "D:\\\x95", "\x95\x5Cn", "\x95\r\n"},
      {"Shift-JIS folder with its own backslash", 932, "D:\\\x95\x5C\\", "D:\\\x95\x5C", "\x83\x5Ct",
       "\x83\x5Ct"},
      {"escape right after a double-byte character", 932, "D:\\", "D:", "\x95\x5C\\n\\t", "\x95\x5C\r\n\t"},
      {"half-width katakana are single bytes", 932, "D:\\\xB1\\", "D:\\\xB1", "\xB1\\n", "\xB1\r\n"},
      {"lead byte alone at the end", 932, "D:\\\x95", "D:\\\x95", "\\n\x95", "\r\n\x95"},
      {"GBK trail backslash", 936, "C:\\\x81\x5C", "C:\\\x81\x5C", "\x81\x5Ct", "\x81\x5Ct"},
      {"Korean trail backslash", 949, "C:\\\xB0\x5C", "C:\\\xB0\x5C", "\xB0\x5Cn", "\xB0\x5Cn"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimMachine machine;
    machine.codePage = c.codePage;
    machine.currentDirectory = c.currentDirectory;
    SystemProbe probe(machine);
    char buffer[256];
    ASSERT_TRUE(probe.GetBaseDirectory(buffer, sizeof buffer));
    EXPECT_EQ(c.expectedBaseDir, std::string(buffer));
    Text<kMessageCapacity> text;
    ASSERT_TRUE(text.Assign(c.message.c_str()));
    ExpandEscapes(text, probe.ReadLeadBytes());
    EXPECT_EQ(c.expectedMessage, std::string(text.CStr()));
  }
}

}  // namespace
}  // namespace quelm
