#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "mapi/folder.h"
#include "mapi/maildir/maildir_names.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/test_maildir.h"
#include "mapi/message.h"
#include "mapi/queries.h"
#include "platform/event.h"

namespace quorvel::mapi {
namespace {

using testing::TempMaildir;

// Generous: the events come within milliseconds; the limit only ends a broken test.
constexpr std::uint32_t kWaitMs = 10'000;

class CollectingSink : public AdviseSink {
 public:
  HRESULT OnNotify(std::span<const Notification> notifications) override {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Notification& n : notifications) {
      received_.push_back(n);
      threads_.push_back(std::this_thread::get_id());
    }
    event_.Set();
    return S_OK;
  }

  // Waits until a notification of `type` about `id` has come (absent id: any).
  bool WaitFor(std::uint32_t type, const EntryId& id = {}) {
    for (;;) {
      if (Has(type, id)) return true;
      if (!event_.Wait(kWaitMs)) return Has(type, id);
    }
  }

  bool Has(std::uint32_t type, const EntryId& id = {}) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Notification& n : received_) {
      if (n.eventType == type && (!id.present() || n.entryId == id)) return true;
    }
    return false;
  }

  std::vector<Notification> Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  std::vector<std::thread::id> Threads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return threads_;
  }

 private:
  std::mutex mutex_;
  std::vector<Notification> received_;
  std::vector<std::thread::id> threads_;
  platform::AutoResetEvent event_;
};

constexpr std::uint32_t kAllEvents = fnevNewMail | fnevObjectCreated | fnevObjectDeleted |
                                     fnevObjectModified | fnevObjectMoved | fnevObjectCopied;

class MaildirWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.AddFolder("Spam");
    auto store = OpenMaildirStore(dir_.root());
    ASSERT_TRUE(store.ok());
    store_ = store.value;
    key_ = testing::StoreKeyOf(*store_);
  }

  std::shared_ptr<Folder> FolderAt(const std::string& path) {
    return store_->OpenEntry(MaildirFolderId(key_, path), 0)->As<Folder>();
  }

  TempMaildir dir_;
  std::shared_ptr<MsgStore> store_;
  StoreKey key_ = 0;
};

TEST_F(MaildirWatcherTest, DeliveryIntoAnyFolderIsNewMail) {
  auto sink = std::make_shared<CollectingSink>();
  ASSERT_TRUE(store_->Advise(EntryId(), kAllEvents, sink).ok());
  dir_.Deliver("", "new", "1.A.host", TempMaildir::Message("to the inbox"));
  EntryId inboxId = MaildirMessageId(key_, "", "1.A.host");
  ASSERT_TRUE(sink->WaitFor(fnevNewMail, inboxId));
  EXPECT_TRUE(sink->Has(fnevObjectCreated, inboxId));
  dir_.Deliver("Spam", "new", "2.B.host", TempMaildir::Message("to spam"));
  EntryId spamId = MaildirMessageId(key_, "Spam", "2.B.host");
  ASSERT_TRUE(sink->WaitFor(fnevNewMail, spamId));
  for (const Notification& n : sink->Received()) {
    if (n.eventType != fnevNewMail) continue;
    EXPECT_EQ(n.objectType, MAPI_MESSAGE);
    EXPECT_EQ(n.parentId, MaildirFolderId(key_, n.entryId == spamId ? "Spam" : ""));
  }
  // The new mail opens by the id it was reported under.
  EXPECT_TRUE(store_->OpenEntry(spamId, 0).ok());
}

TEST_F(MaildirWatcherTest, NewMailReadAtOnceIsStillReported) {
  auto sink = std::make_shared<CollectingSink>();
  ASSERT_TRUE(store_->Advise(EntryId(), kAllEvents, sink).ok());
  // Another client reads it at once, maybe before the store has seen it arrive.
  std::string other = dir_.Deliver("", "new", "11.K.host", TempMaildir::Message("read"));
  std::filesystem::rename(other, dir_.root() + "/cur/11.K.host:2,S");
  ASSERT_TRUE(sink->WaitFor(fnevNewMail, MaildirMessageId(key_, "", "11.K.host")));
}

TEST_F(MaildirWatcherTest, AFolderMadeLaterIsWatchedToo) {
  auto sink = std::make_shared<CollectingSink>();
  ASSERT_TRUE(store_->Advise(EntryId(), kAllEvents, sink).ok());
  // Made whole elsewhere and renamed in, as folder tools do.
  std::string staging = dir_.root() + "/tmp/staging";
  std::filesystem::create_directories(staging + "/new");
  std::filesystem::create_directories(staging + "/cur");
  std::filesystem::create_directories(staging + "/tmp");
  std::filesystem::rename(staging, dir_.Dir("Later"));
  ASSERT_TRUE(sink->WaitFor(fnevObjectCreated, MaildirFolderId(key_, "Later")));
  dir_.Deliver("Later", "new", "3.C.host", TempMaildir::Message("late"));
  EXPECT_TRUE(sink->WaitFor(fnevNewMail, MaildirMessageId(key_, "Later", "3.C.host")));
}

TEST_F(MaildirWatcherTest, TheStoresOwnMovesAreMovesNotNewMail) {
  std::string path = dir_.Deliver("", "new", "4.D.host", TempMaildir::Message("spammy"));
  auto sink = std::make_shared<CollectingSink>();
  ASSERT_TRUE(store_->Advise(EntryId(), kAllEvents, sink).ok());
  EntryId id = MaildirMessageIdFromPath(*store_, path);
  ASSERT_EQ(FolderAt("")->CopyMessages(std::vector<EntryId>{id}, *FolderAt("Spam"), MESSAGE_MOVE),
            S_OK);
  auto rows = HrQueryAllRows(**FolderAt("Spam")->GetContentsTable(0),
                             std::vector<PropTag>{PR_ENTRYID}, std::nullopt);
  ASSERT_EQ(rows->size(), 1u);
  EntryId moved = GetEntryId((*rows)[0], PR_ENTRYID);  // a fresh name in the new folder
  ASSERT_TRUE(sink->WaitFor(fnevObjectMoved, moved));
  // A later delivery is reported; by then every event of the move has been read.
  dir_.Deliver("", "new", "5.E.host", TempMaildir::Message("real new mail"));
  ASSERT_TRUE(sink->WaitFor(fnevNewMail, MaildirMessageId(key_, "", "5.E.host")));
  for (const Notification& n : sink->Received()) {
    if (n.eventType == fnevObjectMoved) {
      EXPECT_EQ(n.oldId, id);
      EXPECT_EQ(n.oldParentId, MaildirFolderId(key_, ""));
      EXPECT_EQ(n.parentId, MaildirFolderId(key_, "Spam"));
    }
    EXPECT_FALSE(n.eventType == fnevNewMail && n.entryId == moved);
    EXPECT_FALSE(n.eventType == fnevObjectCreated && n.entryId == moved);
  }
  // Sinks run on the store's thread, never on the thread that caused the event.
  for (std::thread::id t : sink->Threads()) EXPECT_NE(t, std::this_thread::get_id());
}

TEST_F(MaildirWatcherTest, ReadFlagChangesAreModificationsAndSinksSeeOnlyTheirFolder) {
  auto spamOnly = std::make_shared<CollectingSink>();
  auto everything = std::make_shared<CollectingSink>();
  ASSERT_TRUE(store_->Advise(MaildirFolderId(key_, "Spam"), kAllEvents, spamOnly).ok());
  ASSERT_TRUE(store_->Advise(EntryId(), kAllEvents, everything).ok());
  std::string path = dir_.Deliver("", "new", "6.F.host", TempMaildir::Message("inbox mail"));
  EntryId id = MaildirMessageId(key_, "", "6.F.host");
  ASSERT_TRUE(everything->WaitFor(fnevNewMail, id));
  auto message = store_->OpenEntry(id, 0)->As<Message>();
  ASSERT_EQ(message->SetReadFlag(0), S_OK);
  ASSERT_TRUE(everything->WaitFor(fnevObjectModified, id));
  dir_.Deliver("Spam", "new", "7.G.host", TempMaildir::Message("spam mail"));
  EntryId spamId = MaildirMessageId(key_, "Spam", "7.G.host");
  ASSERT_TRUE(spamOnly->WaitFor(fnevNewMail, spamId));
  ASSERT_TRUE(everything->WaitFor(fnevNewMail, spamId));
  for (const Notification& n : spamOnly->Received()) {
    EXPECT_EQ(n.parentId, MaildirFolderId(key_, "Spam"));
  }
  // The flag change was reported once, as a modification, not as new mail.
  int newMailForId = 0;
  for (const Notification& n : everything->Received()) {
    if (n.eventType == fnevNewMail && n.entryId == id) ++newMailForId;
  }
  EXPECT_EQ(newMailForId, 1);
}

TEST_F(MaildirWatcherTest, NoCallsAfterUnadvise) {
  auto gone = std::make_shared<CollectingSink>();
  auto barrier = std::make_shared<CollectingSink>();
  auto connection = store_->Advise(EntryId(), kAllEvents, gone);
  ASSERT_TRUE(connection.ok());
  ASSERT_TRUE(store_->Advise(EntryId(), kAllEvents, barrier).ok());
  ASSERT_EQ(store_->Unadvise(*connection), S_OK);
  EXPECT_EQ(store_->Unadvise(*connection), MAPI_E_NOT_FOUND);
  dir_.Deliver("", "new", "8.H.host", TempMaildir::Message("after"));
  ASSERT_TRUE(barrier->WaitFor(fnevNewMail));
  EXPECT_TRUE(gone->Received().empty());
}

// A sink that drops the last reference to the store from inside OnNotify.
class ReleasingSink : public AdviseSink {
 public:
  HRESULT OnNotify(std::span<const Notification>) override {
    std::shared_ptr<MsgStore> last;
    {
      std::lock_guard<std::mutex> lock(mutex);
      last = std::move(store);
    }
    last.reset();  // the store, its watcher and its thread state go now
    done.Set();
    return S_OK;
  }
  std::mutex mutex;
  std::shared_ptr<MsgStore> store;
  platform::AutoResetEvent done;
};

TEST_F(MaildirWatcherTest, ASinkMayReleaseTheStore) {
  auto sink = std::make_shared<ReleasingSink>();
  ASSERT_TRUE(store_->Advise(EntryId(), fnevNewMail, sink).ok());
  {
    std::lock_guard<std::mutex> lock(sink->mutex);
    sink->store = std::move(store_);
  }
  dir_.Deliver("", "new", "9.I.host", TempMaildir::Message("last"));
  EXPECT_TRUE(sink->done.Wait(kWaitMs));
}

}  // namespace
}  // namespace quorvel::mapi
