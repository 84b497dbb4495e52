// TemporaryHome: a throwaway user for tests that run the program as a process: a
// fresh folder under /tmp with HOME, XDG_CONFIG_HOME (the registry), XDG_DATA_HOME
// (the data folder) and XDG_RUNTIME_DIR (the host's socket, mode 0700) inside it.
// The folder is removed when the object goes.
#ifndef QUORVEL_TESTING_TEMPORARY_HOME_H_
#define QUORVEL_TESTING_TEMPORARY_HOME_H_

#include <string>

#include "testing/child_process.h"

namespace quorvel::testing {

class TemporaryHome {
 public:
  TemporaryHome();
  ~TemporaryHome();
  TemporaryHome(const TemporaryHome&) = delete;
  TemporaryHome& operator=(const TemporaryHome&) = delete;

  const std::string& root() const { return root_; }
  std::string ConfigHome() const { return root_ + "/config"; }
  std::string DataHome() const { return root_ + "/data"; }
  std::string RuntimeDir() const { return root_ + "/run"; }
  // The program's data folder and current user's registry file in this home.
  std::string DataFolder() const { return DataHome() + "/Veltmark/Quorvel"; }
  std::string RegistryFile(const std::string& root = "HKEY_CURRENT_USER") const {
    return ConfigHome() + "/Veltmark/registry/" + root + ".reg";
  }
  // The variables a child needs to live in this home (and none of the caller's
  // desktop or code page settings).
  EnvironmentChanges Environment() const;

 private:
  std::string root_;
};

}  // namespace quorvel::testing

#endif  // QUORVEL_TESTING_TEMPORARY_HOME_H_
