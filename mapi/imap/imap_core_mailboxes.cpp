#include <strings.h>

#include <algorithm>

#include "mapi/imap/imap_core.h"

namespace quorvel::mapi::imap {

bool FolderInfo::Has(std::string_view attribute) const {
  for (const std::string& a : attributes) {
    if (a.size() == attribute.size() && strncasecmp(a.data(), attribute.data(), a.size()) == 0) {
      return true;
    }
  }
  return false;
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

}  // namespace quorvel::mapi::imap
