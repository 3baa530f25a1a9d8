// Test support: whole disks with the machines they run on, shared by the failure sweep and the
// hostile-input table.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim/RegFile.h"
#include "support/SimDisk.h"

namespace quelm::testing {

// What a run must show: message keys (and their texts' lengths), installer command lines, files
// opened through the shell, and the exit code.
struct Expected {
  std::vector<std::string> messageKeys;
  std::vector<std::string> commandLines;
  std::vector<std::string> shellFiles;
  int32_t exitCode = 0;
  std::vector<size_t> messageLengths;  // checked when given
};

struct Scenario {
  std::string name;
  std::string ini;  // QUELM.INI at the disk's root; empty: none, or the example disk's own
  std::function<void(SimDisk&)> setUp;
  Expected expected;  // what the hostile-input table states
};

inline void UseExampleDisk(SimDisk& disk) {
  disk.machine.fileSystem.MapDrive('D', QUELM_EXAMPLES_DIR "/disk");
  // The stand-in installer program joins the example disk when the disk is made.
  disk.machine.installer.presence = sim::InstallerPresence::kPresent;
  sim::LoadRegFile(disk.machine.registry, QUELM_EXAMPLES_DIR "/machine/win98-card.reg");
  disk.machine.AddPciFunction(0, 0, 0, 0x8086, 0x7190);
  disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
}

// The example disk on the systems whose scripts differ, and disks that take the other paths: a
// missing installer program, an unregistered card, a second card list, a program opened afterwards.
inline std::vector<Scenario> ExampleScenarios() {
  const std::string kMessages =
      "[Message]\r\nDetectCard=No card\r\nDetectCardB=No second card\r\nCheckPCIKey=Not registered\r\n"
      "InstallFailed=Cannot start\r\nNotSupport=Not here\r\nShowMsgDone=Done\r\n";
  return {
      {"example W98", "",
       [](SimDisk& disk) {
         UseExampleDisk(disk);
         disk.machine.installer.exitCode = 3;
       }},
      {"example W95B, question answered OK", "",
       [](SimDisk& disk) {
         UseExampleDisk(disk);
         disk.SetOs("W95B");
         disk.machine.answers = {kAnswerOk};
       }},
      {"example NT40", "",
       [](SimDisk& disk) {
         UseExampleDisk(disk);
         disk.SetOs("NT40");
       }},
      {"second card list, unregistered card, program afterwards",
       "[Application]\r\nW98=DetectCard,DetectCardB,CheckPCIKey,Install,ExecTool,ShowMsgDone\r\n"
       "[SubDir]\r\nW98=\\W98\r\n[DetectCard]\r\n1=6699,15437,AGP,1,0\r\n[DetectCardB]\r\n1=1,2,PCI,0,0\r\n"
       "2=32902,28944,PCI,1,0\r\n[ExecTool]\r\nprogram=[CWD]\\TOOL.EXE,x,[CWD]\r\n" +
           kMessages,
       [](SimDisk& disk) {
         disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
         disk.machine.AddPciFunction(0, 0, 0, 0x8086, 0x7190);
         disk.machine.registry.Create("Enum\\PCI\\VEN_8086&DEV_7190&SUBSYS_00000000\\BUS_00&DEV_00&FUNC_00");
         disk.machine.installer.exitCode = 5;
       }},
      {"installer program missing",
       "[Application]\r\nW98=DetectCard,Install,ShowMsgDone\r\n[DetectCard]\r\n1=6699,15437,PCI,1,0\r\n" +
           kMessages,
       [](SimDisk& disk) {
         disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
         disk.machine.installer.presence = sim::InstallerPresence::kMissing;
       }},
  };
}

// The hostile disks and machines: every buffer filled to its size and one past it, control and 8-bit
// characters, a configuration file that is a folder, empty, binary or very large, registry names and
// values that do not fit. Each states its outcome.
std::vector<Scenario> HostileScenarios();

}  // namespace quelm::testing
