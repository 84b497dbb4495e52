#include "platform/file_system.h"

#include <cstring>
#include <utility>

namespace quorvel::platform {

FileStatus::FileStatus(int code, std::string_view what, std::string_view path) : code_(code) {
  message_.append(what).append(" ").append(path).append(": ").append(std::strerror(code));
}

FileStatus FileStatus::WithMessage(int code, std::string message) {
  FileStatus status;
  status.code_ = code;
  status.message_ = std::move(message);
  return status;
}

FileStatus NotARegularFile(std::string_view path) {
  return FileStatus::WithMessage(kNotARegularFile,
                                 "cannot read " + std::string(path) + ": not a regular file");
}

FileStatus FileSystem::WriteFileAtomic(const std::string& path, std::string_view bytes,
                                       std::optional<unsigned> mode) {
  std::unique_ptr<AtomicFile> file;
  FileStatus status = NewAtomicFile(path, &file, mode);
  if (status.ok()) status = file->Append(bytes);
  if (status.ok()) status = file->Commit();
  return status;
}

bool FileSystem::Exists(const std::string& path) {
  FileInfo info;
  return Stat(path, &info).ok() && info.kind != FileKind::kMissing;
}

std::string JoinFilePath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

std::string FolderOfPath(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace quorvel::platform
