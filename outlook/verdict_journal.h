// VerdictJournal: where the host records each verdict it acts on. The worker calls
// Record once per message it judged (and once per message taken back out of the spam
// folder); the journal file (journal_file.h) keeps the records, and anything else that
// wants to hear of them (an event published to clients) can stand in front of it.
//
// Thread-safety: Record may be called from any thread; it must not block for long,
// and it reports no failure (a journal that cannot be written must not stop the
// worker).
#ifndef QUORVEL_OUTLOOK_VERDICT_JOURNAL_H_
#define QUORVEL_OUTLOOK_VERDICT_JOURNAL_H_

#include <string>

#include "platform/clock.h"

namespace quorvel::outlook {

// Values of JournalEntry::verdict.
inline constexpr const char* kVerdictSpam = "spam";
inline constexpr const char* kVerdictGood = "good";
inline constexpr const char* kVerdictReturned = "returned";  // taken back out of spam

struct JournalEntry {
  platform::FileTime time = 0;
  std::string folder{};  // the folder the message was in when judged
  std::string messageId{};
  std::string sender{};
  std::string subject{};
  std::string verdict{};  // one of the kVerdict values
  std::string reason{};   // the first line of the verdict's reason
  // The folder the message was moved to; empty when it stayed where it was.
  std::string destination{};
};

class VerdictJournal {
 public:
  virtual ~VerdictJournal() = default;
  virtual void Record(const JournalEntry& entry) = 0;
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_VERDICT_JOURNAL_H_
