// PendingInteractions: the questions raised when nobody was there to ask, waiting for
// a person. Each has an id, a kind ("message-box", "dialog", "wizard",
// "exception-report"), the model to show and a completion that receives the answer
// exactly once: the one a person gave, or the default answer when its deadline
// passes or the host stops.
//
// A client lists them, takes one (then no other connection can take it) and answers
// it; a taker that goes away releases what it held, which waits for the next one.
// Raising publishes a "pending" event (fields "id", "kind", "title"); answering,
// expiring or stopping publishes "pending-gone" (fields "id", "how": "answered",
// "expired", "stopped", "withdrawn").
//
// Raise never blocks; Ask raises and waits for the answer (at most its deadline).
// Completions and events run outside the lock, on the thread that answers, expires
// (the queue's own deadline thread) or stops.
//
// Thread-safety: every method from any thread; mutex_ guards items_, nextId_ and
// stopped_. The bus, when given, outlives the queue.
#ifndef QUORVEL_HOST_PENDING_INTERACTIONS_H_
#define QUORVEL_HOST_PENDING_INTERACTIONS_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/event_bus.h"
#include "ui/dialog.h"

namespace quorvel::host {

// What to show: a message box (text, caption, style) or a dialog model, and the
// button the question takes when no person answers.
struct Interaction {
  std::string kind = "message-box";
  std::string text{}, caption{};
  std::uint32_t style = 0;
  ui::Dialog dialog{};  // kind "dialog", "wizard", ...; its validation stays local
  std::int32_t defaultAnswer = 1;
};

// The answer: the button chosen and, for a dialog, the values filled in. `byPerson`
// is false when the default was taken (deadline, stop).
struct InteractionAnswer {
  std::int32_t button = 0;
  ui::Dialog dialog{};
  bool byPerson = false;
};

struct PendingSummary {
  std::uint64_t id = 0;
  std::string kind{}, title{};
  bool taken = false;
};

class PendingInteractions {
 public:
  using Clock = std::chrono::steady_clock;
  using Completion = std::function<void(const InteractionAnswer&)>;
  static constexpr Clock::time_point kNoDeadline = Clock::time_point::max();

  explicit PendingInteractions(EventBus* events = nullptr);
  ~PendingInteractions();  // Stop()
  PendingInteractions(const PendingInteractions&) = delete;
  PendingInteractions& operator=(const PendingInteractions&) = delete;

  // Queues `interaction`; `done` (may be empty) gets the answer once. Returns its id.
  // After Stop, `done` gets the default at once and 0 is returned.
  std::uint64_t Raise(Interaction interaction, Clock::time_point deadline, Completion done = {});
  // Raises and waits until it is answered or `wait` has passed (then the default).
  InteractionAnswer Ask(Interaction interaction, Clock::duration wait);

  std::vector<PendingSummary> List() const;
  std::size_t Count() const;
  // Marks `id` taken by connection `taker` and returns its model; nullopt when there
  // is no such interaction or another taker holds it.
  std::optional<Interaction> Take(std::uint64_t id, std::uint64_t taker);
  // Completes `id` with `answer`, only for the taker that holds it. False otherwise.
  bool Answer(std::uint64_t id, std::uint64_t taker, InteractionAnswer answer);
  // Completes `id` with its default, whether or not a taker holds it (the question
  // was answered some other way meanwhile). False when there is no such interaction.
  bool Withdraw(std::uint64_t id);
  // Every interaction `taker` holds waits again for someone else.
  void Release(std::uint64_t taker);
  // Completes everything still waiting with its default; later raises complete at once.
  void Stop();

 private:
  struct Item {
    Interaction interaction;
    Clock::time_point deadline;
    Completion done;
    std::uint64_t taker = 0;  // 0: nobody holds it
  };
  void Finish(std::uint64_t id, Item item, InteractionAnswer answer, const char* how);
  void ExpireLoop();

  EventBus* events_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::uint64_t, Item> items_;
  std::uint64_t nextId_ = 1;
  bool stopped_ = false;
  std::thread expirer_;  // completes what passed its deadline
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_PENDING_INTERACTIONS_H_
