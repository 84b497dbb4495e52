#include "platform/gio/desktop_notifier.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <cstdlib>

namespace quorvel::platform {
namespace {

constexpr int kCallTimeoutMs = 3000;
constexpr int kExpireMs = 5000;

}  // namespace

bool SessionBusKnown() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || !*runtime) return false;
  struct stat st {};
  return ::stat((std::string(runtime) + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

DesktopNotifier::~DesktopNotifier() {
  if (connection_) g_object_unref(static_cast<GDBusConnection*>(connection_));
}

bool DesktopNotifier::Notify(const std::string& title, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!connection_) {
    if (triedConnect_ || !SessionBusKnown()) return false;
    triedConnect_ = true;  // one attempt per process: a missing bus stays missing
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!address) {
      g_clear_error(&error);
      return false;
    }
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    g_free(address);
    if (!connection) {
      g_clear_error(&error);
      return false;
    }
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    connection_ = connection;
  }
  GVariantBuilder actions;
  g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      static_cast<GDBusConnection*>(connection_), "org.freedesktop.Notifications",
      "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "Notify",
      g_variant_new("(susssasa{sv}i)", title.c_str(), replacesId_, "", title.c_str(), text.c_str(),
                    &actions, &hints, kExpireMs),
      G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &error);
  if (!reply) {
    g_clear_error(&error);
    return false;
  }
  g_variant_get(reply, "(u)", &replacesId_);
  g_variant_unref(reply);
  return true;
}

}  // namespace quorvel::platform
