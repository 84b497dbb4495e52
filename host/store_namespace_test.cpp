#include "host/store_namespace.h"

#include <gtest/gtest.h>

#include "host/memory_host.h"
#include "mapi/queries.h"
#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

using mapi::EntryId;

class StoreNameSpaceTest : public testing::Test {
 protected:
  ui::ScriptedUi ui_;
  MemoryHost box_{ui_};
  NameSpace& ns() { return *box_.nameSpace; }
};

TEST_F(StoreNameSpaceTest, DefaultFoldersOfTheDefaultStore) {
  struct Case {
    int type;
    EntryId id;
    const char* name;
    int itemType;
  } cases[] = {
      {olFolderOutbox, box_.layout.outbox, "Outbox", olMailItem},
      {olFolderSentMail, box_.layout.sentItems, "Sent Items", olMailItem},
      {olFolderInbox, box_.layout.inbox, "Inbox", olMailItem},
      {olFolderContacts, box_.layout.contacts, "Contacts", olContactItem},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto folder = ns().GetDefaultFolder(c.type);
    ASSERT_TRUE(folder.ok());
    EXPECT_EQ((*folder)->EntryID(), c.id.ToHex());
    EXPECT_EQ((*folder)->StoreID(), box_.layout.store.ToHex());
    EXPECT_EQ((*folder)->Name(), c.name);
    EXPECT_EQ((*folder)->DefaultItemType(), c.itemType);
    EXPECT_EQ((*folder)->Parent(), nullptr);  // top-level under the store's top
  }
  EXPECT_EQ(ns().GetDefaultFolder(99).hr, mapi::MAPI_E_INVALID_PARAMETER);
}

TEST_F(StoreNameSpaceTest, GetFolderFromIdFindsAFolderOrSaysWhyNot) {
  auto inbox = ns().GetFolderFromID(box_.layout.inbox.ToHex());
  ASSERT_TRUE(inbox.ok());
  EXPECT_EQ((*inbox)->StoreID(), box_.layout.store.ToHex());
  EXPECT_EQ(ns().GetFolderFromID("not hex").hr, mapi::MAPI_E_INVALID_ENTRYID);
  EXPECT_EQ(ns().GetFolderFromID("").hr, mapi::MAPI_E_INVALID_ENTRYID);

  auto spam = (*inbox)->Folders()->Add("Spam");
  ASSERT_TRUE(spam.ok());
  std::string spamId = (*spam)->EntryID();
  auto raw = (*inbox)->MAPIOBJECT();
  ASSERT_TRUE(raw.ok());
  ASSERT_EQ((*raw)->DeleteFolder(*EntryId::FromHex(spamId), 0), mapi::S_OK);
  EXPECT_EQ(ns().GetFolderFromID(spamId).hr, mapi::MAPI_E_NOT_FOUND);
  EXPECT_EQ((*spam)->Items()->Count(), 0);  // a stale object answers, it does not crash
}

TEST_F(StoreNameSpaceTest, SubfoldersByNameAndIndexWithTheirParent) {
  auto inbox = *ns().GetDefaultFolder(olFolderInbox);
  auto folders = inbox->Folders();
  EXPECT_EQ(folders->Count(), 0);
  ASSERT_TRUE(folders->Add("Spam").ok());
  EXPECT_EQ(folders->Add("Spam").hr, mapi::MAPI_E_COLLISION);
  auto found = folders->Item("SPAM");
  ASSERT_TRUE(found.ok());
  EXPECT_EQ((*found)->Name(), "Spam");
  EXPECT_EQ((*found)->Parent()->EntryID(), inbox->EntryID());
  EXPECT_EQ(folders->Item(1)->get()->EntryID(), (*found)->EntryID());
  EXPECT_EQ(folders->Item(2).hr, mapi::MAPI_E_NOT_FOUND);
  EXPECT_EQ(folders->Item("Ham").hr, mapi::MAPI_E_NOT_FOUND);
}

TEST_F(StoreNameSpaceTest, ItemsCountAndOpenTheirMessages) {
  auto inbox = *ns().GetDefaultFolder(olFolderInbox);
  auto raw = *inbox->MAPIOBJECT();
  for (const char* subject : {"one", "two"}) {
    auto message = raw->CreateMessage(mapi::memory::kDeliverAsNewMail);
    ASSERT_TRUE(message.ok());
    mapi::HrSetOneProp(**message, mapi::PropValue::String8(mapi::PR_SUBJECT, subject));
    ASSERT_EQ((*message)->SaveChanges(0), mapi::S_OK);
  }
  auto items = inbox->Items();
  EXPECT_EQ(items->Count(), 2);
  auto second = items->Item(2);
  ASSERT_TRUE(second.ok());
  EXPECT_EQ((*second)->Subject(), "two");
  EXPECT_EQ((*second)->Parent()->EntryID(), inbox->EntryID());
  EXPECT_FALSE(items->Item(3).ok());
  EXPECT_FALSE(items->Item(0).ok());
  auto again = ns().GetItemFromID((*second)->EntryID());
  ASSERT_TRUE(again.ok());
  EXPECT_EQ((*again)->Subject(), "two");
}

TEST_F(StoreNameSpaceTest, TopFoldersAreTheChildrenOfTheStoreTop) {
  auto tops = ns().TopFolders();
  std::vector<std::string> names;
  for (const auto& f : tops) names.push_back(f->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Inbox", "Outbox", "Sent Items", "Deleted Items",
                                             "Drafts", "Contacts"}));
}

}  // namespace
}  // namespace quorvel::host
