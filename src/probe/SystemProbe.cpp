// Base directory, version classification, USB supplement check, lead bytes and the PCI lookup.
#include "probe/SystemProbe.h"

namespace quelm {

const char* CommandTail(const char* commandLine) {
  const unsigned char* at = reinterpret_cast<const unsigned char*>(commandLine ? commandLine : "");
  if (*at == '"') {
    ++at;
    while (*at != '\0' && *at != '"') ++at;
    if (*at == '"') ++at;
  } else {
    while (*at > ' ') ++at;
  }
  while (*at != '\0' && *at <= ' ') ++at;
  return reinterpret_cast<const char*>(at);
}

bool SystemProbe::GetBaseDirectory(char* buffer, unsigned size) {
  Text<kNameCapacity> directory;
  const uint32_t length = platform_.ReadCurrentDirectory(directory.Buffer(), kNameCapacity);
  if (length == 0) return false;
  directory.Seal();
  bool fits = length < kNameCapacity && directory.Length() == length;
  // A folder named with the Shift-JIS character 0x95 0x5C ends in a backslash byte that is not a
  // character of its own: removing it would leave half a character.
  const unsigned last = LastCharacter(directory, ReadLeadBytes());
  if (fits && last != kNotFound && directory[last] == '\\') directory.Buffer()[last] = '\0';
  fits = fits && directory.Append(CommandTail(platform_.ReadCommandLine()));
  fits = fits && CopyBounded(buffer, size, directory);
  if (!fits && size > 0) buffer[0] = '\0';
  return fits;
}

OsKind SystemProbe::ClassifyOs() {
  VersionRecord version;
  platform_.ReadVersion(version);
  return ClassifyVersion(version);
}

bool SystemProbe::IsUsbSupplementInstalled() {
  NativeHandle key = kNoHandle;
  if (!platform_.OpenRegistryKey(Platform::kLocalMachine, kUsbSupplementKey, key)) return false;
  // Zeroed first: the value's type is not consulted, and short binary data must not meet stale bytes.
  char displayName[kNameCapacity] = {};
  const bool read = platform_.QueryRegistryValue(key, kUsbSupplementValue, displayName, kNameCapacity);
  platform_.CloseRegistryKey(key);
  return read && StartsWith(TextView(displayName, 3), kUsbSupplementPrefix);
}

LeadBytes SystemProbe::ReadLeadBytes() const {
  return LeadBytesWhere([this](uint8_t byte) {
    return platform_.IsLeadByte(byte);
  });
}

bool SystemProbe::FindPciDevice(int32_t vendor, int32_t device, Text<kNameCapacity>& hardwareId,
                                Text<kNameCapacity>& location) {
  const uint32_t identification = PciIdentification(vendor, device);
  if (!bus_.IsScanned()) bus_.Scan(platform_);
  PciAddress address;
  const bool found = bus_.IsComplete() ? bus_.Find(identification, address)
                                       : ScanForDevice(platform_, identification, address);
  return found && FormatHardwareId(hardwareId, identification) && FormatLocation(location, address);
}

}  // namespace quelm
