#include "host/mailbox_listing.h"

#include <utility>
#include <vector>

#include "host/contents_rows.h"
#include "host/folder_path.h"
#include "host/message_locator.h"
#include "mapi/queries.h"
#include "mapi/utf8_text.h"
#include "platform/code_page.h"

namespace quorvel::host {
namespace {

// The default folders a listing marks, by their kind's name.
constexpr std::pair<int, const char*> kSpecialFolders[] = {
    {olFolderInbox, "inbox"},          {olFolderOutbox, "outbox"}, {olFolderSentMail, "sent"},
    {olFolderDeletedItems, "deleted"}, {olFolderDrafts, "drafts"}, {olFolderContacts, "contacts"},
};

std::int32_t LongOr(const mapi::PropValue& value, std::int32_t otherwise) {
  const std::int32_t* v = value.AsLong();
  return v ? *v : otherwise;
}

std::string Utf8Or(const mapi::PropValue& value) {
  const std::string* v = value.AsString8();
  return v ? platform::AnsiToUtf8(*v) : std::string();
}

}  // namespace

Outcome ListFolders(NameSpace& nameSpace, const std::function<bool(const FolderRow&)>& each) {
  std::vector<std::pair<std::string, const char*>> specials;
  for (const auto& [kind, name] : kSpecialFolders) {
    auto folder = nameSpace.GetDefaultFolder(kind);
    if (folder.ok()) specials.emplace_back((*folder)->EntryID(), name);
  }
  // The store's own junk folder, which its Inbox names.
  if (auto inbox = nameSpace.GetDefaultFolder(olFolderInbox); inbox.ok()) {
    if (auto opened = (*inbox)->MAPIOBJECT(); opened.ok()) {
      auto junk = mapi::HrGetOneProp(**opened, mapi::PR_JUNK_FOLDER_ENTRYID);
      if (junk.ok() && junk->AsEntryId().present()) {
        specials.emplace_back(junk->AsEntryId().ToHex(), "junk");
      }
    }
  }
  // Each folder's row comes from its parent's hierarchy table (or, for a top folder,
  // its own properties), so a folder's messages are counted once.
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID,         mapi::PR_DISPLAY_NAME,
                                   mapi::PR_CONTENT_COUNT,   mapi::PR_CONTENT_UNREAD,
                                   mapi::PR_CONTAINER_CLASS, mapi::PR_UNICODE_DISPLAY_NAME};
  bool going = true;
  std::vector<std::string> names;
  std::function<void(MAPIFolder&, const mapi::Row&)> visit = [&](MAPIFolder& folder,
                                                                 const mapi::Row& props) {
    const bool named = props[5].AsUnicode() || props[1].AsString8();
    names.push_back(named
                        ? mapi::GetUtf8(props, mapi::PR_UNICODE_DISPLAY_NAME, mapi::PR_DISPLAY_NAME)
                        : folder.NameUtf8());
    FolderRow row;
    row.path = JoinFolderPath(names);
    row.entryId = folder.EntryID();
    row.depth = static_cast<int>(names.size()) - 1;
    row.itemCount = LongOr(props[2], -1);
    row.unreadCount = LongOr(props[3], -1);
    if (row.itemCount < 0 || row.unreadCount < 0) {
      // A store may leave the counts out of its hierarchy rows (asking costs it a
      // round trip per folder): the folder is asked itself.
      const mapi::PropTag counts[] = {mapi::PR_CONTENT_COUNT, mapi::PR_CONTENT_UNREAD};
      auto opened = folder.MAPIOBJECT();
      auto own = opened.ok() ? (*opened)->GetProps(counts, 0)
                             : mapi::Result<std::vector<mapi::PropValue>>(opened.hr);
      row.itemCount = own.ok() ? LongOr((*own)[0], 0) : 0;
      row.unreadCount = own.ok() ? LongOr((*own)[1], 0) : 0;
    }
    const std::string* container = props[4].AsString8();
    row.defaultItemType =
        container && container->starts_with("IPF.Contact") ? olContactItem : olMailItem;
    for (const auto& [id, kind] : specials) {
      if (id == row.entryId) row.special = kind;
    }
    going = each(row);
    // A hierarchy deeper than any real one is a loop in a damaged store.
    auto opened = folder.MAPIOBJECT();
    auto table = opened.ok() ? (*opened)->GetHierarchyTable(0)
                             : mapi::Result<std::shared_ptr<mapi::Table>>(opened.hr);
    auto children = table.ok() ? mapi::HrQueryAllRows(**table, columns, std::nullopt)
                               : mapi::Result<mapi::RowSet>(table.hr);
    for (std::size_t i = 0; going && names.size() < 64 && children.ok() && i < children->size();
         ++i) {
      const mapi::Row& child = (*children)[i];
      auto childFolder = nameSpace.GetFolderFromID(child[0].AsEntryId().ToHex(), folder.StoreID());
      if (childFolder.ok()) visit(**childFolder, child);
    }
    names.pop_back();
  };
  for (const auto& top : nameSpace.TopFolders()) {
    if (!going) break;
    auto opened = top->MAPIOBJECT();
    if (!opened.ok()) continue;
    auto props = (*opened)->GetProps(columns, 0);
    if (props.ok()) visit(*top, *props);
  }
  return Outcome::Ok();
}

Outcome ListItems(NameSpace& nameSpace, MAPIFolder& folder, std::uint32_t skip, std::uint32_t limit,
                  const std::function<bool(const ItemRow&)>& each, std::uint32_t* total,
                  std::shared_ptr<mapi::Table>* kept) {
  const std::string folderPath = FolderPathOf(folder);
  MessageNamer namer(nameSpace, folder, folderPath);
  const mapi::PropTag columns[] = {
      mapi::PR_ENTRYID,
      mapi::PR_SENDER_NAME,
      mapi::PR_SENDER_EMAIL_ADDRESS,
      mapi::PR_SUBJECT,
      mapi::PR_MESSAGE_DELIVERY_TIME,
      mapi::PR_MESSAGE_FLAGS,
      mapi::PR_MESSAGE_SIZE,
      mapi::PR_INTERNET_ARTICLE_NUMBER,
      mapi::PR_UNICODE_SENDER_NAME,
      mapi::PR_UNICODE_SUBJECT,
  };
  std::uint32_t listed = 0;
  HRESULT hr = ForEachContentsRow(
      folder, columns, skip,
      [&](const mapi::Row& row) {
        mapi::EntryId id = row[0].AsEntryId();
        if (!id.present()) return true;
        ItemRow item;
        std::optional<std::uint32_t> uid;
        if (const std::int32_t* v = row[7].AsLong()) uid = static_cast<std::uint32_t>(*v);
        item.name = namer.NameOf(id, uid);
        item.entryId = id.ToHex();
        item.senderName = mapi::GetUtf8(row, mapi::PR_UNICODE_SENDER_NAME, mapi::PR_SENDER_NAME);
        item.senderAddress = Utf8Or(row[2]);
        item.subject = mapi::GetUtf8(row, mapi::PR_UNICODE_SUBJECT, mapi::PR_SUBJECT);
        if (const mapi::SysTime* t = row[4].AsTime()) item.received = t->fileTime;
        item.read = (static_cast<std::uint32_t>(LongOr(row[5], 0)) & mapi::MSGFLAG_READ) != 0;
        item.size = LongOr(row[6], -1);
        ++listed;
        return each(item) && (limit == 0 || listed < limit);
      },
      total, kept);
  if (mapi::Failed(hr)) {
    return Outcome::Of(OutcomeCode::kNotFound, "the folder \"" + folderPath + "\" is gone");
  }
  return Outcome::Ok();
}

}  // namespace quorvel::host
