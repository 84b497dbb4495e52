#include "app/host_setup.h"

#include <iostream>

#include "app/terminal_message_boxes.h"
#include "outlook/add_in.h"
#include "outlook/core_services.h"
#include "outlook/registration.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/registry_file.h"
#include "platform/special_folders.h"
#include "settings/data_folder.h"

namespace quorvel::app {

namespace {

// The add-in's process-wide objects, made once per process on first use and kept to
// its end (the core and the client extension share them).
std::shared_ptr<outlook::AddInProcess> ProgramProcess() {
  struct Holder {
    std::unique_ptr<platform::Registry> registry = platform::OpenDefaultRegistry();
    TerminalMessageBoxes boxes{std::cerr};
    std::shared_ptr<outlook::AddInProcess> process;
  };
  static Holder* holder = [] {
    auto* h = new Holder;
    h->process = std::make_shared<outlook::AddInProcess>(outlook::AddInEnvironment{
        *h->registry, platform::DefaultClock(), h->boxes, DefaultDataFolders().DataFolder(),
        DefaultDataFolders().ModuleFolder()});
    return h;
  }();
  return holder->process;
}

}  // namespace

host::AddInFactories ProgramAddIns() {
  host::AddInFactories factories;
  factories.addIns[outlook::kAddInClsid] = [] {
    outlook::AddInServices services;
    services.helpPath = DefaultDataFolders().ModuleFolder() + "quorvel.html";
    outlook::AttachCore(services, ProgramProcess(), [](outlook::CoreOptions& options) {
      // The tray popup of a host without a desktop: a line on its standard error.
      options.log = [](const std::string& line) { std::cerr << ("quorvel: " + line + "\n"); };
    });
    return outlook::QVAddIn::Create(std::move(services));
  };
  factories.clientExtension = [] { return outlook::ClientExtensionFactory(ProgramProcess())(); };
  return factories;
}

bool ResolveProfile(platform::Registry& registry, const std::string& requested,
                    host::Profile* profile, std::string* error) {
  host::Profiles profiles(registry);
  return profiles.Resolve(requested, profile, error);
}

std::unique_ptr<host::ProfileHost> OpenProfileHost(platform::Registry& registry,
                                                   const host::Profile& profile, ui::Ui& presenter,
                                                   bool watch, std::string* error) {
  std::string dataFolder = DefaultDataFolders().DataFolder();
  if (dataFolder.empty()) {
    *error = "no data folder: set XDG_DATA_HOME or HOME";
    return nullptr;
  }
  if (!platform::CreateDirectories(dataFolder)) {
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
  return host::ProfileHost::Open(std::move(config), error);
}

std::string ProgramPath() { return platform::DefaultSpecialFolders().ModulePath(); }

}  // namespace quorvel::app
