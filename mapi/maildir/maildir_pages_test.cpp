// Pages of a large Maildir folder, each read by a new contents table while the table
// of the page before is kept (as a window pages through its folder): the folder is
// listed once while new/ and cur/ stay as they were, and a message delivered or
// deleted between two pages shows in the next, nothing repeated.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "mapi/folder.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/test_maildir.h"
#include "mapi/queries.h"

namespace quorvel::mapi {
namespace {

constexpr int kMessages = 60;

class MaildirPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int n = 0; n < kMessages; ++n) {
      maildir_.Deliver("", "cur", Unique(n) + ":2,S", testing::TempMaildir::Message("m"));
    }
    SetTimes(kHourAgo);
    store_ = *OpenMaildirStore(maildir_.root(), testing::UnwatchedOptions());
    auto opened = store_->OpenEntry(MaildirFolderId(testing::StoreKeyOf(*store_), ""), 0);
    inbox_ = opened->As<Folder>();
  }

  static std::string Unique(int n) {
    char unique[32];
    std::snprintf(unique, sizeof unique, "1700000000.M%04d.host", n);
    return unique;
  }
  // Gives new/ and cur/ `when` as the time they last changed.
  void SetTimes(std::time_t when) {
    for (const char* sub : {"/new", "/cur"}) {
      const struct timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
      ASSERT_EQ(::utimensat(AT_FDCWD, (maildir_.root() + sub).c_str(), times, 0), 0);
    }
  }
  // A page read by a new table, which `kept` then holds; the unique parts of its rows.
  std::vector<std::string> Page(std::int32_t first, std::int32_t count,
                                std::shared_ptr<Table>* kept, std::uint32_t* total) {
    auto table = *inbox_->GetContentsTable(0);
    const PropTag columns[] = {PR_ENTRYID, PR_SUBJECT};
    EXPECT_EQ(table->SetColumns(columns, 0), S_OK);
    EXPECT_TRUE(table->SeekRow(BOOKMARK_BEGINNING, first).ok());
    *total = *table->GetRowCount(0);
    std::vector<std::string> uniques;
    auto rows = table->QueryRows(count, 0);
    EXPECT_TRUE(rows.ok());
    for (const Row& row : *rows) {
      uniques.push_back(DecodeMaildirId(GetEntryId(row, PR_ENTRYID).bytes())->unique);
    }
    *kept = table;
    return uniques;
  }

  const std::time_t kHourAgo = std::time(nullptr) - 3600;
  testing::TempMaildir maildir_;
  std::shared_ptr<MsgStore> store_;
  std::shared_ptr<Folder> inbox_;
};

TEST_F(MaildirPagesTest, AKeptListingIsGivenAgainOnlyWhileTheFolderIsUnchanged) {
  std::shared_ptr<Table> kept;
  std::uint32_t total = 0;
  // A page from the first row with its count lists the folder and reads its rows from
  // that listing, which the table keeps.
  EXPECT_EQ(Page(0, 10, &kept, &total).front(), Unique(0));
  EXPECT_EQ(total, static_cast<std::uint32_t>(kMessages));

  // A file slipped in with the folders' times put back is not seen: the listing of
  // the kept table was given again, not made anew, to the first page as to a seek.
  maildir_.Deliver("", "cur", "1600000000.M0.host:2,S", testing::TempMaildir::Message("x"));
  SetTimes(kHourAgo);
  EXPECT_EQ(Page(0, 1, &kept, &total).front(), Unique(0));
  EXPECT_EQ(total, static_cast<std::uint32_t>(kMessages));
  EXPECT_EQ(Page(1, 1, &kept, &total).front(), Unique(1));
  EXPECT_EQ(total, static_cast<std::uint32_t>(kMessages));

  // With no table kept, the folder is listed again.
  kept.reset();
  EXPECT_EQ(Page(0, 1, &kept, &total).front(), "1600000000.M0.host");
  EXPECT_EQ(total, static_cast<std::uint32_t>(kMessages + 1));
}

TEST_F(MaildirPagesTest, MailDeliveredOrDeletedBetweenPagesShowsInTheNext) {
  std::shared_ptr<Table> kept;
  std::uint32_t total = 0;
  std::vector<std::string> seen = Page(0, 20, &kept, &total);
  // Delivered: one sorting before the pages read, one among those to come.
  maildir_.Deliver("", "new", "1600000000.M0.host", testing::TempMaildir::Message("early"));
  maildir_.Deliver("", "new", Unique(30) + "x", testing::TempMaildir::Message("between"));
  // Deleted: one among the pages to come.
  ASSERT_EQ(std::remove((maildir_.root() + "/cur/" + Unique(40) + ":2,S").c_str()), 0);
  SetTimes(kHourAgo - 3600);  // changed, if to a time long past
  std::vector<std::string> next = Page(20, 100, &kept, &total);
  EXPECT_EQ(total, static_cast<std::uint32_t>(kMessages + 1));
  // The early one moved every row one on: the first row of this page came last before.
  EXPECT_EQ(next.front(), seen.back());
  const std::set<std::string> rest(next.begin(), next.end());
  EXPECT_EQ(rest.size(), next.size());  // nothing twice
  EXPECT_TRUE(rest.count(Unique(30) + "x"));
  EXPECT_FALSE(rest.count(Unique(40)));
  EXPECT_EQ(next.back(), Unique(kMessages - 1));
}

}  // namespace
}  // namespace quorvel::mapi
