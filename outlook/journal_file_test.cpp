#include "outlook/journal_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/memory_file_system.h"
#include "testing/temporary_folder.h"

namespace quorvel::outlook {
namespace {

using platform::MemoryFileSystem;

JournalEntry Numbered(int n) {
  return JournalEntry{.time = 0,
                      .folder = "Inbox",
                      .messageId = "<" + std::to_string(n) + "@example.com>",
                      .sender = "ann@example.com",
                      .subject = "offer " + std::to_string(n),
                      .verdict = kVerdictSpam,
                      .reason = "Bayes",
                      .destination = "Spam"};
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The subject field of a journal line made by Numbered.
std::string SubjectOf(const std::string& line) {
  const std::size_t start = line.find("\"subject\":\"") + 11;
  return line.substr(start, line.find('"', start) - start);
}

TEST(JournalLineTest, TextIsEscapedAndKeptValidUtf8) {
  struct Case {
    const char* subject;
    const char* encoded;
  };
  const Case cases[] = {
      {"plain", "\"plain\""},
      {"say \"hi\" \\ bye", "\"say \\\"hi\\\" \\\\ bye\""},
      {"two\nlines\r\tend", "\"two\\nlines\\r\\tend\""},
      {"bell\x07 esc\x1b del\x7f", "\"bell\\u0007 esc\\u001b del\\u007f\""},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
       "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
      // Latin-1 bytes, an overlong form, a surrogate and a cut-off sequence.
      {"caf\xE9!", "\"caf\xEF\xBF\xBD!\""},
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"end\xE2\x82", "\"end\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.subject);
    JournalEntry entry;
    entry.subject = c.subject;
    const std::string line = JournalLine(entry);
    EXPECT_NE(line.find(std::string("\"subject\":") + c.encoded + ","), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), line.size() - 1);  // one line, whatever the text
  }
}

TEST(JournalLineTest, TimeIsUtcWithMilliseconds) {
  // 2026-12-08T06:57:35.123Z as 100-ns intervals since 1601.
  const platform::FileTime unixSeconds = 1796713055;
  const platform::FileTime time =
      (unixSeconds + 11644473600ULL) * platform::kFileTimeSecond + 123 * 10'000 + 9'999;
  EXPECT_EQ(IsoTime(time), "2026-12-08T06:57:35.123Z");
  EXPECT_EQ(JournalLine(JournalEntry{.time = time})
                .rfind("{\"kind\":\"verdict\",\"time\":\"2026-12-08T06:57:35.123Z\"", 0),
            0u);
}

TEST(JournalFileTest, RotatesAtTheBoundKeepingTwoGenerations) {
  MemoryFileSystem files;
  files.CreateFolders("/data");
  const std::uint64_t lineBytes = JournalLine(Numbered(100)).size();
  JournalFile journal(files, "/data/", {}, lineBytes * 10);
  for (int n = 100; n < 135; ++n) journal.Record(Numbered(n));
  const auto current = Lines(files.FileBytes("/data/journal.jsonl").value_or(""));
  const auto older = Lines(files.FileBytes("/data/journal.jsonl.1").value_or(""));
  // Rotated after lines 109, 119 and 129: the newest two generations are kept, whole.
  ASSERT_EQ(older.size(), 10u);
  ASSERT_EQ(current.size(), 5u);
  EXPECT_EQ(SubjectOf(older.front()), "offer 120");
  EXPECT_EQ(SubjectOf(current.front()), "offer 130");
  EXPECT_EQ(SubjectOf(current.back()), "offer 134");
  EXPECT_EQ(files.Files(), (std::vector<std::string>{"/data/journal.jsonl", "/data/journal.jsonl.1",
                                                     "/data/journal.lock"}));
}

// The journal keeps its file open; whatever happens to the path under it, the next
// line goes to the file at the path, and no line is lost.
TEST(JournalFileTest, FileRemovedReplacedOrRotatedElsewhereIsFollowed) {
  struct Case {
    const char* name;
    std::function<void(MemoryFileSystem&)> change;
    std::vector<std::string> before;  // subjects left in journal.jsonl.1 (or "/data/x")
  };
  const Case cases[] = {
      {"removed",
       [](MemoryFileSystem& f) { ASSERT_TRUE(f.Remove("/data/journal.jsonl").ok()); },
       {}},
      {"replaced", [](MemoryFileSystem& f) { f.PutFile("/data/journal.jsonl", ""); }, {}},
      {"rotated by another writer",
       [](MemoryFileSystem& f) {
         ASSERT_TRUE(f.Rename("/data/journal.jsonl", "/data/journal.jsonl.1").ok());
       },
       {"offer 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFileSystem files;
    files.CreateFolders("/data");
    JournalFile journal(files, "/data/", {}, kJournalRotateBytes, std::chrono::seconds(0));
    journal.Record(Numbered(1));
    c.change(files);
    journal.Record(Numbered(2));
    journal.Record(Numbered(3));
    std::vector<std::string> older, current;
    for (const auto& line : Lines(files.FileBytes("/data/journal.jsonl.1").value_or(""))) {
      older.push_back(SubjectOf(line));
    }
    for (const auto& line : Lines(files.FileBytes("/data/journal.jsonl").value_or(""))) {
      current.push_back(SubjectOf(line));
    }
    EXPECT_EQ(older, c.before);
    EXPECT_EQ(current, (std::vector<std::string>{"offer 2", "offer 3"}));
    EXPECT_EQ(journal.failures(), 0u);
  }
}

// On disk: the user deletes the journal under a running writer, and the next line
// makes it again.
TEST(JournalFileTest, RemovedFileOnDiskIsMadeAgain) {
  testing::TemporaryFolder folder("quorvel-journal");
  ASSERT_FALSE(folder.path().empty());
  auto& real = platform::RealFileSystem();
  JournalFile journal(real, folder.path() + "/", {}, kJournalRotateBytes, std::chrono::seconds(0));
  journal.Record(Numbered(1));
  ASSERT_TRUE(real.Remove(folder.File("journal.jsonl")).ok());
  journal.Record(Numbered(2));
  std::string bytes;
  ASSERT_TRUE(real.ReadFile(folder.File("journal.jsonl"), &bytes).ok());
  const auto lines = Lines(bytes);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(SubjectOf(lines[0]), "offer 2");
}

TEST(JournalFileTest, FailuresAreCountedAndSaidOnceAndLaterLinesStillWritten) {
  MemoryFileSystem files;
  files.CreateFolders("/data");
  std::vector<std::string> log;
  JournalFile journal(files, "/data/", [&log](const std::string& line) { log.push_back(line); });
  files.FailCall(0, ENOSPC);
  journal.Record(Numbered(1));
  files.FailCall(0, EIO);
  journal.Record(Numbered(2));
  journal.Record(Numbered(3));
  EXPECT_EQ(journal.failures(), 2u);
  EXPECT_EQ(log.size(), 1u);
  const auto lines = Lines(files.FileBytes("/data/journal.jsonl").value_or(""));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(SubjectOf(lines[0]), "offer 3");

  JournalFile nowhere(files, "");  // no data folder: nothing written, nothing failing
  nowhere.Record(Numbered(4));
  EXPECT_EQ(nowhere.failures(), 0u);
}

// Several writers (threads here; other processes do the same through the same calls)
// appending to one journal on disk, crossing the bound once: every line arrives whole,
// and the one rotation loses none, even when two writers see the bound at once.
TEST(JournalFileTest, ConcurrentWritersNeitherInterleaveNorLoseLines) {
  testing::TemporaryFolder folder("quorvel-journal");
  ASSERT_FALSE(folder.path().empty());
  constexpr int kThreads = 6;
  constexpr int kEach = 400;
  const std::uint64_t lineBytes = JournalLine(Numbered(1000)).size();
  std::vector<std::unique_ptr<JournalFile>> writers;
  for (int t = 0; t < kThreads; ++t) {
    // One writer per thread, as separate processes would have.
    writers.push_back(std::make_unique<JournalFile>(platform::RealFileSystem(), folder.path() + "/",
                                                    nullptr, lineBytes * kThreads * kEach * 2 / 3));
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int n = 0; n < kEach; ++n) writers[t]->Record(Numbered(1000 + t * kEach + n));
    });
  }
  for (auto& thread : threads) thread.join();

  std::string older, current;
  ASSERT_TRUE(platform::RealFileSystem().ReadFile(folder.File("journal.jsonl.1"), &older).ok());
  ASSERT_TRUE(platform::RealFileSystem().ReadFile(folder.File("journal.jsonl"), &current).ok());
  std::set<std::string> subjects;
  for (const auto& line : Lines(older + current)) {
    ASSERT_EQ(line.size() + 1, lineBytes) << line;
    subjects.insert(SubjectOf(line));
  }
  EXPECT_EQ(subjects.size(), static_cast<std::size_t>(kThreads * kEach));
}

}  // namespace
}  // namespace quorvel::outlook
