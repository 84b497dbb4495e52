// The keys and values under one registry root, as both registry implementations
// hold them in memory. Key paths are split at backslashes (empty parts are
// skipped); names compare case-insensitively in the ANSI code page and keep the
// case they were created with; values and subkeys keep their insertion order.
//
// Thread-safety: none; the owner serialises access.
#ifndef QUORVEL_PLATFORM_REGISTRY_TREE_H_
#define QUORVEL_PLATFORM_REGISTRY_TREE_H_

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace quorvel::platform {

// Longest key name part and value name the window system accepts.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
// Deepest key the window system accepts; deeper paths are refused, which also keeps
// every walk of the tree (its destructor included) to a bounded depth.
inline constexpr std::size_t kMaxKeyDepth = 512;

class RegistryTree {
 public:
  struct Key {
    std::string name;
    std::vector<std::pair<std::string, RegValue>> values;
    std::vector<std::unique_ptr<Key>> subKeys;

    Key* SubKey(std::string_view child) const;
    RegValue* Value(std::string_view valueName);
  };

  // False when a name holds a line break or NUL, or is too long, or the path has more
  // than kMaxKeyDepth parts; such names would not survive the file format.
  static bool ValidKeyPath(std::string_view path);
  static bool ValidValueName(std::string_view name);

  // Creates the key and missing parents; *created tells whether anything was new.
  long CreateKey(std::string_view path, bool* created = nullptr);
  Key* Find(std::string_view path) const;
  long DeleteTree(std::string_view path);
  long QueryValue(std::string_view path, std::string_view name, RegValue* out) const;
  long SetValue(std::string_view path, std::string_view name, const RegValue& value);
  long DeleteValue(std::string_view path, std::string_view name);
  long EnumValues(std::string_view path, std::vector<std::string>* names) const;
  long EnumSubKeys(std::string_view path, std::vector<std::string>* names) const;

  const Key& root() const { return root_; }

 private:
  Key root_;
};

// The text of each thread's last failure, for Registry::LastError. Thread-safe.
class PerThreadError {
 public:
  void Set(std::string text) {
    std::lock_guard lock(mutex_);
    texts_[std::this_thread::get_id()] = std::move(text);
  }
  std::string Get() const {
    std::lock_guard lock(mutex_);
    auto it = texts_.find(std::this_thread::get_id());
    return it == texts_.end() ? std::string() : it->second;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::thread::id, std::string> texts_;  // guarded by mutex_
};

// A failure's text for a code of the tree ("no such key", ...), naming the key.
std::string DescribeFailure(long code, RegRoot root, std::string_view key, std::string_view name);

// Splits a key path at backslashes, skipping empty parts.
std::vector<std::string_view> SplitKeyPath(std::string_view path);

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_REGISTRY_TREE_H_
