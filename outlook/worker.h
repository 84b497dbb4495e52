// Worker: the one thread that judges new mail. It takes messages from the pending
// queue in entry-id order, opens each through the mail-store session, asks the judge
// for a verdict and moves spam into the spam folder (optionally marking it read),
// counting it for the tray popup. The message object that was judged is the one that
// is moved, so a store reads each new message once. A message that a mail program
// copied back out of the spam folder (spam_returns.h) is a move, not new mail: it is
// neither judged nor moved.
//
// Each verdict the worker acts on (a judged message, good or spam, and a message taken
// back out of the spam folder) is given to the journal, when there is one; each move
// into the spam folder also makes one line on `log`.
//
// Between messages the worker keeps the session and the open spam folder; after
// idleReleaseMs without work it lets both go and takes them again when work comes.
//
// Threads: Start, Stop and WaitUntilIdle are called by the core on the user-interface
// thread; the loop runs on the worker's own thread. RunPass and ReleaseHeld are the
// loop's steps, public so that tests can drive them without a thread (never while it
// runs). The queue, the settings and the mail base guard themselves, and the held
// session and spam folder belong to the worker's thread; idleMutex_ guards only busy_
// (whether the thread has a pass in hand), and the queue's lock may be taken inside it,
// never the other way round.
#ifndef QUORVEL_OUTLOOK_WORKER_H_
#define QUORVEL_OUTLOOK_WORKER_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "core/verdict.h"
#include "host/application.h"
#include "mapi/folder.h"
#include "mapi/message.h"
#include "mapi/session.h"
#include "outlook/move_detector.h"
#include "outlook/own_moves.h"
#include "outlook/pending_queue.h"
#include "outlook/spam_judge.h"
#include "outlook/spam_returns.h"
#include "outlook/tray_counter.h"
#include "outlook/verdict_journal.h"
#include "platform/clock.h"
#include "settings/settings_holder.h"

namespace quorvel::outlook {

// Flag bits the worker adds for the move (the classifier does not read them).
inline constexpr ClassifyFlags kMoveClearRead = 0x10;
inline constexpr ClassifyFlags kMoveSetRead = 0x20;

struct WorkerOptions {
  PendingQueue& queue;
  SettingsHolder& settings;
  const platform::Clock& clock;
  SpamJudge& judge;
  // The mail-store session of the profile (null when there is none yet).
  std::function<std::shared_ptr<mapi::Session>()> obtainSession;
  // Set when a good message arrives; cleared by the add-in when the selection changes.
  std::atomic<bool>& goodSeen;
  // Takes the mail client's new-mail icon away (spam arrived and nothing good since
  // the user last looked); may be empty where the host has no such icon.
  std::function<void()> removeNewMailIcon = {};
  TrayCounter* tray = nullptr;
  // The host's counts of judged and moved messages (`quorvel status`); may be null.
  host::HostCounters* counters = nullptr;
  // The mail base's rebuild thread, started and stopped with the worker; may be empty.
  std::function<void()> startRebuild = {};
  std::function<void()> stopRebuild = {};
  std::uint32_t idleReleaseMs = 10000;
  // Where acted verdicts are recorded; may be null.
  VerdictJournal* journal = nullptr;
  // A line on the host's log (one per move); may be empty.
  std::function<void(const std::string&)> log = {};
  // Tells arrivals that came out of the spam folder from new mail; may be null.
  MoveDetector* moves = nullptr;
  // Where the worker notes its own moves into the spam folder; may be null.
  OwnMoves* ownMoves = nullptr;
  // The record of the Message-IDs moved into the spam folder (spam_returns.h), shared
  // with the markings; must outlive the worker. Null: the worker keeps one of its own,
  // in memory only.
  SpamReturns* returns = nullptr;
};

class Worker {
 public:
  explicit Worker(WorkerOptions options);
  ~Worker();  // stops the thread
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Starts the rebuild thread and the worker thread, and makes the worker's wake event
  // the queue's. Returns S_OK, or a failure (nothing is left running then).
  mapi::HRESULT Start();
  // Stops the thread (waiting for the message in hand), then the rebuild thread, and
  // takes the wake event off the queue. Idempotent.
  void Stop();
  bool running() const { return thread_.joinable(); }

  // Nothing waits in the queue and no message is in hand (judged, or being moved).
  // Any thread.
  bool Idle() const;
  // Returns once the thread is idle (what was queued before and meanwhile is judged
  // and moved), or once it stops; at once when it does not run.
  void WaitUntilIdle();
  // The same, waiting at most `limit`: whether it is idle.
  bool WaitUntilIdleFor(std::chrono::milliseconds limit);

  // One round of the loop once work is there: forget old recent spam, take the session
  // and spam folder when not held, and handle every pending message.
  void RunPass();
  // Lets the held session and spam folder go.
  void ReleaseHeld();
  bool HoldsSession() const { return holdsSession_.load(); }

  // Handles one queued message (its judgement, completion and move).
  void HandleMessage(const PendingMessage& item);

 private:
  void Loop();
  void SetBusy(bool busy);
  void Acquire();
  // The spam folder for a move: the one held, the one the settings name, else resolved
  // again (found or made) and the settings rewritten. False when there is none.
  bool EnsureSpamFolder();
  bool MoveToSpam(mapi::Message& message, std::shared_ptr<mapi::Folder> source,
                  const mapi::EntryId& messageId, const mapi::EntryId& queuedParent,
                  ClassifyFlags flags);
  bool SameEntry(const mapi::EntryId& a, const mapi::EntryId& b);
  static std::string MessageIdOf(mapi::Message& message);
  // What the journal records of `message` (in `folder`), its destination still empty.
  JournalEntry EntryFor(mapi::Message& message, mapi::Folder* folder, const char* verdict,
                        const std::string& reason);
  // Gives `entry` to the journal, and a move (a destination) to the log.
  void Record(const JournalEntry& entry);
  // The spam folder's name (read once while it is held).
  const std::string& SpamFolderName();
  // A message the worker moved into the spam folder, brought back as a copy.
  bool IsReturnFromSpam(mapi::Message& message);
  // Whether `message` was taken out of the spam folder (seen by the move detector, or
  // a return IsReturnFromSpam knows, which is then told to the detector as the user's).
  bool CameFromSpam(mapi::Message& message, const PendingMessage& item);
  // Opens `parent` (a folder) and `message` (a message in it).
  bool Open(const mapi::EntryId& parent, const mapi::EntryId& message,
            std::shared_ptr<mapi::Folder>* folder, std::shared_ptr<mapi::Message>* opened);

  WorkerOptions o_;
  std::shared_ptr<platform::AutoResetEvent> wake_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  // Held by the worker thread (or the test driving RunPass).
  std::shared_ptr<mapi::Session> session_;
  std::shared_ptr<mapi::Folder> spamFolder_;
  mapi::EntryId spamFolderId_;
  std::string spamFolderName_;      // empty: not read yet
  bool spamFolderMissing_ = false;  // said once until it is back
  std::atomic<bool> holdsSession_{false};
  SpamReturns ownReturns_;  // used when the options give none
  SpamReturns& returns_;
  mutable std::mutex idleMutex_;
  std::condition_variable idleChanged_;
  bool busy_ = false;  // guarded by idleMutex_
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_WORKER_H_
