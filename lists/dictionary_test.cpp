#include "lists/dictionary.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(MatchDictionaryTest, FindsLowerCasedSubstringsInSetOrder) {
  StringSet dictionary;
  dictionary.Insert("Free Offer");
  dictionary.Insert("win");
  auto match = MatchDictionary(dictionary, "FREE OFFERS inside", "", "");
  ASSERT_TRUE(match);
  EXPECT_EQ(match->entry, "Free Offer");
  EXPECT_EQ(match->lowered, "free offer");
  // No word boundaries; the body and the sender name are searched too.
  match = MatchDictionary(dictionary, "", "Winter sale", "");
  ASSERT_TRUE(match);
  EXPECT_EQ(match->entry, "win");
  EXPECT_TRUE(MatchDictionary(dictionary, "", "", "Mr WINston"));
  // The set order decides, not the text order: "Free Offer" comes before "win".
  match = MatchDictionary(dictionary, "win", "", "free offer");
  ASSERT_TRUE(match);
  EXPECT_EQ(match->entry, "Free Offer");
  EXPECT_FALSE(MatchDictionary(dictionary, "hello", "world", "sender"));
}

TEST(MatchDictionaryTest, EmptyDictionaryOrEntryNeverMatches) {
  StringSet dictionary;
  EXPECT_FALSE(MatchDictionary(dictionary, "", "", ""));
  dictionary.Insert("");
  EXPECT_FALSE(MatchDictionary(dictionary, "any text", "", ""));
  dictionary.Insert(" cash ");  // blanks are part of an entry
  EXPECT_FALSE(MatchDictionary(dictionary, "cashier", "", ""));
  EXPECT_TRUE(MatchDictionary(dictionary, "pay cash now", "", ""));
}

}  // namespace
}  // namespace quorvel
