// Application: the running mail client as the add-in sees it (modelled on
// `_Application`): its namespace, its explorer windows, the presenter through which
// dialogs reach the user, and the user-interface thread everything runs on.
//
// The presenter is the one of whoever the host serves at the moment: while a command
// sent by a client runs, that client's (its dialogs are answered where the command
// was typed); otherwise the host's own. Presenter() stays valid for the
// application's lifetime and always forwards to the current one.
//
// Threading: Session, Explorers and ActiveExplorer on the user-interface thread;
// Presenter and loop().Post from any thread.
#ifndef QUORVEL_HOST_APPLICATION_H_
#define QUORVEL_HOST_APPLICATION_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "host/event_bus.h"
#include "host/explorer.h"
#include "host/message_loop.h"
#include "host/object_model.h"
#include "host/pending_interactions.h"
#include "ui/ui.h"

namespace quorvel::host {

// What the add-in has done since the host started, for `quorvel status`. The add-in
// counts; anyone reads. Thread-safe.
struct HostCounters {
  std::atomic<std::uint64_t> judged{0};  // messages judged
  std::atomic<std::uint64_t> moved{0};   // messages moved into the spam folder
  // The mail base does not load: the host is degraded (the Bayesian filter decides
  // nothing) until it does.
  std::atomic<bool> mailbaseUnusable{false};
  std::atomic<std::uint64_t> queued{0};  // new messages waiting to be judged
  // Where the add-in announces each message it moved ("spam-moved"); set by the host
  // before the add-ins connect, null when nobody listens.
  EventBus* events = nullptr;
};

class Application {
 public:
  // `hostPresenter` serves when no client does; it must outlive the application.
  // A host made without windows has no explorers collection at all.
  Application(std::shared_ptr<NameSpace> session, ui::Ui& hostPresenter, bool hasExplorers = true);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The namespace of the running profile (`Session`, `GetNamespace("MAPI")`).
  std::shared_ptr<NameSpace> Session() const { return session_; }
  // The windows; null for a host without windows.
  host::Explorers* Explorers() { return explorers_.get(); }
  std::shared_ptr<Explorer> ActiveExplorer() const {
    return explorers_ ? explorers_->ActiveExplorer() : nullptr;
  }
  std::string Name() const { return "Quorvel host"; }

  ui::Ui& Presenter();
  // The presenter Presenter() forwards to on this thread at this moment (never the
  // forwarding one itself), kept alive by the pointer.
  std::shared_ptr<ui::Ui> CurrentPresenter() { return Current(); }
  // Makes `presenter` the current one until the guard ends; a call that began before
  // keeps the presenter alive until it returns. Guards nest: the previous presenter
  // comes back.
  class PresenterScope {
   public:
    PresenterScope(Application& application, std::shared_ptr<ui::Ui> presenter);
    ~PresenterScope();
    PresenterScope(const PresenterScope&) = delete;
    PresenterScope& operator=(const PresenterScope&) = delete;

   private:
    Application& application_;
    std::shared_ptr<ui::Ui> previous_;
  };

  // Makes `presenter` the current one for the calling thread alone until the guard
  // ends: a request's job (a command line, a click) asks its own client while other
  // threads keep theirs. It comes before a PresenterScope's. Guards nest: the
  // previous one comes back. REQUIRES: `presenter` outlives the guard.
  class ThreadPresenterScope {
   public:
    ThreadPresenterScope(Application& application, ui::Ui* presenter);
    ~ThreadPresenterScope();
    ThreadPresenterScope(const ThreadPresenterScope&) = delete;
    ThreadPresenterScope& operator=(const ThreadPresenterScope&) = delete;

   private:
    const Application* previousApplication_;
    ui::Ui* previousPresenter_;
  };

  // Questions for a person that cannot be asked now (the wizard due at start, a crash
  // report waiting): queued for the next interactive client when the host has a
  // pending queue, else `done` gets the default answer at once. Returns the id, 0 when
  // nothing was queued. Any thread.
  std::uint64_t RaisePending(Interaction interaction,
                             PendingInteractions::Clock::time_point deadline,
                             PendingInteractions::Completion done = {});
  // Withdraws a question raised with RaisePending (its completion gets the default);
  // false when it is no longer waiting. Any thread.
  bool WithdrawPending(std::uint64_t id);
  // Set by the host before the add-ins connect; `pending` outlives the application's
  // use of it (null: no queue).
  void SetPendingQueue(PendingInteractions* pending) { pending_.store(pending); }

  MessageLoop& loop() { return loop_; }
  HostCounters& counters() { return counters_; }

 private:
  class RoutingUi;
  std::shared_ptr<ui::Ui> Current();

  std::shared_ptr<NameSpace> session_;
  std::unique_ptr<host::Explorers> explorers_;
  MessageLoop loop_;
  HostCounters counters_;
  std::mutex presenterMutex_;
  std::shared_ptr<ui::Ui> current_;  // guarded by presenterMutex_
  std::unique_ptr<RoutingUi> routing_;
  std::atomic<PendingInteractions*> pending_{nullptr};
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_APPLICATION_H_
