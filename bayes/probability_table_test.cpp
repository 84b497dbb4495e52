#include "bayes/probability_table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "bayes/test_bytes.h"
#include "platform/memory_file_system.h"

namespace quorvel {
namespace {

using testing_bytes::Bytes;
using testing_bytes::ReadFile;
using testing_bytes::TempFolder;
using testing_bytes::WriteFile;

// Header block and the seven values of a table file, scrambled.
Bytes TableHead(std::string_view header = "", std::int32_t good = 0, std::int32_t junk = 0) {
  Bytes b;
  b.Scrambled(true)
      .I32(static_cast<std::int32_t>(header.size()) + 5)
      .Narrow(header)
      .U8(0)
      .I32(37)
      .I32(good)
      .I32(junk)
      .F64(0.99)
      .F64(0.01)
      .I32(5)
      .I32(15)
      .I32(1);
  return b;
}

class TableFileTest : public ::testing::Test {
 protected:
  std::string db() const { return dir_.File("Bayes.db"); }
  std::string bak() const { return dir_.File("Bayes.db.bak"); }
  TempFolder dir_;
};

TEST_F(TableFileTest, FreshTableSavesAHeaderBlockOfFive) {
  ProbabilityTable table;
  table.SetPath(db());
  ASSERT_TRUE(table.Save());
  EXPECT_EQ(ReadFile(db()), TableHead().str());
  EXPECT_TRUE(table.loaded());
}

TEST_F(TableFileTest, SaveWritesEntriesInTokenOrderAndKeepsTheOldFileAsBackup) {
  const std::string old = TableHead().str();
  WriteFile(db(), old);
  ProbabilityTable table;
  table.SetPath(db());
  TokenCorpus good;
  good.set_messageCount(4);
  good.Set(u"zebra", 10);
  good.Set(u"Apple", 10);
  good.Set(u"\u00e9clair", 10);
  TokenCorpus junk;
  junk.set_messageCount(2);
  table.Compile(good, junk);
  ASSERT_TRUE(table.Save());
  EXPECT_EQ(ReadFile(bak()), old);

  // Code-unit order: "$$url..." < "Apple" < lower-case words < "\u00e9clair".
  std::vector<std::u16string> order = {u"zebra", u"\u00e9clair", u"Apple"};
  for (std::u16string_view t : PredefinedSpamTokens) order.emplace_back(t);
  std::sort(order.begin(), order.end());
  ASSERT_EQ(order.front(), kUrlMarker);
  ASSERT_EQ(order.back(), u"\u00e9clair");
  Bytes expected = TableHead("", 4, 2);
  for (const auto& t : order) {
    bool spam = t != u"Apple" && t != u"zebra" && t != u"\u00e9clair";
    expected.Text(t).F64(spam ? 0.99 : 0.01);
  }
  EXPECT_EQ(ReadFile(db()), expected.str());
}

TEST_F(TableFileTest, LoadReadsEverythingAndTheLastEntryOfATokenWins) {
  Bytes b;
  b.Scrambled(true).I32(9).Narrow("hdr").U8(0).U8('x').I32(37);  // text stops at the 0 byte
  b.I32(12).I32(34).F64(0.95).F64(0.05).I32(3).I32(99).I32(2);
  b.Text(u"zulu").F64(0.7).Text(u"alpha").F64(0.2).Text(u"zulu").F64(0.6);
  b.Text(u"viagra").F64(0.1).Text(u"").F64(0.3);
  WriteFile(db(), b.str());
  ProbabilityTable table;
  table.SetPath(db());
  ASSERT_TRUE(table.EnsureLoaded());
  EXPECT_EQ(table.headerText(), "hdr");
  TableSettings s = table.settings();
  EXPECT_EQ(s.goodMessageCount, 12);
  EXPECT_EQ(s.junkMessageCount, 34);
  EXPECT_EQ(s.maximumProbability, 0.95);
  EXPECT_EQ(s.minimumProbability, 0.05);
  EXPECT_EQ(s.minimumCount, 3);
  EXPECT_EQ(s.reserved, 99);
  EXPECT_EQ(s.goodWeight, 2);
  EXPECT_EQ(table.Probability(u"zulu"), 0.6);
  EXPECT_EQ(table.Probability(u"alpha"), 0.2);
  EXPECT_EQ(table.Probability(u""), 0.3);
  EXPECT_EQ(table.Probability(u"viagra"), 0.99);
  EXPECT_EQ(table.Statistics().entries, 3u + PredefinedSpamTokens.size());

  // Saving again carries the header text and writes each token once, in order.
  ASSERT_TRUE(table.Save());
  ProbabilityTable again;
  again.SetPath(db());
  ASSERT_TRUE(again.EnsureLoaded());
  EXPECT_EQ(again.headerText(), "hdr");
  EXPECT_EQ(again.Probability(u"zulu"), 0.6);
  EXPECT_EQ(again.Statistics().entries, table.Statistics().entries);
}

// Offsets of one table file: where each entry's text starts and ends.
struct EntrySpan {
  std::size_t lengthStart, textStart, textEnd, end;
};

TEST_F(TableFileTest, TruncatedAtEveryByte) {
  Bytes b = TableHead("h");
  const std::size_t valuesEnd = b.size();
  std::vector<EntrySpan> spans;
  for (std::u16string token : {u"alpha", u"", u"bravo"}) {
    EntrySpan span;
    span.lengthStart = b.size();
    span.textStart = span.lengthStart + 4;
    b.Text(token);
    span.textEnd = b.size();
    b.F64(0.25);
    span.end = b.size();
    spans.push_back(span);
  }
  const std::string full = b.str();
  for (std::size_t cut = 0; cut <= full.size(); ++cut) {
    SCOPED_TRACE(cut);
    WriteFile(db(), full.substr(0, cut));
    ProbabilityTable table;
    table.SetPath(db());
    bool expected = cut >= valuesEnd;
    std::size_t complete = 0;
    for (const EntrySpan& s : spans) {
      if (cut >= s.textStart && cut < s.textEnd) expected = false;  // text cut off
      if (cut >= s.end) ++complete;
    }
    EXPECT_EQ(table.EnsureLoaded(), expected);
    if (expected) {
      // An entry whose probability is cut off is dropped.
      EXPECT_EQ(table.Statistics().entries, complete + PredefinedSpamTokens.size());
    } else {
      // Only the first failure is reported; the table is used as it is.
      EXPECT_TRUE(table.EnsureLoaded());
      EXPECT_FALSE(table.loaded());
    }
  }
}

TEST_F(TableFileTest, DamagedFilesFail) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"header length above 10000", Bytes().Scrambled(true).I32(10001).str()},
      {"negative header length", Bytes().Scrambled(true).I32(-1).str()},
      {"token length 70000", Bytes(TableHead()).Scrambled(true).I32(70000).Units(u"ab").str()},
      {"token length 65537", Bytes(TableHead()).Scrambled(true).I32(65537).str()},
      {"negative token length", Bytes(TableHead()).Scrambled(true).I32(-2).F64(0.5).str()},
      {"not scrambled", Bytes().I32(5).U8(0).I32(37).str()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(db(), c.bytes);
    ProbabilityTable table;
    table.SetPath(db());
    EXPECT_FALSE(table.EnsureLoaded());
  }
}

TEST_F(TableFileTest, LongestTokenLoads) {
  std::u16string longest(65536, u'q');
  WriteFile(db(), Bytes(TableHead()).Scrambled(true).Text(longest).F64(0.5).str());
  ProbabilityTable table;
  table.SetPath(db());
  ASSERT_TRUE(table.EnsureLoaded());
  EXPECT_EQ(table.Probability(longest), 0.5);
}

TEST_F(TableFileTest, DamagedFileFallsBackToBackup) {
  // Ends in the middle of an entry's text.
  WriteFile(db(),
            Bytes(TableHead()).Scrambled(true).Text(u"damaged").F64(0.5).I32(6).Units(u"ab").str());
  WriteFile(bak(), Bytes(TableHead("backup", 3, 4)).Scrambled(true).Text(u"saved").F64(0.4).str());
  ProbabilityTable table;
  table.SetPath(db());
  ASSERT_TRUE(table.EnsureLoaded());
  EXPECT_EQ(table.headerText(), "backup");
  EXPECT_EQ(table.Probability(u"saved"), 0.4);
  // Nothing of the damaged file mixes in.
  EXPECT_EQ(table.Probability(u"damaged"), std::nullopt);
}

TEST_F(TableFileTest, BothMissingFailsOnceThenUsesTheEmptyTable) {
  ProbabilityTable table;
  table.SetPath(db());
  EXPECT_FALSE(table.EnsureLoaded());
  WriteFile(db(), TableHead().str());
  EXPECT_TRUE(table.EnsureLoaded());  // no second attempt
  EXPECT_EQ(table.Statistics().entries, 0u);
  // A clear allows loading again.
  table.Clear();
  EXPECT_TRUE(table.EnsureLoaded());
  EXPECT_TRUE(table.loaded());
}

TEST_F(TableFileTest, OverlongHeaderIsCutSoTheFileStaysReadable) {
  std::string header(10000, 'h');  // no 0 byte: all of it is header text
  WriteFile(db(), Bytes()
                      .Scrambled(true)
                      .I32(10000)
                      .Narrow(header)
                      .I32(1)
                      .I32(2)
                      .F64(0.99)
                      .F64(0.01)
                      .I32(5)
                      .I32(15)
                      .I32(1)
                      .str());
  ProbabilityTable table;
  table.SetPath(db());
  ASSERT_TRUE(table.EnsureLoaded());
  EXPECT_EQ(table.headerText().size(), 10000u);
  ASSERT_TRUE(table.Save());
  ProbabilityTable again;
  again.SetPath(db());
  ASSERT_TRUE(again.EnsureLoaded());
  EXPECT_EQ(again.headerText(), std::string(9995, 'h'));
}

TEST_F(TableFileTest, ReadOnlyFileIsReplaced) {
  const std::string old = TableHead().str();
  WriteFile(db(), old);
  WriteFile(bak(), "older");
  ::chmod(db().c_str(), 0444);
  ::chmod(bak().c_str(), 0444);
  ProbabilityTable table;
  table.SetPath(db());
  ASSERT_TRUE(table.Save());
  EXPECT_EQ(ReadFile(bak()), old);
  EXPECT_EQ(ReadFile(db()), TableHead().str());
}

// A damaged table never takes the place of a good backup, and no write that fails
// part of the way leaves less than the previous good file.
TEST_F(TableFileTest, ADamagedFileIsNotBackedUpAndAFailedSaveLeavesTheOldTable) {
  platform::MemoryFileSystem files;
  const std::string good = TableHead().str();
  files.PutFile("/data/Bayes.db", "damaged");
  files.PutFile("/data/Bayes.db.bak", good);
  ProbabilityTable table(files);
  table.SetPath("/data/Bayes.db");
  TokenCorpus corpus;
  corpus.set_messageCount(1);
  corpus.Set(u"word", 10);
  table.Compile(corpus, TokenCorpus());
  ASSERT_TRUE(table.Save());
  EXPECT_EQ(files.FileBytes("/data/Bayes.db.bak"), good);

  const std::string saved = *files.FileBytes("/data/Bayes.db");
  corpus.Set(u"other", 10);
  table.Clear();
  table.Compile(corpus, TokenCorpus());
  for (int n = 0;; ++n) {
    files.FailCall(n, ENOSPC);
    if (table.Save()) break;
    EXPECT_EQ(files.FileBytes("/data/Bayes.db"), saved) << "call " << n;
    ProbabilityTable reader(files);
    reader.SetPath("/data/Bayes.db");
    EXPECT_TRUE(reader.EnsureLoaded()) << "call " << n;
  }
  EXPECT_EQ(files.FileBytes("/data/Bayes.db.bak"), saved);
}

}  // namespace
}  // namespace quorvel
