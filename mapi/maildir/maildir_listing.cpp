#include "mapi/maildir/maildir_listing.h"

#include <algorithm>

namespace quorvel::mapi {

platform::FileStatus ListMaildirFiles(platform::FileSystem& files, const std::string& folder,
                                      const char* sub, std::vector<std::string>* names) {
  names->clear();
  std::vector<platform::FolderEntry> entries;
  const platform::FileStatus listed =
      files.ListFolder(platform::JoinFilePath(folder, sub), &entries);
  if (!listed.ok()) return listed;
  for (platform::FolderEntry& entry : entries) {
    if (entry.name.empty() || entry.name[0] == '.') continue;
    if (entry.kind != platform::FileKind::kFile) continue;
    names->push_back(std::move(entry.name));
  }
  std::sort(names->begin(), names->end());
  return {};
}

}  // namespace quorvel::mapi
