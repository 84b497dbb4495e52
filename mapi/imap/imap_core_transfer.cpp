#include <strings.h>

#include "mapi/imap/imap_core.h"

namespace quorvel::mapi::imap {
namespace {

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

}  // namespace

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

}  // namespace quorvel::mapi::imap
