// The verdict journal's cost per line on disk: the file opened and closed for every
// line (AppendToFile), and the journal, which keeps it open and looks at the path at
// most every `checkEvery` (here never between looks, and on every line).
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "outlook/journal_file.h"
#include "platform/file_system.h"
#include "testing/temporary_folder.h"

namespace quorvel {
namespace {

outlook::JournalEntry Entry(int n) {
  return outlook::JournalEntry{
      .time = 134'000'000'000'000'000ULL,
      .folder = "Inbox",
      .messageId = "<" + std::to_string(n) + "@example.com>",
      .sender = "ann@example.com",
      .subject = "a subject of ordinary length, number " + std::to_string(n),
      .verdict = outlook::kVerdictSpam,
      .reason = "Bayes",
      .destination = "Spam"};
}

// Each line opens, appends to and closes the file.
void BM_JournalOpenEachLine(benchmark::State& state) {
  testing::TemporaryFolder folder("quorvel-journal-bench");
  auto& files = platform::RealFileSystem();
  const std::string path = folder.File(outlook::kJournalFileName);
  int n = 0;
  for (auto _ : state) {
    std::uint64_t size = 0;
    files.AppendToFile(path, outlook::JournalLine(Entry(n++)), &size);
    benchmark::DoNotOptimize(size);
  }
}
BENCHMARK(BM_JournalOpenEachLine);

// The journal with its file kept open; argument: milliseconds between looks at the path.
void BM_JournalKeptOpen(benchmark::State& state) {
  testing::TemporaryFolder folder("quorvel-journal-bench");
  outlook::JournalFile journal(platform::RealFileSystem(), folder.path() + "/", {},
                               outlook::kJournalRotateBytes,
                               std::chrono::milliseconds(state.range(0)));
  int n = 0;
  for (auto _ : state) journal.Record(Entry(n++));
  if (journal.failures() > 0) state.SkipWithError("journal not written");
}
BENCHMARK(BM_JournalKeptOpen)->Arg(0)->Arg(1000);

}  // namespace
}  // namespace quorvel
