// quelm-sim lint: finding each disk's QUELM.INI as the launcher finds it, and the findings.
#include "lint/LintCommand.h"

#include <filesystem>
#include <fstream>
#include <optional>

#include "console/RunOptions.h"
#include "lint/DiskLint.h"
#include "medium/Medium.h"
#include "sim/NearestWord.h"
#include "sim/SimFileSystem.h"
#include "sim/SimMachine.h"
#include "sim/SimProfile.h"

namespace quelm::tool {

namespace {

constexpr const char* kIniName = "QUELM.INI";

// A disk as the user named it: its folder, its QUELM.INI, and the path its findings are printed with.
struct NamedDisk {
  std::filesystem::path folder;
  std::filesystem::path file;
  std::string path;
};

// An image named as a disk: a regular file whose name says it is one.
bool IsImage(const std::string& typed) {
  std::error_code error;
  return IsImagePath(typed) && std::filesystem::is_regular_file(typed, error);
}

// An image's QUELM.INI is printed as "driver.iso:QUELM.INI": the image as typed, then the file in it,
// a form editors and CI jobs take for a path with a member.
std::string ImageIniPath(const std::string& typed) {
  return typed + ":" + kIniName;
}

// A folder is a disk whose QUELM.INI lies at its root, found in any case as the launcher finds it; a
// file is a disk's QUELM.INI. The path printed is the one typed, so that an editor jumps to it.
NamedDisk DiskNamed(const std::string& typed) {
  std::error_code error;
  if (std::filesystem::is_directory(typed, error)) {
    sim::FileSystem disk;
    disk.MapDrive('D', typed);
    const std::filesystem::path file =
        disk.Resolve(std::string("D:\\") + kIniName, 'D').value_or(std::filesystem::path(typed) / kIniName);
    const bool separated = !typed.empty() && (typed.back() == '/' || typed.back() == '\\');
    return {typed, file, typed + (separated ? "" : "/") + file.filename().string()};
  }
  if (std::filesystem::is_regular_file(typed, error)) {
    const std::filesystem::path folder = std::filesystem::path(typed).parent_path();
    return {folder.empty() ? std::filesystem::path(".") : folder, typed, typed};
  }
  throw UsageError("\"" + typed + "\" is neither a disk folder nor a QUELM.INI");
}

}  // namespace

LintCommand::LintCommand(CLI::App& app)
    : command_(app.add_subcommand(
          "lint",
          "Check disks for the mistakes the launcher passes over in silence; status 0 when clean, "
          "1 with findings, 2 when a disk cannot be read")) {
  command_
      ->add_option("DISK", disks_,
                   "Disk folders (QUELM.INI at their root), QUELM.INI files, or disk images "
                   "(.iso, .img, .ima), read as each Windows release reads them")
      ->required();
  command_->add_option("--codepage", codePage_, "The code page the disk's texts are written in")
      ->capture_default_str();
  command_
      ->add_option("--installer", installer_,
                   "The installer program vadrun.exe: search (it must be in the disk's root, "
                   "where QUELM.EXE starts from) or present (it joins the disk later)")
      ->check(CLI::IsMember({"search", "present"}))
      ->capture_default_str();
  command_->add_option("--no-check", skipped_, "Leave a check out of this run (repeatable)");
  command_->add_flag("--json", json_, "One JSON object per finding");
  command_->add_flag(
      "--fix", fix_,
      "Mend what can be mended exactly (blanks, quotes, hexadecimal IDs, the file's encoding and "
      "line ends) and keep the original beside the file as QUELM.INI.orig; an image is not edited");
  command_->add_option(
      "--pci-ids", pciIds_,
      "Name the vendor and device of card entries from a pci.ids file, or with auto from the "
      "system's (pciutils, hwdata)");
  command_->footer(
      "A comment line \"; quelm-lint: disable=CHECK[,CHECK]\" in QUELM.INI "
      "silences those checks on the next line.\n"
      "Findings read PATH:LINE:COLUMN: severity: message [check]; "
      "docs/disk-authoring.md lists every check.");
}

int LintCommand::Execute(std::ostream& out, std::ostream& errors) {
  if (!sim::IsKnownCodePage(codePage_)) throw UsageError("unknown --codepage " + std::to_string(codePage_));
  std::vector<std::string> names;
  for (const Check& check : Checks()) names.emplace_back(check.name);
  for (const std::string& skipped : skipped_) {
    if (CheckNamed(skipped) == nullptr) {
      throw UsageError("--no-check \"" + skipped + "\": no such check" + sim::DidYouMean(skipped, names));
    }
  }
  std::optional<PciIds> pciIds;
  if (!pciIds_.empty()) {
    try {
      pciIds = PciIds::Load(pciIds_);
    } catch (const PciIdsError& fault) {
      throw UsageError(fault.what());
    }
  }
  if (fix_) {
    for (const std::string& typed : disks_) {
      if (IsImage(typed)) {
        throw UsageError("--fix does not edit the image \"" + typed +
                         "\" in place: fix the disk folder it was made from, then master the image again");
      }
    }
  }
  int status = 0;
  for (const std::string& typed : disks_) {
    DiskToLint disk;
    std::optional<Medium> medium;
    ImageDisk image;
    sim::FileSystem files;
    NamedDisk named;
    if (IsImage(typed)) {
      named.path = ImageIniPath(typed);
      try {
        medium = OpenMedium(typed);
      } catch (const MediumError& fault) {
        errors << "quelm-sim: " << EscapeForTerminal(typed + ": " + fault.what()) << "\n";
        status = 2;
        continue;
      }
      image = ImageDiskOf(*medium, codePage_);
      if (!image.ini) {
        errors << "quelm-sim: " << EscapeForTerminal(typed)
               << ": no Windows release finds QUELM.INI in the image's root\n";
        status = 2;
        continue;
      }
      disk.bytes = *image.ini;
      disk.files = &image.files;
      disk.medium = &*medium;
    } else {
      named = DiskNamed(typed);
      files.MapDrive('D', named.folder);
      const sim::HostFile contents = sim::ReadHostFile(named.file);
      if (!contents.bytes) {
        errors << "quelm-sim: " << EscapeForTerminal(named.path + ": " + contents.fault) << "\n";
        status = 2;
        continue;
      }
      disk.bytes = *contents.bytes;
      disk.files = &files;
    }
    disk.codePage = codePage_;
    disk.installerJoinsLater = installer_ == "present";
    disk.skippedChecks.insert(skipped_.begin(), skipped_.end());
    disk.pciIds = pciIds ? &*pciIds : nullptr;
    if (fix_) {
      const FixedFile fixed = FixDisk(disk);
      if (fixed.applied > 0) {
        std::filesystem::path original = named.file;
        original += ".orig";
        std::ofstream(original, std::ios::binary | std::ios::trunc) << disk.bytes;
        std::ofstream(named.file, std::ios::binary | std::ios::trunc) << fixed.bytes;
        errors << "quelm-sim: " << EscapeForTerminal(named.path) << ": " << fixed.applied
               << (fixed.applied == 1 ? " fix" : " fixes") << " made, the original kept as "
               << EscapeForTerminal(named.path + ".orig") << "\n";
        disk.bytes = fixed.bytes;
      }
    }
    const std::vector<Finding> findings = LintDisk(disk);
    if (json_) {
      out << RenderFindingsJson(findings, named.path, codePage_);
    } else {
      out << RenderFindings(findings, named.path, codePage_) << SummaryOf(findings, named.path);
    }
    if (!findings.empty() && status == 0) status = 1;
  }
  return status;
}

}  // namespace quelm::tool
