// The host's side of the command channel: a Unix socket in $XDG_RUNTIME_DIR (mode
// 0600) speaking the protocol of protocol.h over frames.h. docs/protocol.md
// describes it for other programs; client.h is the client's side.
//
// Threads: one accepts connections; each connection has a reader that routes its
// frames by request id; each command line a client sends runs as a job on a thread
// of its own (job.h), with its client's presenter, streams and standard input; a
// subscribed connection has a sender thread that writes its events. The
// user-interface thread never waits on a client.
//
// Limits: at most `maxClients` connections (the next one gets a "busy" error and is
// closed), `maxJobs` jobs at once (the next run gets "busy"), a hello within
// `handshakeMs`, `eventQueue` events queued for a subscriber that does not read (then
// it is cut off, noted on the host's log). An accept that fails for want of
// descriptors is tried again after a pause; finished connections close at once.
//
// Locks: mutex_ guards connections_, stopping_ and the job count; a connection's
// own mutex guards its answers, jobs and event queue, and its send mutex serialises
// its frames. Neither is held while a job runs or a handler is called.
#ifndef QUORVEL_HOST_CHANNEL_H_
#define QUORVEL_HOST_CHANNEL_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "host/event_bus.h"
#include "host/job.h"
#include "host/message_loop.h"
#include "host/pending_interactions.h"
#include "host/protocol.h"
#include "platform/unix_socket.h"

namespace quorvel::host {

struct ChannelLimits {
  std::size_t maxClients = 64;
  std::size_t maxJobs = 16;
  int handshakeMs = 5000;
  std::size_t eventQueue = 256;
};

class ChannelServer {
 public:
  struct Handlers {
    protocol::Hello hello;                        // the host's hello (software, profile)
    std::function<int(JobContext& job)> run;      // on the job's own thread
    std::function<protocol::Status()> status;     // any thread
    std::function<void(const std::string&)> log;  // a line for the host's log; any thread
    // The profile's folders; on the user-interface thread. Unset: not served.
    std::function<std::vector<protocol::FolderEntry>()> listFolders;
    // A front end's requests about the window (ListItemsRequest, SelectRequest,
    // CommandBarsRequest), answered with the reply or an Error; on the user-interface
    // thread. Unset: not served.
    std::function<protocol::Message(const protocol::Message& request)> window;
    // A client that asked `window` something left (posted to the user-interface
    // thread, where it runs). Unset: nothing is done.
    std::function<void()> windowClientGone;
    // A click of a command (ClickRequest), run as a job like a command line, on the
    // job's own thread; returns the exit status. Unset: not served.
    std::function<int(JobContext& job, const protocol::ClickRequest& click)> click;
    // Questions waiting for a person, listed, taken and answered by clients; what a
    // client holds is released when it leaves. Null: not served. Outlives the server.
    PendingInteractions* pending = nullptr;
  };
  static std::unique_ptr<ChannelServer> Start(const std::string& path, MessageLoop& loop,
                                              EventBus& events, Handlers handlers,
                                              std::string* error, ChannelLimits limits = {});
  // Stops accepting, tells every client that the host stops, cancels every job, cuts
  // the clients off, and waits up to `deadline` for their threads to end. Returns how
  // many jobs still run then (they are cancelled; the caller may exit over them).
  std::size_t Stop(std::chrono::milliseconds deadline);
  // Stop with a short deadline when not stopped, joins every thread, removes the
  // socket. REQUIRES: no job still runs, or the process exits without this.
  ~ChannelServer();

  std::size_t clients();
  std::size_t jobs();

  struct Connection;  // one client (internal)

 private:
  ChannelServer(std::string path, platform::Socket listener, MessageLoop& loop, EventBus& events,
                Handlers handlers, ChannelLimits limits);
  void AcceptLoop();
  void Serve(const std::shared_ptr<Connection>& connection);
  bool Handshake(Connection& connection);
  // Admits a job of request `id` (false: refused, and the client told so).
  bool AdmitJob(const std::shared_ptr<Connection>& connection, std::uint64_t id, int input);
  // Runs `body` as the job of `run` (its argv names it in the "job" events).
  void StartJob(const std::shared_ptr<Connection>& connection, protocol::RunRequest run, int input,
                std::function<int(JobContext&)> body);
  void Reap();

  const std::string path_;
  platform::Socket listener_;
  MessageLoop& loop_;
  EventBus& events_;
  const Handlers handlers_;
  const ChannelLimits limits_;
  std::mutex mutex_;
  std::condition_variable changed_;                     // a connection or job ended
  std::list<std::shared_ptr<Connection>> connections_;  // guarded by mutex_
  bool stopping_ = false;                               // guarded by mutex_
  std::size_t jobs_ = 0;                                // guarded by mutex_
  std::thread acceptThread_;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_CHANNEL_H_
