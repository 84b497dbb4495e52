// A Maildir folder's contents table reads a message file only for a row that asks for
// more than the message's ids.
#include "mapi/maildir/maildir_contents.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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

}  // namespace
}  // namespace quorvel::mapi
