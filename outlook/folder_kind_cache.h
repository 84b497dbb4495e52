// FolderKindCache: which folders of the profile receive mail, which are Outboxes and
// which are Sent Items, refreshed from the stores at most once an hour (measured on
// the clock), so that a folder made a receive folder is recognised within the hour.
//
// One cache covers either the Exchange stores only, or every other store together with
// the Exchange stores that keep a local copy (PR_STORE_LOCAL_COPY true).
//
// Locking: mutex_ guards the three sets and the refresh time; a refresh reads the
// stores without it and swaps the sets in under it. Any thread may call Kind.
#ifndef QUORVEL_OUTLOOK_FOLDER_KIND_CACHE_H_
#define QUORVEL_OUTLOOK_FOLDER_KIND_CACHE_H_

#include <mutex>
#include <set>

#include "mapi/entry_id.h"
#include "mapi/session.h"
#include "platform/clock.h"

namespace quorvel::outlook {

enum class FolderKind { kNone = 0, kReceive = 1, kOutbox = 2, kSentItems = 3 };

inline constexpr platform::FileTime kFolderKindRefresh = 3600 * platform::kFileTimeSecond;

class FolderKindCache {
 public:
  FolderKindCache(bool exchangeOnly, const platform::Clock& clock)
      : exchangeOnly_(exchangeOnly), clock_(clock) {}

  // The kind of `folder`, refreshing the sets first when an hour has passed.
  FolderKind Kind(const mapi::EntryId& folder, mapi::Session& session);

 private:
  struct Sets {
    std::set<mapi::EntryId> receive, outboxes, sentItems;
  };
  Sets Read(mapi::Session& session) const;

  const bool exchangeOnly_;
  const platform::Clock& clock_;
  std::mutex mutex_;
  Sets sets_;                           // guarded by mutex_
  platform::FileTime lastRefresh_ = 0;  // guarded by mutex_
};

// Whether a store is an Exchange store (by its provider) and keeps a local copy.
bool IsExchangeStore(const std::vector<mapi::PropValue>& storeProps);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_FOLDER_KIND_CACHE_H_
