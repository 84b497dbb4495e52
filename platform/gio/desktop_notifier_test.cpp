#include "platform/gio/desktop_notifier.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

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

}  // namespace
}  // namespace quorvel::platform
