#include "settings/settings_holder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/registry_file.h"
#include "platform/registry_memory.h"
#include "settings/setting_bindings.h"
#include "testing/temporary_folder.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

// Every stored value of a record, as text, in binding order.
std::vector<std::pair<std::string, std::string>> StoredForm(UserSettings s) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const SettingBinding& b : SettingBindings()) {
    std::string value;
    switch (b.kind) {
      case BindingKind::kDword:
        value = std::to_string(s.*b.dword);
        break;
      case BindingKind::kWideString:
        value = platform::WideToUtf8(s.*b.wide);
        break;
      case BindingKind::kMailBase:
        continue;
      default:
        value = b.WriteImage(s);
        break;
    }
    out.emplace_back(std::string(b.valueName), std::move(value));
  }
  return out;
}

// A record in which every stored field differs from its default.
UserSettings FullRecord(platform::FileTime now) {
  UserSettings s;
  std::uint32_t n = 10;
  for (const SettingBinding& b : SettingBindings()) {
    if (b.kind == BindingKind::kDword) s.*b.dword = n++;
  }
  s.spamFolderId = u"0000000038A1BB1005E5101AA1BB08002B2A56C2";
  s.spamFolderFriendlyName = u"Pers\u00f6nliche Ordner -> Posteingang -> Spam";
  s.spamFolders["Work"] = {u"00AB", u"Mailbox - Work -> Inbox -> Spam"};
  s.spamFolders["Home"] = {u"00CD", u"Home -> Junk"};
  s.profileKey = "Work";
  s.safeRecipients.AddAddress(MakeContact("list@lists.example"), "The List", now);
  s.safeRecipientsWildcards.Insert("*@lists.example");
  for (int i = 0; i < 4000; ++i) {  // large enough to spill into a file
    s.whiteList.AddAddress(MakeContact("friend" + std::to_string(i) + "@example.org"),
                           "Fr\xe9"
                           "d\xe9ric " +
                               std::to_string(i),
                           now);
  }
  s.whiteList.AddDomain(MakeContact("@trusted.example"));
  s.whiteList.AddAddress(MakeContact("/o=Acme/ou=Site/cn=Recipients/cn=jsmith"), "J Smith", now);
  s.whiteListWildcards.Insert("john*@example.org");
  s.blackList.AddAddress(MakeContact("spam@example.com"), "Spammer", now);
  s.blackListWildcards.Insert("*@spam.example");
  s.sentSubjs.AddDomain(MakeContact("@subjects.example"));
  s.sentFromNames.AddAddress(MakeContact("My Name"), "", now);
  s.customGoodDictionary.Insert("invoice");
  s.customSpamDictionary.Insert("viagra");
  return s;
}

class SettingsHolderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(root_.empty()); }

  quorvel::testing::TemporaryFolder folder_{"quorvel-holder"};
  std::string root_ = folder_.path();
  platform::FakeClock clock_;
};

TEST_F(SettingsHolderTest, FullRecordSurvivesSaveAndLoadThroughRegistryFiles) {
  const std::string dataFolder = root_ + "/data/Veltmark/Quorvel/";
  UserSettings full = FullRecord(clock_.Now());
  {
    platform::RegistryFile registry(root_ + "/registry");
    SettingsStore store(registry, dataFolder, clock_);
    SettingsHolder holder;
    holder.CopyIn(full);
    ASSERT_TRUE(holder.SaveCopy(store));
  }
  EXPECT_TRUE(fs::exists(dataFolder + "Settings/WhiteList"));

  // A new process: fresh registry object over the same files, fresh holder.
  platform::RegistryFile registry(root_ + "/registry");
  SettingsStore store(registry, dataFolder, clock_);
  SettingsHolder holder;
  std::string error;
  ASSERT_TRUE(holder.LoadLive(store, &error)) << error;
  UserSettings loaded = holder.CopyOut();
  EXPECT_EQ(StoredForm(loaded), StoredForm(full));
  EXPECT_TRUE(loaded.profileKey.empty());
  loaded.profileKey = "Home";
  EXPECT_EQ(loaded.GetSpamFolder(), (SpamFolderRef{u"00CD", u"Home -> Junk"}));
}

TEST_F(SettingsHolderTest, SaveCopyPrunesTheCopyAndLeavesTheLiveRecordAlone) {
  platform::RegistryMemory registry;
  SettingsStore store(registry, root_ + "/", clock_);
  SettingsHolder holder;
  holder.Lock()->sentSubjs.AddAddress(MakeContact("Lunch?"), "", clock_.Now());
  clock_.AdvanceMs(1);
  ASSERT_TRUE(holder.SaveCopy(store));
  EXPECT_EQ(holder.Lock()->sentSubjs.Count(), 1u);

  SettingsHolder other;
  other.Lock()->sentSubjs.AddDomain(MakeContact("@previous.example"));
  ASSERT_TRUE(other.LoadLive(store));
  EXPECT_TRUE(other.Lock()->sentSubjs.Empty());  // the saved copy had been pruned
}

TEST_F(SettingsHolderTest, LoadWithoutKeyKeepsTheLiveValues) {
  platform::RegistryMemory registry;
  SettingsStore store(registry, root_ + "/", clock_);
  SettingsHolder holder;
  holder.Lock()->markSpamAsRead = 1;
  EXPECT_FALSE(holder.LoadLive(store));
  EXPECT_EQ(holder.CopyOut().markSpamAsRead, 1u);
}

TEST_F(SettingsHolderTest, CopyInReplacesTheWholeRecordAndCopiesAreIndependent) {
  SettingsHolder holder;
  UserSettings copy = holder.CopyOut();
  copy.whiteList.AddAddress(MakeContact("a@example.org"), "", 1);
  copy.profileKey = "Work";
  EXPECT_TRUE(holder.Lock()->whiteList.Empty());  // an options sheet edits only its copy
  holder.CopyIn(copy);
  copy.whiteList.Clear();
  EXPECT_EQ(holder.Lock()->whiteList.Count(), 1u);
}

TEST_F(SettingsHolderTest, LockIsReentrantForTheHoldingThread) {
  SettingsHolder holder;
  auto locked = holder.Lock();
  locked->profileKey = "P";
  holder.SetSpamFolder({u"1", u"x"});  // would deadlock on a plain mutex
  EXPECT_EQ(holder.CopyOut().spamFolders.size(), 1u);
}

TEST_F(SettingsHolderTest, WritersAndSaversRunTogether) {
  platform::RegistryMemory registry;
  SettingsStore store(registry, root_ + "/", clock_);
  SettingsHolder holder;
  std::thread writer([&] {
    for (int i = 0; i < 300; ++i) {
      holder.Lock()->whiteList.AddAddress(MakeContact("u" + std::to_string(i) + "@x.example"), "",
                                          clock_.Now());
    }
  });
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(holder.SaveCopy(store));
  writer.join();
  ASSERT_TRUE(holder.SaveCopy(store));
  SettingsHolder loaded;
  ASSERT_TRUE(loaded.LoadLive(store));
  EXPECT_EQ(loaded.Lock()->whiteList.Groups().begin()->second.entries.size(), 300u);
}

}  // namespace
}  // namespace quorvel
