#include "platform/registry.h"

namespace quorvel::platform {

const char* RegRootName(RegRoot root) {
  switch (root) {
    case RegRoot::kCurrentUser:
      return "HKEY_CURRENT_USER";
    case RegRoot::kLocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case RegRoot::kClassesRoot:
      return "HKEY_CLASSES_ROOT";
  }
  return "";
}

RegValue RegValue::Dword(std::uint32_t v) {
  RegValue value;
  value.type = REG_DWORD;
  value.data = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
  return value;
}

RegValue RegValue::String(std::string_view ansi) {
  RegValue value;
  value.type = REG_SZ;
  value.data.assign(ansi.begin(), ansi.end());
  value.data.push_back(0);
  return value;
}

RegValue RegValue::Binary(std::vector<std::uint8_t> bytes) {
  RegValue value;
  value.type = REG_BINARY;
  value.data = std::move(bytes);
  return value;
}

}  // namespace quorvel::platform

namespace quorvel::platform {

long Registry::SetValues(RegRoot root, std::string_view key, const NamedValues& values) {
  // One by one: implementations that can do better override this.
  if (long rc = CreateKey(root, key); rc != ERROR_SUCCESS) return rc;
  for (const auto& [name, value] : values) {
    if (long rc = SetValue(root, key, name, value); rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

long Registry::HoldRoot(RegRoot root, std::unique_ptr<ProcessLock>* hold) {
  const std::string name = "registry " + std::to_string(reinterpret_cast<std::uintptr_t>(this)) +
                           " " + RegRootName(root);
  return ProcessLock::Take(nullptr, name, hold).ok() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

}  // namespace quorvel::platform
