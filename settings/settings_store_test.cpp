#include "settings/settings_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry_memory.h"
#include "settings/setting_bindings.h"
#include "testing/temporary_folder.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using platform::RegRoot;
using platform::RegValue;

constexpr RegRoot kHkcu = RegRoot::kCurrentUser;

// Passes every call on to a real registry, except the ones a test makes fail.
class FaultyRegistry : public platform::Registry {
 public:
  explicit FaultyRegistry(platform::Registry& inner) : inner_(inner) {}

  bool failCreateKey = false;
  std::set<std::string> failSetValue;  // value names whose writes are refused

  long CreateKey(RegRoot root, std::string_view key) override {
    return failCreateKey ? platform::ERROR_ACCESS_DENIED : inner_.CreateKey(root, key);
  }
  bool KeyExists(RegRoot root, std::string_view key) override {
    return inner_.KeyExists(root, key);
  }
  long DeleteTree(RegRoot root, std::string_view key) override {
    return inner_.DeleteTree(root, key);
  }
  long QueryValue(RegRoot root, std::string_view key, std::string_view name,
                  RegValue* out) override {
    return inner_.QueryValue(root, key, name, out);
  }
  long SetValue(RegRoot root, std::string_view key, std::string_view name,
                const RegValue& value) override {
    if (failSetValue.count(std::string(name)) != 0) return platform::ERROR_ACCESS_DENIED;
    return inner_.SetValue(root, key, name, value);
  }
  long DeleteValue(RegRoot root, std::string_view key, std::string_view name) override {
    return inner_.DeleteValue(root, key, name);
  }
  long EnumValues(RegRoot root, std::string_view key, std::vector<std::string>* names) override {
    return inner_.EnumValues(root, key, names);
  }
  long EnumSubKeys(RegRoot root, std::string_view key, std::vector<std::string>* names) override {
    return inner_.EnumSubKeys(root, key, names);
  }
  std::string LastError() const override { return inner_.LastError(); }

 private:
  platform::Registry& inner_;
};

// Fills a contact list until its stored image reaches `bytes`.
ContactList ListOfAtLeast(std::size_t bytes, platform::FileTime time) {
  ContactList list;
  for (int i = 0; WriteImage(list).size() < bytes;) {
    for (int j = 0; j < 200; ++j, ++i) {
      list.AddAddress(MakeContact("user" + std::to_string(i) + "@example.org"),
                      "User Number " + std::to_string(i), time);
    }
  }
  return list;
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(root_.empty());
    dataFolder_ = root_ + "/Veltmark/Quorvel/";
  }

  SettingsStore Store() { return SettingsStore(faulty_, dataFolder_, clock_); }
  std::string SpillFile(const char* name) { return dataFolder_ + "Settings/" + name; }

  bool HasValue(const char* name) {
    RegValue v;
    return memory_.QueryValue(kHkcu, kSettingsKey, name, &v) == platform::ERROR_SUCCESS;
  }
  void SetValue(const char* name, const RegValue& value) {
    ASSERT_EQ(memory_.CreateKey(kHkcu, kSettingsKey), platform::ERROR_SUCCESS);
    ASSERT_EQ(memory_.SetValue(kHkcu, kSettingsKey, name, value), platform::ERROR_SUCCESS);
  }
  static RegValue BinaryOf(const std::string& image) {
    return RegValue::Binary(std::vector<std::uint8_t>(image.begin(), image.end()));
  }

  platform::RegistryMemory memory_;
  FaultyRegistry faulty_{memory_};
  platform::FakeClock clock_;
  quorvel::testing::TemporaryFolder folder_{"quorvel-settings"};
  std::string root_ = folder_.path();
  std::string dataFolder_;
};

TEST_F(SettingsStoreTest, WithoutTheKeyLoadFailsAndTheDefaultsStay) {
  UserSettings s;
  std::string error;
  EXPECT_FALSE(Store().Load(&s, &error));
  EXPECT_FALSE(error.empty());
  struct Default {
    std::uint32_t UserSettings::*field;
    std::uint32_t value;
  } defaults[] = {
      {&UserSettings::markSpamAsRead, 0},       {&UserSettings::trayNotification, 1},
      {&UserSettings::showWizard, 1},           {&UserSettings::respectOutlookRules, 1},
      {&UserSettings::goodAddWhiteList, 1},     {&UserSettings::goodAddDomainWhiteList, 0},
      {&UserSettings::goodMoveInbox, 1},        {&UserSettings::goodApplyToAll, 1},
      {&UserSettings::goodDoNotShowAnymore, 0}, {&UserSettings::autoAddToWhiteList, 1},
      {&UserSettings::checkExternalImages, 1},  {&UserSettings::junkAddBlackList, 0},
      {&UserSettings::junkMoveInbox, 1},        {&UserSettings::junkApplyToAll, 0},
      {&UserSettings::junkDoNotShowAnymore, 0}, {&UserSettings::lastOptionsPage, 0},
  };
  for (std::size_t i = 0; i < std::size(defaults); ++i) {
    EXPECT_EQ(s.*defaults[i].field, defaults[i].value) << "field " << i;
  }
  EXPECT_TRUE(s.whiteList.Empty());
  EXPECT_TRUE(s.spamFolders.empty());
  EXPECT_TRUE(s.spamFolderId.empty());
}

TEST_F(SettingsStoreTest, EachValueNameCarriesItsOwnField) {
  UserSettings s;
  struct Named {
    const char* name;
    std::uint32_t UserSettings::*field;
  } named[] = {
      {"MarkSpamAsRead", &UserSettings::markSpamAsRead},
      {"TrayNotification", &UserSettings::trayNotification},
      {"ShowWizard", &UserSettings::showWizard},
      {"RespectOutlookRules", &UserSettings::respectOutlookRules},
      {"GoodAddWhiteList", &UserSettings::goodAddWhiteList},
      {"GoodAddDomainWhiteList", &UserSettings::goodAddDomainWhiteList},
      {"GoodMoveInbox", &UserSettings::goodMoveInbox},
      {"GoodApplyToAll", &UserSettings::goodApplyToAll},
      {"GoodDoNotShowAnymore", &UserSettings::goodDoNotShowAnymore},
      {"AutoAddToWhiteList", &UserSettings::autoAddToWhiteList},
      {"CheckExternalImages", &UserSettings::checkExternalImages},
      {"JunkAddBlackList", &UserSettings::junkAddBlackList},
      {"JunkMoveInbox", &UserSettings::junkMoveInbox},
      {"JunkApplyToAll", &UserSettings::junkApplyToAll},
      {"JunkDoNotShowAnymore", &UserSettings::junkDoNotShowAnymore},
      {"LastOptionsPage", &UserSettings::lastOptionsPage},
  };
  for (std::uint32_t i = 0; i < std::size(named); ++i) s.*named[i].field = 100 + i;
  s.spamFolderId = u"0A0B";
  s.spamFolderFriendlyName = u"Pers\u00f6nlich -> Spam";
  s.whiteList.AddAddress(MakeContact("friend@example.org"), "Friend", clock_.Now());
  s.blackListWildcards.Insert("*@spam.example");
  ASSERT_TRUE(Store().Save(&s));

  for (std::uint32_t i = 0; i < std::size(named); ++i) {
    RegValue v;
    ASSERT_EQ(memory_.QueryValue(kHkcu, kSettingsKey, named[i].name, &v), platform::ERROR_SUCCESS)
        << named[i].name;
    EXPECT_EQ(v.type, platform::REG_DWORD);
    EXPECT_EQ(v.data, RegValue::Dword(100 + i).data) << named[i].name;
  }
  RegValue v;
  ASSERT_EQ(memory_.QueryValue(kHkcu, kSettingsKey, "SpamFolderFriendlyName", &v), 0);
  EXPECT_EQ(v.type, platform::REG_SZ);
  EXPECT_EQ(v.data, RegValue::String("Pers\xf6nlich -> Spam").data);  // ANSI, with its zero
  ASSERT_EQ(memory_.QueryValue(kHkcu, kSettingsKey, "WhiteList", &v), 0);
  EXPECT_EQ(v.type, platform::REG_BINARY);
  EXPECT_EQ(std::string(v.data.begin(), v.data.end()), WriteImage(s.whiteList));
  ASSERT_EQ(memory_.QueryValue(kHkcu, kSettingsKey, "BlackListWildcards", &v), 0);
  EXPECT_EQ(std::string(v.data.begin(), v.data.end()), WriteImage(s.blackListWildcards));
  // The mail base bindings write nothing to the registry, nor does the profile key.
  EXPECT_FALSE(HasValue("Bayes database"));
  EXPECT_FALSE(HasValue("MailBase for Bayes"));
  std::vector<std::string> names;
  ASSERT_EQ(memory_.EnumValues(kHkcu, kSettingsKey, &names), 0);
  EXPECT_EQ(names.size(), 30u);

  UserSettings loaded;
  ASSERT_TRUE(Store().Load(&loaded));
  for (std::uint32_t i = 0; i < std::size(named); ++i) {
    EXPECT_EQ(loaded.*named[i].field, 100 + i) << named[i].name;
  }
  EXPECT_EQ(loaded.spamFolderFriendlyName, s.spamFolderFriendlyName);
  EXPECT_EQ(WriteImage(loaded.whiteList), WriteImage(s.whiteList));
}

// A value of the wrong type (a number where a list is stored) was once ignored without
// a word, and the next save wrote the defaults over it.
TEST_F(SettingsStoreTest, ValuesOfTheWrongTypeOrSizeAreReportedAndNotSavedOver) {
  struct Case {
    const char* what;
    const char* name;
    RegValue value;
    bool reported;
  } cases[] = {
      {"flag stored as text", "MarkSpamAsRead", RegValue::String("1"), true},
      {"flag of two bytes", "TrayNotification", RegValue::Binary({0, 0}), true},
      {"REG_DWORD of two bytes", "ShowWizard", RegValue{platform::REG_DWORD, {0, 0}}, true},
      {"REG_DWORD of eight bytes", "LastOptionsPage",
       RegValue{platform::REG_DWORD, {7, 0, 0, 0, 0, 0, 0, 0}}, true},
      {"text of size 0", "SpamFolderID", RegValue{platform::REG_SZ, {}}, false},
      {"text stored as a number", "SpamFolderFriendlyName", RegValue::Dword(5), true},
      {"list stored as text", "WhiteList", RegValue::String("a@b.c"), true},
      {"list stored as a number", "SF", RegValue::Dword(0), true},
  };
  for (const Case& c : cases) SetValue(c.name, c.value);

  UserSettings s;
  s.spamFolderId = u"previous";
  s.spamFolderFriendlyName = u"previous name";
  s.whiteList.AddDomain(MakeContact("@kept.example"));
  s.spamFolders["p"] = {u"1", u"2"};
  std::string error;
  SettingsLoadIssues issues;
  EXPECT_FALSE(Store().Load(&s, &error, &issues));
  for (const Case& c : cases) {
    const bool listed =
        std::find(issues.unloaded.begin(), issues.unloaded.end(), c.name) != issues.unloaded.end();
    EXPECT_EQ(listed, c.reported) << c.what;
    EXPECT_EQ(error.find(std::string(c.name) + ": ") != std::string::npos, c.reported)
        << c.what << ": " << error;
  }
  EXPECT_NE(error.find("WhiteList: a REG_SZ value where a list (REG_BINARY) is stored"),
            std::string::npos)
      << error;
  EXPECT_EQ(s.markSpamAsRead, 0u);
  EXPECT_EQ(s.trayNotification, 1u);
  EXPECT_EQ(s.showWizard, 1u);
  EXPECT_EQ(s.lastOptionsPage, 0u);
  EXPECT_EQ(s.spamFolderId, u"previous");
  EXPECT_EQ(s.spamFolderFriendlyName, u"previous name");
  EXPECT_EQ(s.whiteList.Count(), 1u);
  EXPECT_EQ(s.spamFolders.size(), 1u);

  // A save leaves what did not load as it is on disk and writes the rest.
  s.markSpamAsRead = 1;
  s.goodMoveInbox = 0;
  EXPECT_TRUE(Store().Save(&s, nullptr, &issues));
  for (const Case& c : cases) {
    if (!c.reported) continue;
    RegValue v;
    ASSERT_EQ(memory_.QueryValue(kHkcu, kSettingsKey, c.name, &v), platform::ERROR_SUCCESS);
    EXPECT_EQ(v.type, c.value.type) << c.what;
    EXPECT_EQ(v.data, c.value.data) << c.what;
  }
  RegValue moved;
  ASSERT_EQ(memory_.QueryValue(kHkcu, kSettingsKey, "GoodMoveInbox", &moved),
            platform::ERROR_SUCCESS);
  EXPECT_EQ(moved.data, RegValue::Dword(0).data);
}

TEST_F(SettingsStoreTest, TextWithoutItsTerminatingZeroIsStillRead) {
  SetValue("SpamFolderID", RegValue{platform::REG_SZ, {'A', 'B'}});
  UserSettings s;
  ASSERT_TRUE(Store().Load(&s));
  EXPECT_EQ(s.spamFolderId, u"AB");
}

TEST_F(SettingsStoreTest, LargeWhiteListSpillsToAFileAndComesBackToTheRegistryWhenSmall) {
  UserSettings s;
  s.whiteList = ListOfAtLeast(70'000, clock_.Now());
  s.blackList.AddAddress(MakeContact("spam@example.com"), "", clock_.Now());
  const std::string bigImage = WriteImage(s.whiteList);
  ASSERT_GE(bigImage.size(), 70'000u);
  ASSERT_TRUE(Store().Save(&s));

  std::string file;
  ASSERT_TRUE(platform::RealFileSystem().ReadFile(SpillFile("WhiteList"), &file).ok());
  EXPECT_EQ(file, bigImage);
  EXPECT_FALSE(HasValue("WhiteList"));
  EXPECT_TRUE(HasValue("BlackList"));  // small lists stay in the registry
  EXPECT_FALSE(fs::exists(SpillFile("BlackList")));

  UserSettings loaded;
  ASSERT_TRUE(Store().Load(&loaded));
  EXPECT_EQ(WriteImage(loaded.whiteList), bigImage);

  loaded.whiteList.Clear();
  loaded.whiteList.AddAddress(MakeContact("only@example.org"), "Only", clock_.Now());
  ASSERT_TRUE(Store().Save(&loaded));
  EXPECT_TRUE(HasValue("WhiteList"));
  EXPECT_FALSE(fs::exists(SpillFile("WhiteList")));
  EXPECT_FALSE(fs::exists(dataFolder_ + "Settings"));  // the empty folder goes too

  UserSettings again;
  ASSERT_TRUE(Store().Load(&again));
  EXPECT_EQ(again.whiteList.Count(), 1u);
}

TEST_F(SettingsStoreTest, ImageOfExactlyTheThresholdSpillsAndOneByteLessDoesNot) {
  // A string set whose image is exactly `size` bytes: count (2) + one string.
  auto setOfImageSize = [](std::size_t size) {
    StringSet set;
    set.Insert(std::string(size - 2 - 3, 'w'));  // 0xFF and a 16-bit length
    return set;
  };
  UserSettings s;
  s.customGoodDictionary = setOfImageSize(kSpillThreshold - 1);
  s.customSpamDictionary = setOfImageSize(kSpillThreshold);
  ASSERT_EQ(WriteImage(s.customGoodDictionary).size(), kSpillThreshold - 1);
  ASSERT_EQ(WriteImage(s.customSpamDictionary).size(), kSpillThreshold);
  ASSERT_TRUE(Store().Save(&s));
  EXPECT_TRUE(HasValue("CustomGoodDictionary"));
  EXPECT_FALSE(fs::exists(SpillFile("CustomGoodDictionary")));
  EXPECT_FALSE(HasValue("CustomSpamDictionary"));
  EXPECT_TRUE(fs::exists(SpillFile("CustomSpamDictionary")));
}

TEST_F(SettingsStoreTest, SpillFileWinsOverTheRegistryValue) {
  ContactList inRegistry;
  inRegistry.AddAddress(MakeContact("old@example.org"), "", 1);
  ContactList inFile;
  inFile.AddAddress(MakeContact("new@example.org"), "", 1);
  SetValue("WhiteList", BinaryOf(WriteImage(inRegistry)));
  ASSERT_TRUE(platform::RealFileSystem().CreateFolders(dataFolder_ + "Settings").ok());
  ASSERT_TRUE(
      platform::RealFileSystem().WriteFileAtomic(SpillFile("WhiteList"), WriteImage(inFile)).ok());

  UserSettings s;
  ASSERT_TRUE(Store().Load(&s));
  EXPECT_TRUE(s.whiteList.Find(MakeContact("new@example.org")).has_value());
  EXPECT_FALSE(s.whiteList.Find(MakeContact("old@example.org")).has_value());
}

TEST_F(SettingsStoreTest, SaveDropsSentSubjectsAndOwnNamesOlderThanNinetyDays) {
  const platform::FileTime now = clock_.Now();
  UserSettings s;
  s.sentSubjs.AddAddress(MakeContact("Meeting on Friday"), "", now - 1);
  s.sentSubjs.AddDomain(MakeContact("@subject.example"));
  s.sentFromNames.AddAddress(MakeContact("Old Name"), "", now - 91 * platform::kFileTimeDay);
  s.sentFromNames.AddAddress(MakeContact("Recent Name"), "", now - 89 * platform::kFileTimeDay);
  s.sentFromNames.AddDomain(MakeContact("@names.example"));
  ASSERT_TRUE(Store().Save(&s));

  UserSettings loaded;
  ASSERT_TRUE(Store().Load(&loaded));
  EXPECT_FALSE(loaded.sentSubjs.Find(MakeContact("Meeting on Friday")).has_value());
  EXPECT_TRUE(loaded.sentSubjs.Find(MakeContact("x@subject.example")).has_value());
  EXPECT_FALSE(loaded.sentFromNames.Find(MakeContact("Old Name")).has_value());
  EXPECT_TRUE(loaded.sentFromNames.Find(MakeContact("Recent Name")).has_value());
  EXPECT_TRUE(loaded.sentFromNames.Find(MakeContact("y@names.example")).has_value());
}

TEST_F(SettingsStoreTest, ADamagedImageKeepsItsOldContentAndTheOtherValuesStillLoad) {
  ContactList white;
  white.AddAddress(MakeContact("friend@example.org"), "", 1);
  SetValue("BlackList", BinaryOf(std::string("\x05\x00\x03@ex", 6)));  // ends early
  SetValue("WhiteList", BinaryOf(WriteImage(white)));
  SetValue("MarkSpamAsRead", RegValue::Dword(1));
  ASSERT_TRUE(platform::RealFileSystem().CreateFolders(dataFolder_ + "Settings").ok());
  ASSERT_TRUE(
      platform::RealFileSystem().WriteFileAtomic(SpillFile("CustomSpamDictionary"), "\x01").ok());

  UserSettings s;
  s.blackList.AddDomain(MakeContact("@previous.example"));
  s.customSpamDictionary.Insert("viagra");
  std::string error;
  EXPECT_FALSE(Store().Load(&s, &error));
  EXPECT_NE(error.find("BlackList"), std::string::npos) << error;
  EXPECT_NE(error.find("CustomSpamDictionary"), std::string::npos) << error;
  EXPECT_EQ(s.blackList.Count(), 1u);
  EXPECT_TRUE(s.blackList.Find(MakeContact("a@previous.example")).has_value());
  EXPECT_TRUE(s.customSpamDictionary.Contains("viagra"));
  // Values after the damaged ones in name order are still read.
  EXPECT_EQ(s.markSpamAsRead, 1u);
  EXPECT_TRUE(s.whiteList.Find(MakeContact("friend@example.org")).has_value());
}

TEST_F(SettingsStoreTest, NoKeyNoWrites) {
  faulty_.failCreateKey = true;
  UserSettings s;
  s.sentSubjs.AddAddress(MakeContact("subject"), "", 1);
  EXPECT_FALSE(Store().Save(&s));
  EXPECT_FALSE(memory_.KeyExists(kHkcu, kSettingsKey));
  EXPECT_FALSE(fs::exists(dataFolder_));
}

TEST_F(SettingsStoreTest, RefusedRegistryValueFallsBackToTheSpillFile) {
  faulty_.failSetValue = {"SafeRecipients"};
  UserSettings s;
  s.safeRecipients.AddAddress(MakeContact("list@lists.example"), "List", 1);
  s.markSpamAsRead = 1;
  ASSERT_TRUE(Store().Save(&s));
  EXPECT_TRUE(fs::exists(SpillFile("SafeRecipients")));

  UserSettings loaded;
  ASSERT_TRUE(Store().Load(&loaded));
  EXPECT_EQ(WriteImage(loaded.safeRecipients), WriteImage(s.safeRecipients));
  EXPECT_EQ(loaded.markSpamAsRead, 1u);
}

TEST_F(SettingsStoreTest, AListThatCannotBeWrittenAnywhereIsReportedButOthersAreWritten) {
  // The data folder is a plain file, so the Settings folder cannot be made.
  fs::create_directories(root_ + "/Veltmark");
  std::ofstream(root_ + "/Veltmark/Quorvel") << "not a folder";
  UserSettings s;
  s.whiteList = ListOfAtLeast(kSpillThreshold, 1);
  s.markSpamAsRead = 1;
  std::string error;
  EXPECT_FALSE(Store().Save(&s, &error));
  EXPECT_NE(error.find("WhiteList"), std::string::npos) << error;
  EXPECT_TRUE(HasValue("MarkSpamAsRead"));
  EXPECT_TRUE(HasValue("WhiteListWildcards"));
}

TEST_F(SettingsStoreTest, WithoutADataFolderLargeListsFailAndSmallOnesUseTheRegistry) {
  SettingsStore store(faulty_, "", clock_);
  EXPECT_EQ(store.SpillPath("WhiteList"), "");
  UserSettings s;
  s.blackList.AddDomain(MakeContact("@spam.example"));
  EXPECT_TRUE(store.Save(&s));
  s.whiteList = ListOfAtLeast(kSpillThreshold, 1);
  EXPECT_FALSE(store.Save(&s));
  UserSettings loaded;
  EXPECT_TRUE(store.Load(&loaded));
  EXPECT_EQ(loaded.blackList.Count(), 1u);
}

TEST_F(SettingsStoreTest, SpamFolderMapIsStoredAndTheProfileKeyIsNot) {
  UserSettings s;
  s.profileKey = "Work";
  s.SetSpamFolder({u"00FF", u"Work -> Inbox -> Spam"});
  ASSERT_TRUE(Store().Save(&s));
  EXPECT_TRUE(HasValue("SF"));
  UserSettings loaded;
  ASSERT_TRUE(Store().Load(&loaded));
  EXPECT_TRUE(loaded.profileKey.empty());
  EXPECT_EQ(loaded.spamFolders, s.spamFolders);
}

}  // namespace
}  // namespace quorvel
