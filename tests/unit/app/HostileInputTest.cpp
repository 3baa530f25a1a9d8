// Hostile disks and machines, run whole: each ends as its case states, within its buffers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Scenarios.h"

namespace quelm {
namespace {

using testing::Scenario;
using testing::SimDisk;

TEST(HostileInput, EachDiskEndsAsStated) {
  for (const Scenario& scenario : testing::HostileScenarios()) {
    SCOPED_TRACE(scenario.name);
    SimDisk disk(scenario.ini);
    if (scenario.setUp) scenario.setUp(disk);
    const int32_t exitCode = disk.Run();

    const testing::Expected& expected = scenario.expected;
    EXPECT_EQ(expected.messageKeys, disk.MessageKeys());
    std::vector<std::string> commandLines;
    for (const auto& installer : disk.machine.EventsOf<sim::InstallerEvent>()) {
      commandLines.push_back(installer.commandLine);
    }
    EXPECT_EQ(expected.commandLines, commandLines);
    std::vector<std::string> shellFiles;
    for (const auto& shell : disk.machine.EventsOf<sim::ShellEvent>()) shellFiles.push_back(shell.file);
    EXPECT_EQ(expected.shellFiles, shellFiles);
    EXPECT_EQ(expected.exitCode, exitCode);
    if (!expected.messageLengths.empty()) {
      std::vector<size_t> lengths;
      for (const auto& message : disk.machine.EventsOf<sim::MessageEvent>())
        lengths.push_back(message.text.size());
      EXPECT_EQ(expected.messageLengths, lengths);
    }
    EXPECT_TRUE(disk.machine.EventsOf<sim::HangEvent>().empty());
    EXPECT_EQ(0u, disk.machine.OpenHandles());
  }
}

}  // namespace
}  // namespace quelm
