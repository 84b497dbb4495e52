#include "platform/folder_visit.h"

#include <vector>

namespace quorvel::platform {

FileStatus VisitFolder(FileSystem& files, const std::string& path, const FolderVisit& visit) {
  if (&files == &RealFileSystem()) return VisitRealFolder(path, visit);
  std::vector<FolderEntry> entries;
  const FileStatus listed = files.ListFolder(path, &entries);
  if (!listed.ok()) return listed;
  for (const FolderEntry& entry : entries) visit(entry);
  return {};
}

}  // namespace quorvel::platform
