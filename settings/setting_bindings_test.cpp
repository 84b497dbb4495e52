#include "settings/setting_bindings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/code_page.h"

namespace quorvel {
namespace {

TEST(SettingBindingsTest, OrderedByValueNameWithoutRegardToCase) {
  auto bindings = SettingBindings();
  ASSERT_EQ(bindings.size(), 31u);  // 29 stored values and the two mail base files
  EXPECT_EQ(bindings.front().valueName, "AutoAddToWhiteList");
  EXPECT_EQ(bindings.back().valueName, "WhiteListWildcards");
  for (std::size_t i = 1; i < bindings.size(); ++i) {
    EXPECT_LT(platform::CompareNoCase(bindings[i - 1].valueName, bindings[i].valueName), 0)
        << bindings[i - 1].valueName << " before " << bindings[i].valueName;
  }
  // "SF" sorts after "SentSubjs" and before "ShowWizard" once case is folded.
  std::string order;
  for (const SettingBinding& b : bindings) {
    if (b.valueName == "SentSubjs" || b.valueName == "SF" || b.valueName == "ShowWizard") {
      order += std::string(b.valueName) + " ";
    }
  }
  EXPECT_EQ(order, "SentSubjs SF ShowWizard ");
}

TEST(SettingBindingsTest, EachFieldIsServedByExactlyOneBindingOfItsKind) {
  std::set<std::string> names;
  int mailBase = 0;
  for (const SettingBinding& b : SettingBindings()) {
    EXPECT_TRUE(names.insert(std::string(b.valueName)).second) << b.valueName;
    switch (b.kind) {
      case BindingKind::kDword: EXPECT_NE(b.dword, nullptr) << b.valueName; break;
      case BindingKind::kWideString: EXPECT_NE(b.wide, nullptr) << b.valueName; break;
      case BindingKind::kContactList: EXPECT_NE(b.contacts, nullptr) << b.valueName; break;
      case BindingKind::kStringSet: EXPECT_NE(b.strings, nullptr) << b.valueName; break;
      case BindingKind::kSpamFolderMap: EXPECT_EQ(b.valueName, "SF"); break;
      case BindingKind::kMailBase:
        ++mailBase;
        EXPECT_FALSE(b.TakesPartInRegistry());
        EXPECT_EQ(std::string(b.file) + ".tmp", b.tempFile);
        break;
    }
  }
  EXPECT_EQ(mailBase, 2);
}

TEST(SettingBindingsTest, ImagesWriteAndReadTheirOwnField) {
  UserSettings source;
  source.blackList.AddAddress(MakeContact("spam@example.com"), "Spammer", 1);
  source.whiteListWildcards.Insert("*@friends.example");
  source.spamFolders["Work"] = {u"01", u"Work -> Spam"};
  for (const SettingBinding& b : SettingBindings()) {
    if (!b.IsImage()) continue;
    UserSettings target;
    ASSERT_TRUE(b.ReadImage(target, b.WriteImage(source), 5).Ok()) << b.valueName;
    EXPECT_EQ(b.WriteImage(target), b.WriteImage(source)) << b.valueName;
  }
  UserSettings target;
  for (const SettingBinding& b : SettingBindings()) {
    if (b.IsImage()) {
      ASSERT_TRUE(b.ReadImage(target, b.WriteImage(source), 5).Ok());
    }
  }
  EXPECT_EQ(target.blackList.Count(), 1u);
  EXPECT_TRUE(target.whiteListWildcards.Contains("*@FRIENDS.example"));
  EXPECT_EQ(target.spamFolders, source.spamFolders);
  EXPECT_TRUE(target.whiteList.Empty());
}

}  // namespace
}  // namespace quorvel
