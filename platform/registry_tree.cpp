#include "platform/registry_tree.h"

#include <algorithm>

#include "platform/code_page.h"

namespace quorvel::platform {
namespace {

bool HasForbiddenCharacter(std::string_view name) {
  return name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

std::vector<std::string_view> SplitKeyPath(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    auto slash = path.find('\\');
    std::string_view part = path.substr(0, slash);
    if (!part.empty()) parts.push_back(part);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return parts;
}

bool RegistryTree::ValidKeyPath(std::string_view path) {
  if (HasForbiddenCharacter(path)) return false;
  std::size_t depth = 0;
  while (!path.empty()) {
    const std::size_t slash = path.find('\\');
    const std::string_view part = path.substr(0, slash);
    if (part.size() > kMaxKeyNameLength) return false;
    if (!part.empty() && ++depth > kMaxKeyDepth) return false;
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return true;
}

bool RegistryTree::ValidValueName(std::string_view name) {
  return !HasForbiddenCharacter(name) && name.size() <= kMaxValueNameLength;
}

RegistryTree::Key* RegistryTree::Key::SubKey(std::string_view child) const {
  for (const auto& key : subKeys) {
    if (EqualsNoCase(key->name, child)) return key.get();
  }
  return nullptr;
}

RegValue* RegistryTree::Key::Value(std::string_view valueName) {
  for (auto& entry : values) {
    if (EqualsNoCase(entry.first, valueName)) return &entry.second;
  }
  return nullptr;
}

std::string DescribeFailure(long code, RegRoot root, std::string_view key, std::string_view name) {
  std::string where = std::string(RegRootName(root)) + "\\" + std::string(key);
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      return "no such key or value: " + where +
             (name.empty() ? "" : " \"" + std::string(name) + "\"");
    case ERROR_INVALID_PARAMETER:
      return "invalid key or value name: " + where;
    default:
      return "registry error " + std::to_string(code) + ": " + where;
  }
}

long RegistryTree::CreateKey(std::string_view path, bool* created) {
  if (created != nullptr) *created = false;
  if (!ValidKeyPath(path)) return ERROR_INVALID_PARAMETER;
  Key* key = &root_;
  for (std::string_view part : SplitKeyPath(path)) {
    Key* child = key->SubKey(part);
    if (child == nullptr) {
      key->subKeys.push_back(std::make_unique<Key>());
      child = key->subKeys.back().get();
      child->name = std::string(part);
      if (created != nullptr) *created = true;
    }
    key = child;
  }
  return ERROR_SUCCESS;
}

RegistryTree::Key* RegistryTree::Find(std::string_view path) const {
  const Key* key = &root_;
  for (std::string_view part : SplitKeyPath(path)) {
    key = key->SubKey(part);
    if (key == nullptr) return nullptr;
  }
  return const_cast<Key*>(key);
}

long RegistryTree::DeleteTree(std::string_view path) {
  std::vector<std::string_view> parts = SplitKeyPath(path);
  if (parts.empty()) {  // the root itself stays; everything in it goes
    root_.values.clear();
    root_.subKeys.clear();
    return ERROR_SUCCESS;
  }
  Key* parent = &root_;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    parent = parent->SubKey(parts[i]);
    if (parent == nullptr) return ERROR_FILE_NOT_FOUND;
  }
  auto& siblings = parent->subKeys;
  auto it = std::find_if(siblings.begin(), siblings.end(),
                         [&](const auto& key) { return EqualsNoCase(key->name, parts.back()); });
  if (it == siblings.end()) return ERROR_FILE_NOT_FOUND;
  siblings.erase(it);
  return ERROR_SUCCESS;
}

long RegistryTree::QueryValue(std::string_view path, std::string_view name, RegValue* out) const {
  Key* key = Find(path);
  if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  const RegValue* value = key->Value(name);
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;
  if (out != nullptr) *out = *value;
  return ERROR_SUCCESS;
}

long RegistryTree::SetValue(std::string_view path, std::string_view name, const RegValue& value) {
  if (!ValidValueName(name)) return ERROR_INVALID_PARAMETER;
  Key* key = Find(path);
  if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  if (RegValue* existing = key->Value(name)) {
    *existing = value;
  } else {
    key->values.emplace_back(std::string(name), value);
  }
  return ERROR_SUCCESS;
}

long RegistryTree::DeleteValue(std::string_view path, std::string_view name) {
  Key* key = Find(path);
  if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  auto it = std::find_if(key->values.begin(), key->values.end(),
                         [&](const auto& entry) { return EqualsNoCase(entry.first, name); });
  if (it == key->values.end()) return ERROR_FILE_NOT_FOUND;
  key->values.erase(it);
  return ERROR_SUCCESS;
}

long RegistryTree::EnumValues(std::string_view path, std::vector<std::string>* names) const {
  names->clear();
  Key* key = Find(path);
  if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  for (const auto& entry : key->values) names->push_back(entry.first);
  return ERROR_SUCCESS;
}

long RegistryTree::EnumSubKeys(std::string_view path, std::vector<std::string>* names) const {
  names->clear();
  Key* key = Find(path);
  if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  for (const auto& child : key->subKeys) names->push_back(child->name);
  return ERROR_SUCCESS;
}

}  // namespace quorvel::platform
