#include "desktop/host_link.h"

#include <signal.h>

#include <QProcess>
#include <QStringList>
#include <cerrno>
#include <filesystem>
#include <thread>
#include <utility>

#include "host/profiles.h"
#include "platform/registry_file.h"

namespace quorvel::desktop {
namespace {

constexpr auto kRetryInterval = std::chrono::milliseconds(100);

QStringList ToQt(const std::vector<std::string>& args, std::size_t from) {
  QStringList list;
  for (std::size_t i = from; i < args.size(); ++i) list << QString::fromStdString(args[i]);
  return list;
}

}  // namespace

bool ResolveHost(const std::string& requested, HostAddress* address, std::string* error) {
  auto registry = platform::OpenDefaultRegistry();
  host::Profiles profiles(*registry);
  host::Profile profile;
  if (!profiles.Resolve(requested, &profile, error)) return false;
  address->profile = profile.name;
  address->defaultProfile = profile.isDefault;
  host::Outcome where = host::ChannelPath(profile.name, &address->socketPath);
  if (!where.ok()) *error = where.message;
  return where.ok();
}

StartPlan PlanStart(const HostAddress& address, bool unitInstalled,
                    const std::string& quorvelProgram) {
  if (unitInstalled && address.defaultProfile) {
    return {Starter::kServiceManager, {"systemctl", "--user", "start", "quorvel"}};
  }
  StartPlan plan{Starter::kBackground, {quorvelProgram}};
  if (!address.defaultProfile) {
    plan.argv.push_back("--profile");
    plan.argv.push_back(address.profile);
  }
  plan.argv.push_back("run");
  return plan;
}

bool UnitInstalled() {
  QProcess systemctl;
  systemctl.setStandardOutputFile(QProcess::nullDevice());
  systemctl.setStandardErrorFile(QProcess::nullDevice());
  systemctl.start("systemctl", {"--user", "cat", "quorvel.service"});
  if (!systemctl.waitForFinished(5000)) {
    systemctl.kill();
    systemctl.waitForFinished(1000);
    return false;
  }
  return systemctl.exitStatus() == QProcess::NormalExit && systemctl.exitCode() == 0;
}

std::string QuorvelProgram(const std::string& ownFolder) {
  std::error_code ec;
  const std::filesystem::path beside = std::filesystem::path(ownFolder) / "quorvel";
  if (!ownFolder.empty() && std::filesystem::is_regular_file(beside, ec)) return beside.string();
  return "quorvel";
}

HostLink::HostLink(HostAddress address, LinkOptions options)
    : address_(std::move(address)), options_(std::move(options)) {}

std::unique_ptr<host::HostClient> HostLink::Connect(host::Outcome* outcome) const {
  host::ClientOptions client;
  client.software = "quorvel-desktop";
  return host::HostClient::Connect(address_.socketPath, client, outcome);
}

std::unique_ptr<host::HostClient> HostLink::EnsureRunning(bool* started, host::Outcome* outcome) {
  *started = false;
  auto client = Connect(outcome);
  if (client || outcome->code != host::OutcomeCode::kUnreachable) return client;
  std::string error;
  if (!Start(&error)) {
    *outcome = host::Outcome::Of(host::OutcomeCode::kUnreachable, error);
    return nullptr;
  }
  *started = true;
  const auto deadline = std::chrono::steady_clock::now() + options_.startDeadline;
  for (;;) {
    client = Connect(outcome);
    if (client || outcome->code != host::OutcomeCode::kUnreachable) return client;
    if (std::chrono::steady_clock::now() >= deadline) {
      *outcome = host::Outcome::Of(
          host::OutcomeCode::kUnreachable,
          "the Quorvel host of profile '" + address_.profile +
              "' was started but does not answer (see 'quorvel status', or run 'quorvel run' "
              "in a terminal to see why)");
      return nullptr;
    }
    std::this_thread::sleep_for(kRetryInterval);
  }
}

bool HostLink::Start(std::string* error) {
  const bool unit = options_.useServiceManager && address_.defaultProfile && UnitInstalled();
  const StartPlan plan = PlanStart(address_, unit, options_.quorvelProgram);
  const QString program = QString::fromStdString(plan.argv.front());
  if (plan.starter == Starter::kServiceManager) {
    const int status = QProcess::execute(program, ToQt(plan.argv, 1));
    if (status != 0) *error = "systemctl --user start quorvel failed";
    return status == 0;
  }
  QProcess run;
  run.setProgram(program);
  run.setArguments(ToQt(plan.argv, 1));
  run.setStandardInputFile(QProcess::nullDevice());
  qint64 pid = 0;
  if (!run.startDetached(&pid)) {
    *error = "could not start " + plan.argv.front() + ": " + run.errorString().toStdString();
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  ownPid_ = static_cast<pid_t>(pid);
  return true;
}

bool HostLink::OwnsHost() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ownPid_ > 0 && ::kill(ownPid_, 0) == 0;
}

void HostLink::StopOwnHost(std::chrono::milliseconds deadline) {
  pid_t pid;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pid = std::exchange(ownPid_, 0);
  }
  if (pid <= 0 || ::kill(pid, SIGTERM) != 0) return;
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (::kill(pid, 0) == 0 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace quorvel::desktop
