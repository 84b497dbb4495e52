// Speed and memory of the Bayesian filter: tokenizing, scoring, compiling, and
// loading and saving the mail base files, at the sizes of a real mail base.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bayes/learned_counts.h"
#include "bayes/mailbase.h"
#include "bayes/probability_table.h"
#include "bayes/token_stream.h"
#include "platform/message_box.h"

namespace quorvel {
namespace {

constexpr int kTableTokens = 100'000;

class Random {
 public:
  std::uint32_t Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33);
  }

 private:
  std::uint64_t state_ = 42;
};

std::u16string RandomWord(Random& r) {
  static const char16_t kLetters[] = u"etaoinshrdlucmfwypvbgkjqxz";
  std::u16string word;
  int length = 3 + static_cast<int>(r.Next() % 9);
  for (int i = 0; i < length; ++i) word.push_back(kLetters[r.Next() % 26]);
  return word;
}

// The vocabulary every benchmark draws from; the first kTableTokens are learned.
const std::vector<std::u16string>& Vocabulary() {
  static const std::vector<std::u16string> words = [] {
    Random r;
    std::vector<std::u16string> w;
    for (int i = 0; i < kTableTokens; ++i)
      w.push_back(RandomWord(r) + std::u16string(1, u'a' + i % 26));
    return w;
  }();
  return words;
}

// A word of its own for message `i`, so that a marking learns tokens nothing else has.
std::u16string RandomWordAt(int i) {
  return u" uniq" + std::u16string(1, u'a' + i % 26) + std::u16string(1, u'a' + i / 26 % 26) +
         std::u16string(1, u'a' + i / 676 % 26);
}

// About 10 KB of mail text: words, numbers, punctuation, line breaks and a few links.
std::u16string Body(int bytes = 10 * 1024) {
  Random r;
  const auto& words = Vocabulary();
  std::u16string body;
  while (body.size() < static_cast<std::size_t>(bytes)) {
    std::uint32_t pick = r.Next() % 100;
    if (pick < 2) {
      body += u"http://www.example.com/offer?id=" + std::u16string(1, u'0' + pick);
    } else if (pick < 8) {
      body += u"12345";
    } else {
      body += words[r.Next() % (words.size() * 11 / 10) % words.size()];
    }
    body += (pick % 13 == 0) ? u".\r\n" : (pick % 7 == 0 ? u", " : u" ");
  }
  return body;
}

void FillCorpora(TokenCorpus* good, TokenCorpus* junk) {
  Random r;
  const auto& words = Vocabulary();
  good->set_messageCount(5000);
  junk->set_messageCount(3000);
  for (int i = 0; i < kTableTokens; ++i) {
    std::int32_t count = 5 + static_cast<std::int32_t>(r.Next() % 50);
    if (i % 3 != 0) good->Set(words[i], count);
    if (i % 3 != 1) junk->Set(words[i], count / 2 + 5);
  }
}

std::size_t HeapInUse() { return mallinfo2().uordblks; }

std::string TempFile(const char* name) {
  return (std::filesystem::temp_directory_path() /
          ("quorvel-bench-" + std::to_string(::getpid()) + "-" + name))
      .string();
}

void BM_TokenizeBody10KB(benchmark::State& state) {
  const std::u16string body = Body();
  std::size_t tokens = 0;
  for (auto _ : state) {
    TokenStream stream(body);
    tokens = 0;
    ForEachUsedToken(stream, [&](const TokenView& t) {
      benchmark::DoNotOptimize(t.text.data());
      ++tokens;
    });
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size() * 2));
  state.counters["tokens"] = static_cast<double>(tokens);
}
BENCHMARK(BM_TokenizeBody10KB);

void BM_Score10KBAgainst100kTable(benchmark::State& state) {
  TokenCorpus good;
  TokenCorpus junk;
  FillCorpora(&good, &junk);
  ProbabilityTable table;
  table.Compile(good, junk);
  const std::u16string body = Body();
  const std::u16string subject = u"Re: quarterly meeting about the offer";
  int result = 0;
  for (auto _ : state) {
    std::string explanation;
    double score = 0;
    result = table.Score(false, subject, body, &explanation, &score);
    benchmark::DoNotOptimize(score);
  }
  state.SetItemsProcessed(state.iterations());  // messages
  state.counters["result"] = result;
  state.counters["entries"] = static_cast<double>(table.Statistics().entries);
}
BENCHMARK(BM_Score10KBAgainst100kTable);

void BM_Compile100k(benchmark::State& state) {
  TokenCorpus good;
  TokenCorpus junk;
  FillCorpora(&good, &junk);
  ProbabilityTable table;
  for (auto _ : state) {
    table.Clear();
    table.Compile(good, junk);
  }
  state.counters["entries"] = static_cast<double>(table.Statistics().entries);
}
BENCHMARK(BM_Compile100k)->Unit(benchmark::kMillisecond);

void BM_LoadTable100k(benchmark::State& state) {
  const std::string path = TempFile("Bayes.db");
  {
    TokenCorpus good;
    TokenCorpus junk;
    FillCorpora(&good, &junk);
    ProbabilityTable table;
    table.SetPath(path);
    table.Compile(good, junk);
    table.Save();
  }
  std::size_t heap = 0;
  for (auto _ : state) {
    std::size_t before = HeapInUse();
    auto table = std::make_unique<ProbabilityTable>();
    table->SetPath(path);
    if (!table->EnsureLoaded()) state.SkipWithError("load failed");
    heap = HeapInUse() - before;
    benchmark::DoNotOptimize(table.get());
  }
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
  state.counters["heap_bytes"] = static_cast<double>(heap);
  std::filesystem::remove(path);
  std::filesystem::remove(path + ".bak");
}
BENCHMARK(BM_LoadTable100k)->Unit(benchmark::kMillisecond);

void BM_SaveTable100k(benchmark::State& state) {
  const std::string path = TempFile("Bayes.db");
  TokenCorpus good;
  TokenCorpus junk;
  FillCorpora(&good, &junk);
  ProbabilityTable table;
  table.SetPath(path);
  table.Compile(good, junk);
  for (auto _ : state) table.Save();
  std::filesystem::remove(path);
  std::filesystem::remove(path + ".bak");
}
BENCHMARK(BM_SaveTable100k)->Unit(benchmark::kMillisecond);

void BM_LoadRaw100k(benchmark::State& state) {
  const std::string folder = TempFile("data");
  std::filesystem::create_directories(folder);
  platform::ScriptedMessageBoxes boxes;
  {
    Mailbase mailbase(boxes, folder, folder);
    CorpusPair pair;
    FillCorpora(&pair.good(), &pair.junk());
    mailbase.store().SetMainPair(pair);
    mailbase.store().SaveRaw(folder + "/Bayes.raw");
  }
  std::size_t heap = 0;
  for (auto _ : state) {
    std::size_t before = HeapInUse();
    auto store = std::make_unique<Mailbase>(boxes, folder, folder);
    if (!store->store().EnsureLoaded()) state.SkipWithError("load failed");
    heap = HeapInUse() - before;
    store->store().Reset();  // nothing to save on destruction
  }
  state.counters["file_bytes"] =
      static_cast<double>(std::filesystem::file_size(folder + "/Bayes.raw"));
  state.counters["heap_bytes"] = static_cast<double>(heap);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadRaw100k)->Unit(benchmark::kMillisecond);

void BM_SaveRaw100k(benchmark::State& state) {
  const std::string folder = TempFile("data");
  std::filesystem::create_directories(folder);
  platform::ScriptedMessageBoxes boxes;
  Mailbase mailbase(boxes, folder, folder);
  CorpusPair pair;
  FillCorpora(&pair.good(), &pair.junk());
  mailbase.store().SetMainPair(pair);
  for (auto _ : state) mailbase.store().SaveRaw(folder + "/Bayes.raw");
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SaveRaw100k)->Unit(benchmark::kMillisecond);

void BM_Learn10KBMessage(benchmark::State& state) {
  const std::u16string body = Body();
  TokenCorpus corpus;
  for (auto _ : state) corpus.LearnText(body, 5);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Learn10KBMessage);

// The whole rebuild (merge, compile, both files written) of a mail base of 100,000
// tokens after one marking.
void BM_Rebuild100k(benchmark::State& state) {
  const std::string folder = TempFile("rebuild");
  std::filesystem::create_directories(folder);
  platform::ScriptedMessageBoxes boxes;
  Mailbase mailbase(boxes, folder, folder);
  CorpusPair pair;
  FillCorpora(&pair.good(), &pair.junk());
  mailbase.store().StartFresh();
  mailbase.store().SetMainPair(pair);
  const std::u16string body = Body(2 * 1024);
  for (auto _ : state) {
    mailbase.store().Learn(body, u"offer", true, kMarkingWeight, true);
    mailbase.store().Rebuild();
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_Rebuild100k)->Unit(benchmark::kMillisecond);

// Taking back a marking of 1,000 messages (about 2 KB each) from a mail base of 100,000
// tokens, and the rebuild that follows; marked again before each round.
void BM_UndoMarking1000(benchmark::State& state) {
  const std::string folder = TempFile("undo");
  std::filesystem::create_directories(folder);
  platform::ScriptedMessageBoxes boxes;
  Mailbase mailbase(boxes, folder, folder);
  CorpusPair pair;
  FillCorpora(&pair.good(), &pair.junk());
  mailbase.store().StartFresh();
  mailbase.store().SetMainPair(pair);
  std::vector<std::u16string> bodies;
  for (int i = 0; i < 1000; ++i) bodies.push_back(Body(2 * 1024) + RandomWordAt(i));
  std::size_t tokens = 0;
  for (auto _ : state) {
    state.PauseTiming();
    LearnedCounts learned;
    for (const std::u16string& body : bodies) {
      mailbase.store().Learn(body, u"offer", true, kMarkingWeight, true, &learned);
    }
    mailbase.store().Rebuild();
    tokens = learned.pair.junk().size();
    const LearnedCounts kept = [&] {
      LearnedCounts read;
      ParseLearned(SerializeLearned(learned), &read);
      return read;
    }();
    state.ResumeTiming();
    if (!mailbase.store().Unlearn(kept)) state.SkipWithError("unlearn refused");
    mailbase.store().Rebuild();
  }
  state.counters["learned_tokens"] = static_cast<double>(tokens);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_UndoMarking1000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quorvel
