// The simulated machine's registry below HKEY_LOCAL_MACHINE: keys with their values.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quelm::sim {

inline constexpr uint32_t kRegString = 1;  // REG_SZ
inline constexpr uint32_t kRegExpandString = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;

// Backslash-separated key names; empty parts (a leading, trailing or doubled backslash) are skipped.
std::vector<std::string_view> SplitRegistryPath(std::string_view path);

// The deepest key below HKEY_LOCAL_MACHINE a registry holds; .reg files are refused deeper keys.
constexpr size_t kMaxRegistryDepth = 512;

struct RegistryValue {
  std::string name;  // empty for the default value ("@")
  uint32_t type = kRegString;
  std::vector<uint8_t> data;  // as RegQueryValueExA returns it: strings include their terminator
};

class RegistryKey {
 public:
  explicit RegistryKey(std::string name) : name_(std::move(name)) {}
  // A deep copy: the key, its values and every key below it.
  RegistryKey(const RegistryKey& other);
  RegistryKey& operator=(const RegistryKey& other);
  RegistryKey(RegistryKey&&) = default;
  RegistryKey& operator=(RegistryKey&&) = default;

  const std::string& Name() const { return name_; }
  // Subkeys in the order RegEnumKeyExA gives them: sorted without regard to case, as NT and Wine do.
  const std::vector<std::unique_ptr<RegistryKey>>& Children() const { return children_; }
  RegistryKey* FindChild(std::string_view name) const;
  // A path of backslash-separated names below this key; null when any part is missing.
  RegistryKey* FindPath(std::string_view path);
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

class Registry {
 public:
  Registry() : root_("HKEY_LOCAL_MACHINE") {}

  RegistryKey& LocalMachine() { return root_; }
  // A path of backslash-separated names below HKEY_LOCAL_MACHINE; null when any part is missing.
  RegistryKey* Find(std::string_view path);
  RegistryKey& Create(std::string_view path);

  void SetString(std::string_view keyPath, std::string_view name, std::string_view value);
  void SetDword(std::string_view keyPath, std::string_view name, uint32_t value);

 private:
  RegistryKey root_;
};

}  // namespace quelm::sim
