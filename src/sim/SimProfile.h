// The Windows profile reader's behaviour over the text of a profile file, for the simulated machine.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Platform.h"

namespace quelm::sim {

// How a system's profile code turns a file's bytes into the 8-bit text it parses. No system recognises
// a UTF-8 mark: its three bytes belong to line 1, so a section header written there is no header.
struct ProfileReading {
  // A leading UTF-16LE mark makes the file Unicode, handed to the ANSI functions in the code page.
  bool unicodeMark = false;
  // Bytes past this many are never seen; 0 when the whole file is read.
  size_t byteLimit = 0;
  uint32_t codePage = 1252;
  // A carriage return alone ends a line. Windows NT's profile code takes CR, LF and CR LF alike;
  // Windows 9x and Me do not read files whose lines end in CR alone as lines (Wine's conformance
  // tests skip their "CR only" case there: "Win9x and WinME don't handle 'CR only' correctly",
  // dlls/kernel32/tests/profile.c). What those systems make of such a file is not recorded; it is
  // taken here that a line runs on to the next LF, so that what follows a lone CR belongs to the line
  // before it. Win32s runs the profile code of Windows 3.1, the forerunner of 9x's, and is taken alike.
  bool crEndsLine = true;
};

// The 16-bit profile code of Windows 3.x (and so of Win32s) and of Windows 95, 98 and Me ignores what
// lies past the first 64 KB of a file.
inline constexpr size_t kSixteenBitProfileLimit = 65536;

// The reading of the system that reports `version`, with the system's ANSI code page:
// - Windows 95, 98 and Me, and Win32s: plain bytes, cut at 64 KB. Their Win32 profile functions run
//   the 16-bit profile code (its limits show through: under 32 KB per string, KB Q230194), whose
//   files end at 64 KB (KB Q78346); no mark means anything, so a UTF-16 file is bytes with zeros
//   between them, and nothing is found in it.
// - Windows NT 3.x and 4.0: plain bytes, the whole file (NT's 32-bit profile code has no size limit,
//   as the GetProfileSection documentation of the time says); a UTF-16 file is not read as Unicode
//   there either (first-hand tests of NT 4.0, Windows 2000 and 10 by the Tera Term project).
// - Windows 2000 and later: a leading FF FE makes the file UTF-16LE, converted to the code page for
//   the ANSI functions; the big-endian mark FE FF is not recognised (first-hand tests on Windows 10
//   21H1 found no support for it).
ProfileReading ProfileReadingOf(const VersionRecord& version, uint32_t codePage);
// The file's bytes as that reading parses them: 8-bit text in the code page.
std::string ProfileText(std::string_view bytes, const ProfileReading& reading);
// The file as that reading parses it.
class ProfileFile;
ProfileFile ReadProfile(std::string_view bytes, const ProfileReading& reading);
// A section or key name as the reader looks it up: without the spaces around it.
std::string_view LookedUpName(std::string_view name);
// Whether the bytes begin with the UTF-16LE mark, and whether they begin with the UTF-8 one.
bool HasUtf16Mark(std::string_view bytes);
bool HasUtf8Mark(std::string_view bytes);

// One profile file, indexed once so that each (section, key) is answered in constant time, with the
// rules of GetPrivateProfileStringA: sections and keys matched without regard to case, only the first
// section of a name consulted and the first key of a name in it winning, blanks around names and values
// removed, a line without "=" giving no value (and hiding later keys of its name), lines ending at CR,
// LF or CRLF. The text is 8-bit text as a reading made it (ProfileText), taken byte for byte.
class ProfileFile {
 public:
  explicit ProfileFile(std::string asRead, bool crEndsLine = true);

  // The value stored for (section, key) before quote removal, or nothing when the section or key is
  // missing or the key's line has no "=". Names asked for lose their surrounding blanks as the
  // names in the file do. The view lives as long as the object.
  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

  // The file as its author wrote it, for checking it: the lines before the first header (a section
  // named "" on line 0), then each section header, each with its key lines in file order. Lines are
  // counted as an editor counts them: CR LF, CR and LF each end one.
  struct KeyLine {
    std::string name;  // as written, blanks around it removed
    unsigned line = 0;
    bool hasValue = false;     // the line has "="
    unsigned column = 1;       // of the name, counted in bytes from 1
    unsigned valueColumn = 1;  // of the value's first byte
    std::string value;         // as the reader would take it, before it removes enclosing quotes
  };
  struct SectionLines {
    std::string name;
    unsigned line = 0;
    unsigned column = 1;  // of the "["
    bool counts = false;  // the first section of its name, the only one the reader consults
    std::vector<KeyLine> keys;
    std::unordered_map<std::string, size_t> firstKeys;  // folded name: index of its first key line
  };
  const std::vector<SectionLines>& Layout() const { return layout_; }
  // The section the reader consults for a name (the first of it), and the key line it takes there (the
  // first of the key's name); null where there is none.
  const SectionLines* SectionNamed(std::string_view name) const;
  static const KeyLine* KeyNamed(const SectionLines* section, std::string_view name);
  // The line of the key line the reader takes for (section, key); nothing where there is none.
  std::optional<unsigned> LineOf(std::string_view section, std::string_view key) const;

 private:
  // A key's value as a place in `text_`, which keeps it valid however the object is moved; a key
  // line without "=" has none.
  struct Entry {
    bool hasValue = false;
    size_t offset = 0;
    size_t length = 0;
  };
  // Names are stored folded (A to Z only), the key to both maps.
  using Section = std::unordered_map<std::string, Entry>;

  std::string text_;
  std::unordered_map<std::string, Section> sections_;  // the first section of each name only
  std::vector<SectionLines> layout_;
  std::unordered_map<std::string, size_t> firstSections_;  // folded name: its section in `layout_`
};

// A value as the reader hands it over, one pair of matching enclosing quotes removed, cut to size-1
// characters; returns the number of characters copied.
uint32_t CopyValue(std::string_view value, char* buffer, uint32_t size);

// GetPrivateProfileStringA for a named section and key of `file` (null when the file does not exist):
// the value, or the default when the file, section or key is missing, with one pair of matching
// enclosing quotes (" or ') removed, cut to size-1 characters. Returns the number of characters
// copied.
uint32_t ReadProfileString(const ProfileFile* file, const char* section, const char* key,
                           const char* defaultValue, char* buffer, uint32_t size);
// The same for a file's text (null when it does not exist), indexed for this one read.
uint32_t ReadProfileString(const std::string_view* contents, const char* section, const char* key,
                           const char* defaultValue, char* buffer, uint32_t size);

}  // namespace quelm::sim
