// The process's mappings as /proc/self/maps lists them, read into fixed storage so
// that the signal handler can load and search them without allocating: the loaded
// modules (consecutive mappings of one file) and the logical address of a code
// address (its module, the number of its mapping within the module counted from 1,
// and the offset into that mapping).
// Load and the lookups are async-signal-safe. Not thread-safe: one user at a time.
#ifndef QUORVEL_CRASH_MODULE_MAP_H_
#define QUORVEL_CRASH_MODULE_MAP_H_

#include <cstddef>
#include <cstdint>

namespace quorvel::crash {

struct LogicalAddress {
  unsigned section = 0;  // 0: no module holds the address
  std::uintptr_t offset = 0;
  const char* module = "";  // points into the map; valid until its next Load
};

struct Module {
  std::uintptr_t base = 0;
  std::uintptr_t size = 0;
  const char* path = "";
};

class ModuleMap {
 public:
  static constexpr std::size_t kMaxMappings = 4096;
  static constexpr std::size_t kPathPool = 256 * 1024;

  // Reads the maps file (`path`: /proc/self/maps, or another file of its format).
  // False when it cannot be opened; mappings past the capacity are left out.
  bool Load(const char* path = "/proc/self/maps");

  LogicalAddress Find(std::uintptr_t address) const;

  std::size_t ModuleCount() const;
  // REQUIRES: index < ModuleCount().
  Module ModuleAt(std::size_t index) const;

 private:
  struct Mapping {
    std::uintptr_t start;
    std::uintptr_t end;
    std::uint32_t pathAt;       // into pool_; 0: anonymous
    std::uint32_t ordinal;      // its number within the module, from 1
    std::uint32_t moduleFirst;  // index of the module's first mapping
  };

  void AddLine(const char* line, std::size_t size);

  std::size_t count_ = 0;
  std::size_t poolUsed_ = 1;  // pool_[0] is the empty path
  Mapping mappings_[kMaxMappings];
  char pool_[kPathPool];
};

}  // namespace quorvel::crash

#endif  // QUORVEL_CRASH_MODULE_MAP_H_
