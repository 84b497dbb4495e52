#include "host/channel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "host/channel_connection.h"
#include "host/frames.h"
#include "host/pending_replies.h"

namespace quorvel::host {
namespace {

constexpr const char* kRestartAdvice = "restart the host: systemctl --user restart quorvel";

std::string VersionText(int major, int minor) {
  return std::to_string(major) + "." + std::to_string(minor);
}

bool IsWindowRequest(const protocol::Message& m) {
  return std::holds_alternative<protocol::ListItemsRequest>(m) ||
         std::holds_alternative<protocol::SelectRequest>(m) ||
         std::holds_alternative<protocol::CommandBarsRequest>(m);
}

protocol::Error Refusal(std::uint64_t id, OutcomeCode code, std::string message) {
  return protocol::Error{id, Outcome::Of(code, std::move(message))};
}

// Writes a frame to a client not served, without waiting for it.
void SendAndForget(platform::Socket& socket, const protocol::Message& message) {
  const std::string frame = protocol::Encode(message);
  [[maybe_unused]] ssize_t n =
      ::send(socket.fd(), frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
}

}  // namespace

ChannelServer::ChannelServer(std::string path, platform::Socket listener, MessageLoop& loop,
                             EventBus& events, Handlers handlers, ChannelLimits limits)
    : path_(std::move(path)),
      listener_(std::move(listener)),
      loop_(loop),
      events_(events),
      handlers_(std::move(handlers)),
      limits_(limits) {}

std::unique_ptr<ChannelServer> ChannelServer::Start(const std::string& path, MessageLoop& loop,
                                                    EventBus& events, Handlers handlers,
                                                    std::string* error, ChannelLimits limits) {
  platform::Socket listener = platform::ListenUnix(path, error);
  if (!listener.valid()) return nullptr;
  std::unique_ptr<ChannelServer> server(
      new ChannelServer(path, std::move(listener), loop, events, std::move(handlers), limits));
  server->acceptThread_ = std::thread([s = server.get()] { s->AcceptLoop(); });
  return server;
}

std::size_t ChannelServer::clients() {
  std::lock_guard lock(mutex_);
  std::size_t n = 0;
  for (const auto& c : connections_) n += c->finished ? 0 : 1;
  return n;
}

std::size_t ChannelServer::jobs() {
  std::lock_guard lock(mutex_);
  return jobs_;
}

std::size_t ChannelServer::Stop(std::chrono::milliseconds deadline) {
  const auto until = std::chrono::steady_clock::now() + deadline;
  std::list<std::shared_ptr<Connection>> connections;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    connections = connections_;
    changed_.notify_all();
  }
  listener_.Shutdown();
  if (acceptThread_.joinable()) acceptThread_.join();
  const protocol::Event stopping{"stopping", {{"message", "the host is stopping"}}};
  // A frame being sent holds a connection's send lock for a moment: such clients are
  // told a little later; one whose send is stuck (it reads nothing) is not told.
  std::list<std::shared_ptr<Connection>> busy;
  for (auto& c : connections) {
    if (!c->SendIfRoom(stopping)) busy.push_back(c);
  }
  if (!busy.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  for (auto& c : busy) c->SendIfRoom(stopping);
  for (auto& c : connections) c->Gone();
  std::unique_lock lock(mutex_);
  changed_.wait_until(lock, until, [&] {
    for (const auto& c : connections_) {
      if (!c->finished) return false;
    }
    return true;
  });
  return jobs_;
}

ChannelServer::~ChannelServer() {
  Stop(std::chrono::milliseconds(1000));
  std::list<std::shared_ptr<Connection>> connections;
  {
    std::lock_guard lock(mutex_);
    connections.swap(connections_);
  }
  for (auto& c : connections) {
    if (c->reader.joinable()) c->reader.join();
  }
  ::unlink(path_.c_str());
}

void ChannelServer::Reap() {
  std::list<std::shared_ptr<Connection>> done;
  {
    std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      if ((*it)->finished) {
        done.push_back(*it);
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& c : done) c->reader.join();
}

void ChannelServer::AcceptLoop() {
  bool reported = false;
  int pause = 10;
  for (;;) {
    platform::Socket socket = platform::AcceptUnix(listener_);
    const int error = errno;
    Reap();
    std::unique_lock lock(mutex_);
    if (stopping_) return;
    if (!socket.valid()) {
      // Out of descriptors or memory: the clients that end give them back. Try again
      // after a pause that grows to a second; say so once per spell.
      if (!reported && handlers_.log) {
        handlers_.log("the command channel cannot accept a client (" +
                      std::string(std::strerror(error)) + "); trying again");
      }
      reported = true;
      changed_.wait_for(lock, std::chrono::milliseconds(pause), [&] { return stopping_; });
      pause = std::min(pause * 2, 1000);
      continue;
    }
    reported = false;
    pause = 10;
    std::size_t live = 0;
    for (const auto& c : connections_) live += c->finished ? 0 : 1;
    if (live >= limits_.maxClients) {
      lock.unlock();
      SendAndForget(socket, Refusal(0, OutcomeCode::kBusy,
                                    "the host serves " + std::to_string(live) +
                                        " clients already; try again later"));
      continue;  // closed here
    }
    auto connection = std::make_shared<Connection>();
    connection->socket = std::move(socket);
    connections_.push_back(connection);
    connection->reader = std::thread([this, connection] {
      Serve(connection);
      std::lock_guard inner(mutex_);
      connection->finished = true;
      changed_.notify_all();
    });
  }
}

bool ChannelServer::Handshake(Connection& c) {
  if (platform::PeerUid(c.socket) != static_cast<long>(::getuid())) {
    c.Send(Refusal(0, OutcomeCode::kRefused, "the host serves only its own user"));
    return false;
  }
  SetReceiveTimeout(c.socket, limits_.handshakeMs);
  std::string body;
  if (ReadFrame(c.socket, &body) != FrameRead::kOk) return false;  // silent, or no frame
  const std::string ours = VersionText(protocol::kMajor, protocol::kMinor);
  if (protocol::IsFirstProtocolBody(body)) {
    const std::string refusal = protocol::FirstProtocolRefusal(
        "the host speaks protocol " + ours + " and this quorvel an older one; " + kRestartAdvice);
    std::lock_guard lock(c.sendMutex);
    c.socket.SendAll(refusal.data(), refusal.size());
    return false;
  }
  protocol::Decoded hello = protocol::Decode(body);
  const auto* theirs = std::get_if<protocol::Hello>(&hello.message);
  if (hello.kind != protocol::Decoded::kMessage || theirs == nullptr) {
    c.Send(Refusal(0, OutcomeCode::kRefused, "the first message must be a hello"));
    return false;
  }
  if (theirs->major != protocol::kMajor) {
    c.Send(Refusal(0, OutcomeCode::kVersionMismatch,
                   "the client speaks protocol " + VersionText(theirs->major, theirs->minor) +
                       " and the host " + ours + "; " + kRestartAdvice));
    return false;
  }
  SetReceiveTimeout(c.socket, 0);
  c.clientMinor = theirs->minor;
  protocol::Hello mine = handlers_.hello;
  mine.major = protocol::kMajor;
  mine.minor = protocol::kMinor;
  return c.Send(mine);
}

bool ChannelServer::AdmitJob(const std::shared_ptr<Connection>& c, std::uint64_t id, int input) {
  std::string refusal;
  OutcomeCode code = OutcomeCode::kRefused;
  {
    std::scoped_lock lock(mutex_, c->mutex);
    if (c->jobs.count(id) != 0) {
      refusal = "request " + std::to_string(id) + " runs already";
    } else if (stopping_) {
      refusal = "the host is stopping";
      code = OutcomeCode::kCancelled;
    } else if (jobs_ >= limits_.maxJobs) {
      refusal = "the host runs " + std::to_string(jobs_) + " commands already; try again";
      code = OutcomeCode::kBusy;
    } else {
      ++jobs_;
      return true;
    }
  }
  if (input >= 0) ::close(input);
  c->Send(Refusal(id, code, refusal));
  return false;
}

void ChannelServer::StartJob(const std::shared_ptr<Connection>& c, protocol::RunRequest run,
                             int input, std::function<int(JobContext&)> body) {
  auto cancel = std::make_shared<Cancellation>();
  std::lock_guard lock(c->mutex);
  Connection::Job& job = c->jobs[run.id];
  job.cancel = cancel;
  job.thread = std::thread([this, c, cancel, input, run = std::move(run), body = std::move(body)] {
    const std::string command = run.argv.size() > 1 ? run.argv[1] : run.argv[0];
    events_.Publish({"job", {{"state", "started"}, {"command", command}}});
    int status = 1;
    Outcome outcome;
    {
      JobOutputBuffer outBuffer(*c, run.id, 1), errBuffer(*c, run.id, 2);
      std::ostream out(&outBuffer), err(&errBuffer);
      JobContext context{
          run.argv,
          run.cwd,
          run.interactive,
          run.yes,
          input,
          out,
          err,
          MakeJobPresenter(c, run.id, cancel, run.interactive && !run.yes, c->clientMinor >= 1),
          cancel,
          &loop_};
      try {
        status = body(context);
      } catch (const std::exception& e) {
        outcome = Outcome::Of(OutcomeCode::kFailed, std::string("the command failed: ") + e.what());
      } catch (...) {
        outcome = Outcome::Of(OutcomeCode::kFailed, "the command failed");
      }
      if (!outcome.ok()) {
        status = 1;
        if (handlers_.log) handlers_.log(outcome.message);
      } else if (cancel->cancelled()) {
        outcome = Outcome::Of(OutcomeCode::kCancelled, "the command was cancelled");
      }
    }
    if (input >= 0) ::close(input);
    c->Send(protocol::Done{run.id, status, outcome});
    events_.Publish({"job",
                     {{"state", "ended"},
                      {"command", command},
                      {"code", std::string(OutcomeCodeName(outcome.code))}}});
    {
      std::lock_guard inner(c->mutex);
      c->jobs[run.id].done = true;
    }
    std::lock_guard server(mutex_);
    --jobs_;
    changed_.notify_all();
  });
}

void ChannelServer::Serve(const std::shared_ptr<Connection>& c) {
  auto joinFinishedJobs = [&c](bool all) {
    std::vector<std::thread> threads;
    {
      std::lock_guard lock(c->mutex);
      for (auto it = c->jobs.begin(); it != c->jobs.end();) {
        if (all || it->second.done) {
          threads.push_back(std::move(it->second.thread));
          if (!all) {
            it = c->jobs.erase(it);
            continue;
          }
        }
        ++it;
      }
    }
    for (auto& t : threads) {
      if (t.joinable()) t.join();
    }
  };
  // What this connection takes from the pending interactions is held in its name.
  const auto taker = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(c.get()));
  bool askedWindow = false;  // the window lets go of what it kept for this client's pages
  if (Handshake(*c)) {
    for (;;) {
      std::string body;
      const FrameRead read = ReadFrame(c->socket, &body);
      if (read == FrameRead::kOversized) {
        c->Send(Refusal(0, OutcomeCode::kRefused, "a frame of no or over 16 MiB of bytes"));
      }
      if (read != FrameRead::kOk) break;
      protocol::Decoded d = protocol::Decode(body);
      if (d.kind == protocol::Decoded::kMalformed) {
        c->Send(Refusal(d.id, OutcomeCode::kRefused, "malformed message: " + d.error));
        break;
      }
      if (d.kind == protocol::Decoded::kUnknown) {
        c->Send(Refusal(d.id, OutcomeCode::kRefused,
                        "this host does not serve \"" + d.type + "\" requests"));
        continue;
      }
      joinFinishedJobs(false);
      if (auto* run = std::get_if<protocol::RunRequest>(&d.message)) {
        // The standard input comes right after the frame; taken before anything is
        // refused, so that the stream stays in step.
        const int input = run->standardInput ? c->socket.ReceiveDescriptor() : -1;
        if (run->standardInput && input < 0) {
          c->Send(Refusal(run->id, OutcomeCode::kRefused, "the standard input did not come"));
          break;
        }
        if (run->argv.empty()) {
          if (input >= 0) ::close(input);
          c->Send(Refusal(run->id, OutcomeCode::kRefused, "the command line is empty"));
          continue;
        }
        if (!AdmitJob(c, run->id, input)) continue;
        StartJob(c, std::move(*run), input, handlers_.run);
      } else if (auto* click = std::get_if<protocol::ClickRequest>(&d.message);
                 click && handlers_.click) {
        if (!AdmitJob(c, click->id, -1)) continue;
        protocol::RunRequest named{click->id,
                                   {"quorvel", "click", std::to_string(click->command)},
                                   "/",
                                   click->interactive,
                                   click->yes};
        StartJob(c, std::move(named), -1,
                 [clicked = *click, handler = handlers_.click](JobContext& job) {
                   return handler(job, clicked);
                 });
      } else if (auto* status = std::get_if<protocol::StatusRequest>(&d.message)) {
        protocol::Status s = handlers_.status ? handlers_.status() : protocol::Status{};
        s.id = status->id;
        s.clients = clients();
        s.jobs = jobs();
        s.events = events_.published();
        c->Send(s);
      } else if (auto* subscribe = std::get_if<protocol::Subscribe>(&d.message)) {
        if (c->subscription != 0) events_.Unsubscribe(c->subscription);
        std::weak_ptr<Connection> weak = c;
        const std::size_t limit = limits_.eventQueue;
        auto log = handlers_.log;
        c->subscription =
            events_.Subscribe(subscribe->events, [weak, limit, log](const protocol::Event& e) {
              auto conn = weak.lock();
              if (!conn) return;
              {
                std::lock_guard lock(conn->mutex);
                if (conn->gone || conn->eventsOverflowed) return;
                if (conn->events.size() < limit) {
                  conn->events.push_back(e);
                  conn->changed.notify_all();
                  return;
                }
                conn->eventsOverflowed = true;
              }
              if (log) log("a client that did not read its events was cut off");
              conn->Gone();
            });
        if (!c->eventSender.joinable()) {
          c->eventSender = std::thread([c] {
            for (;;) {
              protocol::Event e;
              {
                std::unique_lock lock(c->mutex);
                c->changed.wait(lock, [&] { return c->gone || !c->events.empty(); });
                if (c->gone) return;
                e = std::move(c->events.front());
                c->events.pop_front();
              }
              if (!c->Send(e)) return;
            }
          });
        }
        c->Send(protocol::Subscribed{subscribe->id, subscribe->events});
      } else if (auto* list = std::get_if<protocol::ListFoldersRequest>(&d.message);
                 list && handlers_.listFolders) {
        // The object model is walked on its own thread; this reader waits for that
        // thread only, which never waits on a client.
        auto folders = std::make_shared<std::vector<protocol::FolderEntry>>();
        if (!RunOnUserInterfaceThread(loop_, c->leaving, [folders, walk = handlers_.listFolders] {
              *folders = walk();
            })) {
          break;  // the client or the host is going
        }
        c->Send(protocol::FolderList{list->id, std::move(*folders)});
      } else if (IsWindowRequest(d.message) && handlers_.window) {
        // Answered on the user-interface thread, as the folders are.
        askedWindow = true;
        auto reply = std::make_shared<protocol::Message>();
        if (!RunOnUserInterfaceThread(loop_, c->leaving,
                                      [reply, request = std::move(d.message),
                                       answer = handlers_.window] { *reply = answer(request); })) {
          break;
        }
        c->Send(*reply);
      } else if (auto* listPending = std::get_if<protocol::ListPendingRequest>(&d.message);
                 listPending && handlers_.pending) {
        c->Send(PendingListReply(*handlers_.pending, listPending->id));
      } else if (auto* take = std::get_if<protocol::TakePending>(&d.message);
                 take && handlers_.pending) {
        protocol::Message reply = TakeReply(*handlers_.pending, *take, taker);
        if (!std::holds_alternative<protocol::Error>(reply)) c->takes[take->id] = take->pending;
        c->Send(reply);
      } else if (auto* taken = std::get_if<protocol::Answer>(&d.message);
                 taken && handlers_.pending && c->takes.count(taken->id) != 0) {
        protocol::Answer given = std::move(*taken);
        given.question = c->takes[given.id];  // the interaction this request took
        c->takes.erase(given.id);
        c->Send(AnswerReply(*handlers_.pending, given, taker));
      } else if (auto* cancel = std::get_if<protocol::CancelRequest>(&d.message)) {
        std::shared_ptr<Cancellation> job;
        {
          std::lock_guard lock(c->mutex);
          if (auto it = c->jobs.find(cancel->id); it != c->jobs.end()) job = it->second.cancel;
        }
        if (job) job->Cancel();
      } else if (auto* answer = std::get_if<protocol::Answer>(&d.message)) {
        std::lock_guard lock(c->mutex);
        c->answers[{answer->id, answer->question}] = std::move(*answer);
        c->changed.notify_all();
      } else if (auto* p = std::get_if<protocol::CancelProgress>(&d.message)) {
        std::lock_guard lock(c->mutex);
        c->cancelledProgress.insert({p->id, p->progress});
      } else if (IsWindowRequest(d.message) ||
                 std::holds_alternative<protocol::ClickRequest>(d.message) ||
                 std::holds_alternative<protocol::ListFoldersRequest>(d.message) ||
                 std::holds_alternative<protocol::ListPendingRequest>(d.message) ||
                 std::holds_alternative<protocol::TakePending>(d.message)) {
        c->Send(Refusal(d.id, OutcomeCode::kRefused,
                        "this host does not serve \"" + d.type + "\" requests"));
      } else {
        c->Send(Refusal(d.id, OutcomeCode::kRefused,
                        "\"" + d.type + "\" is a message of the host, not a request"));
      }
    }
  }
  // The client left (or broke the protocol): what it held waits for another client,
  // its jobs are cancelled and joined, and its descriptor is given back at once.
  if (handlers_.pending) handlers_.pending->Release(taker);
  if (askedWindow && handlers_.windowClientGone) loop_.Post(handlers_.windowClientGone);
  if (c->subscription != 0) events_.Unsubscribe(c->subscription);
  c->Gone();
  joinFinishedJobs(true);
  if (c->eventSender.joinable()) c->eventSender.join();
  c->Close();
}

}  // namespace quorvel::host
