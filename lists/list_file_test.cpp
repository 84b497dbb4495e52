#include "lists/list_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lists/list_file_writer.h"
#include "platform/memory_file_system.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

constexpr platform::FileTime kNow = 133'500'000'000'000'000ULL;

// "Address|Name" of every item, then "pattern:text" of every pattern.
std::vector<std::string> Entries(const ContactList& list, const StringSet& patterns) {
  std::vector<std::string> entries;
  for (const ContactPosition& item : list) entries.push_back(item.Address() + "|" + item.Name());
  for (const std::string& pattern : patterns) entries.push_back("pattern:" + pattern);
  return entries;
}

std::vector<std::string> ImportedEntries(std::string_view bytes) {
  ContactList list;
  StringSet patterns;
  ImportListBytes(bytes, list, patterns, kNow);
  return Entries(list, patterns);
}

std::string Exported(const ContactList& list, const StringSet& patterns) {
  StringByteSink sink;
  EXPECT_EQ(ExportListTo(list, patterns, sink), 0);
  return sink.Bytes();
}

// The same text as UTF-16 little-endian with its mark.
std::string Utf16Twin(std::string_view ansi) { return "\xFF\xFE" + AnsiToUtf16Le(ansi); }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "quorvel-listfile-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string File(const char* name) const { return (path_ / name).string(); }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

TEST(ListFileTest, ExportWritesPatternsFirstThenItemsInKeyOrder) {
  ContactList list;
  StringSet patterns;
  list.AddDomain(MakeContact("@example.org"));
  list.AddAddress(MakeContact("jane@example.com"), "Jane Doe", kNow);
  patterns.Insert("*@spam.example");
  EXPECT_EQ(Exported(list, patterns),
            "*@spam.example\t*@spam.example\r\n"
            "Jane Doe\tjane@example.com\r\n"
            "@example.org\t@example.org\r\n");
}

struct LineCase {
  const char* what;
  std::string bytes;
  std::vector<std::string> entries;
};

TEST(ListFileTest, EachLineBecomesAPatternADomainOrAnAddress) {
  const LineCase cases[] = {
      {"bare domain", "example.org\r\n", {"@example.org|@example.org"}},
      {"quoted name", "\"Jane Doe\"\tjane@example.com\r\n", {"jane@example.com|Jane Doe"}},
      {"no tab: name is the address",
       "jane@example.com\r\n",
       {"jane@example.com|jane@example.com"}},
      {"pattern kept as written", "x\t@*.example.org\r\n", {"pattern:@*.example.org"}},
      {"X.500 address", "J\t/o=Acme/cn=jsmith\r\n", {"/o=Acme/cn=jsmith|J"}},
      {"X.500 organisation", "/Acme\r\n", {"/Acme|/Acme"}},
      {"not a domain, has /", "x\t/o=Acme\r\n", {"/o=Acme|x"}},
      {"blank lines skipped", "  \r\n\t''\r\na@x.org\r\n", {"a@x.org|a@x.org"}},
      {"blanks after the tab", "Jane\t '@example.org' \r\n", {"@example.org|@example.org"}},
      {"domain absorbs address", "a@x.org\r\n@x.org\r\n", {"@x.org|@x.org"}},
      {"address refused by domain", "@x.org\r\na@x.org\r\n", {"@x.org|@x.org"}},
      {"first form kept", "A\tA@X.org\r\nB\ta@x.org\r\n", {"A@X.org|A"}},
      {"last line without a line end",
       "a@x.org\r\nb@x.org",
       {"a@x.org|a@x.org", "b@x.org|b@x.org"}},
      {"LF line ends",
       "a@x.org\nb@x.org\r\nc@x.org\n",
       {"a@x.org|a@x.org", "b@x.org|b@x.org", "c@x.org|c@x.org"}},
      {"empty LF lines", "\n\na@x.org\n\n", {"a@x.org|a@x.org"}},
      {"last line ends in CR", "a@x.org\r", {"a@x.org|a@x.org"}},
      {"UTF-8 mark skipped",
       "\xEF\xBB\xBF"
       "a@x.org\n",
       {"a@x.org|a@x.org"}},
      {"UTF-8 text converted",
       "\xEF\xBB\xBF"
       "Ren\xC3\xA9\tr@x.org\n",
       {"r@x.org|Ren\xE9"}},
      {"UTF-16 big-endian",
       std::string("\xFE\xFF\0a\0@\0x\0\n\0b\0@\0y", 16),
       {"a@x|a@x", "b@y|b@y"}},
      {"empty file", "", {}},
      {"mark only", "\xFF\xFE", {}},
  };
  for (const LineCase& c : cases) {
    EXPECT_EQ(ImportedEntries(c.bytes), c.entries) << c.what;
  }
}

TEST(ListFileTest, Utf16FileImportsLikeItsAnsiTwin) {
  const std::string ansi =
      "\"Ren\xE9 M\xFCller\"\tRene@Example.org\r\nexample.net\r\nx\t*@spam.example\r\nlast";
  const std::string utf16 = Utf16Twin(ansi);
  EXPECT_EQ(ImportedEntries(utf16), ImportedEntries(ansi));
  EXPECT_EQ(ImportedEntries(utf16).size(), 4u);
}

std::vector<std::string> ImportProblems(std::string_view bytes, std::size_t bufferSize) {
  ContactList list;
  StringSet patterns;
  MemoryByteSource source(bytes);
  std::vector<std::string> problems;
  EXPECT_EQ(ImportListFrom(source, list, patterns, kNow, bufferSize, &problems), 0);
  return problems;
}

TEST(ListFileTest, LinesThatCannotBeUsedAreSkippedAndNamed) {
  const std::string good = Utf16Twin("a@x.org\r\n");
  const std::string lone = std::string("b\0\x00\xD8@\0\r\0\n\0", 10);  // unpaired lead
  const std::string tail = Utf16Twin("c@x.org\r\n").substr(2);
  const std::vector<std::string> aAndC = {"a@x.org|a@x.org", "c@x.org|c@x.org"};
  EXPECT_EQ(ImportedEntries(good + lone + tail), aAndC);
  EXPECT_EQ(ImportProblems(good + lone + tail, kListFileBufferSize),
            std::vector<std::string>{"line 2: not valid UTF-16, skipped"});
  // An odd last byte is not a character.
  EXPECT_EQ(ImportedEntries(good + tail.substr(0, tail.size() - 1)), aAndC);
  // A character the code page cannot hold arrives as "?".
  EXPECT_EQ(ImportedEntries(std::string("\xFF\xFE\x2D\x4E@\0x\0\r\0\n\0", 12)),
            std::vector<std::string>{"?@x|?@x"});
}

TEST(ListFileTest, ALineLongerThanTheBufferIsSkippedAndReadingGoesOn) {
  // A line and its CR LF fill the buffer exactly: still read.
  const std::string fits(kListFileBufferSize - 2 - 6, 'a');
  const std::string longer = fits + "a";
  const std::string before = "b@x.org\r\n";
  const std::string after = "c@x.org\r\n";
  EXPECT_EQ(ImportedEntries(before + fits + "@x.org\r\n" + after).size(), 3u);
  EXPECT_EQ(ImportedEntries(before + longer + "@x.org\r\n" + after),
            (std::vector<std::string>{"b@x.org|b@x.org", "c@x.org|c@x.org"}));
  // Several buffers long, in UTF-16, and as the last line: each noted once.
  const std::string huge(3 * 64, 'h');
  EXPECT_EQ(ImportProblems("a\n" + huge + "\nb\n" + huge, 64),
            (std::vector<std::string>{"line 2: longer than 64 bytes, skipped",
                                      "line 4: longer than 64 bytes, skipped"}));
  EXPECT_EQ(ImportProblems(Utf16Twin("a\n" + huge + "\nb\n"), 64),
            std::vector<std::string>{"line 2: longer than 64 bytes, skipped"});
}

// Found by fuzzing: a first line beginning with the bytes 0xFF 0xFE made the exported
// file read as UTF-16, and it imported as nothing.
TEST(ListFileTest, ExportWhoseFirstLineBeginsWithTheMarkBytesReadsBack) {
  ContactList list;
  StringSet patterns;
  list.AddAddress(MakeContact("jane@example.com"), "\xFF\xFEJane", kNow);
  list.AddDomain(MakeContact("@\xE9t\xE9.example"));
  const std::string listOnly = Exported(list, patterns);
  EXPECT_TRUE(listOnly.starts_with(std::string("\xFF\xFE\xFF\0\xFE\0", 6)));
  patterns.Insert("\xFF\xFE*");
  for (const std::string& bytes : {listOnly, Exported(list, patterns)}) {
    ContactList again;
    StringSet againPatterns;
    ImportListBytes(bytes, again, againPatterns, kNow);
    EXPECT_EQ(Entries(again, StringSet()), Entries(list, StringSet()));
    EXPECT_EQ(Exported(again, againPatterns), bytes);
  }
}

TEST(ListFileTest, ANameWithATabOrLineBreakDoesNotBreakTheExportedLine) {
  ContactList list;
  list.AddAddress(MakeContact("a@example.com"), "Jane\nDoe\tSr", kNow);
  list.AddAddress(MakeContact("b@example.com"), "Bob", kNow);
  const std::string bytes = Exported(list, StringSet());
  EXPECT_EQ(bytes, "Jane Doe Sr\ta@example.com\r\nBob\tb@example.com\r\n");
  EXPECT_EQ(ImportedEntries(bytes),
            (std::vector<std::string>{"a@example.com|Jane Doe Sr", "b@example.com|Bob"}));
}

TEST(ListFileTest, ImportFromAFileStampsEveryAddressWithOneTime) {
  TempFolder folder;
  const std::string path = folder.File("list.txt");
  std::ofstream(path, std::ios::binary) << "a@x.org\r\nB\tb@y.org\r\n*@z\r\n";
  platform::FakeClock clock(kNow);
  ContactList list;
  StringSet patterns;
  patterns.Insert("old*");
  ASSERT_EQ(ImportList(list, patterns, path, clock), 0);
  EXPECT_EQ(Entries(list, patterns), (std::vector<std::string>{"a@x.org|a@x.org", "b@y.org|B",
                                                               "pattern:*@z", "pattern:old*"}));
  for (const ContactPosition& item : list) EXPECT_EQ(item.Entry()->lastUsed, kNow);
}

// Hands out some bytes, then fails.
class FailingSource final : public ByteSource {
 public:
  explicit FailingSource(std::string_view bytes) : bytes_(bytes) {}
  int Read(char* buffer, std::size_t capacity, std::size_t* got) override {
    *got = 0;
    if (bytes_.empty()) return EIO;
    *got = bytes_.copy(buffer, capacity);
    bytes_.remove_prefix(*got);
    return 0;
  }

 private:
  std::string_view bytes_;
};

TEST(ListFileTest, AnImportThatFailsChangesNothing) {
  TempFolder folder;
  platform::FakeClock clock(kNow);
  ContactList list;
  StringSet patterns;
  list.AddDomain(MakeContact("@kept.org"));
  patterns.Insert("kept*");
  const std::vector<std::string> before = Entries(list, patterns);
  EXPECT_EQ(ImportList(list, patterns, folder.File("missing.txt"), clock), ENOENT);
  EXPECT_EQ(ImportList(list, patterns, folder.Path().string(), clock), EISDIR);
  FailingSource source("a@x.org\r\n*@y\r\n@kept.org\r\n");
  EXPECT_EQ(ImportListFrom(source, list, patterns, kNow), EIO);
  EXPECT_EQ(Entries(list, patterns), before);
}

TEST(ListFileTest, ExportReplacesTheFileOnlyWhenAllOfItWasWritten) {
  TempFolder folder;
  ContactList list;
  list.AddDomain(MakeContact("@example.org"));
  EXPECT_EQ(ExportList(list, StringSet(), folder.File("no/such/folder.txt")), ENOENT);
  EXPECT_EQ(ExportList(list, StringSet(), folder.Path().string()), EISDIR);
  const std::string path = folder.File("list.txt");
  std::ofstream(path, std::ios::binary) << "old content, longer than the new one\r\n";
  ASSERT_EQ(ExportList(list, StringSet(), path), 0);
  const std::string old = ReadFile(path);
  EXPECT_EQ(old, "@example.org\t@example.org\r\n");

  // A write that fails part-way: files may not grow past 1000 bytes.
  for (int i = 0; i < 200; ++i) {
    list.AddAddress(MakeContact("user" + std::to_string(i) + "@example.net"), "User", kNow);
  }
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 1000;
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const int result = ExportList(list, StringSet(), path);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(result, EFBIG);
  EXPECT_EQ(ReadFile(path), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
}

TEST(ListFileTest, AnExportFailingAtAnyWriteLeavesTheOldFileWhole) {
  platform::MemoryFileSystem files;
  files.PutFile("/lists/white.txt", "old\r\n");
  ContactList list;
  for (int i = 0; i < 5000; ++i) {
    list.AddAddress(MakeContact("user" + std::to_string(i) + "@example.net"), "User", kNow);
  }
  int failures = 0;
  for (int n = 0;; ++n) {
    files.FailCall(n, ENOSPC);
    const int result = ExportList(list, StringSet(), "/lists/white.txt", files);
    if (result == 0) break;
    ++failures;
    EXPECT_EQ(result, ENOSPC);
    EXPECT_EQ(files.FileBytes("/lists/white.txt"), "old\r\n") << "call " << n;
    EXPECT_EQ(files.Files(), std::vector<std::string>{"/lists/white.txt"}) << "call " << n;
  }
  EXPECT_GT(failures, 3);  // the file goes out in several buffers
  ContactList back;
  StringSet patterns;
  ASSERT_EQ(ImportList(back, patterns, "/lists/white.txt", platform::FakeClock(kNow), files), 0);
  EXPECT_EQ(Entries(back, patterns), Entries(list, StringSet()));
}

// Records each write; fails from the `failAt`-th on.
class RecordingSink final : public ByteSink {
 public:
  explicit RecordingSink(int failAt = -1) : failAt_(failAt) {}
  int Write(std::string_view bytes) override {
    if (failAt_ >= 0 && static_cast<int>(writes.size()) >= failAt_) return ENOSPC;
    writes.emplace_back(bytes);
    return 0;
  }
  std::vector<std::string> writes;

 private:
  int failAt_;
};

TEST(ListFileWriterTest, WritesWhenTheNextLineDoesNotFitAndStopsAtAFailure) {
  RecordingSink sink;
  ListFileWriter writer(sink, 10);
  for (const char* line : {"abc", "def", "g", "longer than ten"})
    EXPECT_EQ(writer.WriteLine(line), 0);
  EXPECT_EQ(writer.Flush(), 0);
  EXPECT_EQ(sink.writes,
            (std::vector<std::string>{"abc\r\ndef\r\n", "g\r\n", "longer than ten", "\r\n"}));

  RecordingSink failing(1);
  ListFileWriter stopped(failing, 8);
  for (const char* line : {"abcd", "efgh"}) EXPECT_EQ(stopped.WriteLine(line), 0);
  EXPECT_EQ(stopped.WriteLine("ijkl"), ENOSPC);
  EXPECT_EQ(stopped.WriteLine("m"), ENOSPC);
  EXPECT_EQ(stopped.Flush(), ENOSPC);
  EXPECT_EQ(failing.writes, std::vector<std::string>{"abcd\r\n"});
}

}  // namespace
}  // namespace quorvel
