#include "host/application.h"

#include <gtest/gtest.h>

#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

// An add-in's question for later: queued where the host has a queue, else answered
// with its default at once, and never blocking the add-in.
TEST(ApplicationTest, RaisePendingQueuesOnlyWhereTheHostHasAQueue) {
  ui::ScriptedUi presenter;
  Application application(nullptr, presenter, /*hasExplorers=*/false);
  Interaction wizard;
  wizard.kind = "wizard";
  wizard.dialog.title = "Set up";
  wizard.defaultAnswer = 2;

  std::int32_t button = 0;
  EXPECT_EQ(application.RaisePending(wizard, PendingInteractions::kNoDeadline,
                                     [&](const InteractionAnswer& a) { button = a.button; }),
            0u);
  EXPECT_EQ(button, 2);

  PendingInteractions pending;
  application.SetPendingQueue(&pending);
  button = 0;
  const auto id = application.RaisePending(wizard, PendingInteractions::kNoDeadline,
                                           [&](const InteractionAnswer& a) { button = a.button; });
  ASSERT_NE(id, 0u);
  EXPECT_EQ(button, 0);
  ASSERT_EQ(pending.List().size(), 1u);
  EXPECT_EQ(pending.List()[0].title, "Set up");
  ASSERT_TRUE(pending.Take(id, 1));
  ASSERT_TRUE(pending.Answer(id, 1, {1}));
  EXPECT_EQ(button, 1);
  application.SetPendingQueue(nullptr);
}

}  // namespace
}  // namespace quorvel::host
