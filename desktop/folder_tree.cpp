#include "desktop/folder_tree.h"

#include <QHash>

namespace quorvel::desktop {

void FillFolderTree(QStandardItemModel& model,
                    const std::vector<host::protocol::FolderEntry>& folders) {
  model.clear();
  model.setHorizontalHeaderLabels({QObject::tr("Folders")});
  QHash<QString, QStandardItem*> byPath;
  for (const host::protocol::FolderEntry& folder : folders) {
    const QString path = QString::fromStdString(folder.path);
    const QString name = QString::fromStdString(folder.name);
    auto* item =
        new QStandardItem(folder.items > 0 ? QString("%1 (%2)").arg(name).arg(folder.items) : name);
    item->setEditable(false);
    item->setData(path, kFolderPathRole);
    item->setData(QString::fromStdString(folder.id), kFolderIdRole);
    item->setData(static_cast<qlonglong>(folder.items), kFolderItemsRole);
    item->setToolTip(path);
    const int slash = path.lastIndexOf('/');
    QStandardItem* parent = slash > 0 ? byPath.value(path.left(slash), nullptr) : nullptr;
    if (parent != nullptr) {
      parent->appendRow(item);
    } else {
      model.appendRow(item);
    }
    byPath.insert(path, item);
  }
}

QModelIndex FindFolder(const QStandardItemModel& model, const QString& path) {
  const QModelIndexList found = model.match(model.index(0, 0), kFolderPathRole, path, 1,
                                            Qt::MatchExactly | Qt::MatchRecursive);
  return found.isEmpty() ? QModelIndex() : found.first();
}

}  // namespace quorvel::desktop
