#include "testing/host_process.h"

#include <signal.h>

#include <cstdio>

#include "testing/wait_until.h"

namespace quorvel::testing {

HostProcess::HostProcess(std::string program, const TemporaryHome& home, std::string profile)
    : program_(std::move(program)), home_(home), profile_(std::move(profile)) {}

std::vector<std::string> HostProcess::Command(const std::vector<std::string>& args) const {
  std::vector<std::string> argv = {program_};
  if (!profile_.empty()) argv.insert(argv.end(), {"--profile", profile_});
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

ProgramRun HostProcess::Quorvel(const std::vector<std::string>& args,
                                std::chrono::milliseconds timeout) const {
  return RunProgram(Command(args), home_.Environment(), "", timeout);
}

bool HostProcess::Start(std::chrono::milliseconds deadline, std::string* error,
                        const std::vector<std::string>& extra, bool serving) {
  std::vector<std::string> args = {"run"};
  args.insert(args.end(), extra.begin(), extra.end());
  process_ = ChildProcess::Start(Command(args), home_.Environment(), {}, error);
  if (!process_) return false;
  bool ready = WaitUntil(
      [&] {
        if (!process_->Running()) return true;
        ProgramRun status = Quorvel({"status"});
        return status.end.status == 0 ||
               (serving && status.out.find(", degraded") != std::string::npos);
      },
      deadline, std::chrono::milliseconds(50));
  if (ready && process_->Running()) return true;
  *error = std::string(process_->Running() ? "the host was not ready in time"
                                           : "the host ended before it was ready") +
           "; it wrote: " + process_->Errors();
  return false;
}

std::optional<ExitResult> HostProcess::Stop(std::chrono::milliseconds deadline) {
  if (!process_) return std::nullopt;
  process_->Signal(SIGTERM);
  return process_->Wait(deadline);
}

void HostProcess::Kill() {
  if (!process_) return;
  process_->Signal(SIGKILL);
  process_->Wait(std::chrono::seconds(30));
}

std::optional<HostProcess::Counts> HostProcess::Status() const {
  ProgramRun run = Quorvel({"status"});
  if (run.end.status != 0) return std::nullopt;
  // "...; N judged, M moved to spam"
  Counts counts;
  std::size_t at = run.out.find("; ");
  if (at == std::string::npos || std::sscanf(run.out.c_str() + at, "; %ld judged, %ld moved",
                                             &counts.judged, &counts.moved) != 2) {
    return std::nullopt;
  }
  return counts;
}

}  // namespace quorvel::testing
