#include "bayes/learned_counts.h"

#include <span>

#include "bayes/corpus_blocks.h"

namespace quorvel {
namespace {

constexpr std::string_view kMagic = "QVLC";

}  // namespace

std::u16string LearningText(std::u16string_view subject, std::u16string_view body) {
  std::u16string text;
  text.reserve(subject.size() + 1 + body.size());
  text.append(subject);
  text.push_back(u' ');
  text.append(body);
  return text;
}

void AddLearning(LearnedCounts* learned, std::u16string_view body, std::u16string_view subject,
                 bool junk, std::int32_t weight) {
  learned->pair.Half(junk ? CorpusPair::kJunk : CorpusPair::kGood)
      .LearnText(LearningText(subject, body), weight);
  learned->balance = SaturatingAdd(learned->balance, junk ? weight : -std::int64_t{weight});
}

std::string SerializeLearned(const LearnedCounts& learned) {
  FileWriter writer;
  writer.Int32(false, learned.balance);
  WriteCorpusPair(writer, learned.pair);
  return std::string(kMagic) + writer.bytes();
}

bool ParseLearned(std::string_view bytes, LearnedCounts* learned) {
  if (!bytes.starts_with(kMagic)) return false;
  bytes.remove_prefix(kMagic.size());
  FileReader reader(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  LearnedCounts read;
  if (!reader.ReadInt32(false, &read.balance) || !ReadCorpusPair(reader, &read.pair)) return false;
  // Every entry must be there: a short file would take back less than was learned.
  if (!reader.AtEnd()) return false;
  FileWriter again;
  WriteCorpusPair(again, read.pair);
  if (again.bytes().size() + 4 != bytes.size()) return false;
  *learned = std::move(read);
  return true;
}

}  // namespace quorvel
