#include "outlook/spam_departures.h"

#include <algorithm>
#include <deque>
#include <utility>

#include "mapi/folder.h"
#include "mapi/queries.h"
#include "mapi/store.h"

namespace quorvel::outlook {
namespace {

constexpr int kMaxDepartureDepth = 32;

template <typename T>
std::shared_ptr<T> Open(mapi::Session& session, const mapi::EntryId& id, std::uint32_t type) {
  if (!id.present()) return nullptr;
  auto opened = session.OpenEntry(id, mapi::MAPI_BEST_ACCESS);
  if (!opened.ok() || opened->objectType != type) return nullptr;
  return opened->As<T>();
}

bool Same(mapi::Session& session, const mapi::EntryId& a, const mapi::EntryId& b) {
  if (!a.present() || !b.present()) return false;
  if (a == b) return true;
  auto same = session.CompareEntryIDs(a, b, 0);
  return same.ok() && *same;
}

}  // namespace

std::map<std::string, Departure> FindDepartures(mapi::Session& session,
                                                const mapi::EntryId& spamFolder,
                                                const std::vector<std::string>& messageIds) {
  std::map<std::string, Departure> found;
  if (messageIds.empty()) return found;
  auto spam = Open<mapi::Folder>(session, spamFolder, mapi::MAPI_FOLDER);
  if (!spam) return found;
  auto storeId = mapi::HrGetOneProp(*spam, mapi::PR_STORE_ENTRYID);
  if (!storeId.ok()) return found;
  auto store =
      session.OpenMsgStore(storeId->AsEntryId(), mapi::MDB_NO_DIALOG | mapi::MAPI_BEST_ACCESS);
  if (!store.ok()) return found;
  const mapi::PropTag storeTags[] = {mapi::PR_IPM_SUBTREE_ENTRYID, mapi::PR_IPM_SENTMAIL_ENTRYID,
                                     mapi::PR_IPM_WASTEBASKET_ENTRYID};
  auto places = (*store)->GetProps(storeTags);
  if (!places.ok()) return found;
  std::vector<mapi::EntryId> skipped = {
      spamFolder, mapi::GetEntryId(*places, mapi::PR_IPM_SENTMAIL_ENTRYID),
      mapi::GetEntryId(*places, mapi::PR_IPM_WASTEBASKET_ENTRYID)};
  if (auto inbox = (*store)->GetReceiveFolder("IPM.Note", 0); inbox.ok()) {
    skipped.push_back(inbox->folderId);
  }

  std::vector<mapi::Restriction> wanted;
  for (const std::string& id : messageIds) {
    wanted.push_back(mapi::Restriction::Property(
        mapi::RELOP_EQ, mapi::PropValue::String8(mapi::PR_INTERNET_MESSAGE_ID, id)));
  }
  const mapi::Restriction restriction = mapi::Restriction::Or(std::move(wanted));
  const mapi::PropTag contentColumns[] = {mapi::PR_ENTRYID, mapi::PR_INTERNET_MESSAGE_ID};
  const mapi::PropTag folderColumns[] = {mapi::PR_ENTRYID};

  // Breadth first from the top of the store; the folders left out are still walked
  // through (the Inbox holds the others on some stores).
  std::deque<std::pair<mapi::EntryId, int>> pending = {
      {mapi::GetEntryId(*places, mapi::PR_IPM_SUBTREE_ENTRYID), 0}};
  std::size_t asked = 0;
  while (!pending.empty() && asked < kMaxDepartureFolders && found.size() < messageIds.size()) {
    auto [id, depth] = pending.front();
    pending.pop_front();
    auto folder = Open<mapi::Folder>(session, id, mapi::MAPI_FOLDER);
    if (!folder) continue;
    ++asked;
    const bool skip = std::any_of(skipped.begin(), skipped.end(),
                                  [&](const mapi::EntryId& s) { return Same(session, s, id); });
    if (!skip) {
      auto table = folder->GetContentsTable(0);
      auto rows = table.ok() ? mapi::HrQueryAllRows(**table, contentColumns, restriction)
                             : mapi::Result<mapi::RowSet>(table.hr);
      for (const mapi::Row& row : rows.ok() ? *rows : mapi::RowSet()) {
        const std::string messageId = mapi::GetString8(row, mapi::PR_INTERNET_MESSAGE_ID);
        if (!messageId.empty() && !found.count(messageId)) {
          found[messageId] = Departure{id, mapi::GetEntryId(row, mapi::PR_ENTRYID)};
        }
      }
    }
    if (depth >= kMaxDepartureDepth) continue;
    auto children = folder->GetHierarchyTable(0);
    auto rows = children.ok() ? mapi::HrQueryAllRows(**children, folderColumns, std::nullopt)
                              : mapi::Result<mapi::RowSet>(children.hr);
    for (const mapi::Row& row : rows.ok() ? *rows : mapi::RowSet()) {
      pending.emplace_back(mapi::GetEntryId(row, mapi::PR_ENTRYID), depth + 1);
    }
  }
  return found;
}

}  // namespace quorvel::outlook
