// What lint's checks share: how a finding quotes and places text, names that compare as the reader
// compares them, and the facts of a disk that several checks ask about.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "config/Text.h"
#include "probe/OsKind.h"
#include "sim/SimProfile.h"
#include "sim/SimText.h"

namespace quelm::tool::lint {

using sim::ViewOf;

// Quoted for a finding's message, control characters shown as \xHH so that a finding stays one line.
std::string Quoted(std::string_view text);

std::string Folded(std::string_view text);

bool SameName(std::string_view left, std::string_view right);

std::string StringOf(TextView text);

bool IsNt(OsKind kind);

// A key line an author meant as a comment. The reader has no comments, but nothing ever asks for a key
// that begins with ";", so such a line is left out of the checks of keys nobody reads.
bool IsComment(const sim::ProfileFile::KeyLine& key);

std::string Counted(size_t count, const char* noun);

std::string Listed(const std::vector<std::string>& names);

// "on W95B (95-osr2 and 95-osr21) and W98 (98 and 98se)": the launcher's names of the systems a finding
// concerns, in the launcher's order, with their releases; "on no Windows version" for none.
std::string OnSystems(const std::set<std::string>& osNames);

// "98 and 98se": the releases the launcher gives `osName`, by their aliases.
std::string ReleasesNamed(const std::string& osName);

// An ID as its author plainly meant it, beside the launcher's reading (decimal digits after leading
// blanks and a sign, up to the first other character, the low 16 bits compared).
struct IdMeaning {
  enum class Form { kDecimal, kLeadingZero, kHexPrefix, kHexLetters, kTooLarge, kNoNumber };
  Form form = Form::kNoNumber;
  uint32_t meant = 0;  // the decimal value meant; for a leading zero the decimal reading
  uint32_t hex = 0;    // for a leading zero: the same digits read as hexadecimal, as lspci writes IDs
  // Whether the value meant is plain: a decimal number, or one in hexadecimal beyond doubt.
  bool IsPlain() const {
    return form == Form::kDecimal || form == Form::kHexPrefix || form == Form::kHexLetters;
  }
};
IdMeaning MeaningOfId(std::string_view field);

// Whether a bus type plainly means AGP: it begins with AGP, in any case, once blanks and quotes are gone.
bool MeansAgp(std::string_view busType);

// A field as its author plainly meant it: the blanks around it and one pair of quotes around that gone.
std::string_view Meant(std::string_view field);
// Whether the text holds no byte beyond ASCII.
bool IsAscii(std::string_view text);
// The blanks around a field, and whether it stands in quotes.
bool BeginsWithBlank(std::string_view text);
bool EndsWithBlank(std::string_view text);
bool IsQuoted(std::string_view text);

// The systems whose profile code reads the file as plain bytes (not as Unicode), and those that see
// only its first part, by the version records they report.
bool ReadsUnicodeFiles(OsKind kind);

size_t ReadableBytes(OsKind kind);

struct Place {
  unsigned line = 1;
  unsigned column = 1;
};

// Lines as an editor counts them (CR LF, CR and LF each end one), with the byte each begins at.
std::vector<std::string_view> LinesOf(std::string_view text);

// The line and column of byte `offset`.
Place PlaceOfByte(std::string_view text, size_t offset);

// The length of a UTF-8 sequence of two or more bytes at `at` (a character beyond ASCII), else 0.
size_t Utf8SequenceAt(std::string_view text, size_t at);

// A name as a CD without long-name extensions (plain ISO 9660) carries it: up to eight letters, digits
// or underscores, and an extension of up to three after a dot. Case does not matter: such a CD holds
// capitals, and Windows finds a name in any case.
bool IsShortName(std::string_view name);

constexpr const char* kInstallerProgram = "vadrun.exe";

// Where QUELM.EXE starts on a disk: its root, with no command tail, so that [CWD] is the drive alone.
constexpr const char* kDiskRoot = "D:";

constexpr std::string_view kDirective = "quelm-lint:";

// Where a script comes from: the system that reads it (none for a name no Windows reads), its line, and
// why the launcher never reads it, if it does not.
struct ScriptSource {
  std::optional<OsKind> kind;
  std::string name;
  const sim::ProfileFile::KeyLine* key = nullptr;
  std::string hiddenBy;  // empty for a script the launcher reads
};

}  // namespace quelm::tool::lint
