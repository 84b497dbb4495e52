#include "mapi/maildir/maildir_listing.h"

#include <algorithm>

#include "platform/folder_visit.h"

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

void VisitMaildirFiles(platform::FileSystem& files, const std::string& folder,
                       const MaildirFileVisit& visit) {
  for (const char* sub : {"new", "cur"}) {
    platform::VisitFolder(files, platform::JoinFilePath(folder, sub),
                          [&](const platform::FolderEntry& entry) {
                            if (entry.name.empty() || entry.name[0] == '.') return;
                            if (entry.kind != platform::FileKind::kFile) return;
                            const std::string_view name = entry.name;
                            visit(sub, name, name.substr(0, name.find(':')));
                          });
  }
}

}  // namespace quorvel::mapi
