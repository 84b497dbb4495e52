#include "platform/registry_memory.h"

namespace quorvel::platform {

long RegistryMemory::Done(long code, RegRoot root, std::string_view key, std::string_view name) {
  if (code != ERROR_SUCCESS) lastError_.Set(DescribeFailure(code, root, key, name));
  return code;
}

long RegistryMemory::CreateKey(RegRoot root, std::string_view key) {
  std::lock_guard lock(mutex_);
  return Done(Tree(root).CreateKey(key), root, key);
}

bool RegistryMemory::KeyExists(RegRoot root, std::string_view key) {
  std::lock_guard lock(mutex_);
  return Tree(root).Find(key) != nullptr;
}

long RegistryMemory::DeleteTree(RegRoot root, std::string_view key) {
  std::lock_guard lock(mutex_);
  return Done(Tree(root).DeleteTree(key), root, key);
}

long RegistryMemory::QueryValue(RegRoot root, std::string_view key, std::string_view name,
                                RegValue* out) {
  std::lock_guard lock(mutex_);
  return Done(Tree(root).QueryValue(key, name, out), root, key, name);
}

long RegistryMemory::SetValue(RegRoot root, std::string_view key, std::string_view name,
                              const RegValue& value) {
  std::lock_guard lock(mutex_);
  return Done(Tree(root).SetValue(key, name, value), root, key, name);
}

long RegistryMemory::DeleteValue(RegRoot root, std::string_view key, std::string_view name) {
  std::lock_guard lock(mutex_);
  return Done(Tree(root).DeleteValue(key, name), root, key, name);
}

long RegistryMemory::SetValues(RegRoot root, std::string_view key, const NamedValues& values) {
  // Under one lock, so no reader sees half of it (a failing value leaves the ones
  // before it set: names are checked by the tree, which tests do not trip).
  std::lock_guard lock(mutex_);
  RegistryTree& tree = Tree(root);
  if (long rc = tree.CreateKey(key); rc != ERROR_SUCCESS) return Done(rc, root, key);
  for (const auto& [name, value] : values) {
    if (long rc = tree.SetValue(key, name, value); rc != ERROR_SUCCESS) {
      return Done(rc, root, key, name);
    }
  }
  return ERROR_SUCCESS;
}

long RegistryMemory::EnumValues(RegRoot root, std::string_view key,
                                std::vector<std::string>* names) {
  std::lock_guard lock(mutex_);
  return Done(Tree(root).EnumValues(key, names), root, key);
}

long RegistryMemory::EnumSubKeys(RegRoot root, std::string_view key,
                                 std::vector<std::string>* names) {
  std::lock_guard lock(mutex_);
  return Done(Tree(root).EnumSubKeys(key, names), root, key);
}

}  // namespace quorvel::platform
