#include "app/user_environment.h"

#include <iostream>
#include <ostream>

#include "app/terminal_ui.h"
#include "bayes/mailbase_seed.h"
#include "outlook/add_in_process.h"
#include "outlook/unsaved_markings.h"
#include "platform/file_system.h"
#include "platform/registry_file.h"
#include "platform/registry_text.h"
#include "settings/data_folder.h"
#include "settings/settings_store.h"

namespace quorvel::app {
namespace {

// One line per value that did not load: "quorvel: settings: <file>:<line>: value
// "<name>": <what>", or the registry's own error when the file does not parse.
std::string DescribeSettingsIssues(const SettingsLoadIssues& issues, const std::string& error) {
  if (issues.unloaded.empty() || issues.problems.size() != issues.unloaded.size()) {
    return "quorvel: settings: " + error +
           (issues.registryDamaged
                ? "; the settings were not loaded and are not saved until the file is "
                  "repaired or removed\n"
                : "\n");
  }
  const std::string file = platform::RegistryFile(platform::DefaultRegistryDirectory())
                               .FilePath(platform::RegRoot::kCurrentUser);
  // Only for line numbers: a file that cannot be read again gives messages without them.
  std::string text;
  platform::RealFileSystem().ReadFile(file, &text);
  std::string out;
  for (std::size_t i = 0; i < issues.unloaded.size(); ++i) {
    const int line = platform::FindValueLine(text, platform::RegRoot::kCurrentUser, kSettingsKey,
                                             issues.unloaded[i]);
    out += "quorvel: settings: " + file + (line > 0 ? ":" + std::to_string(line) : "") +
           ": value \"" + issues.unloaded[i] + "\": " + issues.problems[i] +
           " (left as it is until repaired)\n";
  }
  return out;
}

}  // namespace

// The state of a command run without a host: its own registry, settings record, mail
// base and terminal presenter.
struct UserEnvironment::Own {
  explicit Own(platform::MessageBoxes& boxes)
      : registry(platform::OpenDefaultRegistry()), mailbase(boxes) {}
  std::unique_ptr<platform::Registry> registry;
  SettingsHolder settings;
  Mailbase mailbase;
};

UserEnvironment::UserEnvironment(CommandIo& io, SettingsUse use)
    : presenter_(io.presenter), host_(io.hostProcess) {
  if (presenter_ == nullptr) {
    terminal_ = std::make_unique<TerminalUi>(std::cin, io.err, TerminalUi::ModeFor(io.yes),
                                             TerminalUi::ProgressOnTerminal());
    presenter_ = terminal_.get();
  }
  std::string error;
  bool loaded = true;
  if (host_ != nullptr) {
    // The host loaded the settings when its add-in started (or does now, when no
    // add-in is loaded), and its mail base is opened once for the whole process.
    host_->EnsureSettingsLoaded();
    if (use != SettingsUse::kRead) {
      if (use == SettingsUse::kChange) HoldSettings(host_->environment().registry, io);
      // Another process may have saved since the host loaded: its values come in,
      // unless the host changed the same ones itself.
      host_->settings().Refresh(host_->settingsStore());
    }
    settings_ = &host_->settings();
    mailbase_ = &host_->mailbase();
    dataFolder_ = host_->environment().dataFolder;
    moduleFolder_ = host_->environment().moduleFolder;
    settingsIssues_ = host_->settingsIssues();
    error = host_->settingsError();
    loaded = error.empty() && settingsIssues_.unloaded.empty() && !settingsIssues_.registryDamaged;
    std::string mailbaseError;
    if (!host_->OpenMailbase(&mailbaseError)) io.err << "quorvel: " << mailbaseError << "\n";
  } else {
    own_ = std::make_unique<Own>(*presenter_);
    settings_ = &own_->settings;
    mailbase_ = &own_->mailbase;
    dataFolder_ = DefaultDataFolders().DataFolder();
    moduleFolder_ = DefaultDataFolders().ModuleFolder();
    if (own_->registry) {
      if (use == SettingsUse::kChange) HoldSettings(*own_->registry, io);
      SettingsStore store(*own_->registry, dataFolder_, clock());
      loaded = settings_->LoadLive(store, &error, &settingsIssues_);
    }
    // A marking a stopped host left unsaved is settled before the counts are read
    // (outlook/unsaved_markings.h), as a host's process does when it opens them.
    outlook::UnsavedMarkings(platform::RealFileSystem(), dataFolder_).Settle();
    std::string mailbaseError;
    if (!OpenUserMailbase(*mailbase_, dataFolder_, moduleFolder_, &mailbaseError)) {
      io.err << "quorvel: " << mailbaseError << "\n";
    }
  }
  // A user who never saved settings has no key yet: the defaults stand. Anything
  // else that did not load is reported, value by value, with the file and line.
  if (!loaded && !settingsIssues_.keyMissing) {
    settingsProblem_ = DescribeSettingsIssues(settingsIssues_, error);
    io.err << settingsProblem_;
  }
}

UserEnvironment::~UserEnvironment() = default;

void UserEnvironment::HoldSettings(platform::Registry& registry, CommandIo& io) {
  if (registry.HoldRoot(platform::RegRoot::kCurrentUser, &settingsHold_) !=
      platform::ERROR_SUCCESS) {
    // The save says so again when it cannot take the lock either.
    io.err << "quorvel: settings: cannot lock the settings: " << registry.LastError() << "\n";
  }
}

bool UserEnvironment::SaveSettings(std::string* error) {
  if (host_ != nullptr) return host_->SaveSettings(error);
  if (!own_->registry) {
    *error = "no settings registry";
    return false;
  }
  SettingsStore store(*own_->registry, dataFolder_, clock());
  return settings_->SaveCopy(store, error, &settingsIssues_);
}

bool UserEnvironment::SettingLoaded(std::string_view valueName) const {
  for (const std::string& name : settingsIssues_.unloaded) {
    if (name == valueName) return false;
  }
  return true;
}

}  // namespace quorvel::app
