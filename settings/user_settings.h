// The user's settings record: every option, the three sender lists with their
// pattern lists, the two custom dictionaries, the spam folder reference and the two
// bookkeeping lists of sent mail.
//
// A UserSettings is a plain value: copying it copies every list. The one live record
// of the process belongs to a SettingsHolder (settings_holder.h) and is read and
// written only under its lock; everything else works on copies. SettingsStore
// (settings_store.h) loads a record from and saves it to the registry.
//
// Flags and the page index are 32-bit unsigned values as stored; a flag is set when
// it is not 0.
#ifndef QUORVEL_SETTINGS_USER_SETTINGS_H_
#define QUORVEL_SETTINGS_USER_SETTINGS_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "lists/contact_list.h"
#include "lists/string_set.h"
#include "platform/code_page.h"

namespace quorvel {

// Where spam goes: the folder's entry identifier (hexadecimal text) and its
// friendly path ("Personal Folders -> Inbox -> Spam").
struct SpamFolderRef {
  std::u16string entryId;
  std::u16string friendlyName;

  bool operator==(const SpamFolderRef&) const = default;
};

// Spam folder per mail profile, keyed by the profile's display name (compared
// case-insensitively in the ANSI code page).
using SpamFolderMap = std::map<std::string, SpamFolderRef, platform::LessNoCase>;

struct UserSettings {
  std::uint32_t markSpamAsRead = 0;       // MarkSpamAsRead
  std::uint32_t trayNotification = 1;     // TrayNotification
  std::uint32_t showWizard = 1;           // ShowWizard
  std::uint32_t respectOutlookRules = 1;  // RespectOutlookRules
  SpamFolderMap spamFolders;              // SF
  std::u16string spamFolderId;            // SpamFolderID: used when profileKey is empty
  std::u16string spamFolderFriendlyName;  // SpamFolderFriendlyName
  std::string profileKey;                 // not stored; set by the core at start

  ContactList safeRecipients;         // SafeRecipients
  StringSet safeRecipientsWildcards;  // SafeRecipientsWildcards
  ContactList whiteList;              // WhiteList
  StringSet whiteListWildcards;       // WhiteListWildcards

  std::uint32_t goodAddWhiteList = 1;        // GoodAddWhiteList
  std::uint32_t goodAddDomainWhiteList = 0;  // GoodAddDomainWhiteList
  std::uint32_t goodMoveInbox = 1;           // GoodMoveInbox
  std::uint32_t goodApplyToAll = 1;          // GoodApplyToAll
  std::uint32_t goodDoNotShowAnymore = 0;    // GoodDoNotShowAnymore
  std::uint32_t autoAddToWhiteList = 1;      // AutoAddToWhiteList
  std::uint32_t checkExternalImages = 1;     // CheckExternalImages

  ContactList blackList;         // BlackList
  StringSet blackListWildcards;  // BlackListWildcards

  std::uint32_t junkAddBlackList = 0;      // JunkAddBlackList
  std::uint32_t junkMoveInbox = 1;         // JunkMoveInbox: move marked junk to the spam folder
  std::uint32_t junkApplyToAll = 0;        // JunkApplyToAll
  std::uint32_t junkDoNotShowAnymore = 0;  // JunkDoNotShowAnymore

  ContactList sentSubjs;           // SentSubjs: subjects of sent mail, with send time
  ContactList sentFromNames;       // SentFromNames: own display names, with send time
  StringSet customGoodDictionary;  // CustomGoodDictionary
  StringSet customSpamDictionary;  // CustomSpamDictionary

  std::uint32_t lastOptionsPage = 0;  // LastOptionsPage
  // LearnFromMoves: a message the user moves out of the spam folder is marked good, one
  // moved into it junk, as the marking commands would without their questions.
  std::uint32_t learnFromMoves = 1;

  // The spam folder of the current profile. With no profile key: the plain pair.
  // With a profile key: the map's pair for it; when the key is absent, the plain
  // pair if the map is empty, else nothing (the spam folder is not set).
  std::optional<SpamFolderRef> GetSpamFolder() const;

  // Stores the spam folder of the current profile: the plain pair when there is no
  // profile key, else the map's pair for the key (inserted or overwritten).
  void SetSpamFolder(const SpamFolderRef& ref);
};

}  // namespace quorvel

#endif  // QUORVEL_SETTINGS_USER_SETTINGS_H_
