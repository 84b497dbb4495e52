// Files and folders in memory, for tests, with faults on demand.
//
// Every call can be made to fail: FailCall(n, code) fails the n-th call that changes
// something (creating, appending to or committing an atomic file, renaming,
// removing, creating folders, locking) counted from then on, so a test can fail each
// write of an operation in turn and look at what is left. SetFault decides for any
// call. SetReadPiece makes reads hand out short pieces, as a pipe or a slow disk would.
//
// A file needs its folder ("/" exists from the start). Paths are compared as written,
// so tests use plain absolute paths without "." or "..". Symbolic links, devices and
// permissions are the real file system's business and are not modelled.
//
// Thread-safety: every call takes the one mutex.
#ifndef QUORVEL_PLATFORM_MEMORY_FILE_SYSTEM_H_
#define QUORVEL_PLATFORM_MEMORY_FILE_SYSTEM_H_

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace quorvel::platform {

class MemoryFileSystem final : public FileSystem {
 public:
  enum class Call {
    kRead,  // ReadFile, OpenForReading and each Read
    kStat,
    kList,
    kCreate,  // NewAtomicFile
    kAppend,  // AtomicFile::Append, AppendToFile, OpenForAppending and its Append
    kCommit,
    kCreateFolders,
    kRename,  // Rename and RenameNoReplace
    kRemove,  // Remove and RemoveAll
    kLock,
  };
  // Returns 0 to let the call proceed, or the errno value it fails with.
  using Fault = std::function<int(Call call, const std::string& path)>;

  MemoryFileSystem();

  // Fails the n-th changing call from now on (n = 0: the next one) with `code`;
  // calls before and after it succeed.
  void FailCall(int n, int code);
  // The changing calls made since the last FailCall (or since construction).
  int ChangingCalls() const;
  void SetFault(Fault fault);
  void SetReadPiece(std::size_t bytes);

  // Test set-up and inspection, never failing.
  void PutFile(const std::string& path, std::string bytes);
  std::optional<std::string> FileBytes(const std::string& path) const;
  // Every file, in path order.
  std::vector<std::string> Files() const;

  FileStatus ReadFile(const std::string& path, std::string* bytes) override;
  FileStatus OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override;
  FileStatus NewAtomicFile(const std::string& path, std::unique_ptr<AtomicFile>* file,
                           std::optional<unsigned> mode = std::nullopt) override;
  FileStatus AppendToFile(const std::string& path, std::string_view bytes,
                          std::uint64_t* size = nullptr, unsigned mode = 0600) override;
  FileStatus OpenForAppending(const std::string& path, std::unique_ptr<AppendingFile>* file,
                              unsigned mode = 0600) override;
  FileStatus Stat(const std::string& path, FileInfo* info) override;
  FileStatus ListFolder(const std::string& path, std::vector<FolderEntry>* entries) override;
  FileStatus CreateFolders(const std::string& path, unsigned mode = 0777) override;
  FileStatus RenameNoReplace(const std::string& from, const std::string& to) override;
  FileStatus Rename(const std::string& from, const std::string& to) override;
  FileStatus Remove(const std::string& path) override;
  FileStatus RemoveAll(const std::string& path) override;
  FileStatus MakeWritable(const std::string&) override { return {}; }
  FileStatus Lock(const std::string& path, bool wait, std::unique_ptr<FileLock>* lock) override;

 private:
  class File;
  class Appender;
  class Reader;
  class Held;
  struct Node {
    bool folder = false;
    std::string bytes;
    std::uint64_t serial = 0;  // a new one for every write, standing for the inode
  };

  // The error `call` on `path` fails with, or 0. Requires mutex_.
  int FaultOf(Call call, const std::string& path);
  bool HasFolder(const std::string& path) const;  // requires mutex_
  // The file `path` names, made empty when missing, to append to. Requires mutex_.
  FileStatus OpenAppend(const std::string& path, Node** node);
  void Unlock(const std::string& path);

  mutable std::mutex mutex_;
  std::condition_variable unlocked_;
  std::map<std::string, Node> nodes_;  // guarded by mutex_
  std::set<std::string> locked_;       // guarded by mutex_
  Fault fault_;                        // guarded by mutex_
  int changingCalls_ = 0;              // guarded by mutex_
  int failAt_ = -1;                    // guarded by mutex_
  int failCode_ = 0;                   // guarded by mutex_
  std::size_t readPiece_ = 0;          // guarded by mutex_; 0 = no limit
  unsigned temporaryCount_ = 0;        // guarded by mutex_
  std::uint64_t nextSerial_ = 1;       // guarded by mutex_
};

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_MEMORY_FILE_SYSTEM_H_
