// The Scan page's work: learning the user's own mail of the chosen folders into the
// mail base's scan corpus (MailbaseStore::LearnScan).
//
// The folders are walked in order, each through its contents table in batches of
// kWalkBatch rows; all of them share one budget of kScanRows rows (CContactLimit, no
// time limit), counted before each row, whose end ends the scan normally. A message
// whose normalized subject (PR_NORMALIZED_SUBJECT, else PR_SUBJECT without its "Re: "
// and "Fwd: " prefixes) and body text both read is learned; one that does not is
// counted as unreadable. A failing call ends that folder; the scan goes on with the
// next. `closed` is asked before each message: when it says the wizard was closed,
// the scan stops by throwing WizardClosed, and the caller clears the scan corpus.
//
// Progress runs from 0 to kScanRange, each folder an equal slice of it.
//
// Threading: the wizard's thread, the only one that touches the scan corpus.
#ifndef QUORVEL_OUTLOOK_WIZARD_SCAN_H_
#define QUORVEL_OUTLOOK_WIZARD_SCAN_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "bayes/mailbase_store.h"
#include "mapi/session.h"

namespace quorvel::outlook {

inline constexpr std::int32_t kScanRows = 1048;
inline constexpr std::uint32_t kScanRange = 16384;
// Learned messages it takes to replace the good corpus.
inline constexpr std::uint32_t kScanApplyMinimum = 10;

struct ScanCounters {
  std::uint32_t processed = 0;
  std::uint32_t learned = 0;
  std::uint32_t unreadable = 0;
  bool budgetSpent = false;
};

// Thrown out of ScanFolders when the wizard was closed.
struct WizardClosed {};

ScanCounters ScanFolders(mapi::Session& session, const std::vector<mapi::EntryId>& folders,
                         MailbaseStore& store, const std::function<bool()>& closed,
                         const std::function<void(std::uint32_t position)>& progress);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_WIZARD_SCAN_H_
