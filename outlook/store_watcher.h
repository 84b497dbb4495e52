// StoreWatcher: the road by which new mail reaches the pending queue. It registers for
// notifications on the stores that can receive mail and, on each notification, queues
// new messages of receive folders, records mail that lands in Sent Items, and tells
// the queue about messages that moved elsewhere.
//
// Which stores: the default Exchange store only (new-mail events; created and moved
// events when it keeps a local copy); other stores when they are the default, belong
// to an "INTERSTOR" or "MSN_CON" service, or when the provider table cannot be read
// (created and moved events).
//
// Owned by the core through a shared_ptr. The stores hold a small forwarding sink that
// refers to the watcher weakly, so the watcher and the stores never keep each other
// alive. OnNotify runs on the stores' notification threads; it reads the folder-kind
// caches (own locks) and calls the queue (own lock). mutex_ guards the registrations
// and the session.
#ifndef QUORVEL_OUTLOOK_STORE_WATCHER_H_
#define QUORVEL_OUTLOOK_STORE_WATCHER_H_

#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "mapi/notification.h"
#include "mapi/session.h"
#include "outlook/folder_kind_cache.h"
#include "outlook/move_detector.h"
#include "outlook/pending_queue.h"
#include "outlook/sent_mail.h"
#include "platform/clock.h"

namespace quorvel::outlook {

inline constexpr std::uint32_t kExchangeEventMask = mapi::fnevNewMail;  // 0x2
inline constexpr std::uint32_t kLocalEventMask =
    mapi::fnevObjectCreated | mapi::fnevObjectMoved;  // 0x24

class StoreWatcher : public std::enable_shared_from_this<StoreWatcher> {
 public:
  // Every argument must outlive the watcher.
  StoreWatcher(PendingQueue& queue, SentMailRecorder& recorder, const platform::Clock& clock);
  ~StoreWatcher();

  // Registers with the stores of `session`. Fails only when the store table cannot be
  // read; a store that cannot be opened or advised is skipped.
  mapi::HRESULT AdviseStores(std::shared_ptr<mapi::Session> session);
  // Cancels every registration and lets the stores and the session go.
  void UnadviseStores();
  std::size_t RegistrationCount() const;

  // Where moves and copies are shown, to tell the user's moves (null: nowhere). Set
  // before AdviseStores; must outlive the registrations.
  void SetMoveDetector(MoveDetector* moves) { moves_ = moves; }
  // Called by the stores; always returns 0.
  mapi::HRESULT OnNotify(std::span<const mapi::Notification> notifications);

 private:
  struct Registration {
    std::shared_ptr<mapi::MsgStore> store;
    std::uint32_t connection = 0;
  };
  void Handle(mapi::Session& session, const mapi::Notification& n);
  std::shared_ptr<mapi::Session> session() const;

  PendingQueue& queue_;
  SentMailRecorder& recorder_;
  FolderKindCache exchangeFolders_;
  FolderKindCache localFolders_;
  MoveDetector* moves_ = nullptr;  // set before the registrations
  mutable std::mutex mutex_;
  std::shared_ptr<mapi::Session> session_;   // guarded by mutex_
  std::vector<Registration> registrations_;  // guarded by mutex_
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_STORE_WATCHER_H_
