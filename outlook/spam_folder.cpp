#include "outlook/spam_folder.h"

#include <vector>

#include "mapi/queries.h"
#include "mapi/utf8_text.h"
#include "outlook/open_folder.h"
#include "platform/code_page.h"
#include "platform/mailbox_name.h"
#include "platform/string_table.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;

constexpr unsigned kStringSpam = 150;
constexpr int kMaxDepth = 64;  // a path deeper than this is damaged

// Names here are UTF-8, compared by Unicode case folding: a folder's ANSI name is
// "????" for every name of four Cyrillic letters, so it names none of them.
bool SameName(std::string_view a, std::string_view b) { return platform::EqualsNoCaseUtf8(a, b); }

// A folder's name in any script: its PR_UNICODE_DISPLAY_NAME, else its ANSI name.
std::string NameOf(const std::vector<mapi::PropValue>& props) {
  return mapi::GetUtf8(props, mapi::PR_UNICODE_DISPLAY_NAME, mapi::PR_DISPLAY_NAME);
}

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> names;
  for (;;) {
    std::size_t at = path.find(kPathSeparator);
    names.emplace_back(path.substr(0, at));
    if (at == std::string_view::npos) break;
    path.remove_prefix(at + kPathSeparator.size());
  }
  return names;
}

EntryId IdOf(mapi::MapiProp& object) {
  auto id = mapi::HrGetOneProp(object, mapi::PR_ENTRYID);
  return id.ok() ? id->AsEntryId() : EntryId();
}

// The top-level folders: each store's top of the folder tree, under the store's name.
std::vector<std::pair<std::string, EntryId>> TopLevelFolders(mapi::Session& session) {
  std::vector<std::pair<std::string, EntryId>> tops;
  auto table = session.GetMsgStoresTable(0);
  if (!table.ok()) return tops;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return tops;
  for (const mapi::Row& row : *rows) {
    EntryId storeId = mapi::GetEntryId(row, mapi::PR_ENTRYID);
    if (!storeId.present()) continue;
    auto store = session.OpenMsgStore(storeId, mapi::MDB_NO_DIALOG | mapi::MAPI_BEST_ACCESS);
    if (!store.ok()) continue;
    const mapi::PropTag tags[] = {mapi::PR_DISPLAY_NAME, mapi::PR_IPM_SUBTREE_ENTRYID};
    auto props = (*store)->GetProps(tags);
    if (!props.ok()) continue;
    EntryId top = mapi::GetEntryId(*props, mapi::PR_IPM_SUBTREE_ENTRYID);
    if (top.present()) tops.emplace_back(NameOf(*props), top);
  }
  return tops;
}

std::shared_ptr<mapi::Folder> FindSubfolder(mapi::Folder& parent, mapi::Session& session,
                                            std::string_view name) {
  auto table = parent.GetHierarchyTable(0);
  if (!table.ok()) return nullptr;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID, mapi::PR_DISPLAY_NAME,
                                   mapi::PR_UNICODE_DISPLAY_NAME};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return nullptr;
  for (const mapi::Row& row : *rows) {
    if (SameName(NameOf(row), name)) {
      return OpenFolder(session, mapi::GetEntryId(row, mapi::PR_ENTRYID));
    }
  }
  return nullptr;
}

std::shared_ptr<mapi::Folder> SubfolderOrNew(mapi::Folder& parent, mapi::Session& session,
                                             const std::string& name) {
  if (auto found = FindSubfolder(parent, session, name)) return found;
  // Folders are made by their ANSI name: one the code page cannot spell is not made
  // (it would be a folder named "????").
  const std::string ansi = platform::Utf8ToAnsi(name);
  if (platform::AnsiToUtf8(ansi) != name) return nullptr;
  auto made = parent.CreateFolder(mapi::FOLDER_GENERIC, ansi, "", mapi::OPEN_IF_EXISTS);
  return made.ok() ? *made : nullptr;
}

std::shared_ptr<mapi::Folder> WalkPath(mapi::Session& session, const std::string& path,
                                       bool create) {
  std::vector<std::string> names = SplitPath(path);
  if (names.size() > kMaxDepth) return nullptr;
  std::shared_ptr<mapi::Folder> folder;
  for (const auto& [storeName, top] : TopLevelFolders(session)) {
    if (SameName(storeName, names[0])) {
      folder = OpenFolder(session, top);
      break;
    }
  }
  for (std::size_t i = 1; folder && i < names.size(); ++i) {
    if (names[i].empty()) return nullptr;
    folder = create ? SubfolderOrNew(*folder, session, names[i])
                    : FindSubfolder(*folder, session, names[i]);
  }
  return folder;
}

std::string HexOf(const std::u16string& wide) {
  std::string narrow;
  for (char16_t c : wide) {
    if (c > 0x7F) return {};
    narrow.push_back(static_cast<char>(c));
  }
  return narrow;
}

}  // namespace

EntryId DefaultInboxId(mapi::Session& session) {
  auto table = session.GetMsgStoresTable(0);
  if (!table.ok()) return {};
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID, mapi::PR_DEFAULT_STORE};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return {};
  for (const mapi::Row& row : *rows) {
    if (!mapi::GetBoolean(row, mapi::PR_DEFAULT_STORE)) continue;
    auto store = session.OpenMsgStore(mapi::GetEntryId(row, mapi::PR_ENTRYID),
                                      mapi::MDB_NO_DIALOG | mapi::MAPI_BEST_ACCESS);
    if (!store.ok()) return {};
    auto inbox = (*store)->GetReceiveFolder("IPM.Note", 0);
    return inbox.ok() ? inbox->folderId : EntryId();
  }
  return {};
}

std::string FriendlyPathUtf8(mapi::Session& session, const EntryId& folderId) {
  auto folder = OpenFolder(session, folderId);
  if (!folder) return {};
  const mapi::PropTag tags[] = {mapi::PR_STORE_ENTRYID};
  auto storeProps = folder->GetProps(tags);
  if (!storeProps.ok()) return {};
  auto store = session.OpenMsgStore(mapi::GetEntryId(*storeProps, mapi::PR_STORE_ENTRYID),
                                    mapi::MDB_NO_DIALOG | mapi::MAPI_BEST_ACCESS);
  if (!store.ok()) return {};
  const mapi::PropTag storeTags[] = {mapi::PR_DISPLAY_NAME, mapi::PR_IPM_SUBTREE_ENTRYID,
                                     mapi::PR_UNICODE_DISPLAY_NAME};
  auto sp = (*store)->GetProps(storeTags);
  if (!sp.ok()) return {};
  EntryId top = mapi::GetEntryId(*sp, mapi::PR_IPM_SUBTREE_ENTRYID);

  std::vector<std::string> names;
  EntryId id = folderId;
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    if (id == top) {
      names.push_back(NameOf(*sp));
      std::string path;
      for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (!path.empty()) path += kPathSeparator;
        path += *it;
      }
      return path;
    }
    auto current = depth == 0 ? folder : OpenFolder(session, id);
    if (!current) return {};
    const mapi::PropTag ft[] = {mapi::PR_DISPLAY_NAME, mapi::PR_PARENT_ENTRYID,
                                mapi::PR_UNICODE_DISPLAY_NAME};
    auto fp = current->GetProps(ft);
    if (!fp.ok()) return {};
    EntryId parent = mapi::GetEntryId(*fp, mapi::PR_PARENT_ENTRYID);
    if (!parent.present() || parent == id) return {};  // above the folder tree
    names.push_back(NameOf(*fp));
    id = parent;
  }
  return {};
}

std::string FriendlyPath(mapi::Session& session, const EntryId& folderId) {
  return platform::Utf8ToAnsi(FriendlyPathUtf8(session, folderId));
}

ResolvedSpamFolder ResolveSpamFolder(mapi::Session& session, SpamFolderRef& ref, bool make) {
  ResolvedSpamFolder out;
  std::string path = platform::WideToUtf8(ref.friendlyName);
  if (!path.empty()) out.folder = WalkPath(session, path, false);
  if (!out.folder && !ref.entryId.empty()) {
    if (auto id = EntryId::FromHex(HexOf(ref.entryId))) out.folder = OpenFolder(session, *id);
  }
  if (!out.folder && !path.empty()) {
    if (!make && WalkPath(session, SplitPath(path)[0], false)) {
      ref.entryId.clear();  // made along the path when first needed
      out.result = SpamFolderResult::kToBeMade;
      return out;
    }
    out.folder = WalkPath(session, path, make);
  }
  bool fallback = false;
  if (!out.folder) {
    const EntryId inboxId = DefaultInboxId(session);
    if (auto inbox = OpenFolder(session, inboxId)) {
      // The junk folder the user's other mail programs already use, before a new one.
      auto junk = mapi::HrGetOneProp(*inbox, mapi::PR_JUNK_FOLDER_ENTRYID);
      if (junk.ok()) out.folder = OpenFolder(session, junk->AsEntryId());
      const std::string spam = platform::AnsiToUtf8(platform::LoadString(kStringSpam));
      if (!out.folder) {
        out.folder =
            make ? SubfolderOrNew(*inbox, session, spam) : FindSubfolder(*inbox, session, spam);
      }
      if (!out.folder && !make) {
        const std::string inboxPath = FriendlyPathUtf8(session, inboxId);
        if (inboxPath.empty()) return out;
        ref.entryId.clear();
        ref.friendlyName = platform::Utf8ToWide(inboxPath + std::string(kPathSeparator) + spam);
        out.result = SpamFolderResult::kToBeMade;
        return out;
      }
      fallback = out.folder != nullptr;
    }
  }
  if (!out.folder) return out;
  out.id = IdOf(*out.folder);
  if (!out.id.present()) {
    out.folder.reset();
    return out;
  }
  out.result = fallback ? SpamFolderResult::kFallback : SpamFolderResult::kFound;
  ref.entryId = platform::AnsiToWide(out.id.ToHex());
  ref.friendlyName = platform::Utf8ToWide(FriendlyPathUtf8(session, out.id));
  return out;
}

SpamFolderResult CheckSpamFolder(mapi::Session& session, SettingsHolder& settings, bool make) {
  SpamFolderRef ref = settings.GetSpamFolder().value_or(SpamFolderRef{});
  ResolvedSpamFolder resolved = ResolveSpamFolder(session, ref, make);
  if (resolved.result != SpamFolderResult::kNone) settings.SetSpamFolder(ref);
  return resolved.result;
}

EntryId StoredSpamFolderId(SettingsHolder& settings) {
  auto ref = settings.GetSpamFolder();
  if (!ref) return {};
  auto id = EntryId::FromHex(platform::WideToAnsi(ref->entryId));
  return id ? *id : EntryId();
}

bool SpamFolderIsInbox(mapi::Session& session, SettingsHolder& settings) {
  EntryId inbox = DefaultInboxId(session);
  auto ref = settings.GetSpamFolder();
  if (!inbox.present() || !ref) return false;
  return platform::AnsiToWide(inbox.ToHex()) == ref->entryId;
}

}  // namespace quorvel::outlook
