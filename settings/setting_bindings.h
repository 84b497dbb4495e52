// The table of setting bindings: one per registry value of the settings record,
// ordered by value name with the case-insensitive comparison, so that load and save
// always visit the values in the same order ("AutoAddToWhiteList" first,
// "WhiteListWildcards" last).
//
// Each binding names its value, its kind and the field it serves. The kind decides
// the four operations: whether the binding takes part in registry load and save;
// its stored image (lists and the spam folder map); reading from the registry; and
// writing to it. The two mail base bindings stand in the table only to name their
// files, which the mail base itself reads and writes; they decline registry load
// and save.
//
// The table is constant data; safe to read from any thread.
#ifndef QUORVEL_SETTINGS_SETTING_BINDINGS_H_
#define QUORVEL_SETTINGS_SETTING_BINDINGS_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "lists/archive.h"
#include "platform/clock.h"
#include "settings/user_settings.h"

namespace quorvel {

enum class BindingKind {
  kDword,          // flag or number: REG_DWORD, 4 bytes
  kWideString,     // REG_SZ holding ANSI text, converted to and from a wide string
  kContactList,    // REG_BINARY image or spill file
  kStringSet,      // REG_BINARY image or spill file
  kSpamFolderMap,  // REG_BINARY image or spill file
  kMailBase,       // files of the mail base; no registry value
};

struct SettingBinding {
  std::string_view valueName;
  BindingKind kind;
  // The field served; only the member that matches `kind` is set.
  std::uint32_t UserSettings::*dword = nullptr;
  std::u16string UserSettings::*wide = nullptr;
  ContactList UserSettings::*contacts = nullptr;
  StringSet UserSettings::*strings = nullptr;
  // Mail base bindings: the file and its temporary twin, in the module folder.
  std::string_view file = {};
  std::string_view tempFile = {};

  // False for the mail base bindings.
  bool TakesPartInRegistry() const { return kind != BindingKind::kMailBase; }
  // Lists, string sets and the spam folder map are stored as images.
  bool IsImage() const;

  // The stored image of the field (only for IsImage()).
  std::string WriteImage(UserSettings& settings) const;
  // Replaces the field from `image`; on damage the field is left as it was.
  ArchiveStatus ReadImage(UserSettings& settings, std::string_view image,
                          platform::FileTime loadTime) const;

  // Whether the field holds the same value in both records (images compared).
  bool SameIn(UserSettings& x, UserSettings& y) const;
  // Gives `to` the field's value in `from`.
  void CopyField(UserSettings& from, UserSettings& to, platform::FileTime loadTime) const;
};

// Every binding, in value-name order.
std::span<const SettingBinding> SettingBindings();

}  // namespace quorvel

#endif  // QUORVEL_SETTINGS_SETTING_BINDINGS_H_
