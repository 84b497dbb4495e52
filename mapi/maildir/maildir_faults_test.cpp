// The Maildir store on in-memory files that fail on demand: what a full disk, a failed
// rename or reads in short pieces leave behind.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "mapi/folder.h"
#include "mapi/maildir/maildir_names.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/props_file.h"
#include "mapi/maildir/test_maildir.h"
#include "mapi/message.h"
#include "mapi/queries.h"
#include "platform/memory_file_system.h"

namespace quorvel::mapi {
namespace {

constexpr const char* kRoot = "/mail";
constexpr const char* kInboxFile = "/mail/cur/100.A.host:2,";
constexpr const char* kInboxProps = "/mail/quorvel-props/100.A.host";

std::string MessageText(const std::string& subject) {
  return "From: a@example.org\nTo: me@home.example\nSubject: " + subject +
         "\nReceived: from relay\n\nThe body of " + subject + ".\n";
}

class MaildirFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* sub : {"cur", "new", "tmp"}) {
      ASSERT_TRUE(files_.CreateFolders(std::string(kRoot) + "/" + sub).ok());
      ASSERT_TRUE(files_.CreateFolders(std::string(kRoot) + "/.Spam/" + sub).ok());
    }
    files_.PutFile(kInboxFile, MessageText("mine"));
    MaildirOptions options;
    options.watch = false;
    options.files = &files_;
    auto store = OpenMaildirStore(kRoot, options);
    ASSERT_TRUE(store.ok());
    store_ = store.value;
    key_ = testing::StoreKeyOf(*store_);
  }

  std::shared_ptr<Folder> FolderAt(const std::string& path) {
    auto opened = store_->OpenEntry(MaildirFolderId(key_, path), 0);
    return opened.ok() ? opened->As<Folder>() : nullptr;
  }
  EntryId Mine() const { return MaildirMessageId(key_, "", "100.A.host"); }

  // The subject of the message, or "" when it does not open.
  std::string SubjectOf(const EntryId& id) {
    auto opened = store_->OpenEntry(id, MAPI_BEST_ACCESS);
    if (!opened.ok()) return "";
    auto subject = HrGetOneProp(*opened->As<Message>(), PR_SUBJECT);
    return subject.ok() && subject->AsString8() ? *subject->AsString8() : "";
  }

  // Every file but the message itself and the properties kept beside it.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> out;
    for (const std::string& file : files_.Files()) {
      if (file != kInboxFile && file != kInboxProps) out.push_back(file);
    }
    return out;
  }

  platform::MemoryFileSystem files_;
  std::shared_ptr<MsgStore> store_;
  StoreKey key_ = 0;
};

// Each changing call of a copy, a flag change and a move fails in turn: the operation
// fails, the message stays where it was, with its properties, and opens, and no
// half-made file is left; once nothing fails the operation succeeds. (A delete is one
// call: see below.)
TEST_F(MaildirFaultsTest, EachFailingWriteLeavesTheMessageWhereItWas) {
  // The copy carries a property kept beside the message, so its copy can fail too.
  {
    auto opened = store_->OpenEntry(Mine(), MAPI_BEST_ACCESS);
    ASSERT_TRUE(opened.ok());
    auto message = opened->As<Message>();
    ASSERT_EQ(HrSetOneProp(*message, PropValue::Long(PR_OWN_MESSAGE_MARK, 1)), S_OK);
    ASSERT_EQ(message->SaveChanges(0), S_OK);
  }
  ASSERT_TRUE(files_.FileBytes(kInboxProps).has_value());
  struct Case {
    const char* name;
    std::function<HRESULT()> run;
  };
  const std::vector<Case> cases = {
      {"copy",
       [&] {
         return FolderAt("")->CopyMessages(std::vector<EntryId>{Mine()}, *FolderAt("Spam"), 0);
       }},
      {"read flag",
       [&] {
         auto opened = store_->OpenEntry(Mine(), MAPI_BEST_ACCESS);
         return opened.ok() ? opened->As<Message>()->SetReadFlag(0) : opened.hr;
       }},
      // Last: once it succeeds the message is elsewhere.
      {"move",
       [&] {
         return FolderAt("")->CopyMessages(std::vector<EntryId>{Mine()}, *FolderAt("Spam"),
                                           MESSAGE_MOVE);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> before = Leftovers();
    HRESULT hr = E_FAIL;
    int n = 0;
    for (; n < 20; ++n) {
      files_.FailCall(n, ENOSPC);
      hr = c.run();
      if (files_.ChangingCalls() <= n) break;  // nothing failed: done
      EXPECT_TRUE(Failed(hr)) << "write " << n << " failed, yet " << std::hex << hr;
      EXPECT_EQ(files_.FileBytes(kInboxFile), MessageText("mine")) << "write " << n;
      EXPECT_EQ(Leftovers(), before) << "write " << n;
      EXPECT_TRUE(files_.FileBytes(kInboxProps).has_value()) << "write " << n;
    }
    files_.FailCall(-1, 0);
    EXPECT_EQ(hr, S_OK);
    EXPECT_GT(n, 0) << "the operation wrote nothing";
    // Unread again, under the name the next case expects.
    files_.Rename(std::string(kInboxFile) + "S", kInboxFile);
  }
}

TEST_F(MaildirFaultsTest, AFailedMoveOrDeleteKeepsTheMessage) {
  files_.SetFault([](platform::MemoryFileSystem::Call call, const std::string&) {
    return call == platform::MemoryFileSystem::Call::kRename ||
                   call == platform::MemoryFileSystem::Call::kRemove
               ? EIO
               : 0;
  });
  auto inbox = FolderAt("");
  EXPECT_EQ(inbox->CopyMessages(std::vector<EntryId>{Mine()}, *FolderAt("Spam"), MESSAGE_MOVE),
            MAPI_E_DISK_ERROR);
  EXPECT_EQ(inbox->DeleteMessages(std::vector<EntryId>{Mine()}, 0), MAPI_E_DISK_ERROR);
  EXPECT_EQ(SubjectOf(Mine()), "mine");
  files_.SetFault(nullptr);
  EXPECT_EQ(inbox->CopyMessages(std::vector<EntryId>{Mine()}, *FolderAt("Spam"), MESSAGE_MOVE),
            S_OK);
  EXPECT_FALSE(files_.FileBytes(kInboxFile).has_value());
  auto table = FolderAt("Spam")->GetContentsTable(0);
  ASSERT_TRUE(table.ok());
  auto rows = HrQueryAllRows(**table, std::vector<PropTag>{PR_SUBJECT}, std::nullopt);
  ASSERT_TRUE(rows.ok());
  ASSERT_EQ(rows->size(), 1u);
  EXPECT_EQ(GetString8((*rows)[0], PR_SUBJECT), "mine");
}

// A new folder is built aside and renamed into place: a failure at any step leaves no
// folder, whole or half, and nothing in tmp/.
TEST_F(MaildirFaultsTest, AFolderIsMadeWholeOrNotAtAll) {
  auto inbox = FolderAt("");
  int n = 0;
  for (; n < 20; ++n) {
    files_.FailCall(n, ENOSPC);
    auto made = inbox->CreateFolder(FOLDER_GENERIC, "Archive", "", 0);
    if (files_.ChangingCalls() <= n) {
      EXPECT_TRUE(made.ok());
      break;
    }
    if (made.ok()) {
      // Only the subscription, written once the folder stands, failed: the folder is
      // whole and usable, just not subscribed.
      EXPECT_TRUE(files_.FileBytes(std::string(kRoot) + "/.Archive/maildirfolder")) << n;
      EXPECT_FALSE(files_.FileBytes(std::string(kRoot) + "/subscriptions")) << n;
      ASSERT_EQ(inbox->DeleteFolder(MaildirFolderId(key_, "Archive"), 0), S_OK);
      continue;
    }
    EXPECT_FALSE(made.ok()) << "write " << n;
    platform::FileInfo info;
    ASSERT_TRUE(files_.Stat(std::string(kRoot) + "/.Archive", &info).ok());
    EXPECT_EQ(info.kind, platform::FileKind::kMissing) << "write " << n;
    std::vector<platform::FolderEntry> staged;
    ASSERT_TRUE(files_.ListFolder(std::string(kRoot) + "/tmp", &staged).ok());
    EXPECT_TRUE(staged.empty()) << "write " << n << ": " << staged.front().name;
  }
  files_.FailCall(-1, 0);
  EXPECT_GT(n, 0);
  EXPECT_TRUE(files_.FileBytes(std::string(kRoot) + "/.Archive/maildirfolder").has_value());
}

// A disk or a pipe may hand out a file in pieces: the message is read whole all the
// same, in tables and opened.
TEST_F(MaildirFaultsTest, ShortReadsStillGiveTheWholeMessage) {
  files_.SetReadPiece(3);
  EXPECT_EQ(SubjectOf(Mine()), "mine");
  auto opened = store_->OpenEntry(Mine(), MAPI_BEST_ACCESS);
  ASSERT_TRUE(opened.ok());
  auto body = HrGetOneProp(*opened->As<Message>(), PR_BODY);
  ASSERT_TRUE(body.ok() && body->AsString8());
  EXPECT_EQ(*body->AsString8(), "The body of mine.\r\n");
  auto table = FolderAt("")->GetContentsTable(0);
  ASSERT_TRUE(table.ok());
  auto rows = HrQueryAllRows(**table, std::vector<PropTag>{PR_SUBJECT}, std::nullopt);
  ASSERT_TRUE(rows.ok());
  ASSERT_EQ(rows->size(), 1u);
  EXPECT_EQ(GetString8((*rows)[0], PR_SUBJECT), "mine");
}

}  // namespace
}  // namespace quorvel::mapi
