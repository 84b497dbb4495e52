// HostLink: the desktop's way to its profile's host. It finds the profile (the one
// asked for, else the default) and the host's socket, connects, and, when no host
// answers, starts one: through the service manager (`systemctl --user start quorvel`)
// when the user unit is installed and the profile is the default one, else
// `quorvel run` in the background. A host the desktop started itself in the background
// is the desktop's to stop (StopOwnHost); one that ran already, or that the service
// manager runs, is never stopped by it.
//
// Thread-safety: Connect may be called from any thread at once (each call makes a
// connection of its own); EnsureRunning and StopOwnHost from one thread at a time.
#ifndef QUORVEL_DESKTOP_HOST_LINK_H_
#define QUORVEL_DESKTOP_HOST_LINK_H_

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/client.h"

namespace quorvel::desktop {

struct HostAddress {
  std::string profile;
  std::string socketPath;
  bool defaultProfile = true;
};

// The profile `requested` names ("" : the default one) and its host's socket; false
// with a sentence for the user (how to add a profile) otherwise.
bool ResolveHost(const std::string& requested, HostAddress* address, std::string* error);

// How a host is started when none answers.
enum class Starter { kServiceManager, kBackground };
struct StartPlan {
  Starter starter = Starter::kBackground;
  std::vector<std::string> argv;
};
// The service manager only for the default profile with the unit installed (the
// unit runs the default profile); else `quorvel run [--profile P]`.
StartPlan PlanStart(const HostAddress& address, bool unitInstalled,
                    const std::string& quorvelProgram);

// Whether the user unit quorvel.service is installed (systemctl --user cat succeeds).
bool UnitInstalled();

// The quorvel program: the one beside `ownFolder` (the desktop's own folder) when it
// is there, else "quorvel" from PATH.
std::string QuorvelProgram(const std::string& ownFolder);

struct LinkOptions {
  std::string quorvelProgram = "quorvel";
  // May the service manager start the host (false: always `quorvel run`)?
  bool useServiceManager = true;
  std::chrono::milliseconds startDeadline{30000};
};

class HostLink {
 public:
  HostLink(HostAddress address, LinkOptions options);
  ~HostLink() = default;

  const HostAddress& address() const { return address_; }

  // A new connection to the host; null with *outcome when none answers.
  std::unique_ptr<host::HostClient> Connect(host::Outcome* outcome) const;

  // Connects, starting a host when none answers and waiting (at most the start
  // deadline) until it answers. *started tells whether this call started it.
  std::unique_ptr<host::HostClient> EnsureRunning(bool* started, host::Outcome* outcome);

  // Whether the running host is one this link started in the background.
  bool OwnsHost() const;
  // Stops (SIGTERM) the host this link started in the background, if any; waits at
  // most `deadline` for it to go.
  void StopOwnHost(std::chrono::milliseconds deadline);

 private:
  bool Start(std::string* error);

  const HostAddress address_;
  const LinkOptions options_;
  mutable std::mutex mutex_;  // guards ownPid_
  pid_t ownPid_ = 0;          // the `quorvel run` this link started, 0: none
};

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_HOST_LINK_H_
