#include "outlook/spam_folder_picker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/memory_host.h"
#include "ui/scripted_ui.h"

namespace quorvel::outlook {
namespace {

using ::testing::Contains;

// The General page's picker offers every folder by its path, the one chosen coming
// back with its entry id, whether it holds mail (the page refuses one that does not),
// and its path as the spam folder is shown; Cancel gives nothing.
TEST(SpamFolderPickerTest, OffersEveryFolderAndGivesTheOneChosen) {
  ui::ScriptedUi ui;
  host::MemoryHost box(ui);
  struct Case {
    const char* path;
    const mapi::EntryId& id;
    bool holdsMail;
  } cases[] = {{"Inbox", box.layout.inbox, true}, {"Contacts", box.layout.contacts, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::vector<std::string> offered;
    ui.QueueDialog([&offered, &c](ui::Dialog& d) {
      ui::Control* choice = d.Find("folder");
      offered = choice->options;
      for (std::size_t i = 0; i < offered.size(); ++i) {
        if (offered[i] == c.path) choice->selected = static_cast<std::int32_t>(i);
      }
      return platform::IDOK;
    });
    std::optional<ui::PickedFolder> picked = PickFolder(ui, *box.nameSpace);
    ASSERT_TRUE(picked.has_value());
    EXPECT_EQ(picked->entryId, c.id.ToHex());
    EXPECT_EQ(picked->holdsMail, c.holdsMail);
    EXPECT_THAT(picked->path, ::testing::EndsWith(c.path));
    EXPECT_THAT(offered, Contains("Sent Items"));
  }
  ui.QueueDialog(ui::ScriptedUi::Press(platform::IDCANCEL));
  EXPECT_FALSE(PickFolder(ui, *box.nameSpace).has_value());
}

}  // namespace
}  // namespace quorvel::outlook
