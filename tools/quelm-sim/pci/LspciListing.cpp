// Reads lspci's listings of a PCI bus: the terse form (-n, -nn, with or without -D and -v) and the
// machine-readable one (-mm -n, -mm -nn).
#include "pci/LspciListing.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <optional>
#include <system_error>

namespace quelm::tool {

namespace {

// An lspci listing of even a large machine is a few kilobytes; anything this long is another file.
constexpr size_t kLargestListing = size_t{16} * 1024 * 1024;
// How much of a refused line a message quotes.
constexpr size_t kQuotedLength = 60;

struct FunctionIds {
  uint32_t vendorId = 0;
  uint32_t deviceId = 0;
};

// Exactly four hexadecimal digits, as lspci writes every ID.
std::optional<uint32_t> Hex4(std::string_view text) {
  return text.size() == 4 ? ParseHex(text, 4) : std::nullopt;
}

// What lspci may print after the IDs: " (rev 01)", and with -v " (prog-if 01 [AHCI 1.0])".
bool IsTail(std::string_view tail) {
  while (!tail.empty()) {
    const size_t close = tail.find(')');
    if (tail.substr(0, 2) != " (" || close == std::string_view::npos) return false;
    const std::string_view group = tail.substr(2, close - 2);
    tail.remove_prefix(close + 1);
    if (group.substr(0, 4) == "rev " && group.size() == 6 && ParseHex(group.substr(4), 2)) continue;
    if (group.substr(0, 8) == "prog-if " && group.size() >= 10 && ParseHex(group.substr(8, 2), 2) &&
        (group.size() == 10 || group.substr(10, 2) == " [")) {
      continue;
    }
    return false;
  }
  return true;
}

// -n: "0300: 10de:0020 (rev 04)".
std::optional<FunctionIds> NumericIds(std::string_view rest) {
  if (rest.size() < 15 || rest.substr(4, 2) != ": " || rest[10] != ':' || !Hex4(rest.substr(0, 4))) {
    return std::nullopt;
  }
  const std::optional<uint32_t> vendorId = Hex4(rest.substr(6, 4));
  const std::optional<uint32_t> deviceId = Hex4(rest.substr(11, 4));
  if (!vendorId || !deviceId || !IsTail(rest.substr(15))) return std::nullopt;
  return FunctionIds{*vendorId, *deviceId};
}

// -nn: "VGA compatible controller [0300]: NVIDIA Corporation NV4 [Riva TNT] [10de:0020] (rev 04)".
// Names may hold brackets of their own, so the IDs are the last bracket that only a tail follows.
std::optional<FunctionIds> NamedIds(std::string_view rest) {
  const size_t classEnd = rest.find("]: ");
  if (classEnd == std::string_view::npos) return std::nullopt;
  for (size_t open = rest.rfind('['); open != std::string_view::npos && open > classEnd;
       open = rest.rfind('[', open - 1)) {
    const std::string_view ids = rest.substr(open);
    if (ids.size() < 11 || ids[5] != ':' || ids[10] != ']' || !IsTail(ids.substr(11))) continue;
    const std::optional<uint32_t> vendorId = Hex4(ids.substr(1, 4));
    const std::optional<uint32_t> deviceId = Hex4(ids.substr(6, 4));
    if (vendorId && deviceId) return FunctionIds{*vendorId, *deviceId};
  }
  return std::nullopt;
}

// The quoted fields of an -mm line, in which lspci writes a quote inside a name as \"; the -r and -p
// options between them are passed over. Nullopt when anything else is there.
std::optional<std::vector<std::string>> MachineFields(std::string_view rest) {
  std::vector<std::string> fields;
  while (!rest.empty()) {
    if (rest[0] == '"') {
      std::string field;
      size_t index = 1;
      for (; index < rest.size() && rest[index] != '"'; ++index) {
        if (rest[index] == '\\' && index + 1 < rest.size() && rest[index + 1] == '"') ++index;
        field += rest[index];
      }
      if (index == rest.size()) return std::nullopt;  // no closing quote
      fields.push_back(std::move(field));
      rest.remove_prefix(index + 1);
    } else if (rest.size() >= 4 && rest[0] == '-' && (rest[1] == 'r' || rest[1] == 'p') &&
               ParseHex(rest.substr(2, 2), 2) && (rest.size() == 4 || rest[4] == ' ')) {
      rest.remove_prefix(4);
    } else {
      return std::nullopt;
    }
    if (!rest.empty() && rest[0] != ' ') return std::nullopt;
    if (!rest.empty()) rest.remove_prefix(1);
  }
  return fields;
}

// An -mm field's ID: "8086" with -n, "Intel Corporation [8086]" with -nn.
std::optional<uint32_t> IdOfField(std::string_view field) {
  if (const auto id = Hex4(field)) return id;
  if (field.size() < 6 || field.back() != ']' || field[field.size() - 6] != '[') return std::nullopt;
  return Hex4(field.substr(field.size() - 5, 4));
}

// -mm -n: "01:00.0 "0300" "10de" "0020" -r04 "" """ (class, vendor, device, then subsystem).
std::optional<FunctionIds> MachineIds(std::string_view rest) {
  const auto fields = MachineFields(rest);
  if (!fields || fields->size() < 3) return std::nullopt;
  const std::optional<uint32_t> vendorId = IdOfField((*fields)[1]);
  const std::optional<uint32_t> deviceId = IdOfField((*fields)[2]);
  if (!vendorId || !deviceId) return std::nullopt;
  return FunctionIds{*vendorId, *deviceId};
}

// The IDs of the text after the function's place, in whichever form lspci wrote it.
std::optional<FunctionIds> IdsOf(std::string_view rest) {
  if (rest.substr(0, 1) == "\"") return MachineIds(rest);
  if (const auto ids = NumericIds(rest)) return ids;
  return NamedIds(rest);
}

std::string Quoted(std::string_view line) {
  if (line.size() <= kQuotedLength) return "\"" + std::string(line) + "\"";
  return "\"" + std::string(line.substr(0, kQuotedLength)) + "...\"";
}

}  // namespace

std::vector<HostPciFunction> ParseLspciListing(std::string_view text, const std::string& fileName) {
  std::vector<HostPciFunction> functions;
  std::map<uint32_t, size_t> lineOfSlot;
  // Saved by a Windows editor on its way to the author's machine.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  for (size_t lineNumber = 1; !text.empty(); ++lineNumber) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == ' ' || line[0] == '\t') continue;

    const std::string where = fileName + ":" + std::to_string(lineNumber) + ": ";
    const size_t blank = line.find(' ');
    const std::optional<PciFunctionName> name = ParsePciFunctionName(line.substr(0, blank));
    if (!name || blank == std::string_view::npos) {
      throw PciTextError(
          where + Quoted(line) +
          " does not begin with a PCI function such as 01:00.0: expected the output of lspci -n");
    }
    const std::optional<FunctionIds> ids = IdsOf(line.substr(blank + 1));
    if (!ids) {
      throw PciTextError(where + "no vendor and device ID in " + Quoted(line) +
                         ": list the bus with lspci -n (or -nn, -D -n, -mm -n)");
    }
    if (name->domain != 0) throw PciTextError(where + LinuxName(*name) + ": " + OutOfReach(name->domain));
    const PciAddress& address = name->address;
    const uint32_t slot = PciSlotOf(address.bus, address.device, address.function);
    if (const auto [earlier, added] = lineOfSlot.emplace(slot, lineNumber); !added) {
      throw PciTextError(where + LinuxName(*name) + " is listed again (first on line " +
                         std::to_string(earlier->second) + ")");
    }
    functions.push_back(HostPciFunction{address, ids->deviceId << 16 | ids->vendorId, {}});
  }
  if (functions.empty()) {
    throw PciTextError(fileName + ": no PCI function listed: expected the output of lspci -n");
  }
  std::sort(functions.begin(), functions.end(), [](const HostPciFunction& a, const HostPciFunction& b) {
    return PciSlotOf(a.address.bus, a.address.device, a.address.function) <
           PciSlotOf(b.address.bus, b.address.device, b.address.function);
  });
  return functions;
}

std::vector<HostPciFunction> ReadLspciListing(const std::string& file) {
  std::error_code error;
  if (std::filesystem::is_directory(file, error))
    throw PciTextError(file + ": is a folder, not an lspci listing");
  std::FILE* stream = std::fopen(file.c_str(), "rb");
  if (!stream)
    throw PciTextError(file + ": cannot be opened (" + std::generic_category().message(errno) + ")");
  std::string text;
  char buffer[65536];
  size_t count = 0;
  while (text.size() <= kLargestListing && (count = std::fread(buffer, 1, sizeof(buffer), stream)) > 0) {
    text.append(buffer, count);
  }
  const int readError = std::ferror(stream) != 0 ? errno : 0;
  // Only read from: closing cannot lose anything.
  static_cast<void>(std::fclose(stream));
  if (readError != 0) {
    throw PciTextError(file + ": cannot be read (" + std::generic_category().message(readError) + ")");
  }
  if (text.size() > kLargestListing) throw PciTextError(file + ": larger than 16 MiB, not an lspci listing");
  return ParseLspciListing(text, file);
}

}  // namespace quelm::tool
