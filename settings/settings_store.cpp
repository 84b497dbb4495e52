#include "settings/settings_store.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "settings/setting_bindings.h"

namespace quorvel {
namespace {

using platform::RegRoot;
using platform::RegValue;

constexpr RegRoot kRoot = RegRoot::kCurrentUser;
constexpr std::string_view kSpillFolder = "Settings";

// Collects the failures of one load or save.
class Failures {
 public:
  explicit Failures(std::string* out, SettingsLoadIssues* issues = nullptr)
      : out_(out), issues_(issues) {}
  void Add(std::string_view valueName, std::string_view what) {
    ok_ = false;
    if (issues_ != nullptr) {
      issues_->unloaded.emplace_back(valueName);
      issues_->problems.emplace_back(what);
    }
    if (out_ == nullptr) return;
    if (!out_->empty()) out_->append("; ");
    out_->append(valueName).append(": ").append(what);
  }
  bool Ok() const { return ok_; }

 private:
  std::string* out_;
  SettingsLoadIssues* issues_;
  bool ok_ = true;
};

std::string TypeName(std::uint32_t type) {
  switch (type) {
    case platform::REG_NONE:
      return "REG_NONE";
    case platform::REG_SZ:
      return "REG_SZ";
    case platform::REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case platform::REG_BINARY:
      return "REG_BINARY";
    case platform::REG_DWORD:
      return "REG_DWORD";
    case platform::REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    default:
      return "type " + std::to_string(type);
  }
}

// "" when `v` has the type a binding stores, else what is wrong with it.
std::string WrongType(const RegValue& v, std::uint32_t expected, std::string_view what) {
  if (v.type == expected) return {};
  return "a " + TypeName(v.type) + " value where " + std::string(what) + " (" + TypeName(expected) +
         ") is stored";
}

// Each reader returns "" or what was wrong with the value, which then leaves the field
// as it is; a value that does not exist is no failure.
std::string ReadDword(platform::Registry& registry, const SettingBinding& b, UserSettings& s) {
  RegValue v;
  if (registry.QueryValue(kRoot, kSettingsKey, b.valueName, &v) != platform::ERROR_SUCCESS) {
    return {};
  }
  if (std::string wrong = WrongType(v, platform::REG_DWORD, "a number"); !wrong.empty()) {
    return wrong;
  }
  if (v.data.size() != 4) return "a number of " + std::to_string(v.data.size()) + " bytes";
  s.*b.dword = std::uint32_t{v.data[0]} | std::uint32_t{v.data[1]} << 8 |
               std::uint32_t{v.data[2]} << 16 | std::uint32_t{v.data[3]} << 24;
  return {};
}

std::string ReadWide(platform::Registry& registry, const SettingBinding& b, UserSettings& s) {
  RegValue v;
  if (registry.QueryValue(kRoot, kSettingsKey, b.valueName, &v) != platform::ERROR_SUCCESS) {
    return {};
  }
  if (std::string wrong = WrongType(v, platform::REG_SZ, "a text"); !wrong.empty()) return wrong;
  if (v.data.empty()) return {};
  std::string_view ansi(reinterpret_cast<const char*>(v.data.data()), v.data.size());
  // The text ends at its terminating zero (or at the end of the data if it has none).
  ansi = ansi.substr(0, ansi.find('\0'));
  s.*b.wide = platform::AnsiToWide(ansi);
  return {};
}

// Writes one list image: below the threshold as a REG_BINARY value (removing a spill
// file left from an earlier, larger image); from the threshold up, or when the
// registry refuses the value, as the spill file. Returns the failure, or empty.
std::string WriteImageValue(platform::Registry& registry, platform::FileSystem& files,
                            std::string_view valueName, const std::string& image,
                            const std::string& spillPath) {
  std::string registryFailure;
  if (image.size() < kSpillThreshold) {
    long rc =
        registry.SetValue(kRoot, kSettingsKey, valueName,
                          RegValue::Binary(std::vector<std::uint8_t>(image.begin(), image.end())));
    if (rc == platform::ERROR_SUCCESS) {
      if (spillPath.empty() || !files.Exists(spillPath)) return {};
      // A spill file that stays would win over the new value at the next load.
      if (platform::FileStatus status = files.Remove(spillPath); !status.ok()) {
        return "cannot remove the old spill file: " + status.message();
      }
      files.Remove(platform::FolderOfPath(spillPath));  // fails while others remain
      return {};
    }
    registryFailure = "registry error " + std::to_string(rc) + " " + registry.LastError() + "; ";
  }
  if (spillPath.empty()) return registryFailure + "no data folder for the spill file";
  platform::FileStatus status = files.CreateFolders(platform::FolderOfPath(spillPath));
  if (status.ok()) status = files.WriteFileAtomic(spillPath, image);
  if (!status.ok()) return registryFailure + status.message();
  return {};
}

}  // namespace

SettingsStore::SettingsStore(platform::Registry& registry, std::string dataFolder,
                             const platform::Clock& clock, platform::FileSystem& files)
    : registry_(registry), dataFolder_(std::move(dataFolder)), clock_(clock), files_(files) {}

std::string SettingsStore::SpillPath(std::string_view valueName) const {
  if (dataFolder_.empty()) return {};
  std::string path = dataFolder_;
  if (path.back() != '/') path.push_back('/');
  path.append(kSpillFolder).push_back('/');
  path.append(valueName);
  return path;
}

bool SettingsStore::Load(UserSettings* settings, std::string* error,
                         SettingsLoadIssues* issues) const {
  if (error != nullptr) error->clear();
  SettingsLoadIssues ignored;
  if (issues == nullptr) issues = &ignored;
  *issues = SettingsLoadIssues{};
  std::vector<std::string> names;
  const long rc = registry_.EnumValues(kRoot, kSettingsKey, &names);
  if (rc != platform::ERROR_SUCCESS) {
    issues->keyMissing = rc == platform::ERROR_FILE_NOT_FOUND;
    issues->registryDamaged = rc == platform::ERROR_BADDB;
    if (!issues->keyMissing) {
      for (const SettingBinding& b : SettingBindings()) {
        if (b.TakesPartInRegistry()) issues->unloaded.emplace_back(b.valueName);
      }
    }
    if (error != nullptr) {
      *error = issues->keyMissing ? "no settings key" : "cannot read the settings";
      if (std::string why = registry_.LastError(); !why.empty()) *error += ": " + why;
    }
    return false;
  }
  Failures failures(error, issues);
  const platform::FileTime now = clock_.Now();
  for (const SettingBinding& b : SettingBindings()) {
    if (!b.TakesPartInRegistry()) continue;
    // A failure in one value (damaged image, unreadable file, memory) is contained to
    // that value: it keeps its previous content and the others are still read.
    try {
      switch (b.kind) {
        case BindingKind::kDword:
          if (std::string why = ReadDword(registry_, b, *settings); !why.empty()) {
            failures.Add(b.valueName, why);
          }
          break;
        case BindingKind::kWideString:
          if (std::string why = ReadWide(registry_, b, *settings); !why.empty()) {
            failures.Add(b.valueName, why);
          }
          break;
        default: {
          std::string image;
          bool haveImage = false;
          bool fromSpill = false;
          const std::string path = SpillPath(b.valueName);
          platform::FileInfo info;
          if (!path.empty()) {
            if (const platform::FileStatus stat = files_.Stat(path, &info); !stat.ok()) {
              failures.Add(b.valueName, "cannot read spill file: " + stat.message());
              break;
            }
          }
          if (!path.empty() && info.kind == platform::FileKind::kFile) {
            if (info.size > kMaxSpillFileBytes) {
              failures.Add(b.valueName, "spill file \"" + path + "\" too large");
              break;
            }
            if (const platform::FileStatus read = files_.ReadFile(path, &image); !read.ok()) {
              failures.Add(b.valueName, "cannot read spill file: " + read.message());
              break;
            }
            haveImage = true;
            fromSpill = true;
          }
          if (!haveImage) {
            RegValue v;
            if (registry_.QueryValue(kRoot, kSettingsKey, b.valueName, &v) ==
                platform::ERROR_SUCCESS) {
              if (std::string wrong = WrongType(v, platform::REG_BINARY, "a list");
                  !wrong.empty()) {
                failures.Add(b.valueName, wrong);
                break;
              }
              image.assign(v.data.begin(), v.data.end());
              haveImage = true;
            }
          }
          if (!haveImage) break;
          ArchiveStatus status = b.ReadImage(*settings, image, now);
          if (!status.Ok()) {
            failures.Add(b.valueName,
                         fromSpill ? "spill file \"" + path + "\": " + status.error : status.error);
          }
          break;
        }
      }
    } catch (const std::exception& e) {
      failures.Add(b.valueName, e.what());
    }
  }
  return failures.Ok();
}

bool SettingsStore::Save(UserSettings* settings, std::string* error,
                         const SettingsLoadIssues* leaveAlone,
                         const UserSettings* unchangedSince) const {
  if (error != nullptr) error->clear();
  // The whole save under the settings lock (re-entrant: a command that holds it for
  // its whole run keeps it), so no other save interleaves with its values and files.
  std::unique_ptr<platform::ProcessLock> hold;
  if (registry_.HoldRoot(kRoot, &hold) != platform::ERROR_SUCCESS) {
    if (error != nullptr) *error = "cannot lock the settings: " + registry_.LastError();
    return false;
  }
  const platform::FileTime now = clock_.Now();
  settings->sentSubjs.Prune(now);
  settings->sentFromNames.Prune(now > kSentFromNamesKeep ? now - kSentFromNamesKeep : 0);

  // Every value that goes into the registry, set in one change (one write of its
  // file); images too large for it go to their spill files first.
  Failures failures(error);
  // A copy: writing an image needs a record of its own.
  std::optional<UserSettings> before;
  if (unchangedSince != nullptr) before = *unchangedSince;
  platform::Registry::NamedValues values;
  std::vector<std::string> spillsToRemove;
  for (const SettingBinding& b : SettingBindings()) {
    if (!b.TakesPartInRegistry()) continue;
    if (leaveAlone != nullptr && std::find(leaveAlone->unloaded.begin(), leaveAlone->unloaded.end(),
                                           b.valueName) != leaveAlone->unloaded.end()) {
      continue;
    }
    try {
      if (before && b.SameIn(*settings, *before)) continue;
      switch (b.kind) {
        case BindingKind::kDword:
          values.emplace_back(b.valueName, RegValue::Dword(settings->*b.dword));
          break;
        case BindingKind::kWideString:
          values.emplace_back(b.valueName,
                              RegValue::String(platform::WideToAnsi(settings->*b.wide)));
          break;
        default: {
          const std::string image = b.WriteImage(*settings);
          const std::string spill = SpillPath(b.valueName);
          if (image.size() < kSpillThreshold) {
            values.emplace_back(b.valueName, RegValue::Binary(std::vector<std::uint8_t>(
                                                 image.begin(), image.end())));
            if (!spill.empty()) spillsToRemove.push_back(spill);
          } else if (std::string why =
                         WriteImageValue(registry_, files_, b.valueName, image, spill);
                     !why.empty()) {
            failures.Add(b.valueName, why);
          }
          break;
        }
      }
    } catch (const std::exception& e) {
      failures.Add(b.valueName, e.what());
    }
  }
  if (registry_.SetValues(kRoot, kSettingsKey, values) != platform::ERROR_SUCCESS) {
    // Value by value, so that each failure is named and a refused image still goes to
    // its spill file.
    if (registry_.CreateKey(kRoot, kSettingsKey) != platform::ERROR_SUCCESS) {
      if (error != nullptr) *error = "cannot create the settings key: " + registry_.LastError();
      return false;
    }
    for (const auto& [name, value] : values) {
      if (value.type == platform::REG_BINARY) {
        if (std::string failed =
                WriteImageValue(registry_, files_, name,
                                std::string(value.data.begin(), value.data.end()), SpillPath(name));
            !failed.empty()) {
          failures.Add(name, failed);
        }
        continue;
      }
      if (const long rc = registry_.SetValue(kRoot, kSettingsKey, name, value);
          rc != platform::ERROR_SUCCESS) {
        failures.Add(name, "registry error " + std::to_string(rc) + " " + registry_.LastError());
      }
    }
    return failures.Ok();
  }
  // A spill file left from an earlier, larger image would win over the new value at
  // the next load.
  for (const std::string& spill : spillsToRemove) {
    if (!files_.Exists(spill)) continue;
    if (platform::FileStatus status = files_.Remove(spill); !status.ok()) {
      failures.Add(spill.substr(spill.rfind('/') + 1),
                   "cannot remove the old spill file: " + status.message());
      continue;
    }
    files_.Remove(platform::FolderOfPath(spill));  // fails while others remain
  }
  return failures.Ok();
}

}  // namespace quorvel
