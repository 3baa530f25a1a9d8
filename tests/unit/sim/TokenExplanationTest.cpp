// What a run says of every token it takes, of each Exec command, and of a missing script; and the
// names --os takes for the releases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/RunOptions.h"
#include "support/SimDisk.h"

namespace quelm {
namespace {

using testing::SimDisk;

TEST(TokenExplanation, EachTokenSaysWhatItSelects) {
  struct Case {
    const char* name;
    std::string script;
    bool usbSupplement;
    // per token: token, command, nearest, why none, skipped, card found
    std::vector<std::vector<std::string>> tokens;
  };
  const Case cases[] = {
      {"commands and a misspelt word",
       "DetectCard,Instal,End",
       false,
       {{"DetectCard", "DetectCard", "", "", "", "no"},
        {"Instal", "", "Install", "it is no command word; the nearest is Install", "", "yes"},
        {"End", "End", "", "", "", "yes"}}},
      {"a blank before a word",
       "DetectCard, Install",
       false,
       {{"DetectCard", "DetectCard", "", "", "", "no"},
        {" Install", "", "Install", "it begins with a blank", "", "yes"}}},
      {"End with a full stop, a quoted word",
       "\"ShowMsgX\",End.",
       false,
       {{"\"ShowMsgX\"", "", "ShowMsg", "it is in quotes", "", "no"},
        {"End.", "", "End", "End must be the whole token", "", "no"}}},
      {"a word that means nothing",
       "Foo,End",
       false,
       {{"Foo", "", "", "", "", "no"}, {"End", "End", "", "", "", "no"}}},
      {"the USB message with the supplement installed",
       "ShowUSBMsg,End",
       true,
       {{"ShowUSBMsg", "ShowUSBMsg", "", "", "the Windows 95 USB supplement is installed", "no"},
        {"End", "End", "", "", "", "no"}}},
      {"the key check before any card list",
       "CheckPCIKey,End",
       false,
       {{"CheckPCIKey", "CheckPCIKey", "", "", "", "no"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk("[Application]\r\nW98=" + c.script + "\r\n[DetectCard]\r\n1=6699,15437,PCI,1,0\r\n");
    disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
    if (c.usbSupplement) {
      disk.machine.registry.SetString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OSR21",
                                      "DisplayName", "USB Supplement to OSR2");
    }
    disk.Run();
    const auto tokens = disk.machine.EventsOf<sim::TokenEvent>();
    ASSERT_EQ(c.tokens.size(), tokens.size());
    for (size_t index = 0; index < tokens.size(); ++index) {
      const auto& expected = c.tokens[index];
      const sim::TokenEvent& token = tokens[index];
      EXPECT_EQ(expected[0], token.token);
      EXPECT_EQ(expected[1], token.command) << token.token;
      EXPECT_EQ(expected[2], token.nearest) << token.token;
      EXPECT_EQ(expected[3], token.whyNone) << token.token;
      EXPECT_EQ(expected[4], token.skipped) << token.token;
      EXPECT_EQ(expected[5] == "yes", token.cardFound) << token.token;
    }
  }
}

TEST(TokenExplanation, ExecSaysWhatItOpensOrWhyNothing) {
  struct Case {
    const char* name;
    std::string program;  // the [ExecA] section's lines
    std::string tail;     // the command tail, which makes the base directory
    bool opened;
    std::string expanded;
    std::string notOpened;
  };
  const std::string longName(240, 'A');
  const Case cases[] = {
      {"a read-me", "program=[CWD]\\README.TXT,x,[CWD]\r\n", "", true, "D:\\README.TXT,x,D:", ""},
      {"no program line", "other=1\r\n", "", false, "", "[ExecA] has no program line"},
      {"no file field", "program=,,,\r\n", "", false, ",,,", "the program line names no file"},
      {"too long as written", "program=" + std::string(256, 'x') + "\r\n", "", false, "",
       "the program line is longer than its 255 characters"},
      {"too long once expanded", "program=[CWD]\\A,x,[CWD]\r\n", "\\" + longName, false, "",
       "the program line is longer than its 255 characters once [CWD] is expanded"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk("[Application]\r\nW98=ExecA\r\n[ExecA]\r\n" + c.program);
    // The same file in the folder a command tail names.
    if (!c.tail.empty())
      disk.folder.Write(c.tail.substr(1) + "/QUELM.INI",
                        "[Application]\r\nW98=ExecA\r\n[ExecA]\r\n" + c.program);
    disk.machine.SetCommandTail(c.tail);
    disk.Run();
    const auto execs = disk.machine.EventsOf<sim::ExecEvent>();
    ASSERT_EQ(1u, execs.size());
    EXPECT_EQ("ExecA", execs[0].section);
    EXPECT_EQ(c.opened, execs[0].opened);
    EXPECT_EQ(c.expanded, execs[0].expanded);
    EXPECT_EQ(c.notOpened, execs[0].notOpened);
    EXPECT_EQ(c.opened ? 1u : 0u, disk.machine.EventsOf<sim::ShellEvent>().size());
  }
}

TEST(TokenExplanation, AMissingScriptSaysWhy) {
  struct Case {
    const char* name;
    std::string ini;
    const char* os;
    const char* because;  // a part of the cause
  };
  const Case cases[] = {
      {"no entry", "[Application]\r\nW95A=End\r\n", "W98", "[Application] has no W98 entry"},
      {"a misspelt key", "[Application]\r\nW97=End\r\n", "W98", "W97 (line 2) is the nearest name"},
      {"a UTF-8 mark before the header", "\xEF\xBB\xBF[Application]\r\nW98=End\r\n", "W98", "UTF-8 mark"},
      {"a misspelt section", "[Aplication]\r\nW98=End\r\n", "W98", "[Aplication] (line 1) is the nearest"},
      {"a second section of the name", "[Application]\r\nW95A=End\r\n[application]\r\nW98=End\r\n", "W98",
       "in a second [Application] section (line 3)"},
      {"an empty value", "[Application]\r\nW98=\r\n", "W98", "its value on line 2 is empty"},
      {"no equals sign", "[Application]\r\nW98\r\n", "W98", "without an equals sign"},
      {"UTF-16 on Windows 98", "\xFF\xFE[\0A\0]\0", "W98", "UTF-16"},
      {"CR alone on Windows 98", "[Application]\rW98=End\r", "W98", "CR alone"},
      {"past 64 KB on Windows 98", "[Application]\r\n" + std::string(70000, ';') + "\r\nW98=End\r\n", "W98",
       "past the first 65536 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk(c.ini);
    disk.SetOs(c.os);
    disk.Run();
    const auto start = disk.machine.EventsOf<sim::StartEvent>().at(0);
    EXPECT_FALSE(start.script.has_value());
    EXPECT_NE(std::string::npos, start.noScriptBecause.find(c.because)) << start.noScriptBecause;
  }
}

TEST(TokenExplanation, CrAloneEndsLinesOnNtOnly) {
  struct Case {
    const char* os;
    bool script;
  };
  const Case cases[] = {{"W98", false}, {"W95A", false}, {"NT40", true}, {"WINNT", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.os);
    SimDisk disk(std::string("[Application]\r") + c.os + "=End\r");
    disk.SetOs(c.os);
    disk.Run();
    EXPECT_EQ(c.script, disk.machine.EventsOf<sim::StartEvent>().at(0).script.has_value());
  }
}

// People call the releases by names of their own; in capitals a name is the launcher's, in small
// letters a release (WIN95, the launcher's name, is a Windows Me record; win95 is Windows 95).
TEST(TokenExplanation, TheOsOptionTakesTheNamesPeopleUse) {
  struct Case {
    const char* typed;
    const char* label;  // empty: a launcher name, which has no release label
    const char* osName;
  };
  const Case cases[] = {
      {"win95", "Windows 95 (4.00.950)", "W95A"},     {"WIN95", "", "WIN95"},
      {"Win98", "Windows 98 (4.10.1998)", "W98"},     {"win98se", "Windows 98 SE (4.10.2222 A)", "W98"},
      {"winme", "Windows Me (4.90.3000)", "WIN95"},   {"osr2", "Windows 95 B, OSR2 (4.00.1111 B)", "W95B"},
      {"win2k", "Windows 2000 (5.0.2195)", "WINNT"},  {"win2000", "Windows 2000 (5.0.2195)", "WINNT"},
      {"WINXP", "Windows XP (5.1.2600)", "WINNT"},    {"w98", "", "W98"},
      {"nt31", "Windows NT 3.1 (3.10.511)", "WINNT"}, {"NT31", "", "NT31"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    SimDisk disk("[Application]\r\nW98=End\r\n");
    tool::ApplySystem(c.typed, disk.machine);
    disk.Run();
    EXPECT_EQ(c.label, disk.machine.windowsLabel);
    EXPECT_EQ(c.osName, disk.machine.EventsOf<sim::StartEvent>().at(0).osName);
  }
}

}  // namespace
}  // namespace quelm
