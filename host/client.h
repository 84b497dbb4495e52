// The client's side of the host protocol, shared by the command line and any front
// end: where a profile's host listens, connecting with the checks that it is the
// user's own host, the hello, and the requests (run a command line, status, events).
//
// Trust: the runtime folder must belong to the user and be closed to others, and the
// process at the other end must run as the user, before anything is sent. Text from
// the host that the local presenter shows has its control characters escaped, and a
// link is opened only for http, https and mailto, after the user agreed.
//
// Deadlines: the connection and the hello, and a status, are waited for at most
// `deadlineMs`; a command line's frames come as long as the command runs.
//
// Thread-safety: one HostClient is used by one thread at a time.
#ifndef QUORVEL_HOST_CLIENT_H_
#define QUORVEL_HOST_CLIENT_H_

#include <deque>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/outcome.h"
#include "host/protocol.h"
#include "platform/unix_socket.h"
#include "ui/ui.h"

namespace quorvel::host {

// The socket of a profile's host: $XDG_RUNTIME_DIR/quorvel-<profile>.sock, or, without
// that variable, /tmp/quorvel-<uid>/<profile>.sock (the folder made if missing). A
// folder that is not the user's own, or that others may write, is refused.
Outcome ChannelPath(const std::string& profile, std::string* path);

// Whether a host may have `url` opened: http, https and mailto only.
bool IsOpenableUrl(std::string_view url);

struct ClientOptions {
  std::string software = "quorvel";
  std::vector<std::string> capabilities{};
  int deadlineMs = 5000;
};

class HostClient {
 public:
  // kUnreachable: nothing listens at `path` (nothing was sent); kRefused: the other end
  // is no process of this user, or refused us; kVersionMismatch: the host speaks
  // another major version; kBusy: it serves too many clients.
  static std::unique_ptr<HostClient> Connect(const std::string& path, const ClientOptions& options,
                                             Outcome* outcome);

  const protocol::Hello& hostHello() const { return hello_; }

  struct RunResult {
    Outcome outcome;  // kOk when the command ran to its end (whatever its status)
    int status = 1;
  };
  // Runs a command line in the host: its output goes to `out` and `err`, its questions,
  // progress and notices to `presenter`. `standardInput` (-1: none) goes along.
  RunResult Run(const protocol::RunRequest& request, int standardInput, ui::Ui& presenter,
                std::ostream& out, std::ostream& err);
  // Runs command `click.command` as a click in the host's window does (the id is
  // chosen here); answered as Run is.
  RunResult Click(const protocol::ClickRequest& click, ui::Ui& presenter, std::ostream& out,
                  std::ostream& err);
  // Rows of a folder (`request.id` is chosen here); at most
  // protocol::kMaxItemsPerRequest come at once.
  Outcome ListItems(const protocol::ListItemsRequest& request, protocol::ItemList* items);
  // The window shows `folder` with `items` selected (SelectionChange reaches the add-in).
  Outcome Select(const std::string& folder, const std::vector<std::string>& items,
                 protocol::Selected* selected);
  Outcome GetCommandBars(protocol::CommandBarList* bars);
  Outcome QueryStatus(protocol::Status* status);
  Outcome ListFolders(std::vector<protocol::FolderEntry>* folders);
  Outcome Subscribe(const std::vector<std::string>& events);
  // The questions waiting in the host for a person (none from a host that does not
  // serve them).
  Outcome ListPending(std::vector<protocol::PendingEntry>* pending);
  // Takes each question no other client holds, shows it with `presenter` (whose user
  // answers; the wait for a person has no deadline) and sends the answer. *answered
  // counts those answered. Only for a presenter where a person answers: a presenter
  // that is not interactive is offered nothing.
  Outcome OfferPending(ui::Ui& presenter, int* answered);
  // The next event within `milliseconds`; nothing (with *outcome) when none came.
  std::optional<protocol::Event> NextEvent(int milliseconds, Outcome* outcome);

 private:
  explicit HostClient(platform::Socket socket) : socket_(std::move(socket)) {}
  // The next message that is not an event (events are kept for NextEvent); with
  // `eventEnds`, nothing (and an ok outcome) as soon as an event was kept.
  std::optional<protocol::Message> Receive(Outcome* outcome, bool eventEnds = false);
  Outcome Lost(const std::string& waitingFor);
  // kRefused, saying to restart the host, when it does not offer `capability` (an
  // older host).
  Outcome Offers(const std::string& capability, const std::string& what) const;
  // Serves request `id` that runs as a job until its Done.
  RunResult FollowJob(std::uint64_t id, ui::Ui& presenter, std::ostream& out, std::ostream& err);
  // Sends `request` and waits (at most the deadline) for its `Reply` of the same id.
  Outcome AnswerPending(std::uint64_t pending, ui::Ui& presenter);
  template <typename Reply>
  Outcome Ask(const protocol::Message& request, std::uint64_t id, const std::string& waitingFor,
              Reply* reply);

  platform::Socket socket_;
  protocol::Hello hello_;
  int deadlineMs_ = 5000;
  std::uint64_t nextId_ = 1;
  std::deque<protocol::Event> events_;
  std::string lastError_;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_CLIENT_H_
