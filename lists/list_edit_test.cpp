// The pending addition: what an added domain or address absorbs and removes, what
// fails, and what Apply changes in each list (the record undo relies on).
#include "lists/list_edit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorvel {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr platform::FileTime kNow = 133'000'000'000'000'000;

ContactList ListOf(std::initializer_list<const char*> entries) {
  ContactList list;
  for (const char* text : entries) {
    if (IsDomainForm(text)) {
      list.AddDomain(MakeContact(text));
    } else {
      list.AddAddress(MakeContact(text), std::string("Name of ") + text, kNow);
    }
  }
  return list;
}

std::vector<std::string> Shown(const ContactList& list) {
  std::vector<std::string> out;
  for (const ContactPosition& p : list) out.push_back(p.Address());
  return out;
}

std::vector<std::string> Addresses(const std::vector<ListEditRow>& rows) {
  std::vector<std::string> out;
  for (const ListEditRow& row : rows) out.push_back(row.address);
  return out;
}

TEST(EntryKindTest, ClassifiesWhatTheUserTyped) {
  struct Case {
    const char* text;
    EntryKind kind;
    const char* stored;  // as a wildcard, for the wildcards
  } cases[] = {
      {"@*.example.org", EntryKind::kWildcard, "*@*.example.org"},
      {"  john*@example.org ", EntryKind::kWildcard, "john*@example.org"},
      {"@example.org", EntryKind::kDomain, nullptr},
      {"/Acme", EntryKind::kDomain, nullptr},
      {"/o=Acme/ou=Site/cn=jsmith", EntryKind::kAddress, nullptr},
      {" a@example.org", EntryKind::kAddress, nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KindOfEntry(c.text), c.kind) << c.text;
    if (c.stored != nullptr) {
      EXPECT_EQ(StoredWildcard(c.text), c.stored) << c.text;
    }
  }
}

TEST(AddWildcardTest, DomainFormIsStoredWithAStarAndTwiceIsRefused) {
  StringSet patterns;
  EXPECT_EQ(AddWildcard(patterns, "@*.example.org"), ListEditError::kNone);
  EXPECT_TRUE(patterns.Contains("*@*.example.org"));
  EXPECT_EQ(AddWildcard(patterns, "*@*.EXAMPLE.org"), ListEditError::kWildcardExists);
  EXPECT_EQ(ListEditErrorText(ListEditError::kWildcardExists), "This wildcard already exists.");
  EXPECT_EQ(patterns.Count(), 1u);
}

TEST(PendingAdditionTest, DomainAbsorbsTheTargetsSingleAddresses) {
  ContactList white = ListOf({"a@example.org", "b@example.org", "c@other.org"});
  ContactList black;
  PendingAddition pending(white, black);
  ASSERT_EQ(pending.AddDomain("@example.org"), ListEditError::kNone);
  EXPECT_THAT(Addresses(pending.absorbed()), ElementsAre("a@example.org", "b@example.org"));
  EXPECT_THAT(pending.conflicts(), IsEmpty());
  PendingAddition::Applied applied = pending.Apply(kNow);
  EXPECT_THAT(Shown(white), ElementsAre("@example.org", "c@other.org"));
  EXPECT_THAT(applied.target.added, ElementsAre(ListEntryRecord{"@example.org", "", true}));
  EXPECT_EQ(applied.target.removed.size(), 2u);
  EXPECT_TRUE(applied.opposite.empty());
}

TEST(PendingAdditionTest, AddressOnTheOppositeListIsAConflictWhoseMarkDecides) {
  for (bool remove : {true, false}) {
    ContactList white;
    ContactList black = ListOf({"A@Example.org"});
    PendingAddition pending(white, black);
    ASSERT_EQ(pending.AddAddress("a@example.org", "Ann"), ListEditError::kNone);
    ASSERT_EQ(pending.conflicts().size(), 1u);
    EXPECT_EQ(pending.conflicts()[0].kind, ListRowKind::kOppositeAddress);
    EXPECT_TRUE(pending.conflicts()[0].remove) << "marks start set";
    pending.conflicts()[0].remove = remove;
    PendingAddition::Applied applied = pending.Apply(kNow);
    EXPECT_THAT(Shown(white), ElementsAre("a@example.org"));
    EXPECT_EQ(Shown(black).size(), remove ? 0u : 1u) << "mark " << remove;
    EXPECT_EQ(applied.opposite.removed.size(), remove ? 1u : 0u);
  }
}

TEST(PendingAdditionTest, OppositeDomainCoveringAnAddressIsAbsorbedAndStays) {
  ContactList white;
  ContactList black = ListOf({"@example.org"});
  PendingAddition pending(white, black);
  ASSERT_EQ(pending.AddAddress("a@example.org", "Ann"), ListEditError::kNone);
  EXPECT_THAT(Addresses(pending.absorbed()), ElementsAre("@example.org"));
  EXPECT_THAT(pending.conflicts(), IsEmpty());
  pending.Apply(kNow);
  EXPECT_THAT(Shown(white), ElementsAre("a@example.org"));
  EXPECT_THAT(Shown(black), ElementsAre("@example.org"));
}

TEST(PendingAdditionTest, DomainTakesTheOppositesSingleAddressesOut) {
  ContactList white;
  ContactList black = ListOf({"a@example.org", "z@else.org"});
  PendingAddition pending(white, black);
  ASSERT_EQ(pending.AddDomain("@example.org"), ListEditError::kNone);
  EXPECT_THAT(Addresses(pending.absorbed()), ElementsAre("a@example.org"));
  PendingAddition::Applied applied = pending.Apply(kNow);
  EXPECT_THAT(Shown(black), ElementsAre("z@else.org"));
  EXPECT_THAT(Shown(white), ElementsAre("@example.org"));
  EXPECT_THAT(applied.opposite.removed,
              ElementsAre(ListEntryRecord{"a@example.org", "Name of a@example.org", false}));
}

TEST(PendingAdditionTest, DomainOnBothListsIsAConflict) {
  ContactList white;
  ContactList black = ListOf({"@example.org"});
  PendingAddition pending(white, black);
  ASSERT_EQ(pending.AddDomain("x@example.org"), ListEditError::kNone);
  ASSERT_EQ(pending.conflicts().size(), 1u);
  EXPECT_EQ(pending.conflicts()[0].kind, ListRowKind::kOppositeDomain);
  pending.Apply(kNow);
  EXPECT_THAT(Shown(black), IsEmpty());
  EXPECT_THAT(Shown(white), ElementsAre("@example.org"));
}

TEST(PendingAdditionTest, FailuresLeaveNothingPending) {
  ContactList white = ListOf({"@example.org", "b@other.org"});
  ContactList black = ListOf({"b@other.org"});
  PendingAddition pending(white, black);
  EXPECT_EQ(pending.AddAddress("a@example.org", "A"), ListEditError::kAddressExists);
  EXPECT_EQ(pending.AddAddress("B@other.org", "B"), ListEditError::kAddressExists);
  EXPECT_EQ(pending.AddDomain("@EXAMPLE.org"), ListEditError::kDomainExists);
  EXPECT_EQ(ListEditErrorText(ListEditError::kAddressExists), "This address already exists.");
  EXPECT_EQ(ListEditErrorText(ListEditError::kDomainExists), "This domain already exists.");
  EXPECT_TRUE(pending.empty());
  EXPECT_THAT(pending.conflicts(), IsEmpty()) << "a refused address must not queue a removal";
  ASSERT_EQ(pending.AddAddress("n@new.org", "N"), ListEditError::kNone);
  EXPECT_EQ(pending.AddAddress("N@NEW.org", "N"), ListEditError::kAlreadyPending);
  EXPECT_EQ(ListEditErrorText(ListEditError::kAlreadyPending), "");
}

TEST(PendingAdditionTest, ADomainAndAnAddressOfItInOneEditRemoveTheOppositeGroupOnce) {
  // The group is queued whole by the domain and its address singly by the address:
  // applying both must not touch a removed group again.
  ContactList white;
  ContactList black = ListOf({"a@example.org", "b@example.org"});
  PendingAddition pending(white, black);
  ASSERT_EQ(pending.AddDomain("@example.org"), ListEditError::kNone);
  ASSERT_EQ(pending.AddAddress("a@example.org", "Ann"), ListEditError::kNone);
  PendingAddition::Applied applied = pending.Apply(kNow);
  EXPECT_THAT(Shown(black), IsEmpty());
  EXPECT_EQ(applied.opposite.removed.size(), 2u);
  EXPECT_THAT(Shown(white), ElementsAre("@example.org")) << "the domain covers the address";
}

TEST(PendingAdditionTest, ASingleListHasNoOpposite) {
  ContactList safe = ListOf({"a@example.org"});
  PendingAddition pending(safe, safe);
  EXPECT_FALSE(pending.HasOpposite());
  ASSERT_EQ(pending.AddDomain("@example.org"), ListEditError::kNone);
  EXPECT_THAT(pending.conflicts(), IsEmpty());
  EXPECT_THAT(Addresses(pending.absorbed()), ElementsAre("a@example.org"));
  pending.Apply(kNow);
  EXPECT_THAT(Shown(safe), ElementsAre("@example.org"));
}

TEST(ReplayChangeTest, ReplaysOnAListChangedMeanwhileAndReversesExactly) {
  ContactList white = ListOf({"a@example.org", "b@example.org"});
  ContactList black = ListOf({"c@example.org"});
  ContactList liveWhite = white;
  ContactList liveBlack = black;
  PendingAddition pending(white, black);
  ASSERT_EQ(pending.AddDomain("@example.org"), ListEditError::kNone);
  PendingAddition::Applied applied = pending.Apply(kNow);
  // Someone else added an address to the live White List meanwhile.
  liveWhite.AddAddress(MakeContact("d@elsewhere.org"), "D", kNow);
  ReplayChange(liveWhite, applied.target, kNow);
  ReplayChange(liveBlack, applied.opposite, kNow);
  EXPECT_THAT(Shown(liveWhite), ElementsAre("d@elsewhere.org", "@example.org"));
  EXPECT_THAT(Shown(liveBlack), IsEmpty());
  ReverseChange(liveWhite, applied.target, kNow);
  ReverseChange(liveBlack, applied.opposite, kNow);
  EXPECT_THAT(Shown(liveWhite), ElementsAre("d@elsewhere.org", "a@example.org", "b@example.org"));
  EXPECT_THAT(Shown(liveBlack), ElementsAre("c@example.org"));
}

}  // namespace
}  // namespace quorvel
