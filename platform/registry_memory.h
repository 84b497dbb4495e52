// A registry held in memory, for tests: nothing is read or written on disk.
// Thread-safe (one mutex guards all three roots).
#ifndef QUORVEL_PLATFORM_REGISTRY_MEMORY_H_
#define QUORVEL_PLATFORM_REGISTRY_MEMORY_H_

#include <array>
#include <mutex>

#include "platform/registry.h"
#include "platform/registry_tree.h"

namespace quorvel::platform {

class RegistryMemory final : public Registry {
 public:
  long CreateKey(RegRoot root, std::string_view key) override;
  bool KeyExists(RegRoot root, std::string_view key) override;
  long DeleteTree(RegRoot root, std::string_view key) override;
  long QueryValue(RegRoot root, std::string_view key, std::string_view name,
                  RegValue* out) override;
  long SetValue(RegRoot root, std::string_view key, std::string_view name,
                const RegValue& value) override;
  long DeleteValue(RegRoot root, std::string_view key, std::string_view name) override;
  long SetValues(RegRoot root, std::string_view key, const NamedValues& values) override;
  long EnumValues(RegRoot root, std::string_view key, std::vector<std::string>* names) override;
  long EnumSubKeys(RegRoot root, std::string_view key, std::vector<std::string>* names) override;
  std::string LastError() const override { return lastError_.Get(); }

 private:
  RegistryTree& Tree(RegRoot root) { return trees_[static_cast<std::size_t>(root)]; }
  long Done(long code, RegRoot root, std::string_view key, std::string_view name = {});

  std::mutex mutex_;
  std::array<RegistryTree, 3> trees_;  // guarded by mutex_
  PerThreadError lastError_;
};

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_REGISTRY_MEMORY_H_
