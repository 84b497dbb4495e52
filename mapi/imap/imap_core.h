// Internal to mapi/imap: the state of one opened IMAP store that its store, folder and
// message objects share: the command connection, the mailbox list, the advise sinks
// and the watcher of the Inbox.
//
// The server is the truth: every message operation selects the message's mailbox,
// checks that its UIDVALIDITY is still the one in the entry id and acts by UID.
//
// Locking: connMutex_ guards the command connection and its reconnection state, and is
// held for the whole of one operation (commands go one at a time); errorMutex_ guards
// lastError_;
// listMutex_ guards the mailbox list; sinksMutex_ the advise registrations. No lock is
// held while a sink runs (the notifier thread calls them).
#ifndef QUORVEL_MAPI_IMAP_IMAP_CORE_H_
#define QUORVEL_MAPI_IMAP_IMAP_CORE_H_

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "mapi/imap/imap_connection.h"
#include "mapi/imap/imap_interrupt.h"
#include "mapi/imap/imap_names.h"
#include "mapi/imap/imap_store.h"
#include "mapi/memory/notifier.h"
#include "mapi/message.h"

namespace quorvel::mapi::imap {

class ImapWatcher;

struct FolderInfo {
  std::string mailbox;  // as the server names it
  char delimiter = 0;
  bool noSelect = false;
  std::vector<std::string> attributes;
  bool Has(std::string_view attribute) const;
};

class ImapCore : public std::enable_shared_from_this<ImapCore> {
 public:
  explicit ImapCore(const ImapStoreOptions& options);
  ~ImapCore();
  // The first connection (done by OpenImapStore) and the watcher's start.
  HRESULT Start(std::string* error);
  // Waits up to `grace` for the operation in progress, then shuts every connection
  // down for good (StopImapStore). Any thread.
  void Stop(std::chrono::milliseconds grace);

  const ImapStoreOptions& options() const { return options_; }
  StoreKey key() const { return key_; }
  EntryId StoreId() const { return StoreIdOf(key_); }
  EntryId FolderId(const std::string& mailbox) const { return FolderIdOf(key_, mailbox); }
  EntryId MessageId(const std::string& mailbox, std::uint32_t validity, std::uint32_t uid) const {
    return MessageIdOf(key_, mailbox, validity, uid);
  }
  std::string LastError();
  void NoteError(const std::string& text);

  // Mailboxes (LIST, kept until a folder is created or deleted, or `refresh`).
  Result<std::vector<FolderInfo>> Folders(bool refresh = false);
  std::optional<FolderInfo> Find(const std::string& mailbox);
  std::optional<FolderInfo> FindSpecial(std::string_view attribute);
  std::vector<FolderInfo> Children(const std::string& mailbox, bool refresh = false);
  std::string Parent(const std::string& mailbox);
  std::string DisplayNameUtf8(const std::string& mailbox);

  struct Counts {
    std::int32_t total = 0;
    std::int32_t unread = 0;
    std::uint32_t uidValidity = 0;  // of the mailbox, as SELECT said
  };
  Result<Counts> CountMessages(const std::string& mailbox);
  // The summary rows of the mailbox's messages; with `messageIds`, only of those whose
  // Message-ID header holds one of them (found by one SEARCH, nothing else read).
  Result<std::vector<std::vector<PropValue>>> ContentsRows(
      const std::string& mailbox, const std::vector<std::string>* messageIds = nullptr);
  Result<std::shared_ptr<Message>> OpenMessage(const std::string& mailbox, std::uint32_t validity,
                                               std::uint32_t uid);
  HRESULT SetRead(const std::string& mailbox, std::uint32_t validity, std::uint32_t uid, bool read);
  HRESULT SaveProps(const std::string& mailbox, std::uint32_t validity, std::uint32_t uid,
                    const std::vector<PropValue>& props);
  HRESULT Transfer(const std::string& mailbox, std::uint32_t validity, std::uint32_t uid,
                   const std::string& destination, bool move);
  HRESULT Delete(const std::string& mailbox, std::uint32_t validity, std::uint32_t uid);
  Result<std::string> CreateFolder(const std::string& parent, const std::string& utf8Name,
                                   bool openIfExists);
  HRESULT DeleteFolder(const std::string& mailbox, std::uint32_t flags);

  Result<std::uint32_t> Advise(const EntryId& id, std::uint32_t eventMask,
                               std::shared_ptr<AdviseSink> sink);
  HRESULT Unadvise(std::uint32_t connection);
  void Post(std::vector<Notification> notifications);
  // Whether anyone listens for new mail (the watcher runs only then).
  bool WantsNewMail();

 private:
  using Op = std::function<bool(ImapConnection&, ImapError*)>;
  // Runs `op` on the command connection (connecting first); once more on a new
  // connection when the connection was lost and `retry` is set. Holds connMutex_.
  HRESULT Run(const char* what, bool retry, const Op& op);
  // Under connMutex_: a usable connection, or the failure (with backoff).
  HRESULT ConnectLocked(ImapConnection** out);
  HRESULT FailLocked(const ImapError& error);
  // Under connMutex_: selects `mailbox` and checks its UIDVALIDITY.
  bool SelectChecked(ImapConnection& c, const std::string& mailbox, std::uint32_t validity,
                     ImapError* error, bool* stale);
  HRESULT TransferLocked(const std::string& mailbox, std::uint32_t validity, std::uint32_t uid,
                         const std::string& destination, bool move, EntryId* newId);
  HRESULT ReopenLocked(ImapConnection** c);
  // Under connMutex_: whether the message is still in its mailbox (not \Deleted);
  // nothing when that cannot be found out.
  std::optional<bool> PresentLocked(ImapConnection& c, const std::string& mailbox,
                                    std::uint32_t validity, std::uint32_t uid, ImapError* error);

  const ImapStoreOptions options_;
  const StoreKey key_;

  // Every connection of the store, the watcher's too, is registered here.
  ImapInterrupt stop_;
  std::timed_mutex connMutex_;
  std::unique_ptr<ImapConnection> conn_;  // guarded by connMutex_
  int failures_ = 0;                      // failed connection attempts in a row; connMutex_
  std::chrono::steady_clock::time_point nextAttempt_{};  // guarded by connMutex_

  std::mutex errorMutex_;
  std::string lastError_;  // guarded by errorMutex_

  std::mutex listMutex_;
  std::optional<std::vector<FolderInfo>> folders_;  // guarded by listMutex_

  // Summary rows by mailbox, UIDVALIDITY and UID (a message's content never changes
  // under one UID); PR_MESSAGE_FLAGS in them lacks the flags the server keeps.
  struct SummaryKey {
    std::string mailbox;
    std::uint32_t validity = 0;
    std::uint32_t uid = 0;
    auto operator<=>(const SummaryKey&) const = default;
  };
  std::mutex summaryMutex_;
  std::map<SummaryKey, std::vector<PropValue>> summaries_;  // guarded by summaryMutex_

  struct Registration {
    EntryId id;
    std::uint32_t mask = 0;
    std::shared_ptr<AdviseSink> sink;
  };
  std::mutex sinksMutex_;
  std::map<std::uint32_t, Registration> sinks_;  // guarded by sinksMutex_
  std::uint32_t nextConnection_ = 1;             // guarded by sinksMutex_
  memory::Notifier notifier_;

  std::unique_ptr<ImapWatcher> watcher_;  // last: stops first
};

// The store's own flags of a message: MSGFLAG_READ for \Seen, MSGFLAG_UNSENT for
// \Draft or a message in the \Drafts mailbox.
std::uint32_t StoreFlagsOf(const MessageSummary& m, bool inDrafts);
// The message's kept properties, from its keywords.
std::vector<PropValue> KeptProps(const MessageSummary& m);
// One message of the selected mailbox by UID (`found` empty when there is none). A
// message that came after the mailbox was selected is not yet known to this session,
// and the server answers as if it were not there: a NOOP lets the server show it, then
// it is asked for once more.
bool FetchOne(ImapConnection& c, std::uint32_t uid, bool withHeader, bool whole,
              std::vector<MessageSummary>* found, ImapError* error);

}  // namespace quorvel::mapi::imap

#endif  // QUORVEL_MAPI_IMAP_IMAP_CORE_H_
