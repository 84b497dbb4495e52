// EventWatcher: listens to the host's events on a connection and a thread of its own
// and hands each to the owning thread as a signal: spam moved, a notice (the spam
// count), the host's status, folders changed. When the connection ends without the
// host saying it stops, or with it, hostLost tells the window, once.
//
// Thread-safety: construct, Start and destroy on the owning thread; the signals are
// delivered there.
#ifndef QUORVEL_DESKTOP_EVENT_WATCHER_H_
#define QUORVEL_DESKTOP_EVENT_WATCHER_H_

#include <QMap>
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>

#include "desktop/host_link.h"

namespace quorvel::desktop {

class EventWatcher : public QObject {
  Q_OBJECT

 public:
  explicit EventWatcher(QObject* parent = nullptr);
  ~EventWatcher() override;

  // Subscribes `client` to every event and starts listening. REQUIRES: not started.
  bool Start(std::unique_ptr<host::HostClient> client, QString* error);
  void Stop();

 signals:
  void eventArrived(const QString& kind, const QMap<QString, QString>& fields);
  // The connection ended: `stopping` when the host said it stops.
  void hostLost(bool stopping, const QString& reason);

 private:
  void Loop();

  std::unique_ptr<host::HostClient> client_;  // the listening thread's while it runs
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_EVENT_WATCHER_H_
