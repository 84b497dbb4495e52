#include "platform/memory_file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quorvel::platform {
namespace {

bool IsChanging(MemoryFileSystem::Call call) {
  using Call = MemoryFileSystem::Call;
  return call != Call::kRead && call != Call::kStat && call != Call::kList;
}

}  // namespace

class MemoryFileSystem::Reader final : public ReadableFile {
 public:
  Reader(MemoryFileSystem& files, std::string path, std::string bytes)
      : files_(files), path_(std::move(path)), bytes_(std::move(bytes)) {}
  FileStatus Read(char* buffer, std::size_t capacity, std::size_t* got) override {
    *got = 0;
    std::size_t piece = 0;
    {
      std::lock_guard lock(files_.mutex_);
      if (int code = files_.FaultOf(Call::kRead, path_)) {
        return FileStatus(code, "cannot read", path_);
      }
      piece = files_.readPiece_;
    }
    std::size_t n = std::min(capacity, bytes_.size() - position_);
    if (piece > 0) n = std::min(n, piece);
    if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    *got = n;
    return {};
  }
  std::uint64_t size() const override { return bytes_.size(); }

 private:
  MemoryFileSystem& files_;
  std::string path_;
  std::string bytes_;
  std::size_t position_ = 0;
};

// Follows its file by serial, as a descriptor follows its inode through renames; once
// the file is removed its appends go nowhere, as they would on a removed file.
class MemoryFileSystem::Appender final : public AppendingFile {
 public:
  Appender(MemoryFileSystem& files, std::string path, std::uint64_t serial)
      : files_(files), path_(std::move(path)), serial_(serial) {}

  FileStatus Append(std::string_view bytes, std::uint64_t* size) override {
    std::lock_guard lock(files_.mutex_);
    if (int code = files_.FaultOf(Call::kAppend, path_)) {
      return FileStatus(code, "cannot write", path_);
    }
    orphanSize_ += bytes.size();
    std::uint64_t after = orphanSize_;
    for (auto& [name, node] : files_.nodes_) {
      if (node.folder || node.serial != serial_) continue;
      node.bytes.append(bytes);
      after = node.bytes.size();
      break;
    }
    if (size) *size = after;
    return {};
  }
  FileInfo identity() const override {
    FileInfo info;
    info.kind = FileKind::kFile;
    info.inode = serial_;
    return info;
  }

 private:
  MemoryFileSystem& files_;
  const std::string path_;
  const std::uint64_t serial_;
  std::uint64_t orphanSize_ = 0;  // guarded by files_.mutex_
};

class MemoryFileSystem::File final : public AtomicFile {
 public:
  File(MemoryFileSystem& files, std::string target, std::string temp)
      : files_(files), target_(std::move(target)), temp_(std::move(temp)) {}
  ~File() override {
    if (temp_.empty()) return;
    std::lock_guard lock(files_.mutex_);
    files_.nodes_.erase(temp_);
  }

  FileStatus Append(std::string_view bytes) override {
    std::lock_guard lock(files_.mutex_);
    if (temp_.empty()) return FileStatus(EBADF, "cannot write", target_);
    if (int code = files_.FaultOf(Call::kAppend, target_)) {
      return FileStatus(code, "cannot write", temp_);
    }
    files_.nodes_[temp_].bytes.append(bytes);
    return {};
  }

  FileStatus Commit() override {
    std::lock_guard lock(files_.mutex_);
    if (temp_.empty()) return FileStatus(EBADF, "cannot write", target_);
    if (int code = files_.FaultOf(Call::kCommit, target_)) {
      return FileStatus(code, "cannot replace", target_);
    }
    auto node = files_.nodes_.extract(temp_);
    if (node.empty()) return FileStatus(ENOENT, "cannot replace", target_);
    node.key() = target_;
    node.mapped().serial = files_.nextSerial_++;
    files_.nodes_.erase(target_);
    files_.nodes_.insert(std::move(node));
    temp_.clear();
    return {};
  }

 private:
  MemoryFileSystem& files_;
  std::string target_;
  std::string temp_;
};

class MemoryFileSystem::Held final : public FileLock {
 public:
  Held(MemoryFileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}
  ~Held() override { files_.Unlock(path_); }

 private:
  MemoryFileSystem& files_;
  std::string path_;
};

MemoryFileSystem::MemoryFileSystem() { nodes_["/"].folder = true; }

void MemoryFileSystem::FailCall(int n, int code) {
  std::lock_guard lock(mutex_);
  changingCalls_ = 0;
  failAt_ = n;
  failCode_ = code;
}

int MemoryFileSystem::ChangingCalls() const {
  std::lock_guard lock(mutex_);
  return changingCalls_;
}

void MemoryFileSystem::SetFault(Fault fault) {
  std::lock_guard lock(mutex_);
  fault_ = std::move(fault);
}

void MemoryFileSystem::SetReadPiece(std::size_t bytes) {
  std::lock_guard lock(mutex_);
  readPiece_ = bytes;
}

int MemoryFileSystem::FaultOf(Call call, const std::string& path) {
  if (IsChanging(call)) {
    if (changingCalls_++ == failAt_) return failCode_;
  }
  return fault_ ? fault_(call, path) : 0;
}

bool MemoryFileSystem::HasFolder(const std::string& path) const {
  auto it = nodes_.find(path.empty() ? "/" : path);
  return it != nodes_.end() && it->second.folder;
}

void MemoryFileSystem::PutFile(const std::string& path, std::string bytes) {
  std::lock_guard lock(mutex_);
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    nodes_[path.substr(0, slash)].folder = true;
  }
  nodes_[path] = Node{false, std::move(bytes), nextSerial_++};
}

std::optional<std::string> MemoryFileSystem::FileBytes(const std::string& path) const {
  std::lock_guard lock(mutex_);
  auto it = nodes_.find(path);
  if (it == nodes_.end() || it->second.folder) return std::nullopt;
  return it->second.bytes;
}

std::vector<std::string> MemoryFileSystem::Files() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> files;
  for (const auto& [path, node] : nodes_) {
    if (!node.folder) files.push_back(path);
  }
  return files;
}

FileStatus MemoryFileSystem::ReadFile(const std::string& path, std::string* bytes) {
  bytes->clear();
  std::unique_ptr<ReadableFile> file;
  FileStatus status = OpenForReading(path, &file);
  char buffer[4096];
  for (std::size_t got = 1; status.ok() && got > 0;) {
    status = file->Read(buffer, sizeof buffer, &got);
    if (status.ok()) bytes->append(buffer, got);
  }
  if (!status.ok()) bytes->clear();
  return status;
}

FileStatus MemoryFileSystem::OpenForReading(const std::string& path,
                                            std::unique_ptr<ReadableFile>* file) {
  std::lock_guard lock(mutex_);
  if (int code = FaultOf(Call::kRead, path)) return FileStatus(code, "cannot open", path);
  auto it = nodes_.find(path);
  if (it == nodes_.end()) return FileStatus(ENOENT, "cannot open", path);
  if (it->second.folder) return FileStatus(EISDIR, "cannot read", path);
  *file = std::make_unique<Reader>(*this, path, it->second.bytes);
  return {};
}

FileStatus MemoryFileSystem::NewAtomicFile(const std::string& path,
                                           std::unique_ptr<AtomicFile>* file,
                                           std::optional<unsigned> /*mode*/) {
  std::lock_guard lock(mutex_);
  if (int code = FaultOf(Call::kCreate, path)) return FileStatus(code, "cannot create", path);
  if (HasFolder(path)) return FileStatus(EISDIR, "cannot write", path);
  if (!HasFolder(FolderOfPath(path))) return FileStatus(ENOENT, "cannot create", path);
  std::string temp = path + ".tmp-mem-" + std::to_string(temporaryCount_++);
  nodes_[temp] = Node{};
  *file = std::make_unique<File>(*this, path, std::move(temp));
  return {};
}

FileStatus MemoryFileSystem::OpenAppend(const std::string& path, Node** node) {
  if (int code = FaultOf(Call::kAppend, path)) return FileStatus(code, "cannot write", path);
  if (HasFolder(path)) return FileStatus(EISDIR, "cannot write", path);
  if (!HasFolder(FolderOfPath(path))) return FileStatus(ENOENT, "cannot create", path);
  auto [it, made] = nodes_.try_emplace(path);
  if (made) it->second.serial = nextSerial_++;
  *node = &it->second;
  return {};
}

FileStatus MemoryFileSystem::AppendToFile(const std::string& path, std::string_view bytes,
                                          std::uint64_t* size, unsigned /*mode*/) {
  std::lock_guard lock(mutex_);
  Node* node = nullptr;
  if (FileStatus status = OpenAppend(path, &node); !status.ok()) return status;
  node->bytes.append(bytes);
  if (size) *size = node->bytes.size();
  return {};
}

FileStatus MemoryFileSystem::OpenForAppending(const std::string& path,
                                              std::unique_ptr<AppendingFile>* file,
                                              unsigned /*mode*/) {
  std::lock_guard lock(mutex_);
  Node* node = nullptr;
  if (FileStatus status = OpenAppend(path, &node); !status.ok()) return status;
  *file = std::make_unique<Appender>(*this, path, node->serial);
  return {};
}

FileStatus MemoryFileSystem::Stat(const std::string& path, FileInfo* info) {
  std::lock_guard lock(mutex_);
  *info = {};
  if (int code = FaultOf(Call::kStat, path)) return FileStatus(code, "cannot look at", path);
  auto it = nodes_.find(path);
  if (it == nodes_.end()) return {};
  info->kind = it->second.folder ? FileKind::kFolder : FileKind::kFile;
  info->size = it->second.bytes.size();
  info->mode = it->second.folder ? 0755 : 0644;
  info->inode = it->second.serial;
  return {};
}

FileStatus MemoryFileSystem::ListFolder(const std::string& path,
                                        std::vector<FolderEntry>* entries) {
  std::lock_guard lock(mutex_);
  entries->clear();
  if (int code = FaultOf(Call::kList, path)) return FileStatus(code, "cannot list", path);
  if (!HasFolder(path)) {
    return FileStatus(nodes_.count(path) > 0 ? ENOTDIR : ENOENT, "cannot list", path);
  }
  const std::string prefix = path == "/" ? path : path + "/";
  for (auto it = nodes_.lower_bound(prefix); it != nodes_.end() && it->first.starts_with(prefix);
       ++it) {
    const std::string name = it->first.substr(prefix.size());
    if (name.empty() || name.find('/') != std::string::npos) continue;
    entries->push_back({name, it->second.folder ? FileKind::kFolder : FileKind::kFile});
  }
  return {};
}

FileStatus MemoryFileSystem::CreateFolders(const std::string& path, unsigned /*mode*/) {
  std::lock_guard lock(mutex_);
  if (int code = FaultOf(Call::kCreateFolders, path)) {
    return FileStatus(code, "cannot create the folder", path);
  }
  for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string prefix = path.substr(0, end);
    auto it = nodes_.find(prefix);
    if (it != nodes_.end() && !it->second.folder) {
      return FileStatus(ENOTDIR, "cannot create the folder", prefix);
    }
    nodes_[prefix].folder = true;
    if (end == std::string::npos) break;
  }
  return {};
}

FileStatus MemoryFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
  {
    std::lock_guard lock(mutex_);
    if (nodes_.count(to) > 0) {
      FaultOf(Call::kRename, from);  // counted like any rename
      return FileStatus(EEXIST, "cannot rename", from);
    }
  }
  return Rename(from, to);
}

FileStatus MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  std::lock_guard lock(mutex_);
  if (int code = FaultOf(Call::kRename, from)) return FileStatus(code, "cannot rename", from);
  auto it = nodes_.find(from);
  if (it == nodes_.end()) return FileStatus(ENOENT, "cannot rename", from);
  if (!HasFolder(FolderOfPath(to))) return FileStatus(ENOENT, "cannot rename", from);
  if (HasFolder(to)) return FileStatus(EISDIR, "cannot rename", from);
  // A folder takes everything under it along.
  std::vector<std::pair<std::string, Node>> moved;
  const std::string prefix = from + "/";
  for (auto child = nodes_.lower_bound(prefix);
       child != nodes_.end() && child->first.starts_with(prefix);) {
    moved.emplace_back(to + "/" + child->first.substr(prefix.size()), std::move(child->second));
    child = nodes_.erase(child);
  }
  Node node = std::move(it->second);
  nodes_.erase(from);
  nodes_[to] = std::move(node);
  for (auto& [path, child] : moved) nodes_[path] = std::move(child);
  return {};
}

FileStatus MemoryFileSystem::Remove(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (int code = FaultOf(Call::kRemove, path)) return FileStatus(code, "cannot remove", path);
  auto it = nodes_.find(path);
  if (it == nodes_.end()) return FileStatus(ENOENT, "cannot remove", path);
  if (it->second.folder) {
    auto next = std::next(it);
    if (next != nodes_.end() && next->first.starts_with(path + "/")) {
      return FileStatus(ENOTEMPTY, "cannot remove", path);
    }
  }
  nodes_.erase(it);
  return {};
}

FileStatus MemoryFileSystem::RemoveAll(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (int code = FaultOf(Call::kRemove, path)) return FileStatus(code, "cannot remove", path);
  nodes_.erase(path);
  const std::string prefix = path + "/";
  for (auto it = nodes_.lower_bound(prefix); it != nodes_.end() && it->first.starts_with(prefix);) {
    it = nodes_.erase(it);
  }
  return {};
}

FileStatus MemoryFileSystem::Lock(const std::string& path, bool wait,
                                  std::unique_ptr<FileLock>* lock) {
  std::unique_lock guard(mutex_);
  if (int code = FaultOf(Call::kLock, path)) return FileStatus(code, "cannot lock", path);
  if (!HasFolder(FolderOfPath(path))) return FileStatus(ENOENT, "cannot open the lock file", path);
  if (!wait && locked_.count(path) > 0) return FileStatus(EWOULDBLOCK, "cannot lock", path);
  unlocked_.wait(guard, [&] { return locked_.count(path) == 0; });
  locked_.insert(path);
  if (nodes_.count(path) == 0) nodes_[path] = Node{};
  *lock = std::make_unique<Held>(*this, path);
  return {};
}

void MemoryFileSystem::Unlock(const std::string& path) {
  {
    std::lock_guard lock(mutex_);
    locked_.erase(path);
  }
  unlocked_.notify_all();
}

}  // namespace quorvel::platform
