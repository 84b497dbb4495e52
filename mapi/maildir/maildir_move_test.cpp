// Moves between Maildir folders as other mail programs expect them: a fresh name in
// the new folder, the flags the file has at the moment of the move, keyword letters
// that keep their meaning, the properties kept beside the message following it; and a
// message read only when its content is asked for.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "mapi/folder.h"
#include "mapi/maildir/maildir_names.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/test_maildir.h"
#include "mapi/message.h"
#include "mapi/queries.h"
#include "platform/memory_file_system.h"

namespace quorvel::mapi {
namespace {

constexpr const char* kRoot = "/mail";
// As a synchronizer leaves it: its UID marker inside the unique part.
constexpr const char* kUnique = "1700000000.17_3.laptop,U=604";

std::string Text(const std::string& subject) {
  return "From: a@example.org\nTo: me@home.example\nMessage-ID: <" + subject +
         "@example.org>\nSubject: " + subject + "\n\nThe body.\n";
}

class MaildirMoveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"", "/.Spam"}) {
      for (const char* sub : {"/cur", "/new", "/tmp"}) {
        ASSERT_TRUE(files_.CreateFolders(std::string(kRoot) + folder + sub).ok());
      }
    }
    Open();
  }
  void Open() {
    MaildirOptions options;
    options.watch = false;
    options.files = &files_;
    options.log = [this](const std::string& line) { log_.push_back(line); };
    auto store = OpenMaildirStore(kRoot, options);
    ASSERT_TRUE(store.ok());
    store_ = store.value;
    key_ = testing::StoreKeyOf(*store_);
  }

  std::shared_ptr<Folder> FolderAt(const std::string& path) {
    auto opened = store_->OpenEntry(MaildirFolderId(key_, path), 0);
    return opened.ok() ? opened->As<Folder>() : nullptr;
  }
  std::shared_ptr<Message> MessageAt(const EntryId& id) {
    auto opened = store_->OpenEntry(id, MAPI_BEST_ACCESS);
    return opened.ok() ? opened->As<Message>() : nullptr;
  }
  HRESULT MoveToSpam(const std::string& unique) {
    return FolderAt("")->CopyMessages(std::vector<EntryId>{MaildirMessageId(key_, "", unique)},
                                      *FolderAt("Spam"), MESSAGE_MOVE);
  }
  // The names of the message files of a folder's new/ and cur/.
  std::vector<std::string> FilesOf(const std::string& folderDir) {
    std::vector<std::string> out;
    for (const std::string& file : files_.Files()) {
      for (const char* sub : {"/new/", "/cur/"}) {
        std::string prefix = std::string(kRoot) + folderDir + sub;
        if (file.rfind(prefix, 0) == 0 && file.find('/', prefix.size()) == std::string::npos) {
          out.push_back(file.substr(prefix.size() - 4));
        }
      }
    }
    return out;
  }

  platform::MemoryFileSystem files_;
  std::shared_ptr<MsgStore> store_;
  StoreKey key_ = 0;
  std::vector<std::string> log_;
};

TEST_F(MaildirMoveTest, AMovedMessageGetsAFreshNameWithoutForeignMarkers) {
  files_.PutFile(std::string(kRoot) + "/cur/" + kUnique + ":2,S", Text("sync"));
  files_.PutFile(std::string(kRoot) + "/quorvel-props/" + kUnique, "QVPROPS 1\n");
  {
    auto message = MessageAt(MaildirMessageId(key_, "", kUnique));
    ASSERT_NE(message, nullptr);
    ASSERT_EQ(HrSetOneProp(*message, PropValue::Long(PR_OWN_MESSAGE_MARK, 7)), S_OK);
    ASSERT_EQ(message->SaveChanges(0), S_OK);
  }
  ASSERT_EQ(MoveToSpam(kUnique), S_OK);
  EXPECT_TRUE(FilesOf("").empty());
  std::vector<std::string> moved = FilesOf("/.Spam");
  ASSERT_EQ(moved.size(), 1u);
  auto name = ParseMessageFileName(moved[0].substr(4));
  ASSERT_TRUE(name);
  EXPECT_EQ(moved[0].substr(0, 4), "cur/");
  EXPECT_EQ(name->flags, "S");
  EXPECT_NE(name->unique, kUnique);
  EXPECT_EQ(name->unique.find(",U="), std::string::npos);
  // The properties follow the new name; none are left under the old one.
  EXPECT_FALSE(files_.FileBytes(std::string(kRoot) + "/quorvel-props/" + kUnique));
  auto message = MessageAt(MaildirMessageId(key_, "Spam", name->unique));
  ASSERT_NE(message, nullptr);
  auto mark = HrGetOneProp(*message, PR_OWN_MESSAGE_MARK);
  ASSERT_TRUE(mark.ok());
  EXPECT_EQ(GetLong(std::vector<PropValue>{*mark}, PR_OWN_MESSAGE_MARK), 7);
  EXPECT_EQ(GetString8(*message->GetProps(std::vector<PropTag>{PR_SUBJECT}), PR_SUBJECT), "sync");
}

TEST_F(MaildirMoveTest, FlagsSetByAnotherProgramAfterTheJudgementAreKept) {
  std::string at = std::string(kRoot) + "/cur/200.A.host:2,";
  files_.PutFile(at, Text("flagged"));
  auto message = MessageAt(MaildirMessageId(key_, "", "200.A.host"));
  ASSERT_NE(message, nullptr);
  ASSERT_TRUE(HrGetOneProp(*message, PR_SUBJECT).ok());  // judged
  // A mail client flags and reads it, then the move comes.
  ASSERT_TRUE(files_.Rename(at, std::string(kRoot) + "/cur/200.A.host:2,FS").ok());
  const EntryId ids[] = {MaildirMessageId(key_, "", "200.A.host")};
  ASSERT_EQ(FolderAt("")->CopyMessages(ids, *FolderAt("Spam"), MESSAGE_MOVE), S_OK);
  std::vector<std::string> moved = FilesOf("/.Spam");
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(ParseMessageFileName(moved[0].substr(4))->flags, "FS");
  EXPECT_TRUE(FilesOf("").empty());
}

TEST_F(MaildirMoveTest, KeywordLettersKeepTheirMeaningInTheNewFolder) {
  files_.PutFile(std::string(kRoot) + "/dovecot-keywords", "0 Work\n1 $Junk\n");
  files_.PutFile(std::string(kRoot) + "/.Spam/dovecot-keywords", "0 $Junk\n");
  files_.PutFile(std::string(kRoot) + "/cur/300.A.host:2,Sab", Text("tagged"));
  ASSERT_EQ(MoveToSpam("300.A.host"), S_OK);
  std::vector<std::string> moved = FilesOf("/.Spam");
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(ParseMessageFileName(moved[0].substr(4))->flags, "Sab");
  EXPECT_EQ(files_.FileBytes(std::string(kRoot) + "/.Spam/dovecot-keywords"), "0 $Junk\n1 Work\n");
  EXPECT_TRUE(log_.empty());
  // A letter the folder's file does not name cannot be carried: left off, and said.
  files_.PutFile(std::string(kRoot) + "/cur/301.A.host:2,Sz", Text("unknown"));
  ASSERT_EQ(MoveToSpam("301.A.host"), S_OK);
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_NE(log_[0].find("'z'"), std::string::npos);
}

TEST_F(MaildirMoveTest, ASpamFolderThatIsNoMailFolderLeavesTheMessageInPlace) {
  ASSERT_TRUE(files_.RemoveAll(std::string(kRoot) + "/.Spam/new").ok());
  files_.PutFile(std::string(kRoot) + "/new/400.A.host", Text("stays"));
  EXPECT_TRUE(Failed(MoveToSpam("400.A.host")));
  EXPECT_EQ(FilesOf(""), std::vector<std::string>{"new/400.A.host"});
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_NE(log_[0].find("not moved"), std::string::npos);
}

// Opening a message by its id tells its ids without reading the file; its content is
// read once, by the name the file has then, and the move reads nothing.
TEST_F(MaildirMoveTest, AMessageIsReadOnceFromOpeningToMove) {
  std::string path = std::string(kRoot) + "/new/500.A.host";
  files_.PutFile(path, Text("once"));
  int reads = 0;
  files_.SetFault([&](platform::MemoryFileSystem::Call call, const std::string& p) {
    if (call == platform::MemoryFileSystem::Call::kRead &&
        p.find("500.A.host") != std::string::npos && p.find("quorvel-props") == std::string::npos) {
      ++reads;
    }
    return 0;
  });
  auto message = MessageAt(MaildirMessageId(key_, "", "500.A.host"));
  ASSERT_NE(message, nullptr);
  const PropTag ids[] = {PR_ENTRYID, PR_PARENT_ENTRYID};
  auto props = message->GetProps(ids);
  ASSERT_EQ(props.hr, S_OK);
  EXPECT_EQ(GetEntryId(*props, PR_PARENT_ENTRYID), MaildirFolderId(key_, ""));
  EXPECT_EQ(reads, 0);
  // Read by another program into cur/ meanwhile: found under its new name.
  ASSERT_TRUE(files_.Rename(path, std::string(kRoot) + "/cur/500.A.host:2,S").ok());
  EXPECT_EQ(GetString8(*message->GetProps(std::vector<PropTag>{PR_SUBJECT}), PR_SUBJECT), "once");
  const int afterJudging = reads;
  EXPECT_GE(afterJudging, 1);  // one open, read in one or more pieces
  EXPECT_TRUE(HrGetOneProp(*message, PR_BODY).ok());
  EXPECT_EQ(reads, afterJudging);
  ASSERT_EQ(MoveToSpam("500.A.host"), S_OK);
  EXPECT_EQ(reads, afterJudging);
  // A message that is gone by the time its content is wanted says so.
  auto gone = MessageAt(
      MaildirMessageId(key_, "Spam", ParseMessageFileName(FilesOf("/.Spam")[0].substr(4))->unique));
  ASSERT_NE(gone, nullptr);
  ASSERT_TRUE(files_.RemoveAll(std::string(kRoot) + "/.Spam/cur").ok());
  EXPECT_EQ(HrGetOneProp(*gone, PR_SUBJECT).hr, MAPI_E_NOT_FOUND);
}

}  // namespace
}  // namespace quorvel::mapi
