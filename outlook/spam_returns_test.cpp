#include "outlook/spam_returns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory_file_system.h"

namespace quorvel::outlook {
namespace {

constexpr const char* kRecord = "/data/spam-moves";

TEST(SpamReturnsTest, TheRecordCarriesTheMovesIntoTheNextRun) {
  platform::MemoryFileSystem files;
  files.CreateFolders("/data");
  {
    SpamReturns first(files, kRecord);
    first.NoteMoved("<a@x>");
    first.NoteMoved("<a@x>");  // once
    first.NoteMoved("");
    first.NoteMoved("<b\r\n@x>");  // one line whatever it holds
  }
  EXPECT_EQ(files.FileBytes(kRecord), "<a@x>\n<b  @x>\n");
  // A line cut short by a stop is not taken.
  files.PutFile(kRecord, *files.FileBytes(kRecord) + "<c@");
  SpamReturns next(files, kRecord);
  EXPECT_EQ(next.size(), 2u);
  // A marking's moves: those not known yet, in one append, on a line of their own.
  next.NoteMoved(std::vector<std::string>{"<a@x>", "<e@x>", "", "<f@x>"});
  EXPECT_EQ(files.FileBytes(kRecord), "<a@x>\n<b  @x>\n<c@\n<e@x>\n<f@x>\n");
  EXPECT_EQ(next.size(), 4u);
  SpamReturns none;
  none.NoteMoved("<d@x>");  // in memory only
  EXPECT_EQ(files.FileBytes(kRecord)->find("<d@x>"), std::string::npos);
}

TEST(SpamReturnsTest, AGrownRecordIsWrittenAgainWithTheLastOnes) {
  platform::MemoryFileSystem files;
  files.CreateFolders("/data");
  std::string lines;
  for (std::size_t i = 0; i < 2 * SpamReturns::kCapacity; ++i) {
    lines += "<" + std::to_string(i) + "@x>\n";
  }
  files.PutFile(kRecord, lines);
  SpamReturns returns(files, kRecord);
  EXPECT_EQ(returns.size(), SpamReturns::kCapacity);
  const std::string kept = *files.FileBytes(kRecord);
  EXPECT_EQ(kept.rfind("<" + std::to_string(SpamReturns::kCapacity) + "@x>\n", 0), 0u);
  EXPECT_NE(kept.find("<" + std::to_string(2 * SpamReturns::kCapacity - 1) + "@x>\n"),
            std::string::npos);
  // Unreadable: nothing known, nothing written.
  platform::MemoryFileSystem empty;
  SpamReturns nothing(empty, "/nowhere/spam-moves");
  EXPECT_EQ(nothing.size(), 0u);
}

}  // namespace
}  // namespace quorvel::outlook
