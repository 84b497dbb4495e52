// The folder check: every message of a folder (and, when asked, of all its
// subfolders) judged with the full rule chain, without learning (kStandardFlags), and
// the spam found moved into the spam folder: one move per folder after its last
// message, or, in a folder with more spam than that, one move for each thousand spam
// as they are found (so that the ids held stay few). The spam folder itself is never
// checked, also not as a subfolder.
//
// CheckFolderTree is the walk; FolderChecker runs it on a thread of its own with the
// progress shown through a presenter and the user's Cancel, and is the entry point
// for every caller (the Check Folder command, the first-run wizard's Inbox check).
//
// The bar: a folder with m messages and s subfolders (counted when it is opened)
// divides its share of the bar into m + 8s units, one per message and eight per
// subfolder, each subfolder dividing its eight the same way. A cancel stops at the
// next message: what earlier folders and earlier batches moved stays moved, and the
// spam noted since the last move is left where it is.
//
// Failures: a folder or message that cannot be opened (gone meanwhile) is passed over
// and the check goes on; a move that fails leaves the messages where they are.
//
// Each spam's Message-ID is noted in the host's own moves (own_moves.h) before it is
// moved, so that the watchers of the user's moves never take the check's moves for
// junk markings to learn from.
#ifndef QUORVEL_OUTLOOK_FOLDER_CHECK_H_
#define QUORVEL_OUTLOOK_FOLDER_CHECK_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "mapi/entry_id.h"
#include "mapi/folder.h"
#include "mapi/session.h"
#include "outlook/own_moves.h"
#include "outlook/spam_judge.h"
#include "settings/settings_holder.h"
#include "ui/ui.h"

namespace quorvel::outlook {

// What a check found.
struct CheckTally {
  std::uint32_t checked = 0;  // messages judged
  std::uint32_t spam = 0;     // of them found to be spam
  std::uint32_t moved = 0;    // of those moved into the spam folder
};

// What the walk needs. The session may be used from the walking thread.
struct CheckTarget {
  mapi::Session& session;
  SpamJudge& judge;
  std::shared_ptr<mapi::Folder> spamFolder;  // null: spam is counted, not moved
  mapi::EntryId spamFolderId;                // never checked
  OwnMoves* ownMoves = nullptr;              // where the moves are noted; null: nowhere
};

// The progress handed down the folder tree: where this folder's share of the bar
// starts and how wide it is (fractions of the whole), the tally, and the sink, told
// the bar's position (0 to 1) and the tally after each message; it returns false once
// the user cancelled.
struct CheckProgress {
  double position = 0.0;
  double width = 1.0;
  CheckTally tally{};
  std::function<bool(double position, const CheckTally& tally)> report;
};

// Checks `folder` (whose entry id is `folderId`) and, with `includeSubfolders`, its
// subfolders. False when the check was cancelled. REQUIRES: progress.report is set.
bool CheckFolderTree(const CheckTarget& target, CheckProgress& progress, mapi::Folder& folder,
                     const mapi::EntryId& folderId, bool includeSubfolders);

// How a run ended.
enum class CheckEnd {
  kFinished,
  kCancelled,
  kNoSpamFolder,  // the spam folder could not be opened (559 was shown)
  kBusy,          // another check runs (said to the user)
  kNoThread,      // the check's thread could not be started
};

struct CheckOutcome {
  CheckEnd end = CheckEnd::kFinished;
  CheckTally tally{};
};

// Runs checks, one at a time per checker.
// Thread-safety: Run may be called from any thread; a second Run while one is under
// way is refused at once (kBusy) rather than queued.
class FolderChecker {
 public:
  // `settings` names the spam folder; `judge` judges each message; the moves are
  // noted in `ownMoves` (may be null). All outlive this.
  FolderChecker(SettingsHolder& settings, SpamJudge& judge, OwnMoves* ownMoves = nullptr)
      : settings_(settings), judge_(judge), ownMoves_(ownMoves) {}

  // Opens the spam folder (559 through `ui` when it cannot be), then checks the
  // folder `folderId` of `session` on a thread of its own while this thread shows its
  // progress through `ui` ("Checking folder for spam...", range 16,384, redrawn every
  // 250 ms with the counts and the rate) and passes on the user's Cancel. Returns when
  // the check has ended.
  CheckOutcome Run(ui::Ui& ui, std::shared_ptr<mapi::Session> session,
                   const mapi::EntryId& folderId, bool includeSubfolders);

  bool running() const { return running_.load(); }

 private:
  SettingsHolder& settings_;
  SpamJudge& judge_;
  OwnMoves* ownMoves_;
  std::atomic<bool> running_{false};
};

// The text said when a check is asked for while one runs.
inline constexpr const char* kCheckRunning =
    "A folder check is running already. Wait for it to end, or cancel it, and try again.";

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_FOLDER_CHECK_H_
