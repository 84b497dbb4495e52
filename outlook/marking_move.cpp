#include "outlook/marking_move.h"

#include <deque>
#include <map>
#include <set>

#include "mapi/message.h"
#include "mapi/queries.h"
#include "mapi/tags.h"

namespace quorvel::outlook {
namespace {

constexpr std::int32_t kBatch = 256;

std::set<mapi::EntryId> IdsOf(mapi::Folder& folder) {
  std::set<mapi::EntryId> ids;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID};
  ForEachRow(folder, columns,
             [&](const mapi::Row& row) { ids.insert(mapi::GetEntryId(row, mapi::PR_ENTRYID)); });
  return ids;
}

}  // namespace

bool ForEachRow(mapi::Folder& folder, std::span<const mapi::PropTag> columns,
                const std::function<void(const mapi::Row&)>& each) {
  auto table = folder.GetContentsTable(0);
  if (!table.ok() || mapi::Failed((*table)->SetColumns(columns, 0))) return false;
  for (;;) {
    auto rows = (*table)->QueryRows(kBatch, 0);
    if (!rows.ok()) return false;
    if (rows->empty()) return true;
    for (const mapi::Row& row : *rows) each(row);
  }
}

std::multimap<std::string, mapi::EntryId> MessagesById(mapi::Session& session,
                                                       mapi::Folder& folder) {
  std::multimap<std::string, mapi::EntryId> byId;
  auto table = folder.GetContentsTable(0);
  if (!table.ok()) return byId;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID, mapi::PR_INTERNET_MESSAGE_ID};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return byId;
  for (const mapi::Row& row : *rows) {
    const mapi::EntryId id = mapi::GetEntryId(row, mapi::PR_ENTRYID);
    std::string messageId = mapi::GetString8(row, mapi::PR_INTERNET_MESSAGE_ID);
    if (messageId.empty()) {  // a store that does not list it: read the message
      auto opened = session.OpenEntry(id, mapi::MAPI_BEST_ACCESS);
      if (!opened.ok()) continue;
      if (auto message = opened->As<mapi::Message>()) {
        auto value = mapi::HrGetOneProp(*message, mapi::PR_INTERNET_MESSAGE_ID);
        if (value.ok() && value->AsString8()) messageId = *value->AsString8();
      }
    }
    if (!messageId.empty()) byId.emplace(messageId, id);
  }
  return byId;
}

MarkingMove MoveAll(mapi::Folder& source, mapi::Folder& destination,
                    const std::vector<MoveItem>& items) {
  MarkingMove move;
  const std::set<mapi::EntryId> before = IdsOf(destination);
  std::vector<mapi::EntryId> ids;
  ids.reserve(items.size());
  for (const MoveItem& item : items) ids.push_back(item.id);
  move.complete = source.CopyMessages(ids, destination, mapi::MESSAGE_MOVE) == mapi::S_OK;

  // The destination's new ids, by Message-ID; an id the store kept is found as itself.
  std::map<std::string, std::deque<mapi::EntryId>> arrived;
  std::set<mapi::EntryId> arrivedIds;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID, mapi::PR_INTERNET_MESSAGE_ID};
  ForEachRow(destination, columns, [&](const mapi::Row& row) {
    mapi::EntryId id = mapi::GetEntryId(row, mapi::PR_ENTRYID);
    if (!id.present() || before.count(id) != 0) return;
    arrivedIds.insert(id);
    arrived[mapi::GetString8(row, mapi::PR_INTERNET_MESSAGE_ID)].push_back(id);
  });
  for (const MoveItem& item : items) {
    MovedMessage moved{item.id.ToHex(), "", item.messageId};
    if (arrivedIds.count(item.id) != 0) {
      moved.after = moved.before;
    } else if (auto found = arrived.find(item.messageId);
               !item.messageId.empty() && found != arrived.end() && !found->second.empty()) {
      moved.after = found->second.front().ToHex();
      found->second.pop_front();
    }
    move.messages.push_back(std::move(moved));
  }
  return move;
}

}  // namespace quorvel::outlook
