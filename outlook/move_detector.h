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
// Such an arrival is a move: the worker does not judge it again. A move is reported
// to the sink only while the LearnFromMoves setting is on, and never when it is one
// the host made.
//
// Thread-safety: every member may be called from any thread. mutex_ guards the known
// entries; it is never held across a call into a store or the sink.
#ifndef QUORVEL_OUTLOOK_MOVE_DETECTOR_H_
#define QUORVEL_OUTLOOK_MOVE_DETECTOR_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "mapi/message.h"
#include "mapi/notification.h"
#include "mapi/session.h"
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
  // Adds / removes one known entry. REQUIRES: mutex_ held.
  void AddKnown(const std::string& entry, const std::string& messageId);
  void RemoveKnown(const std::string& entry);

  SettingsHolder& settings_;
  OwnMoves& own_;
  UserMoveSink* sink_;
  const std::function<void(const std::string&)> log_;

  mutable std::mutex mutex_;
  std::string folder_;                                 // spam folder of them; mutex_
  bool scanned_ = false;                               // guarded by mutex_
  std::map<std::string, std::string> entries_;         // entry -> Message-ID; mutex_
  std::map<std::string, std::set<std::string>> byId_;  // Message-ID -> entries; mutex_
  std::set<std::string> toldOut_;  // entries whose copy out was told already; mutex_
  std::uint64_t scans_ = 0;        // guarded by mutex_

  std::mutex threadMutex_;  // guards the thread's start and stop
  std::condition_variable wakeChanged_;
  bool wake_ = false;  // guarded by mutex_
  bool stop_ = false;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_MOVE_DETECTOR_H_
