#include "app/message_names.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "host/memory_host.h"
#include "mapi/queries.h"
#include "testing/message_builder.h"
#include "ui/scripted_ui.h"

namespace quorvel::app {
namespace {

using ::testing::ElementsAre;

TEST(MessageNamesTest, NamesFromArgumentsAndFromStandardInputInTheOrderGiven) {
  ui::ScriptedUi ui;
  host::MemoryHost box(ui);
  auto inbox = box.session->OpenEntry(box.layout.inbox, mapi::MAPI_BEST_ACCESS)->As<mapi::Folder>();
  for (const char* id : {"a", "b", "c"}) {
    MessageBuilder()
        .Subject(id)
        .Prop(mapi::PropValue::String8(mapi::PR_INTERNET_MESSAGE_ID, "<" + std::string(id) + "@x>"))
        .DeliverTo(*inbox);
  }
  host::MessageLocator locator(box.nameSpace, "/");
  // notmuch's output with a Windows line end, a blank line and padding; "-" twice
  // reads the input once.
  std::istringstream in("id:b@x\r\n\n  <c@x>  \nmissing@x\n");
  std::ostringstream err;
  std::vector<host::LocatedMessage> found;
  host::Outcome outcome = LocateMessages(locator, {"<a@x>", "-", "-", "gone@x"}, in, err, &found);
  std::vector<std::string> subjects;
  for (const auto& m : found) subjects.push_back(m.item->Subject());
  EXPECT_THAT(subjects, ElementsAre("a", "b", "c"));
  EXPECT_EQ(outcome.code, host::OutcomeCode::kNotFound);
  EXPECT_THAT(outcome.message, ::testing::HasSubstr("<missing@x>"));
  EXPECT_EQ(err.str(),
            "quorvel: no message has the Message-ID <missing@x>\n"
            "quorvel: no message has the Message-ID <gone@x>\n");
}

}  // namespace
}  // namespace quorvel::app
