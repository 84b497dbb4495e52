#include "bayes/mailbase_pair.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "bayes/mailbase.h"
#include "platform/memory_file_system.h"

namespace quorvel {
namespace {

constexpr const char* kData = "/data";
constexpr const char* kRaw = "/data/Bayes.raw";
constexpr const char* kTable = "/data/Bayes.db";

// A mail base that has learned `word` as junk, five times, and "meeting" as good.
void Teach(Mailbase& mailbase, const std::u16string& word) {
  mailbase.store().StartFresh();
  for (int i = 0; i < 5; ++i) {
    mailbase.store().Learn(word + u" offer money", u"", /*junk=*/true, 1, true);
    mailbase.store().Learn(u"meeting agenda notes", u"", /*junk=*/false, 1, true);
  }
}

// Which pair a fresh process loads: the word its counts know, checked against its
// table. Empty when the pair does not load or the two files do not belong together.
std::u16string LoadedPair(platform::FileSystem& files) {
  platform::ScriptedMessageBoxes boxes;
  Mailbase mailbase(boxes, kData, "/module", files);
  if (!mailbase.store().EnsureLoaded() || !mailbase.table().EnsureLoaded()) return u"";
  for (const std::u16string word : {u"oldword", u"newword"}) {
    const bool counted = mailbase.store().MainPair().junk().Count(word) == 5;
    const bool compiled = mailbase.table().Probability(word).has_value();
    if (counted != compiled) return u"";
    if (counted) return word;
  }
  return u"";
}

// Whether each ".bak" there is a whole file of its kind.
void ExpectGoodBackups(platform::MemoryFileSystem& files) {
  if (auto raw = files.FileBytes(std::string(kRaw) + ".bak")) {
    EXPECT_TRUE(RawFileIsWhole(*raw, MailbaseStore::FileCheck()));
  }
  if (auto table = files.FileBytes(std::string(kTable) + ".bak")) {
    PairStamp stamp;
    EXPECT_TRUE(ProbabilityTable::LoadsWithStamp(*table, &stamp));
  }
}

// Builds "newword" over the "oldword" pair with the n-th changing call failing.
// Returns whether the build saved.
bool BuildFailingAt(platform::MemoryFileSystem& files, int n) {
  platform::ScriptedMessageBoxes boxes;
  files.FailCall(n, ENOSPC);
  Mailbase mailbase(boxes, kData, "/module", files);
  Teach(mailbase, u"newword");
  mailbase.store().Rebuild();
  const bool saved = !mailbase.store().dirty();
  mailbase.store().Reset();  // a failed build writes nothing more on its way out
  files.FailCall(-1, 0);
  return saved;
}

void PutOldPair(platform::MemoryFileSystem& files) {
  platform::ScriptedMessageBoxes boxes;
  Mailbase mailbase(boxes, kData, "/module", files);
  Teach(mailbase, u"oldword");
  mailbase.store().Rebuild();
  ASSERT_FALSE(mailbase.store().dirty());
}

TEST(MailbasePairTest, EveryFailingWriteOfARebuildLeavesAPairThatBelongsTogether) {
  for (int n = 0;; ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    platform::MemoryFileSystem files;
    PutOldPair(files);
    const bool saved = BuildFailingAt(files, n);
    EXPECT_EQ(LoadedPair(files), saved ? u"newword" : u"oldword");
    ExpectGoodBackups(files);
    if (saved) break;
    // A second build failing anywhere after the first still leaves the old counts (or
    // its own pair, when it saved), never empty backups. The first one's table, of
    // another pair, is kept as the backup, so the old counts may have to have their
    // table compiled again, which the check before judging does.
    for (int m = 0;; ++m) {
      SCOPED_TRACE("then failing call " + std::to_string(m));
      platform::MemoryFileSystem again;
      PutOldPair(again);
      BuildFailingAt(again, n);
      const bool savedAgain = BuildFailingAt(again, m);
      if (!savedAgain && LoadedPair(again).empty()) {
        platform::ScriptedMessageBoxes boxes;
        Mailbase mailbase(boxes, kData, "/module", again);
        EXPECT_TRUE(mailbase.PrepareForJudging().usable);
      }
      EXPECT_EQ(LoadedPair(again), savedAgain ? u"newword" : u"oldword");
      ExpectGoodBackups(again);
      if (savedAgain) break;
    }
  }
}

TEST(MailbasePairTest, BackupsHoldThePreviousPair) {
  platform::MemoryFileSystem files;
  PutOldPair(files);
  const std::string oldRaw = *files.FileBytes(kRaw);
  const std::string oldTable = *files.FileBytes(kTable);
  ASSERT_TRUE(BuildFailingAt(files, -1));
  EXPECT_EQ(files.FileBytes(std::string(kRaw) + ".bak"), oldRaw);
  EXPECT_EQ(files.FileBytes(std::string(kTable) + ".bak"), oldTable);
}

TEST(MailbasePairTest, ATableLeftByAStoppedSaveIsKeptAsTheBackupByTheNextSave) {
  platform::MemoryFileSystem files;
  PutOldPair(files);
  const std::string oldTable = *files.FileBytes(kTable);
  // Stopped after the new table, before the new counts: "Bayes.db" is the orphan.
  int calls = 0;
  files.SetFault([&calls](platform::MemoryFileSystem::Call call, const std::string& path) {
    return call == platform::MemoryFileSystem::Call::kCreate && path == kRaw && ++calls == 1
               ? ENOSPC
               : 0;
  });
  {
    platform::ScriptedMessageBoxes boxes;
    Mailbase mailbase(boxes, kData, "/module", files);
    Teach(mailbase, u"newword");
    mailbase.store().Rebuild();
    ASSERT_TRUE(mailbase.store().dirty());
    mailbase.store().Reset();
  }
  files.SetFault(nullptr);
  const std::string orphan = *files.FileBytes(kTable);
  ASSERT_NE(orphan, oldTable);
  EXPECT_EQ(files.FileBytes(std::string(kTable) + ".bak"), oldTable);
  EXPECT_EQ(LoadedPair(files), u"oldword");  // "Bayes.raw" with "Bayes.db.bak"

  // A table of another pair is never compiled over without a copy, even this one.
  ASSERT_TRUE(BuildFailingAt(files, -1));
  EXPECT_EQ(files.FileBytes(std::string(kTable) + ".bak"), orphan);
  EXPECT_EQ(LoadedPair(files), u"newword");
}

// Regression: a table the user copied in that loads but belongs to other counts was
// compiled over (by the check before judging, and by a rebuild) and lost.
TEST(MailbasePairTest, ATableCopiedInFromAnotherMailbaseIsKeptAsTheBackup) {
  platform::MemoryFileSystem other;
  PutOldPair(other);
  ASSERT_TRUE(BuildFailingAt(other, -1));
  const std::string copiedIn = *other.FileBytes(kTable);  // the "newword" table

  for (const bool byRebuild : {false, true}) {
    SCOPED_TRACE(byRebuild ? "rebuild" : "check before judging");
    platform::MemoryFileSystem files;
    PutOldPair(files);
    files.PutFile(kTable, copiedIn);
    files.Remove(std::string(kTable) + ".bak");
    platform::ScriptedMessageBoxes boxes;
    {
      Mailbase mailbase(boxes, kData, "/module", files);
      if (byRebuild) {
        ASSERT_TRUE(mailbase.store().EnsureLoaded());
        mailbase.store().Rebuild();
      } else {
        EXPECT_TRUE(mailbase.PrepareForJudging().usable);
      }
    }
    EXPECT_EQ(files.FileBytes(std::string(kTable) + ".bak"), copiedIn);
    EXPECT_EQ(LoadedPair(files), u"oldword");  // compiled again from "Bayes.raw"
  }
}

TEST(MailbasePairTest, ReadingNeverWrites) {
  platform::MemoryFileSystem files;
  PutOldPair(files);
  // The main files damaged: both load from their ".bak" files.
  ASSERT_TRUE(BuildFailingAt(files, -1));
  files.PutFile(kRaw, "damaged");
  files.PutFile(kTable, "damaged");
  files.FailCall(-1, 0);
  {
    platform::ScriptedMessageBoxes boxes;
    Mailbase mailbase(boxes, kData, "/module", files);
    ASSERT_TRUE(mailbase.store().EnsureLoaded());
    EXPECT_EQ(mailbase.store().loadedFrom(), LoadSource::kRawBackup);
    EXPECT_TRUE(mailbase.store().dirty());  // rewritten by the next save that happens
    ASSERT_TRUE(mailbase.table().EnsureLoaded());
    EXPECT_TRUE(mailbase.table().Probability(u"oldword").has_value());
  }
  EXPECT_EQ(files.ChangingCalls(), 0);
  EXPECT_EQ(files.FileBytes(kRaw), "damaged");
}

TEST(MailbasePairTest, ATrailerThatDoesNotMatchItsBytesFailsTheLoad) {
  platform::MemoryFileSystem files;
  PutOldPair(files);
  ASSERT_TRUE(BuildFailingAt(files, -1));
  std::string raw = *files.FileBytes(kRaw);
  raw[10] = static_cast<char>(raw[10] ^ 1);  // one flipped bit in the counts
  EXPECT_EQ(ReadRawTrailer(raw, nullptr), RawTrailer::kDamaged);
  files.PutFile(kRaw, raw);
  EXPECT_EQ(LoadedPair(files), u"oldword");  // "Bayes.raw.bak" with "Bayes.db.bak"
}

TEST(MailbasePairTest, FilesWithoutStampsBelongTogether) {
  // Files written before stamps existed: the raw file's layout without a trailer
  // and a table without a stamp load as a pair.
  platform::MemoryFileSystem files;
  PutOldPair(files);
  std::string raw = *files.FileBytes(kRaw);
  raw.resize(raw.size() - 24);
  files.PutFile(kRaw, raw);
  ProbabilityTable unstamped(files);
  unstamped.SetPath("/data/old.db");
  platform::ScriptedMessageBoxes boxes;
  {
    Mailbase mailbase(boxes, kData, "/module", files);
    ASSERT_TRUE(mailbase.store().EnsureLoaded());
    EXPECT_FALSE(mailbase.store().loadedStamp().present);
    const CorpusPair pair = mailbase.store().MainPair();
    unstamped.Compile(pair.good(), pair.junk());
  }
  ASSERT_TRUE(unstamped.Save());
  files.PutFile(kTable, *files.FileBytes("/data/old.db"));
  files.Remove(std::string(kTable) + ".bak");
  EXPECT_EQ(LoadedPair(files), u"oldword");
}

TEST(MailbasePairTest, StaleTemporariesOfAKilledWriterAreRemoved) {
  platform::MemoryFileSystem files;
  PutOldPair(files);
  files.PutFile("/data/Bayes.raw.tmp-4242-0", "left by a killed build");
  files.PutFile("/data/Bayes.db.bak.tmp-4242-1", "left by a killed build");
  files.PutFile("/data/Bayes.raw.old", "not ours to remove");
  ASSERT_TRUE(BuildFailingAt(files, -1));
  EXPECT_FALSE(files.FileBytes("/data/Bayes.raw.tmp-4242-0"));
  EXPECT_FALSE(files.FileBytes("/data/Bayes.db.bak.tmp-4242-1"));
  EXPECT_TRUE(files.FileBytes("/data/Bayes.raw.old"));
}

TEST(MailbasePairTest, ASecondWriterIsRefusedOrWaits) {
  platform::MemoryFileSystem files;
  PutOldPair(files);
  platform::ScriptedMessageBoxes boxes;
  Mailbase first(boxes, kData, "/module", files);
  Mailbase second(boxes, kData, "/module", files);
  std::unique_ptr<MailbaseFolderLock::Hold> held;
  ASSERT_TRUE(first.store().HoldFolder(false, &held).ok());
  std::unique_ptr<MailbaseFolderLock::Hold> nested;
  EXPECT_TRUE(first.store().HoldFolder(false, &nested).ok());  // its own again
  std::unique_ptr<MailbaseFolderLock::Hold> refused;
  EXPECT_EQ(second.store().HoldFolder(false, &refused).code(), EWOULDBLOCK);
  // The holder still writes under its own lock.
  Teach(first, u"newword");
  first.store().Rebuild();
  EXPECT_FALSE(first.store().dirty());
  nested.reset();
  held.reset();
  EXPECT_TRUE(second.store().HoldFolder(false, &refused).ok());
}

}  // namespace
}  // namespace quorvel
