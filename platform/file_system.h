// The files and folders the program reads and writes, behind one interface.
//
// Components receive a FileSystem through their constructor (defaulting to
// RealFileSystem()); tests pass a MemoryFileSystem (memory_file_system.h), which can be
// told to fail any call, to see what a full disk, a failed rename or a failed read
// leaves behind.
//
// Writing never changes a file in place. An AtomicFile is a new file written beside
// its target ("<target>.tmp-<pid>-<n>") and renamed over it at Commit, after its
// bytes and then its folder have been flushed; a crash at any moment leaves either
// the old file or the new one. The target of a symbolic link is replaced (the link
// stays); the new file keeps the old one's permissions; a file the user may not write
// is refused (EACCES). A device, a FIFO or an open descriptor (/dev/stdout) cannot be
// replaced: it is written to directly.
//
// Thread-safety: every call may be made from any thread.
#ifndef QUORVEL_PLATFORM_FILE_SYSTEM_H_
#define QUORVEL_PLATFORM_FILE_SYSTEM_H_

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_status.h"

namespace quorvel::platform {

enum class FileKind { kMissing, kFile, kFolder, kOther };

struct FileInfo {
  FileKind kind = FileKind::kMissing;
  std::uint64_t size = 0;
  unsigned mode = 0;  // permission bits
  // Which file this is and when it last changed: equal values mean the same content.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t modifiedNs = 0;
};

struct FolderEntry {
  std::string name;
  FileKind kind = FileKind::kOther;  // symbolic links are followed
  bool link = false;                 // a symbolic link (to something of `kind`)
};

// A file read from its start, in pieces.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads up to `capacity` bytes; *got = 0 at the end of the file.
  virtual FileStatus Read(char* buffer, std::size_t capacity, std::size_t* got) = 0;
  // The file's size when it was opened (what a whole read is likely to give).
  virtual std::uint64_t size() const = 0;
  // False for a FIFO, a device or a socket: reading it may wait for a writer.
  virtual bool regular() const { return true; }
};

// A new file that takes its target's place at Commit. Destroyed without a successful
// Commit, it leaves the target as it was and removes what it wrote.
class AtomicFile {
 public:
  virtual ~AtomicFile() = default;
  virtual FileStatus Append(std::string_view bytes) = 0;
  virtual FileStatus Commit() = 0;
};

// A file kept open for appending (FileSystem::OpenForAppending). It goes on writing to
// the same file when that is renamed or removed; identity() tells it apart from
// whatever the path names later.
class AppendingFile {
 public:
  virtual ~AppendingFile() = default;
  // As AppendToFile: one write at the end of the file, a short one fails (EIO).
  virtual FileStatus Append(std::string_view bytes, std::uint64_t* size = nullptr) = 0;
  // The file's device and inode when opened (the other fields are not set).
  virtual FileInfo identity() const = 0;
};

// A lock held on a lock file until destroyed. It excludes other holders of the same
// file in this and other processes; it does not exclude the same holder twice.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// The code of a path that is neither a regular file nor a folder (a FIFO, a device, a
// socket) where only a regular file will do: reading one may wait for ever.
inline constexpr int kNotARegularFile = EINVAL;
// "cannot read <path>: not a regular file", with that code.
FileStatus NotARegularFile(std::string_view path);

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The whole file. A folder is refused (EISDIR), anything else that is not a regular
  // file too (kNotARegularFile, "cannot read <path>: not a regular file").
  virtual FileStatus ReadFile(const std::string& path, std::string* bytes) = 0;
  // A folder is refused (EISDIR). Opening never waits (a FIFO without a writer is
  // opened at once); reading a file that is not regular() may, which a caller that
  // takes only regular files refuses.
  virtual FileStatus OpenForReading(const std::string& path,
                                    std::unique_ptr<ReadableFile>* file) = 0;
  // The new file keeps the permissions of the file it replaces (a new one gets the
  // usual ones, less the umask); `mode`, when given, is its permissions instead, as
  // for a file only its owner may read.
  virtual FileStatus NewAtomicFile(const std::string& path, std::unique_ptr<AtomicFile>* file,
                                   std::optional<unsigned> mode = std::nullopt) = 0;
  // NewAtomicFile, Append and Commit in one call.
  FileStatus WriteFileAtomic(const std::string& path, std::string_view bytes,
                             std::optional<unsigned> mode = std::nullopt);

  // Appends `bytes` to the end of `path` (created with `mode` when missing) in one
  // write on a descriptor opened for appending, so that appends by other threads and
  // processes never interleave with it; *size, when given, is the file's size after
  // it. A write that stored only part of `bytes` fails (EIO).
  virtual FileStatus AppendToFile(const std::string& path, std::string_view bytes,
                                  std::uint64_t* size = nullptr, unsigned mode = 0600) = 0;

  // A descriptor kept open for appending to `path` (created with `mode` when missing),
  // for a file written line by line; its appends are as AppendToFile's.
  virtual FileStatus OpenForAppending(const std::string& path, std::unique_ptr<AppendingFile>* file,
                                      unsigned mode = 0600) = 0;

  // A missing path is no error: info->kind is then kMissing.
  virtual FileStatus Stat(const std::string& path, FileInfo* info) = 0;
  // The entries of a folder in no particular order, without "." and "..".
  virtual FileStatus ListFolder(const std::string& path, std::vector<FolderEntry>* entries) = 0;
  // Creates the folder and its missing parents with the permissions `mode` (less the
  // process's umask); an existing folder is no error and keeps its permissions.
  virtual FileStatus CreateFolders(const std::string& path, unsigned mode = 0777) = 0;

  // Renames, failing with EEXIST when `to` exists.
  virtual FileStatus RenameNoReplace(const std::string& from, const std::string& to) = 0;
  // Renames over whatever `to` is.
  virtual FileStatus Rename(const std::string& from, const std::string& to) = 0;
  // Removes a file or an empty folder.
  virtual FileStatus Remove(const std::string& path) = 0;
  // Removes a folder and everything in it; a missing folder is no error.
  virtual FileStatus RemoveAll(const std::string& path) = 0;

  // Gives the owner write permission on a file; a missing file or a symbolic link
  // (whose target may not be the user's to change) is left alone.
  virtual FileStatus MakeWritable(const std::string& path) = 0;

  // Locks `path` (created empty when missing). With `wait` false a lock held by
  // someone else fails at once with EWOULDBLOCK.
  virtual FileStatus Lock(const std::string& path, bool wait, std::unique_ptr<FileLock>* lock) = 0;

  bool Exists(const std::string& path);
};

// The machine's own files.
FileSystem& RealFileSystem();

// "a/b" for ("a", "b"); the folder part of a path ("." when it has none).
std::string JoinFilePath(std::string_view folder, std::string_view name);
std::string FolderOfPath(const std::string& path);

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_FILE_SYSTEM_H_
