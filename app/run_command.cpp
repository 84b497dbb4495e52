// quorvel run [--once]: the host of a profile. It loads the add-in from its
// registration and connects it, serves commands sent over the command channel, and
// runs until SIGINT or SIGTERM, which disconnect the add-in cleanly. With --once it
// starts, lets the add-in finish what is pending and stops (for cron jobs and the
// hooks of mail fetchers). Under a service manager it reports when it is ready. An
// IMAP server that cannot be reached at the start is tried again with growing waits.
//
// quorvel status [--json]: whether a host runs for the profile. Exit status 0 only
// when one is ready.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <nlohmann/json.hpp>
#include <thread>

#include "app/commands.h"
#include "app/crash_setup.h"
#include "app/host_setup.h"
#include "app/terminal_ui.h"
#include "app/version.h"
#include "host/background_ui.h"
#include "host/channel.h"
#include "host/client.h"
#include "host/folder_listing.h"
#include "host/store_events.h"
#include "host/store_links.h"
#include "host/window_requests.h"
#include "mapi/imap/imap_store.h"
#include "mapi/imap/password_source.h"
#include "outlook/registration.h"
#include "platform/lock_file.h"
#include "platform/printable.h"
#include "platform/registry_file.h"
#include "platform/service_notify.h"
#include "settings/data_folder.h"

namespace quorvel::app {
namespace {

std::string TimeText(std::int64_t since) {
  std::time_t t = static_cast<std::time_t>(since);
  char text[64] = "";
  std::tm tm{};
  if (localtime_r(&t, &tm)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

// How long SIGTERM waits for the jobs of clients before the add-ins save and the host
// exits: the whole stop stays within 2 s whatever the clients do.
constexpr std::chrono::milliseconds kJobDeadline{1200};
// How long a stop waits for the IMAP command in progress before cutting the
// connection: a server that answers is heard out, a silent one does not hold the stop.
constexpr std::chrono::milliseconds kImapGrace{400};

constexpr const char* kNotRegistered =
    "the add-in is not registered, so no mail is filtered: run \"quorvel register\"";

// The host's log: its standard error, one line at a time from any thread.
void LogLine(const std::string& line) { std::cerr << ("quorvel: " + line + "\n") << std::flush; }

// Watches SIGINT and SIGTERM while the host opens its store, and ends the process at
// once on either; Finish hands them back (a signal that came meanwhile stays pending
// for the host's own waiter).
class StartupStop {
 public:
  StartupStop(const sigset_t& signals, std::string profile)
      : signals_(signals), profile_(std::move(profile)), thread_([this] { Watch(); }) {}
  ~StartupStop() { Finish(); }
  void Finish() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Watch() {
    while (!done_) {
      timespec tick{0, 100'000'000};
      const int caught = sigtimedwait(&signals_, nullptr, &tick);
      if (caught == SIGINT || caught == SIGTERM) {
        LogLine("host for profile " + profile_ + " stopped (" +
                (caught == SIGINT ? "SIGINT" : "SIGTERM") + ") before it was ready");
        mapi::imap::StopPasswordCommands();  // and whatever they started
        std::_Exit(kExitOk);
      }
    }
  }

  const sigset_t signals_;
  const std::string profile_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

host::protocol::Status HostStatus(host::ProfileHost& h, const char* state) {
  host::protocol::Status status;
  status.profile = h.profile().name;
  status.pid = ::getpid();
  status.since = h.since();
  status.state = state;
  status.judged = h.application().counters().judged.load();
  status.moved = h.application().counters().moved.load();
  return status;
}

int Run(bool once, CommandIo& io) {
  auto registry = platform::OpenDefaultRegistry();
  host::Profile profile;
  std::string error;
  if (!ResolveProfile(*registry, io.profile, &profile, &error)) {
    io.err << "quorvel: " << error << "\n";
    return kExitFailure;
  }
  // Signals are taken by one thread of their own; every other thread blocks them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  // What the host's own threads have to say goes to its log and its subscribers; a
  // question whose answer matters waits for the next interactive client (a host run
  // --once serves none, so its questions take their default at once).
  host::EventBus events;
  host::PendingInteractions pending(&events);
  // The loop runs on this thread, which must never wait for a person.
  host::BackgroundUi hostUi(LogLine, &events, once ? nullptr : &pending, std::chrono::minutes(10),
                            std::this_thread::get_id());
  // Until the host serves, SIGINT and SIGTERM end it at once, whatever it is doing
  // (a password command that does not return, a server that does not answer): nothing
  // is connected yet, so there is nothing to save.
  StartupStop startupStop(signals, profile.name);
  // Each lost and regained connection of the store is logged and published.
  host::StoreLinks links(&events, LogLine);
  // --yes: a first-run wizard that is due runs on its defaults, without questions.
  SetWizardOnDefaults(io.yes);
  host::OutcomeCode failure = host::OutcomeCode::kFailed;
  auto host =
      OpenProfileHost(*registry, profile, hostUi, /*watch=*/!once, &error, &failure, &links);
  // A server that cannot be reached yet (the network is not up) is tried again after
  // 1, 2, 4 ... up to 300 seconds, until SIGINT or SIGTERM; --once gives up at once.
  // A service manager hears why it is not ready yet, and waits that much longer.
  for (int wait = 1; !host && failure == host::OutcomeCode::kUnreachable && !once;
       wait = std::min(wait * 2, 300)) {
    io.err << "quorvel: " << error << "; trying again in " << wait << " s\n";
    platform::NotifyServiceManager("STATUS=" + error + "; trying again in " + std::to_string(wait) +
                                   " s");
    platform::NotifyServiceManager("EXTEND_TIMEOUT_USEC=" +
                                   std::to_string((wait + 90) * 1000000LL));
    timespec timeout{wait, 0};
    int caught = sigtimedwait(&signals, nullptr, &timeout);
    if (caught == SIGINT || caught == SIGTERM) {
      io.err << "quorvel: host for profile " << profile.name << " stopped ("
             << (caught == SIGINT ? "SIGINT" : "SIGTERM") << ")\n";
      pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
      return kExitOk;
    }
    host = OpenProfileHost(*registry, profile, hostUi, /*watch=*/true, &error, &failure, &links);
  }
  startupStop.Finish();
  if (!host) {
    io.err << "quorvel: " << error << "\n";
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    // A wrong password or certificate does not mend by itself: the unit does not
    // restart on this status.
    return failure == host::OutcomeCode::kRefused ? kExitCredentials : kExitFailure;
  }
  std::unique_ptr<host::ChannelServer> server;
  std::string path;
  if (!once) {
    if (host::Outcome where = host::ChannelPath(profile.name, &path); !where.ok()) {
      error = where.message;
    } else {
      host::ChannelServer::Handlers handlers;
      host::ProfileHost* h = host.get();
      handlers.hello.software = std::string("quorvel ") + kVersion;
      handlers.hello.profile = profile.name;
      handlers.hello.capabilities = {"run",     "status",           "events", "list-folders",
                                     "pending", "list-items",       "select", "command-bars",
                                     "click",   "dialogs-kept-open"};
      handlers.pending = &pending;
      handlers.run = [h](host::JobContext& job) { return RunJob(*h, job); };
      handlers.status = [h, &pending, &links] {
        // A host whose mail base does not load filters by the other rules only: it is
        // degraded, not ready, so that a service check sees it; one without the add-in
        // filters nothing.
        const char* state = !h->ready()                                           ? "starting"
                            : !h->FindAddIn(outlook::kAddInClsid)                 ? "not-registered"
                            : h->application().counters().mailbaseUnusable.load() ? "degraded"
                                                                                  : "ready";
        host::protocol::Status s = HostStatus(*h, state);
        s.pending = pending.Count();
        s.queued = h->application().counters().queued.load();
        for (const host::StoreLink& link : links.Snapshot()) {
          s.stores.push_back({link.store, link.connected ? "connected" : "reconnecting", link.since,
                              link.lastError});
        }
        return s;
      };
      handlers.log = LogLine;
      handlers.listFolders = [h] { return host::ListFolders(*h->application().Session()); };
      handlers.window = [h](const host::protocol::Message& request) {
        return host::AnswerWindowRequest(h->application(), request);
      };
      handlers.windowClientGone = [h] { host::WindowClientGone(h->application()); };
      handlers.click = [h](host::JobContext& job, const host::protocol::ClickRequest& click) {
        // What the process-wide objects show while the click runs goes to its client too.
        JobPresenterScope scope(job.presenter.get());
        return host::RunClick(h->application(), h->AddIns(), job, click);
      };
      server =
          host::ChannelServer::Start(path, host->application().loop(), events, handlers, &error);
    }
    if (!server) {
      io.err << "quorvel: the command channel cannot be opened: " << error << "\n";
      pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
      return kExitFailure;
    }
  }
  host->application().counters().events = &events;  // the add-in announces its moves
  // Front ends hear of the store and of folders whose messages changed.
  std::unique_ptr<host::StoreEvents> storeEvents;
  if (!once) storeEvents = host::WatchDefaultStore(*host->application().Session(), events);
  if (!once) {
    host->application().SetPendingQueue(&pending);
    // A report a dead host left waits for the next client that has a person to ask.
    OfferWaitingReportToClients(host->application(), profile, DefaultDataFolders().DataFolder());
  }
  for (const std::string& note : host->Connect()) io.err << "quorvel: " << note << "\n";
  if (!host->FindAddIn(outlook::kAddInClsid)) {
    // A host without its add-in would look healthy and filter nothing.
    io.err << "quorvel: " << kNotRegistered << "\n";
    platform::NotifyServiceManager(std::string("STATUS=") + kNotRegistered);
  }
  if (once) {
    // SIGINT and SIGTERM are looked for while the work is done: a stop ends the run
    // cleanly (the add-in disconnects and saves) at the next check.
    int caught = 0;
    while (!host->WaitUntilIdleFor(std::chrono::milliseconds(100))) {
      timespec now{0, 0};
      caught = sigtimedwait(&signals, nullptr, &now);
      if (caught == SIGINT || caught == SIGTERM) break;
    }
    if (caught == SIGINT || caught == SIGTERM) mapi::StopImapStore(host->store(), kImapGrace);
    host->Disconnect();
    if (caught == SIGINT || caught == SIGTERM) {
      io.err << "quorvel: host for profile " << profile.name << " stopped ("
             << (caught == SIGINT ? "SIGINT" : "SIGTERM") << ") before its work was done\n";
    }
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    return kExitOk;
  }
  platform::NotifyServiceManager("READY=1");
  io.err << "quorvel: host for profile " << profile.name << " ready (PID " << ::getpid() << ")\n";
  events.Publish({"host-status", {{"state", "ready"}}});

  host::MessageLoop& loop = host->application().loop();
  int caught = 0;
  std::thread waiter([&] {
    sigwait(&signals, &caught);
    loop.Quit();
  });
  loop.Run();
  waiter.join();
  platform::NotifyServiceManager("STOPPING=1");
  // The server's connections first: a command that waits on a server gone silent
  // would hold the worker or a client's job (and the stop) for its whole time-out.
  mapi::StopImapStore(host->store(), kImapGrace);
  // Clients (told, their jobs cancelled, cut off), then the add-ins save.
  const std::size_t stuck = server->Stop(kJobDeadline);
  storeEvents.reset();
  pending.Stop();  // a background thread waiting for an answer takes its default
  host->Disconnect();
  io.err << "quorvel: host for profile " << profile.name << " stopped ("
         << (caught == SIGINT ? "SIGINT" : "SIGTERM") << ")\n";
  if (stuck > 0) {
    // A job that did not end when cancelled is not waited for: the saves are made,
    // the socket goes, and the process ends over it.
    io.err << "quorvel: " << stuck << " command(s) of clients did not end in time\n";
    io.err.flush();
    std::cerr.flush();
    ::unlink(path.c_str());
    std::_Exit(kExitOk);
  }
  server.reset();
  pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
  return kExitOk;
}

int Status(bool json, CommandIo& io) {
  auto registry = platform::OpenDefaultRegistry();
  host::Profile profile;
  std::string error;
  if (!ResolveProfile(*registry, io.profile, &profile, &error)) {
    io.err << "quorvel: " << error << "\n";
    return kExitFailure;
  }
  std::string path;
  std::optional<host::protocol::Status> status;
  host::Outcome outcome = host::ChannelPath(profile.name, &path);
  if (outcome.ok()) {
    host::ClientOptions options;
    options.software = std::string("quorvel ") + kVersion;
    auto client = host::HostClient::Connect(path, options, &outcome);
    host::protocol::Status answered;
    if (client) outcome = client->QueryStatus(&answered);
    if (client && outcome.ok()) status = answered;
  }
  if (!status) {
    // No answer: a host may be starting (it holds the lock but does not serve yet).
    std::string data = DefaultDataFolders().DataFolder();
    platform::LockHolder holder =
        platform::LockFile::Holder(host::HostLockPath(data, profile.name));
    status = host::protocol::Status{};
    status->profile = profile.name;
    status->pid = holder.pid;
    status->since = holder.since;
    status->state = "starting";
    // A host that answers and refuses (another version, too many clients) is named.
    if (outcome.code != host::OutcomeCode::kUnreachable && !outcome.message.empty()) {
      io.err << "quorvel: " << outcome.message << "\n";
    }
  }
  // Ready: it filters every new message. A degraded host filters by the rules but not
  // by its mail base, and one whose store is reconnecting sees no new mail: they
  // count, and are not ready.
  bool connected = true;
  for (const auto& store : status->stores) connected = connected && store.state == "connected";
  const bool ready = status->state == "ready" && connected;
  const bool serving =
      status->state == "ready" || status->state == "degraded" || status->state == "not-registered";
  bool running = status->pid != 0;
  if (json) {
    nlohmann::json j = {{"profile", profile.name}, {"running", running}, {"ready", ready}};
    if (running && status->pid > 0) j["pid"] = status->pid;
    if (running && status->since > 0) j["since"] = TimeText(status->since);
    if (running) j["state"] = status->state;
    if (serving) {
      j["judged"] = status->judged;
      j["moved"] = status->moved;
      j["clients"] = status->clients;
      j["jobs"] = status->jobs;
      j["events"] = status->events;
      j["pending"] = status->pending;
      j["queued"] = status->queued;
      nlohmann::json stores = nlohmann::json::array();
      for (const auto& store : status->stores) {
        nlohmann::json one = {{"store", store.store}, {"state", store.state}};
        if (store.since > 0) one["since"] = TimeText(store.since);
        if (!store.error.empty()) one["error"] = store.error;
        stores.push_back(one);
      }
      j["stores"] = stores;
    }
    io.out << j.dump() << "\n";
  } else if (!running) {
    io.out << "no host runs for profile " << profile.name << "\n";
  } else {
    io.out << "host for profile " << profile.name;
    if (status->pid > 0) io.out << ": PID " << status->pid;
    if (status->since > 0) io.out << ", since " << TimeText(status->since);
    io.out << ", " << status->state;
    if (serving) {
      io.out << "; " << status->judged << " judged, " << status->moved << " moved to spam";
      if (status->queued > 0) io.out << "; " << status->queued << " waiting to be judged";
      if (status->pending > 0) io.out << "; " << status->pending << " question(s) waiting";
    }
    if (status->state == "degraded") {
      io.out << "\nthe mail base does not load: the Bayesian filter moves nothing until it does";
    }
    if (status->state == "not-registered") io.out << "\n" << kNotRegistered;
    for (const auto& store : status->stores) {
      io.out << "\n" << platform::Printable(store.store) << ": ";
      if (store.state == "connected") {
        io.out << "connected";
      } else {
        io.out << "reconnecting since " << TimeText(store.since);
        if (!store.error.empty()) io.out << " (" << platform::Printable(store.error) << ")";
      }
    }
    io.out << "\n";
  }
  return ready ? kExitOk : kExitFailure;
}

}  // namespace

Command RunCommand() {
  return {"run", "Run the host of a profile: filter new mail and serve commands",
          [](CLI::App& sub, CommandIo& io) {
            auto once = std::make_shared<bool>(false);
            sub.add_flag("--once", *once, "Process what is pending, then stop");
            sub.callback([once, &io] { io.status = Run(*once, io); });
          }};
}

Command StatusCommand() {
  return {"status", "Say whether a host runs for the profile (exit 0 when one is ready)",
          [](CLI::App& sub, CommandIo& io) {
            auto json = std::make_shared<bool>(false);
            sub.add_flag("--json", *json, "One JSON object");
            sub.callback([json, &io] { io.status = Status(*json, io); });
          }};
}

}  // namespace quorvel::app
