#include "settings/setting_bindings.h"

#include <array>

#include "settings/spam_folder_image.h"

namespace quorvel {
namespace {

using S = UserSettings;

constexpr SettingBinding Dword(std::string_view name, std::uint32_t S::*field) {
  return {.valueName = name, .kind = BindingKind::kDword, .dword = field};
}
constexpr SettingBinding Wide(std::string_view name, std::u16string S::*field) {
  return {.valueName = name, .kind = BindingKind::kWideString, .wide = field};
}
constexpr SettingBinding Contacts(std::string_view name, ContactList S::*field) {
  return {.valueName = name, .kind = BindingKind::kContactList, .contacts = field};
}
constexpr SettingBinding Strings(std::string_view name, StringSet S::*field) {
  return {.valueName = name, .kind = BindingKind::kStringSet, .strings = field};
}
constexpr SettingBinding MailBase(std::string_view name, std::string_view file,
                                  std::string_view tempFile) {
  return {.valueName = name, .kind = BindingKind::kMailBase, .file = file, .tempFile = tempFile};
}

// Ordered by value name, compared case-insensitively (setting_bindings_test checks it).
const std::array kBindings = {
    Dword("AutoAddToWhiteList", &S::autoAddToWhiteList),
    MailBase("Bayes database", "Bayes.db", "Bayes.db.tmp"),
    Contacts("BlackList", &S::blackList),
    Strings("BlackListWildcards", &S::blackListWildcards),
    Dword("CheckExternalImages", &S::checkExternalImages),
    Strings("CustomGoodDictionary", &S::customGoodDictionary),
    Strings("CustomSpamDictionary", &S::customSpamDictionary),
    Dword("GoodAddDomainWhiteList", &S::goodAddDomainWhiteList),
    Dword("GoodAddWhiteList", &S::goodAddWhiteList),
    Dword("GoodApplyToAll", &S::goodApplyToAll),
    Dword("GoodDoNotShowAnymore", &S::goodDoNotShowAnymore),
    Dword("GoodMoveInbox", &S::goodMoveInbox),
    Dword("JunkAddBlackList", &S::junkAddBlackList),
    Dword("JunkApplyToAll", &S::junkApplyToAll),
    Dword("JunkDoNotShowAnymore", &S::junkDoNotShowAnymore),
    Dword("JunkMoveInbox", &S::junkMoveInbox),
    Dword("LastOptionsPage", &S::lastOptionsPage),
    Dword("LearnFromMoves", &S::learnFromMoves),
    MailBase("MailBase for Bayes", "Bayes.raw", "Bayes.raw.tmp"),
    Dword("MarkSpamAsRead", &S::markSpamAsRead),
    Dword("RespectOutlookRules", &S::respectOutlookRules),
    Contacts("SafeRecipients", &S::safeRecipients),
    Strings("SafeRecipientsWildcards", &S::safeRecipientsWildcards),
    Contacts("SentFromNames", &S::sentFromNames),
    Contacts("SentSubjs", &S::sentSubjs),
    SettingBinding{.valueName = "SF", .kind = BindingKind::kSpamFolderMap},
    Dword("ShowWizard", &S::showWizard),
    Wide("SpamFolderFriendlyName", &S::spamFolderFriendlyName),
    Wide("SpamFolderID", &S::spamFolderId),
    Dword("TrayNotification", &S::trayNotification),
    Contacts("WhiteList", &S::whiteList),
    Strings("WhiteListWildcards", &S::whiteListWildcards),
};

}  // namespace

bool SettingBinding::IsImage() const {
  return kind == BindingKind::kContactList || kind == BindingKind::kStringSet ||
         kind == BindingKind::kSpamFolderMap;
}

std::string SettingBinding::WriteImage(UserSettings& settings) const {
  switch (kind) {
    case BindingKind::kContactList:
      return quorvel::WriteImage(settings.*contacts);
    case BindingKind::kStringSet:
      return quorvel::WriteImage(settings.*strings);
    case BindingKind::kSpamFolderMap:
      return WriteSpamFolderImage(settings.spamFolders);
    default:
      return {};
  }
}

ArchiveStatus SettingBinding::ReadImage(UserSettings& settings, std::string_view image,
                                        platform::FileTime loadTime) const {
  switch (kind) {
    case BindingKind::kContactList:
      return quorvel::ReadImage(settings.*contacts, image, loadTime);
    case BindingKind::kStringSet:
      return quorvel::ReadImage(settings.*strings, image, loadTime);
    case BindingKind::kSpamFolderMap:
      return ReadSpamFolderImage(image, &settings.spamFolders);
    default:
      return ArchiveStatus{std::string(valueName) + ": not stored as an image"};
  }
}

std::span<const SettingBinding> SettingBindings() { return kBindings; }

bool SettingBinding::SameIn(UserSettings& x, UserSettings& y) const {
  switch (kind) {
    case BindingKind::kDword:
      return x.*dword == y.*dword;
    case BindingKind::kWideString:
      return x.*wide == y.*wide;
    case BindingKind::kMailBase:
      return true;
    default:
      return WriteImage(x) == WriteImage(y);
  }
}

void SettingBinding::CopyField(UserSettings& from, UserSettings& to,
                               platform::FileTime loadTime) const {
  switch (kind) {
    case BindingKind::kDword:
      to.*dword = from.*dword;
      break;
    case BindingKind::kWideString:
      to.*wide = from.*wide;
      break;
    case BindingKind::kMailBase:
      break;
    default:
      ReadImage(to, WriteImage(from), loadTime);
      break;
  }
}

}  // namespace quorvel
