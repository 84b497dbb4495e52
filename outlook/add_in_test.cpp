#include "outlook/add_in.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "host/command_request.h"
#include "host/memory_host.h"
#include "testing/loop_thread.h"
#include "testing/message_builder.h"
#include "ui/scripted_ui.h"

namespace quorvel::outlook {
namespace {

using ::testing::ElementsAre;

// Records every call, with the folder of the explorer a command was given.
class FakeCore final : public IQuorvel2 {
 public:
  explicit FakeCore(std::vector<std::string>& log) : log_(log) {}
  HRESULT Initialize(host::Application* app) override {
    log_.push_back(app ? "Initialize" : "Initialize(null)");
    return mapi::S_OK;
  }
  HRESULT Shutdown() override { return Log("Shutdown"); }
  HRESULT ShowOptions() override { return Log("ShowOptions"); }
  HRESULT MarkAsGood(host::Explorer* e) override { return Log("MarkAsGood", e); }
  HRESULT MarkAsJunk(host::Explorer* e) override { return Log("MarkAsJunk", e); }
  HRESULT CheckFolder(host::Explorer* e) override { return Log("CheckFolder", e); }
  HRESULT TestMessage(host::Explorer* e) override { return Log("TestMessage", e); }
  HRESULT EmailToSupport() override { return Log("EmailToSupport"); }
  HRESULT DeleteSpam() override { return Log("DeleteSpam"); }
  HRESULT PostStartupActions() override { return Log("PostStartupActions"); }
  HRESULT InitialWizard() override { return Log("InitialWizard"); }

 private:
  HRESULT Log(std::string what, host::Explorer* e = nullptr) {
    if (e) what += "@" + e->Caption();
    if (e && e->Selection().Count() > 0) what += "#" + std::to_string(e->Selection().Count());
    log_.push_back(std::move(what));
    return mapi::S_OK;
  }
  std::vector<std::string>& log_;
};

class AddInTest : public ::testing::Test {
 protected:
  AddInTest() {
    services_.createCore = [this]() -> std::shared_ptr<IQuorvel2> {
      ++coresMade_;
      if (failCore_) return nullptr;
      return std::make_shared<FakeCore>(log_);
    };
    services_.wizardPending = [this] { return wizardPending_; };
    services_.buildCommandBars = [this](host::Explorer& e, std::function<void(int)>) {
      log_.push_back("bars@" + e.Caption());
    };
    services_.selectionChanged = [this] { log_.push_back("selectionChanged"); };
    services_.disableExceptionReports = [this] { log_.push_back("reportsOff"); };
    services_.helpPath = "/usr/share/quorvel/quorvel.html";
  }
  host::Explorers& explorers() { return *box_.application->Explorers(); }
  std::shared_ptr<host::MAPIFolder> Folder(int type) {
    return *box_.nameSpace->GetDefaultFolder(type);
  }

  ui::ScriptedUi ui_;
  host::MemoryHost box_{ui_};
  AddInServices services_;
  std::vector<std::string> log_;
  bool wizardPending_ = false;
  bool failCore_ = false;
  int coresMade_ = 0;
};

TEST_F(AddInTest, StartsWhenTheHostHasStartedWithAWindow) {
  auto window = explorers().Add(Folder(host::olFolderInbox));
  window->Activate();
  auto addIn = QVAddIn::Create(services_);
  addIn->OnConnection(*box_.application, host::ext_cm_Startup);
  EXPECT_EQ(addIn->startState(), 0);
  EXPECT_TRUE(log_.empty());
  addIn->OnStartupComplete();
  EXPECT_EQ(addIn->startState(), 1);
  EXPECT_THAT(log_, ElementsAre("Initialize", "bars@Inbox", "InitialWizard", "PostStartupActions"));
  log_.clear();
  addIn->OnDisconnection(host::ext_dm_HostShutdown);
  EXPECT_EQ(addIn->startState(), 0);
  EXPECT_THAT(log_, ElementsAre("Shutdown"));
  EXPECT_EQ(addIn->core(), nullptr);
}

TEST_F(AddInTest, ConnectedAfterStartupStartsAtOnce) {
  explorers().Add(Folder(host::olFolderInbox));  // open but not active: the first is taken
  auto addIn = QVAddIn::Create(services_);
  addIn->OnConnection(*box_.application, host::ext_cm_AfterStartup);
  EXPECT_EQ(addIn->startState(), 1);
  EXPECT_THAT(log_, ElementsAre("Initialize", "bars@Inbox", "InitialWizard", "PostStartupActions"));
}

TEST_F(AddInTest, WithoutAWindowTheCoreIsMadeWhenTheFirstWindowIsActivated) {
  auto addIn = QVAddIn::Create(services_);
  addIn->OnConnection(*box_.application, host::ext_cm_Startup);
  addIn->OnStartupComplete();  // no window: the start fails and disconnects
  EXPECT_EQ(addIn->startState(), 0);
  EXPECT_EQ(coresMade_, 0);

  addIn = QVAddIn::Create(services_);
  addIn->OnConnection(*box_.application, host::ext_cm_Startup);
  auto window = explorers().Add(Folder(host::olFolderSentMail));
  EXPECT_EQ(addIn->startState(), -1);
  EXPECT_EQ(coresMade_, 0);
  window->Activate();
  EXPECT_EQ(addIn->startState(), 1);
  EXPECT_EQ(coresMade_, 1);
  EXPECT_THAT(log_,
              ElementsAre("Initialize", "bars@Sent Items", "InitialWizard", "PostStartupActions"));

  // A second window moves the add-in there, without a second core.
  log_.clear();
  auto second = explorers().Add(Folder(host::olFolderOutbox));
  EXPECT_EQ(addIn->startState(), -1);
  second->Activate();
  EXPECT_EQ(addIn->startState(), 1);
  EXPECT_EQ(coresMade_, 1);
  EXPECT_THAT(log_, ElementsAre("bars@Outbox"));

  // Closing it follows the window left; closing the last one disconnects.
  log_.clear();
  second->Close();
  EXPECT_EQ(addIn->startState(), 1);
  EXPECT_EQ(addIn->explorer(), window.get());
  window->Close();
  EXPECT_EQ(addIn->startState(), 0);
  EXPECT_THAT(log_, ElementsAre("reportsOff", "reportsOff", "Shutdown"));
}

TEST_F(AddInTest, AFailedStartDisconnects) {
  failCore_ = true;
  explorers().Add(Folder(host::olFolderInbox))->Activate();
  auto addIn = QVAddIn::Create(services_);
  addIn->OnConnection(*box_.application, host::ext_cm_AfterStartup);
  EXPECT_EQ(coresMade_, 1);
  EXPECT_EQ(addIn->startState(), 0);
  EXPECT_EQ(addIn->explorer(), nullptr);
  EXPECT_FALSE(addIn->OnCommand(kCmdUnused));
  EXPECT_TRUE(addIn->OnCommand(kCmdGoodEmail));  // handled: nothing to call
  // A request is told instead that nothing can run it.
  auto request = explorers().OpenRequest(Folder(host::olFolderInbox), host::Selection());
  EXPECT_FALSE(addIn->OnRequestCommand(kCmdGoodEmail, *request));
  EXPECT_TRUE(addIn->OnRequestCommand(kCmdHelp, *request));  // the help needs no core
  EXPECT_TRUE(log_.empty());
}

TEST_F(AddInTest, APendingWizardHoldsBackThePostStartupActions) {
  wizardPending_ = true;
  explorers().Add(Folder(host::olFolderInbox))->Activate();
  auto addIn = QVAddIn::Create(services_);
  addIn->OnConnection(*box_.application, host::ext_cm_AfterStartup);
  EXPECT_THAT(log_, ElementsAre("Initialize", "bars@Inbox", "InitialWizard"));
}

TEST_F(AddInTest, WithoutAnExplorersCollectionTheUserIsTold) {
  host::Application windowless(box_.nameSpace, ui_, /*hasExplorers=*/false);
  auto addIn = QVAddIn::Create(services_);
  addIn->OnConnection(windowless, host::ext_cm_AfterStartup);
  EXPECT_THAT(ui_.texts(), ElementsAre("No explorers collection found."));
  EXPECT_EQ(coresMade_, 0);
}

TEST_F(AddInTest, CommandsGoToTheCoreWithTheWindowActiveAtThatMoment) {
  auto inbox = explorers().Add(Folder(host::olFolderInbox));
  inbox->Activate();
  auto addIn = QVAddIn::Create(services_);
  addIn->OnConnection(*box_.application, host::ext_cm_AfterStartup);
  auto sent = explorers().Add(Folder(host::olFolderSentMail));
  sent->Activate();
  log_.clear();
  struct Case {
    int id;
    const char* call;
  } cases[] = {
      {kCmdGoodEmail, "MarkAsGood@Sent Items"},    {kCmdJunkEmail, "MarkAsJunk@Sent Items"},
      {kCmdTestMessage, "TestMessage@Sent Items"}, {kCmdCheckFolder, "CheckFolder@Sent Items"},
      {kCmdEmptySpamFolder, "DeleteSpam"},         {kCmdOptions, "ShowOptions"},
      {kCmdEmailToSupport, "EmailToSupport"},
  };
  for (const Case& c : cases) {
    log_.clear();
    EXPECT_TRUE(addIn->OnCommand(c.id));
    EXPECT_THAT(log_, ElementsAre(c.call)) << c.id;
  }
  log_.clear();
  EXPECT_FALSE(addIn->OnCommand(kCmdUnused));
  EXPECT_FALSE(addIn->OnCommand(40000));
  EXPECT_TRUE(log_.empty());
  EXPECT_TRUE(addIn->OnCommand(kCmdHelp));
  EXPECT_THAT(ui_.texts(), ::testing::Contains("file:///usr/share/quorvel/quorvel.html"));
}

TEST_F(AddInTest, SelectionChangeOfTheFollowedWindowIsPassedOn) {
  auto window = explorers().Add(Folder(host::olFolderInbox));
  window->Activate();
  auto addIn = QVAddIn::Create(services_);
  addIn->OnConnection(*box_.application, host::ext_cm_AfterStartup);
  log_.clear();
  window->Select(host::Selection());
  EXPECT_THAT(log_, ElementsAre("selectionChanged"));
  addIn->OnDisconnection(host::ext_dm_HostShutdown);
  log_.clear();
  window->Select(host::Selection());  // no longer listened to
  EXPECT_TRUE(log_.empty());
}

// A command sent to the host runs on its request's thread with the request's own
// explorer, while the user-interface loop runs on another: the add-in keeps following
// its window, and closing the request's explorer shuts nothing down.
TEST_F(AddInTest, ARequestsExplorerReachesTheCoreWithoutTakingTheWindowAway) {
  auto window = explorers().Add(Folder(host::olFolderInbox));
  window->Activate();
  std::thread::id customizedOn;
  services_.customizeToolbar = [&](host::Application& application) {
    customizedOn = std::this_thread::get_id();
    log_.push_back("customize@" + application.ActiveExplorer()->Caption());
  };
  auto addIn = QVAddIn::Create(services_);
  addIn->OnConnection(*box_.application, host::ext_cm_AfterStartup);
  auto sentFolder = Folder(host::olFolderSentMail);
  auto sent = *sentFolder->MAPIOBJECT();
  std::vector<std::shared_ptr<host::MailItem>> items;
  for (const char* subject : {"one", "two"}) {
    auto id = MessageBuilder().Subject(subject).DeliverTo(*sent);
    items.push_back(*box_.nameSpace->GetItemFromID(id->ToHex(), ""));
  }
  log_.clear();

  std::thread::id uiThread;
  {
    quorvel::testing::LoopThread ui(box_.application->loop());
    ASSERT_TRUE(ui.running());
    uiThread = ui.id();
    std::vector<std::shared_ptr<host::AddIn>> addIns = {addIn};
    struct Case {
      int id;
      bool withSelection;
      const char* call;
    } cases[] = {
        {kCmdGoodEmail, true, "MarkAsGood@Sent Items#2"},
        {kCmdJunkEmail, true, "MarkAsJunk@Sent Items#2"},
        {kCmdTestMessage, true, "TestMessage@Sent Items#2"},
        {kCmdCheckFolder, false, "CheckFolder@Sent Items"},
        {kCmdEmptySpamFolder, false, "DeleteSpam"},
        {kCmdOptions, false, "ShowOptions"},
        {kCmdEmailToSupport, false, "EmailToSupport"},
        {kCmdCustomizeToolbar, false, "customize@Inbox"},  // the window's toolbar
    };
    for (const Case& c : cases) {
      log_.clear();
      host::Selection selection(c.withSelection ? items
                                                : std::vector<std::shared_ptr<host::MailItem>>{});
      host::Outcome clicked =
          host::ClickForRequest(*box_.application, addIns, c.id, sentFolder, selection);
      EXPECT_TRUE(clicked.ok()) << c.id << ": " << clicked.message;
      EXPECT_THAT(log_, ElementsAre(c.call)) << c.id;
    }
    EXPECT_EQ(host::ClickForRequest(*box_.application, addIns, kCmdUnused, sentFolder, {}).code,
              host::OutcomeCode::kRefused);
    EXPECT_TRUE(host::ClickForRequest(*box_.application, addIns, kCmdHelp, sentFolder, {}).ok());
  }

  // Asked on the request's thread, whose presenter is its client's.
  EXPECT_NE(customizedOn, uiThread);
  EXPECT_THAT(ui_.texts(), ::testing::Contains("file:///usr/share/quorvel/quorvel.html"));
  EXPECT_EQ(addIn->startState(), 1);
  EXPECT_EQ(addIn->explorer(), window.get());
  EXPECT_EQ(box_.application->ActiveExplorer(), window);
  EXPECT_NE(addIn->core(), nullptr);  // each case saw only its command: no shutdown
  // The window still drives the add-in.
  log_.clear();
  window->Select(host::Selection());
  EXPECT_THAT(log_, ElementsAre("selectionChanged"));
}

}  // namespace
}  // namespace quorvel::outlook
