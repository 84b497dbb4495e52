#include "host/store_events.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>

#include "host/memory_host.h"
#include "testing/message_builder.h"
#include "testing/wait_until.h"
#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

using namespace std::chrono_literals;

mapi::EntryId Id(char c) { return mapi::EntryId(std::string(4, c)); }

std::string Text(const protocol::Event& e) {
  std::string text = e.event;
  for (const auto& [name, value] : e.fields) text += " " + name + "=" + value;
  return text;
}

TEST(StoreEventsTest, ABatchBecomesOneChangePerFolder) {
  auto message = [](std::uint32_t type, char parent, char oldParent = 0) {
    mapi::Notification n;
    n.eventType = type;
    n.objectType = mapi::MAPI_MESSAGE;
    n.parentId = Id(parent);
    if (oldParent != 0) n.oldParentId = Id(oldParent);
    return n;
  };
  mapi::Notification folderMade = message(mapi::fnevObjectCreated, 'a');
  folderMade.objectType = mapi::MAPI_FOLDER;  // not a message: no change of contents
  const mapi::Notification batch[] = {
      message(mapi::fnevObjectCreated, 'a'),
      message(mapi::fnevObjectCreated, 'a'),
      message(mapi::fnevObjectMoved, 'b', 'a'),
      message(mapi::fnevObjectDeleted, 'b'),
      folderMade,
      message(mapi::fnevObjectCopied, 'c'),
  };
  std::vector<std::string> texts;
  for (const auto& e : StoreEvents::EventsOf(batch)) texts.push_back(Text(e));
  const std::string a = Id('a').ToHex(), b = Id('b').ToHex(), c = Id('c').ToHex();
  EXPECT_THAT(texts, ::testing::ElementsAre("folder-changed folder=" + a + " added=2 removed=1",
                                            "folder-changed folder=" + b + " added=1 removed=1",
                                            "folder-changed folder=" + c + " added=1 removed=0"));
}

TEST(StoreEventsTest, AMessageDeliveredToTheStoreReachesSubscribers) {
  ui::ScriptedUi ui;
  MemoryHost box(ui);
  EventBus bus;
  std::mutex mutex;
  std::vector<std::string> seen;
  bus.Subscribe({"*"}, [&](const protocol::Event& e) {
    std::lock_guard lock(mutex);
    seen.push_back(Text(e));
  });
  auto events = WatchDefaultStore(*box.nameSpace, bus);
  ASSERT_NE(events, nullptr);
  auto inbox = box.session->OpenEntry(box.layout.inbox, mapi::MAPI_BEST_ACCESS)->As<mapi::Folder>();
  MessageBuilder().Subject("new").DeliverTo(*inbox);
  const std::string changed = "folder-changed folder=" + box.layout.inbox.ToHex() + " added=1";
  EXPECT_TRUE(quorvel::testing::WaitUntil(
      [&] {
        std::lock_guard lock(mutex);
        for (const auto& s : seen) {
          if (s.rfind(changed, 0) == 0) return true;
        }
        return false;
      },
      10s));
  std::lock_guard lock(mutex);
  ASSERT_FALSE(seen.empty());
  EXPECT_THAT(seen.front(), ::testing::StartsWith("store state=connected"));
}

}  // namespace
}  // namespace quorvel::host
