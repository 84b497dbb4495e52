// Everything the Bayesian filter knows, in one object the caller owns: the learned
// counts (MailbaseStore, "Bayes.raw") and the compiled probabilities
// (ProbabilityTable, "Bayes.db"). The product creates one per process.
//
// Destruction saves the counts when they changed (learning, not loading) and stops the
// rebuild thread. Both files are written as one pair (mailbase_pair.h).
#ifndef QUORVEL_BAYES_MAILBASE_H_
#define QUORVEL_BAYES_MAILBASE_H_

#include <atomic>
#include <string>
#include <string_view>

#include "bayes/mailbase_store.h"
#include "bayes/probability_table.h"
#include "platform/message_box.h"

namespace quorvel {

inline constexpr std::string_view kRawFileName = "Bayes.raw";
inline constexpr std::string_view kTableFileName = "Bayes.db";
inline constexpr std::string_view kInitialRawFileName = "Bayes.raw.initial";
inline constexpr std::string_view kLegacyRawFileName = "Bayes.raw.old";

// What a command that judges mail learns from Mailbase::PrepareForJudging.
struct JudgingReadiness {
  bool usable = true;  // false: the Bayesian filter has nothing to judge with
  std::string note;    // for the user: what was repaired or what is wrong; "" when all is well
};

class Mailbase {
 public:
  // `messageBoxes` and `files` must outlive the mail base.
  explicit Mailbase(platform::MessageBoxes& messageBoxes,
                    platform::FileSystem& files = platform::RealFileSystem());
  Mailbase(platform::MessageBoxes& messageBoxes, const std::string& dataFolder,
           const std::string& moduleFolder,
           platform::FileSystem& files = platform::RealFileSystem());
  Mailbase(const Mailbase&) = delete;
  Mailbase& operator=(const Mailbase&) = delete;
  ~Mailbase();

  // The per-user data folder (holds "Bayes.raw" and "Bayes.db") and the module
  // folder (holds the seed "Bayes.raw.initial"). Resets the store.
  void SetPaths(const std::string& dataFolder, const std::string& moduleFolder);

  // Loads the compiled table ("Bayes.db", else its ".bak"). When neither loads, the
  // table is compiled again from the learned counts it is derived from and saved, but
  // only from the user's own "Bayes.raw" or its ".bak": the shipped seed's counts
  // would silently replace what the user taught. Without either the mail base is not
  // usable, and judging by its empty table would call nearly every message spam.
  // Call it again to find out whether repaired files load now.
  JudgingReadiness PrepareForJudging();

  // Whether the last PrepareForJudging found the mail base unusable. While it is, the
  // Bayesian rule decides nothing: an empty or foreign table would call nearly every
  // message spam. Thread-safe.
  bool unusable() const { return unusable_.load(); }

  MailbaseStore& store() { return store_; }
  ProbabilityTable& table() { return table_; }

 private:
  platform::FileSystem& files_;
  ProbabilityTable table_;  // declared before the store: the store refers to it
  MailbaseStore store_;
  std::string dataFolder_;
  std::string moduleFolder_;
  std::atomic<bool> unusable_{false};
};

// folder + name, with a '/' between them when the folder lacks one; empty when the
// folder is empty (unknown), so that nothing is read or written in the working
// directory.
std::string JoinPath(const std::string& folder, std::string_view name);

}  // namespace quorvel

#endif  // QUORVEL_BAYES_MAILBASE_H_
