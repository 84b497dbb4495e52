#include "desktop/event_watcher.h"

#include <poll.h>

#include <utility>

namespace quorvel::desktop {
namespace {
constexpr int kPollMs = 100;    // how often the listener looks whether it should stop
constexpr int kFrameMs = 5000;  // for the rest of a frame that has begun to come
}  // namespace

EventWatcher::EventWatcher(QObject* parent) : QObject(parent) {}

EventWatcher::~EventWatcher() { Stop(); }

bool EventWatcher::Start(std::unique_ptr<host::HostClient> client, QString* error) {
  host::Outcome subscribed = client->Subscribe({"*"});
  if (!subscribed.ok()) {
    *error = QString::fromStdString(subscribed.message);
    return false;
  }
  client_ = std::move(client);
  stop_ = false;
  thread_ = std::thread([this] { Loop(); });
  return true;
}

void EventWatcher::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  client_.reset();
}

void EventWatcher::Loop() {
  bool stopping = false;
  while (!stop_) {
    pollfd readable{client_->descriptor(), POLLIN, 0};
    if (::poll(&readable, 1, kPollMs) == 0) continue;  // nothing meanwhile
    host::Outcome outcome;
    std::optional<host::protocol::Event> event = client_->NextEvent(kFrameMs, &outcome);
    if (!event) {
      if (outcome.code == host::OutcomeCode::kFailed) continue;  // a frame that was no event
      const QString reason = QString::fromStdString(outcome.message);
      if (!stop_) {
        QMetaObject::invokeMethod(
            this, [this, stopping, reason] { emit hostLost(stopping, reason); },
            Qt::QueuedConnection);
      }
      return;
    }
    if (event->event == "stopping") stopping = true;
    QMap<QString, QString> fields;
    for (const auto& [key, value] : event->fields) {
      fields.insert(QString::fromStdString(key), QString::fromStdString(value));
    }
    const QString kind = QString::fromStdString(event->event);
    QMetaObject::invokeMethod(
        this, [this, kind, fields] { emit eventArrived(kind, fields); }, Qt::QueuedConnection);
  }
}

}  // namespace quorvel::desktop
