#include "outlook/add_in_process.h"

#include "bayes/mailbase_seed.h"
#include "outlook/client_extension.h"

namespace quorvel::outlook {

AddInProcess::AddInProcess(AddInEnvironment environment)
    : env_(std::move(environment)),
      mailbase_(env_.messageBoxes),
      queue_(env_.clock, settings_),
      recorder_(settings_, env_.clock) {}

bool AddInProcess::LoadSettings() {
  std::string error;
  SettingsLoadIssues issues;
  const bool loaded = settings_.LoadLive(settingsStore(), &error, &issues);
  std::lock_guard<std::mutex> lock(mutex_);
  settingsLoaded_ = true;
  settingsIssues_ = std::move(issues);
  settingsError_ = loaded ? std::string() : std::move(error);
  return loaded || settingsIssues_.keyMissing;
}

void AddInProcess::EnsureSettingsLoaded() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (settingsLoaded_) return;
  }
  LoadSettings();
}

SettingsLoadIssues AddInProcess::settingsIssues() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return settingsIssues_;
}

std::string AddInProcess::settingsError() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return settingsError_;
}

bool AddInProcess::SaveSettings(std::string* error) const {
  const SettingsLoadIssues issues = settingsIssues();
  return settings_.SaveCopy(settingsStore(), error, &issues);
}

bool AddInProcess::OpenMailbase(std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!mailbaseOpened_) {
    mailbaseOpened_ = true;
    unsaved_.Settle();
    mailbase_.store().SetSavingListener(
        [this](std::string_view raw) { return unsaved_.Saving(raw); });
    mailbase_.store().SetSavedListener([this] { unsaved_.Saved(); });
    mailbaseOpenedOk_ =
        OpenUserMailbase(mailbase_, env_.dataFolder, env_.moduleFolder, &mailbaseError_);
  }
  if (!mailbaseOpenedOk_ && error) *error = mailbaseError_;
  return mailbaseOpenedOk_;
}

std::shared_ptr<host::ClientExtension> AddInProcess::QVExcHookEntryPoint() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!extension_) {
    extension_ = std::make_shared<QVClientExtension>(queue_, recorder_, env_.messageBoxes);
  }
  return extension_;
}

}  // namespace quorvel::outlook
