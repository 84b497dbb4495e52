#include "mapi/imap/imap_core.h"

#include <strings.h>

#include <algorithm>
#include <thread>

#include "mapi/imap/imap_watcher.h"
#include "mapi/mime/input_bounds.h"
#include "mapi/mime/mime_message.h"
#include "platform/code_page.h"

namespace quorvel::mapi::imap {
namespace {

// One message of the selected mailbox by UID. A message that came after the mailbox
// was selected is not yet known to this session, and the server answers as if it
// were not there: a NOOP lets the server show it, then it is asked for once more.
bool FetchOne(ImapConnection& c, std::uint32_t uid, bool withHeader, bool whole,
              std::vector<MessageSummary>* found, ImapError* error) {
  if (!c.Fetch(uid, uid, withHeader, whole, found, error)) return false;
  if (!found->empty() || (c.selected() && uid < c.selected()->uidNext)) return true;
  return c.Noop(error) && c.Fetch(uid, uid, withHeader, whole, found, error);
}

constexpr std::size_t kMaxSummaries = 200'000;
constexpr std::size_t kFetchBatchBytes = 8u << 20;
constexpr std::size_t kFetchBatchCount = 200;
constexpr std::uint64_t kEpochDifference = 11'644'473'600ULL;  // 1601 -> 1970, seconds

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

// The value of a header field in a header block ("" when absent), unfolded.
std::string HeaderValue(std::string_view header, std::string_view name) {
  std::size_t pos = 0;
  while (pos < header.size()) {
    std::size_t end = header.find('\n', pos);
    if (end == std::string_view::npos) end = header.size();
    std::string_view line = header.substr(pos, end - pos);
    if (line.size() > name.size() && line[name.size()] == ':' &&
        strncasecmp(line.data(), name.data(), name.size()) == 0) {
      std::string value(line.substr(name.size() + 1));
      // continuation lines
      std::size_t next = end + 1;
      while (next < header.size() && (header[next] == ' ' || header[next] == '\t')) {
        std::size_t e = header.find('\n', next);
        if (e == std::string_view::npos) e = header.size();
        value += header.substr(next, e - next);
        next = e + 1;
      }
      std::erase_if(value, [](char c) { return c == '\r' || c == '\n'; });
      std::size_t first = value.find_first_not_of(" \t");
      std::size_t last = value.find_last_not_of(" \t");
      return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
    }
    pos = end + 1;
  }
  return {};
}

MimeMessageContext ContextOf(const ImapCore& core, const std::string& mailbox,
                             std::uint32_t validity, const MessageSummary& m, bool inDrafts) {
  MimeMessageContext context;
  context.accountAddress = core.options().accountAddress;
  context.storeFlags = StoreFlagsOf(m, inDrafts);
  context.size = m.size;
  if (m.internalDate && *m.internalDate > -static_cast<std::int64_t>(kEpochDifference)) {
    context.deliveryTime = (static_cast<std::uint64_t>(
                               *m.internalDate + static_cast<std::int64_t>(kEpochDifference))) *
                           10'000'000ULL;
  }
  EntryId id = core.MessageId(mailbox, validity, m.uid);
  context.identity = {PropValue::Id(PR_ENTRYID, id),
                      PropValue::Id(PR_RECORD_KEY, id),
                      PropValue::Id(PR_INSTANCE_KEY, id),
                      PropValue::Id(PR_PARENT_ENTRYID, core.FolderId(mailbox)),
                      PropValue::Id(PR_STORE_ENTRYID, core.StoreId()),
                      PropValue::ULong(PR_INTERNET_ARTICLE_NUMBER, m.uid)};
  context.saved = KeptProps(m);
  return context;
}

class ImapSaver final : public MimeMessageSaver {
 public:
  ImapSaver(std::weak_ptr<ImapCore> core, std::string mailbox, std::uint32_t validity,
            std::uint32_t uid)
      : core_(std::move(core)), mailbox_(std::move(mailbox)), validity_(validity), uid_(uid) {}
  HRESULT SaveProps(const std::vector<PropValue>& props) override {
    auto core = core_.lock();
    return core ? core->SaveProps(mailbox_, validity_, uid_, props) : MAPI_E_OBJECT_DELETED;
  }
  HRESULT SetRead(bool read) override {
    auto core = core_.lock();
    return core ? core->SetRead(mailbox_, validity_, uid_, read) : MAPI_E_OBJECT_DELETED;
  }

 private:
  std::weak_ptr<ImapCore> core_;
  std::string mailbox_;
  std::uint32_t validity_;
  std::uint32_t uid_;
};

}  // namespace

bool FolderInfo::Has(std::string_view attribute) const {
  for (const std::string& a : attributes) {
    if (a.size() == attribute.size() && strncasecmp(a.data(), attribute.data(), a.size()) == 0) {
      return true;
    }
  }
  return false;
}

std::uint32_t StoreFlagsOf(const MessageSummary& m, bool inDrafts) {
  std::uint32_t flags = 0;
  if (m.HasFlag("\\Seen")) flags |= MSGFLAG_READ;
  if (m.HasFlag("\\Draft") || inDrafts) flags |= MSGFLAG_UNSENT;
  return flags;
}

std::vector<PropValue> KeptProps(const MessageSummary& m) {
  std::vector<PropValue> props;
  for (const std::string& flag : m.flags) {
    if (auto v = KeywordProp(flag)) props.push_back(std::move(*v));
  }
  return props;
}

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

Result<std::vector<FolderInfo>> ImapCore::Folders(bool refresh) {
  if (!refresh) {
    std::lock_guard<std::mutex> lock(listMutex_);
    if (folders_) return Ok(*folders_);
  }
  std::vector<MailboxInfo> listed;
  HRESULT hr =
      Run("LIST", true, [&](ImapConnection& c, ImapError* e) { return c.List(&listed, e); });
  if (Failed(hr)) return hr;
  std::vector<FolderInfo> folders;
  bool haveInbox = false;
  for (MailboxInfo& m : listed) {
    FolderInfo f{NormalizeMailbox(m.name), m.delimiter, m.noSelect, std::move(m.attributes)};
    haveInbox = haveInbox || f.mailbox == "INBOX";
    folders.push_back(std::move(f));
  }
  if (!haveInbox) folders.push_back(FolderInfo{"INBOX", '/', false, {}});
  std::sort(folders.begin(), folders.end(),
            [](const FolderInfo& a, const FolderInfo& b) { return a.mailbox < b.mailbox; });
  std::lock_guard<std::mutex> lock(listMutex_);
  folders_ = folders;
  return Ok(std::move(folders));
}

std::optional<FolderInfo> ImapCore::Find(const std::string& mailbox) {
  auto folders = Folders();
  if (!folders.ok()) return std::nullopt;
  for (FolderInfo& f : *folders) {
    if (f.mailbox == mailbox) return std::move(f);
  }
  return std::nullopt;
}

std::optional<FolderInfo> ImapCore::FindSpecial(std::string_view attribute) {
  auto folders = Folders();
  if (!folders.ok()) return std::nullopt;
  for (FolderInfo& f : *folders) {
    if (!f.noSelect && f.Has(attribute)) return std::move(f);
  }
  return std::nullopt;
}

std::vector<FolderInfo> ImapCore::Children(const std::string& mailbox, bool refresh) {
  std::vector<FolderInfo> out;
  auto folders = Folders(refresh);
  if (!folders.ok()) return out;
  for (FolderInfo& f : *folders) {
    if (f.mailbox == "INBOX" || f.noSelect) continue;
    if (Parent(f.mailbox) == mailbox) out.push_back(f);
  }
  return out;
}

std::string ImapCore::Parent(const std::string& mailbox) {
  if (mailbox == "INBOX") return "INBOX";
  char delimiter = 0;
  if (auto f = Find(mailbox)) delimiter = f->delimiter;
  std::size_t cut = delimiter != 0 ? mailbox.rfind(delimiter) : std::string::npos;
  if (cut == std::string::npos || cut == 0) return "INBOX";
  return NormalizeMailbox(mailbox.substr(0, cut));
}

std::string ImapCore::DisplayNameUtf8(const std::string& mailbox) {
  if (mailbox == "INBOX") return "Inbox";
  char delimiter = 0;
  if (auto f = Find(mailbox)) delimiter = f->delimiter;
  std::size_t cut = delimiter != 0 ? mailbox.rfind(delimiter) : std::string::npos;
  std::string leaf = cut == std::string::npos ? mailbox : mailbox.substr(cut + 1);
  return MailboxToUtf8(leaf);
}

Result<ImapCore::Counts> ImapCore::CountMessages(const std::string& mailbox) {
  Counts counts;
  HRESULT hr = Run("FETCH", true, [&](ImapConnection& c, ImapError* e) {
    std::vector<MessageSummary> all;
    if (!c.Select(mailbox, false, e)) return false;
    counts.uidValidity = c.selected()->uidValidity;
    if (c.selected()->exists == 0) return true;
    if (!c.Fetch(1, 0, false, false, &all, e)) return false;
    for (const MessageSummary& m : all) {
      if (m.HasFlag("\\Deleted")) continue;
      ++counts.total;
      if (!m.HasFlag("\\Seen")) ++counts.unread;
    }
    return true;
  });
  if (Failed(hr)) return hr;
  return Ok(counts);
}

Result<std::vector<std::vector<PropValue>>> ImapCore::ContentsRows(
    const std::string& mailbox, const std::vector<std::string>* messageIds) {
  bool inDrafts = false;
  if (auto f = Find(mailbox)) inDrafts = f->Has("\\Drafts");
  std::vector<std::vector<PropValue>> rows;
  HRESULT hr = Run("FETCH", true, [&](ImapConnection& c, ImapError* e) {
    rows.clear();
    // Selected again: a mailbox kept selected shows no mail that arrived since.
    if (!c.Select(mailbox, false, e, /*refresh=*/true)) return false;
    std::uint32_t validity = c.selected()->uidValidity;
    std::vector<MessageSummary> all;
    if (messageIds != nullptr) {
      // Only the messages that carry one of the Message-IDs (one SEARCH), not the
      // whole mailbox.
      std::vector<std::uint32_t> uids;
      if (!c.SearchMessageIds(*messageIds, &uids, e)) return false;
      for (std::uint32_t uid : uids) {
        std::vector<MessageSummary> one;
        if (!c.Fetch(uid, uid, false, false, &one, e)) return false;
        all.insert(all.end(), one.begin(), one.end());
      }
    } else if (c.selected()->exists > 0 && !c.Fetch(1, 0, false, false, &all, e)) {
      return false;
    }
    std::erase_if(all, [](const MessageSummary& m) { return m.HasFlag("\\Deleted"); });
    // Fetch what is not known yet, in batches of consecutive UIDs.
    std::vector<std::size_t> missing;
    {
      std::lock_guard<std::mutex> lock(summaryMutex_);
      for (std::size_t i = 0; i < all.size(); ++i) {
        if (!summaries_.count(SummaryKey{mailbox, validity, all[i].uid})) missing.push_back(i);
      }
    }
    for (std::size_t start = 0; start < missing.size();) {
      std::size_t end = start;
      std::uint64_t bytes = 0;
      while (end < missing.size() && end - start < kFetchBatchCount &&
             (end == start || bytes + all[missing[end]].size <= kFetchBatchBytes)) {
        bytes += all[missing[end]].size;
        ++end;
      }
      std::vector<MessageSummary> fetched;
      if (!c.Fetch(all[missing[start]].uid, all[missing[end - 1]].uid, false, true, &fetched, e)) {
        return false;
      }
      std::lock_guard<std::mutex> lock(summaryMutex_);
      if (summaries_.size() + fetched.size() > kMaxSummaries) summaries_.clear();
      for (MessageSummary& m : fetched) {
        MessageSummary plain = m;
        plain.flags.clear();
        MimeMessage parsed = ParseMime(m.content);
        summaries_[SummaryKey{mailbox, validity, m.uid}] =
            MimeSummaryProps(parsed, ContextOf(*this, mailbox, validity, plain, false));
      }
      start = end;
    }
    std::lock_guard<std::mutex> lock(summaryMutex_);
    for (const MessageSummary& m : all) {
      auto it = summaries_.find(SummaryKey{mailbox, validity, m.uid});
      if (it == summaries_.end()) continue;  // expunged between the two fetches
      std::vector<PropValue> row = it->second;
      std::uint32_t flags = StoreFlagsOf(m, inDrafts);
      bool hasFlags = false;
      for (PropValue& v : row) {
        if (v.tag == PR_MESSAGE_FLAGS && v.AsLong()) {
          v = PropValue::ULong(PR_MESSAGE_FLAGS, static_cast<std::uint32_t>(*v.AsLong()) | flags);
          hasFlags = true;
        }
      }
      if (!hasFlags) row.push_back(PropValue::ULong(PR_MESSAGE_FLAGS, flags));
      for (PropValue& kept : KeptProps(m)) {
        if (FindPropId(row, kept.tag) == nullptr) row.push_back(std::move(kept));
      }
      rows.push_back(std::move(row));
    }
    return true;
  });
  if (Failed(hr)) return hr;
  return Ok(std::move(rows));
}

Result<std::shared_ptr<Message>> ImapCore::OpenMessage(const std::string& mailbox,
                                                       std::uint32_t validity, std::uint32_t uid) {
  bool inDrafts = false;
  if (auto f = Find(mailbox)) inDrafts = f->Has("\\Drafts");
  std::vector<MessageSummary> found;
  bool stale = false;
  HRESULT hr = Run("FETCH", true, [&](ImapConnection& c, ImapError* e) {
    if (!SelectChecked(c, mailbox, validity, e, &stale)) return false;
    return FetchOne(c, uid, false, true, &found, e);
  });
  if (stale) return MAPI_E_NOT_FOUND;
  if (Failed(hr)) return hr;
  if (found.empty() || found[0].HasFlag("\\Deleted")) return MAPI_E_NOT_FOUND;
  MimeMessage parsed = ParseMime(found[0].content);
  if (found[0].size > kMaxMessageBytes) {
    parsed.boundsNote =
        MessageSizeNote() + (parsed.boundsNote.empty() ? "" : "; ") + parsed.boundsNote;
  }
  MimeMessageContext context = ContextOf(*this, mailbox, validity, found[0], inDrafts);
  auto saver = std::make_shared<ImapSaver>(weak_from_this(), mailbox, validity, uid);
  return Ok(OpenMimeMessage(std::move(parsed), std::move(context), std::move(saver)));
}

HRESULT ImapCore::SetRead(const std::string& mailbox, std::uint32_t validity, std::uint32_t uid,
                          bool read) {
  bool stale = false;
  bool missing = false;
  HRESULT hr = Run("STORE", true, [&](ImapConnection& c, ImapError* e) {
    if (!SelectChecked(c, mailbox, validity, e, &stale)) return false;
    std::vector<MessageSummary> found;
    if (!FetchOne(c, uid, false, false, &found, e)) return false;
    if (found.empty()) {
      missing = true;
      return true;
    }
    if (found[0].HasFlag("\\Seen") == read) return true;
    return c.StoreFlags(uid, read, {"\\Seen"}, e);
  });
  if (stale || missing) return MAPI_E_NOT_FOUND;
  if (Failed(hr)) return hr;
  Notification n;
  n.eventType = fnevObjectModified;
  n.objectType = MAPI_MESSAGE;
  n.entryId = MessageId(mailbox, validity, uid);
  n.parentId = FolderId(mailbox);
  Post({n});
  return S_OK;
}

HRESULT ImapCore::SaveProps(const std::string& mailbox, std::uint32_t validity, std::uint32_t uid,
                            const std::vector<PropValue>& props) {
  std::vector<std::string> wanted;
  for (const PropValue& v : props) {
    auto keyword = PropKeyword(v);
    if (!keyword) return MAPI_E_NO_SUPPORT;  // kept only as a keyword; this one cannot be
    wanted.push_back(std::move(*keyword));
  }
  bool stale = false;
  bool missing = false;
  bool noKeywords = false;
  HRESULT hr = Run("STORE", true, [&](ImapConnection& c, ImapError* e) {
    if (!SelectChecked(c, mailbox, validity, e, &stale)) return false;
    if (!c.selected()->keywordsAllowed) {
      noKeywords = true;
      return true;
    }
    std::vector<MessageSummary> found;
    if (!FetchOne(c, uid, false, false, &found, e)) return false;
    if (found.empty()) {
      missing = true;
      return true;
    }
    std::vector<std::string> obsolete;
    std::vector<std::string> add;
    for (const std::string& flag : found[0].flags) {
      if (IsPropKeyword(flag) && std::find(wanted.begin(), wanted.end(), flag) == wanted.end()) {
        obsolete.push_back(flag);
      }
    }
    for (const std::string& w : wanted) {
      if (!found[0].HasFlag(w)) add.push_back(w);
    }
    // The new values first: a failure between the two stores keeps both, never neither.
    if (!add.empty() && !c.StoreFlags(uid, true, add, e)) return false;
    return obsolete.empty() || c.StoreFlags(uid, false, obsolete, e);
  });
  if (stale || missing) return MAPI_E_NOT_FOUND;
  if (noKeywords) {
    NoteError("the IMAP server does not keep keywords in \"" + mailbox + "\"");
    return MAPI_E_NO_SUPPORT;
  }
  return hr;
}

std::optional<bool> ImapCore::PresentLocked(ImapConnection& c, const std::string& mailbox,
                                            std::uint32_t validity, std::uint32_t uid,
                                            ImapError* error) {
  bool stale = false;
  if (!SelectChecked(c, mailbox, validity, error, &stale)) {
    if (stale) return false;
    return std::nullopt;
  }
  std::vector<MessageSummary> found;
  if (!FetchOne(c, uid, false, false, &found, error)) return std::nullopt;
  return !found.empty() && !found[0].HasFlag("\\Deleted");
}

HRESULT ImapCore::TransferLocked(const std::string& mailbox, std::uint32_t validity,
                                 std::uint32_t uid, const std::string& destination, bool move,
                                 EntryId* newId) {
  auto setNewId = [&](ImapConnection& c, const std::optional<std::uint32_t>& newUid) {
    ImapError ignored;
    if (newUid && c.Select(destination, false, &ignored)) {
      *newId = MessageId(destination, c.selected()->uidValidity, *newUid);
    }
  };
  // How many messages of the destination carry this Message-ID; nothing when unknown.
  auto countById = [&](ImapConnection& c, const std::string& messageId,
                       ImapError* e) -> std::optional<std::size_t> {
    std::vector<std::uint32_t> uids;
    if (messageId.empty() || !c.Select(destination, true, e) ||
        !c.SearchMessageId(messageId, &uids, e)) {
      return std::nullopt;
    }
    return uids.size();
  };
  // The UID of the original's copy in the destination, left there by a move that the
  // server's death interrupted (COPY done, or a MOVE that the server carries out as a
  // copy and an expunge): the same Message-ID, size and arrival time. Nothing when
  // there is none or it cannot be found out.
  auto earlierCopy = [&](ImapConnection& c, const MessageSummary& original,
                         const std::string& messageId,
                         ImapError* e) -> std::optional<std::uint32_t> {
    std::vector<std::uint32_t> uids;
    if (messageId.empty() || !c.Select(destination, true, e) ||
        !c.SearchMessageId(messageId, &uids, e)) {
      return std::nullopt;
    }
    for (std::uint32_t candidate : uids) {
      std::vector<MessageSummary> seen;
      if (!c.Fetch(candidate, candidate, false, false, &seen, e)) return std::nullopt;
      if (!seen.empty() && !seen[0].HasFlag("\\Deleted") && seen[0].size == original.size &&
          seen[0].internalDate == original.internalDate) {
        return candidate;
      }
    }
    return std::nullopt;
  };
  for (int attempt = 0; attempt < 2; ++attempt) {
    ImapConnection* c = nullptr;
    HRESULT hr = ConnectLocked(&c);
    if (Failed(hr)) return hr;
    ImapError e;
    bool stale = false;
    std::vector<MessageSummary> found;
    if (!SelectChecked(*c, mailbox, validity, &e, &stale) ||
        !FetchOne(*c, uid, true, false, &found, &e)) {
      if (stale) return MAPI_E_NOT_FOUND;
      if (c->broken() && attempt == 0) continue;
      return FailLocked(e);
    }
    if (found.empty() || found[0].HasFlag("\\Deleted")) return MAPI_E_NOT_FOUND;
    std::string messageId = HeaderValue(found[0].content, "Message-ID");
    std::optional<std::uint32_t> newUid;

    // A move finished by another process's start: the copy is there already, so only
    // the original goes (never a second copy).
    bool finishing = false;
    if (move) {
      newUid = earlierCopy(*c, found[0], messageId, &e);
      if (c->broken()) continue;
      if (newUid) {
        finishing = true;
        if (options_.log) {
          options_.log("a move of " + messageId + " into \"" + destination +
                       "\" was left half done; its copy is there, so the original goes");
        }
      }
      if (!SelectChecked(*c, mailbox, validity, &e, &stale)) {
        if (stale) return MAPI_E_NOT_FOUND;
        if (c->broken() && attempt == 0) continue;
        return FailLocked(e);
      }
    }

    if (move && !finishing && c->HasCapability("MOVE")) {
      if (c->Move(uid, destination, &newUid, &e)) {
        setNewId(*c, newUid);
        return S_OK;
      }
      if (!c->broken()) return FailLocked(e);
      // The answer was lost. MOVE is atomic on the server: the message is either still
      // here or moved; look before doing anything again.
      NoteError(e.text);
      if (Failed(hr = ReopenLocked(&c))) return hr;
      auto present = PresentLocked(*c, mailbox, validity, uid, &e);
      if (!present) return FailLocked(e);
      if (!*present) return S_OK;
      continue;
    }

    // COPY, and for a move the original marked \Deleted and expunged afterwards.
    std::optional<std::size_t> before;
    if (move && !finishing) {
      before = countById(*c, messageId, &e);
      if (c->broken()) continue;
      if (!SelectChecked(*c, mailbox, validity, &e, &stale)) {
        if (stale) return MAPI_E_NOT_FOUND;
        if (c->broken() && attempt == 0) continue;
        return FailLocked(e);
      }
    }
    if (!finishing && !c->Copy(uid, destination, &newUid, &e)) {
      if (!c->broken()) return FailLocked(e);
      NoteError(e.text);
      if (Failed(hr = ReopenLocked(&c))) return hr;
      // Did the copy happen? Only a Message-ID tells; without one the original stays.
      auto after = before ? countById(*c, messageId, &e) : std::nullopt;
      if (!move || !after) return MAPI_E_NETWORK_ERROR;
      if (*after <= *before) continue;  // not copied: once more
      if (!SelectChecked(*c, mailbox, validity, &e, &stale)) {
        return stale ? MAPI_E_NOT_FOUND : FailLocked(e);
      }
    }
    if (!move) {
      setNewId(*c, newUid);
      return S_OK;
    }
    for (int tries = 0;; ++tries) {
      if (c->StoreFlags(uid, true, {"\\Deleted"}, &e)) break;
      if (!c->broken() || tries > 0) return FailLocked(e);  // copied; the original stays too
      if (Failed(hr = ReopenLocked(&c))) return hr;
      auto present = PresentLocked(*c, mailbox, validity, uid, &e);
      if (!present) return FailLocked(e);
      if (!*present) break;
    }
    if (c->HasCapability("UIDPLUS") && !c->UidExpunge(uid, &e) && c->broken()) {
      // Marked \Deleted already; expunge on a new connection, or leave it marked.
      if (Succeeded(ReopenLocked(&c)) && SelectChecked(*c, mailbox, validity, &e, &stale)) {
        c->UidExpunge(uid, &e);
      }
    }
    setNewId(*c, newUid);
    return S_OK;
  }
  return MAPI_E_NETWORK_ERROR;
}

HRESULT ImapCore::Transfer(const std::string& mailbox, std::uint32_t validity, std::uint32_t uid,
                           const std::string& destination, bool move) {
  if (!Find(destination)) return MAPI_E_NOT_FOUND;
  if (move && destination == mailbox) return S_OK;
  EntryId newId;
  HRESULT hr;
  {
    std::lock_guard<std::timed_mutex> lock(connMutex_);
    hr = TransferLocked(mailbox, validity, uid, destination, move, &newId);
  }
  if (hr == MAPI_E_CALL_FAILED) {
    // Refused: the destination may have been deleted by another client since the
    // mailboxes were listed. Then the caller hears that it is gone, not a failure.
    auto listed = Folders(true);
    if (listed.ok() && !Find(destination)) return MAPI_E_NOT_FOUND;
  }
  if (Failed(hr)) return hr;
  Notification n;
  n.eventType = move ? fnevObjectMoved : fnevObjectCopied;
  n.objectType = MAPI_MESSAGE;
  n.entryId = newId;
  n.parentId = FolderId(destination);
  n.oldId = MessageId(mailbox, validity, uid);
  n.oldParentId = FolderId(mailbox);
  Post({n});
  return S_OK;
}

HRESULT ImapCore::Delete(const std::string& mailbox, std::uint32_t validity, std::uint32_t uid) {
  bool stale = false;
  bool missing = false;
  HRESULT hr = Run("STORE", true, [&](ImapConnection& c, ImapError* e) {
    if (!SelectChecked(c, mailbox, validity, e, &stale)) return false;
    std::vector<MessageSummary> found;
    if (!FetchOne(c, uid, false, false, &found, e)) return false;
    if (found.empty() || found[0].HasFlag("\\Deleted")) {
      missing = true;
      return true;
    }
    if (!c.StoreFlags(uid, true, {"\\Deleted"}, e)) return false;
    return !c.HasCapability("UIDPLUS") || c.UidExpunge(uid, e);
  });
  if (stale || missing) return MAPI_E_NOT_FOUND;
  if (Failed(hr)) return hr;
  Notification n;
  n.eventType = fnevObjectDeleted;
  n.objectType = MAPI_MESSAGE;
  n.entryId = MessageId(mailbox, validity, uid);
  n.parentId = FolderId(mailbox);
  Post({n});
  return S_OK;
}

Result<std::string> ImapCore::CreateFolder(const std::string& parent, const std::string& utf8Name,
                                           bool openIfExists) {
  auto folders = Folders();
  if (!folders.ok()) return folders.hr;
  if (utf8Name.empty() || utf8Name.size() > 255) return MAPI_E_INVALID_PARAMETER;
  auto parentInfo = Find(parent);
  if (!parentInfo) return MAPI_E_NOT_FOUND;
  char delimiter = parentInfo->delimiter;
  bool inboxPrefixed = true;  // every other mailbox lives under "INBOX<delimiter>"
  for (const FolderInfo& f : *folders) {
    if (delimiter == 0) delimiter = f.delimiter;
    if (f.mailbox != "INBOX" && f.mailbox.rfind("INBOX", 0) != 0) inboxPrefixed = false;
  }
  if (delimiter == 0) delimiter = '/';
  if (utf8Name.find(delimiter) != std::string::npos) return MAPI_E_INVALID_PARAMETER;
  if (parent == "INBOX" && openIfExists && strcasecmp(utf8Name.c_str(), "Spam") == 0) {
    // The server's own junk mailbox is the Inbox's spam folder where there is one.
    if (auto junk = FindSpecial("\\Junk")) return Ok(junk->mailbox);
  }
  std::string leaf = Utf8ToMailbox(utf8Name);
  std::string mailbox;
  if (parent == "INBOX" && !inboxPrefixed) {
    mailbox = leaf;
  } else {
    mailbox = parent + delimiter + leaf;
  }
  mailbox = NormalizeMailbox(mailbox);
  if (Find(mailbox)) {
    if (openIfExists) return Ok(mailbox);
    return MAPI_E_COLLISION;
  }
  HRESULT hr =
      Run("CREATE", true, [&](ImapConnection& c, ImapError* e) { return c.Create(mailbox, e); });
  if (Succeeded(hr)) {
    // Subscribed, so that mail programs that show only subscribed mailboxes show it;
    // a server that refuses keeps the mailbox all the same.
    std::string refused;
    Run("SUBSCRIBE", true, [&](ImapConnection& c, ImapError* e) {
      if (c.Subscribe(mailbox, e)) return true;
      refused = e->text;
      return false;
    });
    if (!refused.empty() && options_.log) {
      options_.log("the new mailbox \"" + mailbox + "\" is not subscribed: " + refused);
    }
  }
  auto after = Folders(true);
  bool exists = after.ok() && Find(mailbox).has_value();
  if (Failed(hr) && !exists) return hr;
  if (Failed(hr) && !openIfExists) return MAPI_E_COLLISION;
  Notification n;
  n.eventType = fnevObjectCreated;
  n.objectType = MAPI_FOLDER;
  n.entryId = FolderId(mailbox);
  n.parentId = FolderId(parent);
  Post({n});
  return Ok(mailbox);
}

HRESULT ImapCore::DeleteFolder(const std::string& mailbox, std::uint32_t flags) {
  if (mailbox == "INBOX") return MAPI_E_NO_ACCESS;
  if (!Find(mailbox)) return MAPI_E_NOT_FOUND;
  std::vector<std::string> doomed = {mailbox};
  for (std::size_t i = 0; i < doomed.size(); ++i) {
    for (const FolderInfo& child : Children(doomed[i])) doomed.push_back(child.mailbox);
  }
  if (doomed.size() > 1 && !(flags & DEL_FOLDERS)) return MAPI_E_HAS_FOLDERS;
  if (!(flags & DEL_MESSAGES)) {
    for (const std::string& f : doomed) {
      auto counts = CountMessages(f);
      if (!counts.ok()) return counts.hr;
      if (counts->total > 0) return MAPI_E_HAS_MESSAGES;
    }
  }
  for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
    HRESULT hr =
        Run("DELETE", true, [&](ImapConnection& c, ImapError* e) { return c.Delete(*it, e); });
    Folders(true);
    if (Failed(hr)) return hr;
    Notification n;
    n.eventType = fnevObjectDeleted;
    n.objectType = MAPI_FOLDER;
    n.entryId = FolderId(*it);
    n.parentId = FolderId(Parent(*it));
    Post({n});
  }
  return S_OK;
}

Result<std::uint32_t> ImapCore::Advise(const EntryId& id, std::uint32_t eventMask,
                                       std::shared_ptr<AdviseSink> sink) {
  if (!sink || eventMask == 0) return MAPI_E_INVALID_PARAMETER;
  std::lock_guard<std::mutex> lock(sinksMutex_);
  std::uint32_t connection = nextConnection_++;
  sinks_[connection] = Registration{id, eventMask, std::move(sink)};
  return Ok(connection);
}

HRESULT ImapCore::Unadvise(std::uint32_t connection) {
  {
    std::lock_guard<std::mutex> lock(sinksMutex_);
    if (sinks_.erase(connection) == 0) return MAPI_E_NOT_FOUND;
  }
  notifier_.Cancel(connection);
  return S_OK;
}

void ImapCore::Post(std::vector<Notification> notifications) {
  std::lock_guard<std::mutex> lock(sinksMutex_);
  for (const auto& [connection, reg] : sinks_) {
    std::vector<Notification> batch;
    for (const Notification& n : notifications) {
      if (!(n.eventType & reg.mask)) continue;
      if (reg.id.present() && !reg.id.empty() && reg.id != n.entryId && reg.id != n.parentId &&
          reg.id != n.oldParentId && reg.id != StoreId()) {
        continue;
      }
      batch.push_back(n);
    }
    if (!batch.empty()) notifier_.Post(connection, reg.sink, std::move(batch));
  }
}

bool ImapCore::WantsNewMail() {
  std::lock_guard<std::mutex> lock(sinksMutex_);
  for (const auto& [connection, reg] : sinks_) {
    if (reg.mask & (fnevNewMail | fnevObjectCreated)) return true;
  }
  return false;
}

}  // namespace quorvel::mapi::imap
