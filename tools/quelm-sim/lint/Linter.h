// The linter of one disk: what its checks share (where things are, values read as the launcher reads
// them, the findings), with each family of checks in a file of its own.
#pragma once

#include <stdint.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/ScriptCommands.h"
#include "lint/DiskLint.h"
#include "lint/LintText.h"
#include "sim/SimCodePage.h"

namespace quelm::tool::lint {

struct ReleaseDrive;

// What a finding says beyond its message.
struct Advice {
  std::vector<std::string> notes;
  std::string help;
  std::optional<Fix> fix;
};

class Linter {
 public:
  Linter(const sim::ProfileFile& file, std::string_view text, const DiskToLint& disk)
      : file_(file), text_(text), disk_(disk), leadBytes_(LeadBytesWhere([&disk](uint8_t byte) {
          return sim::IsLeadByteOf(disk.codePage, byte);
        })) {}

  std::vector<Finding> Run();

 private:
  using Section = sim::ProfileFile::SectionLines;
  using Key = sim::ProfileFile::KeyLine;

  void Report(Place place, const char* check, const std::string& message, Advice advice = {});

  // --- Where things are --------------------------------------------------------------------------------

  static Place PlaceOf(const Section& section);
  static Place PlaceOf(const Key& key);
  // Byte `offset` of a key's value as the launcher gets it: past the quote the reader removes.
  static Place PlaceInValue(const Key& key, size_t offset);
  // Byte offset in the file of byte `offset` of a key's value as the launcher gets it.
  size_t OffsetInValue(const Key& key, size_t offset) const;
  // A fix that replaces `length` bytes at byte `offset` of a key's value as the launcher gets it.
  Fix ReplaceInValue(const Key& key, size_t offset, size_t length, std::string replacement) const;
  // The key's place if the reader finds it, else its section's, else `otherwise`.
  Place PlaceOf(std::string_view section, std::string_view key, Place otherwise) const;

  // --- Reading values as the launcher does ---------------------------------------------------------

  // A key line's value as the launcher gets it in a buffer of `capacity`; a value it gets cut is a
  // finding, placed where the cut falls.
  std::string ReadKey(const Key& key, std::string_view section, unsigned capacity);
  // For questions only, without findings.
  std::string Peek(std::string_view section, std::string_view key, unsigned capacity) const;

  void NeedMessage(const std::string& key, Place place, const std::string& why);
  // The section whose name is nearest `name` (a slip of the keyboard away), or null.
  const Section* NearestSection(const std::string& name) const;
  // Where a finding about the missing section `name` goes: the nearest section's header, where one is,
  // since the slip is likelier there, with a help to rename it; else `otherwise`.
  Place PlaceOfMissing(const std::string& name, const char* what, Place otherwise, Advice& advice) const;

  // --- Directives ----------------------------------------------------------------------------------

  // "; quelm-lint: disable=CHECK[,CHECK]" silences those checks on the next line that holds anything
  // but blanks or another directive.
  void ReadDirectives();
  // The checks a directive line names; nothing for a line that is no directive.
  std::optional<std::set<std::string>> DirectiveChecks(std::string_view text, unsigned line);

  // --- Names that are never read -------------------------------------------------------------------

  void CheckRepeatedNames();

  // --- Scripts ------------------------------------------------------------------------------------

  // Every script line of every [Application] section: those the launcher reads for its systems, and
  // those it never reads, checked alike so that one pass finds every mistake.
  void CheckScripts();
  void CheckScript(const ScriptSource& source, const std::string& script);
  // A token as the launcher reads it against what it plainly means; false where it selects no command.
  bool CheckTokenMeaning(const ScriptSource& source, const std::string& token, size_t offset);
  // What a token names must be there wherever it stands; what it does to a system is checked only where
  // the launcher reads the script and the token runs.
  void CheckToken(const ScriptSource& source, const ScriptCommand& command, const std::string& token,
                  Place place, std::string& endedBy);
  void CheckInstall(OsKind kind, const std::string& token, Place place);
  // The section a token names, first named at `place`, is run by `system` (none: by no system).
  struct SectionUse;
  static void NoteUse(std::map<std::string, SectionUse>& uses, const std::string& token, Place place,
                      const std::string& system);

  // --- SubDir -------------------------------------------------------------------------------------

  void CheckSubDirs();

  // --- Card lists ---------------------------------------------------------------------------------

  void CheckCardLists();
  void CheckCardEntry(const std::string& section, const Key& key, const std::string& entry,
                      const std::set<std::string>& systems);
  // A vendor ID, or with `vendor` a device ID of that vendor.
  void CheckId(const std::string& where, const Key& key, size_t offset, std::string_view field,
               const char* what, const std::set<std::string>& systems, std::optional<uint16_t> vendor);
  void CheckBusType(const std::string& where, const Key& key, size_t offset, std::string_view field,
                    const std::set<std::string>& systems);
  void CheckPassFlag(const std::string& where, const Key& key, size_t offset, std::string_view field,
                     const std::set<std::string>& systems);
  // The check and mending fix for a field whose blanks or quotes make the difference, where they do;
  // null where neither does.
  const char* BlankOrQuote(const Key& key, size_t offset, std::string_view field, Advice& advice) const;
  // The card's name, "1A2B:3C4D" and, with --pci-ids, what the database calls it.
  std::string CardText(uint16_t vendor, uint16_t device) const;

  // --- Programs -----------------------------------------------------------------------------------

  void CheckPrograms();
  void CheckProgramFields(const std::string& section, const Key& key, const std::string& program,
                          const std::set<std::string>& systems);

  // --- Messages -----------------------------------------------------------------------------------

  void CheckMessages();
  // "\n" and "\t" are escapes wherever they stand: inside a path they break the path. A path here is a
  // word (up to the blank before it) ending in a drive's colon, or holding a backslash of its own.
  void CheckEscapesInPaths(const Key& key, const std::string& text);

  // --- The file's bytes -----------------------------------------------------------------------------

  // False for a file that is no profile file at all, which gets its one finding and no other.
  bool CheckIsProfile();
  void CheckEncoding();
  // No Windows knows the UTF-8 mark: its three bytes begin line 1, so what is written there is not what
  // it seems. A mark before a blank line or a comment hides nothing.
  void CheckUtf8Mark(std::string_view bytes);
  // Text an editor saved as UTF-8 shows as other characters on Windows, which reads the file in its
  // code page: one finding per line, with the text as written and as it will show; a character the
  // code page lacks gets one of its own.
  void CheckUtf8Text(std::string_view bytes, size_t markLength);
  void CheckUtf8Line(std::string_view text, unsigned line, size_t columnShift);
  void CheckLineEnds();

  // --- The disk's files -----------------------------------------------------------------------------

  void CheckDiskFiles();
  // The file and working directory of an Exec line, with the launcher started at the disk's root and no
  // command tail: [CWD] is then D:.
  void CheckProgramFiles(const std::string& section);
  // The disk path ("D:\...") a path of the program line names, when it lies on the disk: on D:, or from
  // the root of the current drive, which is D: at the disk's root.
  static std::optional<std::string> DiskPath(const std::string& path);
  bool OnDisk(const std::string& windowsPath, bool folder) const;
  // Each part of a path on the disk that a plain ISO 9660 CD cannot carry, once per path.
  void CheckShortNames(const std::string& path, Place place, const std::string& where);

  // --- The image ----------------------------------------------------------------------------------

  // Where the disk is an image: what each release's drive (the one run gives it) holds of what the file
  // names, against the drive lint reads; and the image's names that some release reads otherwise.
  void CheckMedium();
  std::vector<ReleaseDrive> ReleaseDrives() const;
  // A file or folder the disk's file names: where, for which systems, and what its absence does.
  struct NamedOnDisk {
    std::string path;  // from the disk's root: "\README.TXT"
    bool folder = false;
    Place place;
    std::string what;
    std::set<std::string> systems;
    std::string consequence;
  };
  std::vector<NamedOnDisk> NamesOnDisk() const;
  void CheckIniOnReleases(const std::vector<ReleaseDrive>& drives);
  void CheckNamedOnReleases(const std::vector<ReleaseDrive>& drives, const NamedOnDisk& named);
  // A name lint's drive lacks that the image holds cut short or as a Rock Ridge name alone.
  void ExplainMissing(const ReleaseDrive& widest, const NamedOnDisk& named);
  void CheckImageNames(const std::vector<ReleaseDrive>& drives);
  void CheckFoldedNames(const std::vector<ReleaseDrive>& drives);

  // --- The flow of each script ------------------------------------------------------------------------

  // Runs each script, by the launcher's own code, on the reference machines of each release, and
  // reports what cannot work as meant there.
  void CheckFlow();

  struct MessageNeed {
    std::string key;
    Place place;
    std::string why;
  };
  // A section a script token names: its name as first written, where, and the systems whose scripts
  // the launcher reads and run the token.
  struct SectionUse {
    std::string name;
    Place place;
    std::set<std::string> systems;
  };
  // A token of a script the launcher reads: where it stands, by its index in the script.
  struct TokenPlace {
    std::string token;
    Place place;
  };

  const sim::ProfileFile& file_;
  std::string_view text_;
  const DiskToLint& disk_;
  LeadBytes leadBytes_;
  std::vector<std::string_view> lines_;  // of `text_`, as an editor counts them
  std::vector<Finding> findings_;
  std::map<unsigned, std::set<std::string>> disabled_;  // by line: checks silenced there
  std::map<std::string, SectionUse> cardLists_;         // by folded name
  std::map<std::string, SectionUse> programs_;
  std::map<std::string, MessageNeed> messagesNeeded_;
  std::set<std::string> reportedSubDir_;
  std::set<std::string> scripted_;                               // systems with a script the launcher reads
  std::map<std::string, Place> installs_;                        // systems whose script reaches Install
  std::map<std::string, std::vector<TokenPlace>> scriptTokens_;  // by system: its script's tokens
  std::set<std::string> shortNamesChecked_;
  std::set<std::string> mediumNamesReported_;
  // By the folded path the shell was asked to open (or kInstallerProgram): the releases on whose
  // drive a reference run found it missing.
  std::map<std::string, std::set<std::string>>
      missingOnRun_;  // folded: image names a finding at a line has named
};

// The findings in the disk's AUTORUN.INF, each with the releases that meet it (AutoRunChecks.cpp).
std::vector<Finding> CheckAutoRun(const DiskToLint& disk);

}  // namespace quelm::tool::lint
