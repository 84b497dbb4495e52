// MoveDetector: tells the user's moves into and out of the spam folder from new mail
// and from the host's own moves (own_moves.h), and hands them to a UserMoveSink.
//
// It keeps the spam folder's messages as last seen (entry id and Message-ID). The
// first scan only learns them; later scans find the entries that are new there, and
// each whose Message-ID was neither there before nor moved there by the host is a
// junk move (this is how moves over IMAP and copies into the spam folder are seen).
// Out of the spam folder:
//   - a moved notification from the spam folder (a rename on a Maildir);
//   - an arrival (in the Inbox, or a created message elsewhere) whose Message-ID was
//     in the spam folder, where that message is gone (an IMAP MOVE, COPY + EXPUNGE)
//     or still lies with the same transport headers (a copy whose original is
//     deleted later, as mutt does). A second delivery of the same spam carries other
//     transport headers and is judged as new mail.
//   - a scan that finds a message gone from the spam folder without any of these (an
//     IMAP client moved it into another folder: the store tells of new mail in the
//     Inbox only) looks for its Message-ID in the store's other folders
//     (spam_departures.h); found, it is a move there. More than
//     kMaxDepartedLookedFor gone at once are taken for a deletion and not looked for.
//     An entry told of while the scan read the folder (the host moving spam in
//     meanwhile) may lie where the reading had passed: it is not gone to that scan.
//     (Taken for gone, every message of the other folders was read to look for it:
//     on a Maildir a folder check of 60,000 spam grew by 150 MB doing so.)
// Such an arrival is a move: the worker does not judge it again. A move is reported
// to the sink only while the LearnFromMoves setting is on, and never when it is one
// the host made.
//
// The record of the spam folder is kept small, for it may hold the whole of a large
// folder check's spam: each message as a 64-bit hash of its entry id (id_hash.h) and
// its Message-ID (looked for in the other folders once it is gone, so kept whole, end
// to end in one string), and a count of the entries of each Message-ID's hash; about
// 120 bytes a message. A scan reads the folder's entry ids in batches and keeps their
// hashes only. An arrival whose Message-ID the record holds reads the folder's entry
// ids again to find its original there (the record has no entry ids to open).
// What a shared hash would mistake: a new entry sharing a known one's hash, or a
// Message-ID sharing one there, is taken for known and its move into the spam folder
// is not learned; an arrival whose Message-ID shares a hash with one there costs that
// reading of the folder, and its Message-ID is compared whole before it is taken for
// a move. None is ever a lesson wrongly learned.
//
// Thread-safety: every member may be called from any thread. mutex_ guards the known
// entries; it is never held across a call into a store or the sink.
#ifndef QUORVEL_OUTLOOK_MOVE_DETECTOR_H_
#define QUORVEL_OUTLOOK_MOVE_DETECTOR_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "mapi/message.h"
#include "mapi/notification.h"
#include "mapi/session.h"
#include "outlook/id_hash.h"
#include "outlook/own_moves.h"
#include "outlook/user_move.h"
#include "settings/settings_holder.h"

namespace quorvel::outlook {

// How often the spam folder is scanned when nothing wakes the scan, in ms.
inline constexpr std::uint32_t kSpamScanMs = 10000;
// At most this many messages gone from the spam folder in one scan are looked for.
inline constexpr std::size_t kMaxDepartedLookedFor = 50;

class MoveDetector {
 public:
  // Every argument must outlive the detector; `sink` may be null (moves are told from
  // arrivals, nothing learns). `log` (may be empty) gets one line per move found.
  MoveDetector(SettingsHolder& settings, OwnMoves& own, UserMoveSink* sink,
               std::function<void(const std::string&)> log = {});
  ~MoveDetector();  // stops the scan thread
  MoveDetector(const MoveDetector&) = delete;
  MoveDetector& operator=(const MoveDetector&) = delete;

  // Reads the spam folder's entries and reports the junk moves among those new since
  // the last scan. False when the spam folder could not be read.
  bool ScanSpamFolder(mapi::Session& session);

  // A moved notification (not into Sent Items).
  void OnMoved(mapi::Session& session, const mapi::Notification& n);
  // A message created in a folder that is not a receive folder (nor Sent Items): in the
  // spam folder a scan follows, elsewhere it may be a copy out of the spam folder.
  void OnCreatedElsewhere(mapi::Session& session, const mapi::Notification& n);
  // A message arriving in `folder` as new mail (`entry` is its entry id). True when it
  // came out of the spam folder: a move, not new mail.
  bool ArrivedFromSpam(mapi::Session& session, mapi::Message& message, const mapi::EntryId& folder,
                       const mapi::EntryId& entry);

  // A message that arrived in `folder` (as `entry`) and is known otherwise to have
  // come out of the spam folder (spam_returns.h): reported as the user's move unless
  // the host made it.
  void ReportReturn(const mapi::EntryId& folder, const mapi::EntryId& entry,
                    const std::string& messageId);

  // Scans every `intervalMs` and whenever Wake is called, on a thread of its own,
  // with the session `obtainSession` gives (none: no scan). Idempotent.
  void StartScanning(std::function<std::shared_ptr<mapi::Session>()> obtainSession,
                     std::uint32_t intervalMs = kSpamScanMs);
  void StopScanning();
  void Wake();

  // The number of completed scans (for tests waiting on one).
  std::uint64_t scans() const;
  std::size_t knownCount() const;

 private:
  mapi::EntryId SpamFolderId() const;
  bool SameFolder(mapi::Session& session, const mapi::EntryId& a, const mapi::EntryId& b) const;
  // Reports `move` unless the setting is off. Never under mutex_.
  void Report(UserMove move);
  // Where a known entry's Message-ID lies in ids_ (size 0: it has none).
  struct Known {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
  };
  // Adds / removes one known entry; forgets them all. REQUIRES: mutex_ held.
  void AddKnown(IdHash entry, std::string_view messageId);
  void RemoveKnown(IdHash entry);
  void ClearKnown();
  // The Message-ID of a known entry. REQUIRES: mutex_ held; valid until the next change.
  std::string_view IdOf(const Known& known) const;

  SettingsHolder& settings_;
  OwnMoves& own_;
  UserMoveSink* sink_;
  const std::function<void(const std::string&)> log_;

  mutable std::mutex mutex_;
  std::string folder_;    // spam folder of them; mutex_
  bool scanned_ = false;  // guarded by mutex_
  // Hash of entry id -> its Message-ID; guarded by mutex_.
  std::unordered_map<IdHash, Known> entries_;
  // Hash of Message-ID -> how many known entries have it; guarded by mutex_.
  std::unordered_map<IdHash, std::uint32_t> idCounts_;
  std::string ids_;                     // the known Message-IDs end to end; guarded by mutex_
  std::size_t deadBytes_ = 0;           // of ids_, no known entry's any more; guarded by mutex_
  std::unordered_set<IdHash> toldOut_;  // entries whose copy out was told; mutex_
  // Scans reading the folder now, and the entries added meanwhile (emptied when none
  // reads); guarded by mutex_.
  int listings_ = 0;
  std::vector<IdHash> addedWhileListing_;
  std::uint64_t scans_ = 0;  // guarded by mutex_

  std::mutex threadMutex_;  // guards the thread's start and stop
  std::condition_variable wakeChanged_;
  bool wake_ = false;  // guarded by mutex_
  bool stop_ = false;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_MOVE_DETECTOR_H_
