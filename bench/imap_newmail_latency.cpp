// quorvel_imap_newmail: how long new mail takes to reach the spam folder on an IMAP
// account, from the APPEND that delivers it into the Inbox to the moment the server
// shows it in the spam folder. Starts a Dovecot on loopback (testing/dovecot_server.h)
// and a core on an IMAP store of a fresh user (IDLE on the Inbox, the real rule chain,
// the user's lists), delivers N messages at a given rate with APPEND on a connection of
// its own, half of them spam (a Black List sender) and half good (a White List
// sender), and watches the spam folder on a third connection.
//
//   quorvel_imap_newmail N PER_SECOND
//
// Prints the median, 99th percentile and maximum latency in milliseconds of the spam
// messages, and how many good messages were left in the Inbox. QUORVEL_MODULE_DIR names
// the folder with the seed mail base (default: the program's). HOME and XDG_* should
// point at a scratch folder.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/store_namespace.h"
#include "lists/contact.h"
#include "mapi/imap/imap_connection.h"
#include "mapi/imap/imap_names.h"
#include "mapi/imap/imap_store.h"
#include "mapi/imap/password_source.h"
#include "outlook/qv_core.h"
#include "platform/registry_memory.h"
#include "settings/data_folder.h"
#include "settings/settings_store.h"
#include "testing/dovecot_server.h"
#include "testing/one_store_session.h"
#include "ui/scripted_ui.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace quorvel;
using mapi::imap::ImapConnection;
using mapi::imap::ImapError;

namespace {

std::string Message(int n, bool spam) {
  std::ostringstream m;
  m << "From: " << (spam ? "Seller <seller@bad.example>" : "Friend <friend@good.example>")
    << "\r\nTo: me@home.example\r\nSubject: message " << n << "\r\nMessage-ID: <bench-" << n
    << "@home.example>\r\nContent-Type: text/plain\r\n\r\nBody of message " << n << "\r\n";
  return m.str();
}

// The number in "Message-ID: <bench-N@...>" of a header block; -1 when there is none.
int BenchNumber(const std::string& header) {
  std::size_t at = header.find("<bench-");
  return at == std::string::npos ? -1 : std::atoi(header.c_str() + at + 7);
}

mapi::imap::ImapAccount Account(const testing::DovecotServer& server, const std::string& user) {
  mapi::imap::ImapAccount account;
  account.host = "127.0.0.1";
  account.port = server.tlsPort();
  account.user = user;
  account.caFile = server.caFile();
  account.timeoutSeconds = 30;
  return account;
}

// Watches the spam folder, asking the server every millisecond (a NOOP and a FETCH of
// what is new), and notes when each bench message shows up there. Asking rather than
// waiting in IDLE keeps the server's own delay in telling an idle client out of what
// is measured on this side.
class SpamFolderWatch {
 public:
  SpamFolderWatch(std::unique_ptr<ImapConnection> c, std::string mailbox)
      : c_(std::move(c)), mailbox_(std::move(mailbox)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~SpamFolderWatch() {
    stop_ = true;
    thread_.join();
  }
  std::map<int, Clock::time_point> Arrived() {
    std::lock_guard<std::mutex> lock(mutex_);
    return arrived_;
  }
  bool failed() const { return failed_.load(); }

 private:
  void Run() {
    ImapError error;
    std::uint32_t lastUid = 0;
    if (!c_->Select(mailbox_, true, &error)) return Fail(error);
    if (c_->selected()->uidNext > 0) lastUid = c_->selected()->uidNext - 1;
    while (!stop_) {
      std::vector<mapi::imap::MessageSummary> found;
      if (!c_->Noop(&error) || !c_->Fetch(lastUid + 1, 0, true, false, &found, &error)) {
        return Fail(error);
      }
      Clock::time_point now = Clock::now();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& m : found) {
          lastUid = std::max(lastUid, m.uid);
          if (int n = BenchNumber(m.content); n >= 0) arrived_.emplace(n, now);
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  void Fail(const ImapError& error) {
    std::fprintf(stderr, "quorvel_imap_newmail: the spam folder watch failed: %s\n",
                 error.text.c_str());
    failed_ = true;
  }

  std::unique_ptr<ImapConnection> c_;
  const std::string mailbox_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> failed_{false};
  std::mutex mutex_;
  std::map<int, Clock::time_point> arrived_;  // guarded by mutex_
  std::thread thread_;
};

// Notes when the store announces each new message of the Inbox (by its UID).
class AnnounceTimes final : public mapi::AdviseSink {
 public:
  mapi::HRESULT OnNotify(std::span<const mapi::Notification> notifications) override {
    Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    for (const mapi::Notification& n : notifications) {
      if (auto id = mapi::imap::DecodeId(n.entryId.bytes()); id && id->kind == 'M') {
        byUid_.emplace(id->uid, now);
      }
    }
    return mapi::S_OK;
  }
  std::map<std::uint32_t, Clock::time_point> ByUid() {
    std::lock_guard<std::mutex> lock(mutex_);
    return byUid_;
  }

 private:
  std::mutex mutex_;
  std::map<std::uint32_t, Clock::time_point> byUid_;  // guarded by mutex_
};

// The median, 99th percentile and maximum of `values` (sorted here).
std::string Summary(std::vector<double> values) {
  if (values.empty()) return "none";
  std::sort(values.begin(), values.end());
  auto at = [&](double p) {
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()))];
  };
  char text[128];
  std::snprintf(text, sizeof text, "median %.1f, p99 %.1f, max %.1f", at(0.5), at(0.99),
                values.back());
  return text;
}

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

int Run(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quorvel_imap_newmail N PER_SECOND\n");
    return 2;
  }
  const int n = std::atoi(argv[1]);
  const double perSecond = std::atof(argv[2]);
  std::string whyNot;
  auto server = testing::DovecotServer::Start({}, &whyNot);
  if (!server) {
    std::fprintf(stderr, "quorvel_imap_newmail: Dovecot cannot start here: %s\n", whyNot.c_str());
    return 1;
  }
  const std::string user = server->AddUser();
  ImapError error;
  auto deliverer = ImapConnection::Open(Account(*server, user), server->password(), &error);
  auto observer = ImapConnection::Open(Account(*server, user), server->password(), &error);
  if (!deliverer || !observer) {
    std::fprintf(stderr, "quorvel_imap_newmail: %s\n", error.text.c_str());
    return 1;
  }

  platform::SystemClock clock;
  platform::RegistryMemory registry;
  ui::ScriptedUi ui;
  {
    UserSettings stored;
    stored.blackList.AddAddress(MakeContact("seller@bad.example"), "", 1);
    stored.whiteList.AddAddress(MakeContact("friend@good.example"), "", 1);
    SettingsStore(registry, "", clock).Save(&stored);
  }
  fs::path scratch = fs::temp_directory_path() / ("qvimapnew-" + std::to_string(::getpid()));
  std::string dataFolder = (scratch / "data").string() + "/";
  fs::create_directories(dataFolder);
  const char* moduleDir = std::getenv("QUORVEL_MODULE_DIR");
  std::string moduleFolder =
      moduleDir ? std::string(moduleDir) + "/" : DefaultDataFolders().ModuleFolder();
  std::string passwordFile = (scratch / "password").string();
  if (!mapi::imap::WritePasswordFile(passwordFile, server->password(), &whyNot)) {
    std::fprintf(stderr, "quorvel_imap_newmail: %s\n", whyNot.c_str());
    return 1;
  }
  mapi::ImapStoreOptions options;
  options.account = Account(*server, user);
  options.password.file = passwordFile;
  options.accountAddress = "me@home.example";
  auto store = mapi::OpenImapStore(options, &whyNot);
  if (!store.ok()) {
    std::fprintf(stderr, "quorvel_imap_newmail: %s\n", whyNot.c_str());
    return 1;
  }
  int status = 0;
  {
    outlook::AddInProcess process({registry, clock, ui, dataFolder, moduleFolder});
    auto ns = host::StoreNameSpace::Create(std::make_shared<OneStoreSession>(*store), "Bench",
                                           {"me@home.example"});
    host::Application application(ns, ui);
    outlook::QVCore core({.process = process});
    if (core.Initialize(&application) != 0) return 1;

    auto announced = std::make_shared<AnnounceTimes>();
    (*store)->Advise(mapi::EntryId(), mapi::fnevNewMail, announced);
    // The spam folder is the server's \Junk mailbox ("Junk" on the test server).
    SpamFolderWatch watch(std::move(observer), "Junk");
    std::map<int, Clock::time_point> sent;
    auto start = Clock::now();
    for (int i = 0; i < n; ++i) {
      std::this_thread::sleep_until(
          start + std::chrono::microseconds(static_cast<long>(i * 1e6 / perSecond)));
      bool spam = i % 2 == 0;
      Clock::time_point before = Clock::now();
      if (!deliverer->Append("INBOX", Message(i, spam), {}, &error)) {
        std::fprintf(stderr, "quorvel_imap_newmail: APPEND failed: %s\n", error.text.c_str());
        return 1;
      }
      if (spam) sent[i] = before;
    }
    auto deadline = Clock::now() + std::chrono::seconds(60);
    while (watch.Arrived().size() < sent.size() && Clock::now() < deadline && !watch.failed()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::map<int, Clock::time_point> arrived = watch.Arrived();
    std::map<std::uint32_t, Clock::time_point> byUid = announced->ByUid();
    std::vector<double> latencies, toAnnounce, announceToMove;
    std::size_t goodMoved = 0;
    for (const auto& [number, at] : arrived) {
      auto it = sent.find(number);
      if (it == sent.end()) {
        ++goodMoved;
        continue;
      }
      latencies.push_back(Ms(it->second, at));
      // A fresh user's Inbox: message i got UID i + 1.
      if (auto a = byUid.find(static_cast<std::uint32_t>(number) + 1); a != byUid.end()) {
        toAnnounce.push_back(Ms(it->second, a->second));
        announceToMove.push_back(Ms(a->second, at));
      }
    }
    std::printf(
        "messages %d at %.1f/s, spam %zu moved %zu, good moved %zu; milliseconds:\n"
        "  APPEND to visible in the spam folder: %s\n"
        "  APPEND to the store's new-mail notice (IDLE): %s\n"
        "  notice to visible in the spam folder: %s\n",
        n, perSecond, sent.size(), latencies.size(), goodMoved, Summary(latencies).c_str(),
        Summary(toAnnounce).c_str(), Summary(announceToMove).c_str());
    if (latencies.size() != sent.size() || goodMoved != 0) status = 1;
    core.Shutdown();
  }
  fs::remove_all(scratch);
  return status;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }
