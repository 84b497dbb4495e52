// FolderFileSystem: a file system whose relative paths are resolved in a given
// folder instead of the process's working folder. A host runs the commands of
// several clients at once, each in its client's folder, and never changes the
// process's folder (every thread would move).
//
// Error messages name the resolved path. Thread-safety: as `inner`.
#ifndef QUORVEL_PLATFORM_FOLDER_FILE_SYSTEM_H_
#define QUORVEL_PLATFORM_FOLDER_FILE_SYSTEM_H_

#include <string>

#include "platform/file_system.h"

namespace quorvel::platform {

class FolderFileSystem final : public FileSystem {
 public:
  // `folder`: absolute; `inner` outlives this.
  FolderFileSystem(std::string folder, FileSystem& inner)
      : folder_(std::move(folder)), inner_(inner) {}

  // `path` as the inner file system sees it: unchanged when absolute or when no
  // folder was given, else the folder joined with it.
  std::string Resolve(const std::string& path) const;

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
  FileStatus MakeWritable(const std::string& path) override;
  FileStatus Lock(const std::string& path, bool wait, std::unique_ptr<FileLock>* lock) override;

 private:
  const std::string folder_;
  FileSystem& inner_;
};

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_FOLDER_FILE_SYSTEM_H_
