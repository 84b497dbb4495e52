#include "host/message_locator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "host/folder_path.h"
#include "host/memory_host.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/test_maildir.h"
#include "mapi/queries.h"
#include "testing/message_builder.h"
#include "testing/one_store_session.h"
#include "testing/temporary_folder.h"
#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

using mapi::EntryId;
using mapi::PropValue;
using ::testing::HasSubstr;

// The in-memory profile: Inbox with a Spam subfolder, messages with Message-IDs and,
// in a folder made to look like an IMAP mailbox, UIDs.
class MemoryLocatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto inbox =
        box_.session->OpenEntry(box_.layout.inbox, mapi::MAPI_BEST_ACCESS)->As<mapi::Folder>();
    auto spam = inbox->CreateFolder(mapi::FOLDER_GENERIC, "Spam", "", 0);
    spamId_ = mapi::HrGetOneProp(**spam, mapi::PR_ENTRYID)->AsEntryId();
    mapi::HrSetOneProp(**spam, PropValue::ULong(mapi::PR_UID_VALIDITY, 1700000000u));
    first_ = Deliver(*inbox, "<first@example.org>", 0);
    twiceInInbox_ = Deliver(*inbox, "<twice@example.org>", 0);
    twiceInSpam_ = Deliver(**spam, "<twice@example.org>", 4711);
    highUid_ = Deliver(**spam, "<high@example.org>", 0xFFFFFFF0u);
  }
  EntryId Deliver(mapi::Folder& folder, const std::string& messageId, std::uint32_t uid) {
    MessageBuilder message;
    message.Subject("about " + messageId)
        .Prop(PropValue::String8(mapi::PR_INTERNET_MESSAGE_ID, messageId));
    if (uid != 0) message.Prop(PropValue::ULong(mapi::PR_INTERNET_ARTICLE_NUMBER, uid));
    return *message.DeliverTo(folder);
  }
  Outcome Find(const std::string& name, LocatedMessage* found) {
    return locator_.FindMessage(name, found);
  }

  ui::ScriptedUi ui_;
  MemoryHost box_{ui_};
  MessageLocator locator_{box_.nameSpace, "/nonexistent-working-folder"};
  EntryId spamId_, first_, twiceInInbox_, twiceInSpam_, highUid_;
};

TEST_F(MemoryLocatorTest, FindsMessagesByEveryFormItTakes) {
  struct Case {
    std::string name;
    EntryId* expected;
    const char* folder;
  } cases[] = {
      {"<first@example.org>", &first_, "Inbox"},
      {"first@example.org", &first_, "Inbox"},
      {"id:first@example.org", &first_, "Inbox"},
      {"id:\"first@example.org\"", &first_, "Inbox"},
      {"  <first@example.org> ", &first_, "Inbox"},
      {"Inbox/Spam/4711", &twiceInSpam_, "Inbox/Spam"},
      {"inbox/spam/1700000000.4711", &twiceInSpam_, "Inbox/Spam"},
      {"Spam/4711", &twiceInSpam_, "Inbox/Spam"},  // under the Inbox
      {"Inbox/Spam/4294967280", &highUid_, "Inbox/Spam"},
      {"Inbox/Spam/<twice@example.org>", &twiceInSpam_, "Inbox/Spam"},
      {"Inbox/twice@example.org", &twiceInInbox_, "Inbox"},
      {"Inbox/id:twice@example.org", &twiceInInbox_, "Inbox"},
      {first_.ToHex(), &first_, "Inbox"},
  };
  for (const Case& c : cases) {
    LocatedMessage found;
    Outcome outcome = Find(c.name, &found);
    ASSERT_TRUE(outcome.ok()) << c.name << ": " << outcome.message;
    EXPECT_EQ(found.item->EntryID(), c.expected->ToHex()) << c.name;
    EXPECT_EQ(FolderPathOf(*found.folder), c.folder) << c.name;
  }
}

TEST_F(MemoryLocatorTest, NamesThatFindNothingOrTooMuchSayWhy) {
  struct Case {
    std::string name;
    OutcomeCode code;
    const char* says;
  } cases[] = {
      {"", OutcomeCode::kRefused, "empty"},
      {"<nobody@example.org>", OutcomeCode::kNotFound, "<nobody@example.org>"},
      {"<>", OutcomeCode::kRefused, "empty Message-ID"},
      {"twice@example.org", OutcomeCode::kAmbiguous, "\"Inbox\", \"Inbox/Spam\""},
      {"Inbox/Spam/1699999999.4711", OutcomeCode::kRefused, "UIDVALIDITY 1700000000 now"},
      {"Inbox/Spam/4712", OutcomeCode::kNotFound, "no message with UID 4712"},
      {"Inbox/Spam/4294967296", OutcomeCode::kRefused, "is no UID"},
      {"Inbox/17", OutcomeCode::kRefused, "has no UIDs"},
      {"Nowhere/17", OutcomeCode::kNotFound, "no folder is named \"Nowhere\""},
      {"Inbox/Spam/<first@example.org>", OutcomeCode::kNotFound, "in folder \"Inbox/Spam\""},
      {"00000000000000000000000000000000", OutcomeCode::kNotFound, "entry id"},
      {"no such thing", OutcomeCode::kNotFound, "nothing is named"},
  };
  for (const Case& c : cases) {
    LocatedMessage found;
    Outcome outcome = Find(c.name, &found);
    EXPECT_EQ(outcome.code, c.code) << "'" << c.name << "': " << outcome.message;
    EXPECT_THAT(outcome.message, HasSubstr(c.says)) << c.name;
    EXPECT_EQ(found.item, nullptr) << c.name;
  }
}

TEST_F(MemoryLocatorTest, AMessageMovedSinceItWasNamedIsFoundInItsNewFolder) {
  auto inbox =
      box_.session->OpenEntry(box_.layout.inbox, mapi::MAPI_BEST_ACCESS)->As<mapi::Folder>();
  auto spam = box_.session->OpenEntry(spamId_, mapi::MAPI_BEST_ACCESS)->As<mapi::Folder>();
  EntryId ids[] = {first_};
  ASSERT_EQ(inbox->CopyMessages(ids, *spam, mapi::MESSAGE_MOVE), mapi::S_OK);
  LocatedMessage found;
  ASSERT_TRUE(Find("first@example.org", &found).ok());
  EXPECT_EQ(FolderPathOf(*found.folder), "Inbox/Spam");
}

TEST_F(MemoryLocatorTest, FoldersByPath) {
  std::shared_ptr<MAPIFolder> folder;
  ASSERT_TRUE(locator_.FindFolder("", &folder).ok());
  EXPECT_EQ(folder->EntryID(), box_.layout.inbox.ToHex());
  ASSERT_TRUE(locator_.FindFolder("INBOX/spam", &folder).ok());
  EXPECT_EQ(folder->EntryID(), spamId_.ToHex());
  ASSERT_TRUE(locator_.FindFolder("Sent Items", &folder).ok());
  EXPECT_EQ(folder->EntryID(), box_.layout.sentItems.ToHex());
  Outcome missing = locator_.FindFolder("Inbox/Ham", &folder);
  EXPECT_EQ(missing.code, OutcomeCode::kNotFound);
  EXPECT_THAT(missing.message, HasSubstr("\"Inbox\" has no subfolder \"Ham\""));
}

TEST(FolderPathTest, NamesWithSlashesAndBackslashesSurviveTheRoundTrip) {
  std::vector<std::string> names = {"Inbox", "a/b", "c\\d", ""};
  EXPECT_EQ(JoinFolderPath(names), "Inbox/a\\/b/c\\\\d/");
  EXPECT_EQ(SplitFolderPath(JoinFolderPath(names)), names);
  EXPECT_TRUE(SplitFolderPath("").empty());
}

TEST(BareMessageIdTest, TheFormsUsersCopyFromTheirTools) {
  EXPECT_EQ(BareMessageId("<a@b>"), "a@b");
  EXPECT_EQ(BareMessageId("id:a@b"), "a@b");
  EXPECT_EQ(BareMessageId("id:\"a\"\"q@b\""), "a\"q@b");
  EXPECT_EQ(BareMessageId(" a@b\r"), "a@b");
  EXPECT_EQ(BareMessageId("<>"), "");
}

// A real Maildir as the profile's store.
class MaildirLocatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maildir_.AddFolder("Spam");
    auto store = mapi::OpenMaildirStore(maildir_.root(), mapi::testing::UnwatchedOptions());
    ASSERT_TRUE(store.ok());
    nameSpace_ = StoreNameSpace::Create(std::make_shared<OneStoreSession>(*store), "Home", {});
    newMail_ = maildir_.Deliver("", "new", "1700000001.M1P1.host", Text("<new@x>"));
    readMail_ = maildir_.Deliver("Spam", "cur", "1700000002.M2P2.host:2,S", Text("<read@x>"));
  }
  static std::string Text(const std::string& messageId) {
    return "Message-ID: " + messageId + "\n" +
           mapi::testing::TempMaildir::Message("hello " + messageId);
  }
  MessageLocator Locator(const std::string& working) { return MessageLocator(nameSpace_, working); }

  mapi::testing::TempMaildir maildir_;
  std::shared_ptr<StoreNameSpace> nameSpace_;
  std::string newMail_, readMail_;
};

TEST_F(MaildirLocatorTest, AFileIsFoundAfterItsFlagsChangedOrItMovedToCur) {
  const std::string spamDir = maildir_.Dir("Spam");
  struct Case {
    std::string name;
    std::string working;
    const char* folder;
  } cases[] = {
      {newMail_, "/", "Inbox"},
      {"new/1700000001.M1P1.host", maildir_.root(), "Inbox"},
      {"./new/../new/1700000001.M1P1.host", maildir_.root(), "Inbox"},
      {readMail_, "/", "Inbox/Spam"},
      {"cur/1700000002.M2P2.host:2,S", spamDir, "Inbox/Spam"},
      {"new@x", "/", "Inbox"},
      {"Spam/read@x", "/", "Inbox/Spam"},
  };
  auto check = [&](const char* when) {
    for (const Case& c : cases) {
      LocatedMessage found;
      Outcome outcome = Locator(c.working).FindMessage(c.name, &found);
      ASSERT_TRUE(outcome.ok()) << when << " " << c.name << ": " << outcome.message;
      EXPECT_EQ(FolderPathOf(*found.folder), c.folder) << when << " " << c.name;
      auto message = found.item->MAPIOBJECT();
      ASSERT_TRUE(message.ok()) << when << " " << c.name;
    }
  };
  check("as delivered");
  // Another mail program reads the first and flags the second: new names on disk.
  ASSERT_EQ(
      std::rename(newMail_.c_str(), (maildir_.root() + "/cur/1700000001.M1P1.host:2,S").c_str()),
      0);
  ASSERT_EQ(std::rename(readMail_.c_str(), (spamDir + "/cur/1700000002.M2P2.host:2,FS").c_str()),
            0);
  check("after the renames");
}

TEST_F(MaildirLocatorTest, NamesOutsideTheProfileAreRefusedAndOthersNotFound) {
  quorvel::testing::TemporaryFolder elsewhere;
  const std::string outside = elsewhere.File("message.eml");
  std::ofstream(outside) << Text("<outside@x>");
  struct Case {
    std::string name;
    OutcomeCode code;
    const char* says;
  } cases[] = {
      {outside, OutcomeCode::kRefused, "outside the profile's mailbox"},
      {"message.eml", OutcomeCode::kRefused, "outside the profile's mailbox"},
      {"/etc/passwd", OutcomeCode::kRefused, "outside"},
      {maildir_.root() + "/new/1700000009.gone.host", OutcomeCode::kNotFound, "moved or deleted"},
      {maildir_.root() + "/tmp/x", OutcomeCode::kNotFound, "no message of the profile's Maildir"},
      {maildir_.Dir("Spam"), OutcomeCode::kRefused, "is a folder, not a message"},
      {maildir_.root() + "/.Ham/cur/1.x:2,", OutcomeCode::kNotFound, "no message"},
      {"/nonexistent/path/1.x", OutcomeCode::kNotFound, "nothing is named"},
      {"outside@x", OutcomeCode::kNotFound, "<outside@x>"},
  };
  for (const Case& c : cases) {
    LocatedMessage found;
    Outcome outcome = Locator(elsewhere.path()).FindMessage(c.name, &found);
    EXPECT_EQ(outcome.code, c.code) << c.name << ": " << outcome.message;
    EXPECT_THAT(outcome.message, HasSubstr(c.says)) << c.name;
  }
}

TEST_F(MaildirLocatorTest, FoldersByTheirDirectoryOnDisk) {
  std::shared_ptr<MAPIFolder> folder;
  ASSERT_TRUE(Locator("/").FindFolder(maildir_.root(), &folder).ok());
  EXPECT_EQ(FolderPathOf(*folder), "Inbox");
  ASSERT_TRUE(Locator(maildir_.root()).FindFolder(".Spam", &folder).ok());
  EXPECT_EQ(FolderPathOf(*folder), "Inbox/Spam");
  ASSERT_TRUE(Locator(maildir_.root()).FindFolder(".Spam/", &folder).ok());
  EXPECT_EQ(FolderPathOf(*folder), "Inbox/Spam");
  ASSERT_TRUE(Locator("/").FindFolder("Spam", &folder).ok());
  EXPECT_EQ(FolderPathOf(*folder), "Inbox/Spam");
  EXPECT_EQ(Locator("/").FindFolder("/tmp", &folder).code, OutcomeCode::kRefused);
  EXPECT_EQ(Locator("/").FindFolder(maildir_.root() + "/cur", &folder).code,
            OutcomeCode::kNotFound);
  EXPECT_EQ(Locator("/").FindFolder(newMail_, &folder).code, OutcomeCode::kRefused);
}

}  // namespace
}  // namespace quorvel::host
