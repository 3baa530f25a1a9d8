// The Windows profile reader's behaviour over the text of a profile file, for the simulated machine.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quelm::sim {

// One profile file, decoded and indexed once so that each (section, key) is answered in constant time,
// with the rules of GetPrivateProfileStringA: sections and keys matched without regard to case, only
// the first section of a name consulted and the first key of a name in it winning, blanks around names
// and values removed, a line without "=" giving no value (and hiding later keys of its name), lines
// ending at CR, LF or CRLF. The contents are 8-bit text taken byte for byte, unless they start with a
// UTF-8 or UTF-16 byte-order mark, in which case they are decoded first.
class ProfileFile {
 public:
  explicit ProfileFile(std::string_view contents);

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
    bool hasValue = false;  // the line has "="
  };
  struct SectionLines {
    std::string name;
    unsigned line = 0;
    bool counts = false;  // the first section of its name, the only one the reader consults
    std::vector<KeyLine> keys;
  };
  const std::vector<SectionLines>& Layout() const { return layout_; }

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
};

// GetPrivateProfileStringA for a named section and key of `file` (null when the file does not exist):
// the value, or the default when the file, section or key is missing, with one pair of matching
// enclosing quotes (" or ') removed, cut to size-1 characters. Returns the number of characters
// copied.
uint32_t ReadProfileString(const ProfileFile* file, const char* section, const char* key,
                           const char* defaultValue, char* buffer, uint32_t size);
// The same for the raw contents of a file (null when it does not exist), indexed for this one read.
uint32_t ReadProfileString(const std::string_view* contents, const char* section, const char* key,
                           const char* defaultValue, char* buffer, uint32_t size);

}  // namespace quelm::sim
