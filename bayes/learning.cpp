// Learning messages into the store, the wizard's scan corpus, and the rebuild.
#include <algorithm>
#include <string>

#include "bayes/mailbase_store.h"
#include "platform/string_table.h"

namespace quorvel {
bool MailbaseStore::EnsureLoadedOrTell() {
  if (EnsureLoaded()) return true;
  messageBoxes_.Show(std::string(platform::LoadString(kIdsMailbaseLoadFailed)),
                     std::string(platform::kProductName), platform::MB_OK);
  return false;
}

void MailbaseStore::Learn(std::u16string_view body, std::u16string_view subject, bool junk,
                          std::int32_t weight, bool force, LearnedCounts* learned) {
  EnsureLoadedOrTell();  // learning goes on in memory either way
  auto lock = Lock();
  dirty_ = true;
  changed_ = true;
  const std::int32_t before = balance_;
  if (junk) {
    balance_ = SaturatingAdd(balance_, weight);
  } else if (balance_ > 0 || force) {
    balance_ = SaturatingAdd(balance_, -std::int64_t{weight});
  } else {
    return;
  }
  const int half = junk ? CorpusPair::kJunk : CorpusPair::kGood;
  const std::u16string text = LearningText(subject, body);
  pending_.Half(half).LearnText(text, weight);
  if (learned != nullptr) {
    learned->pair.Half(half).LearnText(text, weight);
    learned->balance = SaturatingAdd(learned->balance, std::int64_t{balance_} - before);
  }
}

bool MailbaseStore::Unlearn(const LearnedCounts& learned) {
  auto lock = Lock();
  if (!EnsureLoaded()) return false;
  // First make sure every count is there, so that a refusal changes nothing.
  for (int half : {CorpusPair::kGood, CorpusPair::kJunk}) {
    const TokenCorpus& taken = learned.pair.Half(half);
    if (std::int64_t{pending_.Half(half).messageCount()} + main_.Half(half).messageCount() <
        taken.messageCount()) {
      return false;
    }
    for (const auto& [token, count] : taken.counts()) {
      if (std::int64_t{pending_.Half(half).Count(token)} + main_.Half(half).Count(token) < count) {
        return false;
      }
    }
  }
  for (int half : {CorpusPair::kGood, CorpusPair::kJunk}) {
    const TokenCorpus& taken = learned.pair.Half(half);
    TokenCorpus& pending = pending_.Half(half);
    TokenCorpus& main = main_.Half(half);
    for (const auto& [token, count] : taken.counts()) {
      main.Take(token, count - pending.Take(token, count));
    }
    const std::int32_t fromPending = std::min(pending.messageCount(), taken.messageCount());
    pending.AddMessages(-fromPending);
    main.AddMessages(-(taken.messageCount() - fromPending));
  }
  balance_ = SaturatingAdd(balance_, -std::int64_t{learned.balance});
  dirty_ = true;
  changed_ = true;
  return true;
}

void MailbaseStore::Add(const LearnedCounts& learned) {
  EnsureLoadedOrTell();  // as Learn: kept in memory either way
  auto lock = Lock();
  dirty_ = true;
  changed_ = true;
  pending_.Merge(learned.pair);
  balance_ = SaturatingAdd(balance_, std::int64_t{learned.balance});
}

void MailbaseStore::LearnScan(std::u16string_view subject, std::u16string_view body) {
  EnsureLoadedOrTell();
  auto lock = Lock();
  dirty_ = true;
  changed_ = true;
  scan_.LearnText(LearningText(subject, body), 1);
}

void MailbaseStore::ClearScan() {
  EnsureLoadedOrTell();
  auto lock = Lock();
  dirty_ = true;
  changed_ = true;
  scan_.Clear();
}

void MailbaseStore::ApplyScan() {
  auto lock = Lock();
  EnsureLoadedOrTell();
  dirty_ = true;
  changed_ = true;
  const std::int32_t scanned = scan_.messageCount();
  const std::int32_t good = main_.good().messageCount();
  const double factor = scanned != 0 && good != 0 ? static_cast<double>(good) / scanned : 1.0;
  scan_.Scale(factor);
  scan_.Swap(main_.good());
  scan_.Clear();
  balance_ = 0;
  Rebuild();
}

void MailbaseStore::Rebuild() {
  auto lock = Lock();
  if (rebuildHook_) rebuildHook_();
  // A store that cannot be loaded holds only this session's learning; compiling it
  // would replace a good table file with almost nothing. The counts stay pending.
  if (!EnsureLoaded()) return;
  // Learning since the last save changed the counts; otherwise only the table is
  // written again, with the stamp of the counts on disk.
  const bool countsChanged = dirty_;
  main_.Merge(pending_);
  pending_.Clear();
  // Both files are written together: the table carries the stamp of the counts it
  // was compiled from, and the new "Bayes.raw" is renamed into place last.
  PairStamp stamp;
  const std::string raw = SerializeRaw(&stamp);
  const std::string table = table_.CompileForSaving(main_.good(), main_.junk(), stamp);
  if (!WriteFiles(rawPath_, countsChanged ? &raw : nullptr, &table, /*wait=*/true)) return;
  dirty_ = false;
  // The counts on disk are now the user's own, whatever they started from.
  if (countsChanged) loadedFrom_ = LoadSource::kRaw;
}

}  // namespace quorvel
