// The simulated machine's registry below HKEY_LOCAL_MACHINE, loaded from .reg files.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quelm::sim {

inline constexpr uint32_t kRegString = 1;  // REG_SZ
inline constexpr uint32_t kRegExpandString = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;

struct RegistryValue {
  std::string name;  // empty for the default value ("@")
  uint32_t type = kRegString;
  std::vector<uint8_t> data;  // as RegQueryValueExA returns it: strings include their terminator
};

class RegistryKey {
 public:
  explicit RegistryKey(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  // Subkeys in the order RegEnumKeyExA gives them: sorted without regard to case, as NT and Wine do.
  const std::vector<std::unique_ptr<RegistryKey>>& Children() const { return children_; }
  RegistryKey* FindChild(std::string_view name) const;
  // The child of that name, created if missing.
  RegistryKey& Child(std::string_view name);
  void RemoveChild(std::string_view name);

  const RegistryValue* FindValue(std::string_view name) const;
  void SetValue(RegistryValue value);
  void RemoveValue(std::string_view name);

  // Simulates a key that exists but refuses to open with all access.
  bool accessDenied = false;

 private:
  std::string name_;
  std::vector<std::unique_ptr<RegistryKey>> children_;
  std::vector<RegistryValue> values_;
};

// A .reg file that cannot be loaded: `line` is 1-based, 0 when the file could not be read.
class RegFileError : public std::runtime_error {
 public:
  RegFileError(const std::string& source, unsigned line, const std::string& message);
  unsigned line;
};

class Registry {
 public:
  Registry() : root_("HKEY_LOCAL_MACHINE") {}

  RegistryKey& LocalMachine() { return root_; }
  // A path of backslash-separated names below HKEY_LOCAL_MACHINE; null when any part is missing.
  RegistryKey* Find(std::string_view path);
  RegistryKey& Create(std::string_view path);

  void SetString(std::string_view keyPath, std::string_view name, std::string_view value);
  void SetDword(std::string_view keyPath, std::string_view name, uint32_t value);

  // REGEDIT4 or "Windows Registry Editor Version 5.00" text, 8-bit or UTF-16LE with its byte-order
  // mark: keys under HKEY_LOCAL_MACHINE (or HKLM), string, dword, hex and hex(N) values with the
  // escapes regedit writes, "@" for the default value, deletions with "[-key]" and "name"=-.
  // Throws RegFileError naming the line of the first fault; nothing is applied then.
  void LoadRegFile(const std::filesystem::path& file);
  void LoadRegText(std::string_view text, const std::string& sourceName);

 private:
  RegistryKey root_;
};

}  // namespace quelm::sim
