#include "desktop/message_model.h"

#include <QDateTime>
#include <QFont>
#include <QLocale>

namespace quorvel::desktop {
namespace {
constexpr int kTooltipChars = 500;  // a 10,000-character subject is not all shown in a tip
}

QString SenderText(const MessageRow& row) {
  const QString name = QString::fromStdString(row.senderName);
  const QString address = QString::fromStdString(row.senderAddress);
  if (name.isEmpty() || name == address) return address;
  if (address.isEmpty()) return name;
  return name + " <" + address + ">";
}

QString DateText(const std::string& isoUtc) {
  if (isoUtc.empty()) return {};
  QDateTime when = QDateTime::fromString(QString::fromStdString(isoUtc), Qt::ISODate);
  if (!when.isValid()) return QString::fromStdString(isoUtc);
  return QLocale().toString(when.toLocalTime(), QLocale::ShortFormat);
}

void MessageModel::ShowFolder(int rowCount, Fetcher fetch) {
  beginResetModel();
  rows_ = rowCount < 0 ? 0 : rowCount;
  fetch_ = std::move(fetch);
  ++generation_;
  pages_.clear();
  asked_.clear();
  pagesAsked_ = 0;
  lastError_.clear();
  endResetModel();
}

const MessageRow* MessageModel::Message(int row) const {
  if (row < 0 || row >= rows_) return nullptr;
  auto it = pages_.find(row / kPageRows);
  if (it == pages_.end()) {
    Ask(row / kPageRows);
    return nullptr;
  }
  const std::size_t offset = static_cast<std::size_t>(row % kPageRows);
  return offset < it->second.size() ? &it->second[offset] : nullptr;
}

void MessageModel::Ask(int page) const {
  if (!fetch_ || !asked_.insert(page).second) return;
  ++pagesAsked_;
  auto* self = const_cast<MessageModel*>(this);
  const unsigned generation = generation_;
  fetch_(page * kPageRows, kPageRows,
         [self, page, generation](const std::vector<MessageRow>& rows, const QString& error) {
           self->PageArrived(page, generation, rows, error);
         });
}

void MessageModel::PageArrived(int page, unsigned generation, const std::vector<MessageRow>& rows,
                               const QString& error) {
  if (generation != generation_) return;  // a folder no longer shown
  if (!error.isEmpty()) {
    asked_.erase(page);  // asked again when the view next wants it
    lastError_ = error;
    emit loadFailed(error);
    return;
  }
  pages_[page] = rows;
  const int first = page * kPageRows;
  const int last = std::min(rows_, first + kPageRows) - 1;
  if (last >= first) emit dataChanged(index(first, 0), index(last, kColumns - 1));
}

int MessageModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int MessageModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant MessageModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const MessageRow* row = Message(index.row());
  if (row == nullptr) return {};
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case kSender:
          return SenderText(*row);
        case kSubject:
          return QString::fromStdString(row->subject);
        case kDate:
          return DateText(row->date);
        case kRead:
          return row->read ? tr("Read") : tr("Unread");
        default:
          return {};
      }
    case Qt::ToolTipRole:
      if (index.column() == kSubject) {
        return QString::fromStdString(row->subject).left(kTooltipChars);
      }
      return {};
    case Qt::FontRole:
      if (!row->read) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    default:
      return {};
  }
}

QVariant MessageModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kSender:
      return tr("From");
    case kSubject:
      return tr("Subject");
    case kDate:
      return tr("Received");
    case kRead:
      return tr("Read");
    default:
      return {};
  }
}

}  // namespace quorvel::desktop
