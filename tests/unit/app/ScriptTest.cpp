// Whole runs of the install script: tokens, command words, messages, quit requests and exit codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/SimDisk.h"

namespace quelm {
namespace {

using testing::SimDisk;

// A configuration file whose W98 script is `script`; every message key used below has a text.
std::string IniWithScript(const std::string& script) {
  return "[Application]\r\nW98=" + script +
         "\r\n[Message]\r\nShowMsg=Plain\r\nShowMsgA=A\r\nShowUSBMsg=Needs USB\r\nDetectCard=No card\r\n"
         "NotSupport=Not supported\r\n[Execute]\r\nprogram=D:\\SETUP.EXE,x,D:\r\n";
}

TEST(RunScript, TokensAndCommandWords) {
  struct Case {
    const char* name;
    std::string script;
    bool usbSupplement;
    std::vector<int32_t> answers;
    std::vector<std::string> messages;
    size_t quitRequests;
    size_t installerStarts;
    size_t shellOpens;
  };
  const Case cases[] = {
      {"failed card list stops before Install", "DetectCard,Install,End", false, {}, {"DetectCard"}, 0, 0, 0},
      {"ShowMsg ends the script", "ShowMsg,Install", false, {}, {"ShowMsg"}, 0, 0, 0},
      {"ShowUSBMsg is silent with the supplement", "ShowUSBMsg,Install", true, {}, {}, 0, 1, 0},
      {"ShowUSBMsg answered OK goes on", "ShowUSBMsg,Install", false, {kAnswerOk}, {"ShowUSBMsg"}, 0, 1, 0},
      {"ShowUSBMsg answered Cancel quits",
       "ShowUSBMsg,Install",
       false,
       {kAnswerCancel},
       {"ShowUSBMsg"},
       1,
       0,
       0},
      {"unknown token skipped", "Foo,End", false, {}, {}, 1, 0, 0},
      {"End must be the whole token", "endx", false, {}, {}, 0, 0, 0},
      {"End in any case", "eNd,ShowMsg", false, {}, {}, 1, 0, 0},
      {"End followed by a blank is not End", "End ,ShowMsg", false, {}, {"ShowMsg"}, 0, 0, 0},
      {"Exec with a suffix", "Execute,End", false, {}, {}, 1, 0, 1},
      {"commas only run nothing", ",,,", false, {}, {}, 0, 0, 0},
      {"runs of commas are one separator",
       ",,ShowUSBMsg,,,End,,",
       false,
       {kAnswerOk},
       {"ShowUSBMsg"},
       1,
       0,
       0},
      {"blank before a command word", "Foo, ShowMsg,End", false, {}, {}, 1, 0, 0},
      {"blank after a command word is a suffix", "ShowMsg ,End", false, {}, {"ShowMsg "}, 0, 0, 0},
      {"command words without regard to case", "SHOWMSG", false, {}, {"SHOWMSG"}, 0, 0, 0},
      {"suffixed ShowMsg names its own key", "ShowMsgA,ShowMsg", false, {}, {"ShowMsgA"}, 0, 0, 0},
      {"ShowUSBMsg twice",
       "ShowUSBMsg,ShowUSBMsg2,End",
       false,
       {kAnswerOk, kAnswerOk},
       {"ShowUSBMsg", "ShowUSBMsg2"},
       1,
       0,
       0},
      {"last token without a comma", "Foo,ShowMsg", false, {}, {"ShowMsg"}, 0, 0, 0},
      {"half a command word is nothing", "Show,Detect,Inst,Exe,En", false, {}, {}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk(IniWithScript(c.script));
    if (c.usbSupplement) {
      disk.machine.registry.SetString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OSR21",
                                      "DisplayName", "USB Supplement to OSR2");
    }
    disk.machine.answers.assign(c.answers.begin(), c.answers.end());
    EXPECT_EQ(0, disk.Run());
    EXPECT_EQ(c.messages, disk.MessageKeys());
    EXPECT_EQ(c.quitRequests, disk.QuitRequests());
    EXPECT_EQ(c.installerStarts, disk.machine.EventsOf<sim::InstallerEvent>().size());
    EXPECT_EQ(c.shellOpens, disk.machine.EventsOf<sim::ShellEvent>().size());
    EXPECT_EQ(1u, disk.machine.MessageLoopRuns());
  }
}

TEST(RunScript, NoScriptShowsNotSupportAndQuits) {
  struct Case {
    const char* name;
    std::string ini;  // empty: no file at all
    const char* os;
    const char* expectedText;
  };
  const Case cases[] = {
      {"no configuration file", "", "W98", ""},
      {"no Application section", "[Message]\r\nNotSupport=No\r\n", "W98", "No"},
      {"no entry for this system", "[Application]\r\nW95A=End\r\n[Message]\r\nNotSupport=No\r\n", "W98",
       "No"},
      {"empty entry", "[Application]\r\nW98=\r\n[Message]\r\nNotSupport=No\r\n", "W98", "No"},
      {"unrecognised system", "[Application]\r\nW98=End\r\n[Message]\r\nNotSupport=No\r\n", "OTHER", "No"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk(c.ini);
    disk.SetOs(c.os);
    EXPECT_EQ(0, disk.Run());
    const auto messages = disk.machine.EventsOf<sim::MessageEvent>();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("NotSupport", messages[0].key);
    EXPECT_EQ(c.expectedText, messages[0].text);
    EXPECT_EQ(0x30u, messages[0].style);
    EXPECT_EQ(1u, disk.QuitRequests());
  }
}

TEST(RunScript, QuitRequestsWaitUntilTheScriptHasEnded) {
  // On NT, Install shows NotSupport and asks to quit; the message after it must still be shown, so
  // the quit request reaches the platform only once the script is over.
  SimDisk disk("[Application]\r\nNT40=Install,Install,ShowMsg\r\n");
  disk.SetOs("NT40");
  disk.Run();
  // The order of what the platform saw; the interpreter's own token events are left aside.
  std::vector<sim::Event> events;
  for (const sim::Event& event : disk.machine.Events()) {
    if (!std::holds_alternative<sim::TokenEvent>(event)) events.push_back(event);
  }
  ASSERT_EQ(7u, events.size());
  EXPECT_TRUE(std::holds_alternative<sim::StartEvent>(events[0]));
  EXPECT_EQ("NotSupport", std::get<sim::MessageEvent>(events[1]).key);
  EXPECT_EQ("NotSupport", std::get<sim::MessageEvent>(events[2]).key);
  EXPECT_EQ("ShowMsg", std::get<sim::MessageEvent>(events[3]).key);
  EXPECT_TRUE(std::holds_alternative<sim::QuitEvent>(events[4]));
  EXPECT_TRUE(std::holds_alternative<sim::QuitEvent>(events[5]));
  EXPECT_EQ(0, std::get<sim::ExitEvent>(events[6]).exitCode);
}

TEST(ShowMessage, TextComesFromTheMessageSectionExpandedAndCut) {
  struct Case {
    const char* name;
    std::string value;
    std::string expected;
  };
  const Case cases[] = {
      {"line break", "Line one\\nLine two", "Line one\r\nLine two"},
      {"tab", "A\\tB", "A\tB"},
      {"escape inside a path", "C:\\new", "C:\r\new"},
      {"quotes around the value are the reader's", "\"Quoted\"", "Quoted"},
      {"section and key found in another case", "Any case", "Any case"},
      {"511 characters fit", std::string(511, 'm'), std::string(511, 'm')},
      {"longer texts are cut to 511", std::string(600, 'm'), std::string(511, 'm')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk("[application]\r\nw98=ShowMsg\r\n[MESSAGE]\r\nshowmsg=" + c.value + "\r\n");
    disk.Run();
    const auto messages = disk.machine.EventsOf<sim::MessageEvent>();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(c.expected, messages[0].text);
  }
}

TEST(ReadEnvironment, PathsAndInstallationDirectory) {
  const std::string subDirs =
      "[SubDir]\r\nW95A=\\W95\r\nW95B=\\W95\r\nW98=\\W98\r\nWINNT=\\NT\r\nNT40=\\NT40\r\n";
  struct Case {
    const char* name;
    const char* os;
    std::string currentDirectory;
    std::string tail;
    std::string iniFolder;  // where QUELM.INI lies on the disk
    std::string baseDir;
    std::string iniPath;
    std::string installDir;
    bool scriptRuns;
  };
  const Case cases[] = {
      {"root of the disk", "W98", "D:\\", "", "", "D:", "D:\\QUELM.INI", "D:\\W98", true},
      {"subdirectory from the tail", "W95B", "D:\\", "\\DISK1", "DISK1", "D:\\DISK1", "D:\\DISK1\\QUELM.INI",
       "D:\\DISK1\\W95", true},
      {"names matched without regard to case", "W98", "d:\\", "\\disk1", "DISK1", "d:\\disk1",
       "d:\\disk1\\QUELM.INI", "d:\\disk1\\W98", true},
      {"plain NT reads no SubDir entry", "WINNT", "D:\\", "", "", "D:", "D:\\QUELM.INI", "D:", true},
      {"NT 4.0 reads its SubDir entry", "NT40", "D:\\", "", "", "D:", "D:\\QUELM.INI", "D:\\NT40", true},
      {"a tail ending in a blank names another folder", "W98", "D:\\", "\\DISK1 ", "DISK1", "D:\\DISK1 ",
       "D:\\DISK1 \\QUELM.INI", "D:\\DISK1 ", false},
      {"a path too long for its field means no file", "W98", "D:\\" + std::string(250, 'p'), "",
       std::string(250, 'p'), "D:\\" + std::string(250, 'p'), "", "D:\\" + std::string(250, 'p'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDisk disk("");
    disk.folder.Write(
        (c.iniFolder.empty() ? "" : c.iniFolder + "/") + "QUELM.INI",
        "[Application]\r\nW98=ShowMsg\r\nW95B=ShowMsg\r\nWINNT=ShowMsg\r\nNT40=ShowMsg\r\n" + subDirs);
    disk.SetOs(c.os);
    disk.machine.currentDirectory = c.currentDirectory;
    disk.machine.SetCommandTail(c.tail);
    disk.Run();
    const auto starts = disk.machine.EventsOf<sim::StartEvent>();
    ASSERT_EQ(1u, starts.size());
    EXPECT_EQ(c.baseDir, starts[0].baseDir);
    EXPECT_EQ(c.iniPath, starts[0].iniPath);
    EXPECT_EQ(c.installDir, starts[0].installDir);
    EXPECT_EQ(c.scriptRuns ? std::vector<std::string>{"ShowMsg"} : std::vector<std::string>{"NotSupport"},
              disk.MessageKeys());
  }
}

TEST(ReadEnvironment, UnreadableCurrentDirectoryLooksForTheFileAtTheRoot) {
  SimDisk disk("[Application]\r\nW98=ShowMsg\r\n");
  disk.machine.currentDirectoryReadable = false;
  disk.Run();
  const auto starts = disk.machine.EventsOf<sim::StartEvent>();
  ASSERT_EQ(1u, starts.size());
  EXPECT_EQ("", starts[0].baseDir);
  EXPECT_EQ("\\QUELM.INI", starts[0].iniPath);
  EXPECT_EQ(std::vector<std::string>{"ShowMsg"}, disk.MessageKeys());
}

}  // namespace
}  // namespace quelm
