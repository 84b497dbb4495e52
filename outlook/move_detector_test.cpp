#include "outlook/move_detector.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/test_maildir.h"
#include "testing/one_store_session.h"
#include "testing/wait_until.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;
using mapi::testing::TempMaildir;

class RecordingMoves final : public UserMoveSink {
 public:
  void OnUserMove(const UserMove& move) override {
    std::lock_guard<std::mutex> lock(mutex_);
    moves_.push_back(move);
  }
  std::vector<UserMove> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(moves_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<UserMove> moves_;
};

// A message as it arrives: with its delivery fields, unless `trace` is empty.
std::string Mail(const std::string& id, const std::string& trace = "by mx.example; Mon, 7 Dec") {
  std::string text = "From: <spammer@bad.example>\nTo: me@home.example\nMessage-ID: <" + id + ">\n";
  if (!trace.empty()) text += "Received: from relay " + trace + "\nDate: Mon, 7 Dec 2026\n";
  return text + "Subject: offer\n\nBuy now\n";
}

// A session that runs a step of the test when `folder` is opened, before it reads it:
// what happens while a scan reads the spam folder.
class SteppedSession final : public mapi::Session {
 public:
  SteppedSession(std::shared_ptr<mapi::Session> inner, EntryId folder, std::function<void()> step)
      : inner_(std::move(inner)), folder_(std::move(folder)), step_(std::move(step)) {}
  mapi::Result<mapi::OpenedEntry> OpenEntry(const EntryId& id, std::uint32_t flags) override {
    if (id == folder_ && step_) std::exchange(step_, nullptr)();
    return inner_->OpenEntry(id, flags);
  }
  mapi::Result<std::shared_ptr<mapi::Table>> GetMsgStoresTable(std::uint32_t flags) override {
    return inner_->GetMsgStoresTable(flags);
  }
  mapi::Result<std::shared_ptr<mapi::MsgStore>> OpenMsgStore(const EntryId& id,
                                                             std::uint32_t flags) override {
    return inner_->OpenMsgStore(id, flags);
  }
  mapi::Result<std::shared_ptr<mapi::Table>> GetStatusTable(std::uint32_t flags) override {
    return inner_->GetStatusTable(flags);
  }
  mapi::Result<std::shared_ptr<mapi::Table>> GetProviderTable(std::uint32_t flags) override {
    return inner_->GetProviderTable(flags);
  }
  mapi::Result<bool> CompareEntryIDs(const EntryId& a, const EntryId& b,
                                     std::uint32_t flags) override {
    return inner_->CompareEntryIDs(a, b, flags);
  }
  mapi::Result<std::shared_ptr<mapi::AddressBook>> OpenAddressBook(std::uint32_t flags) override {
    return inner_->OpenAddressBook(flags);
  }
  mapi::HRESULT DispatchNotifications() override { return inner_->DispatchNotifications(); }

 private:
  std::shared_ptr<mapi::Session> inner_;
  EntryId folder_;
  std::function<void()> step_;
};

// The detector over an unwatched Maildir: the test plays the store's notifications.
class MoveDetectorTest : public ::testing::Test {
 protected:
  MoveDetectorTest() {
    dir_.AddFolder("Spam");
    dir_.AddFolder("Archive");
    store_ = *mapi::OpenMaildirStore(dir_.root(), mapi::testing::UnwatchedOptions());
    session_ = std::make_shared<OneStoreSession>(store_);
    key_ = mapi::testing::StoreKeyOf(*store_);
    const std::string hex = Folder("Spam").ToHex();
    settings_.Lock()->SetSpamFolder({std::u16string(hex.begin(), hex.end()), u"Spam"});
  }

  EntryId Folder(const std::string& name) const { return mapi::MaildirFolderId(key_, name); }
  EntryId Message(const std::string& folder, const std::string& unique) const {
    return mapi::MaildirMessageId(key_, folder, unique);
  }
  // A message's entry id once delivered as "<unique>:2,S" into cur/ of `folder`.
  EntryId Put(const std::string& folder, const std::string& unique, const std::string& text) {
    dir_.Deliver(folder, "cur", unique + ":2,S", text);
    return Message(folder, unique);
  }
  void Remove(const std::string& folder, const std::string& unique) {
    std::filesystem::remove(dir_.Dir(folder) + "/cur/" + unique + ":2,S");
  }
  bool Arrived(const EntryId& folder, const EntryId& entry) {
    auto opened = session_->OpenEntry(entry, mapi::MAPI_BEST_ACCESS);
    auto message = opened->As<mapi::Message>();
    return detector_.ArrivedFromSpam(*session_, *message, folder, entry);
  }
  mapi::Notification Moved(const std::string& from, const std::string& fromUnique,
                           const std::string& to, const std::string& toUnique) {
    mapi::Notification n;
    n.eventType = mapi::fnevObjectMoved;
    n.objectType = mapi::MAPI_MESSAGE;
    n.entryId = Message(to, toUnique);
    n.parentId = Folder(to);
    n.oldId = Message(from, fromUnique);
    n.oldParentId = Folder(from);
    return n;
  }

  TempMaildir dir_;
  std::shared_ptr<mapi::MsgStore> store_;
  std::shared_ptr<OneStoreSession> session_;
  mapi::StoreKey key_;
  platform::FakeClock clock_;
  SettingsHolder settings_;
  OwnMoves own_{clock_};
  RecordingMoves sink_;
  MoveDetector detector_{settings_, own_, &sink_};
};

TEST_F(MoveDetectorTest, MessagesNewInTheSpamFolderAreJunkUnlessTheHostPutThemThere) {
  Put("Spam", "1.A.mx", Mail("old"));
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  EXPECT_TRUE(sink_.Take().empty());  // the first scan learns what is there
  EXPECT_EQ(detector_.knownCount(), 1u);

  const EntryId copied = Put("Spam", "2.B.laptop", Mail("copied"));
  own_.Note("<worker>", Folder("Spam"));
  Put("Spam", "3.C.host", Mail("worker"));
  own_.Note("<elsewhere>", Folder("Archive"));  // the host moved it, but not here
  const EntryId elsewhere = Put("Spam", "4.D.laptop", Mail("elsewhere"));
  Put("Spam", "5.E.laptop", Mail("old"));  // a second copy of one already there
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  auto moves = sink_.Take();
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_TRUE(moves[0].junk);
  EXPECT_EQ(moves[0].folder, Folder("Spam"));
  EXPECT_EQ(moves[0].messages, (std::vector<EntryId>{copied, elsewhere}));

  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));  // nothing new: nothing again
  EXPECT_TRUE(sink_.Take().empty());
  Remove("Spam", "2.B.laptop");  // deleted: forgotten, not a move
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  EXPECT_TRUE(sink_.Take().empty());
  EXPECT_EQ(detector_.knownCount(), 4u);
}

// A message taken out of the spam folder over IMAP (MOVE, or COPY and EXPUNGE), or as a
// copy whose original a mail program deletes later, arrives as new mail: it is a move,
// good, and must not be judged again; the same spam delivered a second time is not.
TEST_F(MoveDetectorTest, ArrivalsFromTheSpamFolderAreMovesAndRedeliveriesAreNot) {
  Put("Spam", "1.A.mx", Mail("gone"));
  Put("Spam", "2.B.mx", Mail("kept"));
  Put("Spam", "3.C.mx", Mail("again", "by mx.example; Mon, 7 Dec 10:00"));
  Put("Spam", "4.D.mx", Mail("bare", ""));
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));

  Remove("Spam", "1.A.mx");
  const EntryId back = Put("", "10.K.laptop", Mail("gone"));
  EXPECT_TRUE(Arrived(Folder(""), back));
  const EntryId copy = Put("Archive", "11.L.laptop", Mail("kept"));
  EXPECT_TRUE(Arrived(Folder("Archive"), copy));
  auto moves = sink_.Take();
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_FALSE(moves[0].junk);
  EXPECT_EQ(moves[0].folder, Folder(""));
  EXPECT_EQ(moves[0].messages, std::vector<EntryId>{back});
  EXPECT_EQ(moves[1].folder, Folder("Archive"));

  // Delivered again: other delivery fields, or none to compare, or never in the spam
  // folder at all.
  const EntryId again = Put("", "12.M.mx", Mail("again", "by mx.example; Mon, 7 Dec 11:00"));
  EXPECT_FALSE(Arrived(Folder(""), again));
  const EntryId bare = Put("", "13.N.mx", Mail("bare", ""));
  EXPECT_FALSE(Arrived(Folder(""), bare));
  const EntryId fresh = Put("", "14.O.mx", Mail("fresh"));
  EXPECT_FALSE(Arrived(Folder(""), fresh));
  EXPECT_TRUE(sink_.Take().empty());

  // The host's own move back (a good marking, an undo) is a move, but not the user's.
  Remove("Spam", "2.B.mx");
  own_.Note("<kept>", Folder(""));
  const EntryId undone = Put("", "15.P.host", Mail("kept"));
  EXPECT_TRUE(Arrived(Folder(""), undone));
  EXPECT_TRUE(sink_.Take().empty());
}

// A message gone from the spam folder without a word from the store (another IMAP
// client moved it) is looked for in the other folders: found in one of the user's, it
// is a good move there. In Deleted Items, deleted, told already by its arrival, moved
// by the host, or among many gone at once (a deletion), it is not.
TEST_F(MoveDetectorTest, MessagesGoneWithoutAWordAreLookedForInTheOtherFolders) {
  dir_.AddFolder("Trash");
  for (int i = 0; i < 5; ++i)
    Put("Spam", std::to_string(i) + ".A.mx", Mail("s" + std::to_string(i)));
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));

  Remove("Spam", "0.A.mx");
  const EntryId archived = Put("Archive", "20.X.laptop", Mail("s0"));
  Remove("Spam", "1.A.mx");
  Put("Trash", "21.Y.laptop", Mail("s1"));
  Remove("Spam", "2.A.mx");
  const EntryId copy = Put("Archive", "22.Z.laptop", Mail("s3"));
  EXPECT_TRUE(Arrived(Folder("Archive"), copy));
  EXPECT_EQ(sink_.Take().size(), 1u);
  Remove("Spam", "3.A.mx");  // the copy's original, deleted later
  own_.Note("<s4>", Folder("Archive"));
  Remove("Spam", "4.A.mx");
  Put("Archive", "23.W.host", Mail("s4"));
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  auto moves = sink_.Take();
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_FALSE(moves[0].junk);
  EXPECT_EQ(moves[0].folder, Folder("Archive"));
  EXPECT_EQ(moves[0].messages, std::vector<EntryId>{archived});
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  EXPECT_TRUE(sink_.Take().empty());

  const std::size_t many = kMaxDepartedLookedFor + 1;
  for (std::size_t i = 0; i < many; ++i)
    Put("Spam", "m" + std::to_string(i), Mail(std::to_string(i)));
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  EXPECT_EQ(sink_.Take().size(), 1u);  // put there by no one the detector knows: junk
  for (std::size_t i = 0; i < many; ++i) {
    Remove("Spam", "m" + std::to_string(i));
    Put("Archive", "a" + std::to_string(i), Mail(std::to_string(i)));
  }
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  EXPECT_TRUE(sink_.Take().empty());
}

TEST_F(MoveDetectorTest, RenamesIntoAndOutOfTheSpamFolderAreReportedOnce) {
  Put("Spam", "1.A.mx", Mail("one"));
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));

  // mv out of the spam folder into the Inbox.
  Remove("Spam", "1.A.mx");
  Put("", "1.A.mx", Mail("one"));
  detector_.OnMoved(*session_, Moved("Spam", "1.A.mx", "", "1.A.mx"));
  auto moves = sink_.Take();
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_FALSE(moves[0].junk);
  EXPECT_EQ(moves[0].messages, std::vector<EntryId>{Message("", "1.A.mx")});

  // mv into it: reported by the notification, and the scan that follows knows it.
  Put("Spam", "7.G.mx", Mail("seven"));
  detector_.OnMoved(*session_, Moved("", "7.G.mx", "Spam", "7.G.mx"));
  moves = sink_.Take();
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_TRUE(moves[0].junk);
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  EXPECT_TRUE(sink_.Take().empty());

  // Moves between other folders, within the spam folder, and the host's own.
  detector_.OnMoved(*session_, Moved("", "8.H.mx", "Archive", "8.H.mx"));
  Put("Spam", "9.I.mx", Mail("nine"));
  own_.Note("<nine>", Folder("Spam"));
  detector_.OnMoved(*session_, Moved("", "9.I.mx", "Spam", "9.I.mx"));
  EXPECT_TRUE(sink_.Take().empty());

  // A note of the host's is kept only so long: later the same move is the user's.
  clock_.AdvanceMs(kOwnMoveMs + 1);
  Remove("Spam", "9.I.mx");
  Put("", "9.I.mx", Mail("nine"));
  own_.Note("<other>", Folder(""));  // a later note clears the old ones
  EXPECT_EQ(own_.size(), 1u);
  detector_.OnMoved(*session_, Moved("Spam", "9.I.mx", "", "9.I.mx"));
  EXPECT_EQ(sink_.Take().size(), 1u);
}

// The host moves spam without a Message-ID as well; it cannot note such a move as its
// own, so no rename of one is taken for the user's.
TEST_F(MoveDetectorTest, RenamesOfMessagesWithoutAMessageIdAreNotReported) {
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  const std::string bare = "From: <spammer@bad.example>\nSubject: offer\n\nBuy now\n";
  Put("Spam", "2.B.mx", bare);
  detector_.OnMoved(*session_, Moved("", "2.B.mx", "Spam", "2.B.mx"));
  Remove("Spam", "2.B.mx");
  Put("", "2.B.mx", bare);
  detector_.OnMoved(*session_, Moved("Spam", "2.B.mx", "", "2.B.mx"));
  EXPECT_TRUE(sink_.Take().empty());
}

TEST_F(MoveDetectorTest, WithLearningFromMovesOffMovesAreToldButNotReported) {
  settings_.Lock()->learnFromMoves = 0;
  Put("Spam", "1.A.mx", Mail("one"));
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  Put("Spam", "2.B.mx", Mail("two"));
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  Remove("Spam", "1.A.mx");
  EXPECT_TRUE(Arrived(Folder(""), Put("", "3.C.mx", Mail("one"))));  // still not judged
  EXPECT_TRUE(sink_.Take().empty());
}

TEST_F(MoveDetectorTest, TheScanThreadScansAtOnceAndWhenWoken) {
  Put("Spam", "1.A.mx", Mail("one"));
  detector_.StartScanning([this] { return session_; }, 3600 * 1000);
  ASSERT_TRUE(testing::WaitUntil([&] { return detector_.scans() >= 1; }, std::chrono::seconds(10)));
  Put("Spam", "2.B.mx", Mail("two"));
  mapi::Notification created;
  created.eventType = mapi::fnevObjectCreated;
  created.objectType = mapi::MAPI_MESSAGE;
  created.entryId = Message("Spam", "2.B.mx");
  created.parentId = Folder("Spam");
  detector_.OnCreatedElsewhere(*session_, created);
  ASSERT_TRUE(testing::WaitUntil([&] { return detector_.scans() >= 2; }, std::chrono::seconds(10)));
  detector_.StopScanning();
  auto moves = sink_.Take();
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].messages, std::vector<EntryId>{Message("Spam", "2.B.mx")});
}

// The record keeps each Message-ID whole in one string, packed anew as most of it
// comes to belong to messages gone: after many have left, each one still there is
// known by its own Message-ID (its move out is the host's, its departure is found
// by it, its arrival elsewhere is a move).
TEST_F(MoveDetectorTest, ManyMessagesComingAndGoingKeepEachOnesMessageId) {
  auto id = [](int i) { return "m" + std::to_string(i) + "-" + std::string(100, 'x'); };
  auto unique = [](int i) { return std::to_string(i) + ".S.mx"; };
  const int many = 1500;
  for (int i = 0; i < many; ++i) Put("Spam", unique(i), Mail(id(i)));
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  EXPECT_EQ(detector_.knownCount(), static_cast<std::size_t>(many));

  // The host takes most of them out (an undo); each was noted as its own.
  for (int i = 0; i < 1400; ++i) {
    own_.Note("<" + id(i) + ">", Folder(""));
    Remove("Spam", unique(i));
    detector_.OnMoved(*session_, Moved("Spam", unique(i), "", unique(i)));
  }
  EXPECT_TRUE(sink_.Take().empty());
  for (int i = 1400; i < 1450; ++i) {
    own_.Note("<" + id(i) + ">", Folder(""));
    detector_.OnMoved(*session_, Moved("Spam", unique(i), "", unique(i)));
  }
  EXPECT_TRUE(sink_.Take().empty());
  EXPECT_EQ(detector_.knownCount(), 50u);

  Remove("Spam", unique(1450));
  const EntryId archived = Put("Archive", "30.A.laptop", Mail(id(1450)));
  Remove("Spam", unique(1451));
  const EntryId back = Put("", "31.B.laptop", Mail(id(1451)));
  EXPECT_TRUE(Arrived(Folder(""), back));
  for (int i = 1400; i < 1450; ++i) Remove("Spam", unique(i));
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  auto moves = sink_.Take();
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves[0].messages, std::vector<EntryId>{back});
  EXPECT_EQ(moves[1].folder, Folder("Archive"));
  EXPECT_EQ(moves[1].messages, std::vector<EntryId>{archived});
  EXPECT_EQ(detector_.knownCount(), 48u);
}

// A message the host moves in while a scan reads the spam folder may lie where the
// reading has passed: that scan does not take it for gone (and look for it in every
// other folder); the next one, which would have seen it, does.
TEST_F(MoveDetectorTest, AMessageToldOfWhileAScanReadsTheFolderIsNotGoneToThatScan) {
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  SteppedSession stepped(session_, Folder("Spam"), [&] {
    Put("Spam", "5.E.mx", Mail("quick"));
    own_.Note("<quick>", Folder("Spam"));
    detector_.OnMoved(*session_, Moved("", "5.E.mx", "Spam", "5.E.mx"));
    // Out again into the Archive before the reading comes to it.
    Remove("Spam", "5.E.mx");
    Put("Archive", "6.F.laptop", Mail("quick"));
  });
  ASSERT_TRUE(detector_.ScanSpamFolder(stepped));
  EXPECT_TRUE(sink_.Take().empty());
  EXPECT_EQ(detector_.knownCount(), 1u);
  ASSERT_TRUE(detector_.ScanSpamFolder(*session_));
  auto moves = sink_.Take();
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_FALSE(moves[0].junk);
  EXPECT_EQ(moves[0].folder, Folder("Archive"));
  EXPECT_EQ(detector_.knownCount(), 0u);
}

TEST_F(MoveDetectorTest, NoSpamFolderNoScan) {
  settings_.Lock()->SetSpamFolder({});
  EXPECT_FALSE(detector_.ScanSpamFolder(*session_));
  const std::string hex = Folder("Gone").ToHex();
  settings_.Lock()->SetSpamFolder({std::u16string(hex.begin(), hex.end()), u"Gone"});
  EXPECT_FALSE(detector_.ScanSpamFolder(*session_));
}

}  // namespace
}  // namespace quorvel::outlook
