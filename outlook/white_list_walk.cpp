#include "outlook/white_list_walk.h"

#include <algorithm>

#include "lists/contact.h"
#include "mapi/queries.h"
#include "mapi/tags.h"

namespace quorvel::outlook {
namespace {

using mapi::HRESULT;
using mapi::PropTag;

// Files one address the way the wizard does.
void AddCollected(ContactList& collected, const std::string& address, const std::string& name,
                  platform::FileTime now) {
  Contact contact = MakeContact(address);
  if (contact.address.empty()) return;
  if (contact.address.front() == '/') {
    collected.AddDomain(contact);
  } else {
    collected.AddAddress(contact, name, now);
  }
}

// Reads `table` in batches with `columns`, calling `row` for each; the first failing
// call's result.
template <typename RowFn>
HRESULT ForEachRow(mapi::Table& table, std::span<const PropTag> columns, RowFn&& row) {
  if (HRESULT hr = table.SetColumns(columns, 0); mapi::Failed(hr)) return hr;
  for (;;) {
    auto rows = table.QueryRows(kWalkBatch, 0);
    if (!rows.ok()) return rows.hr;
    if (rows->empty()) return mapi::S_OK;
    for (const mapi::Row& r : *rows) row(r);
  }
}

}  // namespace

HRESULT WalkAddressBook(mapi::Session& session, ContactList& collected, platform::FileTime now) {
  auto book = session.OpenAddressBook(0);
  if (book.hr == mapi::MAPI_E_NO_SUPPORT) return mapi::S_OK;  // a profile without one
  if (!book.ok()) return book.hr;
  auto root = (*book)->OpenEntry(mapi::EntryId(), 0);
  if (!root.ok()) return root.hr;
  auto rootContainer = root->As<mapi::Container>();
  if (!rootContainer) return mapi::MAPI_E_INVALID_OBJECT;
  auto hierarchy = rootContainer->GetHierarchyTable(0);
  if (!hierarchy.ok()) return hierarchy.hr;
  std::vector<mapi::EntryId> containers;
  const PropTag ids[] = {mapi::PR_ENTRYID};
  if (HRESULT hr = ForEachRow(
          **hierarchy, ids,
          [&](const mapi::Row& r) { containers.push_back(mapi::GetEntryId(r, mapi::PR_ENTRYID)); });
      mapi::Failed(hr)) {
    return hr;
  }
  for (const mapi::EntryId& id : containers) {
    auto opened = (*book)->OpenEntry(id, 0);
    if (!opened.ok()) return opened.hr;
    auto container = opened->As<mapi::Container>();
    if (!container) return mapi::MAPI_E_INVALID_OBJECT;
    // Only containers where the user can make entries: the personal address books.
    if (!mapi::HrGetOneProp(*container, mapi::PR_DEF_CREATE_MAILUSER).ok()) continue;
    auto contents = container->GetContentsTable(0);
    if (!contents.ok()) return contents.hr;
    const PropTag columns[] = {mapi::PR_EMAIL_ADDRESS, mapi::PR_DISPLAY_NAME,
                               mapi::PR_NORMALIZED_SUBJECT};
    HRESULT hr = ForEachRow(**contents, columns, [&](const mapi::Row& r) {
      const std::string address = mapi::GetString8(r, mapi::PR_EMAIL_ADDRESS);
      if (address.empty()) return;
      const mapi::PropValue* alias = mapi::FindProp(r, mapi::PR_NORMALIZED_SUBJECT);
      const std::string name = alias && alias->AsString8()
                                   ? *alias->AsString8()
                                   : mapi::GetString8(r, mapi::PR_DISPLAY_NAME);
      AddCollected(collected, address, name, now);
    });
    if (mapi::Failed(hr)) return hr;
  }
  return mapi::S_OK;
}

HRESULT WalkContactsFolder(host::NameSpace& nameSpace, ContactList& collected,
                           platform::FileTime now) {
  auto contacts = nameSpace.GetDefaultFolder(host::olFolderContacts);
  if (contacts.hr == mapi::MAPI_E_NOT_FOUND) return mapi::S_OK;  // a profile without one
  if (!contacts.ok()) return contacts.hr;
  auto folder = (*contacts)->MAPIOBJECT();
  if (!folder.ok()) return folder.hr;
  const mapi::PropName email1{mapi::PSETID_Address, false, mapi::kContactEmail1Number, {}};
  auto tags = (*folder)->GetIDsFromNames(std::span(&email1, 1), 0);
  if (mapi::Failed(tags.hr)) return tags.hr;
  // A store that never saw the name has no contact with an address.
  if (tags->empty() || mapi::PROP_TYPE((*tags)[0]) == mapi::PT_ERROR) return mapi::S_OK;
  const PropTag emailTag = mapi::CHANGE_PROP_TYPE((*tags)[0], mapi::PT_STRING8);
  auto contents = (*folder)->GetContentsTable(0);
  if (!contents.ok()) return contents.hr;
  const PropTag columns[] = {emailTag, mapi::PR_DISPLAY_NAME};
  return ForEachRow(**contents, columns, [&](const mapi::Row& r) {
    const std::string address = mapi::GetString8(r, emailTag);
    if (!address.empty()) {
      AddCollected(collected, address, mapi::GetString8(r, mapi::PR_DISPLAY_NAME), now);
    }
  });
}

HRESULT WalkSentItems(host::NameSpace& nameSpace, ContactList& collected, platform::FileTime now,
                      CContactLimit& budget, std::uint32_t* walked,
                      const std::function<void(int)>& progress) {
  auto sent = nameSpace.GetDefaultFolder(host::olFolderSentMail);
  if (!sent.ok()) return sent.hr;
  auto folder = (*sent)->MAPIOBJECT();
  if (!folder.ok()) return folder.hr;
  auto contents = (*folder)->GetContentsTable(0);
  if (!contents.ok()) return contents.hr;
  auto count = (*contents)->GetRowCount(0);
  const std::uint32_t total = std::min<std::uint32_t>(
      count.ok() ? *count : 0, static_cast<std::uint32_t>(std::max(budget.Remaining(), 0)));
  std::shared_ptr<mapi::Session> session = nameSpace.MAPIOBJECT();
  const PropTag columns[] = {mapi::PR_ENTRYID};
  if (HRESULT hr = (*contents)->SetColumns(columns, 0); mapi::Failed(hr)) return hr;
  const PropTag recipientColumns[] = {mapi::PR_EMAIL_ADDRESS, mapi::PR_DISPLAY_NAME};
  for (;;) {
    auto rows = (*contents)->QueryRows(kWalkBatch, 0);
    if (!rows.ok()) return rows.hr;
    if (rows->empty()) return mapi::S_OK;
    for (const mapi::Row& row : *rows) {
      budget.Step();
      ++*walked;
      if (progress && total > 0) {
        progress(40 + static_cast<int>(60ull * std::min(*walked, total) / total));
      }
      auto opened =
          session->OpenEntry(mapi::GetEntryId(row, mapi::PR_ENTRYID), mapi::MAPI_BEST_ACCESS);
      if (!opened.ok()) return opened.hr;
      auto message = opened->As<mapi::Message>();
      if (!message) continue;
      auto recipients = message->GetRecipientTable(0);
      if (!recipients.ok()) return recipients.hr;
      HRESULT hr = ForEachRow(**recipients, recipientColumns, [&](const mapi::Row& r) {
        const std::string address = mapi::GetString8(r, mapi::PR_EMAIL_ADDRESS);
        if (!address.empty()) {
          AddCollected(collected, address, mapi::GetString8(r, mapi::PR_DISPLAY_NAME), now);
        }
      });
      if (mapi::Failed(hr)) return hr;
    }
  }
}

WalkReport CollectWhiteListContacts(host::NameSpace& nameSpace, const platform::Clock& clock,
                                    ContactList& collected,
                                    const std::function<void(int percent)>& progress) {
  WalkReport report;
  const platform::FileTime now = clock.Now();
  const auto say = [&](int percent) {
    if (progress) progress(percent);
  };
  std::shared_ptr<mapi::Session> session = nameSpace.MAPIOBJECT();
  say(0);
  report.failure = session ? WalkAddressBook(*session, collected, now) : mapi::MAPI_E_NOT_FOUND;
  say(20);
  if (mapi::Failed(report.failure)) return report;
  report.failure = WalkContactsFolder(nameSpace, collected, now);
  say(40);
  if (mapi::Failed(report.failure)) return report;
  CContactLimit budget(kSentItemsMessages, kSentItemsSeconds, clock);
  try {
    report.failure =
        WalkSentItems(nameSpace, collected, now, budget, &report.sentMessages, progress);
  } catch (const CContactLimit&) {
    report.budgetSpent = true;
  }
  say(100);
  return report;
}

}  // namespace quorvel::outlook
