#include <algorithm>

#include "mapi/imap/imap_core.h"
#include "mapi/mime/input_bounds.h"
#include "mapi/mime/mime_message.h"

namespace quorvel::mapi::imap {
namespace {

constexpr std::size_t kMaxSummaries = 200'000;
constexpr std::size_t kFetchBatchBytes = 8u << 20;
constexpr std::size_t kFetchBatchCount = 200;
constexpr std::uint64_t kEpochDifference = 11'644'473'600ULL;  // 1601 -> 1970, seconds

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

bool FetchOne(ImapConnection& c, std::uint32_t uid, bool withHeader, bool whole,
              std::vector<MessageSummary>* found, ImapError* error) {
  if (!c.Fetch(uid, uid, withHeader, whole, found, error)) return false;
  if (!found->empty() || (c.selected() && uid < c.selected()->uidNext)) return true;
  return c.Noop(error) && c.Fetch(uid, uid, withHeader, whole, found, error);
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

}  // namespace quorvel::mapi::imap
