#include "platform/registry_file.h"

#include <cstdlib>

#include "platform/registry_text.h"

namespace quorvel::platform {
namespace {

// A registry file larger than this is refused as damaged rather than read whole.
constexpr std::uint64_t kMaxFileSize = 256 * 1024 * 1024;

std::size_t Index(RegRoot root) { return static_cast<std::size_t>(root); }

bool SameFile(const FileInfo& a, const FileInfo& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.modifiedNs == b.modifiedNs;
}

}  // namespace

RegistryFile::RegistryFile(std::string directory, FileSystem& files)
    : directory_(std::move(directory)), files_(files) {
  while (directory_.size() > 1 && directory_.back() == '/') directory_.pop_back();
}

std::string RegistryFile::FilePath(RegRoot root) const {
  return directory_ + "/" + RegRootName(root) + ".reg";
}

long RegistryFile::Fail(long code, std::string text) {
  lastError_.Set(std::move(text));
  return code;
}

long RegistryFile::ReadFile(RegRoot root, FileInfo* info, std::string* bytes) {
  const std::string path = FilePath(root);
  bytes->clear();
  if (FileStatus status = files_.Stat(path, info); !status.ok()) {
    return Fail(ERROR_ACCESS_DENIED, status.message());
  }
  if (info->kind == FileKind::kMissing) return ERROR_SUCCESS;  // no file yet: an empty root
  if (info->kind != FileKind::kFile) {
    return Fail(ERROR_ACCESS_DENIED, "cannot read " + path + ": not a regular file");
  }
  if (info->size > kMaxFileSize) return Fail(ERROR_BADDB, path + ": file is too large");
  if (FileStatus status = files_.ReadFile(path, bytes); !status.ok()) {
    return Fail(ERROR_ACCESS_DENIED, status.message());
  }
  return ERROR_SUCCESS;
}

long RegistryFile::Parse(RegRoot root, const std::string& bytes, RegistryTree* tree) {
  RegistryTextError error;
  if (ParseRegistryText(bytes, root, tree, &error)) return ERROR_SUCCESS;
  const std::string path = FilePath(root);
  std::string where = error.line > 0 ? path + ":" + std::to_string(error.line) : path;
  return Fail(ERROR_BADDB, "damaged registry file " + where + ": " + error.message);
}

long RegistryFile::Load(RegRoot root, std::shared_ptr<const RegistryTree>* tree) {
  if (directory_.empty()) {
    return Fail(ERROR_ACCESS_DENIED,
                "no registry directory (neither XDG_CONFIG_HOME nor HOME is set)");
  }
  Snapshot& snapshot = snapshots_[Index(root)];
  FileInfo info;
  if (FileStatus status = files_.Stat(FilePath(root), &info); !status.ok()) {
    return Fail(ERROR_ACCESS_DENIED, status.message());
  }
  if (snapshot.valid && SameFile(snapshot.file, info)) {
    *tree = snapshot.tree;
    return ERROR_SUCCESS;
  }
  std::string bytes;
  long code = ReadFile(root, &info, &bytes);
  if (code != ERROR_SUCCESS) return code;
  auto parsed = std::make_shared<RegistryTree>();
  code = Parse(root, bytes, parsed.get());
  if (code != ERROR_SUCCESS) {
    snapshot = Snapshot{};
    return code;
  }
  snapshot = {true, info, parsed};
  *tree = std::move(parsed);
  return ERROR_SUCCESS;
}

long RegistryFile::HoldRoot(RegRoot root, std::unique_ptr<ProcessLock>* hold) {
  if (directory_.empty()) {
    return Fail(ERROR_ACCESS_DENIED,
                "no registry directory (neither XDG_CONFIG_HOME nor HOME is set)");
  }
  // The user's settings and lists, as mail programs keep their configuration: only the
  // user may look into the folder (when it is made here) or read the files.
  if (FileStatus status = files_.CreateFolders(directory_, kPrivateFolderMode); !status.ok()) {
    return Fail(ERROR_ACCESS_DENIED, status.message());
  }
  if (FileStatus status = ProcessLock::Take(&files_, FilePath(root) + ".lock", hold);
      !status.ok()) {
    return Fail(ERROR_ACCESS_DENIED, status.message());
  }
  return ERROR_SUCCESS;
}

long RegistryFile::Change(RegRoot root, const std::function<long(RegistryTree&)>& change) {
  std::unique_ptr<ProcessLock> hold;
  if (long code = HoldRoot(root, &hold); code != ERROR_SUCCESS) return code;
  std::lock_guard guard(mutex_);
  // A writer killed before its rename leaves its temporary file; under the lock no
  // other writer's is in the making.
  const std::string prefix = std::string(RegRootName(root)) + ".reg.tmp-";
  std::vector<FolderEntry> entries;
  if (files_.ListFolder(directory_, &entries).ok()) {
    for (const FolderEntry& entry : entries) {
      if (entry.name.compare(0, prefix.size(), prefix) == 0) {
        files_.Remove(directory_ + "/" + entry.name);
      }
    }
  }
  // Another process may have changed the file since we last looked: start from what
  // is on disk now.
  FileInfo info;
  std::string existing;
  long code = ReadFile(root, &info, &existing);
  if (code != ERROR_SUCCESS) return code;
  auto tree = std::make_shared<RegistryTree>();
  code = Parse(root, existing, tree.get());
  if (code != ERROR_SUCCESS) return code;
  code = change(*tree);
  if (code != ERROR_SUCCESS) return code;
  const std::string text = FormatRegistryText(*tree, root);
  const std::string path = FilePath(root);
  if (text != existing) {
    if (FileStatus status = files_.WriteFileAtomic(path, text, kPrivateFileMode); !status.ok()) {
      return Fail(ERROR_ACCESS_DENIED, status.message());
    }
  }
  if (files_.Stat(path, &info).ok()) snapshots_[Index(root)] = {true, info, tree};
  return ERROR_SUCCESS;
}

long RegistryFile::CreateKey(RegRoot root, std::string_view key) {
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
  return Change(root, [&](RegistryTree& tree) {
    long result = tree.SetValue(key, name, value);
    if (result != ERROR_SUCCESS) Fail(result, DescribeFailure(result, root, key, name));
    return result;
  });
}

long RegistryFile::DeleteValue(RegRoot root, std::string_view key, std::string_view name) {
  return Change(root, [&](RegistryTree& tree) {
    long result = tree.DeleteValue(key, name);
    if (result != ERROR_SUCCESS) Fail(result, DescribeFailure(result, root, key, name));
    return result;
  });
}

long RegistryFile::SetValues(RegRoot root, std::string_view key, const NamedValues& values) {
  return Change(root, [&](RegistryTree& tree) {
    long result = tree.CreateKey(key);
    if (result != ERROR_SUCCESS) return Fail(result, DescribeFailure(result, root, key, {}));
    for (const auto& [name, value] : values) {
      result = tree.SetValue(key, name, value);
      if (result != ERROR_SUCCESS) return Fail(result, DescribeFailure(result, root, key, name));
    }
    return ERROR_SUCCESS;
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
  if (const char* own = std::getenv("QUORVEL_CONFIG"); own != nullptr && own[0] == '/') {
    std::string folder(own);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder == "/" ? folder : folder + "/";
  }
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
  return std::make_unique<RegistryFile>(DefaultRegistryDirectory(), RealFileSystem());
}

}  // namespace quorvel::platform
