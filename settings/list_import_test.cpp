#include "settings/list_import.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quorvel {
namespace {

namespace fs = std::filesystem;

constexpr platform::FileTime kNow = 133'500'000'000'000'000ULL;

std::vector<std::string> Items(const ContactList& list, const StringSet& patterns) {
  std::vector<std::string> items;
  for (const ContactPosition& item : list) items.push_back(item.Address());
  for (const std::string& pattern : patterns) items.push_back("pattern:" + pattern);
  return items;
}

class ListImportTest : public testing::Test {
 protected:
  ListImportTest() {
    std::string pattern = (fs::temp_directory_path() / "quorvel-listimport-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
    settings_.whiteList.AddAddress(MakeContact("a@x.org"), "A", kNow);
    settings_.whiteList.AddAddress(MakeContact("w@y.org"), "W", kNow);
    settings_.whiteListWildcards.Insert("white*");
    settings_.blackList.AddAddress(MakeContact("a@x.org"), "A", kNow);
    settings_.blackList.AddAddress(MakeContact("b@x.org"), "B", kNow);
    settings_.blackList.AddDomain(MakeContact("@spam.example"));
    settings_.blackListWildcards.Insert("black*");
  }
  ~ListImportTest() override { fs::remove_all(folder_); }

  std::string Write(const std::string& bytes) {
    const std::string path = (folder_ / "import.txt").string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  fs::path folder_;
  UserSettings settings_;
  platform::FakeClock clock_{kNow};
};

TEST_F(ListImportTest, EachPageMergesIntoItsListAndTakesFromTheOpposite) {
  struct Case {
    ListPage page;
    std::vector<std::string> white, black, safe;
  } cases[] = {
      {ListPage::kWhiteList,
       {"a@x.org", "b@x.org", "w@y.org", "pattern:*@new", "pattern:white*"},
       {"@spam.example", "pattern:black*"},
       {}},
      {ListPage::kBlackList,
       {"w@y.org", "pattern:white*"},
       {"@spam.example", "a@x.org", "b@x.org", "pattern:*@new", "pattern:black*"},
       {}},
      {ListPage::kSafeRecipients,
       {"a@x.org", "w@y.org", "pattern:white*"},
       {"@spam.example", "a@x.org", "b@x.org", "pattern:black*"},
       {"a@x.org", "b@x.org", "pattern:*@new"}},
  };
  const std::string path = Write("a@x.org\r\nB\tb@x.org\r\n*@new\r\n");
  for (const Case& c : cases) {
    UserSettings s = settings_;
    ASSERT_EQ(ImportListToPage(s, c.page, path, clock_), 0);
    EXPECT_EQ(Items(s.whiteList, s.whiteListWildcards), c.white) << static_cast<int>(c.page);
    EXPECT_EQ(Items(s.blackList, s.blackListWildcards), c.black) << static_cast<int>(c.page);
    EXPECT_EQ(Items(s.safeRecipients, s.safeRecipientsWildcards), c.safe)
        << static_cast<int>(c.page);
  }
}

TEST_F(ListImportTest, AnImportedDomainTakesTheWholeDomainOffTheOppositeList) {
  ASSERT_EQ(ImportListToPage(settings_, ListPage::kWhiteList, Write("x.org\r\n"), clock_), 0);
  EXPECT_EQ(Items(settings_.blackList, StringSet()), std::vector<std::string>{"@spam.example"});
  EXPECT_EQ(Items(settings_.whiteList, StringSet()),
            (std::vector<std::string>{"@x.org", "w@y.org"}));
}

}  // namespace
}  // namespace quorvel
