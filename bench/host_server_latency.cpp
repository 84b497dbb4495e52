// The host as an application server, measured with the real program: a client's round
// trip (connect, hello, status) against a running host, a whole `quorvel status`
// process, SIGTERM to exit while a client's `classify -` waits on its open input, and
// the idle host's CPU time and resident memory.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/client.h"
#include "testing/child_process.h"
#include "testing/host_process.h"
#include "testing/temporary_home.h"
#include "testing/wait_until.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace qt = quorvel::testing;

double Microseconds(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

void Report(const char* what, std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  std::printf("%-44s median %8.0f us   p90 %8.0f us   (n=%zu)\n", what, samples[samples.size() / 2],
              samples[samples.size() * 9 / 10], samples.size());
}

// User plus system CPU time of `pid` in clock ticks, and its resident set in KiB.
void Usage(pid_t pid, long* ticks, long* rssKiB) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) {
      stime = std::stol(field);
      break;
    }
  }
  *ticks = utime + stime;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) *rssKiB = std::stol(line.substr(6));
  }
}

}  // namespace

int main() {
  qt::TemporaryHome home;
  for (const auto& [name, value] : home.Environment()) ::setenv(name.c_str(), value.c_str(), 1);
  const std::string maildir = home.root() + "/Maildir";
  for (const char* sub : {"cur", "new", "tmp"})
    std::filesystem::create_directories(maildir + "/" + sub);
  qt::HostProcess host(QUORVEL_PROGRAM, home, "bench");
  host.Quorvel({"profile", "add", "bench", "--maildir", maildir});
  host.Quorvel({"register"});
  std::string error;
  if (!host.Start(30s, &error)) {
    std::fprintf(stderr, "the host did not start: %s\n", error.c_str());
    return 1;
  }
  std::string path;
  quorvel::host::ChannelPath("bench", &path);

  std::vector<double> roundTrips;
  for (int i = 0; i < 500; ++i) {
    const auto start = Clock::now();
    quorvel::host::Outcome outcome;
    auto client = quorvel::host::HostClient::Connect(path, {}, &outcome);
    quorvel::host::protocol::Status status;
    if (!client || !client->QueryStatus(&status).ok()) {
      std::fprintf(stderr, "status failed: %s\n", outcome.message.c_str());
      return 1;
    }
    roundTrips.push_back(Microseconds(Clock::now() - start));
  }
  Report("connect + hello + status (in process)", roundTrips);

  std::vector<double> processes;
  for (int i = 0; i < 30; ++i) {
    const auto start = Clock::now();
    host.Quorvel({"status"});
    processes.push_back(Microseconds(Clock::now() - start));
  }
  Report("quorvel status (a whole process)", processes);

  // Idle: no client, no mail, for 10 seconds.
  const pid_t pid = [&] {
    auto status = host.Quorvel({"status", "--json"});
    const auto at = status.out.find("\"pid\":");
    return static_cast<pid_t>(std::atoi(status.out.c_str() + at + 6));
  }();
  long ticks0 = 0, ticks1 = 0, rss = 0;
  Usage(pid, &ticks0, &rss);
  std::this_thread::sleep_for(10s);
  Usage(pid, &ticks1, &rss);
  std::printf("idle host: %.2f %% CPU over 10 s, %ld KiB resident\n",
              100.0 * static_cast<double>(ticks1 - ticks0) /
                  static_cast<double>(sysconf(_SC_CLK_TCK)) / 10.0,
              rss);

  // SIGTERM with a client whose `classify -` waits on input that stays open.
  const std::string fifo = home.root() + "/input";
  ::mkfifo(fifo.c_str(), 0600);
  const int writer = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
  qt::ChildProcess::Options options;
  options.stdinFile = fifo;
  auto stuck = qt::ChildProcess::Start({QUORVEL_PROGRAM, "--profile", "bench", "classify", "-"},
                                       home.Environment(), options, &error);
  qt::WaitUntil(
      [&] {
        auto status = host.Quorvel({"status", "--json"});
        return status.out.find("\"jobs\":1") != std::string::npos;
      },
      30s);
  const auto start = Clock::now();
  auto end = host.Stop(10s);
  std::printf("SIGTERM to exit with a stuck client: %.1f ms (exit status %d)\n",
              Microseconds(Clock::now() - start) / 1000.0, end ? end->status : -1);
  ::close(writer);
  return 0;
}
