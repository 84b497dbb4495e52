#include "host/pending_interactions.h"

#include <future>
#include <utility>

namespace quorvel::host {
namespace {

std::string TitleOf(const Interaction& interaction) {
  return interaction.kind == "message-box" ? interaction.caption : interaction.dialog.title;
}

InteractionAnswer DefaultOf(const Interaction& interaction) {
  return InteractionAnswer{interaction.defaultAnswer, interaction.dialog, false};
}

}  // namespace

PendingInteractions::PendingInteractions(EventBus* events)
    : events_(events), expirer_([this] { ExpireLoop(); }) {}

PendingInteractions::~PendingInteractions() {
  Stop();
  if (expirer_.joinable()) expirer_.join();
}

std::uint64_t PendingInteractions::Raise(Interaction interaction, Clock::time_point deadline,
                                         Completion done) {
  std::uint64_t id = 0;
  std::string kind = interaction.kind, title = TitleOf(interaction);
  {
    std::lock_guard lock(mutex_);
    if (!stopped_) {
      id = nextId_++;
      items_.emplace(id, Item{std::move(interaction), deadline, std::move(done), 0});
    }
  }
  if (id == 0) {
    if (done) done(DefaultOf(interaction));
    return 0;
  }
  changed_.notify_all();
  if (events_) {
    events_->Publish(
        protocol::Event{"pending", {{"id", std::to_string(id)}, {"kind", kind}, {"title", title}}});
  }
  return id;
}

InteractionAnswer PendingInteractions::Ask(Interaction interaction, Clock::duration wait) {
  auto answer = std::make_shared<std::promise<InteractionAnswer>>();
  std::future<InteractionAnswer> result = answer->get_future();
  Raise(std::move(interaction), Clock::now() + wait,
        [answer](const InteractionAnswer& a) { answer->set_value(a); });
  // The completion comes exactly once: from a person, the deadline thread or Stop.
  return result.get();
}

std::vector<PendingSummary> PendingInteractions::List() const {
  std::lock_guard lock(mutex_);
  std::vector<PendingSummary> out;
  for (const auto& [id, item] : items_) {
    out.push_back({id, item.interaction.kind, TitleOf(item.interaction), item.taker != 0});
  }
  return out;
}

std::size_t PendingInteractions::Count() const {
  std::lock_guard lock(mutex_);
  return items_.size();
}

std::optional<Interaction> PendingInteractions::Take(std::uint64_t id, std::uint64_t taker) {
  std::lock_guard lock(mutex_);
  auto it = items_.find(id);
  if (it == items_.end() || taker == 0 || (it->second.taker != 0 && it->second.taker != taker)) {
    return std::nullopt;
  }
  it->second.taker = taker;
  return it->second.interaction;
}

bool PendingInteractions::Answer(std::uint64_t id, std::uint64_t taker, InteractionAnswer answer) {
  Item item;
  {
    std::lock_guard lock(mutex_);
    auto it = items_.find(id);
    if (it == items_.end() || taker == 0 || it->second.taker != taker) return false;
    item = std::move(it->second);
    items_.erase(it);
  }
  answer.byPerson = true;
  Finish(id, std::move(item), std::move(answer), "answered");
  return true;
}

bool PendingInteractions::Withdraw(std::uint64_t id) {
  Item item;
  {
    std::lock_guard lock(mutex_);
    auto it = items_.find(id);
    if (it == items_.end()) return false;
    item = std::move(it->second);
    items_.erase(it);
  }
  changed_.notify_all();
  InteractionAnswer answer = DefaultOf(item.interaction);
  Finish(id, std::move(item), std::move(answer), "withdrawn");
  return true;
}

void PendingInteractions::Release(std::uint64_t taker) {
  std::lock_guard lock(mutex_);
  for (auto& [id, item] : items_) {
    if (item.taker == taker) item.taker = 0;
  }
}

void PendingInteractions::Stop() {
  std::map<std::uint64_t, Item> left;
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    left.swap(items_);
  }
  changed_.notify_all();
  for (auto& [id, item] : left) {
    InteractionAnswer answer = DefaultOf(item.interaction);
    Finish(id, std::move(item), std::move(answer), "stopped");
  }
}

void PendingInteractions::Finish(std::uint64_t id, Item item, InteractionAnswer answer,
                                 const char* how) {
  // Told before the raiser goes on, so that whoever watches sees the question
  // go before anything the raiser does next (a new question, a move).
  if (events_) {
    events_->Publish(protocol::Event{"pending-gone", {{"id", std::to_string(id)}, {"how", how}}});
  }
  if (item.done) item.done(answer);
}

void PendingInteractions::ExpireLoop() {
  std::unique_lock lock(mutex_);
  while (!stopped_) {
    Clock::time_point next = kNoDeadline;
    for (const auto& [id, item] : items_) next = std::min(next, item.deadline);
    const Clock::time_point now = Clock::now();
    if (next > now) {
      if (next == kNoDeadline) {
        changed_.wait(lock);
      } else {
        changed_.wait_until(lock, next);
      }
      continue;
    }
    // What a taker holds expires too: the raiser's deadline is the promise it made.
    std::vector<std::pair<std::uint64_t, Item>> due;
    for (auto it = items_.begin(); it != items_.end();) {
      if (it->second.deadline <= now) {
        due.emplace_back(it->first, std::move(it->second));
        it = items_.erase(it);
      } else {
        ++it;
      }
    }
    lock.unlock();
    for (auto& [id, item] : due) {
      InteractionAnswer answer = DefaultOf(item.interaction);
      Finish(id, std::move(item), std::move(answer), "expired");
    }
    lock.lock();
  }
}

}  // namespace quorvel::host
