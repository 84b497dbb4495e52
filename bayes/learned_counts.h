// LearnedCounts: what one act of learning (a marking of several messages) added to
// the mail base, kept beside the journal so that it can be taken back exactly
// (MailbaseStore::Unlearn).
//
// File layout: "QVLC", the balance added (4 bytes, little-endian), then a pair block
// (corpus_blocks.h) of the tokens and messages learned.
#ifndef QUORVEL_BAYES_LEARNED_COUNTS_H_
#define QUORVEL_BAYES_LEARNED_COUNTS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "bayes/token_corpus.h"

namespace quorvel {

struct LearnedCounts {
  CorpusPair pair;           // tokens and messages learned, good and junk
  std::int32_t balance = 0;  // what learning added to the store's balance
  bool empty() const { return pair.TotalMessages() == 0 && balance == 0; }
};

std::string SerializeLearned(const LearnedCounts& learned);
// False for bytes of another layout or cut short.
bool ParseLearned(std::string_view bytes, LearnedCounts* learned);

}  // namespace quorvel

#endif  // QUORVEL_BAYES_LEARNED_COUNTS_H_
