// The compiled probability table ("Bayes.db"): per-token spam probabilities derived
// from the learned counts, the message counts they came from, and the settings of
// the formula. Scoring a message reads it; only the rebuild replaces it.
//
// One table per process, owned by Mailbase. Thread-safety: every public operation
// takes the table's recursive lock for its whole run; Score may run on any number of
// threads while a rebuild replaces the table, and sees the old or the new table.
// Lock order: the mail base store's lock before this one, never the reverse.
#ifndef QUORVEL_BAYES_PROBABILITY_TABLE_H_
#define QUORVEL_BAYES_PROBABILITY_TABLE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "bayes/mailbase_pair.h"
#include "bayes/probability_map.h"
#include "bayes/token_corpus.h"
#include "platform/file_system.h"

namespace quorvel {

// Every link counts as this one token when scoring.
inline constexpr std::u16string_view kUrlMarker = u"$$url$url$url$$";

// Tokens that get 0.99 after every compile and load, whatever was learned.
inline constexpr std::array<std::u16string_view, 26> PredefinedSpamTokens = {
    u"slut",       u"cialis",   u"orgasm", u"ejaculation", u"cum",    u"viagra", u"dick",
    u"ass",        u"butt",     u"cheap",  u"drug",        u"buy",    u"xxx",    u"hardcore",
    u"porn",       u"vagina",   u"sex",    u"mortgage",    u"penis",  u"muscle", u"free",
    u"enlargment", u"erection", u"pussy",  u"drugs",       kUrlMarker};

// Result codes of Score.
enum ScoreResult : int {
  kScoreGood = 0,          // score at most 0.8
  kScoreSpam = 1,          // score above 0.8
  kScoreTooFewTokens = 2,  // the body gave fewer than 7 tokens
  kScoreTooFewKnown = 4,   // fewer than 7 body tokens are in the table
};

struct TableStatistics {
  std::int32_t goodMessages = 0;
  std::int32_t junkMessages = 0;
  std::size_t entries = 0;
};

// The values stored beside the probabilities.
struct TableSettings {
  std::int32_t goodMessageCount = 0;
  std::int32_t junkMessageCount = 0;
  double maximumProbability = 0.99;
  double minimumProbability = 0.01;
  std::int32_t minimumCount = 5;
  std::int32_t reserved = 15;
  std::int32_t goodWeight = 1;
  bool operator==(const TableSettings&) const = default;
};

class ProbabilityTable {
 public:
  // `files` must outlive the table.
  explicit ProbabilityTable(platform::FileSystem& files = platform::RealFileSystem())
      : files_(files) {}
  ProbabilityTable(const ProbabilityTable&) = delete;
  ProbabilityTable& operator=(const ProbabilityTable&) = delete;
  virtual ~ProbabilityTable() = default;

  // Full path of "Bayes.db".
  void SetPath(std::string path);
  std::string path() const;

  // Says which pair stamp a table must carry to be loaded (mailbase_pair.h): the
  // stamp of the "Bayes.raw" in force. Returning false accepts any table. Called
  // under the table's lock by EnsureLoaded.
  using StampCheck = std::function<bool(PairStamp* expected)>;
  void SetStampCheck(StampCheck check);

  // Loads the file (else its ".bak") on first use, taking only a file of the pair in
  // force. Returns false only for the first failed load; afterwards the table is used
  // as it is until a rebuild fills it.
  bool EnsureLoaded();
  // Copies the file to ".bak" and writes the table. Sets loaded and may-load.
  // False when the file could not be written (nobody reports it to the user).
  bool Save();
  // Empties the table: no probabilities, message counts 0, not loaded, may load.
  void Clear();
  TableStatistics Statistics() const;

  // Spam probability of a token seen `good` (already weighted) and `junk` times.
  double TokenProbability(double good, double junk) const;
  // Sets the probabilities of the tokens of both corpora that reach the minimum
  // count, then the predefined spam tokens. The caller clears the table first.
  void Compile(const TokenCorpus& good, const TokenCorpus& junk);
  // Clear + Compile as one step for the rebuild, stamped as compiled from the counts
  // of `stamp`: the new table is built before the lock is taken, so scoring waits
  // only for the swap. Returns the file's bytes for the caller to write (the
  // rebuild writes them together with "Bayes.raw", mailbase_pair.h).
  std::string CompileForSaving(const TokenCorpus& good, const TokenCorpus& junk, PairStamp stamp);

  // Whether a file's bytes load as a table, and the pair stamp they carry.
  static bool LoadsWithStamp(std::string_view file, PairStamp* stamp);

  // Judges one message (see ScoreResult). `explanation` gets one line per token
  // used, "%s\t%.7f\r\n" from the highest probability down; explanation and score
  // are written only for kScoreGood and kScoreSpam.
  int Score(bool urlNearTop, std::u16string_view subject, std::u16string_view body,
            std::string* explanation, double* score) const;

  // The table's lock, for operations that must hold it across several calls.
  std::unique_lock<std::recursive_mutex> Lock() const {
    return std::unique_lock<std::recursive_mutex>(mutex_);
  }

  // Inspection.
  std::optional<double> Probability(std::u16string_view token) const;
  TableSettings settings() const;
  void set_settings(const TableSettings& settings);
  std::string headerText() const;
  bool loaded() const;
  bool mayLoad() const;

 private:
  struct Contents {
    std::string headerText;
    TableSettings settings;
    ProbabilityMap probabilities;
    PairStamp stamp;  // of the counts it was compiled from
  };
  bool LoadFile(const std::string& path, Contents* contents) const;
  static bool Parse(std::string file, Contents* contents);
  // Whether a file's bytes load as a table (what may become its ".bak").
  static bool IsLoadable(std::string_view file);
  static void CompileInto(const TokenCorpus& good, const TokenCorpus& junk, Contents* contents);
  static std::string Serialize(const Contents& contents);

  platform::FileSystem& files_;
  mutable std::recursive_mutex mutex_;
  Contents contents_;      // guarded by mutex_
  std::string path_;       // guarded by mutex_
  StampCheck stampCheck_;  // guarded by mutex_
  bool loaded_ = false;    // guarded by mutex_
  bool mayLoad_ = true;    // guarded by mutex_
};

// Probability of a token under `settings` (the formula of TokenProbability).
double TokenProbabilityFor(const TableSettings& settings, double good, double junk);

// The first eight rows of 120 characters of a body, lines glued without separators;
// scoring keeps only this much of a body with a link near its top.
std::u16string BodyBeginning(std::u16string_view body);

}  // namespace quorvel

#endif  // QUORVEL_BAYES_PROBABILITY_TABLE_H_
