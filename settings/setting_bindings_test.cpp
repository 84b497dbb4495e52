#include "settings/setting_bindings.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"

namespace quorvel {
namespace {

TEST(SettingBindingsTest, OrderedByValueNameWithoutRegardToCase) {
  auto bindings = SettingBindings();
  ASSERT_EQ(bindings.size(), 32u);  // 30 stored values and the two mail base files
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

}  // namespace
}  // namespace quorvel
