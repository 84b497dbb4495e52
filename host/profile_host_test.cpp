#include "host/profile_host.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/registry_memory.h"
#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

using platform::RegRoot;
using platform::RegValue;
using testing::HasSubstr;

constexpr const char* kClsid = "{D20CF633-A2EE-42F9-84DB-D1FA05CF8C42}";
constexpr const char* kAddIns = "Software\\Microsoft\\Office\\Outlook\\Addins";

// An add-in that records its connection events.
struct RecordingAddIn final : AddIn {
  HRESULT OnConnection(Application& app, int mode) override {
    events.push_back("connect" + std::to_string(mode));
    application = &app;
    return 0;
  }
  HRESULT OnDisconnection(int) override { return events.push_back("disconnect"), 0; }
  HRESULT OnAddInsUpdate() override { return 0; }
  HRESULT OnStartupComplete() override {
    events.push_back("startup:" + application->ActiveExplorer()->CurrentFolder()->Name());
    return 0;
  }
  HRESULT OnBeginShutdown() override { return events.push_back("begin-shutdown"), 0; }
  std::vector<std::string> events;
  Application* application = nullptr;
};

class ProfileHostTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(testing::TempDir()) /
           ("profile-host-" + std::to_string(::getpid()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_ / "mail");
    module_ = (dir_ / "quorvel").string();
    std::ofstream(module_) << "";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void Register(std::uint32_t loadBehavior = 3) {
    const std::string key = std::string(kAddIns) + "\\Quorvel";
    registry_.CreateKey(RegRoot::kLocalMachine, key);
    registry_.SetValue(RegRoot::kLocalMachine, key, "LoadBehavior", RegValue::Dword(loadBehavior));
    registry_.CreateKey(RegRoot::kClassesRoot, "Quorvel\\CLSID");
    registry_.SetValue(RegRoot::kClassesRoot, "Quorvel\\CLSID", "", RegValue::String(kClsid));
    const std::string server = std::string("CLSID\\") + kClsid + "\\InprocServer32";
    registry_.CreateKey(RegRoot::kClassesRoot, server);
    registry_.SetValue(RegRoot::kClassesRoot, server, "", RegValue::String(module_));
  }
  HostConfig Config() {
    HostConfig config;
    config.profile = {"work", (dir_ / "mail").string(), {"me@example.org"}, true};
    config.registry = &registry_;
    config.factories.addIns[kClsid] = [this] { return addIn_; };
    config.presenter = &ui_;
    config.lockPath = HostLockPath(dir_.string(), "work");
    config.watch = false;
    return config;
  }

  std::filesystem::path dir_;
  std::string module_;
  platform::RegistryMemory registry_;
  ui::ScriptedUi ui_;
  std::shared_ptr<RecordingAddIn> addIn_ = std::make_shared<RecordingAddIn>();
};

TEST_F(ProfileHostTest, ARegisteredAddInIsConnectedWithTheInboxWindowInFront) {
  Register();
  std::string error;
  auto host = ProfileHost::Open(Config(), &error);
  ASSERT_NE(host, nullptr) << error;
  EXPECT_THAT(host->Connect(), testing::IsEmpty());
  EXPECT_TRUE(host->ready());
  host->Disconnect();
  EXPECT_THAT(addIn_->events,
              testing::ElementsAre("connect1", "startup:Inbox", "begin-shutdown", "disconnect"));
  // Opening a profile makes no folder in its Maildir: other mail programs would show it.
  for (const char* folder : {".Outbox", ".Sent", ".Contacts", ".Drafts"}) {
    EXPECT_FALSE(std::filesystem::exists(dir_ / "mail" / folder)) << folder;
  }
}

TEST_F(ProfileHostTest, AnAddInThatIsNotRegisteredToLoadIsNotLoadedAndTheHostSaysWhy) {
  struct Case {
    std::function<void()> setUp;
    const char* says;
  } cases[] = {
      {[] {}, "no add-in is registered"},
      {[this] { Register(2); }, "LoadBehavior is 2"},
      {[this] {
         Register();
         registry_.DeleteTree(RegRoot::kClassesRoot, "Quorvel");
       },
       "its class is not registered"},
      {[this] {
         Register();
         registry_.SetValue(RegRoot::kLocalMachine, std::string(kAddIns) + "\\Quorvel",
                            "LoadBehavior", RegValue::String("3"));
       },
       "damaged"},
      {[this] {
         Register();
         std::filesystem::remove(module_);
       },
       "does not exist"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    registry_.DeleteTree(RegRoot::kLocalMachine, kAddIns);
    c.setUp();
    std::ofstream(module_) << "";
    if (std::string(c.says) == "does not exist") std::filesystem::remove(module_);
    std::string error;
    auto host = ProfileHost::Open(Config(), &error);
    ASSERT_NE(host, nullptr) << error;
    EXPECT_THAT(host->Connect(), testing::ElementsAre(HasSubstr(c.says)));
    EXPECT_EQ(host->FindAddIn(kClsid), nullptr);
  }
  EXPECT_TRUE(addIn_->events.empty());
}

TEST_F(ProfileHostTest, ASecondHostOfTheProfileIsRefusedWithTheFirstOnesPid) {
  std::string error;
  auto first = ProfileHost::Open(Config(), &error);
  ASSERT_NE(first, nullptr) << error;
  // Another process tries: it must be told who runs.
  pid_t child = ::fork();
  if (child == 0) {
    std::string childError;
    auto second = ProfileHost::Open(Config(), &childError);
    bool named = childError.find("running already (PID " + std::to_string(::getppid()) + ")") !=
                 std::string::npos;
    ::_exit(second == nullptr && named ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(platform::LockFile::Holder(Config().lockPath).pid, ::getpid());
  first.reset();
  EXPECT_EQ(platform::LockFile::Holder(Config().lockPath).pid, 0);
}

TEST_F(ProfileHostTest, TheLockOfAHostThatDiedIsTakenOver) {
  pid_t child = ::fork();
  if (child == 0) {
    std::string error;
    auto host = ProfileHost::Open(Config(), &error);
    ::_exit(host ? 0 : 1);  // dies holding the lock, its record left in the file
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  std::string error;
  auto host = ProfileHost::Open(Config(), &error);
  ASSERT_NE(host, nullptr) << error;
  EXPECT_EQ(platform::LockFile::Holder(Config().lockPath).pid, ::getpid());
}

TEST_F(ProfileHostTest, AMissingMaildirIsAClearErrorAndFreesTheLock) {
  HostConfig config = Config();
  config.profile.maildir = (dir_ / "gone").string();
  std::string error;
  EXPECT_EQ(ProfileHost::Open(config, &error), nullptr);
  EXPECT_THAT(error, HasSubstr("is missing or not readable"));
  EXPECT_EQ(platform::LockFile::Holder(config.lockPath).pid, 0);
}

TEST(ProfilesTest, AddChooseRemoveAndResolve) {
  platform::RegistryMemory registry;
  Profiles profiles(registry);
  Profile found;
  std::string error;
  EXPECT_FALSE(profiles.Resolve("", &found, &error));
  EXPECT_THAT(error, HasSubstr("quorvel profile add NAME --maildir DIR"));

  ASSERT_TRUE(profiles.Add({"home", "/m/home", {"a@x.org", "b@x.org"}, false}, false, &error));
  ASSERT_TRUE(profiles.Add({"work", "/m/work", {}, false}, false, &error));
  EXPECT_FALSE(profiles.Add({"HOME", "/m/other", {}, false}, false, &error));
  EXPECT_FALSE(profiles.Add({"../x", "/m", {}, false}, false, &error));
  ASSERT_TRUE(profiles.Resolve("", &found, &error)) << error;
  EXPECT_EQ(found.name, "home");  // the first one is the default
  EXPECT_EQ(found.addresses, (std::vector<std::string>{"a@x.org", "b@x.org"}));
  ASSERT_TRUE(profiles.SetDefault("WORK", &error));
  ASSERT_TRUE(profiles.Resolve("", &found, &error));
  EXPECT_EQ(found.maildir, "/m/work");
  EXPECT_FALSE(profiles.Resolve("nope", &found, &error));
  EXPECT_THAT(error, HasSubstr("no profile named 'nope'"));

  ASSERT_TRUE(profiles.Remove("work", &error));
  EXPECT_FALSE(profiles.Resolve("", &found, &error));
  EXPECT_THAT(error, HasSubstr("no default profile"));
  ASSERT_TRUE(profiles.Resolve("home", &found, &error));

  // A profile whose Maildir value is damaged is reported, and can still be removed.
  registry.SetValue(RegRoot::kCurrentUser, std::string(kProfilesKey) + "\\home", "Maildir",
                    RegValue::Dword(1));
  EXPECT_FALSE(profiles.Resolve("home", &found, &error));
  EXPECT_THAT(error, HasSubstr("damaged"));
  std::vector<Profile> all;
  ASSERT_TRUE(profiles.List(&all, &error));
  ASSERT_EQ(all.size(), 1u);
  EXPECT_TRUE(profiles.Remove("home", &error));
}

TEST(ProfilesTest, ImapProfilesKeepTheirAccountAndCertificateRules) {
  platform::RegistryMemory registry;
  Profiles profiles(registry);
  std::string error;
  Profile mail{"mail", "", {"me@x.org"}, false};
  mail.imap = "imaps://me%40x.org@imap.x.org";
  mail.passwordCommand = "pass show mail";
  mail.caFile = "/etc/own-ca.pem";
  mail.acceptUntrustedCertificate = true;
  ASSERT_TRUE(profiles.Add(mail, false, &error)) << error;
  Profile plain{"plain", "", {}, false};
  plain.imap = "imap://me@imap.x.org:1143";
  ASSERT_TRUE(profiles.Add(plain, false, &error)) << error;

  Profile found;
  ASSERT_TRUE(profiles.Resolve("MAIL", &found, &error)) << error;
  EXPECT_EQ(found.name, "mail");
  EXPECT_EQ(found.maildir, "");
  EXPECT_EQ(found.StoreName(), "imaps://me%40x.org@imap.x.org");
  EXPECT_EQ(found.passwordCommand, "pass show mail");
  EXPECT_EQ(found.caFile, "/etc/own-ca.pem");
  EXPECT_TRUE(found.acceptUntrustedCertificate);
  EXPECT_EQ(found.addresses, std::vector<std::string>{"me@x.org"});
  // Nothing said means the certificate must verify, and the credentials file is used.
  ASSERT_TRUE(profiles.Resolve("plain", &found, &error)) << error;
  EXPECT_FALSE(found.acceptUntrustedCertificate);
  EXPECT_EQ(found.passwordCommand, "");

  // A profile names one store: neither or both is refused.
  Profile both{"both", "/m", {}, false};
  both.imap = "imaps://a@b";
  EXPECT_FALSE(profiles.Add(both, false, &error));
  EXPECT_FALSE(profiles.Add({"none", "", {}, false}, false, &error));
  EXPECT_THAT(error, HasSubstr("either a Maildir or an IMAP account"));

  // A damaged Imap value is reported, not read as a Maildir profile.
  registry.SetValue(RegRoot::kCurrentUser, std::string(kProfilesKey) + "\\plain", "Imap",
                    RegValue::Dword(7));
  EXPECT_FALSE(profiles.Resolve("plain", &found, &error));
  EXPECT_THAT(error, HasSubstr("not an account address"));
  registry.DeleteValue(RegRoot::kCurrentUser, std::string(kProfilesKey) + "\\plain", "Imap");
  EXPECT_FALSE(profiles.Resolve("plain", &found, &error));
  EXPECT_THAT(error, HasSubstr("names no Maildir and no IMAP account"));
}

// The host opens whatever store its opener makes of the profile, and a failing opener
// leaves no lock behind.
TEST_F(ProfileHostTest, TheStoreComesFromTheOpener) {
  HostConfig config = Config();
  std::vector<std::string> asked;
  config.openStore = [&](const Profile& p, bool watch, std::string* error) {
    asked.push_back(p.name + (watch ? " watch" : " quiet"));
    *error = "the server said no";
    return mapi::Result<std::shared_ptr<mapi::MsgStore>>(mapi::MAPI_E_LOGON_FAILED);
  };
  config.watch = false;
  std::string error;
  EXPECT_EQ(ProfileHost::Open(config, &error), nullptr);
  EXPECT_EQ(error, "the server said no");
  EXPECT_EQ(asked, std::vector<std::string>{config.profile.name + " quiet"});
  EXPECT_EQ(platform::LockFile::Holder(config.lockPath).pid, 0);

  config.openStore = [&](const Profile& p, bool watch, std::string* e) {
    return OpenMaildirProfileStore(p, watch, e);
  };
  auto host = ProfileHost::Open(config, &error);
  ASSERT_NE(host, nullptr) << error;
  EXPECT_EQ(platform::LockFile::Holder(config.lockPath).pid, ::getpid());
}

}  // namespace
}  // namespace quorvel::host
