#include "bayes/mailbase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "bayes/mailbase_seed.h"
#include "bayes/test_bytes.h"

namespace quorvel {
namespace {

using testing_bytes::ReadFile;
using testing_bytes::TempFolder;
using testing_bytes::WriteFile;

// A data folder with a table of the user's own and no counts beside it, and a module
// folder with the shipped files, as an installation has them.
class LoneTableTest : public ::testing::Test {
 protected:
  LoneTableTest() {
    std::filesystem::create_directories(module());
    std::filesystem::create_directories(data());
    // The shipped mail base knows "casino" as junk; the user's table knows "invoice".
    MakeMailbase(module(), u"casino casino roulette jackpot", u"agenda meeting minutes");
    std::filesystem::copy_file(module() + "Bayes.raw", module() + "Bayes.raw.initial");
    const std::string own = dir_.path() + "/own/";
    std::filesystem::create_directories(own);
    MakeMailbase(own, u"invoice overdue invoice payment", u"family dinner weekend");
    userTable_ = ReadFile(own + "Bayes.db");
    WriteFile(data() + "Bayes.db", userTable_);
  }

  // Writes "Bayes.raw" and "Bayes.db" of five junk and five good messages.
  void MakeMailbase(const std::string& folder, std::u16string_view junk, std::u16string_view good) {
    platform::ScriptedMessageBoxes boxes;
    Mailbase mailbase(boxes, folder, folder);
    mailbase.store().StartFresh();
    for (int i = 0; i < 5; ++i) {
      mailbase.store().Learn(junk, u"", true, 1, true);
      mailbase.store().Learn(good, u"", false, 1, true);
    }
    mailbase.store().Rebuild();
  }

  std::string module() const { return dir_.path() + "/module/"; }
  std::string data() const { return dir_.path() + "/data/"; }

  TempFolder dir_;
  platform::ScriptedMessageBoxes boxes_;
  std::string userTable_;
};

// A user's Bayes.db without Bayes.raw got the shipped Bayes.raw copied in and the table
// compiled over from it, with "could not be loaded" although it loaded.
TEST_F(LoneTableTest, LoneTableThatLoadsIsUsedAsItIsAndNothingIsWrittenByReading) {
  {
    Mailbase mailbase(boxes_);
    std::string error;
    ASSERT_TRUE(OpenUserMailbase(mailbase, data(), module(), &error)) << error;
    const JudgingReadiness readiness = mailbase.PrepareForJudging();
    EXPECT_TRUE(readiness.usable);
    EXPECT_EQ(readiness.note, "");
    EXPECT_TRUE(mailbase.table().Probability(u"invoice").has_value());
    EXPECT_FALSE(mailbase.table().Probability(u"roulette").has_value());
    EXPECT_FALSE(mailbase.store().loaded());  // judging needs no counts
  }
  EXPECT_EQ(ReadFile(data() + "Bayes.db"), userTable_);
  EXPECT_FALSE(std::filesystem::exists(data() + "Bayes.raw"));
  EXPECT_FALSE(std::filesystem::exists(data() + "Bayes.raw.bak"));
  EXPECT_FALSE(std::filesystem::exists(data() + "Bayes.db.bak"));
  EXPECT_TRUE(boxes_.shown().empty());
}

// Learning needs counts: they start from the shipped ones, and whatever saves them
// first (the rebuild, or the save when the mail base closes) writes their table with
// them and keeps the user's table as Bayes.db.bak. Saving only the counts would make
// them the partner of a table they were never compiled into, and the next start would
// compile that table over without a backup.
TEST_F(LoneTableTest, FirstSaveAfterLearningKeepsTheLoneTableAsItsBackup) {
  for (const bool byRebuild : {true, false}) {
    SCOPED_TRACE(byRebuild ? "rebuild" : "closing");
    std::filesystem::remove(data() + "Bayes.raw");
    std::filesystem::remove(data() + "Bayes.raw.bak");
    std::filesystem::remove(data() + "Bayes.db.bak");
    WriteFile(data() + "Bayes.db", userTable_);
    {
      Mailbase mailbase(boxes_);
      ASSERT_TRUE(OpenUserMailbase(mailbase, data(), module()));
      ASSERT_TRUE(mailbase.PrepareForJudging().usable);
      mailbase.store().Learn(u"lottery winner lottery claim", u"", true, kMarkingWeight, true);
      EXPECT_EQ(mailbase.store().loadedFrom(), LoadSource::kSeed);
      EXPECT_EQ(mailbase.store().MainPair().junk().Count(u"casino"), 10);
      EXPECT_EQ(ReadFile(data() + "Bayes.db"), userTable_);  // learning writes nothing
      if (byRebuild) mailbase.store().Rebuild();
    }
    EXPECT_EQ(ReadFile(data() + "Bayes.db.bak"), userTable_);
    ASSERT_TRUE(std::filesystem::exists(data() + "Bayes.raw"));

    // The next start loads the new pair as it stands: nothing compiled again.
    Mailbase again(boxes_, data(), module());
    const JudgingReadiness readiness = again.PrepareForJudging();
    EXPECT_TRUE(readiness.usable);
    EXPECT_EQ(readiness.note, "");
    EXPECT_TRUE(again.table().Probability(u"lottery").has_value());
    EXPECT_TRUE(again.table().Probability(u"casino").has_value());
    ASSERT_TRUE(again.store().EnsureLoaded());
    EXPECT_EQ(again.store().loadedFrom(), LoadSource::kRaw);
    EXPECT_EQ(again.store().MainPair().junk().Count(u"lottery"), 10);
  }
  EXPECT_TRUE(boxes_.shown().empty());
}

// An empty data folder still gets the shipped pair.
TEST_F(LoneTableTest, EmptyDataFolderGetsTheShippedPair) {
  std::filesystem::remove(data() + "Bayes.db");
  ASSERT_TRUE(BringMailbaseFiles(data(), module()));
  EXPECT_EQ(ReadFile(data() + "Bayes.raw"), ReadFile(module() + "Bayes.raw"));
  EXPECT_EQ(ReadFile(data() + "Bayes.db"), ReadFile(module() + "Bayes.db"));
  // A table's backup alone is the user's too: no shipped counts beside it.
  const std::string other = dir_.path() + "/other/";
  std::filesystem::create_directories(other);
  WriteFile(other + "Bayes.db.bak", userTable_);
  ASSERT_TRUE(BringMailbaseFiles(other, module()));
  EXPECT_FALSE(std::filesystem::exists(other + "Bayes.raw"));
}

TEST_F(LoneTableTest, UnusableMailBaseSaysWhetherTheShippedFilesAreThere) {
  WriteFile(data() + "Bayes.db", "damaged");
  {
    Mailbase mailbase(boxes_, data(), module());
    const JudgingReadiness readiness = mailbase.PrepareForJudging();
    EXPECT_FALSE(readiness.usable);
    EXPECT_NE(readiness.note.find("the shipped one is copied again"), std::string::npos)
        << readiness.note;
  }
  std::filesystem::remove(module() + "Bayes.raw");
  Mailbase mailbase(boxes_, data(), module());
  const JudgingReadiness readiness = mailbase.PrepareForJudging();
  EXPECT_FALSE(readiness.usable);
  EXPECT_EQ(readiness.note.find("copied again"), std::string::npos) << readiness.note;
  EXPECT_NE(
      readiness.note.find("the shipped mail base is missing too: \"" + module() + "Bayes.raw\")"),
      std::string::npos)
      << readiness.note;
  EXPECT_EQ(ReadFile(data() + "Bayes.db"), "damaged");
}

}  // namespace
}  // namespace quorvel
