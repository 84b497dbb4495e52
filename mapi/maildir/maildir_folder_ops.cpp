// Creating and deleting folders of a Maildir store (MaildirCore).
#include <cerrno>
#include <optional>

#include "mapi/maildir/maildir_core.h"
#include "mapi/maildir/props_file.h"
#include "mapi/maildir/subscriptions.h"
#include "platform/mailbox_name.h"

namespace quorvel::mapi {

Result<std::string> MaildirCore::CreateFolder(const std::string& parent,
                                              const std::string& utf8Name, bool openIfExists) {
  if (!IsValidFolderName(utf8Name)) return MAPI_E_INVALID_PARAMETER;
  if (!FolderExists(parent)) return MAPI_E_NOT_FOUND;
  auto Child = [&](const std::string& name) { return parent.empty() ? name : parent + "." + name; };
  // Directories are named in modified UTF-7, as IMAP servers serving the same Maildir
  // expect; a folder another tool made under its UTF-8 name is that folder all the same.
  if (const std::string plain = Child(utf8Name); FolderExists(plain)) {
    if (openIfExists) return Ok(plain);
    return MAPI_E_COLLISION;
  }
  const std::optional<std::string> encoded = platform::Utf8ToModifiedUtf7(utf8Name);
  if (!encoded) return MAPI_E_INVALID_PARAMETER;
  std::string path = Child(*encoded);
  std::string dir = FolderDirectory(root_, path);
  if (FolderExists(path)) {
    if (openIfExists) return Ok(path);
    return MAPI_E_COLLISION;
  }
  // Built whole in tmp/, then renamed into place: a reader never sees half a folder.
  std::string staging = root_ + "/tmp/.folder-" + NewUniqueName(clock_);
  // Mail is the user's alone: the folders are made 0700, as mail delivery makes them.
  if (!files_.CreateFolders(staging + "/cur", 0700).ok() ||
      !files_.CreateFolders(staging + "/new", 0700).ok() ||
      !files_.CreateFolders(staging + "/tmp", 0700).ok() ||
      !files_.WriteFileAtomic(staging + "/maildirfolder", "").ok()) {
    files_.RemoveAll(staging);
    return MAPI_E_DISK_ERROR;
  }
  watcher_->ExpectArrival(dir);
  if (const int error = files_.Rename(staging, dir).code(); error != 0) {
    watcher_->ForgetArrival(dir);
    files_.RemoveAll(staging);
    if ((error == EEXIST || error == ENOTEMPTY) && openIfExists && FolderExists(path)) {
      return Ok(path);
    }
    return error == EEXIST || error == ENOTEMPTY ? MAPI_E_COLLISION : MAPI_E_DISK_ERROR;
  }
  watcher_->WatchFolder(path);
  // Made by us, for mail we write into it: subscribed, so that IMAP clients show it.
  if (!SubscribeFolder(files_, root_, path)) Log("folder " + path + " made but not subscribed");
  Notification n;
  n.eventType = fnevObjectCreated;
  n.objectType = MAPI_FOLDER;
  n.entryId = FolderId(path);
  n.parentId = FolderId(parent);
  watcher_->Post({n});
  return Ok(path);
}

HRESULT MaildirCore::DeleteFolder(const std::string& folderPath, std::uint32_t flags) {
  if (folderPath.empty()) return MAPI_E_NO_ACCESS;  // the Inbox stays
  if (!FolderExists(folderPath)) return MAPI_E_NOT_FOUND;
  std::vector<std::string> doomed = {folderPath};
  for (std::size_t i = 0; i < doomed.size(); ++i) {
    for (std::string& child : Subfolders(doomed[i])) doomed.push_back(std::move(child));
  }
  if (doomed.size() > 1 && !(flags & DEL_FOLDERS)) return MAPI_E_HAS_FOLDERS;
  if (!(flags & DEL_MESSAGES)) {
    for (const std::string& f : doomed) {
      if (!ListMessages(f).empty()) return MAPI_E_HAS_MESSAGES;
    }
  }
  // Deepest first, so that a failure never leaves a child without its parent.
  for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
    for (const MessageLocation& at : ListMessages(*it)) {
      RemoveMessageProps(files_, root_, at.name.unique);
    }
    std::string dir = FolderDirectory(root_, *it);
    std::string trash = root_ + "/tmp/.deleted-" + NewUniqueName(clock_);
    if (!files_.Rename(dir, trash).ok()) return MAPI_E_DISK_ERROR;
    files_.RemoveAll(trash);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      index_.erase(*it);
    }
    Notification n;
    n.eventType = fnevObjectDeleted;
    n.objectType = MAPI_FOLDER;
    n.entryId = FolderId(*it);
    n.parentId = FolderId(ParentFolderPath(*it));
    watcher_->Post({n});
  }
  return S_OK;
}

}  // namespace quorvel::mapi
