#include "bayes/learned_counts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "bayes/mailbase.h"
#include "bayes/test_bytes.h"

namespace quorvel {
namespace {

using testing_bytes::ReadFile;
using testing_bytes::TempFolder;

// Two folders with the same mail base: one is marked and the marking taken back, the
// other never marked. Their files must end up the same, byte for byte.
class UnlearnTest : public ::testing::Test {
 protected:
  UnlearnTest() {
    for (const char* folder : {"/marked/", "/plain/"}) {
      std::filesystem::create_directories(dir_.path() + folder);
      platform::ScriptedMessageBoxes boxes;
      Mailbase base(boxes, dir_.path() + folder, dir_.path() + folder);
      base.store().StartFresh();
      for (int i = 0; i < 6; ++i) {
        base.store().Learn(u"casino jackpot winner casino", u"Win", true, 1, true);
        base.store().Learn(u"agenda for the meeting on monday", u"Meeting", false, 1, true);
      }
      base.store().Rebuild();
    }
  }
  std::string Bytes(const char* folder, const char* file) {
    return ReadFile(dir_.path() + folder + file);
  }

  TempFolder dir_;
  platform::ScriptedMessageBoxes boxes_;
};

TEST_F(UnlearnTest, MarkingTakenBackLeavesTheFilesAsIfItNeverHappened) {
  for (const bool rebuiltBetween : {true, false}) {
    SCOPED_TRACE(rebuiltBetween ? "rebuilt before the undo" : "undone while pending");
    Mailbase marked(boxes_, dir_.path() + "/marked/", dir_.path() + "/marked/");
    Mailbase plain(boxes_, dir_.path() + "/plain/", dir_.path() + "/plain/");
    // Something learned automatically before and after the marking, in both.
    for (Mailbase* base : {&marked, &plain}) {
      base->store().Learn(u"lunch on thursday", u"Lunch", false, 1, true);
    }
    LearnedCounts learned;
    marked.store().Learn(u"cheap pills today, new words only here", u"", true, kMarkingWeight, true,
                         &learned);
    marked.store().Learn(u"meeting agenda jackpot", u"Re: casino", true, kMarkingWeight, true,
                         &learned);
    EXPECT_EQ(learned.pair.junk().messageCount(), 2);
    EXPECT_EQ(learned.pair.junk().Count(u"pills"), kMarkingWeight);
    EXPECT_EQ(learned.balance, 2 * kMarkingWeight);
    if (rebuiltBetween) marked.store().Rebuild();
    for (Mailbase* base : {&marked, &plain}) {
      base->store().Learn(u"dinner on friday", u"Dinner", false, 1, true);
    }

    // Kept on disk in between, as the journal keeps it.
    LearnedCounts read;
    ASSERT_TRUE(ParseLearned(SerializeLearned(learned), &read));
    ASSERT_TRUE(marked.store().Unlearn(read));
    EXPECT_EQ(marked.store().MainPair().junk().Find(u"pills"), nullptr);  // gone, not 0
    marked.store().Rebuild();
    plain.store().Rebuild();
    EXPECT_EQ(Bytes("/marked/", "Bayes.raw"), Bytes("/plain/", "Bayes.raw"));
    EXPECT_EQ(Bytes("/marked/", "Bayes.db"), Bytes("/plain/", "Bayes.db"));
  }
}

TEST_F(UnlearnTest, CountsReplacedSinceAreNotTakenBackAtAll) {
  Mailbase base(boxes_, dir_.path() + "/marked/", dir_.path() + "/marked/");
  LearnedCounts learned;
  base.store().Learn(u"brand new words", u"", true, kMarkingWeight, true, &learned);
  base.store().Rebuild();
  // The wizard's scan or a new mail base replaced the counts.
  base.store().SetMainPair(CorpusPair());
  base.store().Rebuild();
  const CorpusPair main = base.store().MainPair();
  EXPECT_FALSE(base.store().Unlearn(learned));
  EXPECT_EQ(base.store().MainPair().TotalMessages(), main.TotalMessages());
  EXPECT_EQ(base.store().balance(), kMarkingWeight);
}

TEST(LearnedCountsTest, GoodLearningThatDidNotHappenRecordsNothing) {
  TempFolder dir;
  platform::ScriptedMessageBoxes boxes;
  Mailbase base(boxes, dir.path() + "/", dir.path() + "/");
  base.store().StartFresh();
  LearnedCounts learned;
  base.store().Learn(u"some good words", u"", false, kMarkingWeight, /*force=*/false, &learned);
  EXPECT_TRUE(learned.empty());
  base.store().Learn(u"some good words", u"", false, kMarkingWeight, /*force=*/true, &learned);
  EXPECT_EQ(learned.balance, -kMarkingWeight);
  EXPECT_EQ(learned.pair.good().Count(u"good"), kMarkingWeight);
}

TEST(LearnedCountsTest, DamagedFilesAreRefused) {
  LearnedCounts learned;
  learned.pair.junk().LearnText(u"one two three", 5);
  learned.balance = 5;
  const std::string bytes = SerializeLearned(learned);
  LearnedCounts read;
  ASSERT_TRUE(ParseLearned(bytes, &read));
  EXPECT_EQ(read.pair.junk().Count(u"two"), 5);
  EXPECT_EQ(read.balance, 5);
  for (std::size_t cut : {std::size_t{0}, std::size_t{3}, std::size_t{6}, bytes.size() - 1}) {
    EXPECT_FALSE(ParseLearned(bytes.substr(0, cut), &read)) << cut;
  }
  EXPECT_FALSE(ParseLearned("QVLX" + bytes.substr(4), &read));
  EXPECT_FALSE(ParseLearned(bytes + "x", &read));
}

}  // namespace
}  // namespace quorvel
