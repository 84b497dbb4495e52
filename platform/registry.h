// The registry stand-in: keys under three roots holding typed values with their
// exact bytes. RegistryMemory serves tests; RegistryFile keeps one text file per
// root in the "Windows Registry Editor Version 5.00" format (registry_file.h).
//
// Key paths use backslashes ("Software\\Veltmark\\Quorvel\\Settings"); key and
// value names compare case-insensitively in the ANSI code page. The empty value
// name is the key's default value. Results are the window system's error codes.
//
// Thread-safety: implementations are safe to call from several threads.
#ifndef QUORVEL_PLATFORM_REGISTRY_H_
#define QUORVEL_PLATFORM_REGISTRY_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/process_lock.h"

namespace quorvel::platform {

enum class RegRoot { kCurrentUser, kLocalMachine, kClassesRoot };

// "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT".
const char* RegRootName(RegRoot root);

enum RegType : std::uint32_t {
  REG_NONE = 0,
  REG_SZ = 1,
  REG_EXPAND_SZ = 2,
  REG_BINARY = 3,
  REG_DWORD = 4,
  REG_MULTI_SZ = 7,
};

// Result codes.
inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;  // no such key or value
inline constexpr long ERROR_ACCESS_DENIED = 5;   // the file cannot be written
inline constexpr long ERROR_INVALID_PARAMETER = 87;
inline constexpr long ERROR_BADDB = 1009;  // the registry file is damaged
inline constexpr long ERROR_KEY_HAS_CHILDREN = 1020;

struct RegValue {
  std::uint32_t type = REG_NONE;
  // The exact bytes: REG_DWORD is 4 bytes little-endian; REG_SZ is ANSI text with
  // its terminating NUL, as the window system stores it.
  std::vector<std::uint8_t> data;

  static RegValue Dword(std::uint32_t v);
  static RegValue String(std::string_view ansi);  // appends the NUL
  static RegValue Binary(std::vector<std::uint8_t> bytes);
};

class Registry {
 public:
  virtual ~Registry() = default;

  // Creates the key and any missing parents.
  virtual long CreateKey(RegRoot root, std::string_view key) = 0;
  virtual bool KeyExists(RegRoot root, std::string_view key) = 0;
  // Deletes the key with its values and every subkey below it.
  virtual long DeleteTree(RegRoot root, std::string_view key) = 0;

  virtual long QueryValue(RegRoot root, std::string_view key, std::string_view name,
                          RegValue* out) = 0;
  // The key must exist (ERROR_FILE_NOT_FOUND otherwise).
  virtual long SetValue(RegRoot root, std::string_view key, std::string_view name,
                        const RegValue& value) = 0;
  virtual long DeleteValue(RegRoot root, std::string_view key, std::string_view name) = 0;

  // Creates the key when missing and sets every value in one change (one write of a
  // file-backed root). On failure nothing of it is kept.
  using NamedValues = std::vector<std::pair<std::string, RegValue>>;
  virtual long SetValues(RegRoot root, std::string_view key, const NamedValues& values);

  // Holds `root` until the returned lock goes: changes by other processes and other
  // threads wait, while this thread's own calls go on. A load, change and save that
  // must not interleave with anyone else's runs under it.
  virtual long HoldRoot(RegRoot root, std::unique_ptr<ProcessLock>* hold);

  // Names of the values and of the direct subkeys of a key, in stored order.
  virtual long EnumValues(RegRoot root, std::string_view key, std::vector<std::string>* names) = 0;
  virtual long EnumSubKeys(RegRoot root, std::string_view key, std::vector<std::string>* names) = 0;

  // A text describing the last failure of this thread's calls (file and line for a
  // damaged file); empty when none.
  virtual std::string LastError() const = 0;
};

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_REGISTRY_H_
