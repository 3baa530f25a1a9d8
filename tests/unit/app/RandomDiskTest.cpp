// Random, mostly malformed disks: every run must end, stay within its buffers and release what it opened.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/SimDisk.h"

namespace quelm {
namespace {

using testing::SimDisk;

class DiskGenerator {
 public:
  explicit DiskGenerator(uint32_t seed) : random_(seed) {}

  std::string Ini() {
    std::string ini;
    if (Chance(10)) ini += "\xEF\xBB\xBF";  // a byte-order mark now and then
    ini += "[Application]\r\n";
    for (const char* os : {"W95A", "W95B", "W95C", "W98", "WIN95", "WINNT", "NT31", "NT35X", "NT40"}) {
      if (Chance(70)) ini += std::string(os) + "=" + Script() + Newline();
    }
    ini += "[SubDir]\r\nW98=" + Noise(Pick(300)) + "\r\nW95B=\\" + Noise(8) + "\r\n";
    for (const std::string& section : sections_) {
      ini += "[" + section + "]" + Newline();
      const int entries = Pick(6);
      for (int n = 1; n <= entries; ++n)
        ini += std::to_string(Chance(90) ? n : Pick(9)) + "=" + Entry() + Newline();
      if (Chance(50)) ini += "program=" + ProgramLine() + Newline();
    }
    ini += "[Message]\r\n";
    for (const std::string& key : keys_) ini += key + "=" + Noise(Pick(700)) + Newline();
    if (Chance(15)) ini.resize(static_cast<size_t>(Pick(static_cast<int>(ini.size()) + 1)));  // cut off
    return ini;
  }

  std::string Tail() { return Chance(50) ? "" : Noise(Pick(Chance(10) ? 300 : 20)); }
  int32_t Answer() { return Chance(30) ? kAnswerCancel : kAnswerOk; }
  bool Chance(int percent) { return Pick(100) < percent; }
  int Pick(int limit) { return limit <= 0 ? 0 : static_cast<int>(random_() % static_cast<uint32_t>(limit)); }

 private:
  std::string Script() {
    static const char* kWords[] = {"DetectCard", "CheckPCIKey", "ShowMsg", "ShowUSBMsg", "Install",
                                   "Exec",       "End",         "Foo",     "",           "detectcard"};
    std::string script;
    if (Chance(50)) {
      // Mostly the shape real disks have, so that runs get past the first command.
      for (const char* token : {"DetectCard", "CheckPCIKey", "ShowUSBMsg", "Install", "ExecA"}) {
        sections_.push_back(token);
        keys_.push_back(token);
        script += std::string(token) + ",";
      }
    }
    const int tokens = Pick(8);
    for (int i = 0; i < tokens; ++i) {
      std::string token = kWords[Pick(10)];
      if (Chance(40)) token += Noise(Pick(5));
      if (Chance(10)) token = " " + token;
      sections_.push_back(token);
      keys_.push_back(token);
      script += token + std::string(static_cast<size_t>(1 + Pick(3)), ',');
    }
    if (Chance(20)) script += std::string(static_cast<size_t>(Pick(300)), ',');
    return script;
  }

  std::string Entry() {
    std::string entry = Chance(70) ? "6699,15437," : "";
    static const char* kFields[] = {
        "6699", "15437", "AGP",         "agp",           "1", "0", "10", " 1", "0x1A2B",
        "-1",   "65535", "99999999999", "PCIEXPRESSBUS", ""};
    const int fields = Pick(7);
    for (int i = 0; i < fields; ++i)
      entry += std::string(kFields[Pick(14)]) + std::string(static_cast<size_t>(Pick(3)), ',');
    return entry;
  }

  std::string ProgramLine() {
    static const char* kParts[] = {"[CWD]", "[OS]", "[cwd]", "[CW", "D]",
                                   "\\",    ",",    "A.EXE", "x",   "[O[OS]S]"};
    std::string line = Chance(50) ? "[CWD]\\A.EXE,x,[CWD]" : "";
    const int parts = Pick(12);
    for (int i = 0; i < parts; ++i) line += kParts[Pick(10)];
    return line;
  }

  std::string Noise(int length) {
    static const char kAlphabet[] = "abcXYZ \\nt,[]\"'=;\t\x01\xE9\xFF";
    std::string text;
    for (int i = 0; i < length; ++i) text += kAlphabet[Pick(sizeof kAlphabet - 1)];
    return text;
  }

  std::string Newline() {
    static const char* kEnds[] = {"\r\n", "\n", "\r"};
    return kEnds[Pick(3)];
  }

  std::mt19937 random_;
  std::vector<std::string> sections_;
  std::vector<std::string> keys_;
};

TEST(RandomDisks, EveryRunEndsWithinItsBuffersAndReleasesWhatItOpened) {
  for (uint32_t seed = 1; seed <= 1000; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    DiskGenerator generate(seed);
    SimDisk disk(generate.Ini());
    disk.SetOs(generate.Chance(70) ? "W98" : (generate.Chance(50) ? "W95B" : "NT40"));
    disk.machine.SetCommandTail(generate.Tail());
    if (generate.Chance(80)) disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
    if (generate.Chance(60)) disk.machine.registry.Create("Enum\\PCI\\VEN_1A2B&DEV_3C4D\\000800");
    if (generate.Chance(60))
      disk.machine.registry.Create("Enum\\PCI\\VEN_1A2B&DEV_3C4D\\BUS_01&DEV_00&FUNC_00");
    for (int i = 0; i < 4; ++i) disk.machine.answers.push_back(generate.Answer());
    disk.machine.installer.presence =
        generate.Chance(80) ? sim::InstallerPresence::kPresent : sim::InstallerPresence::kMissing;
    disk.machine.installer.exitCode = static_cast<uint32_t>(generate.Pick(5));

    const int32_t exitCode = disk.Run();

    const auto& events = disk.machine.Events();
    ASSERT_GE(events.size(), 2u);
    ASSERT_TRUE(std::holds_alternative<sim::StartEvent>(events.front()));
    ASSERT_TRUE(std::holds_alternative<sim::ExitEvent>(events.back()));
    int32_t expectedExit = 0;
    for (const sim::Event& event : events) {
      if (const auto* message = std::get_if<sim::MessageEvent>(&event)) {
        EXPECT_LE(message->text.size(), 511u);
        EXPECT_TRUE(message->style == 0x30 || message->style == 0x31);
      } else if (const auto* shell = std::get_if<sim::ShellEvent>(&event)) {
        EXPECT_FALSE(shell->file.empty());
        EXPECT_LE(shell->file.size(), 255u);
        EXPECT_LE(shell->directory.value_or("").size(), 255u);
      } else if (const auto* installer = std::get_if<sim::InstallerEvent>(&event)) {
        EXPECT_EQ(0u, installer->commandLine.rfind("vadrun.exe Enum\\PCI\\", 0));
        expectedExit = static_cast<int32_t>(installer->started ? installer->exitCode : installer->error);
      }
    }
    EXPECT_EQ(expectedExit, exitCode);
    EXPECT_EQ(0u, disk.machine.OpenHandles());
  }
}

}  // namespace
}  // namespace quelm
