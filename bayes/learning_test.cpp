#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "bayes/mailbase.h"
#include "bayes/test_bytes.h"

namespace quorvel {
namespace {

using testing_bytes::ReadFile;
using testing_bytes::TempFolder;
using testing_bytes::WriteFile;

// A mail base whose files start missing; EnsureLoaded succeeds through an empty seed.
class LearningTest : public ::testing::Test {
 protected:
  LearningTest() : mailbase_(boxes_, dir_.path(), dir_.path() + "/module") {
    std::filesystem::create_directories(dir_.path() + "/module");
    // The seed: an empty store in the current layout.
    ProbabilityTable table;
    MailbaseStore empty(table, boxes_);
    empty.SaveRaw(dir_.File("module/Bayes.raw.initial"));
  }
  MailbaseStore& store() { return mailbase_.store(); }
  ProbabilityTable& table() { return mailbase_.table(); }

  TempFolder dir_;
  platform::ScriptedMessageBoxes boxes_;
  Mailbase mailbase_;
};

TEST_F(LearningTest, MarkingAsJunkAddsTheWeightPerOccurrence) {
  store().Learn(u"Buy cheap pills now, buy today!!", u"", true, kMarkingWeight, true);
  CorpusPair pending = store().PendingPair();
  EXPECT_EQ(pending.junk().Count(u"buy"), 10);
  for (auto token : {u"cheap", u"pills", u"now", u"today"})
    EXPECT_EQ(pending.junk().Count(token), 5);
  EXPECT_EQ(pending.junk().size(), 5u);
  EXPECT_EQ(pending.junk().messageCount(), 1);
  EXPECT_EQ(pending.good().messageCount(), 0);
  EXPECT_EQ(store().balance(), 5);
  EXPECT_TRUE(store().dirty());
  EXPECT_EQ(table().Probability(u"pills"), std::nullopt);  // not until a rebuild
  EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(LearningTest, SubjectComesFirstWithOneBlank) {
  // "Offer" ends the subject; the blank joins it to the body, so it is used.
  store().Learn(u"inside body", u"Special Offer", true, 1, true);
  CorpusPair pending = store().PendingPair();
  EXPECT_EQ(pending.junk().Count(u"special"), 1);
  EXPECT_EQ(pending.junk().Count(u"offer"), 1);
  EXPECT_EQ(pending.junk().Count(u"inside"), 1);
  EXPECT_EQ(pending.junk().Count(u"body"), 0);  // last token of the text
  // Links are learned under their own text; markers are dropped.
  store().Learn(u"see http://Example.com/x arbr2cd0 arbr4cd0 ok  ", u"", true, 1, true);
  pending = store().PendingPair();
  EXPECT_EQ(pending.junk().Count(u"http://example.com/x"), 1);
  EXPECT_EQ(pending.junk().Count(kUrlMarker), 0);
  EXPECT_EQ(pending.junk().Count(u"arbr2cd0"), 0);
  EXPECT_EQ(pending.junk().Count(u"arbr4cd0"), 1);
}

TEST_F(LearningTest, GoodLearningFollowsTheBalance) {
  store().Learn(u"hello there friend  ", u"", false, 1, false);
  EXPECT_EQ(store().PendingPair().good().messageCount(), 0);  // balance 0, no force
  EXPECT_TRUE(store().dirty());
  store().Learn(u"hello there friend  ", u"", false, 1, true);
  EXPECT_EQ(store().PendingPair().good().messageCount(), 1);
  EXPECT_EQ(store().balance(), -1);
  store().Learn(u"hello there friend  ", u"", false, 1, false);
  EXPECT_EQ(store().PendingPair().good().messageCount(), 1);
  store().Learn(u"junk junk junk  ", u"", true, 5, true);
  EXPECT_EQ(store().balance(), 4);
  store().Learn(u"hello there friend  ", u"", false, 1, false);  // balance above 0
  EXPECT_EQ(store().PendingPair().good().messageCount(), 2);
  EXPECT_EQ(store().PendingPair().good().Count(u"hello"), 2);
  EXPECT_EQ(store().balance(), 3);
}

TEST_F(LearningTest, UnloadableStoreShowsMessageAndLearnsInMemory) {
  std::filesystem::remove(dir_.File("module/Bayes.raw.initial"));
  store().SetPath(dir_.File("Bayes.raw"));
  store().Learn(u"cheap pills here  ", u"", true, 5, true);
  store().Learn(u"cheap pills here  ", u"", true, 5, true);
  auto shown = boxes_.shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "Could not load spam mail base.\nPlease reinstall Quorvel.");
  EXPECT_EQ(shown[0].caption, "Quorvel");
  EXPECT_EQ(shown[0].style, platform::MB_OK);
  EXPECT_EQ(store().PendingPair().junk().Count(u"pills"), 10);
  // The rebuild leaves the table file alone rather than replace it with this session.
  store().Rebuild();
  EXPECT_FALSE(std::filesystem::exists(dir_.File("Bayes.db")));
  EXPECT_EQ(store().PendingPair().junk().Count(u"pills"), 10);
}

TEST_F(LearningTest, RebuildMergesCompilesAndSaves) {
  for (int i = 0; i < 5; ++i) store().Learn(u"win money casino today  ", u"", true, 1, true);
  store().Rebuild();
  EXPECT_EQ(store().PendingPair().TotalMessages(), 0);
  EXPECT_EQ(store().MainPair().junk().Count(u"casino"), 5);
  EXPECT_EQ(table().Probability(u"casino"), 0.99);
  EXPECT_FALSE(store().dirty());
  ASSERT_TRUE(std::filesystem::exists(dir_.File("Bayes.raw")));
  ASSERT_TRUE(std::filesystem::exists(dir_.File("Bayes.db")));

  // Nothing pending: the table file is written again (old copy in ".bak"), the raw
  // file is not.
  const std::string db = ReadFile(dir_.File("Bayes.db"));
  const std::string raw = ReadFile(dir_.File("Bayes.raw"));
  WriteFile(dir_.File("Bayes.raw"), "marker");
  std::filesystem::remove(dir_.File("Bayes.db"));
  WriteFile(dir_.File("Bayes.db"), db);
  store().Rebuild();
  EXPECT_EQ(ReadFile(dir_.File("Bayes.db.bak")), db);
  EXPECT_EQ(ReadFile(dir_.File("Bayes.db")), db);
  EXPECT_EQ(ReadFile(dir_.File("Bayes.raw")), "marker");

  // A fresh mail base reads back what was saved.
  platform::ScriptedMessageBoxes boxes;
  WriteFile(dir_.File("Bayes.raw"), raw);
  Mailbase again(boxes, dir_.path(), dir_.path() + "/module");
  ASSERT_TRUE(again.table().EnsureLoaded());
  EXPECT_EQ(again.table().Probability(u"casino"), 0.99);
  ASSERT_TRUE(again.store().EnsureLoaded());
  EXPECT_EQ(again.store().MainPair().junk().Count(u"money"), 5);
}

TEST_F(LearningTest, OverlongTokenIsLeftOutOfTheFilesSoTheyStayReadable) {
  const std::u16string huge(70000, u'z');
  for (int i = 0; i < 5; ++i) store().Learn(huge + u" casino  ", u"", true, 1, true);
  store().Rebuild();
  EXPECT_EQ(table().Probability(huge), 0.99);  // in memory until the next load

  platform::ScriptedMessageBoxes boxes;
  Mailbase again(boxes, dir_.path(), dir_.path() + "/module");
  ASSERT_TRUE(again.table().EnsureLoaded());
  EXPECT_EQ(again.table().Probability(u"casino"), 0.99);
  EXPECT_EQ(again.table().Probability(huge), std::nullopt);
  ASSERT_TRUE(again.store().EnsureLoaded());
  EXPECT_EQ(again.store().MainPair().junk().Count(u"casino"), 5);
  EXPECT_EQ(again.store().MainPair().junk().Find(huge), nullptr);
}

TEST_F(LearningTest, ApplyScanScalesToTheGoodCorpusItReplaces) {
  CorpusPair main;
  main.good().set_messageCount(200);
  main.good().Set(u"oldword", 50);
  main.junk().set_messageCount(30);
  main.junk().Set(u"casino", 30);
  ASSERT_TRUE(store().EnsureLoaded());
  store().SetMainPair(main);
  store().Learn(u"pending junk words  ", u"", true, 5, true);
  store().ClearScan();
  for (int i = 0; i < 40; ++i) {
    store().LearnScan(u"Weekly report", i % 2 == 0 ? u"meeting agenda  " : u"meeting notes  ");
  }
  EXPECT_EQ(store().ScanCorpus().Count(u"meeting"), 40);
  store().ApplyScan();
  CorpusPair after = store().MainPair();
  EXPECT_EQ(after.good().messageCount(), 200);
  EXPECT_EQ(after.good().Count(u"meeting"), 200);
  EXPECT_EQ(after.good().Count(u"agenda"), 100);
  EXPECT_EQ(after.good().Count(u"weekly"), 200);
  EXPECT_EQ(after.good().Find(u"oldword"), nullptr);
  EXPECT_EQ(after.junk().Count(u"casino"), 30);
  EXPECT_EQ(after.junk().Count(u"pending"), 5);  // merged by the rebuild
  EXPECT_EQ(after.junk().messageCount(), 31);
  EXPECT_EQ(store().balance(), 0);
  EXPECT_EQ(store().ScanCorpus().messageCount(), 0);
  EXPECT_EQ(table().Probability(u"meeting"), 0.01);
}

TEST_F(LearningTest, ApplyScanWithEmptyGoodCorpusKeepsTheCounts) {
  ASSERT_TRUE(store().EnsureLoaded());
  for (int i = 0; i < 3; ++i) store().LearnScan(u"", u"meeting agenda  ");
  store().ApplyScan();
  EXPECT_EQ(store().MainPair().good().Count(u"meeting"), 3);
  EXPECT_EQ(store().MainPair().good().messageCount(), 3);
}

TEST(CorpusTest, ScaleTruncatesTowardZero) {
  TokenCorpus c;
  c.set_messageCount(7);
  c.Set(u"a", 3);
  c.Set(u"b", -3);
  c.Scale(0.5);
  EXPECT_EQ(c.Count(u"a"), 1);
  EXPECT_EQ(c.Count(u"b"), -1);
  EXPECT_EQ(c.messageCount(), 3);
  c.Set(u"big", 2'000'000'000);
  c.Scale(4.0);
  EXPECT_EQ(c.Count(u"big"), 2147483647);  // held at the limit, not wrapped
}

TEST(CorpusTest, MergeAddsAndInserts) {
  CorpusPair a;
  CorpusPair b;
  a.good().Set(u"x", 2);
  a.good().set_messageCount(1);
  b.good().Set(u"x", 3);
  b.good().Set(u"y", 1);
  b.good().set_messageCount(2);
  b.junk().Set(u"z", 4);
  a.Merge(b);
  EXPECT_EQ(a.good().Count(u"x"), 5);
  EXPECT_EQ(a.good().Count(u"y"), 1);
  EXPECT_EQ(a.junk().Count(u"z"), 4);
  EXPECT_EQ(a.TotalMessages(), 3);
}

TEST_F(LearningTest, TwoRequestsDuringOneRebuildCauseOneMore) {
  std::mutex mutex;
  std::condition_variable changed;
  int started = 0;
  bool release = false;
  store().SetRebuildHookForTesting([&] {
    std::unique_lock lock(mutex);
    ++started;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
  });
  ASSERT_EQ(store().StartRebuildThread(), 0);
  ASSERT_EQ(store().StartRebuildThread(), 0);  // already running
  store().RequestRebuild();
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return started == 1; }));
  }
  store().RequestRebuild();
  store().RequestRebuild();
  {
    std::unique_lock lock(mutex);
    release = true;
    changed.notify_all();
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return started == 2; }));
  }
  store().StopRebuildThread();
  EXPECT_EQ(started, 2);
  store().RequestRebuild();  // no thread: nothing happens
  EXPECT_EQ(started, 2);
}

TEST_F(LearningTest, ARebuildAskedForJustBeforeTheStopStillRuns) {
  // A command marks messages and the short-lived host that ran it stops at once: what
  // was learned must reach the table, not only the counts.
  std::atomic<int> rebuilt{0};
  store().SetRebuildHookForTesting([&] { ++rebuilt; });
  for (int round = 1; round <= 20; ++round) {
    ASSERT_EQ(store().StartRebuildThread(), 0);
    store().RequestRebuild();
    store().StopRebuildThread();
    ASSERT_EQ(rebuilt, round);
  }
  ASSERT_EQ(store().StartRebuildThread(), 0);
  store().StopRebuildThread();
  EXPECT_EQ(rebuilt, 20) << "a stop alone rebuilds nothing";
}

TEST_F(LearningTest, ConcurrentScoresSeeAFullTableDuringRebuilds) {
  const std::u16string body = u"alpha bravo charlie delta echo foxtrot golf hotel  ";
  for (int i = 0; i < 5; ++i) store().Learn(body, u"", true, 1, true);
  store().Rebuild();
  ASSERT_EQ(table().Score(false, u"", body, nullptr, nullptr), kScoreSpam);

  std::atomic<bool> done{false};
  std::atomic<int> bad{0};
  auto scorer = [&] {
    while (!done) {
      std::string explanation;
      double score = 0;
      int result = table().Score(false, u"Hello", body, &explanation, &score);
      if (result != kScoreSpam && result != kScoreGood) ++bad;
    }
  };
  std::thread first(scorer);
  std::thread second(scorer);
  ASSERT_EQ(store().StartRebuildThread(), 0);
  for (int i = 0; i < 30; ++i) {
    store().Learn(body, u"Hello", i % 2 == 0, 1, true);
    if (i % 3 == 0) {
      store().RequestRebuild();
    } else {
      store().Rebuild();
    }
  }
  store().StopRebuildThread();
  done = true;
  first.join();
  second.join();
  EXPECT_EQ(bad, 0);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

TEST(MailbasePathsTest, UnknownDataFolderTouchesNoFile) {
  TempFolder dir;
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  {
    platform::ScriptedMessageBoxes boxes;
    Mailbase mailbase(boxes, "", "");
    EXPECT_FALSE(mailbase.table().EnsureLoaded());
    mailbase.store().Learn(u"cheap pills here  ", u"", true, 5, true);
    EXPECT_EQ(boxes.shown().size(), 1u);
    mailbase.store().Rebuild();
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  std::filesystem::current_path(cwd);
}

TEST(MailbasePathsTest, FoldersAreJoinedWithOneSlash) {
  EXPECT_EQ(JoinPath("/data/", "Bayes.raw"), "/data/Bayes.raw");
  EXPECT_EQ(JoinPath("/data", "Bayes.raw"), "/data/Bayes.raw");
  EXPECT_EQ(JoinPath("", "Bayes.raw"), "");
}

}  // namespace
}  // namespace quorvel
