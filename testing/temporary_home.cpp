#include "testing/temporary_home.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

namespace quorvel::testing {

TemporaryHome::TemporaryHome() {
  char pattern[] = "/tmp/quorvel-home-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  std::filesystem::create_directories(ConfigHome());
  std::filesystem::create_directories(DataHome());
  ::mkdir(RuntimeDir().c_str(), 0700);
}

TemporaryHome::~TemporaryHome() {
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

EnvironmentChanges TemporaryHome::Environment() const {
  return {{"HOME", root_},
          {"XDG_CONFIG_HOME", ConfigHome()},
          {"XDG_DATA_HOME", DataHome()},
          {"XDG_RUNTIME_DIR", RuntimeDir()},
          {"XDG_DESKTOP_DIR", ""},
          {"QUORVEL_CODEPAGE", ""},
          {"NOTIFY_SOCKET", ""},
          {"DBUS_SESSION_BUS_ADDRESS", ""}};
}

}  // namespace quorvel::testing
