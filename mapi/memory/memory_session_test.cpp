#include <gtest/gtest.h>

#include "mapi/queries.h"
#include "testing/test_mailbox.h"

namespace quorvel::mapi::memory {
namespace {

using quorvel::TestMailbox;

TEST(MemorySessionTest, StoreTableListsEveryStoreWithItsProvider) {
  TestMailbox box;
  StoreOptions exchange;
  exchange.displayName = "Mailbox - Ann";
  exchange.provider = std::string(pbExchangeProviderPrimaryUserGuid);
  exchange.serviceName = "MSEMS";
  StoreLayout second = box.session->AddStore(exchange);

  PropTag columns[] = {PR_ENTRYID, PR_DEFAULT_STORE, PR_MDB_PROVIDER, PR_SERVICE_UID,
                       PR_STORE_LOCAL_COPY};
  auto rows = HrQueryAllRows(**box.session->GetMsgStoresTable(0), columns, std::nullopt);
  ASSERT_EQ(rows->size(), 2u);
  EXPECT_EQ((*rows)[0][0].AsEntryId(), box.layout.store);
  EXPECT_TRUE(*(*rows)[0][1].AsBoolean());
  EXPECT_FALSE(*(*rows)[1][1].AsBoolean());
  EXPECT_FALSE(IsExchangeProvider((*rows)[0][2].AsBinary()->bytes));
  EXPECT_TRUE(IsExchangeProvider((*rows)[1][2].AsBinary()->bytes));
  EXPECT_EQ((*rows)[1][3].AsBinary()->bytes.size(), 16u);
  // The store's own flag is read from the opened store, not from this table.
  EXPECT_TRUE((*rows)[1][4].IsError());
  EXPECT_EQ((*rows)[1][0].AsEntryId(), second.store);
}

TEST(MemorySessionTest, OpenedStoreGivesItsFoldersAndFlag) {
  TestMailbox box;
  StoreOptions cached;
  cached.provider = std::string(pbExchangeProviderPrimaryUserGuid);
  cached.localCopy = true;
  StoreLayout layout = box.session->AddStore(cached);
  auto store =
      *box.session->OpenMsgStore(layout.store, MDB_NO_DIALOG | MDB_WRITE | MAPI_BEST_ACCESS);
  PropTag tags[] = {PR_IPM_OUTBOX_ENTRYID, PR_IPM_SENTMAIL_ENTRYID, PR_MDB_PROVIDER,
                    PR_STORE_LOCAL_COPY};
  auto values = store->GetProps(tags);
  ASSERT_EQ(values.hr, S_OK);
  EXPECT_EQ((*values)[0].AsEntryId(), layout.outbox);
  EXPECT_EQ((*values)[1].AsEntryId(), layout.sentItems);
  EXPECT_EQ((*values)[2].AsBinary()->bytes, pbExchangeProviderPrimaryUserGuid);
  EXPECT_TRUE(*(*values)[3].AsBoolean());
  EXPECT_EQ(HrGetOneProp(*box.OpenStore(), PR_STORE_LOCAL_COPY).hr, MAPI_E_NOT_FOUND);
  EXPECT_EQ(box.session->OpenMsgStore(EntryId(std::string("x")), 0).hr, MAPI_E_NOT_FOUND);
}

TEST(MemorySessionTest, OpenEntryGivesFoldersAndMessagesOnly) {
  TestMailbox box;
  auto folder = box.session->OpenEntry(box.layout.inbox, MAPI_BEST_ACCESS);
  ASSERT_TRUE(folder.ok());
  EXPECT_EQ(folder->objectType, MAPI_FOLDER);
  EXPECT_TRUE(folder->As<Folder>());
  EXPECT_FALSE(folder->As<Message>());
  EXPECT_EQ(box.session->OpenEntry(EntryId(std::string(29, '\x01')), 0).hr, MAPI_E_NOT_FOUND);
  EXPECT_EQ(box.session->OpenEntry(EntryId(std::string()), 0).hr, MAPI_E_INVALID_ENTRYID);
  // Through the store, an empty id is its root; another store's folder is not its own.
  auto store = box.OpenStore();
  EXPECT_EQ(HrGetOneProp(*store->OpenEntry({}, 0)->object, PR_ENTRYID)->AsEntryId(),
            box.layout.root);
  StoreLayout other = box.session->AddStore({});
  EXPECT_EQ(store->OpenEntry(other.inbox, 0).hr, MAPI_E_NOT_FOUND);
  EXPECT_TRUE(*box.session->CompareEntryIDs(box.layout.inbox, box.layout.inbox, 0));
  EXPECT_FALSE(*box.session->CompareEntryIDs(box.layout.inbox, other.inbox, 0));
}

TEST(MemorySessionTest, StatusTableNamesTheProfile) {
  TestMailbox box;
  box.session->SetProfileName("Work");
  auto table = *box.session->GetStatusTable(0);
  PropTag columns[] = {PR_DISPLAY_NAME};
  auto rows = HrQueryAllRows(
      *table, columns,
      Restriction::Property(RELOP_EQ, PropValue::ULong(PR_RESOURCE_TYPE, MAPI_SUBSYSTEM)));
  ASSERT_EQ(rows->size(), 1u);
  EXPECT_EQ(*(*rows)[0][0].AsString8(), "Work");
}

TEST(MemorySessionTest, ProviderTableListsServices) {
  TestMailbox box;
  StoreOptions pst;
  pst.serviceName = "INTERSTOR";
  StoreLayout layout = box.session->AddStore(pst);
  std::string extra = box.session->AddService("MSN_CON");
  PropTag columns[] = {PR_SERVICE_UID, PR_SERVICE_NAME};
  auto rows = HrQueryAllRows(**box.session->GetProviderTable(0), columns, std::nullopt);
  ASSERT_EQ(rows->size(), 3u);
  EXPECT_EQ(*(*rows)[1][1].AsString8(), "INTERSTOR");
  EXPECT_EQ((*rows)[1][0].AsBinary()->bytes,
            HrGetOneProp(**box.session->OpenMsgStore(layout.store, 0), PR_SERVICE_UID)
                ->AsBinary()
                ->bytes);
  EXPECT_EQ((*rows)[2][0].AsBinary()->bytes, extra);
}

TEST(MemorySessionTest, ReceiveFoldersByMessageClass) {
  TestMailbox box;
  auto store = box.OpenStore();
  PropTag columns[] = {PR_MESSAGE_CLASS, PR_ENTRYID};
  auto rows = HrQueryAllRows(**store->GetReceiveFolderTable(0), columns, std::nullopt);
  ASSERT_EQ(rows->size(), 2u);
  EXPECT_EQ((*rows)[1][1].AsEntryId(), box.layout.inbox);

  EntryId reports = box.AddFolder(box.layout.ipmSubtree, "Reports");
  ASSERT_EQ(store->SetReceiveFolder("REPORT.IPM", reports, 0), S_OK);
  struct Case {
    const char* messageClass;
    EntryId folder;
    const char* explicitClass;
  };
  const Case cases[] = {
      {"IPM.Note", box.layout.inbox, "IPM"},
      {"ipm.note", box.layout.inbox, "IPM"},
      {"REPORT.IPM.Note.NDR", reports, "REPORT.IPM"},
      {"REPORT.IPMX", box.layout.inbox, ""},  // a class boundary is a "."
      {"", box.layout.inbox, ""},
  };
  for (const auto& c : cases) {
    auto found = store->GetReceiveFolder(c.messageClass, 0);
    ASSERT_TRUE(found.ok()) << c.messageClass;
    EXPECT_EQ(found->folderId, c.folder) << c.messageClass;
    EXPECT_EQ(found->explicitClass, c.explicitClass) << c.messageClass;
  }
  ASSERT_EQ(store->SetReceiveFolder("", {}, 0), S_OK);
  ASSERT_EQ(store->SetReceiveFolder("IPM", {}, 0), S_OK);
  EXPECT_EQ(store->GetReceiveFolder("IPM.Note", 0).hr, MAPI_E_NOT_FOUND);
}

TEST(MemorySessionTest, StoreWithoutStandardFolders) {
  TestMailbox box;
  StoreOptions bare;
  bare.standardFolders = false;
  StoreLayout layout = box.session->AddStore(bare);
  EXPECT_FALSE(layout.inbox.present());
  auto store = *box.session->OpenMsgStore(layout.store, 0);
  EXPECT_EQ(HrGetOneProp(*store, PR_IPM_OUTBOX_ENTRYID).hr, MAPI_E_NOT_FOUND);
  EXPECT_EQ(store->GetReceiveFolder("IPM.Note", 0).hr, MAPI_E_NOT_FOUND);
}

TEST(MemorySessionTest, AddressBookContainersAndEntries) {
  TestMailbox box;
  EntryId gal = box.session->AddAbContainer("Global Address List", false);
  EntryId contacts = box.session->AddAbContainer("Contacts", true);
  box.session->AddAbEntry(contacts, "Ann Lee", "ann@example.com", "SMTP", "Ann");
  box.session->AddAbEntry(gal, "Bob", "/o=Org/ou=Site/cn=Recipients/cn=bob", "EX");
  auto book = *box.session->OpenAddressBook(AB_NO_DIALOG);
  auto root = book->OpenEntry({}, 0);
  ASSERT_EQ(root->objectType, MAPI_ABCONT);
  PropTag columns[] = {PR_ENTRYID, PR_DISPLAY_NAME};
  auto containers =
      HrQueryAllRows(**root->As<AbContainer>()->GetHierarchyTable(0), columns, std::nullopt);
  ASSERT_EQ(containers->size(), 2u);
  auto second = book->OpenEntry((*containers)[1][0].AsEntryId(), 0)->As<AbContainer>();
  ASSERT_TRUE(second);
  EXPECT_TRUE(HrGetOneProp(*second, PR_DEF_CREATE_MAILUSER).ok());
  auto first = book->OpenEntry((*containers)[0][0].AsEntryId(), 0)->As<AbContainer>();
  EXPECT_EQ(HrGetOneProp(*first, PR_DEF_CREATE_MAILUSER).hr, MAPI_E_NOT_FOUND);
  PropTag entryColumns[] = {PR_EMAIL_ADDRESS, PR_DISPLAY_NAME, PR_NORMALIZED_SUBJECT};
  auto entries = HrQueryAllRows(**second->GetContentsTable(0), entryColumns, std::nullopt);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ(*(*entries)[0][0].AsString8(), "ann@example.com");
  EXPECT_EQ(*(*entries)[0][2].AsString8(), "Ann");
}

TEST(MemorySessionTest, ObjectsFailAfterTheSessionEnds) {
  TestMailbox box;
  auto inbox = box.Inbox();
  auto table = *inbox->GetContentsTable(0);
  box.session->Shutdown();
  EXPECT_EQ(inbox->GetProps(std::vector<PropTag>{PR_DISPLAY_NAME}).hr, MAPI_E_END_OF_SESSION);
  EXPECT_EQ(box.session->OpenEntry(box.layout.inbox, 0).hr, MAPI_E_END_OF_SESSION);
  EXPECT_EQ(box.session->GetMsgStoresTable(0).hr, MAPI_E_END_OF_SESSION);
  EXPECT_TRUE(table->QueryRows(10, 0).ok());  // a table already read stays readable
}

}  // namespace
}  // namespace quorvel::mapi::memory
