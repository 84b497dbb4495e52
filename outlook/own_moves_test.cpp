#include "outlook/own_moves.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel::outlook {
namespace {

using mapi::EntryId;

TEST(OwnMovesTest, AMoveIsTheHostsOnlyForTheNotedMessageAndFolderWithinTheWindow) {
  platform::FakeClock clock;
  OwnMoves own(clock);
  const EntryId spam(std::string("F\x01spam")), inbox(std::string("F\x01inbox"));
  own.Note("<a@x>", spam);
  EXPECT_TRUE(own.IsOwn("<a@x>", spam));
  EXPECT_FALSE(own.IsOwn("<a@x>", inbox));
  EXPECT_FALSE(own.IsOwn("<b@x>", spam));
  EXPECT_FALSE(own.IsOwn("<a@x> ", spam));
  EXPECT_FALSE(own.IsOwn("<a@x>", EntryId()));
  // Without a Message-ID nothing is noted, and nothing is the host's.
  own.Note("", spam);
  EXPECT_FALSE(own.IsOwn("", spam));
  EXPECT_EQ(own.size(), 1u);

  clock.AdvanceMs(kOwnMoveMs);
  EXPECT_TRUE(own.IsOwn("<a@x>", spam));
  own.Note("<a@x>", inbox);  // the same message on into another folder
  clock.AdvanceMs(1);
  EXPECT_FALSE(own.IsOwn("<a@x>", spam));
  EXPECT_TRUE(own.IsOwn("<a@x>", inbox));
}

// A large folder check notes each of its spam: every one is found, none for another
// folder, and they go once the window is over.
TEST(OwnMovesTest, ACheckOfManyNotesFindsEachAndLetsThemGoOnceOld) {
  platform::FakeClock clock;
  OwnMoves own(clock);
  const EntryId spam(std::string("F\x01spam")), inbox(std::string("F\x01inbox"));
  const int checked = 60000;
  for (int i = 0; i < checked; ++i) own.Note("<" + std::to_string(i) + "@check>", spam);
  EXPECT_EQ(own.size(), static_cast<std::size_t>(checked));
  int found = 0;
  int elsewhere = 0;
  for (int i = 0; i < checked; ++i) {
    const std::string id = "<" + std::to_string(i) + "@check>";
    found += own.IsOwn(id, spam) ? 1 : 0;
    elsewhere += own.IsOwn(id, inbox) || own.IsOwn("<" + std::to_string(i) + "@other>", spam);
  }
  EXPECT_EQ(found, checked);
  EXPECT_EQ(elsewhere, 0);

  clock.AdvanceMs(kOwnMoveMs + 1);
  for (int i = 0; i < 300; ++i) own.Note("<" + std::to_string(i) + "@later>", inbox);
  EXPECT_EQ(own.size(), 300u);
  EXPECT_FALSE(own.IsOwn("<0@check>", spam));
  EXPECT_TRUE(own.IsOwn("<299@later>", inbox));
}

}  // namespace
}  // namespace quorvel::outlook
