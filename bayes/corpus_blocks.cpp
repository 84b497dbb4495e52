#include "bayes/corpus_blocks.h"

#include <algorithm>
#include <string>

namespace quorvel {

bool ReadCorpusBlock(FileReader& reader, TokenCorpus* corpus) {
  std::int32_t messages = 0;
  std::int32_t entries = 0;
  if (!reader.ReadInt32(true, &messages) || !reader.ReadInt32(true, &entries)) return false;
  corpus->set_messageCount(messages);
  // Each entry takes at least 8 bytes: the file bounds the reservation.
  corpus->Reserve(std::min<std::size_t>(entries > 0 ? static_cast<std::size_t>(entries) : 0,
                                        reader.remaining() / 8));
  std::u16string token;
  while (!reader.AtEnd() && entries > 0) {
    std::int32_t length = 0;
    if (!reader.ReadInt32(true, &length)) break;  // the end of the file: not an error
    if (length < 0 || length > kMaxTokenLength) return false;
    token.clear();
    if (!reader.ReadText(true, static_cast<std::size_t>(length), &token)) return false;
    std::int32_t count = 0;
    // An entry whose count is cut off by the end of the file is dropped.
    if (!reader.ReadInt32(true, &count)) break;
    corpus->Set(token, count);
    --entries;
  }
  return true;
}

// Junk corpus first, then good.
bool ReadCorpusPair(FileReader& reader, CorpusPair* pair) {
  return ReadCorpusBlock(reader, &pair->junk()) && ReadCorpusBlock(reader, &pair->good());
}

void WriteCorpusBlock(FileWriter& writer, const TokenCorpus& corpus) {
  auto entries = corpus.SortedEntries();
  // Tokens too long for the format would make the whole file unreadable.
  std::erase_if(entries, [](const auto& e) {
    return e.first.size() > static_cast<std::size_t>(kMaxTokenLength);
  });
  writer.Int32(true, corpus.messageCount());
  writer.Int32(true, static_cast<std::int32_t>(entries.size()));
  for (const auto& [token, count] : entries) {
    writer.LengthAndText(true, token);
    writer.Int32(true, count);
  }
}

void WriteCorpusPair(FileWriter& writer, const CorpusPair& pair) {
  WriteCorpusBlock(writer, pair.junk());
  WriteCorpusBlock(writer, pair.good());
}

}  // namespace quorvel
