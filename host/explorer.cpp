#include "host/explorer.h"

#include <algorithm>

namespace quorvel::host {
namespace {

// Delivers an event to the sinks registered when it began that are still registered
// when their turn comes.
template <typename Sink, typename Call>
void Deliver(std::map<std::uint32_t, std::shared_ptr<Sink>>& sinks, Call call) {
  std::vector<std::uint32_t> connections;
  for (const auto& [connection, sink] : sinks) connections.push_back(connection);
  for (std::uint32_t connection : connections) {
    auto it = sinks.find(connection);
    if (it == sinks.end()) continue;
    std::shared_ptr<Sink> sink = it->second;  // alive even if it unadvises itself
    call(*sink);
  }
}

}  // namespace

std::shared_ptr<MailItem> Selection::Item(int index) const {
  if (index < 1 || index > Count()) return nullptr;
  return items_[static_cast<std::size_t>(index - 1)];
}

Explorer::Explorer(Explorers& owner, std::shared_ptr<MAPIFolder> folder, bool request)
    : owner_(owner), folder_(std::move(folder)), request_(request) {}

template <typename Call>
void Explorer::Fire(Call call) {
  auto self = shared_from_this();  // a sink may close and drop the window
  Deliver(sinks_, call);
}

void Explorer::SetCurrentFolder(std::shared_ptr<MAPIFolder> folder) {
  folder_ = std::move(folder);
  selection_ = host::Selection();
  Fire([](ExplorerEvents& sink) { sink.SelectionChange(); });
}

void Explorer::Select(host::Selection selection) {
  selection_ = std::move(selection);
  Fire([](ExplorerEvents& sink) { sink.SelectionChange(); });
}

std::string Explorer::Caption() const { return folder_ ? folder_->Name() : std::string(); }

void Explorer::Activate() {
  if (closed_ || request_) return;
  owner_.Activated(this);
  Fire([](ExplorerEvents& sink) { sink.Activate(); });
}

void Explorer::Close() {
  if (closed_) return;
  auto self = shared_from_this();
  closed_ = true;
  Fire([](ExplorerEvents& sink) { sink.Close(); });
  sinks_.clear();
  lastPage_.reset();
  if (!request_) owner_.Closed(this);
}

std::uint32_t Explorer::Advise(std::shared_ptr<ExplorerEvents> sink) {
  std::uint32_t connection = nextConnection_++;
  sinks_[connection] = std::move(sink);
  return connection;
}

void Explorer::Unadvise(std::uint32_t connection) { sinks_.erase(connection); }

std::shared_ptr<Explorer> Explorers::Item(int index) const {
  if (index < 1 || index > Count()) return nullptr;
  return explorers_[static_cast<std::size_t>(index - 1)];
}

std::shared_ptr<Explorer> Explorers::Add(std::shared_ptr<MAPIFolder> folder) {
  auto explorer = std::make_shared<Explorer>(*this, std::move(folder));
  explorers_.push_back(explorer);
  Deliver(sinks_, [&](ExplorersEvents& sink) { sink.NewExplorer(explorer); });
  return explorer;
}

std::shared_ptr<Explorer> Explorers::OpenRequest(std::shared_ptr<MAPIFolder> folder,
                                                 host::Selection selection) {
  auto explorer = std::make_shared<Explorer>(*this, std::move(folder), /*request=*/true);
  explorer->Select(std::move(selection));  // no sinks yet: nobody hears it
  return explorer;
}

std::shared_ptr<Explorer> Explorers::ActiveExplorer() const {
  auto active = active_.lock();
  if (active && !active->closed()) return active;
  return nullptr;
}

std::uint32_t Explorers::Advise(std::shared_ptr<ExplorersEvents> sink) {
  std::uint32_t connection = nextConnection_++;
  sinks_[connection] = std::move(sink);
  return connection;
}

void Explorers::Unadvise(std::uint32_t connection) { sinks_.erase(connection); }

void Explorers::Activated(Explorer* explorer) {
  for (const auto& e : explorers_) {
    if (e.get() == explorer) active_ = e;
  }
}

void Explorers::Closed(Explorer* explorer) {
  explorers_.erase(std::remove_if(explorers_.begin(), explorers_.end(),
                                  [&](const auto& e) { return e.get() == explorer; }),
                   explorers_.end());
  // The front window closed: the most recently opened one left comes to the front,
  // without an Activate event (the mail client raises it only when the user acts).
  if (active_.expired() || active_.lock().get() == explorer) {
    active_ = explorers_.empty() ? std::weak_ptr<Explorer>() : explorers_.back();
  }
}

}  // namespace quorvel::host
