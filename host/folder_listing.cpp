#include "host/folder_listing.h"

namespace quorvel::host {
namespace {

void Walk(MAPIFolder& folder, const std::string& parentPath, int depth,
          std::vector<protocol::FolderEntry>* out) {
  protocol::FolderEntry entry;
  entry.id = folder.EntryID();
  entry.name = folder.NameUtf8();
  entry.path = parentPath.empty() ? entry.name : parentPath + "/" + entry.name;
  auto items = folder.Items();
  entry.items = items ? items->Count() : 0;
  const std::string path = entry.path;
  out->push_back(std::move(entry));
  if (depth >= kMaxFolderDepth) return;
  auto children = folder.Folders();
  const int count = children ? children->Count() : 0;
  for (int i = 1; i <= count; ++i) {
    auto child = children->Item(i);
    if (child.ok() && *child) Walk(**child, path, depth + 1, out);
  }
}

}  // namespace

std::vector<protocol::FolderEntry> ListFolders(NameSpace& nameSpace) {
  std::vector<protocol::FolderEntry> folders;
  for (const auto& top : nameSpace.TopFolders()) {
    if (top) Walk(*top, "", 1, &folders);
  }
  return folders;
}

}  // namespace quorvel::host
