// New mail in a real Maildir, as a delivery agent leaves it: the core on a namespace
// over a Maildir store, with inotify, the real classifier and the user's lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/store_namespace.h"
#include "lists/contact.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/test_maildir.h"
#include "mapi/queries.h"
#include "outlook/marking_move.h"
#include "outlook/qv_core.h"
#include "outlook/spam_folder.h"
#include "platform/file_system.h"
#include "platform/registry_memory.h"
#include "settings/settings_store.h"
#include "testing/one_store_session.h"
#include "testing/temporary_folder.h"
#include "ui/scripted_ui.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;
using mapi::PropValue;

std::size_t FilesIn(const std::string& dir) {
  std::size_t n = 0;
  for (const char* sub : {"/new", "/cur"}) {
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(dir + sub, ec);
         !ec && it != std::filesystem::directory_iterator(); ++it) {
      ++n;
    }
  }
  return n;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string WithMessageId(const std::string& from, const std::string& id) {
  return "From: <" + from + ">\nTo: me@home.example\nMessage-ID: <" + id +
         ">\nSubject: offer\n\nBuy now\n";
}

// The machine's files, counting the opens of message files whose name holds `name`.
class CountingFiles final : public platform::FileSystem {
 public:
  explicit CountingFiles(std::string name) : name_(std::move(name)) {}
  int opens() const { return opens_; }

  platform::FileStatus ReadFile(const std::string& path, std::string* bytes) override {
    Count(path);
    return real_.ReadFile(path, bytes);
  }
  platform::FileStatus OpenForReading(const std::string& path,
                                      std::unique_ptr<platform::ReadableFile>* file) override {
    Count(path);
    return real_.OpenForReading(path, file);
  }
  platform::FileStatus NewAtomicFile(const std::string& path,
                                     std::unique_ptr<platform::AtomicFile>* file,
                                     std::optional<unsigned> mode) override {
    return real_.NewAtomicFile(path, file, mode);
  }
  platform::FileStatus AppendToFile(const std::string& path, std::string_view bytes,
                                    std::uint64_t* size, unsigned mode) override {
    return real_.AppendToFile(path, bytes, size, mode);
  }
  platform::FileStatus OpenForAppending(const std::string& path,
                                        std::unique_ptr<platform::AppendingFile>* file,
                                        unsigned mode) override {
    return real_.OpenForAppending(path, file, mode);
  }
  platform::FileStatus Stat(const std::string& path, platform::FileInfo* info) override {
    return real_.Stat(path, info);
  }
  platform::FileStatus ListFolder(const std::string& path,
                                  std::vector<platform::FolderEntry>* entries) override {
    return real_.ListFolder(path, entries);
  }
  platform::FileStatus CreateFolders(const std::string& path, unsigned mode) override {
    return real_.CreateFolders(path, mode);
  }
  platform::FileStatus RenameNoReplace(const std::string& from, const std::string& to) override {
    return real_.RenameNoReplace(from, to);
  }
  platform::FileStatus Rename(const std::string& from, const std::string& to) override {
    return real_.Rename(from, to);
  }
  platform::FileStatus Remove(const std::string& path) override { return real_.Remove(path); }
  platform::FileStatus RemoveAll(const std::string& path) override { return real_.RemoveAll(path); }
  platform::FileStatus MakeWritable(const std::string& path) override {
    return real_.MakeWritable(path);
  }
  platform::FileStatus Lock(const std::string& path, bool wait,
                            std::unique_ptr<platform::FileLock>* lock) override {
    return real_.Lock(path, wait, lock);
  }

 private:
  void Count(const std::string& path) {
    if ((path.find("/new/") != std::string::npos || path.find("/cur/") != std::string::npos) &&
        path.find(name_) != std::string::npos) {
      ++opens_;
    }
  }
  platform::FileSystem& real_ = platform::RealFileSystem();
  std::string name_;
  std::atomic<int> opens_{0};
};

template <typename F>
bool WaitUntil(F done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class MaildirMailTest : public ::testing::Test {
 protected:
  MaildirMailTest() {
    dir.AddFolder("Sent");
    UserSettings stored;
    stored.blackList.AddAddress(MakeContact("spammer@bad.example"), "", 1);
    stored.whiteList.AddAddress(MakeContact("friend@good.example"), "", 1);
    SettingsStore(registry, "", clock).Save(&stored);
  }

  // One run of the host: the store, the namespace, the application and the core.
  struct Host {
    std::shared_ptr<mapi::MsgStore> store;
    std::shared_ptr<host::StoreNameSpace> ns;
    std::unique_ptr<host::Application> application;
    std::unique_ptr<QVCore> core;
  };
  std::unique_ptr<Host> Start(platform::FileSystem* files = nullptr) {
    auto host = std::make_unique<Host>();
    mapi::MaildirOptions options;
    options.files = files;
    host->store = *mapi::OpenMaildirStore(dir.root(), options);
    host->ns = host::StoreNameSpace::Create(std::make_shared<OneStoreSession>(host->store), "Home",
                                            {"me@home.example"});
    host->application = std::make_unique<host::Application>(host->ns, ui);
    host->core = std::make_unique<QVCore>(CoreOptions{.process = *process});
    EXPECT_EQ(host->core->Initialize(host->application.get()), mapi::S_OK);
    host->core->InitialWizard();
    host->core->PostStartupActions();
    return host;
  }
  void Deliver(const std::string& folder, const std::string& name, const std::string& from,
               const std::string& subject) {
    dir.Deliver(folder, "new", name, mapi::testing::TempMaildir::Message(subject, from));
  }

  std::vector<std::string> SpamFiles() const {
    std::vector<std::string> out;
    for (const char* sub : {"/new", "/cur"}) {
      std::error_code none;  // not made before the first spam
      for (std::filesystem::directory_iterator it(dir.Dir("Spam") + sub, none), end;
           !none && it != end; ++it) {
        out.push_back(it->path().string());
      }
    }
    return out;
  }
  // The spam files that carry Message-ID `id`.
  std::size_t SpamWith(const std::string& id) const {
    std::size_t n = 0;
    for (const std::string& file : SpamFiles()) {
      n += FileText(file).find("Message-ID: <" + id + ">") != std::string::npos;
    }
    return n;
  }
  // Delivers a spam message and waits until it is in the spam folder and the worker is
  // idle: whatever was queued before it has been handled by then.
  bool Settled(Host& host, const std::string& name) {
    dir.Deliver("", "new", name, WithMessageId("spammer@bad.example", name));
    if (!WaitUntil([&] { return SpamWith(name) == 1; })) return false;
    host.core->WaitUntilIdle();
    return true;
  }

  mapi::testing::TempMaildir dir;
  platform::SystemClock clock;
  platform::RegistryMemory registry;
  ui::ScriptedUi ui;
  std::unique_ptr<AddInProcess> process =
      std::make_unique<AddInProcess>(AddInEnvironment{registry, clock, ui, "", ""});
};

TEST_F(MaildirMailTest, SpamDeliveredIntoNewEndsInSpamAndGoodMailStays) {
  auto host = Start();
  // Made by the first spam, not at the start.
  EXPECT_FALSE(std::filesystem::exists(dir.Dir("Spam")));
  Deliver("", "1001.B.mx.good", "friend@good.example", "first");
  EXPECT_TRUE(WaitUntil([&] { return !process->queue().HasPending(); }));
  host->core->WaitUntilIdle();
  EXPECT_FALSE(std::filesystem::exists(dir.Dir("Spam")));
  Deliver("", "1000.A.mx", "spammer@bad.example", "cheap");
  Deliver("", "1001.B.mx", "friend@good.example", "dinner");
  EXPECT_TRUE(WaitUntil([&] { return FilesIn(dir.Dir("Spam")) == 1; }));
  EXPECT_TRUE(WaitUntil([&] { return !process->queue().HasPending(); }));
  EXPECT_EQ(FilesIn(dir.root()), 2u);
  // Under a name of its own in the spam folder, as it was delivered.
  ASSERT_EQ(SpamFiles().size(), 1u);
  EXPECT_NE(FileText(SpamFiles()[0]).find("Subject: cheap"), std::string::npos);
}

TEST_F(MaildirMailTest, MailSavedIntoSentWhitelistsItsRecipients) {
  auto host = Start();
  std::string text =
      "From: Me <me@home.example>\nTo: Carol <carol@far.example>\nSubject: Trip\n\nSee you\n";
  dir.Deliver("Sent", "cur", "2000.C.laptop:2,S", text);
  // The recipient and the subject are recorded one after the other, each under its own
  // lock: wait for both rather than looking at the second once the first is there.
  EXPECT_TRUE(WaitUntil([&] {
    auto settings = process->settings().Lock();
    return settings->whiteList.Find(MakeContact("carol@far.example")) &&
           settings->sentSubjs.Find(MakeContact("Trip"));
  }));
}

TEST_F(MaildirMailTest, MailThatArrivedWhileNoHostRanIsJudgedAtTheNextStart) {
  {
    auto host = Start();
    host->core->Shutdown();
  }
  Deliver("", "3000.D.mx", "spammer@bad.example", "while away");
  Deliver("", "3001.E.mx", "friend@good.example", "hello again");
  // A message already read stays where the user left it.
  dir.Deliver("", "cur", "3002.F.mx:2,S",
              mapi::testing::TempMaildir::Message("read spam", "spammer@bad.example"));
  process = std::make_unique<AddInProcess>(AddInEnvironment{registry, clock, ui, "", ""});
  auto host = Start();
  EXPECT_TRUE(WaitUntil([&] { return FilesIn(dir.Dir("Spam")) == 1; }));
  EXPECT_TRUE(WaitUntil([&] { return !process->queue().HasPending(); }));
  EXPECT_EQ(FilesIn(dir.root()), 2u);
}

// A file where the spam folder would be made: the first spam finds it cannot be made
// (said on the host's log, by the worker), and stays where it is.
TEST_F(MaildirMailTest, ASpamFolderThatIsAFileIsReportedAndNoMailIsLost) {
  std::ofstream(dir.root() + "/.Spam") << "not a folder";
  auto host = Start();
  Deliver("", "4000.G.mx", "spammer@bad.example", "cheap");
  EXPECT_TRUE(WaitUntil([&] { return FilesIn(dir.root()) == 1; }));
  EXPECT_TRUE(WaitUntil([&] { return !process->queue().HasPending(); }));
  host->core->WaitUntilIdle();
  EXPECT_EQ(FilesIn(dir.root()), 1u);  // judged, but with nowhere to go it stays
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.root() + "/.Spam"));
}

// Opening, judging and moving a new message reads its file once.
TEST_F(MaildirMailTest, NewSpamIsReadOnceOnItsWayToTheSpamFolder) {
  CountingFiles files("5000.H.mx");
  auto host = Start(&files);
  Deliver("", "5000.H.mx", "spammer@bad.example", "cheap");
  ASSERT_TRUE(WaitUntil([&] { return SpamFiles().size() == 1; }));
  ASSERT_TRUE(Settled(*host, "5001.I.mx"));
  EXPECT_EQ(files.opens(), 1);
}

// The user takes spam back into the Inbox, by a rename or as a copy made by a mail
// program: it is not judged again and stays there; the same spam delivered a second
// time while the first still lies in the spam folder is judged and moved.
TEST_F(MaildirMailTest, SpamTakenBackOutOfTheSpamFolderStaysInTheInbox) {
  // Not learned from: a move back would put the spammer on the White List, and the
  // later spam that tells when the worker is done would stay in the Inbox.
  UserSettings stored;
  ASSERT_TRUE(SettingsStore(registry, "", clock).Load(&stored));
  stored.learnFromMoves = 0;
  SettingsStore(registry, "", clock).Save(&stored);
  auto host = Start();
  dir.Deliver("", "new", "6000.J.mx", WithMessageId("spammer@bad.example", "one"));
  ASSERT_TRUE(WaitUntil([&] { return SpamWith("one") == 1; }));
  // A plain mv back to the name it came with, at once (within the time in which a
  // message taken away by a rule would be sent to the spam folder again).
  std::string back = dir.root() + "/cur/6000.J.mx:2,S";
  std::filesystem::rename(SpamFiles()[0], back);
  ASSERT_TRUE(Settled(*host, "6001.K.mx"));
  EXPECT_TRUE(std::filesystem::exists(back));
  EXPECT_EQ(SpamWith("one"), 0u);

  dir.Deliver("", "new", "6002.L.mx", WithMessageId("spammer@bad.example", "two"));
  ASSERT_TRUE(WaitUntil([&] { return SpamWith("two") == 1; }));
  // A copy: written anew into the Inbox, the one in the spam folder deleted.
  for (const std::string& file : SpamFiles()) {
    if (FileText(file).find("<two>") != std::string::npos) std::filesystem::remove(file);
  }
  dir.Deliver("", "cur", "6003.M.mx:2,S", WithMessageId("spammer@bad.example", "two"));
  ASSERT_TRUE(Settled(*host, "6004.N.mx"));
  EXPECT_TRUE(std::filesystem::exists(dir.root() + "/cur/6003.M.mx:2,S"));
  EXPECT_EQ(SpamWith("two"), 0u);

  // Delivered twice: the second arrives while the first is in the spam folder.
  dir.Deliver("", "new", "6005.O.mx", WithMessageId("spammer@bad.example", "three"));
  ASSERT_TRUE(WaitUntil([&] { return SpamWith("three") == 1; }));
  dir.Deliver("", "new", "6006.P.mx", WithMessageId("spammer@bad.example", "three"));
  EXPECT_TRUE(WaitUntil([&] { return SpamWith("three") == 2; }));
}

// Runs of the host over one data folder that learn from the user's moves (a good
// marking adds no sender to the White List, a junk one none to the Black List).
class ReturnWhileNoHostRanTest : public MaildirMailTest {
 protected:
  ReturnWhileNoHostRanTest() {
    UserSettings stored;
    EXPECT_TRUE(SettingsStore(registry, "", clock).Load(&stored));
    stored.learnFromMoves = 1;
    stored.goodAddWhiteList = 0;  // the spam that tells when the worker is done is a known sender's
    stored.junkAddBlackList = 0;
    SettingsStore(registry, "", clock).Save(&stored);
    process = std::make_unique<AddInProcess>(
        AddInEnvironment{registry, clock, ui, dataFolder, dataFolder});
  }
  // While no host runs: the spam file with Message-ID `id` moved back into the Inbox as
  // it is, unread, by a plain mv; then the next host starts and handles what it finds.
  std::unique_ptr<Host> MoveBackAndStart(const std::string& id, const std::string& settled) {
    std::string spam;
    for (const std::string& file : SpamFiles()) {
      if (FileText(file).find("<" + id + ">") != std::string::npos) spam = file;
    }
    const std::string name = std::filesystem::path(spam).filename().string();
    std::filesystem::rename(spam, dir.root() + "/new/" + name.substr(0, name.find(':')));
    process = std::make_unique<AddInProcess>(
        AddInEnvironment{registry, clock, ui, dataFolder, dataFolder});
    auto host = Start();
    EXPECT_TRUE(Settled(*host, settled));
    return host;
  }
  // Whether the message with `id` is in the Inbox, once, and was learned from as the
  // user's move: a good marking made by the move is in the journal.
  bool StayedAndLearned(const std::string& id) {
    std::size_t inInbox = 0;
    for (const char* sub : {"/new", "/cur"}) {
      for (const auto& e : std::filesystem::directory_iterator(dir.root() + sub)) {
        inInbox += FileText(e.path().string()).find("<" + id + ">") != std::string::npos;
      }
    }
    return inInbox == 1 && SpamWith(id) == 0 && WaitUntil([&] {
             return FileText(dataFolder + "journal.jsonl")
                        .find("\"marking\":\"good\",\"source\":\"move\"") != std::string::npos;
           });
  }

  quorvel::testing::TemporaryFolder data{"quorvel-data"};
  const std::string dataFolder = data.path() + "/";
};

// Regression: spam taken back into the Inbox by a plain mv while no host ran was judged
// again at the next start and sent back to the spam folder. The worker's record of
// what it moved there tells the return; with LearnFromMoves on it is learned from as
// the user's move, as one seen live.
TEST_F(ReturnWhileNoHostRanTest, SpamTheWorkerMovedStaysAndIsLearnedFrom) {
  {
    auto host = Start();
    dir.Deliver("", "new", "7000.Q.mx", WithMessageId("spammer@bad.example", "away"));
    ASSERT_TRUE(WaitUntil([&] { return SpamWith("away") == 1; }));
    host->core->WaitUntilIdle();
    host->core->Shutdown();
  }
  auto host = MoveBackAndStart("away", "7001.R.mx");
  EXPECT_TRUE(StayedAndLearned("away"));
  host->core->Shutdown();
}

// Regression: the same for a message a Junk marking moved into the spam folder: only the
// worker's moves were in the record, so it was judged again (and its sender, on the
// Black List by now, sent it back).
TEST_F(ReturnWhileNoHostRanTest, AMessageMarkedJunkStaysAndIsLearnedFrom) {
  {
    auto host = Start();
    dir.Deliver("", "new", "8000.S.mx", WithMessageId("friend@good.example", "marked"));
    ASSERT_TRUE(Settled(*host, "8001.T.mx"));
    ASSERT_EQ(SpamWith("marked"), 0u);
    std::shared_ptr<mapi::Session> session = host->ns->MAPIOBJECT();
    const EntryId inboxId = DefaultInboxId(*session);
    auto inbox = session->OpenEntry(inboxId, mapi::MAPI_BEST_ACCESS);
    ASSERT_TRUE(inbox.ok());
    const auto byId = MessagesById(*session, *inbox->As<mapi::Folder>());
    auto found = std::find_if(byId.begin(), byId.end(), [](const auto& m) {
      return m.first.find("marked") != std::string::npos;
    });
    ASSERT_NE(found, byId.end());
    EXPECT_TRUE(host->core->MarkQuietly({inboxId, {found->second}}, MarkingMode::kJunk).moved);
    ASSERT_EQ(SpamWith("marked"), 1u);
    host->core->WaitUntilIdle();
    host->core->Shutdown();
  }
  UserSettings stored;
  ASSERT_TRUE(SettingsStore(registry, "", clock).Load(&stored));
  stored.whiteList = ContactList();
  stored.blackList.AddAddress(MakeContact("friend@good.example"), "", 1);
  SettingsStore(registry, "", clock).Save(&stored);
  auto host = MoveBackAndStart("marked", "8002.U.mx");
  EXPECT_TRUE(StayedAndLearned("marked"));
  host->core->Shutdown();
}

}  // namespace
}  // namespace quorvel::outlook
