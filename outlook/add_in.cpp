#include "outlook/add_in.h"

#include "crash/reporter.h"
#include "platform/message_box.h"
#include "platform/string_table.h"

namespace quorvel::outlook {
namespace {

constexpr const char* kTitle = "Quorvel";

// The command table: what each identifier runs on the core.
struct CommandEntry {
  int id;
  HRESULT (*run)(IQuorvel2& core, host::Explorer* explorer);
};
constexpr CommandEntry kCoreCommands[] = {
    {kCmdGoodEmail, [](IQuorvel2& c, host::Explorer* e) { return c.MarkAsGood(e); }},
    {kCmdJunkEmail, [](IQuorvel2& c, host::Explorer* e) { return c.MarkAsJunk(e); }},
    {kCmdTestMessage, [](IQuorvel2& c, host::Explorer* e) { return c.TestMessage(e); }},
    {kCmdCheckFolder, [](IQuorvel2& c, host::Explorer* e) { return c.CheckFolder(e); }},
    {kCmdEmptySpamFolder, [](IQuorvel2& c, host::Explorer*) { return c.DeleteSpam(); }},
    {kCmdOptions, [](IQuorvel2& c, host::Explorer*) { return c.ShowOptions(); }},
    {kCmdEmailToSupport, [](IQuorvel2& c, host::Explorer*) { return c.EmailToSupport(); }},
    {kCmdGoodEmailDomain,
     [](IQuorvel2& c, host::Explorer* e) { return c.MarkAsGoodWithDomain(e); }},
    {kCmdFirstRunWizard,
     [](IQuorvel2& c, host::Explorer*) {
       auto* wizard = dynamic_cast<OnDemandWizard*>(&c);
       return wizard ? wizard->RunWizardOnDemand() : mapi::MAPI_E_NO_SUPPORT;
     }},
};

}  // namespace

// Forwards a window's events to the add-in while it lives.
class QVAddIn::ExplorerSink final : public host::ExplorerEvents {
 public:
  explicit ExplorerSink(std::weak_ptr<QVAddIn> addIn) : addIn_(std::move(addIn)) {}
  void Activate() override {
    if (auto a = addIn_.lock()) a->Activated();
  }
  void SelectionChange() override {
    if (auto a = addIn_.lock()) a->SelectionChanged();
  }
  void Close() override {
    if (auto a = addIn_.lock()) a->Closed();
  }

 private:
  std::weak_ptr<QVAddIn> addIn_;
};

class QVAddIn::ExplorersSink final : public host::ExplorersEvents {
 public:
  explicit ExplorersSink(std::weak_ptr<QVAddIn> addIn) : addIn_(std::move(addIn)) {}
  void NewExplorer(const std::shared_ptr<host::Explorer>& explorer) override {
    if (auto a = addIn_.lock()) a->NewExplorer(explorer);
  }

 private:
  std::weak_ptr<QVAddIn> addIn_;
};

QVAddIn::QVAddIn(AddInServices services) : services_(std::move(services)) {}

std::shared_ptr<QVAddIn> QVAddIn::Create(AddInServices services) {
  return std::shared_ptr<QVAddIn>(new QVAddIn(std::move(services)));
}

QVAddIn::~QVAddIn() = default;

HRESULT QVAddIn::OnConnection(host::Application& application, int connectMode) {
  {
    std::lock_guard lock(mutex_);
    application_ = &application;
  }
  host::Explorers* explorers = application.Explorers();
  if (explorers == nullptr) {
    application.Presenter().Show("No explorers collection found.", kTitle,
                                 platform::MB_OK | platform::MB_ICONERROR);
    return mapi::S_OK;
  }
  std::shared_ptr<host::Explorer> explorer = application.ActiveExplorer();
  if (!explorer && explorers->Count() >= 1) explorer = explorers->Item(1);
  if (explorer) {
    explorer_ = explorer;
    if (connectMode == host::ext_cm_AfterStartup) OnStartupComplete();
    return mapi::S_OK;
  }
  // No window yet: the start waits until a new one is activated.
  explorersConnection_ = explorers->Advise(std::make_shared<ExplorersSink>(weak_from_this()));
  return mapi::S_OK;
}

HRESULT QVAddIn::OnStartupComplete() {
  if (!Start()) OnDisconnection(host::ext_dm_HostShutdown);
  return mapi::S_OK;
}

HRESULT QVAddIn::OnDisconnection(int) {
  Shutdown();
  startState_ = 0;
  return mapi::S_OK;
}

bool QVAddIn::Start() {
  if (startState_ >= 1) return true;
  if (application_ == nullptr) return false;
  std::shared_ptr<host::Explorer> active = application_->ActiveExplorer();
  if (!active) active = explorer_;
  if (!active) return false;
  const bool firstStart = core_ == nullptr;
  if (firstStart) {
    if (!services_.createCore) return false;
    std::shared_ptr<IQuorvel2> core = services_.createCore();
    if (!core) return false;
    {
      std::lock_guard lock(mutex_);
      core_ = std::move(core);
    }
    // A failed Initialize has shown its own message; the core stays, with its
    // commands doing nothing, until the disconnection shuts it down.
    core_->Initialize(application_);
  }
  if (startState_ == -1 || explorerConnection_ != 0) StopListening();
  startState_ = 1;
  Listen(active);
  if (services_.buildCommandBars) {
    services_.buildCommandBars(*active, [weak = weak_from_this()](int id) {
      if (auto addIn = weak.lock()) addIn->OnCommand(id);
    });
  }
  if (firstStart) {
    core_->InitialWizard();
    if (!services_.wizardPending || !services_.wizardPending()) core_->PostStartupActions();
  }
  return true;
}

void QVAddIn::Shutdown() {
  if (explorer_ && services_.releaseCommandBars) services_.releaseCommandBars(*explorer_);
  StopListening();
  if (application_ && explorersConnection_ != 0 && application_->Explorers()) {
    application_->Explorers()->Unadvise(explorersConnection_);
  }
  explorersConnection_ = 0;
  explorer_.reset();
  std::shared_ptr<IQuorvel2> core;
  {
    std::lock_guard lock(mutex_);
    application_ = nullptr;
    core = std::move(core_);
  }
  if (core) core->Shutdown();
}

void QVAddIn::Listen(const std::shared_ptr<host::Explorer>& explorer) {
  explorer_ = explorer;
  explorerConnection_ = explorer->Advise(std::make_shared<ExplorerSink>(weak_from_this()));
}

void QVAddIn::StopListening() {
  if (explorer_ && explorerConnection_ != 0) explorer_->Unadvise(explorerConnection_);
  explorerConnection_ = 0;
}

void QVAddIn::NewExplorer(const std::shared_ptr<host::Explorer>& explorer) {
  StopListening();
  startState_ = -1;
  Listen(explorer);
}

void QVAddIn::Activated() {
  if (startState_ < 1 && !Start()) OnDisconnection(host::ext_dm_HostShutdown);
}

void QVAddIn::SelectionChanged() {
  if (services_.selectionChanged) services_.selectionChanged();
}

void QVAddIn::Closed() {
  if (services_.disableExceptionReports) services_.disableExceptionReports();
  // The window the add-in followed closed. While other windows stay open the add-in
  // follows the one in front; the last window closing disconnects it.
  std::shared_ptr<host::Explorer> closing = explorer_;
  host::Explorers* explorers = application_ ? application_->Explorers() : nullptr;
  std::shared_ptr<host::Explorer> next;
  if (explorers) {
    next = explorers->ActiveExplorer();
    for (int i = explorers->Count(); !next && i >= 1; --i) {
      if (explorers->Item(i) != closing) next = explorers->Item(i);
    }
    if (next == closing) next.reset();
  }
  if (!next) {
    OnDisconnection(host::ext_dm_HostShutdown);
    return;
  }
  if (services_.releaseCommandBars) services_.releaseCommandBars(*closing);
  StopListening();
  Listen(next);
  if (startState_ == -1) startState_ = core_ ? 1 : -1;
}

void QVAddIn::WaitUntilIdle() {
  if (auto* pending = dynamic_cast<PendingWork*>(core_.get())) pending->WaitUntilIdle();
}

bool QVAddIn::WaitUntilIdleFor(std::chrono::milliseconds limit) {
  auto* pending = dynamic_cast<PendingWork*>(core_.get());
  return pending == nullptr || pending->WaitUntilIdleFor(limit);
}

bool QVAddIn::OnCommand(int id) {
  std::shared_ptr<host::Explorer> active = application_ ? application_->ActiveExplorer() : nullptr;
  return RunCommand(id, active.get(), /*request=*/false);
}

bool QVAddIn::OnRequestCommand(int id, host::Explorer& explorer) {
  return RunCommand(id, &explorer, /*request=*/true);
}

bool QVAddIn::RunCommand(int id, host::Explorer* explorer, bool request) {
  crash::OwnCodeScope ownCode;  // a fault from here on is reported
  std::shared_ptr<IQuorvel2> core;
  host::Application* application;
  {
    std::lock_guard lock(mutex_);
    core = core_;
    application = application_;
  }
  if (id == kCmdHelp) {
    // The user's manual with the desktop's handler; where none opens it, its path.
    if (application && !application->Presenter().OpenUrl("file://" + services_.helpPath)) {
      application->Presenter().Notify(std::string(platform::kProductName),
                                      "The user's manual is " + services_.helpPath);
    }
    return true;
  }
  if (id == kCmdCustomizeToolbar) {
    // The toolbar is a window's: a request's explorer has none, so the dialog acts on
    // the window in front. It is asked on this thread (a request's asks its client);
    // the window is changed on the user-interface thread.
    if (services_.customizeToolbar && application) services_.customizeToolbar(*application);
    return true;
  }
  for (const CommandEntry& entry : kCoreCommands) {
    if (entry.id != id) continue;
    // A click on a window of an add-in that did not start does nothing, as it always
    // did; a request is told that no add-in has the command, rather than that it ran.
    if (!core) return !request;
    entry.run(*core, explorer);
    return true;
  }
  return false;
}

}  // namespace quorvel::outlook
