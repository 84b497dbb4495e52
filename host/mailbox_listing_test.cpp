#include "host/mailbox_listing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "host/memory_host.h"
#include "host/message_locator.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/test_maildir.h"
#include "mapi/queries.h"
#include "platform/code_page.h"
#include "testing/message_builder.h"
#include "testing/one_store_session.h"
#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

using mapi::PropValue;
using ::testing::ElementsAre;

std::vector<ItemRow> AllItems(NameSpace& ns, MAPIFolder& folder, std::uint32_t skip = 0,
                              std::uint32_t limit = 0) {
  std::vector<ItemRow> rows;
  Outcome listed = ListItems(ns, folder, skip, limit, [&](const ItemRow& row) {
    rows.push_back(row);
    return true;
  });
  EXPECT_TRUE(listed.ok()) << listed.message;
  return rows;
}

class MemoryListingTest : public ::testing::Test {
 protected:
  std::shared_ptr<mapi::Folder> Open(const mapi::EntryId& id) {
    return box_.session->OpenEntry(id, mapi::MAPI_BEST_ACCESS)->As<mapi::Folder>();
  }
  ui::ScriptedUi ui_;
  MemoryHost box_{ui_};
};

TEST_F(MemoryListingTest, FoldersComeParentsFirstWithTheirCountsAndKinds) {
  auto spam = Open(box_.layout.inbox)->CreateFolder(mapi::FOLDER_GENERIC, "Spam", "", 0);
  ASSERT_TRUE(spam.ok());
  auto junk = Open(box_.layout.inbox)->CreateFolder(mapi::FOLDER_GENERIC, "Junk", "", 0);
  mapi::HrSetOneProp(*Open(box_.layout.inbox),
                     PropValue::Id(mapi::PR_JUNK_FOLDER_ENTRYID,
                                   mapi::HrGetOneProp(**junk, mapi::PR_ENTRYID)->AsEntryId()));
  MessageBuilder().Subject("unread").DeliverTo(*Open(box_.layout.inbox));
  MessageBuilder().Subject("read").Read().DeliverTo(*Open(box_.layout.inbox));
  MessageBuilder().Subject("spam").DeliverTo(**spam);
  std::vector<std::string> lines;
  ASSERT_TRUE(ListFolders(*box_.nameSpace, [&](const FolderRow& row) {
                lines.push_back(row.path + " " + std::to_string(row.depth) + " " +
                                std::to_string(row.itemCount) + "/" +
                                std::to_string(row.unreadCount) + " " +
                                std::to_string(row.defaultItemType) + " " + row.special);
                return true;
              }).ok());
  EXPECT_THAT(lines, ElementsAre("Inbox 0 2/1 0 inbox", "Inbox/Spam 1 1/1 0 ",
                                 "Inbox/Junk 1 0/0 0 junk", "Outbox 0 0/0 0 outbox",
                                 "Sent Items 0 0/0 0 sent", "Deleted Items 0 0/0 0 deleted",
                                 "Drafts 0 0/0 0 drafts", "Contacts 0 0/0 2 contacts"));
  int seen = 0;
  ListFolders(*box_.nameSpace, [&](const FolderRow&) { return ++seen < 2; });
  EXPECT_EQ(seen, 2);
}

TEST_F(MemoryListingTest, ItemsCarryWhatTheListingsPrintAndPageAcrossBatches) {
  auto inbox = Open(box_.layout.inbox);
  MessageBuilder()
      .Subject("Hello")
      .From("Ann Example", "ann@example.org")
      .Read()
      .Prop(PropValue::Long(mapi::PR_MESSAGE_SIZE, 1234))
      .Prop(PropValue::Time(mapi::PR_MESSAGE_DELIVERY_TIME, 133'000'000'000'000'000ull))
      .DeliverTo(*inbox);
  for (int i = 1; i < 600; ++i) MessageBuilder().Subject("m" + std::to_string(i)).DeliverTo(*inbox);
  auto folder = box_.Inbox();
  std::vector<ItemRow> all = AllItems(*box_.nameSpace, *folder);
  ASSERT_EQ(all.size(), 600u);
  EXPECT_EQ(all[0].subject, "Hello");
  EXPECT_EQ(all[0].senderName, "Ann Example");
  EXPECT_EQ(all[0].senderAddress, "ann@example.org");
  EXPECT_TRUE(all[0].read);
  EXPECT_EQ(all[0].size, 1234);
  EXPECT_EQ(all[0].received, 133'000'000'000'000'000ull);
  EXPECT_FALSE(all[1].read);
  EXPECT_EQ(all[0].name, all[0].entryId);  // no file, no UID: the entry id names it
  // Pages that straddle the batches give the same rows as the whole.
  std::vector<ItemRow> page = AllItems(*box_.nameSpace, *folder, 250, 20);
  ASSERT_EQ(page.size(), 20u);
  EXPECT_EQ(page.front().entryId, all[250].entryId);
  EXPECT_EQ(page.back().entryId, all[269].entryId);
  EXPECT_EQ(AllItems(*box_.nameSpace, *folder, 590, 0).size(), 10u);
  EXPECT_TRUE(AllItems(*box_.nameSpace, *folder, 600, 5).empty());
  // The folder's size comes with any page, the last and one past the end too.
  for (std::uint32_t skip : {0u, 590u, 600u, 700u}) {
    std::uint32_t total = 0;
    ASSERT_TRUE(ListItems(
                    *box_.nameSpace, *folder, skip, 5, [](const ItemRow&) { return true; }, &total)
                    .ok());
    EXPECT_EQ(total, 600u) << skip;
  }
}

TEST_F(MemoryListingTest, AFolderThatIsGoneIsNotFound) {
  auto spam = Open(box_.layout.inbox)->CreateFolder(mapi::FOLDER_GENERIC, "Spam", "", 0);
  auto spamId = mapi::HrGetOneProp(**spam, mapi::PR_ENTRYID)->AsEntryId();
  auto folder = box_.nameSpace->GetFolderFromID(spamId.ToHex(), "");
  ASSERT_TRUE(folder.ok());
  ASSERT_EQ(Open(box_.layout.inbox)->DeleteFolder(spamId, 0), mapi::S_OK);
  Outcome listed = ListItems(*box_.nameSpace, **folder, 0, 0, [](const ItemRow&) { return true; });
  EXPECT_EQ(listed.code, OutcomeCode::kNotFound);
}

// Whatever name a listing prints, the locator finds that message by it.
TEST_F(MemoryListingTest, EveryNameTheListingPrintsFindsItsMessage) {
  auto spam = Open(box_.layout.inbox)->CreateFolder(mapi::FOLDER_GENERIC, "Spam", "", 0);
  mapi::HrSetOneProp(**spam, PropValue::ULong(mapi::PR_UID_VALIDITY, 42));
  MessageBuilder().Prop(PropValue::ULong(mapi::PR_INTERNET_ARTICLE_NUMBER, 7)).DeliverTo(**spam);
  MessageBuilder().Subject("plain").DeliverTo(*Open(box_.layout.inbox));
  MessageLocator locator(box_.nameSpace, "/");
  std::vector<std::string> names;
  for (const char* path : {"Inbox", "Inbox/Spam"}) {
    std::shared_ptr<MAPIFolder> folder;
    ASSERT_TRUE(locator.FindFolder(path, &folder).ok());
    for (const ItemRow& row : AllItems(*box_.nameSpace, *folder)) {
      names.push_back(row.name);
      LocatedMessage found;
      ASSERT_TRUE(locator.FindMessage(row.name, &found).ok()) << row.name;
      EXPECT_EQ(found.item->EntryID(), row.entryId);
    }
  }
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1], "Inbox/Spam/42.7");
}

// The Maildir `maildir` as the profile's only store, its Inbox found by the locator.
class MaildirListingTest : public ::testing::Test {
 protected:
  void Open() {
    auto store = mapi::OpenMaildirStore(maildir.root(), mapi::testing::UnwatchedOptions());
    ASSERT_TRUE(store.ok());
    ns = StoreNameSpace::Create(std::make_shared<OneStoreSession>(*store), "Home", {});
    locator = std::make_unique<MessageLocator>(ns, "/");
    ASSERT_TRUE(locator->FindFolder("", &inbox).ok());
  }
  mapi::testing::TempMaildir maildir;
  std::shared_ptr<NameSpace> ns;
  std::unique_ptr<MessageLocator> locator;
  std::shared_ptr<MAPIFolder> inbox;
};

TEST_F(MaildirListingTest, MessagesAreNamedByTheirFilesAndFoundByThem) {
  maildir.AddFolder("Spam");
  maildir.Deliver("", "new", "1700000001.M1P1.host", maildir.Message("one"));
  maildir.Deliver("", "cur", "1700000002.M2P2.host:2,S", maildir.Message("two"));
  ASSERT_NO_FATAL_FAILURE(Open());
  std::vector<std::string> lines;
  for (const ItemRow& row : AllItems(*ns, *inbox)) {
    lines.push_back(row.name.substr(maildir.root().size()) + " " + row.subject + " " +
                    (row.read ? "read" : "unread"));
    EXPECT_GT(row.size, 0);
    LocatedMessage found;
    ASSERT_TRUE(locator->FindMessage(row.name, &found).ok()) << row.name;
    EXPECT_EQ(found.item->EntryID(), row.entryId);
  }
  std::sort(lines.begin(), lines.end());
  EXPECT_THAT(lines, ElementsAre("/cur/1700000002.M2P2.host:2,S two read",
                                 "/new/1700000001.M1P1.host one unread"));
  std::vector<std::string> folders;
  ListFolders(*ns, [&](const FolderRow& row) {
    folders.push_back(row.path + " " + std::to_string(row.itemCount) + " " + row.special);
    return true;
  });
  EXPECT_THAT(folders, ElementsAre("Inbox 2 inbox", "Inbox/Spam 0 "));
}

TEST_F(MaildirListingTest, SubjectsAndSendersOfAnyScriptComeOutAsUtf8) {
  // A Hebrew subject in an encoded word, a Cyrillic name in KOI8-R, and a Latin-1
  // subject the ANSI code page holds.
  const std::string hebrew = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD7\xA2\xD7\x95\xD7\x9C\xD7\x9D";
  const std::string cyrillic =
      "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xD0\x9F\xD0\xB5\xD1\x82\xD1\x80"
      "\xD0\xBE\xD0\xB2";
  maildir.Deliver("", "cur", "1700000001.M1P1.host:2,",
                  "From: =?koi8-r?B?6dfBziDwxdTSz9c=?= <ivan@example.ru>\n"
                  "Subject: =?UTF-8?B?16nXnNeV150g16LXldec150=?=\n\nbody\n");
  maildir.Deliver("", "cur", "1700000002.M2P2.host:2,",
                  "From: plain@example.org\nSubject: =?ISO-8859-1?Q?Caf=E9?=\n\nbody\n");
  ASSERT_NO_FATAL_FAILURE(Open());
  std::vector<ItemRow> rows = AllItems(*ns, *inbox);
  std::sort(rows.begin(), rows.end(),
            [](const ItemRow& a, const ItemRow& b) { return a.name < b.name; });
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].subject, hebrew);
  EXPECT_EQ(rows[0].senderName, cyrillic);
  EXPECT_EQ(rows[0].senderAddress, "ivan@example.ru");
  EXPECT_EQ(rows[1].subject, "Caf\xC3\xA9");
  EXPECT_EQ(rows[1].senderName, "plain@example.org");  // no name: the address

  // What the rules read stays in the ANSI code page.
  const std::string ansi[] = {platform::Utf8ToAnsi(hebrew), "Caf\xE9"};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    LocatedMessage found;
    ASSERT_TRUE(locator->FindMessage(rows[i].name, &found).ok());
    auto message = found.item->MAPIOBJECT();
    ASSERT_TRUE(message.ok());
    auto subject = mapi::HrGetOneProp(**message, mapi::PR_SUBJECT);
    ASSERT_TRUE(subject.ok());
    ASSERT_NE(subject->AsString8(), nullptr);
    EXPECT_EQ(*subject->AsString8(), ansi[i]);
  }
  EXPECT_EQ(ansi[0], "???? ????");
}

}  // namespace
}  // namespace quorvel::host
