// Reads and writes the text forms of a PCI function's place and IDs that quelm-sim's users type.
#include "pci/PciFunctionText.h"

#include <cstdio>

namespace quelm::tool {

std::optional<uint32_t> ParseHex(std::string_view text, size_t maximumDigits) {
  if (text.empty() || text.size() > maximumDigits) return std::nullopt;
  uint32_t value = 0;
  for (const char c : text) {
    uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = value << 4 | digit;
  }
  return value;
}

std::optional<PciFunctionName> ParsePciFunctionName(std::string_view text, DomainPart domainPart) {
  PciFunctionName name;
  const size_t firstColon = text.find(':');
  if (firstColon != std::string_view::npos && text.find(':', firstColon + 1) != std::string_view::npos) {
    const std::optional<uint32_t> domain = ParseHex(text.substr(0, firstColon), 8);
    if (!domain) return std::nullopt;
    name.domain = *domain;
    text.remove_prefix(firstColon + 1);
  } else if (domainPart == DomainPart::kRequired) {
    return std::nullopt;
  }
  const size_t colon = text.find(':');
  const size_t dot = text.find('.');
  if (colon == std::string_view::npos || dot == std::string_view::npos || dot < colon) return std::nullopt;
  const std::optional<uint32_t> bus = ParseHex(text.substr(0, colon), 2);
  const std::optional<uint32_t> device = ParseHex(text.substr(colon + 1, dot - colon - 1), 2);
  const std::optional<uint32_t> function = ParseHex(text.substr(dot + 1), 1);
  if (!bus || !device || !function || !IsPciAddress(*bus, *device, *function)) return std::nullopt;
  name.address = PciAddress{*bus, *device, *function};
  return name;
}

std::string IdText(uint32_t id) {
  char text[8];
  // Four digits always fit.
  static_cast<void>(std::snprintf(text, sizeof(text), "%04X", id & 0xFFFFu));
  return text;
}

std::string LinuxName(const PciFunctionName& name) {
  char text[32];
  // Four small numbers always fit.
  static_cast<void>(std::snprintf(text, sizeof(text), "%04x:%02x:%02x.%x", name.domain, name.address.bus,
                                  name.address.device, name.address.function));
  return text;
}

std::string OutOfReach(uint32_t domain) {
  if (domain == 0) return {};
  char text[16];
  static_cast<void>(std::snprintf(text, sizeof(text), "%04x", domain));
  // Configuration mechanism #1 has no domain number: the launcher sees domain 0 and nothing else.
  return std::string("PCI domain ") + text + " is out of the launcher's reach (it scans domain 0 only)";
}

PciFunctionIds ParsePciAssignment(std::string_view text) {
  const size_t equals = text.find('=');
  const std::optional<PciFunctionName> name =
      equals == std::string_view::npos ? std::nullopt : ParsePciFunctionName(text.substr(0, equals));
  const std::string_view ids =
      equals == std::string_view::npos ? std::string_view() : text.substr(equals + 1);
  const size_t idColon = ids.find(':');
  const std::optional<uint32_t> vendorId =
      idColon == std::string_view::npos ? std::nullopt : ParseHex(ids.substr(0, idColon), 4);
  const std::optional<uint32_t> deviceId =
      idColon == std::string_view::npos ? std::nullopt : ParseHex(ids.substr(idColon + 1), 4);
  if (!name || !vendorId || !deviceId) {
    throw PciTextError(
        "expected BB:DD.F=VVVV:DDDD or 0000:BB:DD.F=VVVV:DDDD (hexadecimal; bus up to FF, "
        "device up to 1F, function up to 7)");
  }
  if (name->domain != 0) throw PciTextError(OutOfReach(name->domain));
  return PciFunctionIds{name->address, static_cast<uint16_t>(*vendorId), static_cast<uint16_t>(*deviceId)};
}

}  // namespace quelm::tool
