// A Maildir folder's contents table reads a message file only for a row that asks for
// more than the message's ids, and reads a large folder a batch at a time while other
// programs change it: nothing twice, nothing that stayed left out.
#include "mapi/maildir/maildir_contents.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "mapi/folder.h"
#include "mapi/maildir/maildir_names.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/test_maildir.h"
#include "mapi/message.h"
#include "mapi/queries.h"
#include "mapi/restriction.h"
#include "platform/memory_file_system.h"

namespace quorvel::mapi {
namespace {

constexpr const char* kRoot = "/mail";

class MaildirContentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* sub : {"cur", "new", "tmp"}) {
      ASSERT_TRUE(files_.CreateFolders(std::string(kRoot) + "/" + sub).ok());
    }
    for (int i = 0; i < 3; ++i) {
      files_.PutFile(std::string(kRoot) + "/cur/10" + std::to_string(i) + ".A.host:2,S",
                     "From: a@example.org\nSubject: s" + std::to_string(i) + "\n\nbody\n");
    }
    files_.SetFault([this](platform::MemoryFileSystem::Call call, const std::string& path) {
      if (call == platform::MemoryFileSystem::Call::kRead && path.find("/cur/") != path.npos) {
        ++reads_;
        std::lock_guard<std::mutex> lock(readMutex_);
        readFiles_.insert(path);
      }
      return 0;
    });
    MaildirOptions options;
    options.watch = false;
    options.files = &files_;
    store_ = *OpenMaildirStore(kRoot, options);
    auto opened = store_->OpenEntry(MaildirFolderId(testing::StoreKeyOf(*store_), ""), 0);
    inbox_ = opened->As<Folder>();
  }

  std::set<std::string> ReadFiles() {
    std::lock_guard<std::mutex> lock(readMutex_);
    return readFiles_;
  }
  void ClearReadFiles() {
    std::lock_guard<std::mutex> lock(readMutex_);
    readFiles_.clear();
  }

  platform::MemoryFileSystem files_;
  std::atomic<int> reads_{0};
  std::mutex readMutex_;  // guards readFiles_
  std::set<std::string> readFiles_;
  std::shared_ptr<MsgStore> store_;
  std::shared_ptr<Folder> inbox_;
};

TEST_F(MaildirContentsTest, IdsAloneReadNoMessageFile) {
  auto table = *inbox_->GetContentsTable(0);
  const PropTag ids[] = {PR_ENTRYID, PR_PARENT_ENTRYID, PR_OBJECT_TYPE};
  ASSERT_EQ(table->SetColumns(ids, 0), S_OK);
  EXPECT_EQ(*table->GetRowCount(0), 3u);
  auto first = table->QueryRows(2, 0);
  auto rest = table->QueryRows(2, 0);
  ASSERT_TRUE(first.ok() && rest.ok());
  ASSERT_EQ(first->size(), 2u);
  ASSERT_EQ(rest->size(), 1u);
  EXPECT_TRUE(GetEntryId((*first)[0], PR_ENTRYID).present());
  EXPECT_EQ(GetEntryId((*rest)[0], PR_PARENT_ENTRYID),
            MaildirFolderId(testing::StoreKeyOf(*store_), ""));
  EXPECT_TRUE(table->QueryRows(2, 0)->empty());
  // Read whole from the first row again, as a scan of the folder's ids does.
  auto all = HrQueryAllRows(*table, ids, std::nullopt);
  ASSERT_TRUE(all.ok());
  EXPECT_EQ(all->size(), 3u);
  EXPECT_EQ(reads_.load(), 0);
  // The same message opens by the id the row gave.
  auto opened = store_->OpenEntry(GetEntryId((*rest)[0], PR_ENTRYID), MAPI_BEST_ACCESS);
  ASSERT_TRUE(opened.ok());
  auto subject = HrGetOneProp(*opened->As<Message>(), PR_SUBJECT);
  ASSERT_TRUE(subject.ok() && subject->AsString8());
  EXPECT_EQ(*subject->AsString8(), "s2");
}

TEST_F(MaildirContentsTest, OtherColumnsAndRestrictionsReadWholeRowsWhereTheCursorIs) {
  auto table = *inbox_->GetContentsTable(0);
  const PropTag ids[] = {PR_ENTRYID};
  ASSERT_EQ(table->SetColumns(ids, 0), S_OK);
  ASSERT_EQ(table->QueryRows(1, 0)->size(), 1u);
  const PropTag subjects[] = {PR_SUBJECT};
  ASSERT_EQ(table->SetColumns(subjects, 0), S_OK);
  auto rows = table->QueryRows(10, 0);
  ASSERT_TRUE(rows.ok());
  ASSERT_EQ(rows->size(), 2u);  // the cursor stays past the row read
  EXPECT_EQ(GetString8((*rows)[0], PR_SUBJECT), "s1");
  EXPECT_GT(reads_.load(), 0);

  auto restricted = *inbox_->GetContentsTable(0);
  auto one = Restriction::Property(RELOP_EQ, PropValue::String8(PR_SUBJECT, "s0"));
  ASSERT_EQ(restricted->Restrict(one, 0), S_OK);
  EXPECT_EQ(*restricted->GetRowCount(0), 1u);
  auto found = HrQueryAllRows(*restricted, subjects, std::nullopt);
  ASSERT_TRUE(found.ok());
  ASSERT_EQ(found->size(), 1u);
  EXPECT_EQ(GetString8((*found)[0], PR_SUBJECT), "s0");
  ASSERT_EQ(restricted->Restrict(std::nullopt, 0), S_OK);
  EXPECT_EQ(*restricted->GetRowCount(0), 3u);
}

TEST_F(MaildirContentsTest, RestrictionsOnTheFlagsTheNamesGiveReadNoFile) {
  // Beside the three read messages: new mail, a message seen as unread, a draft.
  files_.PutFile(std::string(kRoot) + "/new/200.A.host", "Subject: n\n\nbody\n");
  files_.PutFile(std::string(kRoot) + "/cur/201.A.host:2,", "Subject: u\n\nbody\n");
  files_.PutFile(std::string(kRoot) + "/cur/202.A.host:2,DS", "Subject: d\n\nbody\n");
  const auto unread =
      Restriction::Bitmask(BMR_EQZ, PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_ASSOCIATED);
  const auto draft = Restriction::Bitmask(BMR_NEZ, PR_MESSAGE_FLAGS, MSGFLAG_UNSENT);
  struct Case {
    const char* name;
    Restriction restriction;
    std::vector<std::string> subjects;
  };
  const Case cases[] = {
      {"unread", unread, {"n", "u"}},
      {"drafts", draft, {"d"}},
      {"read and no draft",
       Restriction::And({Restriction::Not(unread), Restriction::Not(draft)}),
       {"s0", "s1", "s2"}},
      {"unread or draft", Restriction::Or({unread, draft}), {"n", "u", "d"}},
  };
  // A bit the name does not decide (an attachment) needs the files.
  {
    auto table = *inbox_->GetContentsTable(0);
    ASSERT_EQ(
        table->Restrict(Restriction::Bitmask(BMR_EQZ, PR_MESSAGE_FLAGS, MSGFLAG_HASATTACH), 0),
        S_OK);
    EXPECT_EQ(*table->GetRowCount(0), 6u);
    EXPECT_FALSE(ReadFiles().empty());
  }
  const PropTag ids[] = {PR_ENTRYID};
  const PropTag subjects[] = {PR_SUBJECT};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto table = *inbox_->GetContentsTable(0);
    ASSERT_EQ(table->SetColumns(ids, 0), S_OK);
    ClearReadFiles();
    ASSERT_EQ(table->Restrict(c.restriction, 0), S_OK);
    EXPECT_EQ(*table->GetRowCount(0), c.subjects.size());
    auto rows = table->QueryRows(10, 0);
    ASSERT_TRUE(rows.ok());
    EXPECT_TRUE(ReadFiles().empty());
    ASSERT_EQ(rows->size(), c.subjects.size());
    // The rows are the ones a reading of whole rows finds.
    ASSERT_EQ(table->SetColumns(subjects, 0), S_OK);
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0).hr, S_OK);
    std::multiset<std::string> found;
    auto all = table->QueryRows(10, 0);
    ASSERT_TRUE(all.ok());
    for (const Row& row : *all) found.insert(GetString8(row, PR_SUBJECT));
    EXPECT_EQ(found, std::multiset<std::string>(c.subjects.begin(), c.subjects.end()));
    // Without the restriction, the whole folder again.
    ASSERT_EQ(table->Restrict(std::nullopt, 0), S_OK);
    EXPECT_EQ(*table->GetRowCount(0), 6u);
  }
}

TEST_F(MaildirContentsTest, SeekingReadsNoFileAndAPageReadsOnlyItsOwnFiles) {
  auto table = *inbox_->GetContentsTable(0);
  const PropTag subjects[] = {PR_ENTRYID, PR_SUBJECT};
  ASSERT_EQ(table->SetColumns(subjects, 0), S_OK);
  struct Case {
    Bookmark origin;
    std::int32_t rows;
    std::int32_t moved;
    std::vector<std::string> then;  // the subjects of the next two rows
  };
  const Case cases[] = {
      {BOOKMARK_BEGINNING, 2, 2, {"s2"}}, {BOOKMARK_END, -1, -1, {"s2"}},
      {BOOKMARK_BEGINNING, 9, 3, {}},     {BOOKMARK_END, -9, -3, {"s0", "s1"}},
      {BOOKMARK_CURRENT, -1, -1, {"s1"}},  // from row 2, where the last case left it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.origin) + " " + std::to_string(c.rows));
    ClearReadFiles();
    auto moved = table->SeekRow(c.origin, c.rows);
    ASSERT_TRUE(moved.ok());
    EXPECT_EQ(*moved, c.moved);
    EXPECT_TRUE(ReadFiles().empty());
    const auto want = static_cast<std::int32_t>(std::max<std::size_t>(c.then.size(), 1));
    auto rows = table->QueryRows(want, c.then.size() == 2 ? 0 : TBL_NOADVANCE);
    ASSERT_TRUE(rows.ok());
    ASSERT_EQ(rows->size(), c.then.size());
    for (std::size_t i = 0; i < c.then.size(); ++i) {
      EXPECT_EQ(GetString8((*rows)[i], PR_SUBJECT), c.then[i]);
    }
    EXPECT_LE(ReadFiles().size(), c.then.size());  // summaries read before are kept
  }
  EXPECT_EQ(table->SeekRow(Bookmark{7}, 0).hr, MAPI_E_INVALID_PARAMETER);
}

TEST_F(MaildirContentsTest, AFileGoneAfterTheListingIsLeftOutOfThePage) {
  auto table = *inbox_->GetContentsTable(0);
  ASSERT_TRUE(files_.Remove(std::string(kRoot) + "/cur/101.A.host:2,S").ok());
  const PropTag subjects[] = {PR_SUBJECT};
  ASSERT_EQ(table->SetColumns(subjects, 0), S_OK);
  auto rows = table->QueryRows(2, 0);
  ASSERT_TRUE(rows.ok());
  ASSERT_EQ(rows->size(), 2u);
  EXPECT_EQ(GetString8((*rows)[0], PR_SUBJECT), "s0");
  EXPECT_EQ(GetString8((*rows)[1], PR_SUBJECT), "s2");
  EXPECT_TRUE(table->QueryRows(2, 0)->empty());
}

// --- A large folder, read in batches ---

// "17000<n, five digits>.M.host": unique parts that sort as their numbers.
std::string Unique(int n) {
  char name[32];
  std::snprintf(name, sizeof name, "17000%05d.M.host", n);
  return name;
}

class LargeFolderTest : public ::testing::Test {
 protected:
  static constexpr int kMessages = 2 * static_cast<int>(MaildirContentsTable::kListBatch) + 300;

  void SetUp() override {
    for (const char* folder : {"", "/.Spam"}) {
      for (const char* sub : {"cur", "new", "tmp"}) {
        ASSERT_TRUE(files_.CreateFolders(std::string(kRoot) + folder + "/" + sub).ok());
      }
    }
    // Every third message is new mail, the others read.
    for (int n = 0; n < kMessages; ++n) files_.PutFile(PathOf(n), "Subject: m\n\nbody\n");
    files_.SetFault([this](platform::MemoryFileSystem::Call call, const std::string&) {
      if (call == platform::MemoryFileSystem::Call::kList) ++lists_;
      return 0;
    });
    MaildirOptions options;
    options.watch = false;
    options.files = &files_;
    store_ = *OpenMaildirStore(kRoot, options);
    key_ = testing::StoreKeyOf(*store_);
    inbox_ = Folder("");
  }
  std::shared_ptr<mapi::Folder> Folder(const std::string& path) {
    return store_->OpenEntry(MaildirFolderId(key_, path), 0)->As<mapi::Folder>();
  }
  static std::string PathOf(int n) {
    return std::string(kRoot) + (n % 3 == 0 ? "/new/" + Unique(n) : "/cur/" + Unique(n) + ":2,S");
  }
  // The unique parts of the rows of the next QueryRows(count).
  std::vector<std::string> Next(Table& table, int count, std::uint32_t flags = 0) {
    std::vector<std::string> uniques;
    auto rows = table.QueryRows(count, flags);
    EXPECT_TRUE(rows.ok());
    for (const Row& row : *rows) {
      auto id = DecodeMaildirId(GetEntryId(row, PR_ENTRYID).bytes());
      EXPECT_TRUE(id.has_value());
      if (id) uniques.push_back(id->unique);
    }
    return uniques;
  }

  platform::MemoryFileSystem files_;
  std::atomic<int> lists_{0};
  std::shared_ptr<MsgStore> store_;
  StoreKey key_ = 0;
  std::shared_ptr<mapi::Folder> inbox_;
};

TEST_F(LargeFolderTest, ChangesWhileTheTableIsReadNeitherRepeatNorLoseAMessage) {
  auto table = *inbox_->GetContentsTable(0);
  const PropTag ids[] = {PR_ENTRYID};
  ASSERT_EQ(table->SetColumns(ids, 0), S_OK);
  EXPECT_EQ(*table->GetRowCount(0), static_cast<std::uint32_t>(kMessages));

  std::map<std::string, int> seen;            // unique part -> times given
  std::set<std::string> mustSee, mustNotSee;  // by what happened to them meanwhile
  for (int n = 0; n < kMessages; ++n) mustSee.insert(Unique(n));
  std::set<int> touched;
  int added = 0;
  for (;;) {
    const std::vector<std::string> rows = Next(*table, 100);
    if (rows.empty()) break;
    for (const std::string& unique : rows) ++seen[unique];
    const int at = std::stoi(rows.back().substr(5, 5));  // the last message given
    // Another client works on the folder between two reads, on messages behind the
    // cursor and ahead of it, across the batches the table lists: each message at most
    // once, what is done chosen by its number.
    for (int n : {at - 50, at + 1, at + 700, at + 1500}) {
      if (n < 0 || n >= kMessages || !touched.insert(n).second) continue;
      switch (n % 4) {
        case 0:  // new mail read (new/ to cur/), or read mail flagged: renamed
          ASSERT_TRUE(files_
                          .Rename(PathOf(n), n % 3 == 0
                                                 ? std::string(kRoot) + "/cur/" + Unique(n) + ":2,S"
                                                 : PathOf(n) + "F")
                          .ok());
          break;
        case 1:  // deleted: if not given yet, it must not come
          ASSERT_TRUE(files_.Remove(PathOf(n)).ok());
          mustSee.erase(Unique(n));
          if (n > at) mustNotSee.insert(Unique(n));
          break;
        case 2:  // a stale copy left in new/ beside the cur/ file
          if (n % 3 != 0)
            files_.PutFile(std::string(kRoot) + "/new/" + Unique(n), "Subject: m\n\n");
          break;
        default:
          break;
      }
    }
    // New mail while the first messages are read: one sorting after everything (to be
    // given), one before the cursor (not).
    if (at >= kMessages) continue;
    const int late = kMessages + ++added;
    files_.PutFile(std::string(kRoot) + "/new/" + Unique(late), "Subject: new\n\nbody\n");
    mustSee.insert(Unique(late));
    files_.PutFile(std::string(kRoot) + "/new/" + Unique(at).substr(0, 10) + ".A.early",
                   "Subject: early\n\nbody\n");
    mustNotSee.insert(Unique(at).substr(0, 10) + ".A.early");
  }
  for (const auto& [unique, times] : seen) EXPECT_EQ(times, 1) << unique;
  for (const std::string& unique : mustSee) EXPECT_EQ(seen.count(unique), 1u) << unique;
  for (const std::string& unique : mustNotSee) EXPECT_EQ(seen.count(unique), 0u) << unique;
  EXPECT_GT(added, 20);
}

// Reads every row in QueryRows of 100; how many rows came.
std::size_t ReadToTheEnd(Table& table) {
  std::size_t rows = 0;
  for (;;) {
    auto batch = table.QueryRows(100, 0);
    if (!batch.ok() || batch->empty()) return rows;
    rows += batch->size();
  }
}

TEST_F(LargeFolderTest, AFirstPageWithItsCountListsTheFolderOnceAndAWholeReadStillGoesInBatches) {
  const PropTag ids[] = {PR_ENTRYID};
  auto open = [&] {
    auto table = *inbox_->GetContentsTable(0);
    EXPECT_EQ(table->SetColumns(ids, 0), S_OK);
    return table;
  };
  // One listing of the folder is one list of new/ and one of cur/.
  constexpr int kPass = 2;
  // The top of the folder with its count, as a window asks it: one listing.
  auto page = open();
  EXPECT_EQ(*page->GetRowCount(0), static_cast<std::uint32_t>(kMessages));
  std::vector<std::string> top = Next(*page, 100);
  ASSERT_EQ(top.size(), 100u);
  EXPECT_EQ(top.front(), Unique(0));
  EXPECT_EQ(top.back(), Unique(99));
  EXPECT_EQ(lists_.load(), kPass);
  // Its refresh: one listing again (these folders have no time of change, so the kept
  // listing is never taken as still valid: maildir_pages_test.cpp has that case).
  auto refresh = open();
  EXPECT_EQ(*refresh->GetRowCount(0), static_cast<std::uint32_t>(kMessages));
  EXPECT_EQ(Next(*refresh, 100), top);
  EXPECT_EQ(lists_.load(), 2 * kPass);
  page.reset();
  refresh.reset();

  // Read whole without a count: a listing for each batch, one that finds the end
  // during the last QueryRows and one for the QueryRows that then gives nothing.
  lists_ = 0;
  auto whole = open();
  EXPECT_EQ(ReadToTheEnd(*whole), static_cast<std::size_t>(kMessages));
  constexpr int kBatches = (kMessages + MaildirContentsTable::kListBatch - 1) /
                           static_cast<int>(MaildirContentsTable::kListBatch);
  EXPECT_EQ(lists_.load(), (kBatches + 2) * kPass);

  // With a count first (a check's progress): the count's listing gives the first batch
  // (no more listings than without the count), then the table reads in batches and
  // holds the listing no more, so another table's count lists the folder again.
  lists_ = 0;
  auto counted = open();
  EXPECT_EQ(*counted->GetRowCount(0), static_cast<std::uint32_t>(kMessages));
  EXPECT_EQ(ReadToTheEnd(*counted), static_cast<std::size_t>(kMessages));
  EXPECT_EQ(lists_.load(), (kBatches + 2) * kPass);
  lists_ = 0;
  EXPECT_EQ(*open()->GetRowCount(0), static_cast<std::uint32_t>(kMessages));
  EXPECT_EQ(lists_.load(), kPass);
}

TEST_F(LargeFolderTest, APeekAndASnapshotGoOnFromWhereTheReadingIs) {
  auto table = *inbox_->GetContentsTable(0);
  const PropTag ids[] = {PR_ENTRYID};
  ASSERT_EQ(table->SetColumns(ids, 0), S_OK);
  ASSERT_EQ(Next(*table, 1000).size(), 1000u);
  // Across the end of the first listing, without moving on.
  const std::vector<std::string> peeked = Next(*table, 50, TBL_NOADVANCE);
  ASSERT_EQ(peeked.size(), 50u);
  EXPECT_EQ(peeked.front(), Unique(1000));
  EXPECT_EQ(Next(*table, 50), peeked);
  // Whole rows from here on: the snapshot starts after the rows given.
  const PropTag both[] = {PR_ENTRYID, PR_SUBJECT};
  ASSERT_EQ(table->SetColumns(both, 0), S_OK);
  EXPECT_EQ(Next(*table, 1).front(), Unique(1050));
  ASSERT_EQ(*table->SeekRow(BOOKMARK_BEGINNING, 0), 0);
  EXPECT_EQ(Next(*table, 2), (std::vector<std::string>{Unique(0), Unique(1)}));
  EXPECT_EQ(*table->GetRowCount(0), static_cast<std::uint32_t>(kMessages));
}

TEST_F(LargeFolderTest, APageFromASeekFindsItsMessagesWithoutReadingTheFolderAgain) {
  auto table = *inbox_->GetContentsTable(0);
  ASSERT_EQ(table->SetColumns(std::vector<PropTag>{PR_ENTRYID}, 0), S_OK);
  ASSERT_TRUE(table->SeekRow(BOOKMARK_BEGINNING, kMessages / 2).ok());
  auto rows = table->QueryRows(100, 0);
  ASSERT_TRUE(rows.ok());
  ASSERT_EQ(rows->size(), 100u);
  lists_ = 0;
  // As a window names each row's message by its file.
  for (const Row& row : *rows)
    EXPECT_NE(MaildirMessagePath(*store_, GetEntryId(row, PR_ENTRYID)), "");
  EXPECT_EQ(lists_.load(), 0);
}

TEST_F(LargeFolderTest, MovingManyMessagesReadsTheFolderOncePerBatchNotPerMessage) {
  // The ids a reader collected while the index filled with the rest of the folder.
  auto table = *inbox_->GetContentsTable(0);
  auto rows = HrQueryAllRows(*table, std::vector<PropTag>{PR_ENTRYID}, std::nullopt);
  ASSERT_TRUE(rows.ok());
  std::vector<EntryId> every;
  for (const Row& row : *rows) every.push_back(GetEntryId(row, PR_ENTRYID));
  ASSERT_EQ(every.size(), static_cast<std::size_t>(kMessages));
  std::vector<EntryId> odd;
  for (std::size_t i = 1; i < every.size(); i += 2) odd.push_back(every[i]);

  lists_ = 0;
  ASSERT_EQ(inbox_->CopyMessages(odd, *Folder("Spam"), MESSAGE_MOVE), S_OK);
  EXPECT_LT(lists_.load(), 20);  // new/ and cur/ once for each thousand, not each message
  std::size_t inInbox = 0;
  std::size_t inSpam = 0;
  for (const char* dir : {"/new", "/cur"}) {
    std::vector<platform::FolderEntry> entries;
    files_.ListFolder(std::string(kRoot) + dir, &entries);
    inInbox += entries.size();
    files_.ListFolder(std::string(kRoot) + "/.Spam" + dir, &entries);
    inSpam += entries.size();
  }
  EXPECT_EQ(inSpam, odd.size());
  EXPECT_EQ(inInbox + inSpam, static_cast<std::size_t>(kMessages));
}

TEST_F(LargeFolderTest, ReadingAnotherLargeFolderKeepsWhereThisOnesMessagesAre) {
  // A check goes through the Inbox while the spam folder, larger than the index holds,
  // is scanned: the check's messages are still found without reading the Inbox again.
  for (int n = 0; n < 9000; ++n) {
    files_.PutFile(std::string(kRoot) + "/.Spam/cur/" + Unique(50000 + n) + ":2,S",
                   "Subject: s\n\n");
  }
  auto table = *inbox_->GetContentsTable(0);
  ASSERT_EQ(table->SetColumns(std::vector<PropTag>{PR_ENTRYID}, 0), S_OK);
  auto batch = table->QueryRows(100, 0);
  ASSERT_TRUE(batch.ok());
  auto spam = HrQueryAllRows(**Folder("Spam")->GetContentsTable(0),
                             std::vector<PropTag>{PR_ENTRYID}, std::nullopt);
  ASSERT_TRUE(spam.ok());
  ASSERT_EQ(spam->size(), 9000u);

  lists_ = 0;
  for (const Row& row : *batch) {
    EXPECT_TRUE(store_->OpenEntry(GetEntryId(row, PR_ENTRYID), 0).ok());
  }
  EXPECT_EQ(lists_.load(), 0);
}

}  // namespace
}  // namespace quorvel::mapi
