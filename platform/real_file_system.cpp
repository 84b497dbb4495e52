// The machine's own files, through the POSIX calls.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <filesystem>

#include "platform/file_system.h"
#include "platform/folder_visit.h"

namespace quorvel::platform {
namespace {

// Numbers the temporary files of one process, so that two writers never share one.
std::atomic<unsigned> temporaryCount{0};

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Close(); }
  int get() const { return fd_; }
  int Close() {
    int result = 0;
    if (fd_ >= 0) result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kFile;
  if (S_ISDIR(mode)) return FileKind::kFolder;
  return FileKind::kOther;
}

FileStatus WriteAll(int fd, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return FileStatus(errno, "cannot write", path);
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

int OpenAppend(const std::string& path, unsigned mode) {
  return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, static_cast<mode_t>(mode));
}

// One write: a second one for a remainder could land after another writer's.
FileStatus AppendOnce(int fd, std::string_view bytes, std::uint64_t* size,
                      const std::string& path) {
  ssize_t n;
  do {
    n = ::write(fd, bytes.data(), bytes.size());
  } while (n < 0 && errno == EINTR);
  if (n < 0) return FileStatus(errno, "cannot write", path);
  if (static_cast<std::size_t>(n) != bytes.size()) return FileStatus(EIO, "cannot write", path);
  if (size) {
    // With O_APPEND the offset after the write is the end of the file.
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    *size = end >= 0 ? static_cast<std::uint64_t>(end) : 0;
  }
  return {};
}

class RealAppendingFile final : public AppendingFile {
 public:
  RealAppendingFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {
    struct stat st {};
    if (::fstat(fd_.get(), &st) == 0) {
      identity_.kind = FileKind::kFile;
      identity_.device = st.st_dev;
      identity_.inode = st.st_ino;
    }
  }
  FileStatus Append(std::string_view bytes, std::uint64_t* size) override {
    return AppendOnce(fd_.get(), bytes, size, path_);
  }
  FileInfo identity() const override { return identity_; }

 private:
  Fd fd_;
  const std::string path_;
  FileInfo identity_;
};

void SyncFolder(const std::string& path) {
  Fd folder(::open(FolderOfPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());
}

// The descriptor a "/proc/self/fd/N" or "/dev/fd/N" path names, else -1.
int OpenDescriptorOf(const std::string& path) {
  for (std::string_view prefix : {"/proc/self/fd/", "/dev/fd/"}) {
    if (!path.starts_with(prefix)) continue;
    const std::string digits = path.substr(prefix.size());
    if (digits.empty() || digits.size() > 6 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return -1;
    }
    return std::stoi(digits);
  }
  return -1;
}

// Follows symbolic links to the path that is finally named; stops at a link to an
// open descriptor, which *descriptor then holds.
FileStatus ResolveLinks(const std::string& path, std::string* target, int* descriptor) {
  *target = path;
  *descriptor = OpenDescriptorOf(path);
  for (int hops = 0; hops < 40 && *descriptor < 0; ++hops) {
    struct stat st {};
    if (::lstat(target->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {};
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(target->c_str(), buffer, sizeof buffer - 1);
    if (n < 0) return FileStatus(errno, "cannot follow", *target);
    std::string link(buffer, static_cast<std::size_t>(n));
    *target = link.starts_with('/') ? link : JoinFilePath(FolderOfPath(*target), link);
    *descriptor = OpenDescriptorOf(*target);
  }
  if (*descriptor >= 0) return {};
  struct stat st {};
  if (::lstat(target->c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    return FileStatus(ELOOP, "cannot follow", path);
  }
  return {};
}

class RealReadableFile final : public ReadableFile {
 public:
  RealReadableFile(int fd, std::string path, std::uint64_t size, bool regular)
      : fd_(fd), path_(std::move(path)), size_(size), regular_(regular) {}
  FileStatus Read(char* buffer, std::size_t capacity, std::size_t* got) override {
    *got = 0;
    for (;;) {
      const ssize_t n = ::read(fd_.get(), buffer, capacity);
      if (n >= 0) {
        *got = static_cast<std::size_t>(n);
        return {};
      }
      if (errno != EINTR) return FileStatus(errno, "cannot read", path_);
    }
  }
  std::uint64_t size() const override { return size_; }
  bool regular() const override { return regular_; }

 private:
  Fd fd_;
  std::string path_;
  std::uint64_t size_;
  bool regular_;
};

// Either a temporary file renamed over the target at Commit, or (for a device, a
// FIFO or an open descriptor) the target itself, written directly.
class RealAtomicFile final : public AtomicFile {
 public:
  RealAtomicFile(int fd, std::string target, std::string temp)
      : fd_(fd), target_(std::move(target)), temp_(std::move(temp)) {}
  ~RealAtomicFile() override {
    fd_.Close();
    if (!temp_.empty()) ::unlink(temp_.c_str());
  }

  FileStatus Append(std::string_view bytes) override {
    if (fd_.get() < 0) return FileStatus(EBADF, "cannot write", target_);
    return WriteAll(fd_.get(), bytes, temp_.empty() ? target_ : temp_);
  }

  FileStatus Commit() override {
    if (fd_.get() < 0) return FileStatus(EBADF, "cannot write", target_);
    if (temp_.empty()) {
      if (fd_.Close() != 0) return FileStatus(errno, "cannot write", target_);
      return {};
    }
    if (::fsync(fd_.get()) != 0) return FileStatus(errno, "cannot write", temp_);
    if (fd_.Close() != 0) return FileStatus(errno, "cannot write", temp_);
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
      return FileStatus(errno, "cannot replace", target_);
    }
    temp_.clear();
    SyncFolder(target_);  // makes the rename itself durable
    return {};
  }

 private:
  Fd fd_;
  std::string target_;
  std::string temp_;  // empty when writing the target directly, or once committed
};

}  // namespace

FileStatus VisitRealFolder(const std::string& path,
                           const std::function<void(const FolderEntry&)>& visit) {
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) return FileStatus(errno, "cannot list", path);
  FolderEntry item;
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    item.name.assign(name);
    item.kind = FileKind::kOther;
    item.link = false;
    if (entry->d_type == DT_REG) {
      item.kind = FileKind::kFile;
    } else if (entry->d_type == DT_DIR) {
      item.kind = FileKind::kFolder;
    } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      item.link = entry->d_type == DT_LNK ||
                  (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                   S_ISLNK(st.st_mode));
      if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0) item.kind = KindOf(st.st_mode);
    }
    visit(item);
    errno = 0;  // what the visit left says nothing of the next read
  }
  const int error = errno;
  ::closedir(dir);
  if (error != 0) return FileStatus(error, "cannot list", path);
  return {};
}

namespace {

class RealFileSystemImpl final : public FileSystem {
 public:
  FileStatus ReadFile(const std::string& path, std::string* bytes) override {
    bytes->clear();
    std::unique_ptr<ReadableFile> file;
    FileStatus status = OpenForReading(path, &file);
    if (!status.ok()) return status;
    if (!file->regular()) return NotARegularFile(path);
    // Read in place, into room for the whole file and one byte more (the read that
    // gives nothing tells the end); a file that grew meanwhile gets more room.
    bytes->resize(static_cast<std::size_t>(file->size()) + 1);
    std::size_t used = 0;
    for (;;) {
      if (used == bytes->size()) bytes->resize(bytes->size() * 2);
      std::size_t got = 0;
      status = file->Read(bytes->data() + used, bytes->size() - used, &got);
      if (!status.ok()) {
        bytes->clear();
        return status;
      }
      if (got == 0) {
        bytes->resize(used);
        return {};
      }
      used += got;
    }
  }

  FileStatus OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
    // O_NONBLOCK: opening a FIFO without a writer would wait for one (for ever, when a
    // FIFO is dropped into a Maildir). Reads are blocking again, as a pipe the user
    // names is read to its end.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return FileStatus(errno, "cannot open", path);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      const int code = S_ISDIR(st.st_mode) ? EISDIR : errno;
      ::close(fd);
      return FileStatus(code, "cannot read", path);
    }
    const bool regular = S_ISREG(st.st_mode);
    if (!regular) {
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int code = errno;
        ::close(fd);
        return FileStatus(code, "cannot read", path);
      }
    }
    *file = std::make_unique<RealReadableFile>(
        fd, path, regular ? static_cast<std::uint64_t>(st.st_size) : 0, regular);
    return {};
  }

  FileStatus NewAtomicFile(const std::string& path, std::unique_ptr<AtomicFile>* file,
                           std::optional<unsigned> mode = std::nullopt) override {
    std::string target;
    int descriptor = -1;
    if (FileStatus status = ResolveLinks(path, &target, &descriptor); !status.ok()) return status;
    if (descriptor >= 0) {
      const int fd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
      if (fd < 0) return FileStatus(errno, "cannot write", path);
      *file = std::make_unique<RealAtomicFile>(fd, path, "");
      return {};
    }
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return FileStatus(EISDIR, "cannot write", path);
    if (exists && !S_ISREG(existing.st_mode)) {
      const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
      if (fd < 0) return FileStatus(errno, "cannot write", path);
      *file = std::make_unique<RealAtomicFile>(fd, target, "");
      return {};
    }
    // Replacing a file is a change of its folder, which the permissions of the file
    // itself would not stop; a file the user may not write is refused all the same.
    if (exists && ::access(target.c_str(), W_OK) != 0) {
      return FileStatus(errno, "cannot write", path);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string temp = target + ".tmp-" + std::to_string(::getpid()) + "-" +
                         std::to_string(temporaryCount.fetch_add(1));
      const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                            static_cast<mode_t>(mode.value_or(0666)));
      if (fd >= 0) {
        // The new file keeps the permissions of the one it replaces, unless told.
        if (mode) {
          ::fchmod(fd, static_cast<mode_t>(*mode));
        } else if (exists) {
          ::fchmod(fd, existing.st_mode & 07777);
        }
        *file = std::make_unique<RealAtomicFile>(fd, target, std::move(temp));
        return {};
      }
      if (errno != EEXIST) return FileStatus(errno, "cannot create", temp);
    }
    return FileStatus(EEXIST, "cannot create a temporary file for", path);
  }

  FileStatus AppendToFile(const std::string& path, std::string_view bytes, std::uint64_t* size,
                          unsigned mode) override {
    Fd fd(OpenAppend(path, mode));
    if (fd.get() < 0) return FileStatus(errno, "cannot open", path);
    return AppendOnce(fd.get(), bytes, size, path);
  }

  FileStatus OpenForAppending(const std::string& path, std::unique_ptr<AppendingFile>* file,
                              unsigned mode) override {
    const int fd = OpenAppend(path, mode);
    if (fd < 0) return FileStatus(errno, "cannot open", path);
    *file = std::make_unique<RealAppendingFile>(fd, path);
    return {};
  }

  FileStatus Stat(const std::string& path, FileInfo* info) override {
    *info = {};
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) return {};
      return FileStatus(errno, "cannot look at", path);
    }
    info->kind = KindOf(st.st_mode);
    info->size = static_cast<std::uint64_t>(st.st_size);
    info->mode = st.st_mode & 07777;
    info->device = st.st_dev;
    info->inode = st.st_ino;
    info->modifiedNs =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    return {};
  }

  FileStatus ListFolder(const std::string& path, std::vector<FolderEntry>* entries) override {
    entries->clear();
    return VisitRealFolder(path,
                           [entries](const FolderEntry& entry) { entries->push_back(entry); });
  }

  FileStatus CreateFolders(const std::string& path, unsigned mode = 0777) override {
    if (path.empty()) return FileStatus(ENOENT, "cannot create the folder", path);
    std::size_t pos = 0;
    while (pos != std::string::npos) {
      pos = path.find('/', pos + 1);
      const std::string prefix = path.substr(0, pos);
      if (prefix.empty()) continue;
      if (::mkdir(prefix.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
        return FileStatus(errno, "cannot create the folder", prefix);
      }
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return FileStatus(errno, "cannot create the folder", path);
    if (!S_ISDIR(st.st_mode)) return FileStatus(ENOTDIR, "cannot create the folder", path);
    return {};
  }

  FileStatus RenameNoReplace(const std::string& from, const std::string& to) override {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      return {};
    }
    if (errno != EINVAL && errno != ENOSYS) return FileStatus(errno, "cannot rename", from);
    // Where the file system cannot, a hard link and an unlink do it: at worst both
    // names exist, never neither.
    if (::link(from.c_str(), to.c_str()) != 0) return FileStatus(errno, "cannot rename", from);
    ::unlink(from.c_str());
    return {};
  }

  FileStatus Rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return FileStatus(errno, "cannot rename", from);
    return {};
  }

  FileStatus Remove(const std::string& path) override {
    if (::remove(path.c_str()) != 0) return FileStatus(errno, "cannot remove", path);
    return {};
  }

  FileStatus RemoveAll(const std::string& path) override {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    if (ec) return FileStatus(ec.value(), "cannot remove", path);
    return {};
  }

  FileStatus MakeWritable(const std::string& path) override {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) != 0) {
      return {};
    }
    if (::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0) {
      return FileStatus(errno, "cannot make writable", path);
    }
    return {};
  }

  FileStatus Lock(const std::string& path, bool wait, std::unique_ptr<FileLock>* lock) override {
    class Held final : public FileLock {
     public:
      explicit Held(int fd) : fd_(fd) {}

     private:
      Fd fd_;  // closing it releases the lock
    };
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return FileStatus(errno, "cannot open the lock file", path);
    auto held = std::make_unique<Held>(fd);
    while (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
      if (errno == EINTR) continue;
      return FileStatus(errno, "cannot lock", path);
    }
    *lock = std::move(held);
    return {};
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static RealFileSystemImpl files;
  return files;
}

}  // namespace quorvel::platform
