#include "testing/test_mailbox.h"

#include <gtest/gtest.h>

#include "mapi/queries.h"

namespace quorvel {

using namespace quorvel::mapi;

memory::StoreOptions TestMailbox::DefaultOptions() {
  memory::StoreOptions options;
  options.isDefault = true;
  return options;
}

TestMailbox::TestMailbox(const memory::StoreOptions& options)
    : session(memory::MemorySession::Create()), layout(session->AddStore(options)) {}

std::shared_ptr<Folder> TestMailbox::OpenFolder(const EntryId& id) const {
  auto opened = session->OpenEntry(id, MAPI_BEST_ACCESS);
  EXPECT_TRUE(opened.ok() && opened->objectType == MAPI_FOLDER) << "no folder " << id.ToHex();
  return opened.ok() ? opened->As<Folder>() : nullptr;
}

std::shared_ptr<Message> TestMailbox::OpenMessage(const EntryId& id) const {
  auto opened = session->OpenEntry(id, MAPI_BEST_ACCESS);
  EXPECT_TRUE(opened.ok() && opened->objectType == MAPI_MESSAGE) << "no message " << id.ToHex();
  return opened.ok() ? opened->As<Message>() : nullptr;
}

std::shared_ptr<MsgStore> TestMailbox::OpenStore() const {
  auto store = session->OpenMsgStore(layout.store, MDB_NO_DIALOG | MDB_WRITE);
  EXPECT_TRUE(store.ok());
  return store.ok() ? *store : nullptr;
}

EntryId TestMailbox::AddFolder(const EntryId& parent, const std::string& name) const {
  auto folder = OpenFolder(parent);
  if (!folder) return {};
  auto created = folder->CreateFolder(FOLDER_GENERIC, name, "", OPEN_IF_EXISTS);
  EXPECT_TRUE(created.ok()) << "cannot create " << name;
  if (!created.ok()) return {};
  return HrGetOneProp(**created, PR_ENTRYID)->AsEntryId();
}

std::vector<EntryId> TestMailbox::MessagesIn(const EntryId& folder) const {
  std::vector<EntryId> ids;
  auto opened = OpenFolder(folder);
  if (!opened) return ids;
  auto table = opened->GetContentsTable(0);
  if (!table.ok()) return ids;
  PropTag columns[] = {PR_ENTRYID};
  auto rows = HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return ids;
  for (const auto& row : *rows) ids.push_back(row[0].AsEntryId());
  return ids;
}

std::string TestMailbox::StringOf(const EntryId& message, PropTag tag) const {
  auto opened = OpenMessage(message);
  if (!opened) return {};
  auto value = HrGetOneProp(*opened, tag);
  return value.ok() && value->AsString8() ? *value->AsString8() : std::string();
}

std::uint32_t TestMailbox::FlagsOf(const EntryId& message) const {
  auto opened = OpenMessage(message);
  if (!opened) return 0;
  auto value = HrGetOneProp(*opened, PR_MESSAGE_FLAGS);
  return value.ok() && value->AsLong() ? static_cast<std::uint32_t>(*value->AsLong()) : 0;
}

}  // namespace quorvel
