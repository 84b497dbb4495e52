// quorvel filter [--exit-code]
//
// The pass-through filter for delivery programs (procmail's ":0fw", maildrop's
// xfilter, Dovecot's vnd.dovecot.filter, a Postfix pipe): reads one message on
// standard input and writes it to standard output with the verdict at the top of its
// header block (pass_through.h). It judges in this process with the user's settings
// and mail base and never moves, learns or asks: thousands of deliveries a minute do
// not depend on a running host. --profile NAME (or the default profile) gives the
// account address that the own-account rule compares senders with.
//
// Exit status: 0 passed through with the verdict (or "unchecked" over the size bound);
// with --exit-code, 1 when it is spam; 3 standard input could not be read or standard
// output written (the output is missing or incomplete: deliver the original); 4
// passed through unchanged and unjudged (the settings, the profile or the mail base
// did not load, or the input was empty); 2 for usage errors (nothing read or written).
#include <CLI/CLI.hpp>
#include <csignal>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "app/commands.h"
#include "app/descriptor_input.h"
#include "app/host_setup.h"
#include "app/pass_through.h"
#include "app/standard_streams.h"
#include "app/user_environment.h"
#include "core/classifier.h"
#include "core/reason_text.h"
#include "mapi/mime/mime_message.h"
#include "platform/code_page.h"
#include "platform/registry_file.h"

namespace quorvel::app {
namespace {

// The account address of the profile `requested` names (or of the default profile; ""
// when there is no profile at all). False, having said why, when the profile is unknown.
bool ProfileAccount(const std::string& requested, std::string* account, std::ostream& err) {
  const auto registry = platform::OpenDefaultRegistry();
  host::Profile profile;
  std::string error;
  if (ResolveProfile(*registry, requested, &profile, &error)) {
    if (!profile.addresses.empty()) *account = profile.addresses.front();
    return true;
  }
  if (RunsWithoutProfile(*registry, requested)) return true;
  err << "quorvel: filter: " << error << "\n";
  return false;
}

std::optional<FilterVerdict> JudgeMessage(const std::string& bytes, CommandIo& io) {
  std::string account;
  if (!ProfileAccount(io.profile, &account, io.err)) return std::nullopt;
  io.yes = true;  // standard input is the message: no question may read it
  UserEnvironment env(io);
  if (!env.settingsProblem().empty()) return std::nullopt;  // it has said what
  const JudgingReadiness readiness = env.mailbase().PrepareForJudging();
  if (!readiness.note.empty()) io.err << "quorvel: " << readiness.note << "\n";
  if (!readiness.usable) return std::nullopt;
  const Classifier classifier({env.settings(), env.mailbase(), env.messageBoxes(), env.clock()});
  std::string note;
  std::shared_ptr<mapi::Message> message = mapi::OpenMimeMessageBytes(bytes, account, &note);
  if (!note.empty()) io.err << "quorvel: -: judged on what was kept: " << note << "\n";
  const Verdict verdict = classifier.Judge(std::move(message), kStandardFlags);
  return FilterVerdict{verdict.spam, platform::AnsiToUtf8(ReasonFirstLine(verdict.reason)),
                       std::string(BayesScoreInReason(verdict.reason))};
}

int RunFilter(bool exitCode, CommandIo& io) {
  // A reader that went away is an output error to report, not a silent death.
  std::signal(SIGPIPE, SIG_IGN);
  if (!StandardInputOpen(io.inFd)) {
    io.err << "quorvel: filter: standard input is closed\n";
    return kExitIoError;
  }
  // The descriptor is read directly: no stdio buffer between it and the message.
  std::unique_ptr<DescriptorInput> own;
  if (io.in == nullptr) own = std::make_unique<DescriptorInput>(io.inFd);
  std::istream& in = io.in != nullptr ? *io.in : *own;
  const PassResult result = PassMessageThrough(
      in, io.out, [&io](const std::string& bytes) { return JudgeMessage(bytes, io); });
  switch (result.outcome) {
    case PassOutcome::kJudged:
      return exitCode && result.spam ? kExitSpam : kExitOk;
    case PassOutcome::kUnchecked:
      return kExitOk;
    case PassOutcome::kUnjudged:
      io.err << "quorvel: filter: the message was passed through unjudged\n";
      return kExitUnjudged;
    case PassOutcome::kEmpty:
      io.err << "quorvel: filter: standard input is empty: no message to pass on\n";
      return kExitUnjudged;
    case PassOutcome::kInputFailed:
      io.err << "quorvel: filter: cannot read standard input\n";
      return kExitIoError;
    case PassOutcome::kOutputFailed:
      break;
  }
  io.err << "quorvel: filter: cannot write standard output\n";
  return kExitIoError;
}

void SetupFilter(CLI::App& sub, CommandIo& io) {
  auto exitCode = std::make_shared<bool>(false);
  sub.add_flag("--exit-code", *exitCode,
               "Exit with status 1 when the message is spam (not with procmail's :0fw, "
               "which would then keep the message without the verdict)");
  sub.callback([exitCode, &io] { io.status = RunFilter(*exitCode, io); });
}

}  // namespace

Command FilterCommand() {
  return {"filter",
          "Pass one message from standard input to standard output with the verdict in its "
          "header (for procmail, maildrop, Sieve and other delivery programs)",
          SetupFilter};
}

}  // namespace quorvel::app
