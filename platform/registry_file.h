// The registry kept in files: one "Windows Registry Editor Version 5.00" text file
// per root (HKEY_CURRENT_USER.reg, HKEY_LOCAL_MACHINE.reg, HKEY_CLASSES_ROOT.reg) in
// one directory; the format is described in registry_text.h.
//
// Every change takes the root's lock (process_lock.h: flock on "<root>.reg.lock"
// beside the file, shared by every thread and object of the process), reads the file
// again under it, applies the change and replaces the file atomically (temporary
// file, flush, rename), so that processes sharing the directory never lose each
// other's values. HoldRoot takes the same lock for longer: a command's load, change
// and save. SetValues is one change: one write. Reads take no lock (the file is only
// ever replaced whole) and reuse the parsed file while it is unchanged on disk.
//
// The files are written with mode 0600 (a file with a wider mode is tightened when it
// is next written) and the directory is made with mode 0700.
//
// A file that cannot be parsed makes every call on its root fail with ERROR_BADDB,
// and LastError() names the file and line; such a file is never written over.
//
// Thread-safety: safe to call from several threads; mutex_ serialises the calls of
// one object, the file lock those of different objects and processes.
#ifndef QUORVEL_PLATFORM_REGISTRY_FILE_H_
#define QUORVEL_PLATFORM_REGISTRY_FILE_H_

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/registry_tree.h"

namespace quorvel::platform {

inline constexpr unsigned kPrivateFolderMode = 0700;
inline constexpr unsigned kPrivateFileMode = 0600;

class RegistryFile final : public Registry {
 public:
  // `directory` need not exist yet; it is created on the first change. `files` must
  // outlive the registry.
  explicit RegistryFile(std::string directory, FileSystem& files = RealFileSystem());

  long CreateKey(RegRoot root, std::string_view key) override;
  bool KeyExists(RegRoot root, std::string_view key) override;
  long DeleteTree(RegRoot root, std::string_view key) override;
  long QueryValue(RegRoot root, std::string_view key, std::string_view name,
                  RegValue* out) override;
  long SetValue(RegRoot root, std::string_view key, std::string_view name,
                const RegValue& value) override;
  long DeleteValue(RegRoot root, std::string_view key, std::string_view name) override;
  long SetValues(RegRoot root, std::string_view key, const NamedValues& values) override;
  long HoldRoot(RegRoot root, std::unique_ptr<ProcessLock>* hold) override;
  long EnumValues(RegRoot root, std::string_view key, std::vector<std::string>* names) override;
  long EnumSubKeys(RegRoot root, std::string_view key, std::vector<std::string>* names) override;
  std::string LastError() const override { return lastError_.Get(); }

  // The file that holds a root ("<directory>/HKEY_CURRENT_USER.reg").
  std::string FilePath(RegRoot root) const;

 private:
  // The parsed file of one root and what identified the file on disk.
  struct Snapshot {
    bool valid = false;
    FileInfo file;
    std::shared_ptr<const RegistryTree> tree;
  };

  // The root's current tree (empty when the file does not exist). Called with mutex_ held.
  long Load(RegRoot root, std::shared_ptr<const RegistryTree>* tree);
  // Reads the root's file (no bytes when it does not exist) and what identifies it.
  long ReadFile(RegRoot root, FileInfo* info, std::string* bytes);
  long Parse(RegRoot root, const std::string& bytes, RegistryTree* tree);
  // Runs `change` on a fresh copy of the root under the root's lock and writes the
  // result when the change succeeded and altered the text. Takes mutex_ itself.
  long Change(RegRoot root, const std::function<long(RegistryTree&)>& change);
  long Fail(long code, std::string text);

  std::string directory_;
  FileSystem& files_;
  std::mutex mutex_;
  std::array<Snapshot, 3> snapshots_;  // guarded by mutex_
  PerThreadError lastError_;
};

// The per-user registry directory: $QUORVEL_CONFIG (the directory itself, for a
// delivery agent that runs the program without HOME or the XDG variables), else
// $XDG_CONFIG_HOME/Veltmark/registry/, else $HOME/.config/Veltmark/registry/ (empty
// when none is set; a value that is not an absolute path counts as unset). Ends with '/'.
std::string DefaultRegistryDirectory();

// A file registry in DefaultRegistryDirectory().
std::unique_ptr<Registry> OpenDefaultRegistry();

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_REGISTRY_FILE_H_
