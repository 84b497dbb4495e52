#include "settings/settings_holder.h"

#include <utility>

#include "settings/setting_bindings.h"

namespace quorvel {

UserSettings SettingsHolder::CopyOut() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return live_;
}

void SettingsHolder::CopyIn(const UserSettings& settings) {
  UserSettings copy = settings;  // copy the lists before taking the lock
  CopyIn(std::move(copy));
}

void SettingsHolder::CopyIn(UserSettings&& settings) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  live_ = std::move(settings);
}

std::optional<SpamFolderRef> SettingsHolder::GetSpamFolder() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return live_.GetSpamFolder();
}

void SettingsHolder::SetSpamFolder(const SpamFolderRef& ref) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  live_.SetSpamFolder(ref);
}

bool SettingsHolder::LoadLive(const SettingsStore& store, std::string* error,
                              SettingsLoadIssues* issues) {
  UserSettings copy = CopyOut();
  bool ok = store.Load(&copy, error, issues);
  UserSettings loaded = copy;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  live_ = std::move(copy);
  lastKnown_ = std::move(loaded);
  return ok;
}

bool SettingsHolder::Refresh(const SettingsStore& store, std::string* error,
                             SettingsLoadIssues* issues) {
  UserSettings disk;
  std::optional<UserSettings> before;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!lastKnown_) return LoadLive(store, error, issues);
    disk = live_;  // what does not load keeps the value held
    before = lastKnown_;
  }
  const bool ok = store.Load(&disk, error, issues);
  const platform::FileTime now = store.clock().Now();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (const SettingBinding& b : SettingBindings()) {
    if (!b.TakesPartInRegistry() || !b.SameIn(live_, *before)) continue;
    b.CopyField(disk, live_, now);
    b.CopyField(disk, *lastKnown_, now);
  }
  return ok;
}

bool SettingsHolder::SaveCopy(const SettingsStore& store, std::string* error,
                              const SettingsLoadIssues* leaveAlone) const {
  UserSettings copy;
  std::optional<UserSettings> before;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    copy = live_;
    before = lastKnown_;
  }
  const bool ok = store.Save(&copy, error, leaveAlone, before ? &*before : nullptr);
  if (ok) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    lastKnown_ = std::move(copy);
  }
  return ok;
}

}  // namespace quorvel
