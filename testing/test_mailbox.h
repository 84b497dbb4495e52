// TestMailbox: an in-memory session with one default store and its standard folders,
// plus short helpers to open folders and messages and list what a folder holds.
//
//   TestMailbox box;
//   EntryId spam = box.AddFolder(box.layout.inbox, "Spam");
//   MessageBuilder().Subject("hi").DeliverTo(*box.Inbox());
//   EXPECT_EQ(box.MessagesIn(spam).size(), 0u);
//
// More stores: box.session->AddStore(...). Not thread-safe (the session it holds is).
#ifndef QUORVEL_TESTING_TEST_MAILBOX_H_
#define QUORVEL_TESTING_TEST_MAILBOX_H_

#include <memory>
#include <string>
#include <vector>

#include "mapi/folder.h"
#include "mapi/memory/memory_session.h"
#include "mapi/message.h"
#include "mapi/store.h"

namespace quorvel {

class TestMailbox {
 public:
  explicit TestMailbox(const mapi::memory::StoreOptions& options = DefaultOptions());

  static mapi::memory::StoreOptions DefaultOptions();

  // Opens a folder or message; fails the calling test (and returns null) when it cannot.
  std::shared_ptr<mapi::Folder> OpenFolder(const mapi::EntryId& id) const;
  std::shared_ptr<mapi::Message> OpenMessage(const mapi::EntryId& id) const;
  std::shared_ptr<mapi::MsgStore> OpenStore() const;
  std::shared_ptr<mapi::Folder> Inbox() const { return OpenFolder(layout.inbox); }

  // A subfolder of `parent`; returns its id.
  mapi::EntryId AddFolder(const mapi::EntryId& parent, const std::string& name) const;
  // The entry ids of the messages in a folder, in folder order.
  std::vector<mapi::EntryId> MessagesIn(const mapi::EntryId& folder) const;
  // One string property of a message ("" when missing).
  std::string StringOf(const mapi::EntryId& message, mapi::PropTag tag) const;
  // PR_MESSAGE_FLAGS of a message (0 when missing).
  std::uint32_t FlagsOf(const mapi::EntryId& message) const;

  std::shared_ptr<mapi::memory::MemorySession> session;
  mapi::memory::StoreLayout layout;
};

}  // namespace quorvel

#endif  // QUORVEL_TESTING_TEST_MAILBOX_H_
