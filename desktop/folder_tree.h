// The profile's folders as a tree for a view: one item per folder, under its parent
// by path ("Inbox/Lists/Debian" under "Inbox/Lists"), its text the folder's name and,
// when it holds messages, their count. Each item keeps the folder's path, entry id
// and count in its roles.
#ifndef QUORVEL_DESKTOP_FOLDER_TREE_H_
#define QUORVEL_DESKTOP_FOLDER_TREE_H_

#include <QStandardItemModel>
#include <vector>

#include "host/protocol.h"

namespace quorvel::desktop {

enum FolderRole { kFolderPathRole = Qt::UserRole + 1, kFolderIdRole, kFolderItemsRole };

// Replaces the model's rows with `folders` (parents come before their children; a
// folder whose parent is missing is put at the top).
void FillFolderTree(QStandardItemModel& model,
                    const std::vector<host::protocol::FolderEntry>& folders);

// The item of the folder with `path`, or an invalid index.
QModelIndex FindFolder(const QStandardItemModel& model, const QString& path);

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_FOLDER_TREE_H_
