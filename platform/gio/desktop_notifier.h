// DesktopNotifier: notices on the desktop through the freedesktop notification
// service (org.freedesktop.Notifications on the session bus), over GIO's D-Bus
// client. GIO stays in this one adapter; nothing above sees a GLib type.
//
// Without a session bus (no DBUS_SESSION_BUS_ADDRESS and no $XDG_RUNTIME_DIR/bus) or
// without the service, Notify returns false at once; a bus that does not answer is
// given at most a few seconds per notice.
//
// Thread-safety: Notify may be called from any thread (mutex_ guards the connection).
#ifndef QUORVEL_PLATFORM_GIO_DESKTOP_NOTIFIER_H_
#define QUORVEL_PLATFORM_GIO_DESKTOP_NOTIFIER_H_

#include <mutex>
#include <string>

namespace quorvel::platform {

class DesktopNotifier {
 public:
  DesktopNotifier() = default;
  ~DesktopNotifier();
  DesktopNotifier(const DesktopNotifier&) = delete;
  DesktopNotifier& operator=(const DesktopNotifier&) = delete;

  // Shows `text` under `title` (UTF-8); true when the service took it. A notice with
  // the same title replaces the previous one, as the popup's count changes in place.
  bool Notify(const std::string& title, const std::string& text);

 private:
  std::mutex mutex_;
  void* connection_ = nullptr;  // GDBusConnection*, guarded by mutex_
  bool triedConnect_ = false;   // guarded by mutex_
  unsigned replacesId_ = 0;     // guarded by mutex_
};

// Whether a session bus address is known to this process.
bool SessionBusKnown();

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_GIO_DESKTOP_NOTIFIER_H_
