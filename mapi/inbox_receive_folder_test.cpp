#include "mapi/inbox_receive_folder.h"

#include <gtest/gtest.h>

#include "mapi/queries.h"

namespace quorvel::mapi {
namespace {

TEST(InboxReceiveFolderTest, EveryClassGoesToTheInboxUnderTheLongestMatchingRow) {
  const EntryId inbox(std::string("inbox-id"));
  struct Case {
    const char* messageClass;
    const char* row;
  } cases[] = {
      {"IPM.Note", "IPM.Note"},
      {"IPM.Note.Custom", "IPM.Note"},
      {"IPM", "IPM"},
      {"IPM.Schedule.Meeting", "IPM"},
      {"IPM.Notes", "IPM"},
      {"IPMX", ""},
      {"REPORT.IPM.Note.NDR", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    ReceiveFolder folder = InboxReceiveFolder(inbox, c.messageClass);
    EXPECT_EQ(folder.folderId, inbox) << c.messageClass;
    EXPECT_EQ(folder.explicitClass, c.row) << c.messageClass;
  }
  auto rows = HrQueryAllRows(*InboxReceiveFolderTable(inbox),
                             std::vector<PropTag>{PR_MESSAGE_CLASS, PR_ENTRYID}, std::nullopt);
  ASSERT_TRUE(rows.ok());
  ASSERT_EQ(rows->size(), 3u);
  for (const Row& row : *rows) EXPECT_EQ(GetEntryId(row, PR_ENTRYID), inbox);
  EXPECT_EQ(GetString8((*rows)[2], PR_MESSAGE_CLASS), "IPM.Note");
}

}  // namespace
}  // namespace quorvel::mapi
