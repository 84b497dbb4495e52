#include "settings/user_settings.h"

namespace quorvel {

std::optional<SpamFolderRef> UserSettings::GetSpamFolder() const {
  if (!profileKey.empty()) {
    auto it = spamFolders.find(profileKey);
    if (it != spamFolders.end()) return it->second;
    // Another profile already has its own folder: this one has none yet.
    if (!spamFolders.empty()) return std::nullopt;
  }
  return SpamFolderRef{spamFolderId, spamFolderFriendlyName};
}

void UserSettings::SetSpamFolder(const SpamFolderRef& ref) {
  if (profileKey.empty()) {
    spamFolderId = ref.entryId;
    spamFolderFriendlyName = ref.friendlyName;
    return;
  }
  spamFolders.insert_or_assign(profileKey, ref);
}

}  // namespace quorvel
