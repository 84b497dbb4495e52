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

// The text learning tokenizes: the subject, a space, the body.
std::u16string LearningText(std::u16string_view subject, std::u16string_view body);

// Adds to `learned` what forced learning of one message with `weight` adds to a mail
// base: the text's tokens and the message in the junk or good half, and the balance
// moved by `weight` (up for junk, down for good). Nothing is learned into a store:
// MailbaseStore::Add puts it there.
void AddLearning(LearnedCounts* learned, std::u16string_view body, std::u16string_view subject,
                 bool junk, std::int32_t weight);

std::string SerializeLearned(const LearnedCounts& learned);
// False for bytes of another layout or cut short.
bool ParseLearned(std::string_view bytes, LearnedCounts* learned);

}  // namespace quorvel

#endif  // QUORVEL_BAYES_LEARNED_COUNTS_H_
