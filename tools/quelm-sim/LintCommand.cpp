// quelm-sim lint: reading the disk's QUELM.INI as the simulated machine does, and the findings.
#include "LintCommand.h"

#include <filesystem>

#include "DiskLint.h"
#include "RunOptions.h"
#include "platform/sim/SimFileSystem.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimProfile.h"

namespace quelm::tool {

namespace {

constexpr const char* kIniName = "QUELM.INI";

}  // namespace

LintCommand::LintCommand(CLI::App& app)
    : command_(
          app.add_subcommand("lint",
                             "Check a disk's QUELM.INI for the mistakes the launcher passes over in silence; "
                             "status 0 when clean, 1 with findings, 2 when the disk cannot be read")) {
  command_->add_option("DISK", disk_, "Folder holding the disk's files, QUELM.INI at its root")->required();
  command_->add_option("--codepage", codePage_, "The code page the disk's texts are written in")
      ->capture_default_str();
  command_
      ->add_option("--installer", installer_,
                   "The installer program vadrun.exe: search (it must be in the disk's root, where QUELM.EXE "
                   "starts from) or present (it joins the disk later)")
      ->check(CLI::IsMember({"search", "present"}))
      ->capture_default_str();
  command_->add_flag("--json", json_, "One JSON object per finding");
}

int LintCommand::Execute(std::ostream& out) {
  std::error_code error;
  if (!std::filesystem::is_directory(disk_, error))
    throw UsageError("disk folder \"" + disk_ + "\" does not exist");
  if (!sim::IsKnownCodePage(codePage_)) throw UsageError("unknown --codepage " + std::to_string(codePage_));
  // The file as the launcher finds it: on the disk's root, its name in any case.
  sim::FileSystem disk;
  disk.MapDrive('D', disk_);
  const std::optional<std::string> contents = disk.ReadFile(std::string("D:\\") + kIniName, 'D');
  if (!contents) throw UsageError("no readable " + std::string(kIniName) + " in \"" + disk_ + "\"");
  DiskToLint toLint;
  toLint.bytes = *contents;
  toLint.files = &disk;
  toLint.codePage = codePage_;
  toLint.installerJoinsLater = installer_ == "present";
  const std::vector<Finding> findings = LintDisk(toLint);
  if (json_) {
    out << RenderFindingsJson(findings, kIniName, codePage_);
  } else {
    out << RenderFindings(findings, kIniName, codePage_) << SummaryOf(findings, kIniName);
  }
  return findings.empty() ? 0 : 1;
}

}  // namespace quelm::tool
