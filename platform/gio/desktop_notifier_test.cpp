#include "platform/gio/desktop_notifier.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quorvel::platform {
namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(DesktopNotifierTest, WithoutASessionBusNothingIsSentAndNothingWaits) {
  std::string runtime = std::filesystem::temp_directory_path().string();
  ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", nullptr);
  ScopedEnv dir("XDG_RUNTIME_DIR", runtime.c_str());  // holds no "bus" socket
  EXPECT_FALSE(SessionBusKnown());
  DesktopNotifier notifier;
  EXPECT_FALSE(notifier.Notify("Quorvel", "You've got 1 spam message"));
}

TEST(DesktopNotifierTest, ABusThatCannotBeReachedFailsOnceAndIsNotTriedAgain) {
  std::string socket = std::filesystem::temp_directory_path().string() + "/qv-no-such-bus";
  std::string value = "unix:path=" + socket;
  ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", value.c_str());
  EXPECT_TRUE(SessionBusKnown());
  DesktopNotifier notifier;
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(notifier.Notify("Quorvel", "You've got 2 spam messages"));
  EXPECT_FALSE(notifier.Notify("Quorvel", "You've got 3 spam messages"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

// A private session bus: dbus-daemon on a socket in a temporary folder, as the user
// running the test, ended with the test.
class PrivateBus {
 public:
  PrivateBus() {
    char pattern[] = "/tmp/qv-bus-XXXXXX";
    if (!::mkdtemp(pattern)) return;
    folder_ = pattern;
    const std::string socket = folder_ + "/bus";
    const std::string listen = "--address=unix:path=" + socket;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile", listen.c_str(),
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // A loaded machine may take its time: wait long for the socket, but not forever.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (pid_ > 0 && !std::filesystem::exists(socket)) {
      if (std::chrono::steady_clock::now() > deadline || ::waitpid(pid_, nullptr, WNOHANG) != 0) {
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (pid_ > 0) address_ = "unix:path=" + socket;
  }
  ~PrivateBus() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }
  const std::string& address() const { return address_; }  // empty: it did not start

 private:
  std::string folder_;
  std::string address_;
  pid_t pid_ = -1;
};

// The notification service of a desktop, reduced to what a notice needs: it owns the
// service's name on the bus and keeps the summary and body of every Notify call.
class FakeNotificationService {
 public:
  explicit FakeNotificationService(const std::string& address) {
    std::promise<bool> ready;
    auto started = ready.get_future();
    thread_ = std::thread([this, address, &ready] { Run(address, ready); });
    ready_ =
        started.wait_for(std::chrono::seconds(30)) == std::future_status::ready && started.get();
  }
  ~FakeNotificationService() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      if (loop_) g_main_loop_quit(loop_);
    }
    thread_.join();
  }
  bool ready() const { return ready_; }
  std::vector<std::string> notices() {
    std::lock_guard lock(mutex_);
    return notices_;
  }

 private:
  static void MethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                         const gchar* method, GVariant* parameters,
                         GDBusMethodInvocation* invocation, gpointer self) {
    if (g_strcmp0(method, "Notify") != 0) {
      g_dbus_method_invocation_return_dbus_error(invocation, "org.example.Unknown", method);
      return;
    }
    const gchar* summary = nullptr;
    const gchar* body = nullptr;
    g_variant_get_child(parameters, 3, "&s", &summary);
    g_variant_get_child(parameters, 4, "&s", &body);
    auto* service = static_cast<FakeNotificationService*>(self);
    {
      std::lock_guard lock(service->mutex_);
      service->notices_.push_back(std::string(summary) + ": " + body);
    }
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", 7u));
  }

  void Run(const std::string& address, std::promise<bool>& ready) {
    static constexpr const char* kInterface =
        "<node><interface name='org.freedesktop.Notifications'><method name='Notify'>"
        "<arg type='s' direction='in'/><arg type='u' direction='in'/>"
        "<arg type='s' direction='in'/><arg type='s' direction='in'/>"
        "<arg type='s' direction='in'/><arg type='as' direction='in'/>"
        "<arg type='a{sv}' direction='in'/><arg type='i' direction='in'/>"
        "<arg type='u' direction='out'/></method></interface></node>";
    static const GDBusInterfaceVTable vtable = {&MethodCall, nullptr, nullptr, {}};
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
    bool owned = false;
    if (connection && node &&
        g_dbus_connection_register_object(connection, "/org/freedesktop/Notifications",
                                          node->interfaces[0], &vtable, this, nullptr,
                                          nullptr) != 0) {
      GVariant* reply = g_dbus_connection_call_sync(
          connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
          "RequestName", g_variant_new("(su)", "org.freedesktop.Notifications", 4u),
          G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, nullptr);
      if (reply) {
        guint32 result = 0;
        g_variant_get(reply, "(u)", &result);
        owned = result == 1;  // the primary owner
        g_variant_unref(reply);
      }
    }
    GMainLoop* loop = g_main_loop_new(context, FALSE);
    bool stop = false;
    {
      std::lock_guard lock(mutex_);
      loop_ = loop;
      stop = stopping_;
    }
    ready.set_value(owned);
    if (owned && !stop) g_main_loop_run(loop);
    {
      std::lock_guard lock(mutex_);
      loop_ = nullptr;
    }
    g_main_loop_unref(loop);
    if (node) g_dbus_node_info_unref(node);
    if (connection) {
      g_dbus_connection_close_sync(connection, nullptr, nullptr);
      g_object_unref(connection);
    }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
  }

  std::thread thread_;
  bool ready_ = false;
  std::mutex mutex_;
  GMainLoop* loop_ = nullptr;         // guarded by mutex_
  bool stopping_ = false;             // guarded by mutex_
  std::vector<std::string> notices_;  // guarded by mutex_
};

TEST(DesktopNotifierTest, ANoticeReachesTheNotificationServiceOfARealSessionBus) {
  PrivateBus bus;
  if (bus.address().empty()) GTEST_SKIP() << "dbus-daemon could not start a private bus";
  FakeNotificationService service(bus.address());
  ASSERT_TRUE(service.ready()) << "the test's notification service could not own its name";
  ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str());
  DesktopNotifier notifier;
  EXPECT_TRUE(notifier.Notify("Quorvel", "You've got 1 spam message"));
  EXPECT_TRUE(notifier.Notify("Quorvel", "You've got 2 spam messages"));
  EXPECT_EQ(service.notices(), (std::vector<std::string>{"Quorvel: You've got 1 spam message",
                                                         "Quorvel: You've got 2 spam messages"}));
}

}  // namespace
}  // namespace quorvel::platform
