// Where a Maildir store's messages are (MaildirCore): listings read in passes that keep
// only what they look for, and the bounded index of where each file was last seen.
#include <iterator>
#include <map>
#include <string_view>
#include <unordered_map>

#include "mapi/maildir/maildir_core.h"
#include "mapi/maildir/maildir_listing.h"

namespace quorvel::mapi {

namespace {

MessageLocation LocationOf(const std::string& folderPath, const char* sub,
                           std::string_view fileName, MessageFileName name) {
  return MessageLocation{folderPath, sub, std::string(fileName), std::move(name)};
}

bool IsCur(const char* sub) { return sub[0] == 'c'; }

}  // namespace

std::vector<MessageLocation> MaildirCore::ListMessages(const std::string& folderPath) {
  std::vector<MessageLocation> out;
  std::string after;
  for (;;) {
    std::vector<MessageLocation> batch = ListMessagesAfter(folderPath, after, kIndexGeneration);
    if (batch.empty()) return out;
    after = batch.back().name.unique;
    for (MessageLocation& at : batch) out.push_back(std::move(at));
  }
}

std::vector<MessageLocation> MaildirCore::ListMessagesAfter(const std::string& folderPath,
                                                            const std::string& after,
                                                            std::size_t limit) {
  // The `limit` smallest unique parts after `after`: each pass reads the whole folder
  // but keeps no more than it returns.
  std::map<std::string, MessageLocation, std::less<>> first;
  VisitMaildirFiles(files_, FolderDirectory(root_, folderPath),
                    [&](const char* sub, std::string_view fileName, std::string_view unique) {
                      if (unique <= after) return;
                      if (first.size() >= limit && unique > first.rbegin()->first) return;
                      if (auto it = first.find(unique); it != first.end()) {
                        // cur/ (read after new/) wins over a stale copy in new/
                        if (IsCur(sub)) {
                          if (auto name = ParseMessageFileName(fileName))
                            it->second = LocationOf(folderPath, sub, fileName, std::move(*name));
                        }
                        return;
                      }
                      auto name = ParseMessageFileName(fileName);
                      if (!name) return;
                      std::string key = name->unique;
                      first.emplace(std::move(key),
                                    LocationOf(folderPath, sub, fileName, std::move(*name)));
                      if (first.size() > limit) first.erase(std::prev(first.end()));
                    });
  std::vector<MessageLocation> out;
  out.reserve(first.size());
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [unique, at] : first) {
    RememberLocked(at);
    out.push_back(std::move(at));
  }
  return out;
}

std::shared_ptr<const FolderNames> MaildirCore::ListFolderNames(const std::string& folderPath) {
  const std::string folder = FolderDirectory(root_, folderPath);
  std::shared_ptr<const FolderNames> known;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto it = listings_.find(folderPath); it != listings_.end()) known = it->second.lock();
  }
  if (known && known->Unchanged(files_, folder)) return known;
  auto fresh = std::make_shared<const FolderNames>(FolderNames::List(files_, folder));
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(listings_, [](const auto& entry) { return entry.second.expired(); });
  listings_[folderPath] = fresh;
  return fresh;
}

MessageLocation MaildirCore::LocationIn(const std::string& folderPath, const FolderNames& names,
                                        std::size_t i) const {
  const std::string_view fileName = names.FileName(i);
  // The listing took only names that parse.
  return LocationOf(folderPath, names.InCur(i) ? "cur" : "new", fileName,
                    ParseMessageFileName(fileName).value_or(MessageFileName{}));
}

std::optional<MessageLocation> MaildirCore::FindOnDisk(const std::string& folderPath,
                                                       const std::string& unique) const {
  std::optional<MessageLocation> found;
  VisitMaildirFiles(files_, FolderDirectory(root_, folderPath),
                    [&](const char* sub, std::string_view fileName, std::string_view part) {
                      if (part != unique || (found && !IsCur(sub))) return;
                      if (auto name = ParseMessageFileName(fileName))
                        found = LocationOf(folderPath, sub, fileName, std::move(*name));
                    });
  return found;
}

const MessageLocation* MaildirCore::IndexedLocked(const std::string& folderPath,
                                                  const std::string& unique) const {
  auto folder = index_.find(folderPath);
  if (folder == index_.end()) return nullptr;
  for (const auto* generation : {&folder->second.newer, &folder->second.older}) {
    auto it = generation->find(unique);
    if (it != generation->end()) return &it->second;
  }
  return nullptr;
}

std::optional<MessageLocation> MaildirCore::Locate(const std::string& folderPath,
                                                   const std::string& unique) {
  std::optional<MessageLocation> known;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (const MessageLocation* at = IndexedLocked(folderPath, unique)) known = *at;
  }
  if (known && files_.Exists(PathOf(*known))) return known;
  if (!FolderExists(folderPath)) return std::nullopt;
  // New mail sits in new/ under its bare unique part: found without listing a folder
  // that a burst of deliveries may have filled.
  platform::FileInfo info;
  MessageLocation fresh{folderPath, "new", unique, MessageFileName{unique, "", false}};
  if (files_.Stat(PathOf(fresh), &info).ok() && info.kind == platform::FileKind::kFile) {
    Remember(fresh);
    return fresh;
  }
  std::optional<MessageLocation> found = FindOnDisk(folderPath, unique);
  if (found) {
    Remember(*found);
  } else {
    Forget(folderPath, unique);
  }
  return found;
}

void MaildirCore::LocateMany(const std::string& folderPath,
                             const std::vector<std::string>& uniques) {
  std::unordered_map<std::string_view, std::optional<MessageLocation>> wanted;
  {
    // Those known are remembered afresh, so that they stay known while the operation
    // that asked goes through them (its own moves remember where each went).
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& unique : uniques) {
      if (const MessageLocation* known = IndexedLocked(folderPath, unique)) {
        const MessageLocation copy = *known;
        RememberLocked(copy);
      } else {
        wanted.emplace(unique, std::nullopt);
      }
    }
  }
  if (wanted.size() < 2) return;  // one is found as fast by Locate
  VisitMaildirFiles(files_, FolderDirectory(root_, folderPath),
                    [&](const char* sub, std::string_view fileName, std::string_view unique) {
                      auto it = wanted.find(unique);
                      if (it == wanted.end() || (it->second && !IsCur(sub))) return;
                      if (auto name = ParseMessageFileName(fileName))
                        it->second = LocationOf(folderPath, sub, fileName, std::move(*name));
                    });
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& [unique, at] : wanted) {
    if (at) RememberLocked(*at);
  }
}

void MaildirCore::Forget(const std::string& folderPath, const std::string& unique) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (auto folder = index_.find(folderPath); folder != index_.end()) {
    folder->second.newer.erase(unique);
    folder->second.older.erase(unique);
  }
}

void MaildirCore::Remember(const MessageLocation& at) {
  std::lock_guard<std::mutex> lock(mutex_);
  RememberLocked(at);
}

void MaildirCore::RememberLocked(const MessageLocation& at) {
  // A folder's index may hold only some of its messages: Locate checks each hit on disk.
  FolderIndex& folder = index_[at.folderPath];
  if (folder.newer.size() >= kIndexGeneration) {
    folder.older = std::move(folder.newer);
    folder.newer.clear();
  }
  folder.newer.insert_or_assign(at.name.unique, at);
}

}  // namespace quorvel::mapi
