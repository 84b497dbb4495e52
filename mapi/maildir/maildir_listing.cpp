#include "mapi/maildir/maildir_listing.h"

#include <algorithm>

namespace quorvel::mapi {

bool IsMaildirFolder(platform::FileSystem& files, const std::string& folder) {
  for (const char* sub : {"cur", "new"}) {
    platform::FileInfo info;
    if (files.Stat(platform::JoinFilePath(folder, sub), &info).ok() &&
        info.kind == platform::FileKind::kFolder) {
      return true;
    }
  }
  return false;
}

std::vector<std::string> MaildirFileNames(platform::FileSystem& files, const std::string& folder,
                                          const char* sub) {
  std::vector<platform::FolderEntry> entries;
  std::vector<std::string> names;
  if (!files.ListFolder(platform::JoinFilePath(folder, sub), &entries).ok()) return names;
  for (platform::FolderEntry& entry : entries) {
    if (entry.name.empty() || entry.name[0] == '.') continue;
    if (entry.kind != platform::FileKind::kFile) continue;
    names.push_back(std::move(entry.name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quorvel::mapi
