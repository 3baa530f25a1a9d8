// What lint's checks share: how a finding quotes and places text, names that compare as the reader
// compares them, and the facts of a disk that several checks ask about.
#pragma once

#include <stddef.h>

#include <optional>
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

// The command word a misspelt token most likely meant, measured on the token's beginning as long as the
// word (a token may carry any suffix) and on the whole token.
std::string NearestCommandWord(std::string_view token);

bool IsNt(OsKind kind);

// A vendor or device field as a card entry should write it: decimal digits (after blanks the number
// reading skips), 0 to 65535. Anything else reads as some other number.
bool IsDecimalId(std::string_view field);

// A key line an author meant as a comment. The reader has no comments, but nothing ever asks for a key
// that begins with ";", so such a line is left out of the checks of keys nobody reads.
bool IsComment(const sim::ProfileFile::KeyLine& key);

std::string Counted(size_t count, const char* noun);

bool BeginsWithBlank(std::string_view text);

std::string Listed(const std::vector<std::string>& names);

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
