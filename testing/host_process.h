// HostProcess: `quorvel run` of one profile as a separate process in a temporary home,
// for end-to-end tests of the host whatever the profile's store. Start spawns the host
// and waits, with a deadline, until `quorvel status` says it is ready (exit 0); Quorvel
// runs any other command in the same home, as a user at a second terminal would.
//
//   TemporaryHome home;
//   HostProcess host(QUORVEL_PROGRAM, home);
//   host.Quorvel({"profile", "add", "p", "--maildir", dir});
//   host.Quorvel({"register"});
//   ASSERT_TRUE(host.Start(20s, &error)) << error;
//   ... deliver mail, WaitUntil(...) ...
//   EXPECT_EQ(host.Stop(20s)->status, 0);
//
// A host still running when the object goes is killed. Not thread-safe.
#ifndef QUORVEL_TESTING_HOST_PROCESS_H_
#define QUORVEL_TESTING_HOST_PROCESS_H_

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/temporary_home.h"

namespace quorvel::testing {

class HostProcess {
 public:
  // `program`: the quorvel executable; `profile`: "" for the default profile. `home`
  // must outlive this object.
  HostProcess(std::string program, const TemporaryHome& home, std::string profile = "");

  // Runs `quorvel [--profile P] args...` in the home to its end.
  ProgramRun Quorvel(const std::vector<std::string>& args,
                     std::chrono::milliseconds timeout = std::chrono::seconds(60)) const;

  // Starts `quorvel run` (plus `extra` arguments) and waits until it is ready. False,
  // with the reason and what the host wrote in *error, when it ended first or was not
  // ready by the deadline. With `serving`, a host that filters by the rules but not by
  // its mail base ("degraded", which `quorvel status` does not call ready) will do.
  bool Start(std::chrono::milliseconds deadline, std::string* error,
             const std::vector<std::string>& extra = {}, bool serving = false);
  // SIGTERM, then how it ended (nothing when it still ran at the deadline).
  std::optional<ExitResult> Stop(std::chrono::milliseconds deadline);
  // SIGKILL, and reaped.
  void Kill();
  bool Running() { return process_ && process_->Running(); }
  // What the running (or last) host wrote on standard error.
  std::string Errors() const { return process_ ? process_->Errors() : std::string(); }
  // `quorvel status` of the profile: how many messages the host has judged and moved
  // since it started; nothing when no ready host answers.
  struct Counts {
    long judged = 0;
    long moved = 0;
  };
  std::optional<Counts> Status() const;

 private:
  std::vector<std::string> Command(const std::vector<std::string>& args) const;

  std::string program_;
  const TemporaryHome& home_;
  std::string profile_;
  std::unique_ptr<ChildProcess> process_;
};

}  // namespace quorvel::testing

#endif  // QUORVEL_TESTING_HOST_PROCESS_H_
