#include "settings/user_settings.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

const SpamFolderRef kPlain{u"0001", u"Inbox -> Spam"};
const SpamFolderRef kWork{u"00AA", u"Work -> Inbox -> Spam"};

UserSettings WithPlainFolder() {
  UserSettings s;
  s.spamFolderId = kPlain.entryId;
  s.spamFolderFriendlyName = kPlain.friendlyName;
  return s;
}

TEST(UserSettingsTest, GetSpamFolderFollowsTheProfileKey) {
  struct Case {
    const char* what;
    std::string profileKey;
    bool workInMap;
    std::optional<SpamFolderRef> expected;
  } cases[] = {
      {"no profile: the plain pair", "", true, kPlain},
      {"profile in the map", "Work", true, kWork},
      {"profile found without regard to case", "WORK", true, kWork},
      {"profile absent, map empty: the plain pair", "Home", false, kPlain},
      {"profile absent, map not empty: not set", "Home", true, std::nullopt},
  };
  for (const Case& c : cases) {
    UserSettings s = WithPlainFolder();
    s.profileKey = c.profileKey;
    if (c.workInMap) s.spamFolders["Work"] = kWork;
    EXPECT_EQ(s.GetSpamFolder(), c.expected) << c.what;
  }
}

TEST(UserSettingsTest, SetSpamFolderWritesThePairOfTheCurrentProfile) {
  UserSettings s;
  s.SetSpamFolder(kPlain);  // no profile: the plain pair
  EXPECT_EQ(s.spamFolderId, kPlain.entryId);
  EXPECT_EQ(s.spamFolderFriendlyName, kPlain.friendlyName);
  EXPECT_TRUE(s.spamFolders.empty());

  s.profileKey = "Work";
  s.SetSpamFolder(kPlain);
  s.profileKey = "work";
  s.SetSpamFolder(kWork);  // same profile, other case: overwritten, not added
  ASSERT_EQ(s.spamFolders.size(), 1u);
  EXPECT_EQ(s.spamFolders.begin()->second, kWork);
  EXPECT_EQ(s.spamFolderId, kPlain.entryId);  // the plain pair is untouched

  // Once one profile has a folder, a new profile starts without one.
  s.profileKey = "Home";
  EXPECT_EQ(s.GetSpamFolder(), std::nullopt);
  s.SetSpamFolder(kPlain);
  EXPECT_EQ(s.GetSpamFolder(), kPlain);
  EXPECT_EQ(s.spamFolders.size(), 2u);
}

}  // namespace
}  // namespace quorvel
