#include "outlook/folder_kind_cache.h"

#include "mapi/queries.h"

namespace quorvel::outlook {

bool IsExchangeStore(const std::vector<mapi::PropValue>& props) {
  const mapi::PropValue* provider = mapi::FindProp(props, mapi::PR_MDB_PROVIDER);
  return provider && provider->AsBinary() && mapi::IsExchangeProvider(provider->AsBinary()->bytes);
}

FolderKindCache::Sets FolderKindCache::Read(mapi::Session& session) const {
  Sets sets;
  auto table = session.GetMsgStoresTable(0);
  if (!table.ok()) return sets;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID, mapi::PR_MDB_PROVIDER};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return sets;
  for (const mapi::Row& row : *rows) {
    mapi::EntryId storeId = mapi::GetEntryId(row, mapi::PR_ENTRYID);
    if (!storeId.present()) continue;
    bool exchange = IsExchangeStore(row);
    if (exchangeOnly_ && !exchange) continue;
    auto store = session.OpenMsgStore(storeId, mapi::MDB_NO_MAIL | mapi::MAPI_BEST_ACCESS);
    if (!store.ok()) continue;
    if (!exchangeOnly_ && exchange) {
      auto local = mapi::HrGetOneProp(**store, mapi::PR_STORE_LOCAL_COPY);
      if (!local.ok() || !local->AsBoolean() || !*local->AsBoolean()) continue;
    }
    if (auto receive = (*store)->GetReceiveFolderTable(0); receive.ok()) {
      const mapi::PropTag classColumns[] = {mapi::PR_MESSAGE_CLASS};
      if (auto classes = mapi::HrQueryAllRows(**receive, classColumns, std::nullopt);
          classes.ok()) {
        for (const mapi::Row& c : *classes) {
          auto folder = (*store)->GetReceiveFolder(mapi::GetString8(c, mapi::PR_MESSAGE_CLASS), 0);
          if (folder.ok() && folder->folderId.present()) sets.receive.insert(folder->folderId);
        }
      }
    }
    const mapi::PropTag tags[] = {mapi::PR_IPM_OUTBOX_ENTRYID, mapi::PR_IPM_SENTMAIL_ENTRYID};
    if (auto props = (*store)->GetProps(tags); props.ok()) {
      mapi::EntryId outbox = mapi::GetEntryId(*props, mapi::PR_IPM_OUTBOX_ENTRYID);
      mapi::EntryId sent = mapi::GetEntryId(*props, mapi::PR_IPM_SENTMAIL_ENTRYID);
      if (outbox.present()) sets.outboxes.insert(outbox);
      if (sent.present()) sets.sentItems.insert(sent);
    }
  }
  return sets;
}

FolderKind FolderKindCache::Kind(const mapi::EntryId& folder, mapi::Session& session) {
  platform::FileTime now = clock_.Now();
  bool stale;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stale = lastRefresh_ == 0 || now - lastRefresh_ >= kFolderKindRefresh || now < lastRefresh_;
  }
  if (stale) {
    Sets fresh = Read(session);
    std::lock_guard<std::mutex> lock(mutex_);
    sets_ = std::move(fresh);
    lastRefresh_ = now;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (sets_.receive.count(folder)) return FolderKind::kReceive;
  if (sets_.outboxes.count(folder)) return FolderKind::kOutbox;
  if (sets_.sentItems.count(folder)) return FolderKind::kSentItems;
  return FolderKind::kNone;
}

}  // namespace quorvel::outlook
