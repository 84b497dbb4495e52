#include "outlook/worker.h"

#include <malloc.h>

#include "core/reason_text.h"
#include "crash/reporter.h"
#include "mapi/queries.h"
#include "outlook/spam_folder.h"
#include "platform/code_page.h"
#include "platform/printable.h"

namespace quorvel::outlook {
namespace {

// A text property of `object` as UTF-8; "" when it has none.
std::string TextOf(mapi::MapiProp& object, mapi::PropTag tag) {
  auto value = mapi::HrGetOneProp(object, tag);
  const std::string* text = value.ok() ? value->AsString8() : nullptr;
  return text ? platform::AnsiToUtf8(*text) : std::string();
}

// Hexadecimal text of an entry id as the settings hold it.
mapi::EntryId IdFromWideHex(const std::u16string& hex) {
  std::string narrow;
  narrow.reserve(hex.size());
  for (char16_t c : hex) {
    if (c > 0x7F) return {};
    narrow.push_back(static_cast<char>(c));
  }
  if (narrow.empty()) return {};
  auto id = mapi::EntryId::FromHex(narrow);
  return id ? *id : mapi::EntryId();
}

}  // namespace

Worker::Worker(WorkerOptions options)
    : o_(std::move(options)), returns_(o_.returns != nullptr ? *o_.returns : ownReturns_) {}

Worker::~Worker() { Stop(); }

mapi::HRESULT Worker::Start() {
  if (running()) return mapi::S_OK;
  wake_ = std::make_shared<platform::AutoResetEvent>();
  stop_ = false;
  if (o_.startRebuild) o_.startRebuild();
  o_.queue.SetWakeEvent(wake_);
  try {
    thread_ = std::thread([this] { Loop(); });
  } catch (const std::system_error&) {
    o_.queue.SetWakeEvent(nullptr);
    if (o_.stopRebuild) o_.stopRebuild();
    wake_.reset();
    return mapi::E_FAIL;
  }
  return mapi::S_OK;
}

void Worker::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  wake_->Set();
  thread_.join();
  if (o_.stopRebuild) o_.stopRebuild();
  o_.queue.SetWakeEvent(nullptr);
  wake_.reset();
}

void Worker::SetBusy(bool busy) {
  std::lock_guard<std::mutex> lock(idleMutex_);
  busy_ = busy;
  if (!busy) idleChanged_.notify_all();
}

bool Worker::Idle() const {
  std::lock_guard<std::mutex> lock(idleMutex_);
  return !busy_ && !o_.queue.HasPending();
}

void Worker::WaitUntilIdle() {
  while (!WaitUntilIdleFor(std::chrono::hours(1))) {
  }
}

bool Worker::WaitUntilIdleFor(std::chrono::milliseconds limit) {
  if (!running()) return true;
  std::unique_lock<std::mutex> lock(idleMutex_);
  // A message queued while the thread is not busy makes it busy before it is taken,
  // and the end of every pass (and the thread's end) notifies.
  return idleChanged_.wait_for(lock, limit,
                               [this] { return stop_ || (!busy_ && !o_.queue.HasPending()); });
}

void Worker::Loop() {
  for (;;) {
    while (!o_.queue.HasPending()) {
      bool woken = wake_->Wait(o_.idleReleaseMs);
      if (stop_) break;
      if (!woken && HoldsSession()) {
        ReleaseHeld();
        // What a burst of mail took from the heap goes back to the system while the
        // host waits for the next message.
        ::malloc_trim(0);
      }
    }
    if (stop_) {
      ReleaseHeld();
      SetBusy(false);
      return;
    }
    SetBusy(true);
    RunPass();
    SetBusy(false);
  }
}

void Worker::ReleaseHeld() {
  spamFolder_.reset();
  spamFolderId_ = {};
  spamFolderName_.clear();
  session_.reset();
  holdsSession_ = false;
}

void Worker::Acquire() {
  if (!session_) {
    session_ = o_.obtainSession ? o_.obtainSession() : nullptr;
    holdsSession_ = session_ != nullptr;
  }
  if (session_ && !spamFolder_) {
    auto ref = o_.settings.GetSpamFolder();
    mapi::EntryId id = ref ? IdFromWideHex(ref->entryId) : mapi::EntryId();
    if (!id.present()) return;
    auto opened = session_->OpenEntry(id, mapi::MAPI_BEST_ACCESS);
    if (opened.ok() && opened->objectType == mapi::MAPI_FOLDER) {
      spamFolder_ = opened->As<mapi::Folder>();
      if (spamFolder_) spamFolderId_ = id;
    }
  }
}

bool Worker::EnsureSpamFolder() {
  if (spamFolder_) return true;
  Acquire();
  if (spamFolder_ || !session_) return spamFolder_ != nullptr;
  // Gone (deleted, or replaced by something that is no folder, while the host runs):
  // found or made again the way the core does at its start, and the new reference
  // stored. What cannot be made is said once; the spam stays where it is meanwhile.
  if (CheckSpamFolder(*session_, o_.settings) != SpamFolderResult::kNone) Acquire();
  if (spamFolder_) {
    if (spamFolderMissing_ && o_.log) o_.log("the spam folder is there again");
    spamFolderMissing_ = false;
  } else if (!spamFolderMissing_) {
    spamFolderMissing_ = true;
    if (o_.log) o_.log("the spam folder cannot be found or made: spam stays where it is");
  }
  return spamFolder_ != nullptr;
}

void Worker::RunPass() {
  crash::OwnCodeScope ownCode;  // a fault while judging is reported
  o_.queue.PurgeRecent();
  while (!stop_) {
    auto next = o_.queue.PeekNext();
    if (!next) break;
    Acquire();  // again after a move found the spam folder gone
    HandleMessage(*next);
  }
}

bool Worker::Open(const mapi::EntryId& parent, const mapi::EntryId& message,
                  std::shared_ptr<mapi::Folder>* folder, std::shared_ptr<mapi::Message>* opened) {
  if (!session_) return false;
  auto f = session_->OpenEntry(parent, mapi::MAPI_BEST_ACCESS);
  if (!f.ok() || f->objectType != mapi::MAPI_FOLDER) return false;
  auto m = session_->OpenEntry(message, mapi::MAPI_BEST_ACCESS);
  if (!m.ok() || m->objectType != mapi::MAPI_MESSAGE) return false;
  *folder = f->As<mapi::Folder>();
  *opened = m->As<mapi::Message>();
  return *folder && *opened;
}

void Worker::HandleMessage(const PendingMessage& item) {
  ClassifyFlags flags = (item.origin & kOriginMayLearn) ? kWorkerFlagsLearning : kStandardFlags;
  if (o_.settings.Lock()->markSpamAsRead != 0) flags |= kMoveSetRead;

  bool spam = false;
  bool returned = false;
  bool judged = false;
  std::string reason;
  std::shared_ptr<mapi::Folder> folder;
  std::shared_ptr<mapi::Message> message;
  if (session_ && Open(item.parentId, item.messageId, &folder, &message)) {
    if (item.origin & kOriginJudgedSpam) {
      // Reported as moved into the spam folder (by our own move): nothing to do, and
      // nothing to remember, or the user taking it back out would be undone.
      spam = !SameEntry(item.parentId, spamFolderId_);
      if (spam) reason = "judged spam before a rule of the mail client moved it";
    } else if (CameFromSpam(*message, item)) {
      // Taken back out of the spam folder as a copy: a move, not new mail.
      returned = true;
      if (o_.journal) {
        Record(EntryFor(*message, folder.get(), kVerdictReturned,
                        "taken back out of the spam folder"));
      }
    } else {
      spam = o_.judge.IsSpam(message, flags, &reason);
      judged = true;
      if (o_.counters) ++o_.counters->judged;
      if (!spam) {
        o_.goodSeen = true;
      } else if (!o_.goodSeen && o_.removeNewMailIcon) {
        o_.removeNewMailIcon();
      }
    }
  }
  if (session_) session_->DispatchNotifications();
  o_.queue.Complete(item.messageId, spam);
  if (!spam || returned) {
    if (judged && o_.journal) Record(EntryFor(*message, folder.get(), kVerdictGood, reason));
    return;
  }
  // Moved by the message object that was judged: the store moves the message as it is
  // now (its current file name, flags set meanwhile included), without reading it again.
  // What is recorded and announced of the move is read first, while the message is
  // where it was.
  JournalEntry entry = EntryFor(*message, folder.get(), kVerdictSpam, reason);
  // Made at the first spam: made now, so that the note names where the message goes.
  EnsureSpamFolder();
  if (o_.ownMoves) o_.ownMoves->Note(MessageIdOf(*message), spamFolderId_);
  const bool moved = MoveToSpam(*message, folder, item.messageId, item.parentId, flags);
  if (moved) entry.destination = SpamFolderName();
  Record(entry);
  if (moved) {
    returns_.NoteMoved(MessageIdOf(*message));
    if (o_.counters) ++o_.counters->moved;
    if (host::EventBus* events = o_.counters ? o_.counters->events : nullptr) {
      events->Publish(host::protocol::Event{"spam-moved",
                                            {{"message", entry.messageId},
                                             {"sender", entry.sender},
                                             {"subject", entry.subject},
                                             {"from", entry.folder},
                                             {"to", entry.destination}}});
    }
    if (o_.tray) o_.tray->Count();
  }
}

const std::string& Worker::SpamFolderName() {
  if (spamFolderName_.empty() && spamFolder_) {
    spamFolderName_ = TextOf(*spamFolder_, mapi::PR_DISPLAY_NAME);
  }
  return spamFolderName_;
}

JournalEntry Worker::EntryFor(mapi::Message& message, mapi::Folder* folder, const char* verdict,
                              const std::string& reason) {
  return JournalEntry{.time = o_.clock.Now(),
                      .folder = folder ? TextOf(*folder, mapi::PR_DISPLAY_NAME) : "",
                      .messageId = TextOf(message, mapi::PR_INTERNET_MESSAGE_ID),
                      .sender = TextOf(message, mapi::PR_SENDER_EMAIL_ADDRESS),
                      .subject = TextOf(message, mapi::PR_SUBJECT),
                      .verdict = verdict,
                      .reason = std::string(ReasonFirstLine(platform::AnsiToUtf8(reason))),
                      .destination = ""};
}

void Worker::Record(const JournalEntry& entry) {
  if (o_.journal) o_.journal->Record(entry);
  if (!entry.destination.empty() && o_.log) {
    o_.log("moved to " + platform::EscapedField(entry.destination) + ": " +
           platform::EscapedField(entry.sender) + " \"" + platform::EscapedField(entry.subject) +
           "\": " + platform::EscapedField(entry.reason));
  }
}

std::string Worker::MessageIdOf(mapi::Message& message) {
  auto value = mapi::HrGetOneProp(message, mapi::PR_INTERNET_MESSAGE_ID);
  return value.ok() && value->AsString8() ? *value->AsString8() : std::string();
}

bool Worker::IsReturnFromSpam(mapi::Message& message) {
  if (returns_.size() == 0 || !spamFolder_) return false;
  return returns_.IsReturn(MessageIdOf(message), *spamFolder_);
}

bool Worker::CameFromSpam(mapi::Message& message, const PendingMessage& item) {
  if (o_.moves && o_.moves->ArrivedFromSpam(*session_, message, item.parentId, item.messageId)) {
    return true;
  }
  if (!IsReturnFromSpam(message)) return false;
  // Known from the record of this or an earlier run (taken out while no host ran): the
  // user's move all the same, learned from as one seen live.
  if (o_.moves) o_.moves->ReportReturn(item.parentId, item.messageId, MessageIdOf(message));
  return true;
}

bool Worker::SameEntry(const mapi::EntryId& a, const mapi::EntryId& b) {
  if (a == b) return true;
  auto same = session_->CompareEntryIDs(a, b, 0);
  return same.ok() && *same;
}

bool Worker::MoveToSpam(mapi::Message& message, std::shared_ptr<mapi::Folder> source,
                        const mapi::EntryId& messageId, const mapi::EntryId& queuedParent,
                        ClassifyFlags flags) {
  if (!EnsureSpamFolder()) return false;
  auto parent = mapi::HrGetOneProp(message, mapi::PR_PARENT_ENTRYID);
  if (parent.ok()) {
    mapi::EntryId current = parent->AsEntryId();
    if (SameEntry(current, spamFolderId_)) return false;
    if (!SameEntry(current, queuedParent)) {
      // Moved after it was queued: a rule of the mail client took it.
      if (o_.settings.Lock()->respectOutlookRules != 0) return false;
      auto opened = session_->OpenEntry(current, mapi::MAPI_BEST_ACCESS);
      if (!opened.ok() || opened->objectType != mapi::MAPI_FOLDER) return false;
      source = opened->As<mapi::Folder>();
      if (!source) return false;
    }
  }
  if (flags & kMoveClearRead) {
    message.SetReadFlag(mapi::CLEAR_READ_FLAG);
  } else if (flags & kMoveSetRead) {
    message.SetReadFlag(0);
  }
  const mapi::EntryId ids[] = {messageId};
  if (source->CopyMessages(ids, *spamFolder_, mapi::MESSAGE_MOVE) == mapi::S_OK) return true;
  // The spam folder may be gone (deleted while the host runs): it is opened, or made,
  // afresh and the move tried once more, instead of failing every later move against
  // a dead object. A message the failed move did take is not moved twice: its parent
  // is the spam folder then.
  spamFolder_.reset();
  spamFolderId_ = {};
  spamFolderName_.clear();
  if (!EnsureSpamFolder()) return false;
  if (auto now = mapi::HrGetOneProp(message, mapi::PR_PARENT_ENTRYID);
      now.ok() && SameEntry(now->AsEntryId(), spamFolderId_)) {
    return false;
  }
  return source->CopyMessages(ids, *spamFolder_, mapi::MESSAGE_MOVE) == mapi::S_OK;
}

}  // namespace quorvel::outlook
