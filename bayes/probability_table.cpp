#include "bayes/probability_table.h"

#include <span>
#include <utility>
#include <vector>

#include "bayes/mailbase_file.h"

namespace quorvel {
namespace {

constexpr std::int32_t kMaxHeaderLength = 10000;
// Header block = text + one 0 byte + 4-byte version (+ 8-byte pair stamp).
constexpr std::int32_t kHeaderOverhead = 5;
constexpr std::int32_t kStampSize = 8;

bool SameFormula(const TableSettings& a, const TableSettings& b) {
  return a.maximumProbability == b.maximumProbability &&
         a.minimumProbability == b.minimumProbability && a.minimumCount == b.minimumCount &&
         a.goodWeight == b.goodWeight;
}

// Counts the entries from `offset` on (stopping where the lengths stop making sense)
// so that the map is allocated once, at its final size.
void ReserveForEntries(std::span<const std::uint8_t> bytes, std::size_t offset,
                       ProbabilityMap* map) {
  std::size_t entries = PredefinedSpamTokens.size();
  std::size_t units = 0;
  std::size_t pos = offset;
  while (bytes.size() - pos >= 4) {
    std::uint32_t length = std::uint32_t{bytes[pos]} | std::uint32_t{bytes[pos + 1]} << 8 |
                           std::uint32_t{bytes[pos + 2]} << 16 |
                           std::uint32_t{bytes[pos + 3]} << 24;
    if (length > static_cast<std::uint32_t>(kMaxTokenLength)) break;
    std::size_t size = 4 + 2 * std::size_t{length} + 8;
    if (bytes.size() - pos < size) break;
    pos += size;
    ++entries;
    units += length;
  }
  map->Reserve(entries, units + 64 * PredefinedSpamTokens.size());
}

}  // namespace

double TokenProbabilityFor(const TableSettings& s, double good, double junk) {
  double junkRatio = s.junkMessageCount != 0 ? junk / s.junkMessageCount : 0.0;
  if (junkRatio > 1.0) junkRatio = 1.0;
  double goodRatio = s.goodMessageCount != 0 ? good / s.goodMessageCount : 0.0;
  if (goodRatio > 1.0) goodRatio = 1.0;
  if (goodRatio == 0.0 && junkRatio == 0.0) return s.maximumProbability;
  double p = junkRatio / (goodRatio + junkRatio);
  if (p < s.minimumProbability) p = s.minimumProbability;
  if (p > s.maximumProbability) p = s.maximumProbability;
  return p;
}

void ProbabilityTable::SetPath(std::string path) {
  auto lock = Lock();
  path_ = std::move(path);
}

std::string ProbabilityTable::path() const {
  auto lock = Lock();
  return path_;
}

void ProbabilityTable::SetStampCheck(StampCheck check) {
  auto lock = Lock();
  stampCheck_ = std::move(check);
}

bool ProbabilityTable::LoadsWithStamp(std::string_view file, PairStamp* stamp) {
  Contents contents;
  if (!Parse(std::string(file), &contents)) return false;
  *stamp = contents.stamp;
  return true;
}

bool ProbabilityTable::LoadFile(const std::string& path, Contents* contents) const {
  std::string file;
  if (!files_.ReadFile(path, &file).ok()) return false;
  return Parse(std::move(file), contents);
}

bool ProbabilityTable::IsLoadable(std::string_view file) {
  Contents contents;
  return Parse(std::string(file), &contents);
}

bool ProbabilityTable::Parse(std::string file, Contents* contents) {
  for (char& b : file) b = static_cast<char>(b ^ kScrambleByte);
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(file.data()),
                                            file.size());
  FileReader reader(bytes);
  ProbabilityMap& map = contents->probabilities;

  bool ok = false;
  [&] {
    std::int32_t headerLength = 0;
    if (!reader.ReadInt32(false, &headerLength)) return;
    if (headerLength < 0 || headerLength > kMaxHeaderLength) return;
    std::string header(static_cast<std::size_t>(headerLength), '\0');
    if (!reader.ReadBytes(false, header.size(), reinterpret_cast<std::uint8_t*>(header.data()))) {
      return;
    }
    const std::size_t end = header.find('\0');
    contents->headerText = header.substr(0, end);
    contents->stamp = PairStamp{};
    // After the text: the 0 byte, the version and, in a stamped file, the stamp.
    if (end != std::string::npos && header.size() == end + kHeaderOverhead + kStampSize) {
      std::uint64_t v = 0;
      for (int i = kStampSize - 1; i >= 0; --i) {
        v = v << 8 | static_cast<unsigned char>(header[end + kHeaderOverhead + i]);
      }
      contents->stamp = PairStamp{true, v};
    }

    TableSettings& s = contents->settings;
    if (!reader.ReadInt32(false, &s.goodMessageCount) ||
        !reader.ReadInt32(false, &s.junkMessageCount) ||
        !reader.ReadDouble(false, &s.maximumProbability) ||
        !reader.ReadDouble(false, &s.minimumProbability) ||
        !reader.ReadInt32(false, &s.minimumCount) || !reader.ReadInt32(false, &s.reserved) ||
        !reader.ReadInt32(false, &s.goodWeight)) {
      return;
    }

    ReserveForEntries(bytes, bytes.size() - reader.remaining(), &map);
    std::u16string token;
    while (!reader.AtEnd()) {
      std::int32_t length = 0;
      if (!reader.ReadInt32(false, &length)) break;  // a few stray bytes at the end
      if (length < 0 || length > kMaxTokenLength) return;
      token.clear();
      if (!reader.ReadText(false, static_cast<std::size_t>(length), &token)) return;
      double probability = 0;
      // An entry whose probability is cut off by the end of the file is dropped.
      if (!reader.ReadDouble(false, &probability)) break;
      map.Append(token, probability);
    }
    for (std::u16string_view spam : PredefinedSpamTokens) map.Append(spam, 0.99);
    ok = true;
  }();
  map.Finish();
  return ok;
}

bool ProbabilityTable::EnsureLoaded() {
  auto lock = Lock();
  if (loaded_) return true;
  if (!mayLoad_) return true;
  PairStamp expected;
  const bool checked = stampCheck_ && stampCheck_(&expected);
  // A table compiled from other counts than the "Bayes.raw" in force (its writer was
  // stopped between the two files) counts as not loading.
  const auto ofPair = [&](const Contents& c) { return !checked || c.stamp == expected; };
  Contents first{contents_.headerText, contents_.settings, {}, {}};
  bool ok = !path_.empty() && LoadFile(path_, &first) && ofPair(first);
  if (ok) {
    contents_ = std::move(first);
  } else {
    // The backup starts from a clean table, so nothing of the damaged file mixes in;
    // when both fail, what was read of the main file stays.
    Contents second{contents_.headerText, contents_.settings, {}, {}};
    ok = !path_.empty() && LoadFile(path_ + std::string(kBackupSuffix), &second) && ofPair(second);
    contents_ = ok ? std::move(second) : std::move(first);
  }
  loaded_ = ok;
  mayLoad_ = ok;
  return ok;
}

std::string ProbabilityTable::Serialize(const Contents& contents) {
  FileWriter writer;
  writer.Reserve(64 + contents.probabilities.size() * 40);
  // A longer header could not be read back.
  std::string_view header = contents.headerText;
  const std::int32_t stampSize = contents.stamp.present ? kStampSize : 0;
  if (header.size() > static_cast<std::size_t>(kMaxHeaderLength - kHeaderOverhead - stampSize)) {
    header = header.substr(0, kMaxHeaderLength - kHeaderOverhead - stampSize);
  }
  writer.Int32(true, static_cast<std::int32_t>(header.size()) + kHeaderOverhead + stampSize);
  writer.Bytes(true, header);
  writer.Bytes(true, std::string_view("\0", 1));
  writer.Int32(true, kMailbaseVersion);
  if (contents.stamp.present) {
    writer.Int32(true, static_cast<std::int32_t>(contents.stamp.value));
    writer.Int32(true, static_cast<std::int32_t>(contents.stamp.value >> 32));
  }
  const TableSettings& s = contents.settings;
  writer.Int32(true, s.goodMessageCount);
  writer.Int32(true, s.junkMessageCount);
  writer.Double(true, s.maximumProbability);
  writer.Double(true, s.minimumProbability);
  writer.Int32(true, s.minimumCount);
  writer.Int32(true, s.reserved);
  writer.Int32(true, s.goodWeight);
  contents.probabilities.ForEach([&](std::u16string_view token, double probability) {
    // A token too long for the format would make the whole file unreadable.
    if (token.size() > static_cast<std::size_t>(kMaxTokenLength)) return;
    writer.LengthAndText(true, token);
    writer.Double(true, probability);
  });
  return writer.bytes();
}

bool ProbabilityTable::Save() {
  std::string bytes;
  std::string path;
  {
    auto lock = Lock();
    bytes = Serialize(contents_);
    path = path_;
    loaded_ = true;
    mayLoad_ = true;
  }
  return !path.empty() && ReplaceFileWithBackup(files_, path, bytes, IsLoadable).ok();
}

void ProbabilityTable::Clear() {
  auto lock = Lock();
  contents_.probabilities.Clear();
  contents_.settings.goodMessageCount = 0;
  contents_.settings.junkMessageCount = 0;
  loaded_ = false;
  mayLoad_ = true;
}

TableStatistics ProbabilityTable::Statistics() const {
  auto lock = Lock();
  return {contents_.settings.goodMessageCount, contents_.settings.junkMessageCount,
          contents_.probabilities.size()};
}

double ProbabilityTable::TokenProbability(double good, double junk) const {
  auto lock = Lock();
  return TokenProbabilityFor(contents_.settings, good, junk);
}

void ProbabilityTable::CompileInto(const TokenCorpus& good, const TokenCorpus& junk,
                                   Contents* contents) {
  TableSettings& s = contents->settings;
  s.goodMessageCount = good.messageCount();
  s.junkMessageCount = junk.messageCount();
  ProbabilityMap& map = contents->probabilities;
  const double goodWeight = s.goodWeight;
  const double minimumCount = s.minimumCount;
  for (const auto& [token, junkCount] : junk.counts()) {
    const std::int32_t* goodCount = good.Find(token);
    double g = goodCount != nullptr ? *goodCount * goodWeight : 0.0;
    double b = junkCount;
    if (g + b >= minimumCount) map.Append(token, TokenProbabilityFor(s, g, b));
  }
  for (const auto& [token, goodCount] : good.counts()) {
    if (junk.Find(token) != nullptr) continue;
    double g = goodCount * goodWeight;
    if (g >= minimumCount) map.Append(token, TokenProbabilityFor(s, g, 0.0));
  }
  for (std::u16string_view spam : PredefinedSpamTokens) map.Append(spam, 0.99);
  map.Finish();
}

void ProbabilityTable::Compile(const TokenCorpus& good, const TokenCorpus& junk) {
  auto lock = Lock();
  CompileInto(good, junk, &contents_);
}

std::string ProbabilityTable::CompileForSaving(const TokenCorpus& good, const TokenCorpus& junk,
                                               PairStamp stamp) {
  Contents next;
  {
    auto lock = Lock();
    next.headerText = contents_.headerText;
    next.settings = contents_.settings;
  }
  for (;;) {
    CompileInto(good, junk, &next);
    auto lock = Lock();
    if (!SameFormula(next.settings, contents_.settings)) {
      // A load changed the formula while we compiled: compile again with it.
      next = Contents{contents_.headerText, contents_.settings, {}, {}};
      continue;
    }
    next.headerText = contents_.headerText;
    next.stamp = stamp;
    contents_ = std::move(next);
    loaded_ = true;
    mayLoad_ = true;
    return Serialize(contents_);
  }
}

std::optional<double> ProbabilityTable::Probability(std::u16string_view token) const {
  auto lock = Lock();
  const double* p = contents_.probabilities.Find(token);
  if (p == nullptr) return std::nullopt;
  return *p;
}

TableSettings ProbabilityTable::settings() const {
  auto lock = Lock();
  return contents_.settings;
}

void ProbabilityTable::set_settings(const TableSettings& settings) {
  auto lock = Lock();
  contents_.settings = settings;
}

std::string ProbabilityTable::headerText() const {
  auto lock = Lock();
  return contents_.headerText;
}

bool ProbabilityTable::loaded() const {
  auto lock = Lock();
  return loaded_;
}

bool ProbabilityTable::mayLoad() const {
  auto lock = Lock();
  return mayLoad_;
}

}  // namespace quorvel
