// The IMAP store against a real Dovecot on loopback (skipped, saying why, where Dovecot
// cannot start).
#include "mapi/imap/imap_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>

#include "mapi/folder.h"
#include "mapi/imap/imap_contents.h"
#include "mapi/imap/imap_names.h"
#include "mapi/imap/test_dovecot.h"
#include "mapi/message.h"
#include "mapi/mime/input_bounds.h"
#include "mapi/queries.h"
#include "platform/code_page.h"
#include "testing/recording_sink.h"

namespace quorvel::mapi {
namespace {

using imap::testing::Direct;
using imap::testing::Mail;
using imap::testing::Messages;
using imap::testing::WaitFor;
using quorvel::testing::DovecotServer;

class ImapStoreTest : public ::testing::Test {
 protected:
  void Use(DovecotServer* server) {
    server_ = server;
    user_ = server->AddUser();
    direct_ = Direct(*server_, user_);
    ASSERT_TRUE(direct_);
  }
  void TearDown() override {
    if (HasFailure() && server_ != nullptr) std::cerr << "Dovecot's log:\n" << server_->Log();
  }

  ImapStoreOptions Options() {
    ImapStoreOptions options;
    options.account = imap::testing::AccountFor(*server_, user_);
    options.password.command = "echo " + server_->password();
    options.accountAddress = "me@home.example";
    options.watch = false;
    return options;
  }

  std::shared_ptr<MsgStore> Open(ImapStoreOptions options) {
    std::string error;
    auto store = OpenImapStore(options, &error);
    EXPECT_TRUE(store.ok()) << error;
    return store.value;
  }
  std::shared_ptr<MsgStore> Open() { return Open(Options()); }

  void Deliver(const std::string& mailbox, const std::string& subject,
               std::vector<std::string> flags = {}) {
    imap::ImapError error;
    ASSERT_TRUE(direct_->Append(mailbox, Mail(subject), flags, &error)) << error.text;
  }

  std::shared_ptr<Folder> FolderOf(MsgStore& store, const std::string& mailbox) {
    auto key =
        imap::DecodeId(
            GetEntryId(*store.GetProps(std::vector<PropTag>{PR_ENTRYID}), PR_ENTRYID).bytes())
            ->key;
    auto opened = store.OpenEntry(imap::FolderIdOf(key, mailbox), 0);
    EXPECT_TRUE(opened.ok()) << mailbox;
    return opened.ok() ? opened->As<Folder>() : nullptr;
  }

  RowSet Rows(Folder& folder, std::vector<PropTag> columns, bool hierarchy = false) {
    auto table = hierarchy ? folder.GetHierarchyTable(0) : folder.GetContentsTable(0);
    EXPECT_TRUE(table.ok());
    if (!table.ok()) return {};
    auto rows = HrQueryAllRows(**table, columns, std::nullopt);
    EXPECT_TRUE(rows.ok());
    return rows.value;
  }

  // Subject -> entry id of the folder's messages.
  std::map<std::string, EntryId> Ids(Folder& folder) {
    std::map<std::string, EntryId> out;
    for (const auto& row : Rows(folder, {PR_SUBJECT, PR_ENTRYID})) {
      out[*row[0].AsString8()] = row[1].AsEntryId();
    }
    return out;
  }

  static std::string SubjectOf(const imap::MessageSummary& m) {
    auto at = m.content.find("Subject: ");
    return m.content.substr(at + 9, m.content.find('\r', at) - at - 9);
  }
  std::vector<std::string> Subjects(const std::string& mailbox) {
    std::vector<std::string> out;
    for (const auto& m : Messages(*direct_, mailbox)) out.push_back(SubjectOf(m));
    return out;
  }

  DovecotServer* server_ = nullptr;
  std::string user_;
  std::unique_ptr<imap::ImapConnection> direct_;
};

// The names users give IMAP messages (folder, UIDVALIDITY and UID) are read from the
// rows and the folder, so they must be the server's own.
TEST_F(ImapStoreTest, RowsCarryTheServersUidsAndTheFolderItsUidValidity) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  Deliver("INBOX", "first");
  Deliver("INBOX", "second");
  auto store = Open();
  ASSERT_TRUE(store);
  auto inbox = FolderOf(*store, "INBOX");
  std::map<std::string, std::uint32_t> uids;
  for (const auto& row : Rows(*inbox, {PR_SUBJECT, PR_INTERNET_ARTICLE_NUMBER})) {
    ASSERT_NE(row[1].AsLong(), nullptr);
    uids[*row[0].AsString8()] = static_cast<std::uint32_t>(*row[1].AsLong());
  }
  std::map<std::string, std::uint32_t> expected;
  for (const auto& m : Messages(*direct_, "INBOX")) expected[SubjectOf(m)] = m.uid;
  EXPECT_EQ(uids, expected);
  imap::ImapError error;
  ASSERT_TRUE(direct_->Select("INBOX", true, &error, true)) << error.text;
  auto validity = HrGetOneProp(*inbox, PR_UID_VALIDITY);
  ASSERT_TRUE(validity.ok());
  EXPECT_EQ(static_cast<std::uint32_t>(*validity->AsLong()), direct_->selected()->uidValidity);
}

// The rows give the subject and the sender's name as decoded, whatever their script,
// beside the ANSI texts the rules read.
TEST_F(ImapStoreTest, RowsCarryTheUnicodeSubjectAndSenderName) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  Deliver("INBOX", "=?UTF-8?B?16nXnNeV150=?=");  // Hebrew
  auto store = Open();
  ASSERT_TRUE(store);
  auto inbox = FolderOf(*store, "INBOX");
  auto rows = Rows(*inbox, {PR_UNICODE_SUBJECT, PR_UNICODE_SENDER_NAME, PR_SUBJECT});
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_NE(rows[0][0].AsUnicode(), nullptr);
  EXPECT_EQ(platform::WideToUtf8(*rows[0][0].AsUnicode()), "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D");
  ASSERT_NE(rows[0][1].AsUnicode(), nullptr);
  EXPECT_EQ(platform::WideToUtf8(*rows[0][1].AsUnicode()), "Sender");
  ASSERT_NE(rows[0][2].AsString8(), nullptr);
  EXPECT_EQ(*rows[0][2].AsString8(), "????");
}

// A contents table restricted to Message-IDs before it is read shows exactly the
// messages that carry them (found by a search); any other restriction, or none, is
// applied to the whole mailbox.
TEST_F(ImapStoreTest, ContentsRestrictedToMessageIdsShowOnlyThoseMessages) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  for (const char* subject : {"alpha", "beta", "gamma"}) Deliver("INBOX", subject);
  auto store = Open();
  ASSERT_TRUE(store);
  auto inbox = FolderOf(*store, "INBOX");
  auto byIds = [](std::vector<std::string> ids) {
    std::vector<Restriction> any;
    for (const std::string& id : ids) {
      any.push_back(
          Restriction::Property(RELOP_EQ, PropValue::String8(PR_INTERNET_MESSAGE_ID, id)));
    }
    return any.size() == 1 ? any[0] : Restriction::Or(std::move(any));
  };
  struct Case {
    const char* what;
    Restriction restriction;
    std::vector<std::string> subjects;
  };
  const std::vector<Case> cases = {
      {"one id", byIds({"<beta@test.example>"}), {"beta"}},
      {"two ids", byIds({"<gamma@test.example>", "<alpha@test.example>"}), {"alpha", "gamma"}},
      {"an id nobody has", byIds({"<delta@test.example>"}), {}},
      {"a part of an id", byIds({"alpha@test.example"}), {}},
      {"a subject",
       Restriction::Property(RELOP_EQ, PropValue::String8(PR_SUBJECT, "gamma")),
       {"gamma"}},
  };
  for (const Case& c : cases) {
    auto table = inbox->GetContentsTable(0);
    ASSERT_TRUE(table.ok()) << c.what;
    auto rows = HrQueryAllRows(**table, std::vector<PropTag>{PR_SUBJECT}, c.restriction);
    ASSERT_TRUE(rows.ok()) << c.what;
    std::vector<std::string> subjects;
    for (const Row& row : *rows) subjects.push_back(*row[0].AsString8());
    std::sort(subjects.begin(), subjects.end());
    EXPECT_EQ(subjects, c.subjects) << c.what;
  }
  EXPECT_EQ(Rows(*inbox, {PR_SUBJECT}).size(), 3u);
  EXPECT_TRUE(imap::MessageIdsSought(byIds({"<a@x>", "<b@x>"})).has_value());
  EXPECT_FALSE(
      imap::MessageIdsSought(Restriction::And({byIds({"<a@x>"}), Restriction::Exist(PR_SUBJECT)}))
          .has_value());
}

// A mailbox named in any script (modified UTF-7 on the wire) reads by its name in
// PR_UNICODE_DISPLAY_NAME, beside the ANSI one the code page cannot spell.
TEST_F(ImapStoreTest, MailboxNamesOfAnyScriptReadAsUnicode) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  imap::ImapError error;
  ASSERT_TRUE(direct_->Create("&BB8EPgQ2BDAEOwRDBDkEQQRCBDA-", &error)) << error.text;
  ASSERT_TRUE(direct_->Create("&BdMF1QXQBeg-", &error)) << error.text;
  auto store = Open();
  ASSERT_TRUE(store);
  auto inbox = FolderOf(*store, "INBOX");
  std::map<std::string, std::string> names;  // Unicode name -> ANSI name
  for (const auto& row : Rows(*inbox, {PR_UNICODE_DISPLAY_NAME, PR_DISPLAY_NAME}, true)) {
    ASSERT_NE(row[0].AsUnicode(), nullptr);
    names[platform::WideToUtf8(*row[0].AsUnicode())] = *row[1].AsString8();
  }
  EXPECT_EQ(names["\u041f\u043e\u0436\u0430\u043b\u0443\u0439\u0441\u0442\u0430"], "??????????");
  EXPECT_EQ(names["\u05d3\u05d5\u05d0\u05e8"], "????");
  // The folder opened by its mailbox gives the same name.
  auto cyrillic = FolderOf(*store, "&BB8EPgQ2BDAEOwRDBDkEQQRCBDA-");
  ASSERT_TRUE(cyrillic);
  auto name = HrGetOneProp(*cyrillic, PR_UNICODE_DISPLAY_NAME);
  ASSERT_TRUE(name.ok());
  EXPECT_EQ(platform::WideToUtf8(*name->AsUnicode()),
            "\u041f\u043e\u0436\u0430\u043b\u0443\u0439\u0441\u0442\u0430");
}

TEST_F(ImapStoreTest, FoldersFromListWithDelimiterAndSpecialUse) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  imap::ImapError error;
  ASSERT_TRUE(direct_->Create("Archive", &error)) << error.text;
  ASSERT_TRUE(direct_->Create("Archive/2024", &error)) << error.text;
  ASSERT_TRUE(direct_->Create("Entw&APw-rfe", &error)) << error.text;
  auto store = Open();
  ASSERT_TRUE(store);

  auto inbox = FolderOf(*store, "INBOX");
  ASSERT_TRUE(inbox);
  EXPECT_EQ(*HrGetOneProp(*inbox, PR_DISPLAY_NAME)->AsString8(), "Inbox");
  std::vector<std::string> names;
  for (const auto& row : Rows(*inbox, {PR_DISPLAY_NAME, PR_SUBFOLDERS}, true)) {
    names.push_back(*row[0].AsString8() + (*row[1].AsBoolean() ? "+" : ""));
  }
  // Top-level mailboxes are the Inbox's subfolders; "Entwürfe" in the ANSI code page.
  EXPECT_EQ(names, (std::vector<std::string>{"Archive+",
                                             "Entw\xFC"
                                             "rfe",
                                             "Junk", "Sent", "Trash"}));
  auto archive = FolderOf(*store, "Archive");
  auto children = Rows(*archive, {PR_DISPLAY_NAME, PR_PARENT_ENTRYID}, true);
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(*children[0][0].AsString8(), "2024");
  EXPECT_EQ(children[0][1].AsEntryId(), HrGetOneProp(*archive, PR_ENTRYID)->AsEntryId());

  // \Sent and \Trash are the store's special folders.
  auto sent = HrGetOneProp(*store, PR_IPM_SENTMAIL_ENTRYID);
  ASSERT_TRUE(sent.ok());
  EXPECT_EQ(sent->AsEntryId(), HrGetOneProp(*FolderOf(*store, "Sent"), PR_ENTRYID)->AsEntryId());
  EXPECT_TRUE(HrGetOneProp(*store, PR_IPM_WASTEBASKET_ENTRYID).ok());
  // The Inbox names the \Junk mailbox as its junk folder (the spam folder where the
  // settings name none); there is no \Drafts mailbox here.
  auto junk = HrGetOneProp(*inbox, PR_JUNK_FOLDER_ENTRYID);
  ASSERT_TRUE(junk.ok());
  EXPECT_EQ(junk->AsEntryId(), HrGetOneProp(*FolderOf(*store, "Junk"), PR_ENTRYID)->AsEntryId());
  EXPECT_FALSE(HrGetOneProp(*inbox, PR_IPM_DRAFTS_ENTRYID).ok());
  EXPECT_FALSE(HrGetOneProp(*archive, PR_JUNK_FOLDER_ENTRYID).ok());

  // The Inbox's "Spam" folder is the server's \Junk mailbox; other names are created
  // with the delimiter, and a name holding the delimiter is refused.
  auto spam = inbox->CreateFolder(FOLDER_GENERIC, "Spam", "", OPEN_IF_EXISTS);
  ASSERT_TRUE(spam.ok());
  EXPECT_EQ(*HrGetOneProp(**spam, PR_DISPLAY_NAME)->AsString8(), "Junk");
  ASSERT_TRUE(archive->CreateFolder(FOLDER_GENERIC, "2025", "", 0).ok());
  std::vector<imap::MailboxInfo> listed;
  ASSERT_TRUE(direct_->List(&listed, &error));
  EXPECT_TRUE(std::any_of(listed.begin(), listed.end(),
                          [](const auto& m) { return m.name == "Archive/2025"; }));
  // A mailbox the store makes is subscribed (Dovecot keeps the list beside the mail).
  std::ifstream subscriptions(server_->Maildir(user_) + "/subscriptions");
  const std::string subscribed((std::istreambuf_iterator<char>(subscriptions)),
                               std::istreambuf_iterator<char>());
  EXPECT_NE(subscribed.find("2025"), std::string::npos) << subscribed;
  EXPECT_EQ(archive->CreateFolder(FOLDER_GENERIC, "2025", "", 0).hr, MAPI_E_COLLISION);
  EXPECT_EQ(archive->CreateFolder(FOLDER_GENERIC, "a/b", "", 0).hr, MAPI_E_INVALID_PARAMETER);
}

TEST_F(ImapStoreTest, ReadingNeverMarksSeenAndReadFlagIsSeen) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  Deliver("INBOX", "unread one");
  Deliver("INBOX", "read one", {"\\Seen"});
  Deliver("INBOX", "draft one", {"\\Draft"});
  auto store = Open();
  auto inbox = FolderOf(*store, "INBOX");
  std::map<std::string, std::int32_t> flags;
  for (const auto& row : Rows(*inbox, {PR_SUBJECT, PR_MESSAGE_FLAGS})) {
    flags[*row[0].AsString8()] = *row[1].AsLong() & (MSGFLAG_READ | MSGFLAG_UNSENT);
  }
  EXPECT_EQ(flags,
            (std::map<std::string, std::int32_t>{
                {"draft one", MSGFLAG_UNSENT}, {"read one", MSGFLAG_READ}, {"unread one", 0}}));

  EntryId id = Ids(*inbox)["unread one"];
  auto opened = store->OpenEntry(id, MAPI_BEST_ACCESS);
  ASSERT_TRUE(opened.ok());
  auto message = opened->As<Message>();
  auto body = HrGetOneProp(*message, PR_BODY);
  ASSERT_TRUE(body.ok());
  EXPECT_EQ(*body->AsString8(), "Body of unread one\r\n");
  EXPECT_EQ(*HrGetOneProp(*message, PR_RECEIVED_BY_EMAIL_ADDRESS)->AsString8(), "me@home.example");
  auto seen = [&] {
    for (const auto& m : Messages(*direct_, "INBOX")) {
      if (m.content.find("unread one") != std::string::npos) return m.HasFlag("\\Seen");
    }
    return false;
  };
  EXPECT_FALSE(seen());  // read with BODY.PEEK

  ASSERT_EQ(message->SetReadFlag(0), S_OK);
  EXPECT_TRUE(seen());
  ASSERT_EQ(message->SetReadFlag(CLEAR_READ_FLAG), S_OK);
  EXPECT_FALSE(seen());
}

TEST_F(ImapStoreTest, MoveKeepsMarksAndIdsSurviveRestart) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  Deliver("INBOX", "first");
  Deliver("INBOX", "second");
  auto store = Open();
  auto inbox = FolderOf(*store, "INBOX");
  auto ids = Ids(*inbox);
  // Entry ids are the same after a restart.
  EXPECT_EQ(Ids(*FolderOf(*Open(), "INBOX")), ids);

  auto message = store->OpenEntry(ids["first"], MAPI_BEST_ACCESS)->As<Message>();
  ASSERT_EQ(HrSetOneProp(*message, PropValue::Long(PR_OWN_MESSAGE_MARK, kOwnMessageMarkValue)),
            S_OK);
  ASSERT_EQ(message->SaveChanges(0), S_OK);

  auto sink = std::make_shared<RecordingSink>();
  ASSERT_TRUE(store->Advise(EntryId(), fnevObjectMoved, sink).ok());
  auto junk = FolderOf(*store, "Junk");
  EntryId first = ids["first"];
  ASSERT_EQ(inbox->CopyMessages(std::span<const EntryId>(&first, 1), *junk, MESSAGE_MOVE), S_OK);
  EXPECT_EQ(Subjects("INBOX"), std::vector<std::string>{"second"});
  EXPECT_EQ(Subjects("Junk"), std::vector<std::string>{"first"});
  EXPECT_EQ(store->OpenEntry(first, 0).hr, MAPI_E_NOT_FOUND);
  // A second move of the same id finds nothing and moves nothing.
  EXPECT_EQ(inbox->CopyMessages(std::span<const EntryId>(&first, 1), *junk, MESSAGE_MOVE),
            MAPI_W_PARTIAL_COMPLETION);

  ASSERT_TRUE(WaitFor([&] { return !sink->All().empty(); }));
  Notification n = sink->All()[0];
  EXPECT_EQ(n.eventType, fnevObjectMoved);
  EXPECT_EQ(n.oldId, first);
  EXPECT_EQ(n.parentId, HrGetOneProp(*junk, PR_ENTRYID)->AsEntryId());
  // The mark moved with the message, and the new id opens it.
  auto moved = store->OpenEntry(n.entryId, 0);
  ASSERT_TRUE(moved.ok());
  auto mark = HrGetOneProp(*moved->As<Message>(), PR_OWN_MESSAGE_MARK);
  ASSERT_TRUE(mark.ok());
  EXPECT_EQ(*mark->AsLong(), kOwnMessageMarkValue);
  auto rows = Rows(*FolderOf(*Open(), "Junk"), {PR_OWN_MESSAGE_MARK});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(*rows[0][0].AsLong(), kOwnMessageMarkValue);
}

TEST_F(ImapStoreTest, MoveWithoutMoveCommandCopiesThenExpunges) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, imap::testing::kNoMoveNoIdle);
  Use(server);
  Deliver("INBOX", "keep me");
  Deliver("INBOX", "spam me");
  Deliver("INBOX", "also flagged", {"\\Deleted"});  // another client's business
  auto store = Open();
  auto inbox = FolderOf(*store, "INBOX");
  EntryId id = Ids(*inbox)["spam me"];
  ASSERT_EQ(inbox->CopyMessages(std::span<const EntryId>(&id, 1), *FolderOf(*store, "Junk"),
                                MESSAGE_MOVE),
            S_OK);
  EXPECT_EQ(Subjects("INBOX"), std::vector<std::string>{"keep me"});
  EXPECT_EQ(Subjects("Junk"), std::vector<std::string>{"spam me"});
  // Only the moved message was expunged: the other \Deleted one is still there.
  imap::ImapError error;
  ASSERT_TRUE(direct_->Select("INBOX", true, &error, true));
  EXPECT_EQ(direct_->selected()->exists, 2u);
}

// A server killed in the middle of a move (COPY done, or a MOVE it makes as a copy and
// an expunge) leaves the copy in the spam mailbox and the original in the Inbox. The
// next start judges the original again; its move finishes the first one instead of
// making a second copy. A different message under the same Message-ID is not taken
// for the copy.
TEST_F(ImapStoreTest, AMoveLeftHalfDoneIsFinishedNotDoubled) {
  struct Case {
    const char* capabilities;
    bool sameMessage;  // the destination holds the original's copy, or only a namesake
  } cases[] = {
      {"", true},
      {imap::testing::kNoMoveNoIdle, true},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.capabilities) + (c.sameMessage ? " copy" : " namesake"));
    DovecotServer* server;
    QUORVEL_NEED_DOVECOT(server, c.capabilities);
    Use(server);
    Deliver("INBOX", "keep me");
    Deliver("INBOX", "half moved");
    imap::ImapError error;
    if (c.sameMessage) {
      ASSERT_TRUE(direct_->Select("INBOX", false, &error, true)) << error.text;
      std::optional<std::uint32_t> copied;
      ASSERT_TRUE(direct_->Copy(2, "Junk", &copied, &error)) << error.text;
    } else {
      // Same Message-ID and subject, another body.
      std::string other = Mail("half moved");
      other += "and a line more\r\n";
      ASSERT_TRUE(direct_->Append("Junk", other, {}, &error)) << error.text;
    }
    std::vector<std::string> logged;
    ImapStoreOptions options = Options();
    options.log = [&](const std::string& line) { logged.push_back(line); };
    auto store = Open(options);
    auto inbox = FolderOf(*store, "INBOX");
    EntryId id = Ids(*inbox)["half moved"];
    ASSERT_EQ(inbox->CopyMessages(std::span<const EntryId>(&id, 1), *FolderOf(*store, "Junk"),
                                  MESSAGE_MOVE),
              S_OK);
    EXPECT_EQ(Subjects("INBOX"), std::vector<std::string>{"keep me"});
    EXPECT_EQ(Subjects("Junk"), (std::vector<std::string>(c.sameMessage ? 1 : 2, "half moved")));
    EXPECT_EQ(logged.size(), c.sameMessage ? 1u : 0u);
  }
}

TEST_F(ImapStoreTest, IdleReportsNewMail) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  Deliver("INBOX", "old");
  ImapStoreOptions options = Options();
  options.watch = true;
  auto store = Open(options);
  auto sink = std::make_shared<RecordingSink>();
  ASSERT_TRUE(store->Advise(EntryId(), fnevNewMail | fnevObjectCreated, sink).ok());
  // The store's own connection has the Inbox open from before the new mail came.
  ASSERT_TRUE(store->OpenEntry(Ids(*FolderOf(*store, "INBOX"))["old"], 0).ok());
  // Mail already there when the store opened is not new mail; what comes after is.
  Deliver("INBOX", "fresh");
  ASSERT_TRUE(WaitFor([&] { return sink->All().size() >= 2; }));
  std::vector<Notification> all = sink->All();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].eventType, fnevNewMail);
  EXPECT_EQ(all[0].messageClass, "IPM.Note");
  EXPECT_EQ(all[1].eventType, fnevObjectCreated);
  EXPECT_EQ(all[1].entryId, all[0].entryId);
  auto opened = store->OpenEntry(all[0].entryId, 0);
  ASSERT_TRUE(opened.ok());
  EXPECT_EQ(*HrGetOneProp(*opened->As<Message>(), PR_SUBJECT)->AsString8(), "fresh");
  EXPECT_EQ(FolderOf(*store, "INBOX")
                ->CopyMessages(std::span<const EntryId>(&all[0].entryId, 1),
                               *FolderOf(*store, "Junk"), MESSAGE_MOVE),
            S_OK);
  EXPECT_EQ(Subjects("Junk"), std::vector<std::string>{"fresh"});
}

TEST_F(ImapStoreTest, PollsWhereIdleIsMissing) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, imap::testing::kNoMoveNoIdle);
  Use(server);
  ImapStoreOptions options = Options();
  options.watch = true;
  options.pollSeconds = 1;
  auto store = Open(options);
  auto sink = std::make_shared<RecordingSink>();
  ASSERT_TRUE(store->Advise(EntryId(), fnevNewMail, sink).ok());
  Deliver("INBOX", "polled");
  ASSERT_TRUE(WaitFor([&] { return !sink->All().empty(); }));
  EXPECT_EQ(sink->All().size(), 1u);
}

TEST_F(ImapStoreTest, ChangedUidValidityMakesOldIdsNotFound) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  imap::ImapError error;
  ASSERT_TRUE(direct_->Create("Archive", &error));
  Deliver("Archive", "before");
  auto store = Open();
  EntryId old = Ids(*FolderOf(*store, "Archive"))["before"];
  ASSERT_TRUE(store->OpenEntry(old, 0).ok());
  Rows(*FolderOf(*store, "Junk"), {PR_ENTRYID});  // the store leaves Archive
  // The mailbox is made again: new UIDVALIDITY, and UID 1 is now another message.
  ASSERT_TRUE(direct_->Delete("Archive", &error));
  ASSERT_TRUE(direct_->Create("Archive", &error));
  Deliver("Archive", "after");
  EXPECT_EQ(store->OpenEntry(old, 0).hr, MAPI_E_NOT_FOUND);
  auto archive = FolderOf(*store, "Archive");
  EXPECT_EQ(archive->CopyMessages(std::span<const EntryId>(&old, 1), *FolderOf(*store, "Junk"),
                                  MESSAGE_MOVE),
            MAPI_W_PARTIAL_COMPLETION);
  EXPECT_EQ(Subjects("Archive"), std::vector<std::string>{"after"});
  auto ids = Ids(*archive);
  ASSERT_EQ(ids.size(), 1u);
  EXPECT_NE(ids["after"], old);
}

// The Inbox's UIDVALIDITY changes while the store watches it (the server rebuilt its
// index): every UID of the new life is new, so the unread mail in it is announced
// again, and mail that comes afterwards too; read mail is left alone. Nothing more was
// announced until a restart.
TEST_F(ImapStoreTest, AnInboxWhoseUidValidityChangesIsLookedAtAgain) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  Deliver("INBOX", "read before", {"\\Seen"});
  Deliver("INBOX", "unread before");
  ImapStoreOptions options = Options();
  options.watch = true;
  options.idleSeconds = 1;
  auto store = Open(options);
  auto sink = std::make_shared<RecordingSink>();
  ASSERT_TRUE(store->Advise(EntryId(), fnevNewMail, sink).ok());
  imap::ImapError error;
  ASSERT_TRUE(direct_->Select("INBOX", true, &error, true)) << error.text;
  const std::uint32_t before = direct_->selected()->uidValidity;
  direct_.reset();
  // A new UIDVALIDITY, as the server gives a mailbox whose index it rebuilt.
  const std::string maildir = server_->Maildir(user_);
  std::string uidlist;
  {
    std::ifstream in(maildir + "/dovecot-uidlist");
    std::getline(in, uidlist);
  }
  const std::size_t v = uidlist.find(" V");
  ASSERT_NE(v, std::string::npos) << uidlist;
  const std::size_t end = uidlist.find(' ', v + 2);
  const std::string header = uidlist.substr(0, v + 2) +
                             std::to_string(std::stoul(uidlist.substr(v + 2, end - v - 2)) + 7) +
                             uidlist.substr(end);
  {
    // Written aside and renamed into place, as Dovecot writes it.
    std::ofstream(maildir + "/dovecot-uidlist.new") << header << "\n";
  }
  std::filesystem::rename(maildir + "/dovecot-uidlist.new", maildir + "/dovecot-uidlist");
  direct_ = Direct(*server_, user_);
  ASSERT_TRUE(direct_->Select("INBOX", true, &error, true)) << error.text;
  ASSERT_NE(direct_->selected()->uidValidity, before);
  Deliver("INBOX", "after");
  ASSERT_TRUE(WaitFor([&] { return sink->All().size() >= 2; }, 20));
  std::set<std::string> announced;
  for (const Notification& n : sink->All()) {
    auto opened = store->OpenEntry(n.entryId, 0);
    auto decoded = imap::DecodeId(n.entryId.bytes());
    ASSERT_TRUE(opened.ok()) << LastImapError(*store) << " validity "
                             << (decoded ? decoded->uidValidity : 0) << " uid "
                             << (decoded ? decoded->uid : 0) << " now "
                             << direct_->selected()->uidValidity;
    announced.insert(*HrGetOneProp(*opened->As<Message>(), PR_SUBJECT)->AsString8());
  }
  EXPECT_EQ(announced, (std::set<std::string>{"unread before", "after"}));
}

// A message larger than a response may be failed the response bound at every try: it
// was never judged, and nothing said so. Its start is read now, as from a Maildir.
TEST_F(ImapStoreTest, AMessageOverTheSizeBoundIsReadOnWhatIsKept) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  const std::string line(998, 'x');
  std::string huge = "From: Big <big@example.org>\r\nSubject: huge one\r\n\r\nFirst line\r\n";
  while (huge.size() <= imap::kMaxResponseBytes + 1024) huge += line + "\r\n";
  imap::ImapError error;
  ASSERT_TRUE(direct_->Append("INBOX", huge, {}, &error)) << error.text;
  Deliver("INBOX", "small one");
  auto store = Open();
  auto inbox = FolderOf(*store, "INBOX");
  auto ids = Ids(*inbox);
  ASSERT_EQ(ids.count("huge one"), 1u);
  auto opened = store->OpenEntry(ids["huge one"], MAPI_BEST_ACCESS);
  ASSERT_TRUE(opened.ok());
  auto body = HrGetOneProp(*opened->As<Message>(), PR_BODY);
  ASSERT_TRUE(body.ok());
  EXPECT_EQ(body->AsString8()->rfind("First line\r\n", 0), 0u);
  EXPECT_LE(body->AsString8()->size(), kMaxMessageBytes);
  EXPECT_TRUE(store->OpenEntry(ids["small one"], MAPI_BEST_ACCESS).ok());
}

TEST_F(ImapStoreTest, WrongPasswordAndUntrustedCertificateAreRefused) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  struct Case {
    const char* name;
    std::function<void(ImapStoreOptions&)> change;
    HRESULT hr;
    const char* says;
  } cases[] = {
      {"wrong password", [](auto& o) { o.password.command = "echo wrong"; }, MAPI_E_LOGON_FAILED,
       "refused the login"},
      {"password command fails", [](auto& o) { o.password.command = "exit 1"; },
       MAPI_E_LOGON_FAILED, "password command"},
      {"self-signed, not trusted", [](auto& o) { o.account.caFile.clear(); }, MAPI_E_LOGON_FAILED,
       "does not verify"},
      {"nobody listening", [](auto& o) { o.account.port = 1; }, MAPI_E_NETWORK_ERROR,
       "cannot connect"},
      {"checks turned off",
       [](auto& o) {
         o.account.caFile.clear();
         o.account.verifyCertificate = false;
       },
       S_OK, ""},
      {"STARTTLS",
       [&](auto& o) {
         o.account.security = imap::ImapSecurity::kStartTls;
         o.account.port = server_->port();
       },
       S_OK, ""},
  };
  for (const Case& c : cases) {
    ImapStoreOptions options = Options();
    c.change(options);
    std::string error;
    auto store = OpenImapStore(options, &error);
    EXPECT_EQ(store.hr, c.hr) << c.name << ": " << error;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
  }
}

}  // namespace
}  // namespace quorvel::mapi
