// lint's checks of AUTORUN.INF on disk images: each finding names exactly the releases whose view of the
// image meets it, and a floppy, which no release runs AutoRun from, gets the one note-like warning.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "autorun/AutoRun.h"
#include "console/RunOptions.h"
#include "lint/DiskLint.h"
#include "medium/Medium.h"
#include "support/DiskImages.h"

namespace quelm::tool {
namespace {

std::string Win32Program() {
  std::string bytes(0x44, '\0');
  bytes.replace(0, 2, "MZ");
  bytes[0x3C] = 0x40;
  bytes.replace(0x40, 4, std::string("PE\0\0", 4));
  return bytes;
}

const char kIni[] = "[Application]\r\nW98=DetectCard,End\r\n[DetectCard]\r\n1=6699,15437,AGP,1,0\r\n";

struct Case {
  const char* name;
  Medium medium;
  std::vector<std::string> expected;  // "check | note" of each AUTORUN.INF finding, in order
  // The releases that find the file and never run AutoRun, as the findings' last note names them.
  std::string never = "win32s, nt31, nt35, nt351";
};

Medium Cd(std::vector<testing::IsoNode> nodes, bool joliet) {
  testing::IsoImage image;
  image.joliet = joliet;
  image.root.children = std::move(nodes);
  return ReadIso9660(ImageBytes::FromMemory(image.Build()));
}

Medium Floppy(std::vector<testing::FatNode> nodes) {
  testing::FatImage image;
  image.root = std::move(nodes);
  return ReadFat(ImageBytes::FromMemory(image.Build()));
}

TEST(AutoRunLint, EachFindingNamesTheReleasesWhoseViewMeetsIt) {
  const std::string program = Win32Program();
  // No command tail: the launcher in SETUP starts in the disc's root, where QUELM.INI is.
  const std::string inf = "[autorun]\r\nopen=SETUP\\QUELM.EXE\r\n";
  const std::string longInf = "[autorun]\r\nopen=\"Setup Files\\QUELM.EXE\" \\SETUP\r\n";
  const std::string wrongTail = "[autorun]\r\nopen=SETUP\\QUELM.EXE \\SETUP\r\n";
  const std::string neverRun =
      " never run AutoRun: there the user starts QUELM.EXE from File Manager, in its own folder";
  Case cases[] = {
      {"a CD whose folder is in capitals: nothing to report",
       Cd({testing::IsoFile("AUTORUN.INF;1", "AUTORUN.INF", inf), testing::IsoFile("QUELM.INI;1", "", kIni),
           testing::IsoFolder("SETUP", "SETUP", {testing::IsoFile("QUELM.EXE;1", "QUELM.EXE", program)})},
          true),
       {}},
      {"a tail that names a folder without QUELM.INI: the launcher finds no file where AutoRun runs",
       Cd({testing::IsoFile("AUTORUN.INF;1", "AUTORUN.INF", wrongTail),
           testing::IsoFile("QUELM.INI;1", "QUELM.INI", kIni),
           testing::IsoFolder("SETUP", "SETUP", {testing::IsoFile("QUELM.EXE;1", "QUELM.EXE", program)})},
          true),
       {"autorun-base-without-ini | on every release that runs AutoRun from this disk"}},
      {"small letters in the primary tree, which NT 4.0 and 2000 do not find",
       Cd({testing::IsoFile("AUTORUN.INF;1", "", inf),
           testing::IsoFolder("setup", "", {testing::IsoFile("QUELM.EXE;1", "", program)})},
          false),
       {"autorun-program-missing | on nt4, 2000"}},
      {"a long folder name only the Joliet tree has: releases of the primary tree miss the program",
       Cd({testing::IsoFile("AUTORUN.INF;1", "AUTORUN.INF", longInf),
           testing::IsoFolder("SETUP_FI", "Setup Files",
                              {testing::IsoFile("QUELM.EXE;1", "QUELM.EXE", program)})},
          true),
       {}},
      {"a long folder name on a CD without Joliet: missing everywhere AutoRun runs",
       Cd({testing::IsoFile("AUTORUN.INF;1", "", longInf),
           testing::IsoFolder("SETUP_FI", "", {testing::IsoFile("QUELM.EXE;1", "", program)})},
          false),
       {"autorun-program-missing | on every release that runs AutoRun from this disk"}},
      {"a floppy: no release runs it",
       Floppy({testing::FatFile("AUTORUN.INF", "", inf),
               testing::FatFolder("SETUP", "", {testing::FatFile("QUELM.EXE", "", program)})}),
       {"autorun-not-started | "}},
      {"an AUTORUN.INF only NT 4.0 and 2000 miss, in small letters",
       Cd({testing::IsoFile("autorun.inf;1", "", "[autoplay]\r\n"),
           testing::IsoFile("QUELM.EXE;1", "", program)},
          false),
       {"autorun-no-section | on 95, 95-osr1, 95-osr2, 95-osr21, 95-osr25, 98, 98se, me, xp, vista, 7, 8, 10, 11"},
       "win32s"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    DiskToLint disk;
    disk.bytes = kIni;
    disk.medium = &c.medium;
    disk.skippedChecks = {"missing-installer", "missing-folder", "missing-subdir", "install-not-offered"};
    std::vector<std::string> actual;
    for (const Finding& finding : LintDisk(disk)) {
      if (finding.file != "AUTORUN.INF") continue;
      std::string first = finding.notes.empty() ? "" : finding.notes.front();
      if (first.find("never run AutoRun") != std::string::npos) first.clear();
      actual.push_back(finding.check + " | " + first);
      if (finding.check != "autorun-not-started") {
        // After the releases that meet it; the start's own notes (what was taken) may follow.
        ASSERT_GE(finding.notes.size(), 2U) << finding.message;
        EXPECT_EQ(c.never + neverRun, finding.notes[1]) << finding.message;
      }
    }
    EXPECT_EQ(c.expected, actual);
  }
}

// The releases a finding's first note names: "on every release that runs AutoRun from this disk", or
// "on 95, 98, ...".
std::set<std::string> ReleasesNamed(const Finding& finding, const std::set<std::string>& running) {
  if (finding.notes.empty()) return running;
  const std::string& note = finding.notes.front();
  if (note.rfind("on every release", 0) == 0) return running;
  std::set<std::string> named;
  if (note.rfind("on ", 0) != 0) return named;
  std::stringstream list(note.substr(3));
  for (std::string alias; std::getline(list, alias, ',');)
    named.insert(alias.substr(alias.find_first_not_of(' ')));
  return named;
}

TEST(AutoRunLint, LintAndRunAgreeOnWhoStartsTheLauncher) {
  // On every release, run starts the launcher by AutoRun exactly where AutoRun runs from a CD and lint
  // reports nothing that keeps it from starting the launcher there.
  const char* disks[] = {"lint/autorun-no-section",
                         "lint/autorun-no-open",
                         "lint/autorun-program-missing",
                         "lint/autorun-unquoted-blank",
                         "lint/autorun-not-started",
                         "disks/autorun",
                         "lint/clean"};
  const std::set<std::string> blocking = {"autorun-no-section", "autorun-no-open", "autorun-program-missing",
                                          "autorun-not-started"};
  std::set<std::string> running;
  for (const sim::WindowsRelease& release : sim::WindowsReleases()) {
    if (RuleOf(release.record, DiskKind::kCd).runsEntry) running.insert(release.alias);
  }
  for (const char* name : disks) {
    SCOPED_TRACE(name);
    const std::filesystem::path path = std::filesystem::path(QUELM_TEST_DATA_DIR) / name;
    sim::FileSystem files;
    files.MapDrive('D', path);
    DiskToLint disk;
    disk.bytes = files.ReadFile("D:\\QUELM.INI", 'D').value_or("");
    disk.files = &files;
    std::set<std::string> blocked;
    for (const Finding& finding : LintDisk(disk)) {
      if (finding.file != "AUTORUN.INF" || blocking.count(finding.check) == 0) continue;
      for (const std::string& alias : ReleasesNamed(finding, running)) blocked.insert(alias);
    }
    for (const sim::WindowsRelease& release : sim::WindowsReleases()) {
      SCOPED_TRACE(release.alias);
      RunOptions options;
      options.disk = path.string();
      options.os = release.alias;
      sim::SimMachine machine;
      ApplyOptions(options, machine);
      machine.RunLauncher();
      const auto starts = machine.EventsOf<sim::StartEvent>();
      ASSERT_EQ(1u, starts.size());
      const bool byAutoRun = starts.front().launch && starts.front().launch->startedBy == "autorun";
      const bool lintSaysSo = running.count(release.alias) != 0 && blocked.count(release.alias) == 0 &&
                              files.EntryAt("D:\\AUTORUN.INF", 'D') == sim::FileSystem::Entry::kFile;
      EXPECT_EQ(lintSaysSo, byAutoRun);
    }
  }
}

}  // namespace
}  // namespace quelm::tool
