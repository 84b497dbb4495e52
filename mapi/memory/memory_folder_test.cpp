#include <gtest/gtest.h>

#include "mapi/queries.h"
#include "testing/message_builder.h"
#include "testing/recording_sink.h"
#include "testing/test_mailbox.h"

namespace quorvel::mapi::memory {
namespace {

using quorvel::MessageBuilder;
using quorvel::RecordingSink;
using quorvel::TestMailbox;

std::vector<std::string> Names(Table& table) {
  PropTag columns[] = {PR_DISPLAY_NAME};
  auto rows = HrQueryAllRows(table, columns, std::nullopt);
  std::vector<std::string> names;
  for (const auto& row : *rows) names.push_back(row[0].AsString8() ? *row[0].AsString8() : "?");
  return names;
}

TEST(MemoryFolderTest, StandardLayoutAndHierarchy) {
  TestMailbox box;
  auto top = box.OpenFolder(box.layout.ipmSubtree);
  EXPECT_EQ(Names(**top->GetHierarchyTable(0)),
            (std::vector<std::string>{"Inbox", "Outbox", "Sent Items", "Deleted Items", "Drafts",
                                      "Contacts"}));
  box.AddFolder(box.layout.inbox, "Spam");
  auto deep = Names(**top->GetHierarchyTable(CONVENIENT_DEPTH));
  EXPECT_EQ(deep[1], "Spam");  // right below the Inbox
  auto inbox = box.Inbox();
  EXPECT_TRUE(*HrGetOneProp(*inbox, PR_SUBFOLDERS)->AsBoolean());
  EXPECT_EQ(HrGetOneProp(*inbox, PR_IPM_CONTACT_ENTRYID)->AsEntryId(), box.layout.contacts);
  EXPECT_EQ(*HrGetOneProp(*box.OpenFolder(box.layout.contacts), PR_CONTAINER_CLASS)->AsString8(),
            "IPF.Contact");
}

TEST(MemoryFolderTest, CreateFolderCollidesOrOpensTheExistingOne) {
  TestMailbox box;
  auto inbox = box.Inbox();
  auto first = inbox->CreateFolder(FOLDER_GENERIC, "Spam", "", 0);
  ASSERT_TRUE(first.ok());
  EXPECT_EQ(inbox->CreateFolder(FOLDER_GENERIC, "spam", "", 0).hr, MAPI_E_COLLISION);
  auto again = inbox->CreateFolder(FOLDER_GENERIC, "SPAM", "", OPEN_IF_EXISTS);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(HrGetOneProp(**again, PR_ENTRYID)->AsEntryId(),
            HrGetOneProp(**first, PR_ENTRYID)->AsEntryId());
  EXPECT_EQ(*HrGetOneProp(**first, PR_CONTAINER_CLASS)->AsString8(), "IPF.Note");
}

TEST(MemoryFolderTest, ContentsCountsAndUnread) {
  TestMailbox box;
  MessageBuilder().Subject("a").DeliverTo(*box.Inbox());
  MessageBuilder().Subject("b").Read().DeliverTo(*box.Inbox());
  auto inbox = box.Inbox();
  EXPECT_EQ(*HrGetOneProp(*inbox, PR_CONTENT_COUNT)->AsLong(), 2);
  EXPECT_EQ(*HrGetOneProp(*inbox, PR_CONTENT_UNREAD)->AsLong(), 1);
  auto table = *inbox->GetContentsTable(0);
  PropTag columns[] = {PR_ENTRYID, PR_OBJECT_TYPE, PR_MESSAGE_FLAGS};
  auto unread =
      HrQueryAllRows(*table, columns, Restriction::Bitmask(BMR_EQZ, PR_MESSAGE_FLAGS, 0x41));
  ASSERT_EQ(unread->size(), 1u);
  EXPECT_EQ(*(*unread)[0][1].AsLong(), static_cast<std::int32_t>(MAPI_MESSAGE));
  EXPECT_EQ(*(*inbox->GetContentsTable(MAPI_ASSOCIATED))->GetRowCount(0), 0u);
}

TEST(MemoryFolderTest, MoveKeepsTheIdAndTellsTheOldParent) {
  TestMailbox box;
  EntryId spam = box.AddFolder(box.layout.inbox, "Spam");
  EntryId a = *MessageBuilder().Subject("a").DeliverTo(*box.Inbox());
  EntryId b = *MessageBuilder().Subject("b").DeliverTo(*box.Inbox());
  auto sink = std::make_shared<RecordingSink>();
  ASSERT_TRUE(box.OpenStore()->Advise({}, fnevObjectMoved, sink).ok());

  EntryId ids[] = {a};
  ASSERT_EQ(box.Inbox()->CopyMessages(ids, *box.OpenFolder(spam), MESSAGE_MOVE), S_OK);
  EXPECT_EQ(box.MessagesIn(box.layout.inbox), std::vector<EntryId>{b});
  EXPECT_EQ(box.MessagesIn(spam), std::vector<EntryId>{a});
  EXPECT_EQ(box.StringOf(a, PR_SUBJECT), "a");
  EXPECT_EQ(HrGetOneProp(*box.OpenMessage(a), PR_PARENT_ENTRYID)->AsEntryId(), spam);

  box.session->DispatchNotifications();
  auto events = sink->All();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].eventType, fnevObjectMoved);
  EXPECT_EQ(events[0].entryId, a);
  EXPECT_EQ(events[0].objectType, MAPI_MESSAGE);
  EXPECT_EQ(events[0].parentId, spam);
  EXPECT_EQ(events[0].oldParentId, box.layout.inbox);
}

TEST(MemoryFolderTest, CopyMakesANewMessageAndMissingIdsArePartial) {
  TestMailbox box;
  EntryId a = *MessageBuilder().Subject("a").DeliverTo(*box.Inbox());
  EntryId ids[] = {a, EntryId(std::string("nope"))};
  EXPECT_EQ(box.Inbox()->CopyMessages(ids, *box.OpenFolder(box.layout.deletedItems), 0),
            MAPI_W_PARTIAL_COMPLETION);
  auto copies = box.MessagesIn(box.layout.deletedItems);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_NE(copies[0], a);
  EXPECT_EQ(box.StringOf(copies[0], PR_SUBJECT), "a");
  EXPECT_EQ(box.MessagesIn(box.layout.inbox).size(), 1u);
  // A message that is not in the source folder is not moved from it.
  EntryId fromElsewhere[] = {copies[0]};
  EXPECT_EQ(
      box.Inbox()->CopyMessages(fromElsewhere, *box.OpenFolder(box.layout.sentItems), MESSAGE_MOVE),
      MAPI_W_PARTIAL_COMPLETION);
  EXPECT_TRUE(box.MessagesIn(box.layout.sentItems).empty());
}

TEST(MemoryFolderTest, MoveAcrossStoresGivesANewId) {
  TestMailbox box;
  StoreLayout other = box.session->AddStore({.displayName = "Archive"});
  EntryId a = *MessageBuilder().Subject("a").DeliverTo(*box.Inbox());
  EntryId ids[] = {a};
  ASSERT_EQ(box.Inbox()->CopyMessages(ids, *box.OpenFolder(other.inbox), MESSAGE_MOVE), S_OK);
  EXPECT_TRUE(box.MessagesIn(box.layout.inbox).empty());
  auto moved = box.MessagesIn(other.inbox);
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_NE(moved[0], a);
  EXPECT_EQ(box.session->OpenEntry(a, 0).hr, MAPI_E_NOT_FOUND);
}

TEST(MemoryFolderTest, DeleteMessagesAndFolders) {
  TestMailbox box;
  EntryId spam = box.AddFolder(box.layout.inbox, "Spam");
  EntryId a = *MessageBuilder().SaveIn(*box.OpenFolder(spam));
  EntryId ids[] = {a};
  auto opened = box.OpenMessage(a);
  ASSERT_EQ(box.OpenFolder(spam)->DeleteMessages(ids, MESSAGE_DIALOG), S_OK);
  EXPECT_TRUE(box.MessagesIn(spam).empty());
  // A message deleted while open cannot be saved.
  EXPECT_EQ(opened->SaveChanges(0), MAPI_E_OBJECT_DELETED);

  MessageBuilder().SaveIn(*box.OpenFolder(spam));
  EXPECT_EQ(box.Inbox()->DeleteFolder(spam, 0), MAPI_E_HAS_MESSAGES);
  ASSERT_EQ(box.Inbox()->DeleteFolder(spam, DEL_MESSAGES | DEL_FOLDERS), S_OK);
  EXPECT_EQ(box.session->OpenEntry(spam, 0).hr, MAPI_E_NOT_FOUND);
}

TEST(MemoryFolderTest, MessageSavedAfterItMovedStaysWhereItIs) {
  TestMailbox box;
  EntryId a = *MessageBuilder().Subject("a").DeliverTo(*box.Inbox());
  auto open = box.OpenMessage(a);
  EntryId ids[] = {a};
  ASSERT_EQ(box.Inbox()->CopyMessages(ids, *box.OpenFolder(box.layout.deletedItems), MESSAGE_MOVE),
            S_OK);
  PropValue subject = PropValue::String8(PR_SUBJECT, "edited");
  ASSERT_EQ(open->SetProps({&subject, 1}), S_OK);
  ASSERT_EQ(open->SaveChanges(0), S_OK);
  EXPECT_EQ(box.MessagesIn(box.layout.deletedItems), std::vector<EntryId>{a});
  EXPECT_EQ(box.StringOf(a, PR_SUBJECT), "edited");
}

}  // namespace
}  // namespace quorvel::mapi::memory
