// The simulated machine's registry below HKEY_LOCAL_MACHINE: keys, values, and their order.
#include "sim/SimRegistry.h"

#include <algorithm>

#include "config/Text.h"

namespace quelm::sim {
namespace {

// Registry names compare with A to Z folded to capitals and every other byte as it is; folding to
// capitals (not to small letters) is what puts "_" after the letters, as in NT's and Wine's order.
int CompareNames(std::string_view left, std::string_view right) {
  const size_t common = std::min(left.size(), right.size());
  for (size_t i = 0; i < common; ++i) {
    const auto a = static_cast<unsigned char>(UpperAscii(left[i]));
    const auto b = static_cast<unsigned char>(UpperAscii(right[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  if (left.size() == right.size()) return 0;
  return left.size() < right.size() ? -1 : 1;
}

bool SameName(std::string_view left, std::string_view right) {
  return CompareNames(left, right) == 0;
}

}  // namespace

std::vector<std::string_view> SplitRegistryPath(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const size_t separator = std::min(path.find('\\'), path.size());
    if (separator > 0) parts.push_back(path.substr(0, separator));
    path.remove_prefix(std::min(separator + 1, path.size()));
  }
  return parts;
}

RegistryKey::RegistryKey(const RegistryKey& other)
    : accessDenied(other.accessDenied), name_(other.name_), values_(other.values_) {
  // Level by level with a list of its own, not by recursion: the copy's depth is the tree's.
  std::vector<std::pair<const RegistryKey*, RegistryKey*>> pending{{&other, this}};
  while (!pending.empty()) {
    const auto [from, to] = pending.back();
    pending.pop_back();
    to->children_.reserve(from->children_.size());
    for (const auto& child : from->children_) {
      auto copy = std::make_unique<RegistryKey>(child->name_);
      copy->accessDenied = child->accessDenied;
      copy->values_ = child->values_;
      pending.emplace_back(child.get(), copy.get());
      to->children_.push_back(std::move(copy));
    }
  }
}

RegistryKey& RegistryKey::operator=(const RegistryKey& other) {
  if (this != &other) *this = RegistryKey(other);
  return *this;
}

RegistryKey* RegistryKey::FindChild(std::string_view name) const {
  const auto position =
      std::lower_bound(children_.begin(), children_.end(), name,
                       [](const std::unique_ptr<RegistryKey>& child, std::string_view wanted) {
                         return CompareNames(child->Name(), wanted) < 0;
                       });
  return position != children_.end() && SameName((*position)->Name(), name) ? position->get() : nullptr;
}

RegistryKey& RegistryKey::Child(std::string_view name) {
  const auto position =
      std::lower_bound(children_.begin(), children_.end(), name,
                       [](const std::unique_ptr<RegistryKey>& child, std::string_view wanted) {
                         return CompareNames(child->Name(), wanted) < 0;
                       });
  if (position != children_.end() && SameName((*position)->Name(), name)) return **position;
  return **children_.insert(position, std::make_unique<RegistryKey>(std::string(name)));
}

void RegistryKey::RemoveChild(std::string_view name) {
  std::erase_if(children_, [&](const std::unique_ptr<RegistryKey>& child) {
    return SameName(child->Name(), name);
  });
}

const RegistryValue* RegistryKey::FindValue(std::string_view name) const {
  const auto position = std::find_if(values_.begin(), values_.end(), [&](const RegistryValue& value) {
    return SameName(value.name, name);
  });
  return position != values_.end() ? &*position : nullptr;
}

void RegistryKey::SetValue(RegistryValue value) {
  const auto position = std::find_if(values_.begin(), values_.end(), [&](const RegistryValue& existing) {
    return SameName(existing.name, value.name);
  });
  if (position == values_.end()) {
    values_.push_back(std::move(value));
    return;
  }
  // Rewriting a value keeps the spelling of its name, as the registry does.
  position->type = value.type;
  position->data = std::move(value.data);
}

void RegistryKey::RemoveValue(std::string_view name) {
  std::erase_if(values_, [&](const RegistryValue& value) {
    return SameName(value.name, name);
  });
}

RegistryKey* RegistryKey::FindPath(std::string_view path) {
  RegistryKey* key = this;
  for (const std::string_view part : SplitRegistryPath(path)) {
    key = key->FindChild(part);
    if (key == nullptr) return nullptr;
  }
  return key;
}

RegistryKey* Registry::Find(std::string_view path) {
  return root_.FindPath(path);
}

RegistryKey& Registry::Create(std::string_view path) {
  RegistryKey* key = &root_;
  for (const std::string_view part : SplitRegistryPath(path)) key = &key->Child(part);
  return *key;
}

void Registry::SetString(std::string_view keyPath, std::string_view name, std::string_view value) {
  RegistryValue entry{std::string(name), kRegString, std::vector<uint8_t>(value.begin(), value.end())};
  entry.data.push_back(0);
  Create(keyPath).SetValue(std::move(entry));
}

void Registry::SetDword(std::string_view keyPath, std::string_view name, uint32_t value) {
  Create(keyPath).SetValue(
      RegistryValue{std::string(name),
                    kRegDword,
                    {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                     static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)}});
}

}  // namespace quelm::sim
