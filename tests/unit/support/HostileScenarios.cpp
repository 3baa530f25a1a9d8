// The hostile disks: each buffer at its size and one past it, odd characters, odd files, odd registry
// entries, with the outcome each must have.
#include <string>
#include <vector>

#include "support/Scenarios.h"

namespace quelm::testing {

namespace {

const std::string kMessages =
    "[Message]\r\nShowMsg=Shown\r\nDetectCard=No card\r\nCheckPCIKey=Not registered\r\nNotSupport=Not "
    "here\r\n";

std::string WithScript(const std::string& script, const std::string& more = "") {
  return "[Application]\r\nW98=" + script + "\r\nW95B=" + script + "\r\n" + more + kMessages;
}

void AddCard(SimDisk& disk) {
  disk.machine.AddPciFunction(1, 0, 0, 0x1A2B, 0x3C4D);
}

// A card entry whose device ID ends exactly at character `end`: padded in front with commas, which the
// comma rule skips.
std::string CardEntryEndingAt(size_t end) {
  return std::string(end - 10, ',') + "6699,15437";
}

// A program line of `length` characters: file, skipped field, and a working directory that fills it.
std::string ProgramLine(size_t length) {
  return "A.EXE,x,D:\\" + std::string(length - 11, 'w');
}

// The start of a program image: NUL bytes, bytes above 0x7F, and a "[" and "=" among them.
const char kBinaryFile[] = "MZ\x90\0\x03\0\0\0\x04\0[\0\xFF\xFF\0\0\xB8=\0\0\0\0\0\0@";

const std::string kCardId = "VEN_1A2B&DEV_3C4D";
const std::string kCardAt = "BUS_01&DEV_00&FUNC_00";

}  // namespace

std::vector<Scenario> HostileScenarios() {
  std::vector<Scenario> scenarios = {
      // --- Buffers at their size and one past it --------------------------------------------------
      {"script of 255 characters", WithScript(std::string(247, 'F') + ",ShowMsg"), nullptr, {{"ShowMsg"}}},
      {"script of 256 characters: its last token loses a letter",
       WithScript(std::string(248, 'F') + ",ShowMsg"),
       nullptr,
       {}},
      {"token of 255 characters names its own message",
       WithScript("ShowMsg" + std::string(248, 'x')),
       nullptr,
       {{"ShowMsg" + std::string(248, 'x')}, {}, {}, 0, {0}}},
      {"card entry whose device ID ends at its 255th character",
       WithScript("DetectCard,ShowMsg", "[DetectCard]\r\n1=" + CardEntryEndingAt(255) + "\r\n"),
       AddCard,
       {{"ShowMsg"}}},
      {"card entry one longer: the device ID is cut, and names no card",
       WithScript("DetectCard,ShowMsg", "[DetectCard]\r\n1=" + CardEntryEndingAt(256) + "\r\n"),
       AddCard,
       {{"DetectCard"}}},
      {"message of 511 characters",
       "[Application]\r\nW98=ShowMsg\r\n[Message]\r\nShowMsg=" + std::string(511, 'm'),
       nullptr,
       {{"ShowMsg"}, {}, {}, 0, {511}}},
      {"message of 512 characters is cut to 511",
       "[Application]\r\nW98=ShowMsg\r\n[Message]\r\nShowMsg=" + std::string(512, 'm'),
       nullptr,
       {{"ShowMsg"}, {}, {}, 0, {511}}},
      {"program line of 255 characters",
       WithScript("ExecTool", "[ExecTool]\r\nprogram=" + ProgramLine(255) + "\r\n"),
       nullptr,
       {{}, {}, {"A.EXE"}}},
      {"program line of 256 characters would reach the shell cut: not opened",
       WithScript("ExecTool,ShowMsg", "[ExecTool]\r\nprogram=" + ProgramLine(256) + "\r\n"),
       nullptr,
       {{"ShowMsg"}}},
      {"base directory of 249 characters: its configuration-file path fills 259",
       "",
       [](SimDisk& disk) {
         const std::string folder(246, 'b');  // "D:" + "\\" + 246 characters
         disk.folder.Write(folder + "/QUELM.INI", WithScript("ShowMsg"));
         disk.machine.SetCommandTail("\\" + folder);
       },
       {{"ShowMsg"}}},
      {"base directory of 250 characters: the path would be cut, so there is no configuration file",
       "",
       [](SimDisk& disk) {
         const std::string folder(247, 'b');
         disk.folder.Write(folder + "/QUELM.INI", WithScript("ShowMsg"));
         disk.machine.SetCommandTail("\\" + folder);
       },
       {{"NotSupport"}}},
      {"base directory and tail of 256 characters: no base directory, so the root's configuration file",
       WithScript("DetectCard"),
       [](SimDisk& disk) {
         const std::string folder(253, 'b');
         disk.folder.Write(folder + "/QUELM.INI", WithScript("ShowMsg"));
         disk.machine.SetCommandTail("\\" + folder);
       },
       {{"DetectCard"}}},
      {"SubDir of 255 characters after a base directory of 7: the installation directory is cut to 259",
       "",
       [](SimDisk& disk) {
         disk.folder.Write("DISK/QUELM.INI",
                           WithScript("Install", "[SubDir]\r\nW98=\\" + std::string(254, 's') + "\r\n"));
         disk.machine.SetCommandTail("\\DISK");
       },
       {{}, {"vadrun.exe Enum\\PCI\\  D:\\DISK\\" + std::string(251, 's') + " 0"}}},
      // --- Control and 8-bit characters -----------------------------------------------------------
      {"control and 8-bit characters in tokens",
       WithScript("Show\x01Msg,Show\tMsg,ShowMsg\xFF"),
       nullptr,
       {{"ShowMsg\xFF"}}},
      {"8-bit and control characters in a card entry",
       WithScript("DetectCard", "[DetectCard]\r\n1=\xFF\x01,\x80\r\n"),
       AddCard,
       {{"DetectCard"}}},
      // --- Configuration files that are none ------------------------------------------------------
      {"QUELM.INI is a folder",
       "",
       [](SimDisk& disk) {
         disk.folder.Write("QUELM.INI/inside.txt", "[Application]\r\nW98=ShowMsg\r\n");
       },
       {{"NotSupport"}}},
      {"QUELM.INI is empty",
       "",
       [](SimDisk& disk) {
         disk.folder.Write("QUELM.INI", "");
       },
       {{"NotSupport"}}},
      {"QUELM.INI is binary", std::string(kBinaryFile, sizeof kBinaryFile - 1), nullptr, {{"NotSupport"}}},
      {"QUELM.INI of 8 MB, its script at the end: Windows XP reads it all",
       std::string(8u << 20, ';').replace(0, 1, "[Padding]\r\n") + "\r\n[Application]\r\nWINNT=ShowMsg\r\n" +
           kMessages,
       [](SimDisk& disk) {
         disk.SetOs("WINNT");
       },
       {{"ShowMsg"}}},
      {"QUELM.INI of 8 MB, its script at the end: Windows 98 reads only its first 64 KB",
       std::string(8u << 20, ';').replace(0, 1, "[Padding]\r\n") + "\r\n" + WithScript("ShowMsg"),
       nullptr,
       {{"NotSupport"}}},
      // --- Registry entries that do not fit -------------------------------------------------------
      {"USB supplement name longer than its buffer: not installed, so the question is asked",
       WithScript("ShowUSBMsg,ShowMsg"),
       [](SimDisk& disk) {
         disk.SetOs("W95B");
         disk.machine.registry.SetString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OSR21",
                                         "DisplayName", "USB " + std::string(300, 'u'));
       },
       {{"ShowUSBMsg", "ShowMsg"}}},
      {"hardware key name too long ends the enumeration before the card's key",
       WithScript("DetectCard,CheckPCIKey,ShowMsg", "[DetectCard]\r\n1=6699,15437,PCI,1,0\r\n"),
       [](SimDisk& disk) {
         AddCard(disk);
         disk.machine.registry.Create("Enum\\PCI\\A" + std::string(300, 'k') + "\\" + kCardAt);
         disk.machine.registry.Create("Enum\\PCI\\" + kCardId + "\\" + kCardAt);
       },
       {{"CheckPCIKey"}}},
  };
  return scenarios;
}

}  // namespace quelm::testing
