#include "app/host_setup.h"

#include "outlook/add_in.h"
#include "outlook/registration.h"
#include "platform/files.h"
#include "platform/special_folders.h"
#include "settings/data_folder.h"

namespace quorvel::app {

host::AddInFactories ProgramAddIns() {
  host::AddInFactories factories;
  factories.addIns[outlook::kAddInClsid] = [] {
    outlook::AddInServices services;
    services.helpPath = DefaultDataFolders().ModuleFolder() + "/quorvel.html";
    // The core object comes with new-mail filtering; until then the add-in's start
    // finds no core and the add-in disconnects itself again.
    return outlook::QVAddIn::Create(std::move(services));
  };
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
