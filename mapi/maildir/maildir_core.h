// Internal to mapi/maildir: the state of one opened Maildir store that its store,
// folder and message objects share, and the file operations on messages.
//
// The file system is the truth: every operation finds the message's current file by
// folder and unique part, renames it, and on ENOENT rescans the folder once (another
// client may have changed its flags) before answering MAPI_E_NOT_FOUND.
//
// Locking: mutex_ guards the index (index_: per folder, unique part -> where its file
// was last seen; a cache that may miss messages and is checked on disk at each hit) and summaries_
// (contents-table rows by path, size and time). It is never held across a file operation that can
// block for long or across a call into the watcher's sinks. It also guards listings_ (per folder,
// the last whole listing made, not kept: it lives while a contents table holds it).
//
// Memory: the index holds at most 2 * kIndexGeneration messages of each folder whatever
// the folder's size (when a folder's newer generation is full it becomes the older and
// the older is dropped); reading one large folder never pushes out another's (a check
// of the Inbox keeps its batch while the spam folder is scanned), and no call here keeps a whole
// folder's listing: a folder is read in passes that keep only what they look for
// (ListMessagesAfter, LocateMany), or listed whole for a contents table that seeks
// (ListFolderNames: about 45 bytes a message, kept only while a table holds it). The contents-table
// rows (summaries_) keep at most kMaxSummaries messages.
#ifndef QUORVEL_MAPI_MAILDIR_MAILDIR_CORE_H_
#define QUORVEL_MAPI_MAILDIR_MAILDIR_CORE_H_

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "mapi/maildir/folder_names.h"
#include "mapi/maildir/maildir_names.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/maildir_watcher.h"
#include "mapi/message.h"

namespace quorvel::mapi {

// Where one message's file is now.
struct MessageLocation {
  std::string folderPath;
  std::string sub;       // "new" or "cur"
  std::string fileName;  // unique part plus info
  MessageFileName name;
};

class MaildirCore : public std::enable_shared_from_this<MaildirCore> {
 public:
  MaildirCore(std::string root, const MaildirOptions& options);

  const std::string& root() const { return root_; }
  StoreKey key() const { return key_; }
  const MaildirOptions& options() const { return options_; }
  MaildirWatcher& watcher() { return *watcher_; }
  platform::FileSystem& files() const { return files_; }
  std::string PathOf(const MessageLocation& at) const;

  bool FolderExists(const std::string& folderPath) const;
  // Exists and holds new/ and cur/.
  bool IsMailFolder(const std::string& folderPath) const;
  // Direct subfolders of `parent` (paths), sorted.
  std::vector<std::string> Subfolders(const std::string& parent) const;

  // The messages of a folder as they are on disk now, by unique part.
  std::vector<MessageLocation> ListMessages(const std::string& folderPath);
  // The first `limit` messages of a folder whose unique parts sort after `after` (""
  // : from the first), by unique part, read in one pass that keeps at most `limit`
  // of them; they are remembered in the index. A message in both new/ and cur/ is
  // listed once, as its cur/ file. REQUIRES: limit > 0.
  std::vector<MessageLocation> ListMessagesAfter(const std::string& folderPath,
                                                 const std::string& after, std::size_t limit);
  // Every message file of a folder, by unique part: the listing another caller made
  // when it still lives (some table holds it) and new/ and cur/ have not changed since
  // (FolderNames::Unchanged), else a listing made now. Remembers nothing in the index.
  std::shared_ptr<const FolderNames> ListFolderNames(const std::string& folderPath);
  // Where the `i`th file of a listing of `folderPath` was. REQUIRES: i < names.size().
  MessageLocation LocationIn(const std::string& folderPath, const FolderNames& names,
                             std::size_t i) const;
  // Puts where a message's file is into the index (as a listing that gives it does).
  void Remember(const MessageLocation& at);
  // Where a message's file is now (nothing when it is gone): the index, else new/
  // under its bare unique part, else one pass over the folder.
  std::optional<MessageLocation> Locate(const std::string& folderPath, const std::string& unique);
  // Finds the files of those of `uniques` the index does not know in one pass over the
  // folder and remembers them, and remembers the others afresh, so that an operation
  // on up to a thousand messages of a large folder finds each without reading the
  // folder once for each.
  void LocateMany(const std::string& folderPath, const std::vector<std::string>& uniques);

  // A contents-table row (summary properties, identity, flags, saved properties).
  // Nothing when the file vanished.
  std::optional<std::vector<PropValue>> SummaryRow(const MessageLocation& at, bool hasSavedProps);
  // The message, read from its file only when more than its ids is asked of it
  // (mapi/deferred_message.h). MAPI_E_NOT_FOUND when there is no such message now.
  Result<std::shared_ptr<Message>> OpenMessage(const std::string& folderPath,
                                               const std::string& unique);
  // Reads and parses the message's file by its current name.
  Result<std::shared_ptr<Message>> ReadMessage(const std::string& folderPath,
                                               const std::string& unique);
  // PR_ENTRYID, PR_RECORD_KEY, PR_INSTANCE_KEY, PR_PARENT_ENTRYID, PR_STORE_ENTRYID
  // and PR_OBJECT_TYPE of a message.
  std::vector<PropValue> IdentityOf(const std::string& folderPath, const std::string& unique) const;

  HRESULT SetRead(const std::string& folderPath, const std::string& unique, bool read);
  HRESULT MoveOrCopy(const std::string& folderPath, const std::string& unique,
                     const std::string& destination, bool move);
  HRESULT Delete(const std::string& folderPath, const std::string& unique);
  Result<std::string> CreateFolder(const std::string& parent, const std::string& utf8Name,
                                   bool openIfExists);
  HRESULT DeleteFolder(const std::string& folderPath, std::uint32_t flags);

  EntryId StoreId() const { return MaildirStoreId(key_); }
  EntryId FolderId(const std::string& folderPath) const {
    return MaildirFolderId(key_, folderPath);
  }
  EntryId MessageId(const std::string& folderPath, const std::string& unique) const {
    return MaildirMessageId(key_, folderPath, unique);
  }

 private:
  // One folder's part of the index, in two generations.
  struct FolderIndex {
    std::unordered_map<std::string, MessageLocation> newer;
    std::unordered_map<std::string, MessageLocation> older;
  };
  static constexpr std::size_t kIndexGeneration = 4096;
  // A few pages of a window's list: a read of a whole folder does not stay behind.
  static constexpr std::size_t kMaxSummaries = 4096;
  // The one file of `unique` in the folder (cur/ before new/), found in one pass.
  std::optional<MessageLocation> FindOnDisk(const std::string& folderPath,
                                            const std::string& unique) const;
  const MessageLocation* IndexedLocked(const std::string& folderPath,
                                       const std::string& unique) const;
  void Forget(const std::string& folderPath, const std::string& unique);
  void RememberLocked(const MessageLocation& at);
  HRESULT Rename(const MessageLocation& from, const MessageLocation& to, bool noReplace);
  // Renames the message at `at` into `destination` under a fresh unique part.
  HRESULT MoveFile(const MessageLocation& at, const std::string& destination,
                   std::string* movedUnique);
  void Log(const std::string& line) const;
  bool IsFolder(const std::string& path) const;

  const std::string root_;
  const StoreKey key_;
  const MaildirOptions options_;
  const platform::Clock& clock_;
  platform::FileSystem& files_;

  struct Summary {
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::vector<PropValue> props;
  };
  mutable std::mutex mutex_;
  std::unordered_map<std::string, FolderIndex> index_;                          // guarded by mutex_
  std::unordered_map<std::string, Summary> summaries_;                          // guarded by mutex_
  std::unordered_map<std::string, std::weak_ptr<const FolderNames>> listings_;  // guarded by mutex_

  std::unique_ptr<MaildirWatcher> watcher_;  // last: its thread stops first
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAILDIR_MAILDIR_CORE_H_
