#include "lists/contact_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

constexpr platform::FileTime kT0 = 133'000'000'000'000'000ULL;

void Add(ContactList& list, const char* address, const char* name = "",
         platform::FileTime time = kT0) {
  list.AddAddress(MakeContact(address), name, time);
}

// Address, Name and Display of every item, in iteration order.
std::vector<std::string> Items(const ContactList& list) {
  std::vector<std::string> items;
  for (const ContactPosition& item : list) {
    items.push_back(item.Address() + "|" + item.Name() + "|" + item.Display());
  }
  return items;
}

TEST(ContactListTest, AddressesCompareWithoutCaseAndKeepTheFirstForm) {
  ContactList list;
  auto first = list.AddAddress(MakeContact("JOHN@Example.ORG"), " 'John' ", kT0);
  EXPECT_TRUE(first.added);
  auto second = list.AddAddress(MakeContact("john@example.org"), "Other", kT0 + 1);
  EXPECT_FALSE(second.added);
  EXPECT_TRUE(second.position == first.position);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(Items(list), std::vector<std::string>{"JOHN@Example.ORG|John|JOHN@Example.ORG"});
  auto found = list.Find(MakeContact("John@EXAMPLE.org"));
  ASSERT_TRUE(found);
  EXPECT_FALSE(found->IsDomainEntry());
  EXPECT_EQ(found->Entry()->lastUsed, kT0);
}

TEST(ContactListTest, DomainEntryCoversItsKeyOnly) {
  ContactList list;
  EXPECT_TRUE(list.AddDomain(MakeContact("@example.org")).added);
  EXPECT_FALSE(list.AddDomain(MakeContact("@EXAMPLE.org")).added);
  auto found = list.Find(MakeContact("anyone@Example.org"));
  ASSERT_TRUE(found);
  EXPECT_TRUE(found->IsDomainEntry());
  EXPECT_EQ(found->Display(), "@example.org");
  EXPECT_FALSE(list.Find(MakeContact("anyone@mail.example.org")));
  auto add = list.AddAddress(MakeContact("anyone@example.org"), "A", kT0);
  EXPECT_FALSE(add.added);
  EXPECT_TRUE(add.position.IsDomainEntry());
  EXPECT_EQ(Items(list), std::vector<std::string>{"@example.org|@example.org|@example.org"});
}

TEST(ContactListTest, TimedFindRefreshesOnlyTheMatchedEntry) {
  ContactList list;
  Add(list, "a@x.org");
  Add(list, "b@x.org");
  ASSERT_TRUE(list.Find(MakeContact("A@x.org"), kT0 + 50));
  EXPECT_EQ(list.Find(MakeContact("a@x.org"))->Entry()->lastUsed, kT0 + 50);
  EXPECT_EQ(list.Find(MakeContact("b@x.org"))->Entry()->lastUsed, kT0);
  EXPECT_FALSE(list.Find(MakeContact("c@x.org"), kT0 + 60));
}

TEST(ContactListTest, AddressesWithoutAtShareTheEmptyKey) {
  ContactList list;
  Add(list, "alpha");
  Add(list, "beta");
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_TRUE(list.Find(MakeContact("BETA")));
  // Neither has a display form of its own.
  EXPECT_EQ(Items(list), (std::vector<std::string>{"alpha||", "beta||"}));
}

TEST(ContactListTest, AddingADomainAbsorbsItsAddressesAndSubtractKeepsIt) {
  ContactList list;
  Add(list, "a@example.org");
  Add(list, "b@example.org");
  auto add = list.AddDomain(MakeContact("@example.org"));
  EXPECT_TRUE(add.added);
  EXPECT_TRUE(add.position.IsDomainEntry());
  ContactList single;
  Add(single, "a@example.org");
  list.Subtract(single);
  EXPECT_EQ(Items(list), std::vector<std::string>{"@example.org|@example.org|@example.org"});
}

TEST(ContactListTest, SubtractRemovesAddressesGroupsAndDomains) {
  ContactList list;
  Add(list, "a@x.org");
  Add(list, "b@x.org");
  Add(list, "c@y.org");
  list.AddDomain(MakeContact("@z.org"));
  ContactList other;
  Add(other, "A@X.org");
  Add(other, "c@y.org");
  other.AddDomain(MakeContact("@Z.ORG"));
  Add(other, "d@unknown.org");
  list.Subtract(other);
  // Removing the last address of @y.org leaves no domain entry behind.
  EXPECT_EQ(Items(list), std::vector<std::string>{"b@x.org||b@x.org"});
  list.Subtract(list);
  EXPECT_TRUE(list.Empty());
}

TEST(ContactListTest, MergeLetsDomainEntriesWin) {
  ContactList list;
  Add(list, "a@x.org", "Mine");
  list.AddDomain(MakeContact("@y.org"));
  Add(list, "keep@z.org");
  ContactList other;
  Add(other, "A@x.org", "Theirs");
  Add(other, "b@x.org");
  Add(other, "c@y.org");
  other.AddDomain(MakeContact("@z.org"));
  Add(other, "n@new.org");
  list.Merge(other);
  EXPECT_EQ(Items(list), (std::vector<std::string>{"n@new.org||n@new.org", "a@x.org|Mine|a@x.org",
                                                   "b@x.org||b@x.org", "@y.org|@y.org|@y.org",
                                                   "@z.org|@z.org|@z.org"}));
}

TEST(ContactListTest, RemoveAtDropsEmptiedGroupsAndWholeGroups) {
  ContactList list;
  Add(list, "a@x.org");
  Add(list, "b@x.org");
  list.AddDomain(MakeContact("@y.org"));
  list.RemoveAt(*list.Find(MakeContact("a@x.org")));
  EXPECT_EQ(list.Count(), 2u);
  list.RemoveAt(*list.Find(MakeContact("b@x.org")));
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_FALSE(list.FindGroup(MakeContact("b@x.org")));
  list.RemoveAt(*list.Find(MakeContact("q@y.org")));
  EXPECT_TRUE(list.Empty());
  Add(list, "a@x.org");
  list.RemoveAt(*list.FindGroup(MakeContact("zz@x.org")));  // a whole group
  EXPECT_TRUE(list.Empty());
}

TEST(ContactListTest, PruneRemovesStaleAddressesButNeverDomains) {
  ContactList list;
  Add(list, "old@x.org", "", kT0);
  Add(list, "new@x.org", "", kT0 + 10);
  Add(list, "old@y.org", "", kT0);
  list.AddDomain(MakeContact("@z.org"));
  list.Prune(kT0 + 10);  // earlier than the cutoff goes; equal stays
  EXPECT_EQ(Items(list),
            (std::vector<std::string>{"new@x.org||new@x.org", "@z.org|@z.org|@z.org"}));
  list.Prune(~platform::FileTime{0});
  EXPECT_EQ(Items(list), std::vector<std::string>{"@z.org|@z.org|@z.org"});
}

TEST(ContactListTest, ContainsTextLooksAtAddressesNamesAndDomains) {
  ContactList list;
  Add(list, "jane@x.org", "Jane Doe");
  list.AddDomain(MakeContact("@y.org"));
  EXPECT_TRUE(list.ContainsText("JANE DOE"));
  EXPECT_TRUE(list.ContainsText("Jane@X.org"));
  EXPECT_TRUE(list.ContainsText("@Y.org"));
  EXPECT_FALSE(list.ContainsText("Jane"));
}

TEST(ContactListTest, IteratesEveryEntryInKeyAndAddressOrder) {
  ContactList list;
  Add(list, "b@B.org");
  Add(list, "/o=Acme/ou=Site/cn=Recipients/cn=Zed", "Zed");
  Add(list, "a@b.org");
  list.AddDomain(MakeContact("@a.org"));
  EXPECT_EQ(Items(list), (std::vector<std::string>{
                             "/o=Acme/ou=Site/cn=Recipients/cn=Zed|Zed|zed/Acme",
                             "@a.org|@a.org|@a.org", "a@b.org||a@b.org", "b@B.org||b@B.org"}));
  std::size_t n = 0;
  for (auto it = list.begin(); it != list.end(); it++) ++n;
  EXPECT_EQ(n, 4u);
  const ContactList empty;
  EXPECT_TRUE(empty.begin() == empty.end());
}

}  // namespace
}  // namespace quorvel
