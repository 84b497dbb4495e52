#include "platform/folder_file_system.h"

namespace quorvel::platform {

std::string FolderFileSystem::Resolve(const std::string& path) const {
  if (folder_.empty() || path.empty() || path[0] == '/') return path;
  return JoinFilePath(folder_, path);
}

FileStatus FolderFileSystem::ReadFile(const std::string& path, std::string* bytes) {
  return inner_.ReadFile(Resolve(path), bytes);
}
FileStatus FolderFileSystem::OpenForReading(const std::string& path,
                                            std::unique_ptr<ReadableFile>* file) {
  return inner_.OpenForReading(Resolve(path), file);
}
FileStatus FolderFileSystem::NewAtomicFile(const std::string& path,
                                           std::unique_ptr<AtomicFile>* file,
                                           std::optional<unsigned> mode) {
  return inner_.NewAtomicFile(Resolve(path), file, mode);
}
FileStatus FolderFileSystem::AppendToFile(const std::string& path, std::string_view bytes,
                                          std::uint64_t* size, unsigned mode) {
  return inner_.AppendToFile(Resolve(path), bytes, size, mode);
}
FileStatus FolderFileSystem::OpenForAppending(const std::string& path,
                                              std::unique_ptr<AppendingFile>* file, unsigned mode) {
  return inner_.OpenForAppending(Resolve(path), file, mode);
}
FileStatus FolderFileSystem::Stat(const std::string& path, FileInfo* info) {
  return inner_.Stat(Resolve(path), info);
}
FileStatus FolderFileSystem::ListFolder(const std::string& path,
                                        std::vector<FolderEntry>* entries) {
  return inner_.ListFolder(Resolve(path), entries);
}
FileStatus FolderFileSystem::CreateFolders(const std::string& path, unsigned mode) {
  return inner_.CreateFolders(Resolve(path), mode);
}
FileStatus FolderFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
  return inner_.RenameNoReplace(Resolve(from), Resolve(to));
}
FileStatus FolderFileSystem::Rename(const std::string& from, const std::string& to) {
  return inner_.Rename(Resolve(from), Resolve(to));
}
FileStatus FolderFileSystem::Remove(const std::string& path) {
  return inner_.Remove(Resolve(path));
}
FileStatus FolderFileSystem::RemoveAll(const std::string& path) {
  return inner_.RemoveAll(Resolve(path));
}
FileStatus FolderFileSystem::MakeWritable(const std::string& path) {
  return inner_.MakeWritable(Resolve(path));
}
FileStatus FolderFileSystem::Lock(const std::string& path, bool wait,
                                  std::unique_ptr<FileLock>* lock) {
  return inner_.Lock(Resolve(path), wait, lock);
}

}  // namespace quorvel::platform
