#include "host/message_locator.h"

#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <functional>
#include <vector>

#include "host/contents_rows.h"
#include "host/folder_path.h"
#include "host/mailbox_listing.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/queries.h"
#include "platform/code_page.h"

namespace quorvel::host {
namespace {

using mapi::EntryId;

Outcome Fail(OutcomeCode code, std::string message) {
  return Outcome::Of(code, std::move(message));
}

bool IsAllDigits(std::string_view text) {
  if (text.empty() || text.size() > 10) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// "4711" or "1700000000.4711".
bool IsUidText(std::string_view text) {
  std::size_t dot = text.find('.');
  if (dot == std::string_view::npos) return IsAllDigits(text);
  return IsAllDigits(text.substr(0, dot)) && IsAllDigits(text.substr(dot + 1));
}

std::optional<std::uint32_t> ParseUint32(std::string_view text) {
  if (!IsAllDigits(text)) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) value = value * 10 + static_cast<std::uint64_t>(c - '0');
  if (value > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

// Entry ids are printed as long hexadecimal text; a short one is more likely a name.
bool LooksLikeEntryId(std::string_view text) {
  if (text.size() < 16 || text.size() % 2 != 0) return false;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool LooksLikeMessageId(std::string_view text) {
  return text.starts_with("id:") || text.starts_with("<") ||
         text.find('@') != std::string_view::npos;
}

std::optional<std::uint32_t> UnsignedProp(const mapi::PropValue& value) {
  if (const std::int32_t* v = value.AsLong()) return static_cast<std::uint32_t>(*v);
  return std::nullopt;
}

std::optional<std::uint32_t> UidValidityOf(MAPIFolder& folder) {
  auto opened = folder.MAPIOBJECT();
  if (!opened.ok()) return std::nullopt;
  auto value = mapi::HrGetOneProp(**opened, mapi::PR_UID_VALIDITY);
  if (!value.ok()) return std::nullopt;
  return UnsignedProp(*value);
}

enum class DiskKind { kExists, kFile, kFolder, kMissing };
DiskKind KindOnDisk(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return DiskKind::kMissing;
  if (S_ISDIR(st.st_mode)) return DiskKind::kFolder;
  if (S_ISREG(st.st_mode)) return DiskKind::kFile;
  return DiskKind::kExists;
}

// Every mail folder of the profile with its path, parents before children.
void ForEachMailFolder(NameSpace& nameSpace,
                       const std::function<void(MAPIFolder&, const std::string&)>& each) {
  ListFolders(nameSpace, [&](const FolderRow& row) {
    if (row.defaultItemType != olMailItem) return true;
    auto folder = nameSpace.GetFolderFromID(row.entryId);
    if (folder.ok()) each(**folder, row.path);
    return true;
  });
}

std::vector<std::shared_ptr<mapi::MsgStore>> StoresOf(mapi::Session& session) {
  std::vector<std::shared_ptr<mapi::MsgStore>> stores;
  auto table = session.GetMsgStoresTable(0);
  if (!table.ok()) return stores;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return stores;
  for (const mapi::Row& row : *rows) {
    auto store = session.OpenMsgStore(row[0].AsEntryId(), mapi::MAPI_BEST_ACCESS);
    if (store.ok()) stores.push_back(*store);
  }
  return stores;
}

}  // namespace

std::string BareMessageId(std::string_view name) {
  std::string_view id = name;
  while (!id.empty() && std::isspace(static_cast<unsigned char>(id.front()))) id.remove_prefix(1);
  while (!id.empty() && std::isspace(static_cast<unsigned char>(id.back()))) id.remove_suffix(1);
  if (id.starts_with("id:")) id.remove_prefix(3);
  if (id.size() >= 2 && id.front() == '"' && id.back() == '"') id = id.substr(1, id.size() - 2);
  if (id.size() >= 2 && id.front() == '<' && id.back() == '>') id = id.substr(1, id.size() - 2);
  // notmuch doubles a quote inside a quoted id.
  std::string out;
  for (std::size_t i = 0; i < id.size(); ++i) {
    out += id[i];
    if (id[i] == '"' && i + 1 < id.size() && id[i + 1] == '"') ++i;
  }
  return out;
}

MessageLocator::MessageLocator(std::shared_ptr<NameSpace> nameSpace, std::string workingFolder)
    : nameSpace_(std::move(nameSpace)), workingFolder_(std::move(workingFolder)) {}

std::string MessageLocator::Absolute(std::string_view name) const {
  std::filesystem::path path(name);
  if (path.is_relative()) path = std::filesystem::path(workingFolder_) / path;
  return path.lexically_normal().string();
}

Outcome MessageLocator::FindMessage(std::string_view name, LocatedMessage* found) {
  if (name.empty()) return Fail(OutcomeCode::kRefused, "an empty name names no message");
  const std::string text(name);
  if (text[0] == '/' || KindOnDisk(Absolute(text)) != DiskKind::kMissing) {
    return FindByFile(Absolute(text), found);
  }
  if (LooksLikeEntryId(text)) return Located(text, "no message has the entry id " + text, found);
  if (text.starts_with("id:") || text.starts_with("<")) {
    return FindByMessageId(nullptr, text, found);
  }
  // FOLDER/UID or FOLDER/<Message-ID>: the folder is the longest part before a "/"
  // that names one (a Message-ID may hold a "/" too).
  for (std::size_t slash = text.rfind('/'); slash != std::string::npos && slash > 0;
       slash = text.rfind('/', slash - 1)) {
    if (text[slash - 1] == '\\') continue;
    std::string_view tail = std::string_view(text).substr(slash + 1);
    const bool uid = IsUidText(tail);
    if (!uid && !LooksLikeMessageId(tail)) continue;
    std::shared_ptr<MAPIFolder> folder;
    if (!FindFolderByPath(*nameSpace_, text.substr(0, slash), &folder).ok()) continue;
    return uid ? FindByUid(*folder, tail, found) : FindByMessageId(folder.get(), tail, found);
  }
  if (text.find('@') != std::string::npos) return FindByMessageId(nullptr, text, found);
  if (text.find('/') != std::string::npos && IsUidText(text.substr(text.rfind('/') + 1))) {
    return Fail(OutcomeCode::kNotFound,
                "no folder is named \"" + text.substr(0, text.rfind('/')) + "\"");
  }
  return FindByFile(Absolute(text), found);
}

Outcome MessageLocator::FindByFile(const std::string& path, LocatedMessage* found) {
  std::string entryId;
  Outcome named = NameOnDisk(path, mapi::MaildirPathName::kMessage, &entryId);
  if (!named.ok()) return named;
  return Located(
      entryId, "no message " + path + " in the profile's Maildir (moved or deleted since?)", found);
}

Outcome MessageLocator::NameOnDisk(const std::string& path, int wantKind, std::string* entryIdHex) {
  for (const auto& store : StoresOf(*nameSpace_->MAPIOBJECT())) {
    mapi::MaildirPathName named = mapi::NameMaildirPath(*store, path);
    if (named.kind == mapi::MaildirPathName::kOutside) continue;
    if (named.kind == wantKind) {
      *entryIdHex = named.id.ToHex();
      return Outcome::Ok();
    }
    const bool wantMessage = wantKind == mapi::MaildirPathName::kMessage;
    if (named.kind == mapi::MaildirPathName::kFolder) {
      return Fail(OutcomeCode::kRefused, path + " is a folder, not a message");
    }
    if (named.kind == mapi::MaildirPathName::kMessage) {
      return Fail(OutcomeCode::kRefused, path + " is a message, not a folder");
    }
    return Fail(OutcomeCode::kNotFound, path + " is no " + (wantMessage ? "message" : "folder") +
                                            " of the profile's Maildir");
  }
  if (KindOnDisk(path) == DiskKind::kMissing) {
    return Fail(
        OutcomeCode::kNotFound,
        "nothing is named " + path + " (no such file, and no folder/UID, Message-ID or entry id)");
  }
  return Fail(OutcomeCode::kRefused, path + " is outside the profile's mailbox");
}

Outcome MessageLocator::FindByUid(MAPIFolder& folder, std::string_view uidText,
                                  LocatedMessage* found) {
  const std::string folderPath = FolderPathOf(folder);
  std::optional<std::uint32_t> current = UidValidityOf(folder);
  if (!current) {
    return Fail(OutcomeCode::kRefused,
                "folder \"" + folderPath +
                    "\" has no UIDs: name its messages by file, Message-ID or entry id");
  }
  std::size_t dot = uidText.find('.');
  std::optional<std::uint32_t> uid = ParseUint32(uidText.substr(dot == uidText.npos ? 0 : dot + 1));
  if (dot != uidText.npos) {
    std::optional<std::uint32_t> given = ParseUint32(uidText.substr(0, dot));
    if (!given || *given != *current) {
      return Fail(OutcomeCode::kRefused, "folder \"" + folderPath + "\" has UIDVALIDITY " +
                                             std::to_string(*current) + " now, not " +
                                             std::string(uidText.substr(0, dot)) +
                                             ": its UIDs name other messages since; list it again");
    }
  }
  if (!uid) return Fail(OutcomeCode::kRefused, "\"" + std::string(uidText) + "\" is no UID");
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID, mapi::PR_INTERNET_ARTICLE_NUMBER};
  std::string entryId;
  HRESULT hr = ForEachContentsRow(folder, columns, 0, [&](const mapi::Row& row) {
    if (UnsignedProp(row[1]) != uid) return true;
    entryId = row[0].AsEntryId().ToHex();
    return false;
  });
  if (mapi::Failed(hr) || entryId.empty()) {
    return Fail(OutcomeCode::kNotFound,
                "folder \"" + folderPath + "\" has no message with UID " + std::to_string(*uid));
  }
  return Located(entryId, "the message " + folderPath + "/" + std::string(uidText) + " is gone",
                 found);
}

Outcome MessageLocator::FindByMessageId(MAPIFolder* folder, std::string_view messageId,
                                        LocatedMessage* found) {
  const std::string wanted = BareMessageId(messageId);
  if (wanted.empty()) return Fail(OutcomeCode::kRefused, "an empty Message-ID names no message");
  struct Match {
    std::string folderPath, entryId;
  };
  std::vector<Match> matches;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID, mapi::PR_INTERNET_MESSAGE_ID};
  auto search = [&](MAPIFolder& f, const std::string& path) {
    ForEachContentsRow(f, columns, 0, [&](const mapi::Row& row) {
      const std::string* id = row[1].AsString8();
      if (id && BareMessageId(*id) == wanted) {
        matches.push_back({path, row[0].AsEntryId().ToHex()});
      }
      return true;
    });
  };
  if (folder) {
    search(*folder, FolderPathOf(*folder));
  } else {
    ForEachMailFolder(*nameSpace_, search);
  }
  const std::string shown = "<" + wanted + ">";
  if (matches.empty()) {
    return Fail(OutcomeCode::kNotFound,
                "no message has the Message-ID " + shown +
                    (folder ? " in folder \"" + FolderPathOf(*folder) + "\"" : std::string()));
  }
  if (matches.size() > 1) {
    std::string where;
    for (std::size_t i = 0; i < matches.size() && i < 10; ++i) {
      where += (i ? ", \"" : "\"") + matches[i].folderPath + "\"";
    }
    if (matches.size() > 10) where += " ...";
    return Fail(OutcomeCode::kAmbiguous, std::to_string(matches.size()) +
                                             " messages have the Message-ID " + shown + ", in " +
                                             where + ": name the folder (FOLDER/" + shown +
                                             ") or the message's file or entry id");
  }
  return Located(matches[0].entryId, "the message " + shown + " is gone", found);
}

Outcome MessageLocator::Located(const std::string& entryIdHex, const std::string& whenGone,
                                LocatedMessage* found) {
  auto item = nameSpace_->GetItemFromID(entryIdHex);
  if (!item.ok()) return Fail(OutcomeCode::kNotFound, whenGone);
  auto folder = (*item)->Parent();
  if (!folder) return Fail(OutcomeCode::kNotFound, whenGone);
  found->item = *item;
  found->folder = folder;
  return Outcome::Ok();
}

Outcome MessageLocator::FindFolder(std::string_view name, std::shared_ptr<MAPIFolder>* found) {
  if (name.empty()) {
    auto inbox = nameSpace_->GetDefaultFolder(olFolderInbox);
    if (!inbox.ok()) return Fail(OutcomeCode::kNotFound, "the profile has no Inbox");
    *found = *inbox;
    return Outcome::Ok();
  }
  const std::string text(name);
  if (text[0] == '/' || KindOnDisk(Absolute(text)) == DiskKind::kFolder) {
    std::string entryId;
    Outcome named = NameOnDisk(Absolute(text), mapi::MaildirPathName::kFolder, &entryId);
    if (!named.ok()) return named;
    auto folder = nameSpace_->GetFolderFromID(entryId);
    if (!folder.ok()) return Fail(OutcomeCode::kNotFound, "the folder " + text + " is gone");
    *found = *folder;
    return Outcome::Ok();
  }
  return FindFolderByPath(*nameSpace_, text, found);
}

MessageNamer::MessageNamer(NameSpace& nameSpace, MAPIFolder& folder, std::string folderPath)
    : uidValidity_(UidValidityOf(folder)), folderPath_(std::move(folderPath)) {
  if (auto storeId = EntryId::FromHex(folder.StoreID())) {
    auto store = nameSpace.MAPIOBJECT()->OpenMsgStore(*storeId, mapi::MAPI_BEST_ACCESS);
    if (store.ok()) store_ = *store;
  }
}

std::string MessageNamer::NameOf(const EntryId& id, std::optional<std::uint32_t> uid) const {
  if (store_) {
    std::string path = mapi::MaildirMessagePath(*store_, id);
    if (!path.empty()) return path;
  }
  if (uid && uidValidity_) {
    return folderPath_ + "/" + std::to_string(*uidValidity_) + "." + std::to_string(*uid);
  }
  return id.ToHex();
}

}  // namespace quorvel::host
