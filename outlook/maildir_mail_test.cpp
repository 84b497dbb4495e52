// New mail in a real Maildir, as a delivery agent leaves it: the core on a namespace
// over a Maildir store, with inotify, the real classifier and the user's lists.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/store_namespace.h"
#include "lists/contact.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/maildir/test_maildir.h"
#include "mapi/queries.h"
#include "outlook/qv_core.h"
#include "platform/registry_memory.h"
#include "settings/settings_store.h"
#include "testing/one_store_session.h"
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
  std::unique_ptr<Host> Start() {
    auto host = std::make_unique<Host>();
    host->store = *mapi::OpenMaildirStore(dir.root());
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

  mapi::testing::TempMaildir dir;
  platform::SystemClock clock;
  platform::RegistryMemory registry;
  ui::ScriptedUi ui;
  std::unique_ptr<AddInProcess> process =
      std::make_unique<AddInProcess>(AddInEnvironment{registry, clock, ui, "", ""});
};

TEST_F(MaildirMailTest, SpamDeliveredIntoNewEndsInSpamAndGoodMailStays) {
  auto host = Start();
  ASSERT_TRUE(std::filesystem::is_directory(dir.Dir("Spam")));  // made at the first start
  Deliver("", "1000.A.mx", "spammer@bad.example", "cheap");
  Deliver("", "1001.B.mx", "friend@good.example", "dinner");
  EXPECT_TRUE(WaitUntil([&] { return FilesIn(dir.Dir("Spam")) == 1; }));
  EXPECT_TRUE(WaitUntil([&] { return !process->queue().HasPending(); }));
  EXPECT_EQ(FilesIn(dir.root()), 1u);
  EXPECT_TRUE(std::filesystem::exists(dir.Dir("Spam") + "/new/1000.A.mx") ||
              std::filesystem::exists(dir.Dir("Spam") + "/cur/1000.A.mx"));
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

TEST_F(MaildirMailTest, ASpamFolderThatIsAFileIsReportedAndNoMailIsLost) {
  std::ofstream(dir.root() + "/.Spam") << "not a folder";
  auto host = Start();
  bool reported = false;
  for (const std::string& text : ui.texts()) {
    reported |= text.find("There are some problems with finding Spam Folder.") == 0;
  }
  EXPECT_TRUE(reported);
  Deliver("", "4000.G.mx", "spammer@bad.example", "cheap");
  EXPECT_TRUE(WaitUntil([&] { return FilesIn(dir.root()) == 1; }));
  EXPECT_TRUE(WaitUntil([&] { return !process->queue().HasPending(); }));
  EXPECT_EQ(FilesIn(dir.root()), 1u);  // judged, but with nowhere to go it stays
}

}  // namespace
}  // namespace quorvel::outlook
