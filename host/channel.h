// The command channel between `quorvel` clients and the host of a profile: a Unix
// socket in $XDG_RUNTIME_DIR (mode 0600) carrying the frames of wire.h.
//
// Server: one thread accepts connections; each connection has a reader thread. A
// peer of another user is refused by its credentials. A Run request is posted to the
// host's user-interface thread, where it runs with the client's presenter (its
// message boxes, dialogs, progress and notices travel to the client and its answers
// come back) and with standard output and error forwarded. A client that goes away
// mid-dialog gets the dialog's cancel answer, and its progress reads as cancelled,
// so the host never waits for an answer that cannot come. A malformed request is
// refused and its connection closed; the host goes on.
//
// Client: RunInHost sends a command line (with its standard input, passed as a
// descriptor, so that a command reading "-" reads the client's) and plays the host's
// frames on the local presenter and streams until the host says the command is done.
#ifndef QUORVEL_HOST_CHANNEL_H_
#define QUORVEL_HOST_CHANNEL_H_

#include <functional>
#include <iosfwd>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "host/message_loop.h"
#include "host/wire.h"
#include "platform/unix_socket.h"
#include "ui/ui.h"

namespace quorvel::host {

// The socket of a profile's host: $XDG_RUNTIME_DIR/quorvel-<profile>.sock, or, without
// that variable, /tmp/quorvel-<uid>/<profile>.sock in a folder only the user may
// enter (made if missing; refused when someone else owns it).
bool ChannelPath(const std::string& profile, std::string* path, std::string* error);

bool SendFrame(platform::Socket& socket, const wire::Message& message);
// The next message; nothing at the end of the stream, or for a malformed or oversized
// frame (*malformed set).
std::optional<wire::Message> ReceiveFrame(platform::Socket& socket, bool* malformed = nullptr);

class ChannelServer {
 public:
  struct Handlers {
    // Runs on the user-interface thread; returns the exit status. `standardInput` is
    // the client's standard input (-1 when it passed none), open while this runs.
    std::function<int(const wire::Run& run, std::ostream& out, std::ostream& err, int standardInput,
                      std::shared_ptr<ui::Ui> presenter)>
        run;
    // Any thread.
    std::function<wire::Status()> status;
  };
  static std::unique_ptr<ChannelServer> Start(const std::string& path, MessageLoop& loop,
                                              Handlers handlers, std::string* error);
  // Every client now connected is cut off: its questions get their cancel answers
  // and its commands not yet started are dropped. New clients are still accepted.
  void DisconnectClients();
  // Stops accepting, disconnects every client, joins the threads, removes the socket.
  // REQUIRES: the user-interface thread runs no more of its tasks.
  ~ChannelServer();

  struct Connection;  // one client (internal)

 private:
  ChannelServer(std::string path, platform::Socket listener, MessageLoop& loop, Handlers handlers);
  void AcceptLoop();
  void Serve(const std::shared_ptr<Connection>& connection);
  void Reap();

  const std::string path_;
  platform::Socket listener_;
  MessageLoop& loop_;
  const Handlers handlers_;
  std::mutex mutex_;                                    // guards connections_ and stopping_
  std::list<std::shared_ptr<Connection>> connections_;  // guarded by mutex_
  bool stopping_ = false;                               // guarded by mutex_
  std::thread acceptThread_;
};

struct ClientResult {
  bool connected = false;  // false: no host listens (nothing was sent)
  int status = 1;
  std::string error;  // why the command could not finish, when it could not
};
// `standardInput`: the descriptor passed as the command's standard input, -1 for none.
ClientResult RunInHost(const std::string& path, const wire::Run& run, ui::Ui& presenter,
                       std::ostream& out, std::ostream& err, int standardInput = -1);
// The host's status; nothing (with *error) when no host answers.
std::optional<wire::Status> QueryHostStatus(const std::string& path, std::string* error);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_CHANNEL_H_
