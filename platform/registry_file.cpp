#include "platform/registry_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/registry_text.h"

namespace quorvel::platform {
namespace {

// A registry file larger than this is refused as damaged rather than read whole.
constexpr off_t kMaxFileSize = 256 * 1024 * 1024;

std::size_t Index(RegRoot root) { return static_cast<std::size_t>(root); }

long long MtimeNs(const struct stat& st) {
  return static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000LL + st.st_mtim.tv_nsec;
}

// A file descriptor closed on scope exit.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads an open file whole; false on a read error.
bool ReadFd(int fd, std::string* out) {
  out->clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    out->append(buffer, static_cast<std::size_t>(n));
    if (out->size() > static_cast<std::size_t>(kMaxFileSize)) return false;
  }
}

}  // namespace

RegistryFile::RegistryFile(std::string directory) : directory_(std::move(directory)) {
  while (directory_.size() > 1 && directory_.back() == '/') directory_.pop_back();
}

std::string RegistryFile::FilePath(RegRoot root) const {
  return directory_ + "/" + RegRootName(root) + ".reg";
}

long RegistryFile::Fail(long code, std::string text) {
  lastError_.Set(std::move(text));
  return code;
}

long RegistryFile::ReadFresh(RegRoot root, RegistryTree* tree, std::string* existing) {
  std::string path = FilePath(root);
  existing->clear();
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) return ERROR_SUCCESS;  // no file yet: an empty root
    return Fail(ERROR_ACCESS_DENIED, "cannot open " + path + ": " + std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return Fail(ERROR_ACCESS_DENIED, "cannot read " + path + ": not a regular file");
  }
  if (st.st_size > kMaxFileSize) return Fail(ERROR_BADDB, path + ": file is too large");
  if (!ReadFd(fd.get(), existing)) {
    return Fail(ERROR_ACCESS_DENIED, "cannot read " + path + ": " + std::strerror(errno));
  }
  RegistryTextError error;
  if (!ParseRegistryText(*existing, root, tree, &error)) {
    std::string where = error.line > 0 ? path + ":" + std::to_string(error.line) : path;
    return Fail(ERROR_BADDB, "damaged registry file " + where + ": " + error.message);
  }
  return ERROR_SUCCESS;
}

long RegistryFile::Load(RegRoot root, std::shared_ptr<const RegistryTree>* tree) {
  if (directory_.empty()) {
    return Fail(ERROR_ACCESS_DENIED,
                "no registry directory (neither XDG_CONFIG_HOME nor HOME is set)");
  }
  std::string path = FilePath(root);
  Snapshot& snapshot = snapshots_[Index(root)];
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno != ENOENT) {
      return Fail(ERROR_ACCESS_DENIED, "cannot open " + path + ": " + std::strerror(errno));
    }
    snapshot = Snapshot{};
    *tree = std::make_shared<RegistryTree>();
    return ERROR_SUCCESS;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return Fail(ERROR_ACCESS_DENIED, "cannot read " + path + ": not a regular file");
  }
  if (snapshot.valid && snapshot.device == st.st_dev && snapshot.inode == st.st_ino &&
      snapshot.size == st.st_size && snapshot.mtimeNs == MtimeNs(st)) {
    *tree = snapshot.tree;
    return ERROR_SUCCESS;
  }
  if (st.st_size > kMaxFileSize) return Fail(ERROR_BADDB, path + ": file is too large");
  std::string bytes;
  if (!ReadFd(fd.get(), &bytes)) {
    return Fail(ERROR_ACCESS_DENIED, "cannot read " + path + ": " + std::strerror(errno));
  }
  auto parsed = std::make_shared<RegistryTree>();
  RegistryTextError error;
  if (!ParseRegistryText(bytes, root, parsed.get(), &error)) {
    snapshot = Snapshot{};
    std::string where = error.line > 0 ? path + ":" + std::to_string(error.line) : path;
    return Fail(ERROR_BADDB, "damaged registry file " + where + ": " + error.message);
  }
  snapshot = {true, st.st_dev, st.st_ino, st.st_size, MtimeNs(st), parsed};
  *tree = std::move(parsed);
  return ERROR_SUCCESS;
}

long RegistryFile::Change(RegRoot root, const std::function<long(RegistryTree&)>& change) {
  if (directory_.empty()) {
    return Fail(ERROR_ACCESS_DENIED,
                "no registry directory (neither XDG_CONFIG_HOME nor HOME is set)");
  }
  if (!CreateDirectories(directory_)) {
    return Fail(ERROR_ACCESS_DENIED, "cannot create " + directory_ + ": " + std::strerror(errno));
  }
  std::string lockPath = FilePath(root) + ".lock";
  Fd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (lock.get() < 0) {
    return Fail(ERROR_ACCESS_DENIED, "cannot open " + lockPath + ": " + std::strerror(errno));
  }
  while (::flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) {
      return Fail(ERROR_ACCESS_DENIED, "cannot lock " + lockPath + ": " + std::strerror(errno));
    }
  }
  // Another process may have changed the file since we last looked: start from what
  // is on disk now. The lock is released when `lock` closes.
  auto tree = std::make_shared<RegistryTree>();
  std::string existing;
  long code = ReadFresh(root, tree.get(), &existing);
  if (code != ERROR_SUCCESS) return code;
  code = change(*tree);
  if (code != ERROR_SUCCESS) return code;
  std::string text = FormatRegistryText(*tree, root);
  std::string path = FilePath(root);
  if (text != existing) {
    std::string error;
    if (!WriteFileAtomic(path, text, &error)) return Fail(ERROR_ACCESS_DENIED, error);
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    snapshots_[Index(root)] = {true, st.st_dev, st.st_ino, st.st_size, MtimeNs(st), tree};
  }
  return ERROR_SUCCESS;
}

long RegistryFile::CreateKey(RegRoot root, std::string_view key) {
  std::lock_guard guard(mutex_);
  return Change(root, [&](RegistryTree& tree) {
    long result = tree.CreateKey(key);
    if (result != ERROR_SUCCESS) Fail(result, DescribeFailure(result, root, key, {}));
    return result;
  });
}

bool RegistryFile::KeyExists(RegRoot root, std::string_view key) {
  std::lock_guard guard(mutex_);
  std::shared_ptr<const RegistryTree> tree;
  return Load(root, &tree) == ERROR_SUCCESS && tree->Find(key) != nullptr;
}

long RegistryFile::DeleteTree(RegRoot root, std::string_view key) {
  std::lock_guard guard(mutex_);
  return Change(root, [&](RegistryTree& tree) {
    long result = tree.DeleteTree(key);
    if (result != ERROR_SUCCESS) Fail(result, DescribeFailure(result, root, key, {}));
    return result;
  });
}

long RegistryFile::QueryValue(RegRoot root, std::string_view key, std::string_view name,
                              RegValue* out) {
  std::lock_guard guard(mutex_);
  std::shared_ptr<const RegistryTree> tree;
  long code = Load(root, &tree);
  if (code != ERROR_SUCCESS) return code;
  code = tree->QueryValue(key, name, out);
  if (code != ERROR_SUCCESS) Fail(code, DescribeFailure(code, root, key, name));
  return code;
}

long RegistryFile::SetValue(RegRoot root, std::string_view key, std::string_view name,
                            const RegValue& value) {
  std::lock_guard guard(mutex_);
  return Change(root, [&](RegistryTree& tree) {
    long result = tree.SetValue(key, name, value);
    if (result != ERROR_SUCCESS) Fail(result, DescribeFailure(result, root, key, name));
    return result;
  });
}

long RegistryFile::DeleteValue(RegRoot root, std::string_view key, std::string_view name) {
  std::lock_guard guard(mutex_);
  return Change(root, [&](RegistryTree& tree) {
    long result = tree.DeleteValue(key, name);
    if (result != ERROR_SUCCESS) Fail(result, DescribeFailure(result, root, key, name));
    return result;
  });
}

long RegistryFile::EnumValues(RegRoot root, std::string_view key, std::vector<std::string>* names) {
  std::lock_guard guard(mutex_);
  names->clear();
  std::shared_ptr<const RegistryTree> tree;
  long code = Load(root, &tree);
  if (code != ERROR_SUCCESS) return code;
  code = tree->EnumValues(key, names);
  if (code != ERROR_SUCCESS) Fail(code, DescribeFailure(code, root, key, {}));
  return code;
}

long RegistryFile::EnumSubKeys(RegRoot root, std::string_view key,
                               std::vector<std::string>* names) {
  std::lock_guard guard(mutex_);
  names->clear();
  std::shared_ptr<const RegistryTree> tree;
  long code = Load(root, &tree);
  if (code != ERROR_SUCCESS) return code;
  code = tree->EnumSubKeys(key, names);
  if (code != ERROR_SUCCESS) Fail(code, DescribeFailure(code, root, key, {}));
  return code;
}

std::string DefaultRegistryDirectory() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.config";
  } else {
    return {};
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/Veltmark/registry/";
}

std::unique_ptr<Registry> OpenDefaultRegistry() {
  return std::make_unique<RegistryFile>(DefaultRegistryDirectory());
}

}  // namespace quorvel::platform
