// Outcome: how a request to the host ended, as a code a front end can act on and a
// sentence for the user. It is what crosses the boundary of host/ and app/ and what
// the protocol carries, instead of free text and flags, so that "no host runs",
// "not found" and "cancelled" are told apart by value, not by reading a message.
#ifndef QUORVEL_HOST_OUTCOME_H_
#define QUORVEL_HOST_OUTCOME_H_

#include <string>
#include <string_view>
#include <utility>

namespace quorvel::host {

enum class OutcomeCode {
  kOk,
  kVersionMismatch,  // the client and the host speak different major versions
  kBusy,             // the host cannot take the request now (too many clients, a check running)
  kNotFound,         // a profile, folder or message that is not there
  kUnreachable,      // no host answers, or the host cannot reach the store
  kRefused,          // a bad request, a peer that may not ask, a name outside the profile
  kAmbiguous,        // a name that fits more than one thing (a Message-ID in two folders)
  kCancelled,        // the user or the host's shutdown cancelled it
  kFailed,           // anything else that went wrong
};

struct Outcome {
  OutcomeCode code = OutcomeCode::kOk;
  std::string message{};  // for the user; empty when ok

  bool ok() const { return code == OutcomeCode::kOk; }
  static Outcome Ok() { return {}; }
  static Outcome Of(OutcomeCode code, std::string message) { return {code, std::move(message)}; }
};

// The code's name on the wire and in --json output: "ok", "version-mismatch", "busy",
// "not-found", "unreachable", "refused", "ambiguous", "cancelled", "failed".
std::string_view OutcomeCodeName(OutcomeCode code);
// The code of a name; kFailed for a name this version does not know.
OutcomeCode OutcomeCodeFromName(std::string_view name);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_OUTCOME_H_
