// quorvel_newmail: how fast new mail reaches the spam folder. A core on a temporary
// Maildir (inotify, the real rule chain, the user's lists) receives messages as a
// delivery agent leaves them (written in tmp/, renamed into new/).
//
//   quorvel_newmail rate N PER_SECOND   N messages at that rate, half of them spam
//                                       (Black List senders), the rest White List
//   quorvel_newmail burst DIR...        every file of the folders at once (written into
//                                       tmp/ first, then renamed into new/ one after
//                                       the other as fast as that goes)
//
// rate prints the median and 99th percentile from the rename into new/ to the rename
// into .Spam; burst prints the seconds until the queue is empty and the peak RSS.
// QUORVEL_MODULE_DIR names the folder with the seed mail base (default: the program's).
// With QUORVEL_BENCH_JOURNAL=1 the core records its verdicts in a journal file in the
// data folder, as the program's host does; its size is printed at the end.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/store_namespace.h"
#include "lists/contact.h"
#include "mapi/maildir/maildir_store.h"
#include "outlook/journal_file.h"
#include "outlook/qv_core.h"
#include "platform/registry_memory.h"
#include "settings/data_folder.h"
#include "settings/settings_store.h"
#include "testing/one_store_session.h"
#include "ui/scripted_ui.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// `name` is also the Message-ID, by which a message is found again in the spam folder,
// where it has a name of its own.
std::string Message(int n, bool spam, const std::string& name) {
  std::ostringstream m;
  m << "From: " << (spam ? "Seller <seller@bad.example>" : "Friend <friend@good.example>")
    << "\nTo: me@home.example\nMessage-ID: <" << name << ">\nSubject: message " << n
    << "\nContent-Type: text/plain\n\nBody of message " << n << "\n";
  return m.str();
}

// The Message-ID of a message file ("" when it has none).
std::string MessageIdOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line) && !line.empty()) {
    if (line.rfind("Message-ID: <", 0) == 0) return line.substr(13, line.find('>') - 13);
  }
  return {};
}

int Run(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: quorvel_newmail rate N PER_SECOND | burst DIR...\n");
    return 2;
  }
  std::string mode = argv[1];
  fs::path root = fs::temp_directory_path() / ("qvnew-" + std::to_string(::getpid()));
  for (const char* d : {"", "/.Spam"}) {
    for (const char* sub : {"/cur", "/new", "/tmp"})
      fs::create_directories(root.string() + d + sub);
  }
  quorvel::platform::SystemClock clock;
  quorvel::platform::RegistryMemory registry;
  quorvel::ui::ScriptedUi ui;
  {
    quorvel::UserSettings stored;
    stored.blackList.AddAddress(quorvel::MakeContact("seller@bad.example"), "", 1);
    stored.whiteList.AddAddress(quorvel::MakeContact("friend@good.example"), "", 1);
    quorvel::SettingsStore(registry, "", clock).Save(&stored);
  }
  std::string dataFolder = (root / "data").string() + "/";
  fs::create_directories(dataFolder);
  // The seed mail base: QUORVEL_MODULE_DIR, else the program's module folder.
  const char* moduleDir = std::getenv("QUORVEL_MODULE_DIR");
  std::string moduleFolder =
      moduleDir ? std::string(moduleDir) + "/" : quorvel::DefaultDataFolders().ModuleFolder();
  quorvel::outlook::AddInProcess process({registry, clock, ui, dataFolder, moduleFolder});
  auto store = *quorvel::mapi::OpenMaildirStore(root.string());
  auto ns = quorvel::host::StoreNameSpace::Create(std::make_shared<quorvel::OneStoreSession>(store),
                                                  "Bench", {"me@home.example"});
  quorvel::host::Application application(ns, ui);
  std::unique_ptr<quorvel::outlook::JournalFile> journal;
  const char* journalWanted = std::getenv("QUORVEL_BENCH_JOURNAL");
  if (journalWanted != nullptr && std::string(journalWanted) == "1") {
    journal = std::make_unique<quorvel::outlook::JournalFile>(quorvel::platform::RealFileSystem(),
                                                              dataFolder);
  }
  quorvel::outlook::QVCore core({.process = process, .journal = journal.get()});
  if (core.Initialize(&application) != 0) return 1;

  std::map<std::string, Clock::time_point> delivered;
  std::vector<double> latencies;
  std::size_t spamSent = 0;
  auto deliver = [&](const std::string& name, const std::string& text) {
    std::string staged = root.string() + "/tmp/" + name;
    std::ofstream(staged, std::ios::binary) << text;
    delivered[name] = Clock::now();
    fs::rename(staged, root.string() + "/new/" + name);
  };
  // Arrivals in .Spam, polled every millisecond.
  std::map<std::string, bool> seen;
  auto poll = [&] {
    for (const char* sub : {"/new", "/cur"}) {
      for (const auto& e : fs::directory_iterator(root.string() + "/.Spam" + sub)) {
        std::string file = e.path().filename().string();
        if (!seen.emplace(file.substr(0, file.find(':')), true).second) continue;
        std::string name = MessageIdOf(e.path());
        if (delivered.count(name)) {
          latencies.push_back(
              std::chrono::duration<double, std::milli>(Clock::now() - delivered[name]).count());
        }
      }
    }
  };

  if (mode == "rate" && argc == 4) {
    int n = std::atoi(argv[2]);
    double perSecond = std::atof(argv[3]);
    auto start = Clock::now();
    for (int i = 0; i < n; ++i) {
      auto at = start + std::chrono::microseconds(static_cast<long>(i * 1e6 / perSecond));
      while (Clock::now() < at) {
        poll();
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
      bool spam = i % 2 == 0;
      spamSent += spam;
      std::string name = std::to_string(1700000000 + i) + ".M" + std::to_string(i) + ".bench";
      deliver(name, Message(i, spam, name));
    }
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (latencies.size() < spamSent && Clock::now() < deadline) {
      poll();
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    std::sort(latencies.begin(), latencies.end());
    auto pct = [&](double p) {
      return latencies.empty()
                 ? 0.0
                 : latencies[std::min(latencies.size() - 1,
                                      static_cast<std::size_t>(p * latencies.size()))];
    };
    std::printf("messages %d, spam %zu moved %zu; latency ms: median %.1f, p99 %.1f, max %.1f\n", n,
                spamSent, latencies.size(), pct(0.5), pct(0.99),
                latencies.empty() ? 0.0 : latencies.back());
  } else if (mode == "burst") {
    std::vector<fs::path> files;
    for (int a = 2; a < argc; ++a) {
      for (const auto& e : fs::recursive_directory_iterator(argv[a])) {
        // The public corpus keeps each message as "<name>.txt" beside a ".json".
        if (e.is_regular_file() && e.path().extension() != ".json") files.push_back(e.path());
      }
    }
    // Written into tmp/ first; the burst is the renames into new/, all at once.
    std::vector<std::string> names;
    for (const fs::path& f : files) {
      int i = static_cast<int>(names.size());
      names.push_back(std::to_string(1700000000 + i) + ".B" + std::to_string(i) + ".bench");
      fs::copy_file(f, root.string() + "/tmp/" + names.back());
    }
    auto cpuSeconds = [] {
      rusage u{};
      ::getrusage(RUSAGE_SELF, &u);
      return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
             static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    const double cpuStart = cpuSeconds();
    auto start = Clock::now();
    for (const std::string& name : names) {
      fs::rename(root.string() + "/tmp/" + name, root.string() + "/new/" + name);
    }
    std::printf("delivered in %.2f s\n",
                std::chrono::duration<double>(Clock::now() - start).count());
    // Done when the queue has stayed empty for a second.
    auto idleSince = Clock::now();
    while (Clock::now() - idleSince < std::chrono::seconds(1)) {
      if (process.queue().HasPending()) idleSince = Clock::now();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    double seconds = std::chrono::duration<double>(idleSince - start).count();
    // The CPU time of the whole process (delivery, watcher, worker, and the polling
    // above), which a loaded machine distorts less than the wall time.
    const double cpu = cpuSeconds() - cpuStart;
    std::size_t moved = 0;
    for (const char* sub : {"/new", "/cur"}) {
      for ([[maybe_unused]] const auto& e :
           fs::directory_iterator(root.string() + "/.Spam" + sub)) {
        ++moved;
      }
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("messages %zu, moved to spam %zu, seconds %.2f (CPU %.2f), peak RSS %ld MB\n",
                files.size(), moved, seconds, cpu, usage.ru_maxrss / 1024);
    if (journal) {
      std::error_code ignored;
      std::printf("journal %ju bytes\n",
                  static_cast<std::uintmax_t>(fs::file_size(journal->path(), ignored)));
    }
  }
  core.Shutdown();
  fs::remove_all(root);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }
