#include "mapi/imap/imap_core.h"

#include <algorithm>

#include "mapi/imap/imap_watcher.h"

namespace quorvel::mapi::imap {
namespace {

HRESULT ResultOf(const ImapError& error) {
  switch (error.kind) {
    case ImapErrorKind::kLogin:
    case ImapErrorKind::kCertificate:
      return MAPI_E_LOGON_FAILED;
    case ImapErrorKind::kNetwork:
    case ImapErrorKind::kProtocol:
      return MAPI_E_NETWORK_ERROR;
    case ImapErrorKind::kRefused:
      return MAPI_E_CALL_FAILED;
    case ImapErrorKind::kNone:
      return S_OK;
  }
  return MAPI_E_CALL_FAILED;
}

}  // namespace

ImapCore::ImapCore(const ImapStoreOptions& options)
    : options_(options),
      key_(MakeStoreKey(options.account.user + "@" + options.account.host + ":" +
                        std::to_string(options.account.port))) {}

ImapCore::~ImapCore() { watcher_.reset(); }

HRESULT ImapCore::Start(std::string* error) {
  HRESULT hr;
  std::uint32_t validity = 0;
  std::uint32_t lastUid = 0;
  {
    std::lock_guard<std::timed_mutex> lock(connMutex_);
    ImapConnection* c = nullptr;
    hr = ConnectLocked(&c);
    // Where the Inbox ends now: mail after this point is new mail.
    ImapError e;
    if (Succeeded(hr) && options_.watch) {
      if (c->Select("INBOX", true, &e)) {
        validity = c->selected()->uidValidity;
        std::vector<std::uint32_t> all;
        lastUid = c->selected()->uidNext > 0               ? c->selected()->uidNext - 1
                  : c->SearchAll(&all, &e) && !all.empty() ? all.back()
                                                           : 0;
      } else {
        hr = FailLocked(e);
      }
    }
  }
  if (Failed(hr)) {
    if (error) *error = LastError();
    return hr;
  }
  if (options_.watch) {
    watcher_ = std::make_unique<ImapWatcher>(
        options_, key_, validity, lastUid, stop_,
        [this](std::vector<Notification> batch) { Post(std::move(batch)); },
        [this](const std::string& text) { NoteError(text); });
  }
  return S_OK;
}

void ImapCore::Stop(std::chrono::milliseconds grace) {
  // A command in progress that the server answers within the grace ends by itself, so
  // that what it did is known; one it does not answer is cut off.
  if (connMutex_.try_lock_for(grace)) connMutex_.unlock();
  stop_.Trigger();
}

std::string ImapCore::LastError() {
  std::lock_guard<std::mutex> lock(errorMutex_);
  return lastError_;
}

void ImapCore::NoteError(const std::string& text) {
  std::lock_guard<std::mutex> lock(errorMutex_);
  lastError_ = text;
}

HRESULT ImapCore::FailLocked(const ImapError& error) {
  NoteError(error.text);
  return ResultOf(error);
}

HRESULT ImapCore::ConnectLocked(ImapConnection** out) {
  if (conn_ && !conn_->broken()) {
    *out = conn_.get();
    return S_OK;
  }
  conn_.reset();
  auto now = std::chrono::steady_clock::now();
  if (failures_ > 0 && now < nextAttempt_) return MAPI_E_NETWORK_ERROR;  // waiting to retry
  std::string passwordError;
  auto password = ReadPassword(options_.password, &passwordError);
  ImapError error;
  if (password) {
    conn_ = ImapConnection::Open(options_.account, *password, &error, &stop_);
  } else {
    error = ImapError{ImapErrorKind::kLogin, passwordError};
  }
  if (!conn_) {
    int wait =
        std::min(options_.retryMaxSeconds, options_.retryMinSeconds << std::min(failures_, 16));
    ++failures_;
    nextAttempt_ = now + std::chrono::seconds(wait);
    return FailLocked(error);
  }
  failures_ = 0;
  *out = conn_.get();
  return S_OK;
}

HRESULT ImapCore::ReopenLocked(ImapConnection** c) {
  conn_.reset();
  return ConnectLocked(c);
}

HRESULT ImapCore::Run(const char* what, bool retry, const Op& op) {
  (void)what;
  std::lock_guard<std::timed_mutex> lock(connMutex_);
  for (int attempt = 0;; ++attempt) {
    ImapConnection* c = nullptr;
    HRESULT hr = ConnectLocked(&c);
    if (Failed(hr)) return hr;
    ImapError error;
    if (op(*c, &error)) return S_OK;
    if (!c->broken() || !retry || attempt > 0) {
      if (error.kind == ImapErrorKind::kNone) return MAPI_E_NOT_FOUND;  // the op's own verdict
      return FailLocked(error);
    }
    NoteError(error.text);
    conn_.reset();  // lost: once more on a new connection
  }
}

bool ImapCore::SelectChecked(ImapConnection& c, const std::string& mailbox, std::uint32_t validity,
                             ImapError* error, bool* stale) {
  *stale = false;
  if (!c.Select(mailbox, false, error)) {
    if (error->kind == ImapErrorKind::kRefused) *stale = true;  // the mailbox is gone
    return false;
  }
  if (c.selected()->uidValidity != validity) {
    // The session may hold an older view of the mailbox: a UIDVALIDITY that changed
    // since it was selected shows only in a new SELECT.
    if (!c.Select(mailbox, false, error, /*refresh=*/true)) return false;
    if (c.selected()->uidValidity != validity) {
      *stale = true;
      return false;
    }
  }
  return true;
}

}  // namespace quorvel::mapi::imap
