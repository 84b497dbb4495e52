#include "mapi/maildir/maildir_core.h"

#include <algorithm>
#include <cerrno>

#include "mapi/deferred_message.h"
#include "mapi/maildir/keywords_file.h"
#include "mapi/maildir/props_file.h"
#include "mapi/mime/mime_message.h"
#include "platform/file_system.h"

namespace quorvel::mapi {
namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kEpochDifference = 11'644'473'600ULL;

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

class MaildirSaver final : public MimeMessageSaver {
 public:
  MaildirSaver(std::weak_ptr<MaildirCore> core, std::string folder, std::string unique)
      : core_(std::move(core)), folder_(std::move(folder)), unique_(std::move(unique)) {}

  HRESULT SaveProps(const std::vector<PropValue>& props) override {
    auto core = core_.lock();
    if (!core) return MAPI_E_OBJECT_DELETED;
    // A message that is gone keeps nothing: no orphaned file beside nothing.
    if (!core->Locate(folder_, unique_)) return MAPI_E_NOT_FOUND;
    return SaveMessageProps(core->files(), core->root(), unique_, props) ? S_OK : MAPI_E_DISK_ERROR;
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
      clock_(options.clock != nullptr ? *options.clock : platform::DefaultClock()),
      files_(options.files != nullptr ? *options.files : platform::RealFileSystem()) {
  watcher_ = std::make_unique<MaildirWatcher>(root_, key_, options_.watch);
}

bool MaildirCore::IsFolder(const std::string& path) const {
  platform::FileInfo info;
  return files_.Stat(path, &info).ok() && info.kind == platform::FileKind::kFolder;
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
  return IsFolder(FolderDirectory(root_, folderPath));
}

bool MaildirCore::IsMailFolder(const std::string& folderPath) const {
  const std::string dir = FolderDirectory(root_, folderPath);
  return FolderExists(folderPath) && IsFolder(dir + "/new") && IsFolder(dir + "/cur");
}

std::vector<std::string> MaildirCore::Subfolders(const std::string& parent) const {
  std::vector<std::string> out;
  std::vector<platform::FolderEntry> entries;
  if (!files_.ListFolder(root_, &entries).ok()) return out;
  std::string prefix = parent.empty() ? std::string() : parent + ".";
  for (const platform::FolderEntry& entry : entries) {
    const std::string& name = entry.name;
    if (name.size() < 2 || name[0] != '.' || entry.kind != platform::FileKind::kFolder) continue;
    std::string path = name.substr(1);
    if (path.compare(0, prefix.size(), prefix) != 0) continue;
    if (!IsValidFolderName(path.substr(prefix.size()))) continue;
    out.push_back(std::move(path));
  }
  std::sort(out.begin(), out.end());
  return out;
}

namespace {

MimeMessageContext MakeContext(const MaildirCore& core, const MessageLocation& at,
                               const platform::FileInfo& info) {
  MimeMessageContext context;
  context.accountAddress = core.options().accountAddress;
  context.storeFlags = MessageFlagsOf(at.name);
  context.size = info.size;
  // The file's time in 100 ns steps since 1601.
  context.deliveryTime =
      static_cast<std::uint64_t>(info.modifiedNs / 100) + kEpochDifference * 10'000'000ULL;
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
  platform::FileInfo info;
  if (!files_.Stat(path, &info).ok() || info.kind != platform::FileKind::kFile) return std::nullopt;
  const std::int64_t size = static_cast<std::int64_t>(info.size);
  const std::int64_t mtimeNs = info.modifiedNs;
  std::vector<PropValue> props;
  bool cached = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = summaries_.find(path);
    if (it != summaries_.end() && it->second.size == size && it->second.mtimeNs == mtimeNs) {
      props = it->second.props;
      cached = true;
    }
  }
  if (!cached) {
    MimeMessage parsed;
    if (!ReadMimeFile(files_, path, &parsed).ok()) return std::nullopt;  // vanished meanwhile
    props = MimeSummaryProps(parsed, MakeContext(*this, at, info));
    std::lock_guard<std::mutex> lock(mutex_);
    if (summaries_.size() >= kMaxSummaries) summaries_.clear();
    summaries_[path] = Summary{size, mtimeNs, props};
  }
  if (hasSavedProps) {
    for (PropValue& v : LoadMessageProps(files_, root_, at.name.unique)) {
      if (FindPropId(props, v.tag) == nullptr) props.push_back(std::move(v));
    }
  }
  return props;
}

Result<std::shared_ptr<Message>> MaildirCore::OpenMessage(const std::string& folderPath,
                                                          const std::string& unique) {
  auto at = Locate(folderPath, unique);
  if (!at) return MAPI_E_NOT_FOUND;
  // The file is read only when more than the message's ids is asked for, and then by
  // the name it has at that moment.
  std::weak_ptr<MaildirCore> weak = weak_from_this();
  auto read = [weak, folderPath, unique]() -> Result<std::shared_ptr<Message>> {
    auto core = weak.lock();
    if (!core) return MAPI_E_OBJECT_DELETED;
    return core->ReadMessage(folderPath, unique);
  };
  return Ok(std::shared_ptr<Message>(
      std::make_shared<DeferredMessage>(IdentityOf(folderPath, unique), std::move(read))));
}

std::vector<PropValue> MaildirCore::IdentityOf(const std::string& folderPath,
                                               const std::string& unique) const {
  EntryId id = MessageId(folderPath, unique);
  return {PropValue::Id(PR_ENTRYID, id),
          PropValue::Id(PR_RECORD_KEY, id),
          PropValue::Id(PR_INSTANCE_KEY, id),
          PropValue::Id(PR_PARENT_ENTRYID, FolderId(folderPath)),
          PropValue::Id(PR_STORE_ENTRYID, StoreId()),
          PropValue::ULong(PR_OBJECT_TYPE, MAPI_MESSAGE)};
}

Result<std::shared_ptr<Message>> MaildirCore::ReadMessage(const std::string& folderPath,
                                                          const std::string& unique) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto at = Locate(folderPath, unique);
    if (!at) return MAPI_E_NOT_FOUND;
    std::string path = PathOf(*at);
    MimeMessage parsed;
    platform::FileInfo info;
    if (!files_.Stat(path, &info).ok() || info.kind != platform::FileKind::kFile ||
        !ReadMimeFile(files_, path, &parsed).ok()) {
      Forget(folderPath, unique);  // renamed or removed under us: look again
      continue;
    }
    MimeMessageContext context = MakeContext(*this, *at, info);
    context.saved = LoadMessageProps(files_, root_, unique);
    auto saver = std::make_shared<MaildirSaver>(weak_from_this(), folderPath, unique);
    return Ok(OpenMimeMessage(std::move(parsed), std::move(context), std::move(saver)));
  }
  return MAPI_E_NOT_FOUND;
}

HRESULT MaildirCore::Rename(const MessageLocation& from, const MessageLocation& to,
                            bool noReplace) {
  std::string target = PathOf(to);
  watcher_->ExpectArrival(target);
  const int error = (noReplace ? files_.RenameNoReplace(PathOf(from), target)
                               : files_.Rename(PathOf(from), target))
                        .code();
  if (error != 0) {
    watcher_->ForgetArrival(target);
    // A missing path with the message still in place means the destination is broken.
    if ((error == ENOENT || error == ENOTDIR) && files_.Exists(PathOf(from))) {
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

HRESULT MaildirCore::MoveFile(const MessageLocation& at, const std::string& destination,
                              std::string* movedUnique) {
  // A fresh unique part in the new folder, as every Maildir program gives a message it
  // moves: markers other programs put into the name (a synchronizer's ",U=<uid>") stay
  // behind, and the info part is the one the file has now, its keyword letters
  // translated for the new folder.
  const std::string fresh = NewUniqueName(clock_);
  MessageFileName name{fresh, "", at.name.hasInfo};
  std::string note;
  if (at.name.hasInfo) {
    name.flags = TranslateKeywordFlags(files_, FolderDirectory(root_, at.folderPath),
                                       FolderDirectory(root_, destination), at.name.flags, &note);
  }
  MessageLocation to{destination, at.sub, name.hasInfo ? CurFileName(fresh, name.flags) : fresh,
                     name};
  // The properties kept beside the message follow its new unique part.
  if (!MoveMessageProps(files_, root_, at.name.unique, fresh)) {
    Log("not moved: the properties of " + PathOf(at) + " cannot be renamed");
    return MAPI_E_DISK_ERROR;
  }
  HRESULT hr = Rename(at, to, true);
  if (!Succeeded(hr)) {
    MoveMessageProps(files_, root_, fresh, at.name.unique);
    if (hr == MAPI_E_DISK_ERROR) {
      Log(PathOf(at) + " not moved: " + FolderDirectory(root_, destination) + "/" + at.sub +
          " cannot take it (is it a mail folder?)");
    }
    return hr;
  }
  if (!note.empty()) Log(PathOf(to) + ": " + note);
  *movedUnique = fresh;
  return S_OK;
}

void MaildirCore::Log(const std::string& line) const {
  if (options_.log) options_.log(line);
}

HRESULT MaildirCore::MoveOrCopy(const std::string& folderPath, const std::string& unique,
                                const std::string& destination, bool move) {
  if (!FolderExists(destination)) return MAPI_E_NOT_FOUND;
  // Another program may rename the file (a flag change) between our look and our
  // rename: then look again, by its unique part.
  for (int attempt = 0; attempt < 3; ++attempt) {
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
      std::string movedUnique;
      hr = MoveFile(*at, destination, &movedUnique);
      n.eventType = fnevObjectMoved;
      n.entryId = MessageId(destination, movedUnique);
    } else {
      std::string bytes;
      if (!files_.ReadFile(PathOf(*at), &bytes).ok()) {
        hr = MAPI_E_NOT_FOUND;
      } else {
        // Written whole into tmp/ first, then renamed into place under a new unique part.
        std::string copyUnique = NewUniqueName(clock_);
        std::string staged = FolderDirectory(root_, destination) + "/tmp/" + copyUnique;
        if (!files_.WriteFileAtomic(staged, bytes).ok()) {
          return MAPI_E_DISK_ERROR;
        }
        MessageFileName name = at->name;
        name.unique = copyUnique;
        MessageLocation to{destination, at->sub,
                           at->sub == "new" ? copyUnique : CurFileName(copyUnique, name.flags),
                           name};
        // A copy without the properties kept beside the message (the own-message
        // mark) would be a different message: then there is no copy.
        if (!CopyMessageProps(files_, root_, unique, copyUnique)) {
          RemoveMessageProps(files_, root_, copyUnique);
          files_.Remove(staged);
          return MAPI_E_DISK_ERROR;
        }
        std::string target = PathOf(to);
        watcher_->ExpectArrival(target);
        const int error = files_.RenameNoReplace(staged, target).code();
        if (error != 0) {
          watcher_->ForgetArrival(target);
          files_.Remove(staged);
          RemoveMessageProps(files_, root_, copyUnique);
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
    if (const int error = files_.Remove(PathOf(*at)).code(); error != 0) {
      Forget(folderPath, unique);
      if (error == ENOENT) continue;
      return FromErrno(error);
    }
    Forget(folderPath, unique);
    RemoveMessageProps(files_, root_, unique);
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
