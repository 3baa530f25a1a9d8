// The reader for the .reg files that describe the simulated machine's registry.
#include "sim/RegFile.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>

#include "config/Text.h"
#include "sim/SimFileSystem.h"
#include "sim/SimText.h"

namespace quelm::sim {
namespace {

constexpr uint32_t kRegMultiString = 7;  // REG_MULTI_SZ, which only arrives hex-coded as hex(7)

bool SameName(std::string_view left, std::string_view right) {
  return EqualsIgnoringCase(ViewOf(left), ViewOf(right));
}

std::string FormatError(const std::string& source, unsigned line, const std::string& message) {
  std::ostringstream text;
  text << source;
  if (line != 0) text << ':' << line;
  text << ": " << message;
  return text.str();
}

// One change the file asks for; a file is parsed whole into these before any is applied.
struct RegOperation {
  enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
  Kind kind;
  std::string keyPath;  // below HKEY_LOCAL_MACHINE
  RegistryValue value;  // the name only, for DeleteValue
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  return static_cast<unsigned>(UpperAscii(c) - 'A' + 10);
}

// Takes a file a line at a time, so that a whole-registry export never has to be held whole: only the
// changes to HKEY_LOCAL_MACHINE are kept, to be applied once the whole file has been read.
class RegTextParser {
 public:
  explicit RegTextParser(const std::string& sourceName) : source_(sourceName) {}

  void Feed(std::string_view line) {
    ++lineNumber_;
    if (lineNumber_ == 1) {
      ReadHeader(line);
      return;
    }
    SkipBlanks(line);
    if (pendingHex_) {
      // The next line that carries data continues the list; blank lines and comments come between.
      if (line.empty() || line.front() == ';') return;
      if (!IsHexDigit(line.front())) Fail("bad hex data in continued line");
      ContinueHex(line);
      return;
    }
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') {
      ParseKeyLine(line);
    } else if (line.front() == '@' || line.front() == '"') {
      ParseValueLine(line);
    } else {
      Fail("not a key, value or comment line");
    }
  }

  // The end of the file ends a continued list as well.
  std::vector<RegOperation> Finish() {
    if (lineNumber_ == 0) {
      lineNumber_ = 1;
      ReadHeader("");
    }
    if (pendingHex_) FinishHex();
    return std::move(operations_);
  }

  // The hives the file holds besides HKEY_LOCAL_MACHINE, which were read over and left out.
  const std::vector<std::string>& SkippedHives() const { return skippedHives_; }

 private:
  [[noreturn]] void Fail(const std::string& message) const {
    throw RegFileError(source_, lineNumber_, message);
  }

  static void SkipBlanks(std::string_view& text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  }

  // Whatever follows a complete item may only be blanks and a comment.
  void ExpectLineEnd(std::string_view rest, const char* what) const {
    SkipBlanks(rest);
    if (!rest.empty() && rest.front() != ';') Fail(std::string("unexpected text after ") + what);
  }

  void ReadHeader(std::string_view header) {
    SkipBlanks(header);
    while (!header.empty() && IsBlank(header.back())) header.remove_suffix(1);
    if (header == "REGEDIT4") return;
    if (header == "Windows Registry Editor Version 5.00") {
      // Version 5 files come from a Unicode registry: hex-coded strings are UTF-16 whatever the
      // encoding of the file itself.
      unicodeHexStrings_ = true;
      return;
    }
    Fail("not a registry file: the first line must be REGEDIT4 or Windows Registry Editor Version 5.00");
  }

  void ParseKeyLine(std::string_view line) {
    const size_t closing = line.rfind(']');
    if (closing == std::string_view::npos) Fail("key name without closing ]");
    ExpectLineEnd(line.substr(closing + 1), "the key name");
    std::string_view name = line.substr(1, closing - 1);
    const bool deletion = !name.empty() && name.front() == '-';
    if (deletion) name.remove_prefix(1);

    const size_t separator = std::min(name.find('\\'), name.size());
    const std::string_view root = name.substr(0, separator);
    if (!SameName(root, "HKEY_LOCAL_MACHINE") && !SameName(root, "HKLM")) {
      // A whole-registry export holds every hive; the launcher reads HKEY_LOCAL_MACHINE alone, so the
      // others are read over (their lines must still be good) and left out.
      static constexpr std::string_view kOtherRoots[] = {"HKEY_CLASSES_ROOT",   "HKCR",
                                                         "HKEY_CURRENT_USER",   "HKCU",
                                                         "HKEY_USERS",          "HKU",
                                                         "HKEY_CURRENT_CONFIG", "HKCC",
                                                         "HKEY_DYN_DATA",       "HKEY_PERFORMANCE_DATA"};
      const auto known =
          std::find_if(std::begin(kOtherRoots), std::end(kOtherRoots), [&](std::string_view other) {
            return SameName(root, other);
          });
      if (known == std::end(kOtherRoots)) Fail("unknown root key \"" + std::string(root) + "\"");
      if (std::find(skippedHives_.begin(), skippedHives_.end(), *known) == skippedHives_.end()) {
        skippedHives_.emplace_back(*known);
      }
      currentKey_.reset();
      skipping_ = true;
      return;
    }
    skipping_ = false;
    std::string path(name.substr(std::min(separator + 1, name.size())));
    // "A registry tree can be 512 levels deep" (Platform SDK, Registry Element Size Limits): regedit
    // cannot make a deeper key, and the simulated tree, copied and freed level by level, needs a bound.
    if (SplitRegistryPath(path).size() > kMaxRegistryDepth) {
      Fail("a key more than " + std::to_string(kMaxRegistryDepth) + " levels deep, which no registry holds");
    }
    if (deletion) {
      if (SplitRegistryPath(path).empty()) Fail("HKEY_LOCAL_MACHINE itself cannot be deleted");
      operations_.push_back({RegOperation::Kind::DeleteKey, path, {}});
      currentKey_.reset();
      keyDeleted_ = true;
    } else {
      operations_.push_back({RegOperation::Kind::CreateKey, path, {}});
      currentKey_ = std::move(path);
    }
  }

  // Reads a quoted text whose opening quote is already consumed. Escapes: the backslash and the quote,
  // which regedit writes, and \n, \r and \0, which Wine's regedit reads too (Wine refuses \0; a NUL
  // inside a string is kept here). Unknown escapes are refused rather than guessed at, since the usual
  // cause is a path written with single backslashes.
  std::string ParseQuoted(std::string_view& rest, const char* what) const {
    std::string text;
    while (!rest.empty()) {
      const char c = rest.front();
      rest.remove_prefix(1);
      if (c == '"') return text;
      if (c != '\\') {
        text.push_back(c);
        continue;
      }
      if (rest.empty()) break;
      const char escaped = rest.front();
      rest.remove_prefix(1);
      switch (escaped) {
        case '\\':
        case '"':
          text.push_back(escaped);
          break;
        case 'n':
          text.push_back('\n');
          break;
        case 'r':
          text.push_back('\r');
          break;
        case '0':
          text.push_back('\0');
          break;
        default:
          Fail(std::string("unknown escape \\") + escaped + " in " + what + " (write \\\\ for a backslash)");
      }
    }
    Fail(std::string("unterminated ") + what);
  }

  void ParseValueLine(std::string_view line) {
    if (!currentKey_ && !skipping_) {
      Fail(keyDeleted_ ? "value line after a key deletion, outside any key"
                       : "value line before any key line");
    }
    RegistryValue value;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else {
      line.remove_prefix(1);
      value.name = ParseQuoted(line, "value name");
    }
    SkipBlanks(line);
    if (line.empty() || line.front() != '=') Fail("expected = after the value name");
    line.remove_prefix(1);
    SkipBlanks(line);

    if (!line.empty() && line.front() == '-') {
      ExpectLineEnd(line.substr(1), "the deletion mark");
      Keep({RegOperation::Kind::DeleteValue, currentKey_.value_or(""), std::move(value)});
      return;
    }
    if (!line.empty() && line.front() == '"') {
      line.remove_prefix(1);
      const std::string text = ParseQuoted(line, "string");
      ExpectLineEnd(line, "the string");
      value.type = kRegString;
      value.data.assign(text.begin(), text.end());
      value.data.push_back(0);
    } else if (line.substr(0, 6) == "dword:") {
      value.type = kRegDword;
      value.data = ParseDword(line.substr(6));
    } else if (line.substr(0, 4) == "hex:" || line.substr(0, 4) == "hex(") {
      const bool typed = line[3] == '(';
      line.remove_prefix(4);
      value.type = typed ? ParseHexType(line) : kRegBinary;
      pendingHex_ = std::move(value);
      ContinueHex(line);
      return;
    } else {
      Fail(line.empty() ? "missing value data"
                        : "unknown value type (expected \"string\", dword:, hex: or hex(N):)");
    }
    Keep({RegOperation::Kind::SetValue, currentKey_.value_or(""), std::move(value)});
  }

  // Only what changes HKEY_LOCAL_MACHINE is kept.
  void Keep(RegOperation operation) {
    if (!skipping_) operations_.push_back(std::move(operation));
  }

  void FinishHex() {
    RegistryValue value = std::move(*pendingHex_);
    pendingHex_.reset();
    if (value.type == kRegString || value.type == kRegExpandString || value.type == kRegMultiString) {
      PrepareHexString(value.data);
    }
    Keep({RegOperation::Kind::SetValue, currentKey_.value_or(""), std::move(value)});
  }

  std::vector<uint8_t> ParseDword(std::string_view rest) const {
    SkipBlanks(rest);
    uint32_t number = 0;
    size_t digits = 0;
    while (digits < rest.size() && IsHexDigit(rest[digits])) {
      number = number << 4 | HexDigitValue(rest[digits]);
      ++digits;
    }
    if (digits == 0 || digits > 8) Fail("dword value needs 1 to 8 hex digits");
    ExpectLineEnd(rest.substr(digits), "the dword");
    return {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
            static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
  }

  // The N of hex(N): a value type in hexadecimal, as regedit writes it (hex(2), hex(7), hex(b)).
  uint32_t ParseHexType(std::string_view& rest) const {
    uint32_t type = 0;
    size_t digits = 0;
    while (digits < rest.size() && IsHexDigit(rest[digits])) {
      type = type << 4 | HexDigitValue(rest[digits]);
      ++digits;
    }
    if (digits == 0 || digits > 8 || rest.substr(digits, 2) != "):") Fail("bad value type in hex(N):");
    rest.remove_prefix(digits + 2);
    return type;
  }

  // Comma-separated bytes of one or two hex digits into the pending value. A backslash where the next
  // byte would stand continues the list on the next line that is neither blank nor a comment.
  void ContinueHex(std::string_view rest) {
    std::vector<uint8_t>& bytes = pendingHex_->data;
    bool expectByte = true;
    while (true) {
      SkipBlanks(rest);
      if (rest.empty() || rest.front() == ';') break;
      if (expectByte && rest.front() == '\\') {
        ExpectLineEnd(rest.substr(1), "the line continuation");
        return;  // the list goes on in a later line
      }
      if (expectByte) {
        size_t digits = 0;
        while (digits < rest.size() && IsHexDigit(rest[digits])) ++digits;
        if (digits == 0 || digits > 2) Fail("bad hex byte (expected two hex digits)");
        bytes.push_back(static_cast<uint8_t>(
            digits == 1 ? HexDigitValue(rest[0]) : HexDigitValue(rest[0]) << 4 | HexDigitValue(rest[1])));
        rest.remove_prefix(digits);
        expectByte = false;
      } else if (rest.front() == ',') {
        rest.remove_prefix(1);
        expectByte = true;
      } else {
        Fail("bad hex data (expected a comma between bytes)");
      }
    }
    FinishHex();
  }

  // Hex-coded strings are stored as RegQueryValueExA would return them: 8-bit and terminated.
  void PrepareHexString(std::vector<uint8_t>& data) const {
    if (unicodeHexStrings_) {
      const std::string text =
          FromUtf16(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), false);
      data.assign(text.begin(), text.end());
    }
    if (data.empty() || data.back() != 0) data.push_back(0);
  }

  const std::string& source_;
  unsigned lineNumber_ = 0;
  bool unicodeHexStrings_ = false;
  bool skipping_ = false;  // in a hive other than HKEY_LOCAL_MACHINE
  std::vector<std::string> skippedHives_;
  std::optional<RegistryValue> pendingHex_;  // a hex list that goes on in the next line
  std::optional<std::string> currentKey_;
  bool keyDeleted_ = false;
  std::vector<RegOperation> operations_;
};

}  // namespace

RegFileError::RegFileError(const std::string& source, unsigned lineNumber, const std::string& message)
    : std::runtime_error(FormatError(source, lineNumber, message)), line(lineNumber) {}

namespace {

// Bytes to the parser's lines: the mark of the first bytes decides the text's encoding (UTF-16LE as
// regedit writes version 5 files, or 8-bit, a UTF-8 mark only skipped), and lines end at CR, LF or CR LF,
// wherever the pieces the bytes come in end.
class RegLines {
 public:
  explicit RegLines(RegTextParser& parser) : parser_(parser) {}

  void Take(std::string_view bytes) {
    if (!started_) {
      head_.append(bytes);
      if (head_.size() < 3) return;
      Start();
      bytes = {};
    }
    Decode(bytes);
  }

  void End() {
    if (!started_) Start();
    if (pendingCr_) Split("\n");  // ends the last line as CR LF would
    if (!line_.empty()) parser_.Feed(line_);
    line_.clear();
  }

 private:
  void Start() {
    started_ = true;
    size_t markLength = 0;
    const ByteOrderMark mark = ByteOrderMarkOf(head_, markLength);
    utf16_ = mark == ByteOrderMark::kUtf16LittleEndian;
    if (mark != ByteOrderMark::kUtf16LittleEndian && mark != ByteOrderMark::kUtf8) markLength = 0;
    const std::string head = std::move(head_);
    Decode(std::string_view(head).substr(markLength));
  }

  void Decode(std::string_view bytes) {
    if (!utf16_) {
      Split(bytes);
      return;
    }
    std::string units = std::move(oddByte_);
    oddByte_.clear();
    units.append(bytes);
    if (units.size() % 2 != 0) {
      oddByte_ = units.substr(units.size() - 1);
      units.pop_back();
    }
    Split(FromUtf16(units, false));
  }

  void Split(std::string_view text) {
    for (const char c : text) {
      if (pendingCr_) {
        pendingCr_ = false;
        if (c == '\n') continue;  // the LF of a CR LF
      }
      if (c == '\r' || c == '\n') {
        parser_.Feed(line_);
        line_.clear();
        pendingCr_ = c == '\r';
        continue;
      }
      line_.push_back(c);
    }
  }

  RegTextParser& parser_;
  bool started_ = false;
  bool utf16_ = false;
  bool pendingCr_ = false;
  std::string head_;
  std::string oddByte_;
  std::string line_;
};

// Applies what a file asks for, once it has all been read, so that a faulty file leaves the registry
// as it was.
void Apply(Registry& registry, std::vector<RegOperation> operations) {
  for (RegOperation& operation : operations) {
    switch (operation.kind) {
      case RegOperation::Kind::CreateKey:
        registry.Create(operation.keyPath);
        break;
      case RegOperation::Kind::DeleteKey: {
        const std::string_view path = operation.keyPath;
        const std::string_view leaf = SplitRegistryPath(path).back();
        RegistryKey* parent = registry.LocalMachine().FindPath(path.substr(0, leaf.data() - path.data()));
        if (parent != nullptr) parent->RemoveChild(leaf);
        break;
      }
      case RegOperation::Kind::SetValue:
        registry.Create(operation.keyPath).SetValue(std::move(operation.value));
        break;
      case RegOperation::Kind::DeleteValue:
        if (RegistryKey* key = registry.Find(operation.keyPath)) key->RemoveValue(operation.value.name);
        break;
    }
  }
}

}  // namespace

std::vector<std::string> LoadRegFile(Registry& registry, const std::filesystem::path& file) {
  const std::string source = file.string();
  RegTextParser parser(source);
  RegLines lines(parser);
  // A whole-registry export of a machine runs to hundreds of megabytes: it is read a piece at a time.
  const std::string fault = ReadHostFileChunks(file, SIZE_MAX, [&lines](std::string_view bytes) {
    lines.Take(bytes);
  });
  if (!fault.empty()) throw RegFileError(source, 0, fault);
  lines.End();
  Apply(registry, parser.Finish());
  return parser.SkippedHives();
}

std::vector<std::string> LoadRegText(Registry& registry, std::string_view text,
                                     const std::string& sourceName) {
  RegTextParser parser(sourceName);
  RegLines lines(parser);
  lines.Take(text);
  lines.End();
  Apply(registry, parser.Finish());
  return parser.SkippedHives();
}

}  // namespace quelm::sim
