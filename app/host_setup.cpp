#include "app/host_setup.h"

#include <atomic>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "app/crash_setup.h"
#include "app/profile_store.h"
#include "app/terminal_message_boxes.h"
#include "app/version.h"
#include "outlook/add_in.h"
#include "outlook/core_services.h"
#include "outlook/journal_file.h"
#include "outlook/registration.h"
#include "outlook/toolbar.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/gio/desktop_notifier.h"
#include "platform/registry_file.h"
#include "platform/special_folders.h"
#include "settings/data_folder.h"

namespace quorvel::app {

namespace {

// The presenter of the job running on this thread, if any.
thread_local ui::Ui* jobPresenter = nullptr;

// The message boxes of the process-wide objects: on a job's thread, that job's
// presenter (its client); on any other thread (the worker, the rebuild, the store's
// threads) the presenter of the host open in this process, else standard error.
// mutex_ is held across a host's box, so that a host cannot close under one; a job's
// box takes no lock, so that a client that does not answer holds up only its job.
class HostBoxes final : public platform::MessageBoxes {
 public:
  void Attach(ui::Ui* presenter) {
    std::lock_guard lock(mutex_);
    presenter_ = presenter;
  }
  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override {
    if (jobPresenter != nullptr) return jobPresenter->Show(text, caption, style);
    std::lock_guard lock(mutex_);
    return presenter_ ? presenter_->Show(text, caption, style)
                      : fallback_.Show(text, caption, style);
  }

 private:
  std::recursive_mutex mutex_;
  ui::Ui* presenter_ = nullptr;  // guarded by mutex_
  TerminalMessageBoxes fallback_{std::cerr};
};

// Made once per process on first use and kept to its end (the core, the client
// extension and the commands share them).
struct ProcessHolder {
  std::unique_ptr<platform::Registry> registry = platform::OpenDefaultRegistry();
  HostBoxes boxes;
  std::shared_ptr<outlook::AddInProcess> process;
  // The verdict journal in the data folder ("quorvel log" reads it).
  std::unique_ptr<outlook::JournalFile> journal;
};

void LogLine(const std::string& line) { std::cerr << ("quorvel: " + line + "\n"); }

ProcessHolder& Holder() {
  static ProcessHolder* holder = [] {
    auto* h = new ProcessHolder;
    h->process = std::make_shared<outlook::AddInProcess>(outlook::AddInEnvironment{
        *h->registry, platform::DefaultClock(), h->boxes, DefaultDataFolders().DataFolder(),
        DefaultDataFolders().ModuleFolder()});
    h->journal = std::make_unique<outlook::JournalFile>(platform::RealFileSystem(),
                                                        DefaultDataFolders().DataFolder(), LogLine);
    return h;
  }();
  return *holder;
}

std::shared_ptr<outlook::AddInProcess> SharedProcess() { return Holder().process; }

}  // namespace

outlook::AddInProcess& ProgramProcess() { return *Holder().process; }

JobPresenterScope::JobPresenterScope(ui::Ui* presenter) : previous_(jobPresenter) {
  jobPresenter = presenter;
}

JobPresenterScope::~JobPresenterScope() { jobPresenter = previous_; }

void CloseHost::operator()(host::ProfileHost* host) const {
  Holder().boxes.Attach(nullptr);
  delete host;
  UninstallHostReporter();
}

namespace {
std::atomic<bool> wizardOnDefaults{false};
}  // namespace

void SetWizardOnDefaults(bool onDefaults) { wizardOnDefaults = onDefaults; }

host::AddInFactories ProgramAddIns() {
  host::AddInFactories factories;
  factories.addIns[outlook::kAddInClsid] = [] {
    outlook::AddInServices services;
    services.helpPath = DefaultDataFolders().ModuleFolder() + "quorvel.html";
    // The toolbar's faces come from the strip beside the program; without it the
    // buttons have none.
    std::string strip;
    platform::RealFileSystem().ReadFile(DefaultDataFolders().ModuleFolder() + "toolbar.xpm",
                                        &strip);
    outlook::AttachToolbar(services, *Holder().registry, std::move(strip));
    outlook::AttachCore(services, SharedProcess(), [](outlook::CoreOptions& options) {
      // The tray popup of a host without a desktop: a line on its standard error, and a
      // notice through the desktop's notification service when a session bus is there.
      options.log = LogLine;
      options.version = kVersion;
      options.journal = Holder().journal.get();
      options.wizardOnDefaults = wizardOnDefaults.load();
      options.desktopNotify = [](const std::string& title, const std::string& text) {
        static platform::DesktopNotifier notifier;  // one connection for the process
        notifier.Notify(title, text);
      };
    });
    return outlook::QVAddIn::Create(std::move(services));
  };
  factories.clientExtension = [] { return outlook::ClientExtensionFactory(SharedProcess())(); };
  return factories;
}

bool ResolveProfile(platform::Registry& registry, const std::string& requested,
                    host::Profile* profile, std::string* error) {
  host::Profiles profiles(registry);
  return profiles.Resolve(requested, profile, error);
}

bool RunsWithoutProfile(platform::Registry& registry, const std::string& requested) {
  if (!requested.empty()) return false;
  std::vector<host::Profile> all;
  std::string ignored;
  host::Profiles(registry).List(&all, &ignored);
  return all.empty();
}

OpenedHost OpenProfileHost(platform::Registry& registry, const host::Profile& profile,
                           ui::Ui& presenter, bool watch, std::string* error,
                           host::OutcomeCode* code, host::StoreLinks* links) {
  if (code) *code = host::OutcomeCode::kFailed;
  std::string dataFolder = DefaultDataFolders().DataFolder();
  if (dataFolder.empty()) {
    *error = "no data folder: set XDG_DATA_HOME or HOME";
    return nullptr;
  }
  if (!platform::RealFileSystem().CreateFolders(dataFolder).ok()) {
    *error = "cannot create the data folder " + dataFolder;
    return nullptr;
  }
  host::HostConfig config;
  config.profile = profile;
  config.registry = &registry;
  config.factories = ProgramAddIns();
  config.presenter = &presenter;
  config.lockPath = host::HostLockPath(dataFolder, profile.name);
  config.watch = watch;
  config.openStore = [code, links](const host::Profile& p, bool w, std::string* e) {
    return OpenProfileStore(p, w, e, code, links);
  };
  OpenedHost host(host::ProfileHost::Open(std::move(config), error).release());
  if (!host) return host;
  Holder().boxes.Attach(&host->application().Presenter());
  InstallHostReporter(dataFolder, DefaultDataFolders().ModuleFolder());
  // A report that a host of this program left when it died is offered here, to the
  // first host that has a person to ask.
  OfferWaitingReport(presenter, profile, dataFolder);
  return host;
}

std::string ProgramPath() { return platform::DefaultSpecialFolders().ModulePath(); }

}  // namespace quorvel::app
