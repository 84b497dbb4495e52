// HostRequests: the explorer's questions to the host (its folders, a range of a
// folder's messages, a message's verdict), asked one at a time on a thread of their
// own over one connection that is made again when it is lost, so that the window
// never waits on the host. Each answer is handed to its callback on the thread that
// owns this object (the window's), never after the object is gone.
//
// A folder's messages come as the host's `list-items` rows, or, from a host that does
// not offer them, as the command line `messages --json`; the verdict as `classify
// --json`. ParseMessageLines and ParseVerdict read the command lines' output.
//
// Thread-safety: the public methods from the owning thread only.
#ifndef QUORVEL_DESKTOP_HOST_REQUESTS_H_
#define QUORVEL_DESKTOP_HOST_REQUESTS_H_

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "desktop/host_link.h"
#include "host/protocol.h"

namespace quorvel::desktop {

struct MessageRow {
  std::string name;  // what the host's commands take for the message
  std::string entryId;
  std::string senderName, senderAddress;
  std::string subject;
  std::string date;  // UTC, ISO 8601; "" when unknown
  bool read = false;
  long long size = -1;
};

struct VerdictText {
  bool spam = false;
  std::string reason;  // lines separated by '\n'
};

// One message per line of `messages --json` output; lines that are no such object
// are skipped.
std::vector<MessageRow> ParseMessageLines(const std::string& text);
// The first object of `classify --json` output; false when there is none.
bool ParseVerdict(const std::string& text, VerdictText* verdict);

// A row of `list-items` as the list shows it.
MessageRow RowOf(const host::protocol::ItemEntry& item);

// The command line asking for `count` messages of `folderPath` from row `first`.
std::vector<std::string> MessagesCommand(const std::string& folderPath, int first, int count);

class HostRequests : public QObject {
  Q_OBJECT

 public:
  // `link` must outlive this object.
  explicit HostRequests(const HostLink& link, QObject* parent = nullptr);
  ~HostRequests() override;

  using FoldersDone =
      std::function<void(const host::Outcome&, const std::vector<host::protocol::FolderEntry>&)>;
  using MessagesDone = std::function<void(const host::Outcome&, const std::vector<MessageRow>&)>;
  using VerdictDone = std::function<void(const host::Outcome&, const VerdictText&)>;

  void Folders(FoldersDone done);
  void Messages(const std::string& folderPath, int first, int count, MessagesDone done);
  void Verdict(const std::string& messageName, VerdictDone done);
  // Tells the host which messages the window has selected (the add-in hears the
  // selection change); nothing from a host that does not take selections.
  void Select(const std::string& folderId, const std::vector<std::string>& itemIds);
  using BarsDone = std::function<void(const host::Outcome&, const host::protocol::CommandBarList&)>;
  // The window's command bars and key table (refused by a host that has none).
  void CommandBars(BarsDone done);

 private:
  using Job = std::function<void(host::HostClient* client, const host::Outcome& connected)>;
  void Post(Job job);
  void Loop();
  // Runs a command line in the host and keeps its standard output.
  static host::Outcome RunCaptured(host::HostClient& client, const std::vector<std::string>& argv,
                                   std::string* out);

  const HostLink& link_;
  std::mutex mutex_;  // guards jobs_ and stopping_
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::unique_ptr<host::HostClient> client_;  // the worker thread's alone
  std::thread thread_;
};

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_HOST_REQUESTS_H_
