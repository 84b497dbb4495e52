#include "mapi/imap/imap_watcher.h"

#include <poll.h>

#include <algorithm>

#include "mapi/mime/mime_parse.h"

namespace quorvel::mapi::imap {

ImapWatcher::ImapWatcher(const ImapStoreOptions& options, StoreKey key, std::uint32_t validity,
                         std::uint32_t lastUid, ImapInterrupt& stop, Announce announce,
                         NoteError noteError)
    : options_(options),
      key_(key),
      startValidity_(validity),
      startLastUid_(lastUid),
      announce_(std::move(announce)),
      noteError_(std::move(noteError)),
      stop_(stop) {
  thread_ = std::thread([this] { Run(); });
}

ImapWatcher::~ImapWatcher() {
  stop_.Trigger();
  if (thread_.joinable()) thread_.join();
}

bool ImapWatcher::WaitStop(int seconds) {
  pollfd fd{stop_.fd(), POLLIN, 0};
  return ::poll(&fd, 1, seconds * 1000) > 0;
}

void ImapWatcher::Check(ImapConnection& c, std::uint32_t* validity, std::uint32_t* lastUid,
                        bool* ok) {
  ImapError error;
  // Selected afresh each time: the server tells a changed UIDVALIDITY only there.
  if (!c.Select("INBOX", true, &error, /*refresh=*/true)) {
    *ok = false;
    noteError_(error.text);
    return;
  }
  const std::optional<SelectedMailbox>& selected = c.selected();
  if (!selected) {
    *ok = false;
    return;
  }
  // A new life of the Inbox (its UIDVALIDITY changed under the session: the server
  // rebuilt it, or it was made again): every UID is new, so the whole mailbox is
  // looked at again and its unread mail announced, as a start would judge it; what
  // was read is left alone.
  const bool newLife = selected->uidValidity != *validity;
  if (newLife) {
    *validity = selected->uidValidity;
    *lastUid = 0;
  }
  std::vector<MessageSummary> arrived;
  if (!c.Fetch(*lastUid + 1, 0, true, false, &arrived, &error)) {
    *ok = false;
    noteError_(error.text);
    return;
  }
  std::vector<Notification> batch;
  EntryId inbox = FolderIdOf(key_, "INBOX");
  for (const MessageSummary& m : arrived) {
    *lastUid = std::max(*lastUid, m.uid);
    if (m.HasFlag("\\Deleted") || (newLife && m.HasFlag("\\Seen"))) continue;
    MimeMessage parsed = ParseMime(m.content);
    Notification n;
    n.eventType = fnevNewMail;
    n.entryId = MessageIdOf(key_, "INBOX", *validity, m.uid);
    n.parentId = inbox;
    n.objectType = MAPI_MESSAGE;
    n.messageClass = parsed.messageClass;
    n.messageFlags =
        (m.HasFlag("\\Seen") ? MSGFLAG_READ : 0) | (m.HasFlag("\\Draft") ? MSGFLAG_UNSENT : 0);
    batch.push_back(n);
    Notification created;
    created.eventType = fnevObjectCreated;
    created.entryId = n.entryId;
    created.parentId = inbox;
    created.objectType = MAPI_MESSAGE;
    batch.push_back(std::move(created));
  }
  if (!batch.empty()) announce_(std::move(batch));
}

void ImapWatcher::Run() {
  std::uint32_t validity = startValidity_;
  std::uint32_t lastUid = startLastUid_;
  int failures = 0;
  bool linked = true;  // the store opened on a working connection
  // Every answer of the server, the end of an IDLE included, is waited for at most
  // answerSeconds: a connection that went dead without a word is found within
  // idleSeconds + answerSeconds.
  ImapAccount account = options_.account;
  if (options_.answerSeconds > 0) {
    account.timeoutSeconds = std::min(account.timeoutSeconds, options_.answerSeconds);
  }
  while (true) {
    std::unique_ptr<ImapConnection> c;
    std::string passwordError;
    auto password = ReadPassword(options_.password, &passwordError);
    ImapError error;
    if (password) {
      c = ImapConnection::Open(account, *password, &error, &stop_);
    } else {
      error.text = passwordError;
    }
    if (stop_.triggered()) return;
    bool ok = c != nullptr && c->Select("INBOX", true, &error);
    if (ok && !linked) {
      // Back before anything that came meanwhile is announced.
      linked = true;
      if (options_.linkChanged) options_.linkChanged(ImapLinkChange{true, ""});
    }
    while (ok) {
      Check(*c, &validity, &lastUid, &ok);
      if (!ok) break;
      // Only a connection that fetched counts as working: one whose every FETCH fails
      // is tried again with the back-off of a lost one, not every second.
      failures = 0;
      if (c->HasCapability("IDLE")) {
        auto result = c->Idle(options_.idleSeconds, stop_.fd(), &error);
        if (result == ImapConnection::IdleResult::kStopped) break;
        ok = result != ImapConnection::IdleResult::kFailed;
      } else {
        if (WaitStop(options_.pollSeconds)) break;
        ok = c->Noop(&error);
      }
    }
    c.reset();
    if (stop_.triggered()) return;
    if (!error.text.empty()) noteError_(error.text);
    if (linked) {
      linked = false;
      if (options_.linkChanged) {
        options_.linkChanged(ImapLinkChange{
            false, error.text.empty() ? "the connection to the IMAP server was lost" : error.text});
      }
    }
    int wait =
        std::min(options_.retryMaxSeconds, options_.retryMinSeconds << std::min(failures, 16));
    if (failures == 0 && ok == false && error.kind == ImapErrorKind::kNetwork) wait = 0;
    ++failures;
    if (WaitStop(std::max(wait, 0))) return;
  }
}

}  // namespace quorvel::mapi::imap
