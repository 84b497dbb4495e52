#include "outlook/spam_folder_picker.h"

#include <vector>

#include "host/folder_path.h"
#include "host/mailbox_listing.h"
#include "outlook/spam_folder.h"
#include "ui/folder_choice.h"

namespace quorvel::outlook {

std::optional<ui::PickedFolder> FolderByPath(host::NameSpace& nameSpace, const std::string& path,
                                             std::string* error) {
  std::shared_ptr<host::MAPIFolder> folder;
  host::Outcome found = host::FindFolderByPath(nameSpace, path, &folder);
  if (!found.ok() || !folder) {
    if (error != nullptr)
      *error = found.message.empty() ? "no such folder: " + path : found.message;
    return std::nullopt;
  }
  ui::PickedFolder picked{.entryId = folder->EntryID(),
                          .path = host::FolderPathOf(*folder),
                          .holdsMail = folder->DefaultItemType() == host::olMailItem};
  // Shown as the spam folder is: its names from the store's root down.
  if (auto session = nameSpace.MAPIOBJECT()) {
    if (auto id = mapi::EntryId::FromHex(picked.entryId)) {
      if (std::string friendly = FriendlyPathUtf8(*session, *id); !friendly.empty()) {
        picked.path = friendly;
      }
    }
  }
  return picked;
}

std::optional<ui::PickedFolder> PickFolder(ui::Ui& ui, host::NameSpace& nameSpace) {
  std::vector<std::string> paths;
  host::ListFolders(nameSpace, [&paths](const host::FolderRow& row) {
    paths.push_back(row.path);
    return true;
  });
  std::optional<std::size_t> chosen = ui::ChooseFolder(ui, paths, "&Folder:");
  if (!chosen) return std::nullopt;
  return FolderByPath(nameSpace, paths[*chosen], nullptr);
}

}  // namespace quorvel::outlook
