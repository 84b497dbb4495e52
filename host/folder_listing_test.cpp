#include "host/folder_listing.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "host/memory_host.h"
#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

const protocol::FolderEntry* Find(const std::vector<protocol::FolderEntry>& folders,
                                  const std::string& path) {
  auto it = std::find_if(folders.begin(), folders.end(),
                         [&](const protocol::FolderEntry& f) { return f.path == path; });
  return it == folders.end() ? nullptr : &*it;
}

TEST(FolderListingTest, EveryFolderComesWithItsPathAndParentsBeforeChildren) {
  ui::ScriptedUi ui;
  MemoryHost box(ui);
  auto spam = box.Inbox()->Folders()->Add("Sp\xe4m");  // ANSI: the name travels as UTF-8
  ASSERT_TRUE(spam.ok());
  ASSERT_TRUE((*spam)->Folders()->Add("Old").ok());

  const auto folders = ListFolders(*box.nameSpace);
  const auto* inbox = Find(folders, "Inbox");
  const auto* child = Find(folders, "Inbox/Sp\xc3\xa4m");
  const auto* grandchild = Find(folders, "Inbox/Sp\xc3\xa4m/Old");
  ASSERT_NE(inbox, nullptr);
  ASSERT_NE(child, nullptr);
  ASSERT_NE(grandchild, nullptr);
  EXPECT_LT(inbox, child);
  EXPECT_LT(child, grandchild);
  EXPECT_EQ(child->name, "Sp\xc3\xa4m");
  EXPECT_EQ(child->id, (*spam)->EntryID());
  EXPECT_EQ(inbox->items, 0);
  EXPECT_NE(Find(folders, "Sent Items"), nullptr);
}

}  // namespace
}  // namespace quorvel::host
