// MessageModel: the messages of the folder shown, as a table of sender, subject,
// date and read state, that loads its rows on demand: the row count is known at once
// (the folder's item count) and a page of rows is asked for only when the view wants
// one of its rows, so that a folder of 100,000 messages shows at once and scrolls
// without holding them all. Rows not loaded yet show empty; an answer for a folder no
// longer shown is dropped.
//
// Unread messages are shown in bold. Thread-safety: the owning thread only; the
// fetcher's callback must be called there too.
#ifndef QUORVEL_DESKTOP_MESSAGE_MODEL_H_
#define QUORVEL_DESKTOP_MESSAGE_MODEL_H_

#include <QAbstractTableModel>
#include <functional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "desktop/host_requests.h"

namespace quorvel::desktop {

class MessageModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kSender = 0, kSubject = 1, kDate = 2, kRead = 3, kColumns = 4 };
  static constexpr int kPageRows = 200;

  // Asks for `count` rows from `first`; calls `arrived` (on the owning thread) with
  // the rows, fewer when the folder ended sooner, or an error text; later, never from
  // within the call to the fetcher (the view is reading the model then).
  using Arrived = std::function<void(const std::vector<MessageRow>& rows, const QString& error)>;
  using Fetcher = std::function<void(int first, int count, Arrived arrived)>;

  explicit MessageModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  // Shows a folder of `rowCount` messages whose rows `fetch` brings.
  void ShowFolder(int rowCount, Fetcher fetch);
  void Clear() { ShowFolder(0, nullptr); }

  // The row's message when loaded, else null.
  const MessageRow* Message(int row) const;
  // How many pages were asked for since the folder was shown (for tests and the
  // measurement of the load).
  int pagesAsked() const { return pagesAsked_; }
  QString lastError() const { return lastError_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 signals:
  void loadFailed(const QString& error);

 private:
  void Ask(int page) const;
  void PageArrived(int page, unsigned generation, const std::vector<MessageRow>& rows,
                   const QString& error);

  int rows_ = 0;
  Fetcher fetch_;
  unsigned generation_ = 0;  // changes with each folder shown
  // Loaded pages by number, and those asked for; mutable because the view's reads
  // are what asks for them.
  mutable std::unordered_map<int, std::vector<MessageRow>> pages_;
  mutable std::set<int> asked_;
  mutable int pagesAsked_ = 0;
  QString lastError_;
};

// How a message's sender and date are shown: "Name <address>" (the address alone when
// it is the name or there is none), and the date in local time ("" when unknown).
QString SenderText(const MessageRow& row);
QString DateText(const std::string& isoUtc);

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_MESSAGE_MODEL_H_
