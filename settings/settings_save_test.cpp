// Saving the settings into the file registry: one write per save, every failing
// write leaving settings that load, and writers that hold the settings lock around
// their load, change and save never losing each other's changes.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/memory_file_system.h"
#include "platform/registry_file.h"
#include "settings/settings_holder.h"
#include "settings/settings_store.h"

namespace quorvel {
namespace {

using platform::MemoryFileSystem;

constexpr const char* kRegistryFile = "/reg/HKEY_CURRENT_USER.reg";

// A list whose stored image is at least `entries` addresses long.
ContactList Addresses(const std::string& domain, int entries) {
  ContactList list;
  for (int i = 0; i < entries; ++i) {
    list.AddAddress(MakeContact("user" + std::to_string(i) + "@" + domain), "", 1);
  }
  return list;
}

bool Has(const ContactList& list, const std::string& address) {
  return list.Find(MakeContact(address)).has_value();
}

class SettingsSaveTest : public ::testing::Test {
 protected:
  SettingsSaveTest() {
    files_.CreateFolders("/reg");
    files_.CreateFolders("/data");
  }
  MemoryFileSystem files_;
  platform::FakeClock clock_;
};

TEST_F(SettingsSaveTest, ASaveWritesTheRegistryFileOnceAndReadsItOnce) {
  platform::RegistryFile registry("/reg", files_);
  SettingsStore store(registry, "/data/", clock_, files_);
  UserSettings settings;
  settings.whiteList = Addresses("example.org", 50);
  ASSERT_TRUE(store.Save(&settings));

  int writes = 0;
  int reads = 0;
  files_.SetFault([&](MemoryFileSystem::Call call, const std::string& path) {
    if (path == kRegistryFile && call == MemoryFileSystem::Call::kCommit) ++writes;
    if (path == kRegistryFile && call == MemoryFileSystem::Call::kRead) ++reads;
    return 0;
  });
  // What one whole read of the file counts (an open and its pieces).
  std::string bytes;
  ASSERT_TRUE(files_.ReadFile(kRegistryFile, &bytes).ok());
  const int oneRead = reads;
  reads = 0;
  // An import's load, change and save.
  UserSettings loaded;
  ASSERT_TRUE(store.Load(&loaded));
  loaded.whiteList.AddAddress(MakeContact("new@example.net"), "", 2);
  ASSERT_TRUE(store.Save(&loaded));
  EXPECT_EQ(writes, 1);
  EXPECT_LE(reads, 2 * oneRead);  // the load's, and the save's re-read under the lock
}

TEST_F(SettingsSaveTest, EveryFailingWriteOfASaveLeavesSettingsThatLoad) {
  for (int n = 0;; ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    MemoryFileSystem files;
    files.CreateFolders("/reg");
    files.CreateFolders("/data");
    platform::RegistryFile registry("/reg", files);
    SettingsStore store(registry, "/data/", clock_, files);
    UserSettings before;
    before.whiteList = Addresses("old.org", 3);
    before.markSpamAsRead = 0;
    ASSERT_TRUE(store.Save(&before));

    // The next save spills a large Black List and changes small values.
    UserSettings after = before;
    after.whiteList.AddAddress(MakeContact("user@new.org"), "", 2);
    after.blackList = Addresses("spill.example.org", 4000);
    after.markSpamAsRead = 1;
    files.FailCall(n, ENOSPC);
    const bool saved = store.Save(&after);
    files.FailCall(-1, 0);

    UserSettings loaded;
    SettingsLoadIssues issues;
    ASSERT_TRUE(store.Load(&loaded, nullptr, &issues)) << issues.problems.size();
    // The registry's values change together: all of the old save or all of the new.
    const bool isNew = loaded.markSpamAsRead == 1;
    EXPECT_EQ(Has(loaded.whiteList, "user@new.org"), isNew);
    EXPECT_TRUE(Has(loaded.whiteList, "user2@old.org"));
    // The spill file is whole or absent.
    const std::size_t spilled = loaded.blackList.Count();
    EXPECT_TRUE(spilled == 0 || Has(loaded.blackList, "user3999@spill.example.org"));
    if (saved) {
      EXPECT_TRUE(isNew);
      break;
    }
  }
}

TEST_F(SettingsSaveTest, WritersHoldingTheSettingsLockLoseNoChange) {
  // Two writers with registries of their own over the same files, as two processes
  // are: each holds the lock from its load to its save.
  constexpr int kRounds = 25;
  auto writer = [this](const std::string& domain) {
    platform::RegistryFile registry("/reg", files_);
    SettingsStore store(registry, "/data/", clock_, files_);
    for (int i = 0; i < kRounds; ++i) {
      std::unique_ptr<platform::ProcessLock> hold;
      ASSERT_EQ(registry.HoldRoot(platform::RegRoot::kCurrentUser, &hold), platform::ERROR_SUCCESS);
      UserSettings settings;
      store.Load(&settings);
      settings.whiteList.AddAddress(MakeContact("u" + std::to_string(i) + "@" + domain), "", 1);
      ASSERT_TRUE(store.Save(&settings));
    }
  };
  std::thread first(writer, "first.org");
  std::thread second(writer, "second.org");
  first.join();
  second.join();

  platform::RegistryFile registry("/reg", files_);
  UserSettings loaded;
  ASSERT_TRUE(SettingsStore(registry, "/data/", clock_, files_).Load(&loaded));
  for (int i = 0; i < kRounds; ++i) {
    EXPECT_TRUE(Has(loaded.whiteList, "u" + std::to_string(i) + "@first.org")) << i;
    EXPECT_TRUE(Has(loaded.whiteList, "u" + std::to_string(i) + "@second.org")) << i;
  }
}

TEST_F(SettingsSaveTest, AHostsLaterSaveKeepsWhatAnotherProcessSavedMeanwhile) {
  platform::RegistryFile hostRegistry("/reg", files_);
  SettingsStore hostStore(hostRegistry, "/data/", clock_, files_);
  SettingsHolder host;
  host.LoadLive(hostStore);  // at start: nothing saved yet

  // Another process imports into the White List while the host runs.
  platform::RegistryFile otherRegistry("/reg", files_);
  SettingsStore otherStore(otherRegistry, "/data/", clock_, files_);
  SettingsHolder other;
  other.LoadLive(otherStore);
  other.Lock()->whiteList.AddAddress(MakeContact("friend@example.org"), "", 1);
  ASSERT_TRUE(other.SaveCopy(otherStore));

  // The host changes something else and saves at its end.
  host.Lock()->markSpamAsRead = 1;
  ASSERT_TRUE(host.SaveCopy(hostStore));

  UserSettings loaded;
  ASSERT_TRUE(otherStore.Load(&loaded));
  EXPECT_TRUE(Has(loaded.whiteList, "friend@example.org"));
  EXPECT_EQ(loaded.markSpamAsRead, 1u);
}

TEST_F(SettingsSaveTest, ARefreshTakesInWhatOthersSavedAndKeepsOwnChanges) {
  platform::RegistryFile hostRegistry("/reg", files_);
  SettingsStore hostStore(hostRegistry, "/data/", clock_, files_);
  SettingsHolder host;
  host.LoadLive(hostStore);
  host.Lock()->markSpamAsRead = 1;  // changed by the host, not saved yet

  platform::RegistryFile otherRegistry("/reg", files_);
  SettingsStore otherStore(otherRegistry, "/data/", clock_, files_);
  SettingsHolder other;
  other.LoadLive(otherStore);
  other.Lock()->whiteList.AddAddress(MakeContact("friend@example.org"), "", 1);
  other.Lock()->markSpamAsRead = 0;
  other.Lock()->autoAddToWhiteList = 0;
  ASSERT_TRUE(other.SaveCopy(otherStore));

  ASSERT_TRUE(host.Refresh(hostStore));
  EXPECT_TRUE(Has(host.CopyOut().whiteList, "friend@example.org"));
  EXPECT_EQ(host.CopyOut().autoAddToWhiteList, 0u);
  EXPECT_EQ(host.CopyOut().markSpamAsRead, 1u);  // its own change stays
  // A change made after the refresh is saved with the refreshed values kept.
  host.Lock()->blackList.AddAddress(MakeContact("spammer@example.com"), "", 1);
  ASSERT_TRUE(host.SaveCopy(hostStore));
  UserSettings loaded;
  ASSERT_TRUE(otherStore.Load(&loaded));
  EXPECT_TRUE(Has(loaded.whiteList, "friend@example.org"));
  EXPECT_TRUE(Has(loaded.blackList, "spammer@example.com"));
  EXPECT_EQ(loaded.markSpamAsRead, 1u);
}

TEST_F(SettingsSaveTest, AStaleTemporaryOfAKilledWriterIsRemovedByTheNextChange) {
  platform::RegistryFile registry("/reg", files_);
  files_.PutFile("/reg/HKEY_CURRENT_USER.reg.tmp-4242-0", "left by a killed import");
  ASSERT_EQ(registry.CreateKey(platform::RegRoot::kCurrentUser, kSettingsKey),
            platform::ERROR_SUCCESS);
  EXPECT_FALSE(files_.FileBytes("/reg/HKEY_CURRENT_USER.reg.tmp-4242-0"));
  EXPECT_TRUE(files_.FileBytes(kRegistryFile));
}

}  // namespace
}  // namespace quorvel
