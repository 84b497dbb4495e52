#include "mapi/maildir/maildir_core.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "mapi/maildir/maildir_listing.h"
#include "mapi/maildir/props_file.h"
#include "mapi/mime/mime_message.h"
#include "platform/file_system.h"

namespace quorvel::mapi {
namespace {

constexpr std::size_t kMaxSummaries = 200'000;
// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kEpochDifference = 11'644'473'600ULL;

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

HRESULT FromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return MAPI_E_NOT_FOUND;
    case EEXIST:
    case ENOTEMPTY:
      return MAPI_E_COLLISION;
    case EACCES:
    case EPERM:
    case EROFS:
      return MAPI_E_NO_ACCESS;
    default:
      return MAPI_E_DISK_ERROR;
  }
}

// Renames without ever replacing an existing file. Where the file system cannot, a
// hard link and an unlink do it: at worst both names exist, never neither.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

class MaildirSaver final : public MimeMessageSaver {
 public:
  MaildirSaver(std::weak_ptr<MaildirCore> core, std::string folder, std::string unique)
      : core_(std::move(core)), folder_(std::move(folder)), unique_(std::move(unique)) {}

  HRESULT SaveProps(const std::vector<PropValue>& props) override {
    auto core = core_.lock();
    if (!core) return MAPI_E_OBJECT_DELETED;
    // A message that is gone keeps nothing: no orphaned file beside nothing.
    if (!core->Locate(folder_, unique_)) return MAPI_E_NOT_FOUND;
    return SaveMessageProps(core->root(), unique_, props) ? S_OK : MAPI_E_DISK_ERROR;
  }
  HRESULT SetRead(bool read) override {
    auto core = core_.lock();
    if (!core) return MAPI_E_OBJECT_DELETED;
    return core->SetRead(folder_, unique_, read);
  }

 private:
  std::weak_ptr<MaildirCore> core_;
  std::string folder_;
  std::string unique_;
};

}  // namespace

MaildirCore::MaildirCore(std::string root, const MaildirOptions& options)
    : root_(std::move(root)),
      key_(MakeStoreKey(root_)),
      options_(options),
      clock_(options.clock != nullptr ? *options.clock : platform::DefaultClock()) {
  watcher_ = std::make_unique<MaildirWatcher>(
      root_, key_, options_.watch, [this](const std::string& path, Notification* n) {
        MimeMessage parsed;
        MimeMessageContext context;
        if (!ParseMimeFile(path, &parsed)) {
          // Already renamed (read, or moved on) before its arrival was read: find it.
          auto id = DecodeMaildirId(n->entryId.bytes());
          auto at = id ? Locate(id->folderPath, id->unique) : std::nullopt;
          if (!at || !ParseMimeFile(PathOf(*at), &parsed)) return;
          context.storeFlags = MessageFlagsOf(at->name);
        }
        n->messageClass = parsed.messageClass;
        n->messageFlags = MimeMessageFlags(parsed, context);
      });
}

std::string MaildirCore::PathOf(const MessageLocation& at) const {
  return FolderDirectory(root_, at.folderPath) + "/" + at.sub + "/" + at.fileName;
}

bool MaildirCore::FolderExists(const std::string& folderPath) const {
  if (folderPath.empty()) return true;
  std::size_t start = 0;
  for (;;) {
    std::size_t dot = folderPath.find('.', start);
    if (!IsValidFolderName(
            folderPath.substr(start, dot == std::string::npos ? std::string::npos : dot - start))) {
      return false;
    }
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return IsDirectory(FolderDirectory(root_, folderPath));
}

std::vector<std::string> MaildirCore::Subfolders(const std::string& parent) const {
  std::vector<std::string> out;
  DIR* d = ::opendir(root_.c_str());
  if (d == nullptr) return out;
  std::string prefix = parent.empty() ? std::string() : parent + ".";
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name.size() < 2 || name[0] != '.' || name == "..") continue;
    std::string path = name.substr(1);
    if (path.compare(0, prefix.size(), prefix) != 0) continue;
    std::string rest = path.substr(prefix.size());
    if (!IsValidFolderName(rest) || !IsDirectory(root_ + "/" + name)) continue;
    out.push_back(std::move(path));
  }
  ::closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

MaildirCore::FolderIndex MaildirCore::Scan(const std::string& folderPath) const {
  FolderIndex index;
  const std::string folder = FolderDirectory(root_, folderPath);
  for (const char* sub : {"new", "cur"}) {
    for (std::string& fileName : MaildirFileNames(platform::RealFileSystem(), folder, sub)) {
      auto name = ParseMessageFileName(fileName);
      if (!name) continue;
      MessageLocation at{folderPath, sub, std::move(fileName), *name};
      index[name->unique] = std::move(at);  // cur/ wins over a stale copy in new/
    }
  }
  return index;
}

std::vector<MessageLocation> MaildirCore::ListMessages(const std::string& folderPath) {
  FolderIndex index = Scan(folderPath);
  std::vector<MessageLocation> out;
  out.reserve(index.size());
  for (const auto& [unique, at] : index) out.push_back(at);
  std::sort(out.begin(), out.end(), [](const MessageLocation& a, const MessageLocation& b) {
    return a.name.unique < b.name.unique;
  });
  std::lock_guard<std::mutex> lock(mutex_);
  index_[folderPath] = std::move(index);
  return out;
}

std::optional<MessageLocation> MaildirCore::Locate(const std::string& folderPath,
                                                   const std::string& unique) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto folder = index_.find(folderPath);
    if (folder != index_.end()) {
      auto it = folder->second.find(unique);
      if (it != folder->second.end() && ::access(PathOf(it->second).c_str(), F_OK) == 0) {
        return it->second;
      }
    }
  }
  if (!FolderExists(folderPath)) return std::nullopt;
  FolderIndex index = Scan(folderPath);
  std::optional<MessageLocation> found;
  if (auto it = index.find(unique); it != index.end()) found = it->second;
  std::lock_guard<std::mutex> lock(mutex_);
  index_[folderPath] = std::move(index);
  return found;
}

void MaildirCore::Forget(const std::string& folderPath, const std::string& unique) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (auto folder = index_.find(folderPath); folder != index_.end()) folder->second.erase(unique);
}

void MaildirCore::Remember(const MessageLocation& at) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (auto folder = index_.find(at.folderPath); folder != index_.end()) {
    folder->second[at.name.unique] = at;
  }
}

namespace {

MimeMessageContext MakeContext(const MaildirCore& core, const MessageLocation& at,
                               const struct stat& st) {
  MimeMessageContext context;
  context.accountAddress = core.options().accountAddress;
  context.storeFlags = MessageFlagsOf(at.name);
  context.size = static_cast<std::uint64_t>(st.st_size);
  context.deliveryTime =
      (static_cast<std::uint64_t>(st.st_mtime) + kEpochDifference) * 10'000'000ULL +
      static_cast<std::uint64_t>(st.st_mtim.tv_nsec) / 100;
  EntryId id = core.MessageId(at.folderPath, at.name.unique);
  context.identity = {PropValue::Id(PR_ENTRYID, id), PropValue::Id(PR_RECORD_KEY, id),
                      PropValue::Id(PR_INSTANCE_KEY, id),
                      PropValue::Id(PR_PARENT_ENTRYID, core.FolderId(at.folderPath)),
                      PropValue::Id(PR_STORE_ENTRYID, core.StoreId())};
  return context;
}

}  // namespace

std::optional<std::vector<PropValue>> MaildirCore::SummaryRow(const MessageLocation& at,
                                                              bool hasSavedProps) {
  std::string path = PathOf(at);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  std::int64_t mtimeNs =
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  std::vector<PropValue> props;
  bool cached = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = summaries_.find(path);
    if (it != summaries_.end() && it->second.size == st.st_size && it->second.mtimeNs == mtimeNs) {
      props = it->second.props;
      cached = true;
    }
  }
  if (!cached) {
    MimeMessage parsed;
    if (!ParseMimeFile(path, &parsed)) return std::nullopt;  // vanished meanwhile
    props = MimeSummaryProps(parsed, MakeContext(*this, at, st));
    std::lock_guard<std::mutex> lock(mutex_);
    if (summaries_.size() >= kMaxSummaries) summaries_.clear();
    summaries_[path] = Summary{st.st_size, mtimeNs, props};
  }
  if (hasSavedProps) {
    for (PropValue& v : LoadMessageProps(root_, at.name.unique)) {
      if (FindPropId(props, v.tag) == nullptr) props.push_back(std::move(v));
    }
  }
  return props;
}

Result<std::shared_ptr<Message>> MaildirCore::OpenMessage(const std::string& folderPath,
                                                          const std::string& unique) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto at = Locate(folderPath, unique);
    if (!at) return MAPI_E_NOT_FOUND;
    std::string path = PathOf(*at);
    MimeMessage parsed;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !ParseMimeFile(path, &parsed)) {
      Forget(folderPath, unique);  // renamed or removed under us: look again
      continue;
    }
    MimeMessageContext context = MakeContext(*this, *at, st);
    context.saved = LoadMessageProps(root_, unique);
    auto saver = std::make_shared<MaildirSaver>(weak_from_this(), folderPath, unique);
    return Ok(OpenMimeMessage(std::move(parsed), std::move(context), std::move(saver)));
  }
  return MAPI_E_NOT_FOUND;
}

HRESULT MaildirCore::Rename(const MessageLocation& from, const MessageLocation& to,
                            bool noReplace) {
  std::string target = PathOf(to);
  watcher_->ExpectArrival(target);
  int error = noReplace ? RenameNoReplace(PathOf(from), target)
                        : (::rename(PathOf(from).c_str(), target.c_str()) == 0 ? 0 : errno);
  if (error != 0) {
    watcher_->ForgetArrival(target);
    // A missing path with the message still in place means the destination is broken.
    if ((error == ENOENT || error == ENOTDIR) && ::access(PathOf(from).c_str(), F_OK) == 0) {
      return MAPI_E_DISK_ERROR;
    }
    return FromErrno(error);
  }
  Forget(from.folderPath, from.name.unique);
  Remember(to);
  return S_OK;
}

HRESULT MaildirCore::SetRead(const std::string& folderPath, const std::string& unique, bool read) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto at = Locate(folderPath, unique);
    if (!at) return MAPI_E_NOT_FOUND;
    std::string flags = WithFlag(at->name.flags, 'S', read);
    if (at->sub == "new" && !read) return S_OK;  // new mail is unread already
    if (at->sub == "cur" && flags == at->name.flags) return S_OK;
    MessageLocation to{folderPath, "cur", CurFileName(unique, flags), at->name};
    to.name.flags = flags;
    to.name.hasInfo = true;
    HRESULT hr = Rename(*at, to, false);
    if (hr == MAPI_E_NOT_FOUND) {
      Forget(folderPath, unique);
      continue;
    }
    if (Succeeded(hr)) {
      Notification n;
      n.eventType = fnevObjectModified;
      n.objectType = MAPI_MESSAGE;
      n.entryId = MessageId(folderPath, unique);
      n.parentId = FolderId(folderPath);
      watcher_->Post({n});
    }
    return hr;
  }
  return MAPI_E_NOT_FOUND;
}

HRESULT MaildirCore::MoveOrCopy(const std::string& folderPath, const std::string& unique,
                                const std::string& destination, bool move) {
  if (!FolderExists(destination)) return MAPI_E_NOT_FOUND;
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto at = Locate(folderPath, unique);
    if (!at) return MAPI_E_NOT_FOUND;
    if (move && destination == folderPath) return S_OK;
    Notification n;
    n.objectType = MAPI_MESSAGE;
    n.parentId = FolderId(destination);
    n.oldId = MessageId(folderPath, unique);
    n.oldParentId = FolderId(folderPath);
    HRESULT hr;
    if (move) {
      MessageLocation to{destination, at->sub, at->fileName, at->name};
      hr = Rename(*at, to, true);
      n.eventType = fnevObjectMoved;
      n.entryId = MessageId(destination, unique);
    } else {
      std::string bytes;
      if (!platform::RealFileSystem().ReadFile(PathOf(*at), &bytes).ok()) {
        hr = MAPI_E_NOT_FOUND;
      } else {
        // Written whole into tmp/ first, then renamed into place under a new unique part.
        std::string copyUnique = NewUniqueName(clock_);
        std::string staged = FolderDirectory(root_, destination) + "/tmp/" + copyUnique;
        if (!platform::RealFileSystem().WriteFileAtomic(staged, bytes).ok()) {
          return MAPI_E_DISK_ERROR;
        }
        MessageFileName name = at->name;
        name.unique = copyUnique;
        MessageLocation to{destination, at->sub,
                           at->sub == "new" ? copyUnique : CurFileName(copyUnique, name.flags),
                           name};
        CopyMessageProps(root_, unique, copyUnique);
        std::string target = PathOf(to);
        watcher_->ExpectArrival(target);
        int error = RenameNoReplace(staged, target);
        if (error != 0) {
          watcher_->ForgetArrival(target);
          ::unlink(staged.c_str());
          RemoveMessageProps(root_, copyUnique);
          return FromErrno(error);
        }
        Remember(to);
        hr = S_OK;
        n.eventType = fnevObjectCopied;
        n.entryId = MessageId(destination, copyUnique);
      }
    }
    if (hr == MAPI_E_NOT_FOUND) {
      Forget(folderPath, unique);
      continue;
    }
    if (Succeeded(hr)) watcher_->Post({n});
    return hr;
  }
  return MAPI_E_NOT_FOUND;
}

HRESULT MaildirCore::Delete(const std::string& folderPath, const std::string& unique) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto at = Locate(folderPath, unique);
    if (!at) return MAPI_E_NOT_FOUND;
    if (::unlink(PathOf(*at).c_str()) != 0) {
      int error = errno;
      Forget(folderPath, unique);
      if (error == ENOENT) continue;
      return FromErrno(error);
    }
    Forget(folderPath, unique);
    RemoveMessageProps(root_, unique);
    Notification n;
    n.eventType = fnevObjectDeleted;
    n.objectType = MAPI_MESSAGE;
    n.entryId = MessageId(folderPath, unique);
    n.parentId = FolderId(folderPath);
    watcher_->Post({n});
    return S_OK;
  }
  return MAPI_E_NOT_FOUND;
}

}  // namespace quorvel::mapi
