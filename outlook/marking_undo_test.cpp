#include "outlook/marking_undo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bayes/test_bytes.h"
#include "lists/archive.h"
#include "lists/contact.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/test_maildir.h"
#include "outlook/marking.h"
#include "outlook/move_plans.h"
#include "platform/code_page.h"
#include "platform/registry_memory.h"
#include "testing/one_store_session.h"
#include "ui/scripted_ui.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;
using mapi::testing::TempMaildir;
using testing_bytes::ReadFile;

std::string Mail(const std::string& id) {
  return "From: <spammer@bad.example>\nTo: me@home.example\nMessage-ID: <" + id +
         ">\nSubject: offer " + id + "\n\nCheap pills, buy " + id + " today\n";
}

// A marking of junk made by hand the way the marking routine makes one: learned with a
// record, list entries changed, messages moved, the journal written.
class MarkingUndoTest : public ::testing::Test {
 protected:
  MarkingUndoTest() {
    dir_.AddFolder("Spam");
    store_ = *mapi::OpenMaildirStore(dir_.root(), mapi::testing::UnwatchedOptions());
    session_ = std::make_shared<OneStoreSession>(store_);
    key_ = mapi::testing::StoreKeyOf(*store_);
    std::filesystem::create_directories(data_);
    process_.mailbase().SetPaths(data_, data_);
    process_.mailbase().store().StartFresh();
    process_.mailbase().store().Learn(u"meeting agenda monday", u"Meeting", false, 1, true);
    process_.mailbase().store().Rebuild();
    auto settings = process_.settings().Lock();
    settings->whiteList.AddAddress(MakeContact("old@friend.example"), "Old Friend", 1);
    settings->whiteList.AddAddress(MakeContact("new@friend.example"), "", 1);
  }

  std::string Hex(const std::string& folder) const {
    return mapi::MaildirFolderId(key_, folder).ToHex();
  }
  // Everything undo must give back: the mail base files, the lists, each folder's mail.
  std::vector<std::string> State() {
    std::vector<std::string> state = {ReadFile(data_ + "Bayes.raw"), ReadFile(data_ + "Bayes.db")};
    UserSettings copy = process_.settings().CopyOut();
    state.push_back(WriteImage(copy.whiteList));
    state.push_back(WriteImage(copy.blackList));
    state.push_back(WriteImage(copy.blackListWildcards));
    for (const std::string folder : {"", "Spam"}) {
      std::vector<std::string> texts;
      for (const char* sub : {"/cur", "/new"}) {
        for (const auto& e : std::filesystem::directory_iterator(dir_.Dir(folder) + sub)) {
          texts.push_back(ReadFile(e.path().string()));
        }
      }
      std::sort(texts.begin(), texts.end());
      for (const std::string& t : texts) state.push_back(folder + ": " + t);
    }
    return state;
  }
  // Marks the messages `ids` (delivered into the Inbox) junk.
  MarkingEntry Mark(const std::vector<std::string>& ids) {
    MarkingEntry entry{.id = NewMarkingId(clock_.Now()), .time = clock_.Now(), .junk = true};
    LearnedCounts learned;
    std::vector<EntryId> moving;
    for (const std::string& id : ids) {
      process_.mailbase().store().Learn(u"Cheap pills, buy today", u"offer", true, kMarkingWeight,
                                        true, &learned);
      moving.push_back(mapi::MaildirMessageId(key_, "", id + ".mx"));
      entry.messages.push_back({"<" + id + ">", Hex(""), Hex("Spam"), "Inbox", "Spam"});
    }
    {
      auto settings = process_.settings().Lock();
      settings->blackList.AddAddress(MakeContact("spammer@bad.example"), "Spammer", 2);
      settings->blackListWildcards.Insert("*@bad.example");
      if (auto old = settings->whiteList.Find(MakeContact("old@friend.example"))) {
        settings->whiteList.RemoveAt(*old);
      }
    }
    entry.lists = {{"BlackList", true, "spammer@bad.example", "Spammer", false},
                   {"BlackListWildcards", true, "*@bad.example", "", false},
                   {"WhiteList", false, "old@friend.example", "Old Friend", false}};
    auto inbox = *session_->OpenEntry(mapi::MaildirFolderId(key_, ""), 0);
    auto spam = *session_->OpenEntry(mapi::MaildirFolderId(key_, "Spam"), 0);
    EXPECT_EQ(inbox.As<mapi::Folder>()->CopyMessages(moving, *spam.As<mapi::Folder>(),
                                                     mapi::MESSAGE_MOVE),
              mapi::S_OK);
    std::string error;
    EXPECT_TRUE(RecordMarking(platform::RealFileSystem(), journal_, data_, &entry, learned, &error))
        << error;
    process_.mailbase().store().Rebuild();
    return entry;
  }

  TempMaildir dir_;
  testing_bytes::TempFolder folder_;
  std::string data_ = folder_.path() + "/data/";
  std::shared_ptr<mapi::MsgStore> store_;
  std::shared_ptr<OneStoreSession> session_;
  mapi::StoreKey key_;
  platform::SystemClock clock_;
  platform::RegistryMemory registry_;
  ui::ScriptedUi ui_;
  AddInProcess process_{AddInEnvironment{registry_, clock_, ui_, data_, data_}};
  JournalFile journal_{platform::RealFileSystem(), data_};
};

TEST_F(MarkingUndoTest, UndoGivesBackCountsListsAndFoldersByteForByte) {
  for (const char* id : {"1", "2", "3"})
    dir_.Deliver("", "cur", std::string(id) + ".mx:2,S", Mail(id));
  const std::vector<std::string> before = State();
  const MarkingEntry entry = Mark({"1", "2"});
  ASSERT_NE(State(), before);
  EXPECT_NE(ReadFile(journal_.path()).find("\"kind\":\"marking\""), std::string::npos);

  std::string error;
  ASSERT_TRUE(UndoMarking(process_, *session_, entry, &error)) << error;
  const std::vector<std::string> after = State();
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i]) << "part " << i;
  // The moves back were the host's: noted for the watchers of the user's moves.
  EXPECT_TRUE(process_.ownMoves().IsOwn("<1>", mapi::MaildirFolderId(key_, "")));
}

TEST_F(MarkingUndoTest, AMarkingThatCannotBeTakenBackWholeIsLeftAsItIs) {
  for (const char* id : {"1", "2"}) dir_.Deliver("", "cur", std::string(id) + ".mx:2,S", Mail(id));
  MarkingEntry entry = Mark({"1", "2"});
  const std::vector<std::string> marked = State();
  std::string error;

  // A message the user deleted since.
  for (const auto& e : std::filesystem::directory_iterator(dir_.Dir("Spam") + "/cur")) {
    if (ReadFile(e.path().string()).find("<2>") != std::string::npos) {
      std::filesystem::rename(e.path(), folder_.path() + "/kept");
    }
  }
  EXPECT_FALSE(UndoMarking(process_, *session_, entry, &error));
  EXPECT_NE(error.find("<2> is no longer in \"Spam\""), std::string::npos) << error;
  std::filesystem::rename(folder_.path() + "/kept", dir_.Dir("Spam") + "/cur/2.mx:2,S");
  EXPECT_EQ(State(), marked);

  // Its counts file damaged.
  const std::string counts = data_ + entry.counts;
  const std::string bytes = ReadFile(counts);
  testing_bytes::WriteFile(counts, bytes.substr(0, bytes.size() / 2));
  EXPECT_FALSE(UndoMarking(process_, *session_, entry, &error));
  EXPECT_NE(error.find("missing or damaged"), std::string::npos) << error;
  EXPECT_EQ(State(), marked);
  testing_bytes::WriteFile(counts, bytes);

  // The counts replaced since.
  process_.mailbase().store().SetMainPair(CorpusPair());
  EXPECT_FALSE(UndoMarking(process_, *session_, entry, &error));
  EXPECT_NE(error.find("replaced since"), std::string::npos) << error;
}

// A marking's move that the Maildir does only in part (its spam folder refuses what
// comes from the Inbox's "new"): each message is in its old folder or its new one,
// once; the record says which moved, and undo moves back those and no other.
TEST_F(MarkingUndoTest, AMarkingsMoveDoneInPartIsRecordedAndUndoneAsItHappened) {
  for (const char* id : {"1", "2"}) dir_.Deliver("", "cur", std::string(id) + ".mx:2,S", Mail(id));
  dir_.Deliver("", "new", "3.mx", Mail("3"));
  {
    auto settings = process_.settings().Lock();
    settings->junkMoveInbox = 1;
    settings->junkAddBlackList = 0;
    settings->junkApplyToAll = 0;
  }
  process_.settings().SetSpamFolder({platform::AnsiToWide(Hex("Spam")), u""});
  const std::vector<std::string> before = State();
  std::filesystem::remove_all(dir_.Dir("Spam") + "/new");
  testing_bytes::WriteFile(dir_.Dir("Spam") + "/new", "not a folder");

  MarkingSelection selection{mapi::MaildirFolderId(key_, ""), {}};
  for (const std::string name : {"1.mx", "2.mx", "3.mx"}) {
    selection.messages.push_back(mapi::MaildirMessageId(key_, "", name));
  }
  MarkingContext context{process_, *session_, ui_};
  const MarkingRecord record = MarkMessages(context, selection, MarkingMode::kJunk, true);
  std::filesystem::remove(dir_.Dir("Spam") + "/new");
  std::filesystem::create_directory(dir_.Dir("Spam") + "/new");
  ASSERT_TRUE(record.moved);
  EXPECT_FALSE(record.move.complete);
  const std::vector<std::string> marked = State();
  EXPECT_EQ(std::count_if(marked.begin(), marked.end(),
                          [](const std::string& s) { return s.rfind("Spam: ", 0) == 0; }),
            2);
  EXPECT_EQ(std::count_if(marked.begin(), marked.end(),
                          [](const std::string& s) { return s.rfind(": ", 0) == 0; }),
            1);

  MarkingEntry entry = EntryOfRecord(record, clock_.Now());
  ASSERT_EQ(entry.messages.size(), 3u);
  for (const MarkedMessage& m : entry.messages) {
    EXPECT_EQ(m.to == Hex("Spam"), m.messageId != "<3>") << m.messageId;
    EXPECT_EQ(m.from, Hex(""));
  }
  std::string error;
  ASSERT_TRUE(
      RecordMarking(platform::RealFileSystem(), journal_, data_, &entry, record.counts, &error))
      << error;
  ASSERT_TRUE(UndoMarking(process_, *session_, entry, &error)) << error;
  EXPECT_EQ(State(), before);
}

TEST(DependentMarkingTest, ALaterMarkingOfTheSameMessageOrListEntryDependsOnIt) {
  const MarkingEntry first{.id = "a",
                           .messages = {{"<m1>", "I", "S", "Inbox", "Spam"}},
                           .lists = {{"BlackList", true, "Spammer@Bad.example", "", false}}};
  const MarkingEntry moveAgain{.id = "b", .messages = {{"<m1>", "S", "I", "Spam", "Inbox"}}};
  const MarkingEntry sameEntry{.id = "c", .lists = {{"BlackList", false, "spammer@bad.example"}}};
  const MarkingEntry otherList{.id = "d", .lists = {{"WhiteList", true, "spammer@bad.example"}}};
  const MarkingEntry otherMessage{.id = "e", .messages = {{"<m2>", "I", "S", "Inbox", "Spam"}}};
  EXPECT_EQ(DependentMarking(first, {otherList, moveAgain})->id, "b");
  EXPECT_EQ(DependentMarking(first, {sameEntry})->id, "c");
  EXPECT_FALSE(DependentMarking(first, {otherList, otherMessage}).has_value());
  // A message that stayed where it was (marked where it lay) binds nothing.
  const MarkingEntry stayed{.id = "f", .messages = {{"<m2>", "I", "I", "Inbox", "Inbox"}}};
  EXPECT_FALSE(DependentMarking(stayed, {otherMessage}).has_value());
}

// A move back that the Maildir does only in part (its Inbox refuses what comes from a
// "new" subfolder): the messages that went back go into the spam folder again and
// nothing of the marking is taken back; once the Inbox takes mail again the undo
// gives everything back.
TEST_F(MarkingUndoTest, AMoveBackDoneInPartIsTurnedBackAndChangesNothing) {
  for (const char* id : {"1", "2", "3"})
    dir_.Deliver("", "cur", std::string(id) + ".mx:2,S", Mail(id));
  const std::vector<std::string> before = State();
  const MarkingEntry entry = Mark({"1", "2", "3"});
  // Message 3 is put into the spam folder's "new"; the Inbox's "new" is no folder.
  for (const auto& e : std::filesystem::directory_iterator(dir_.Dir("Spam") + "/cur")) {
    if (ReadFile(e.path().string()).find("<3>") == std::string::npos) continue;
    const std::string name = e.path().filename().string();
    std::filesystem::rename(e.path(), dir_.Dir("Spam") + "/new/" + name.substr(0, name.find(':')));
  }
  const std::vector<std::string> marked = State();
  std::filesystem::remove_all(dir_.Dir("") + "/new");
  testing_bytes::WriteFile(dir_.Dir("") + "/new", "not a folder");
  const CorpusPair learned = process_.mailbase().store().MainPair();

  std::string error;
  EXPECT_FALSE(UndoMarking(process_, *session_, entry, &error));
  EXPECT_EQ(error,
            "moving the messages back failed (1 of 3 could not be moved); nothing was "
            "taken back");
  std::filesystem::remove(dir_.Dir("") + "/new");
  std::filesystem::create_directory(dir_.Dir("") + "/new");
  EXPECT_EQ(State(), marked);  // every message in the spam folder, once; lists as marked
  CorpusPair now = process_.mailbase().store().MainPair();
  now.Merge(process_.mailbase().store().PendingPair());
  EXPECT_EQ(now.junk().messageCount(), learned.junk().messageCount());
  EXPECT_EQ(now.junk().Count(u"pills"), learned.junk().Count(u"pills"));

  ASSERT_TRUE(UndoMarking(process_, *session_, entry, &error)) << error;
  EXPECT_EQ(State(), before);
}

// An undo stopped after some of its moves back (the process killed) is run again: the
// messages already back are left where they are, the others moved back, and the
// marking taken back whole.
TEST_F(MarkingUndoTest, AnUndoRunAgainLeavesTheMessagesAlreadyBack) {
  for (const char* id : {"1", "2"}) dir_.Deliver("", "cur", std::string(id) + ".mx:2,S", Mail(id));
  const std::vector<std::string> before = State();
  const MarkingEntry entry = Mark({"1", "2"});
  for (const auto& e : std::filesystem::directory_iterator(dir_.Dir("Spam") + "/cur")) {
    if (ReadFile(e.path().string()).find("<1>") != std::string::npos) {
      std::filesystem::rename(e.path(), dir_.Dir("") + "/cur/" + e.path().filename().string());
    }
  }
  std::string error;
  ASSERT_TRUE(UndoMarking(process_, *session_, entry, &error)) << error;
  EXPECT_EQ(State(), before);
}

// A host stopped between a marking's move and its journal line: the plan written
// before the move is settled by the next start, which records the moves that were
// made (and only those), so that undo can put the messages back.
TEST_F(MarkingUndoTest, AMoveWithoutItsLineIsRecordedFromItsPlan) {
  for (const char* id : {"1", "2", "3"})
    dir_.Deliver("", "cur", std::string(id) + ".mx:2,S", Mail(id));
  {
    auto settings = process_.settings().Lock();
    settings->junkMoveInbox = 1;
    settings->junkAddBlackList = 0;
  }
  process_.settings().SetSpamFolder({platform::AnsiToWide(Hex("Spam")), u""});
  const std::vector<std::string> before = State();
  MarkingSelection selection{mapi::MaildirFolderId(key_, ""), {}};
  for (const std::string name : {"1.mx", "2.mx", "3.mx"}) {
    selection.messages.push_back(mapi::MaildirMessageId(key_, "", name));
  }
  MarkingContext context{process_, *session_, ui_};
  const std::string id = "5-5-5";
  const std::string plan = data_ + "markings/" + id + kMovingSuffix;
  context.beforeMove = [&](const MarkingRecord& record, const MarkingMove& planned) {
    ASSERT_EQ(planned.messages.size(), 3u);
    ASSERT_TRUE(WriteMovePlan(platform::RealFileSystem(), data_, id, record, planned).ok());
  };
  std::vector<std::string> toldSpam;
  context.movedToSpam = [&](const std::vector<std::string>& ids) { toldSpam = ids; };
  context.commit = [](MarkingRecord&) {};  // stopped before the line
  ASSERT_TRUE(MarkMessages(context, selection, MarkingMode::kJunk, true).moved);
  EXPECT_EQ(toldSpam.size(), 3u);
  // Message 3 never left the Inbox; the process that wrote the plan is gone.
  for (const auto& e : std::filesystem::directory_iterator(dir_.Dir("Spam") + "/cur")) {
    if (ReadFile(e.path().string()).find("<3>") != std::string::npos) {
      std::filesystem::rename(e.path(), dir_.Dir("") + "/cur/" + e.path().filename().string());
    }
  }
  std::string text = ReadFile(plan);
  testing_bytes::WriteFile(plan, "999999999" + text.substr(text.find('\n')));

  std::vector<std::string> settledSpam;
  auto settle = [&] {
    SettleMovePlans(platform::RealFileSystem(), data_, *session_, journal_, clock_.Now(),
                    [&](const std::vector<std::string>& ids) { settledSpam = ids; });
  };
  settle();
  EXPECT_FALSE(std::filesystem::exists(plan));
  const std::string journal = ReadFile(journal_.path());
  EXPECT_NE(journal.find("{\"kind\":\"marking\",\"id\":\"5-5-5\""), std::string::npos);
  EXPECT_NE(journal.find("\"message_id\":\"<2>\""), std::string::npos);
  EXPECT_EQ(journal.find("\"message_id\":\"<3>\""), std::string::npos);
  EXPECT_EQ(settledSpam, (std::vector<std::string>{"<1>", "<2>"}));

  // What the line says is what undo takes back.
  MarkingEntry entry{.id = id, .junk = true};
  for (const char* m : {"<1>", "<2>"}) entry.messages.push_back({m, Hex(""), Hex("Spam"), "", ""});
  std::string error;
  ASSERT_TRUE(UndoMarking(process_, *session_, entry, &error)) << error;
  EXPECT_EQ(State(), before);

  // A plan whose marking has its line already only goes.
  const std::string undone = ReadFile(journal_.path());
  testing_bytes::WriteFile(plan, "999999999" + text.substr(text.find('\n')));
  settle();
  EXPECT_FALSE(std::filesystem::exists(plan));
  EXPECT_EQ(ReadFile(journal_.path()), undone);
}

}  // namespace
}  // namespace quorvel::outlook
