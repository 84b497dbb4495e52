// The corpus block of the raw file: a message count, an entry count and the entries
// (token text, count), all scrambled; a pair block is the junk corpus, then the good.
#ifndef QUORVEL_BAYES_CORPUS_BLOCKS_H_
#define QUORVEL_BAYES_CORPUS_BLOCKS_H_

#include "bayes/mailbase_file.h"
#include "bayes/token_corpus.h"

namespace quorvel {

// Reads one block into `corpus` (tokens set, replacing earlier counts). The end of the
// file inside the entries is no failure; an entry cut off there is dropped. A token
// length outside 0 to 65,536 fails.
bool ReadCorpusBlock(FileReader& reader, TokenCorpus* corpus);
bool ReadCorpusPair(FileReader& reader, CorpusPair* pair);

// Writes the tokens in code-unit order, leaving out tokens too long for the format.
void WriteCorpusBlock(FileWriter& writer, const TokenCorpus& corpus);
void WriteCorpusPair(FileWriter& writer, const CorpusPair& pair);

}  // namespace quorvel

#endif  // QUORVEL_BAYES_CORPUS_BLOCKS_H_
