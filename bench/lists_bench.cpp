// Lookups and loading of contact lists of White List size.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "lists/archive.h"
#include "lists/contact_list.h"
#include "lists/dictionary.h"
#include "lists/string_set.h"

namespace quorvel {
namespace {

constexpr platform::FileTime kNow = 133'000'000'000'000'000ULL;

// `n` addresses spread over n/10 domains (ten per domain), mixed case.
std::vector<Contact> MakeContacts(int n) {
  std::vector<Contact> contacts;
  contacts.reserve(n);
  for (int i = 0; i < n; ++i) {
    contacts.push_back(MakeContact("Person." + std::to_string(i) + "@Domain" +
                                   std::to_string(i / 10) + ".example.org"));
  }
  return contacts;
}

ContactList MakeList(const std::vector<Contact>& contacts) {
  ContactList list;
  for (const Contact& c : contacts) list.AddAddress(c, "Some Person", kNow);
  return list;
}

// Timed Find (as the classifier calls it) of addresses that are in the list.
void BM_FindHit(benchmark::State& state) {
  const auto contacts = MakeContacts(static_cast<int>(state.range(0)));
  ContactList list = MakeList(contacts);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.Find(contacts[i], kNow));
    i = (i + 7919) % contacts.size();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FindHit)->RangeMultiplier(10)->Range(100, 100'000)->Complexity(benchmark::oLogN);

// Find of addresses that are not in the list (their domains are).
void BM_FindMiss(benchmark::State& state) {
  const auto contacts = MakeContacts(static_cast<int>(state.range(0)));
  ContactList list = MakeList(contacts);
  std::vector<Contact> misses;
  for (const Contact& c : contacts) misses.push_back(MakeContact("x" + c.address));
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.Find(misses[i]));
    i = (i + 7919) % misses.size();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FindMiss)->RangeMultiplier(10)->Range(100, 100'000)->Complexity(benchmark::oLogN);

// All addresses in one domain: the lookup inside one group must be logarithmic too.
void BM_FindOneDomain(benchmark::State& state) {
  ContactList list;
  std::vector<Contact> contacts;
  for (int i = 0; i < state.range(0); ++i) {
    contacts.push_back(MakeContact("user" + std::to_string(i) + "@example.org"));
    list.AddAddress(contacts.back(), "", kNow);
  }
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.Find(contacts[i]));
    i = (i + 7919) % contacts.size();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FindOneDomain)->RangeMultiplier(10)->Range(100, 100'000)->Complexity(benchmark::oLogN);

// For contrast, a walk over every item (ContainsText has to look at names as well).
void BM_ContainsTextWalk(benchmark::State& state) {
  ContactList list = MakeList(MakeContacts(static_cast<int>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(list.ContainsText("nobody@nowhere.example"));
}
BENCHMARK(BM_ContainsTextWalk)->Arg(10'000)->Unit(benchmark::kMicrosecond);

// Loading the stored image of a 10,000-entry White List.
void BM_LoadWhiteListImage(benchmark::State& state) {
  ContactList list = MakeList(MakeContacts(static_cast<int>(state.range(0))));
  const std::string image = WriteImage(list);
  for (auto _ : state) {
    ContactList loaded;
    if (!ReadImage(loaded, image, kNow).Ok()) state.SkipWithError("image refused");
    benchmark::DoNotOptimize(loaded.Count());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_LoadWhiteListImage)->Arg(10'000)->Unit(benchmark::kMillisecond);

void BM_WriteWhiteListImage(benchmark::State& state) {
  ContactList list = MakeList(MakeContacts(static_cast<int>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(WriteImage(list));
}
BENCHMARK(BM_WriteWhiteListImage)->Arg(10'000)->Unit(benchmark::kMillisecond);

// A wildcard list of 100 patterns none of which matches (the usual case).
void BM_MatchWildcardMiss(benchmark::State& state) {
  StringSet patterns;
  for (int i = 0; i < 100; ++i) patterns.Insert("*@*.spam" + std::to_string(i) + ".example");
  const Contact sender = MakeContact("friend@mail.example.org");
  for (auto _ : state) benchmark::DoNotOptimize(patterns.MatchWildcard(sender));
}
BENCHMARK(BM_MatchWildcardMiss);

// A 50-word dictionary against a 20 KB body with no match.
void BM_MatchDictionaryMiss(benchmark::State& state) {
  StringSet dictionary;
  for (int i = 0; i < 50; ++i) dictionary.Insert("phrase number " + std::to_string(i));
  std::string body;
  while (body.size() < 20'000) body += "An ordinary line of a letter about nothing much. ";
  for (auto _ : state) {
    benchmark::DoNotOptimize(MatchDictionary(dictionary, "Subject line", body, "Sender Name"));
  }
}
BENCHMARK(BM_MatchDictionaryMiss)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvel
