#include "outlook/worker.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "mapi/memory/memory_session.h"
#include "mapi/queries.h"
#include "outlook/journal_file.h"
#include "platform/code_page.h"
#include "platform/memory_file_system.h"
#include "testing/message_builder.h"
#include "testing/test_mailbox.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;
using mapi::memory::Call;

// Spam is whatever has "SPAM" in its subject; remembers every call.
class ScriptedJudge final : public SpamJudge {
 public:
  bool IsSpam(std::shared_ptr<mapi::Message> message, ClassifyFlags flags,
              std::string* reason) override {
    auto subject = mapi::HrGetOneProp(*message, mapi::PR_SUBJECT);
    if (reason) *reason = "Subject says SPAM\nsecond line";
    if (onJudge) onJudge();
    std::lock_guard<std::mutex> lock(mutex);
    flagsSeen.push_back(flags);
    return subject.ok() && subject->AsString8() &&
           subject->AsString8()->find("SPAM") != std::string::npos;
  }
  std::size_t calls() {
    std::lock_guard<std::mutex> lock(mutex);
    return flagsSeen.size();
  }
  std::mutex mutex;
  std::vector<ClassifyFlags> flagsSeen;
  std::function<void()> onJudge;  // called on the judging thread
};

class RecordingJournal final : public VerdictJournal {
 public:
  void Record(const JournalEntry& entry) override { entries.push_back(entry); }
  std::vector<JournalEntry> entries;
};

class RecordingWindow final : public TrayWindow {
 public:
  bool Visible() const override { return visible; }
  void Notify(std::uint32_t count, std::uint32_t delayMs) override {
    counts.push_back(count);
    EXPECT_EQ(delayMs, 2000u);
    if (onNotify) onNotify();
  }
  std::function<void()> onNotify;  // called after a move, on the worker's thread
  bool visible = false;
  std::vector<std::uint32_t> counts;
};

class WorkerTest : public ::testing::Test {
 protected:
  WorkerTest() {
    spam = box.AddFolder(box.layout.inbox, "Spam");
    settings.SetSpamFolder(
        {platform::AnsiToWide(spam.ToHex()), u"Personal Folders -> Inbox -> Spam"});
    settings.Lock()->respectOutlookRules = 1;
    tray.SetWindow(&window);
  }

  WorkerOptions Options() {
    return WorkerOptions{
        .queue = queue,
        .settings = settings,
        .clock = clock,
        .judge = judge,
        .obtainSession = [this] { return std::shared_ptr<mapi::Session>(box.session); },
        .goodSeen = goodSeen,
        .removeNewMailIcon = [this] { ++iconRemovals; },
        .tray = &tray};
  }

  EntryId Deliver(const std::string& subject, const EntryId& folder = {}) {
    auto f = box.OpenFolder(folder.present() ? folder : box.layout.inbox);
    return *MessageBuilder().Subject(subject).From("Ann", "ann@example.com").SaveIn(*f);
  }
  void Queue(const EntryId& message, std::uint32_t origin = kOriginNotification,
             const EntryId& parent = {}) {
    queue.Enqueue(parent.present() ? parent : box.layout.inbox, message, origin);
  }
  bool InSpam(const EntryId& id) {
    for (const EntryId& m : box.MessagesIn(spam)) {
      if (m == id) return true;
    }
    return false;
  }

  TestMailbox box;
  EntryId spam;
  platform::FakeClock clock;
  SettingsHolder settings;
  PendingQueue queue{clock, settings};
  ScriptedJudge judge;
  std::atomic<bool> goodSeen{false};
  RecordingWindow window;
  TrayCounter tray{clock, settings};
  int iconRemovals = 0;
};

TEST_F(WorkerTest, SpamMovesIntoTheSpamFolderAndGoodMailStays) {
  EntryId good = Deliver("lunch");
  EntryId bad = Deliver("SPAM pills");
  Queue(good);
  Queue(bad);
  Worker worker(Options());
  worker.RunPass();
  EXPECT_FALSE(queue.HasPending());
  EXPECT_TRUE(InSpam(bad));
  EXPECT_EQ(box.MessagesIn(box.layout.inbox), std::vector<EntryId>{good});
  EXPECT_EQ(window.counts, std::vector<std::uint32_t>{1});
  // Read state unchanged without MarkSpamAsRead.
  EXPECT_EQ(box.FlagsOf(bad) & mapi::MSGFLAG_READ, 0u);
}

TEST_F(WorkerTest, FlagsFollowTheOriginAndMarkSpamAsRead) {
  struct Case {
    std::uint32_t origin;
    bool markRead;
    ClassifyFlags flags;
  };
  const Case cases[] = {
      {kOriginNotification, false, kWorkerFlagsLearning},
      {kOriginDelivery, false, kWorkerFlagsLearning},
      {kOriginStartupScan, false, kStandardFlags},  // the start-up scan never learns
      {kOriginNotification, true, kWorkerFlagsLearning | kMoveSetRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.origin);
    settings.Lock()->markSpamAsRead = c.markRead;
    judge.flagsSeen.clear();
    EntryId bad = Deliver("SPAM");
    Queue(bad, c.origin);
    Worker(Options()).RunPass();
    ASSERT_EQ(judge.flagsSeen.size(), 1u);
    EXPECT_EQ(judge.flagsSeen[0], c.flags);
    ASSERT_TRUE(InSpam(bad));
    EXPECT_EQ((box.FlagsOf(bad) & mapi::MSGFLAG_READ) != 0, c.markRead);
  }
}

TEST_F(WorkerTest, GoodMailSeenKeepsTheNewMailIcon) {
  Queue(Deliver("SPAM one"));
  Worker(Options()).RunPass();
  EXPECT_EQ(iconRemovals, 1);
  Queue(Deliver("hello"));
  Worker(Options()).RunPass();
  EXPECT_TRUE(goodSeen);
  Queue(Deliver("SPAM two"));
  Worker(Options()).RunPass();
  EXPECT_EQ(iconRemovals, 1);
}

TEST_F(WorkerTest, MessageMovedByARuleBeforeTheWorkerReachedIt) {
  EntryId rules = box.AddFolder(box.layout.inbox, "Rules");
  for (bool respect : {true, false}) {
    SCOPED_TRACE(respect);
    settings.Lock()->respectOutlookRules = respect;
    EntryId bad = Deliver("SPAM");
    Queue(bad);
    // The rule moves it; the store's notification is not in play here.
    const EntryId ids[] = {bad};
    ASSERT_EQ(box.Inbox()->CopyMessages(ids, *box.OpenFolder(rules), mapi::MESSAGE_MOVE),
              mapi::S_OK);
    if (respect) queue.NoteMoved(bad, rules);
    std::size_t before = judge.calls();
    Worker(Options()).RunPass();
    if (respect) {
      EXPECT_EQ(judge.calls(), before);  // dropped unjudged
      EXPECT_FALSE(InSpam(bad));
    } else {
      EXPECT_TRUE(InSpam(bad));  // judged and moved from the rule's folder
    }
  }
}

TEST_F(WorkerTest, JudgedSpamQueuedAgainIsMovedWithoutASecondJudgement) {
  settings.Lock()->respectOutlookRules = 0;
  EntryId rules = box.AddFolder(box.layout.inbox, "Rules");
  EntryId bad = Deliver("SPAM");
  Queue(bad);
  Worker worker(Options());
  worker.RunPass();
  ASSERT_TRUE(InSpam(bad));
  // A rule takes it out of the spam folder within the window.
  const EntryId ids[] = {bad};
  ASSERT_EQ(box.OpenFolder(spam)->CopyMessages(ids, *box.OpenFolder(rules), mapi::MESSAGE_MOVE),
            mapi::S_OK);
  clock.AdvanceMs(1500);
  queue.NoteMoved(bad, rules);
  worker.RunPass();
  EXPECT_TRUE(InSpam(bad));
  EXPECT_EQ(judge.calls(), 1u);
}

TEST_F(WorkerTest, MessageAlreadyInTheSpamFolderIsNotMovedOrCounted) {
  EntryId bad = Deliver("SPAM", spam);
  Queue(bad, kOriginNotification, spam);
  Worker(Options()).RunPass();
  EXPECT_TRUE(InSpam(bad));
  EXPECT_TRUE(window.counts.empty());
}

TEST_F(WorkerTest, FailuresLeaveTheMessageWhereItIsAndUncounted) {
  // Cannot be opened: dropped as not spam, unjudged.
  EntryId gone = Deliver("SPAM gone");
  box.session->faults().Fail(Call::kOpenEntry, gone, mapi::MAPI_E_NOT_FOUND);
  Queue(gone);
  // The move fails.
  EntryId stuck = Deliver("SPAM stuck");
  // Fails twice: the move, and its one retry on the spam folder opened afresh.
  box.session->faults().Fail(Call::kCopyMessages, box.layout.inbox, mapi::MAPI_E_CALL_FAILED, 2);
  Queue(stuck);
  Worker(Options()).RunPass();
  EXPECT_FALSE(queue.HasPending());
  EXPECT_EQ(judge.calls(), 1u);
  EXPECT_EQ(box.MessagesIn(spam).size(), 0u);
  EXPECT_EQ(box.MessagesIn(box.layout.inbox).size(), 2u);
  EXPECT_TRUE(window.counts.empty());
}

// The spam folder is looked for (and made) at the first spam, not before: good mail
// alone makes no folder.
TEST_F(WorkerTest, WithoutAReferenceTheSpamFolderIsMadeAtTheFirstSpam) {
  ASSERT_EQ(box.Inbox()->DeleteFolder(spam, mapi::DEL_FOLDERS | mapi::DEL_MESSAGES), mapi::S_OK);
  settings.SetSpamFolder({u"", u""});
  Worker worker(Options());
  EntryId good = Deliver("hello");
  Queue(good);
  worker.RunPass();
  EXPECT_EQ(judge.calls(), 1u);
  EXPECT_TRUE(box.MessagesIn(box.layout.inbox) == std::vector<EntryId>{good});
  EXPECT_TRUE(settings.GetSpamFolder()->entryId.empty());
  EntryId bad = Deliver("SPAM");
  Queue(bad);
  worker.RunPass();
  EXPECT_EQ(judge.calls(), 2u);
  auto ref = settings.GetSpamFolder();
  ASSERT_TRUE(ref && !ref->entryId.empty());
  auto made = EntryId::FromHex(platform::WideToAnsi(ref->entryId));
  ASSERT_TRUE(made);
  EXPECT_EQ(box.MessagesIn(*made), std::vector<EntryId>{bad});
  EXPECT_FALSE(queue.HasPending());
}

// The spam folder deleted while the host runs stopped every move until a restart. The
// next spam finds it gone, makes it again along its stored path and moves into it;
// the worker says once when it cannot be made, and the spam stays in the Inbox then.
TEST_F(WorkerTest, ASpamFolderDeletedWhileRunningIsMadeAgainAtTheNextSpam) {
  std::vector<std::string> logged;
  WorkerOptions options = Options();
  options.log = [&](const std::string& line) { logged.push_back(line); };
  Worker worker(options);
  Queue(Deliver("SPAM 1"));
  worker.RunPass();
  ASSERT_EQ(box.MessagesIn(spam).size(), 1u);
  const std::u16string path = settings.GetSpamFolder()->friendlyName;
  ASSERT_EQ(box.Inbox()->DeleteFolder(spam, mapi::DEL_FOLDERS | mapi::DEL_MESSAGES), mapi::S_OK);
  EntryId second = Deliver("SPAM 2");
  Queue(second);
  worker.RunPass();
  auto ref = settings.GetSpamFolder();
  ASSERT_TRUE(ref);
  auto again = EntryId::FromHex(platform::WideToAnsi(ref->entryId));
  ASSERT_TRUE(again);
  EXPECT_NE(*again, spam);
  EXPECT_EQ(ref->friendlyName, path);
  EXPECT_EQ(box.MessagesIn(*again), std::vector<EntryId>{second});
  EXPECT_TRUE(box.MessagesIn(box.layout.inbox).empty());

  // A store that refuses to make folders: the spam stays, said once, and moving
  // starts again once the folder can be had.
  ASSERT_EQ(box.Inbox()->DeleteFolder(*again, mapi::DEL_FOLDERS | mapi::DEL_MESSAGES), mapi::S_OK);
  box.session->faults().Fail(Call::kCreateFolder, {}, mapi::MAPI_E_NO_ACCESS);
  EntryId third = Deliver("SPAM 3");
  EntryId fourth = Deliver("SPAM 4");
  Queue(third);
  Queue(fourth);
  worker.RunPass();
  EXPECT_EQ(box.MessagesIn(box.layout.inbox).size(), 2u);
  EXPECT_EQ(std::count_if(logged.begin(), logged.end(),
                          [](const std::string& l) {
                            return l.find("cannot be found or made") != std::string::npos;
                          }),
            1);
  box.session->faults().Clear();
  EntryId fifth = Deliver("SPAM 5");
  Queue(fifth);
  worker.RunPass();
  ref = settings.GetSpamFolder();
  auto made = EntryId::FromHex(platform::WideToAnsi(ref->entryId));
  ASSERT_TRUE(made);
  EXPECT_EQ(box.MessagesIn(*made), std::vector<EntryId>{fifth});
}

TEST_F(WorkerTest, TrayCountAddsUpWithinTwoSecondsAndStartsOverAfter) {
  Worker worker(Options());
  for (int i = 0; i < 3; ++i) {
    Queue(Deliver("SPAM " + std::to_string(i)));
    worker.RunPass();
    clock.AdvanceMs(1000);
  }
  clock.AdvanceMs(4000);
  Queue(Deliver("SPAM late"));
  worker.RunPass();
  EXPECT_EQ(window.counts, (std::vector<std::uint32_t>{1, 2, 3, 1}));
  // While the window is visible the count keeps growing however long it takes.
  window.visible = true;
  clock.AdvanceMs(10000);
  Queue(Deliver("SPAM visible"));
  worker.RunPass();
  EXPECT_EQ(window.counts.back(), 2u);
  // With TrayNotification clear nothing is shown, but the count goes on.
  settings.Lock()->trayNotification = 0;
  Queue(Deliver("SPAM quiet"));
  worker.RunPass();
  EXPECT_EQ(window.counts.size(), 5u);
  EXPECT_EQ(tray.count(), 3u);
}

// Waits until `done` holds or five seconds pass.
template <typename F>
bool WaitUntil(F done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

TEST_F(WorkerTest, TheThreadJudgesQueuedMailAndLetsGoOfTheSessionWhenIdle) {
  WorkerOptions options = Options();
  options.idleReleaseMs = 20;
  Worker worker(std::move(options));
  ASSERT_EQ(worker.Start(), mapi::S_OK);
  EntryId bad = Deliver("SPAM threaded");
  Queue(bad);
  EXPECT_TRUE(WaitUntil([&] { return InSpam(bad); }));
  EXPECT_TRUE(WaitUntil([&] { return !worker.HoldsSession(); }));
  // Work after the idle release takes the session again.
  EntryId again = Deliver("SPAM again");
  Queue(again);
  EXPECT_TRUE(WaitUntil([&] { return InSpam(again); }));
  worker.Stop();
  EXPECT_FALSE(worker.running());
  // Queued after Stop: stays queued for the next worker.
  Queue(Deliver("SPAM later"));
  EXPECT_TRUE(queue.HasPending());
}

TEST_F(WorkerTest, WaitUntilIdleReturnsOnceEveryQueuedMessageIsJudgedAndMoved) {
  host::HostCounters counters;
  WorkerOptions options = Options();
  options.counters = &counters;
  Worker worker(std::move(options));
  worker.WaitUntilIdle();  // not running: at once
  std::vector<EntryId> bad;
  for (int i = 0; i < 20; ++i) {
    bad.push_back(Deliver("SPAM " + std::to_string(i)));
    Queue(bad.back());
    Queue(Deliver("hello " + std::to_string(i)));
  }
  // Seen on the worker's thread: while a message is judged, and after the last one
  // has left the queue but is still being moved, the worker is not idle.
  std::vector<bool> idleSeen;
  judge.onJudge = [&] { idleSeen.push_back(worker.Idle()); };
  window.onNotify = [&] { idleSeen.push_back(worker.Idle()); };
  EXPECT_FALSE(worker.Idle());
  ASSERT_EQ(worker.Start(), mapi::S_OK);
  worker.WaitUntilIdle();
  EXPECT_TRUE(worker.Idle());
  EXPECT_EQ(box.MessagesIn(spam).size(), bad.size());
  EXPECT_EQ(window.counts.size(), bad.size());
  EXPECT_EQ(counters.judged.load(), 40u);
  EXPECT_EQ(counters.moved.load(), 20u);
  ASSERT_EQ(idleSeen.size(), 60u);
  for (bool idle : idleSeen) EXPECT_FALSE(idle);
  // Work that comes later is waited for too.
  EntryId later = Deliver("SPAM later");
  Queue(later);
  worker.WaitUntilIdle();
  EXPECT_TRUE(InSpam(later));
  worker.Stop();
  Queue(Deliver("SPAM after the stop"));
  worker.WaitUntilIdle();  // stopped: at once, the message stays queued
  EXPECT_TRUE(queue.HasPending());
}

TEST_F(WorkerTest, EachActedVerdictIsJournaledAndEachMoveLogged) {
  RecordingJournal journal;
  std::vector<std::string> log;
  WorkerOptions options = Options();
  options.journal = &journal;
  options.log = [&log](const std::string& line) { log.push_back(line); };
  Queue(Deliver("lunch"));
  // Judged spam whose move fails: journaled as staying where it was, not logged.
  Queue(Deliver("SPAM stuck"));
  // Fails twice: the move, and its one retry on the spam folder opened afresh.
  box.session->faults().Fail(Call::kCopyMessages, box.layout.inbox, mapi::MAPI_E_CALL_FAILED, 2);
  Queue(Deliver("SPAM pills\x1b[2J"));
  clock.Set(clock.Now() + 5 * platform::kFileTimeSecond);
  Worker(options).RunPass();

  ASSERT_EQ(journal.entries.size(), 3u);
  const JournalEntry& good = journal.entries[0];
  EXPECT_EQ(good.verdict, kVerdictGood);
  EXPECT_EQ(good.folder, "Inbox");
  EXPECT_EQ(good.destination, "");
  EXPECT_EQ(good.subject, "lunch");
  EXPECT_EQ(good.time, clock.Now());
  EXPECT_EQ(journal.entries[1].verdict, kVerdictSpam);
  EXPECT_EQ(journal.entries[1].destination, "");
  const JournalEntry& moved = journal.entries[2];
  EXPECT_EQ(moved.verdict, kVerdictSpam);
  EXPECT_EQ(moved.folder, "Inbox");
  EXPECT_EQ(moved.destination, "Spam");
  EXPECT_EQ(moved.sender, "ann@example.com");
  EXPECT_EQ(moved.reason, "Subject says SPAM");  // the first line only

  // The escape sequence in the subject reaches the log as text, not as a command.
  EXPECT_EQ(log, std::vector<std::string>{"moved to Spam: ann@example.com \"SPAM "
                                          "pills\\x1b[2J\": Subject says SPAM"});
}

TEST_F(WorkerTest, AJournalThatCannotBeWrittenDoesNotStopTheMoves) {
  platform::MemoryFileSystem files;
  files.CreateFolders("/data");
  files.SetFault([](platform::MemoryFileSystem::Call call, const std::string&) {
    return call == platform::MemoryFileSystem::Call::kAppend ? ENOSPC : 0;
  });
  std::vector<std::string> log;
  JournalFile journal(files, "/data/", [&log](const std::string& line) { log.push_back(line); });
  WorkerOptions options = Options();
  options.journal = &journal;
  EntryId first = Deliver("SPAM one");
  EntryId second = Deliver("SPAM two");
  Queue(first);
  Queue(second);
  Worker(options).RunPass();
  EXPECT_TRUE(InSpam(first));
  EXPECT_TRUE(InSpam(second));
  EXPECT_EQ(journal.failures(), 2u);
  ASSERT_EQ(log.size(), 1u);  // said once, not once a message
  EXPECT_NE(log[0].find("No space left on device"), std::string::npos) << log[0];
}

}  // namespace
}  // namespace quorvel::outlook
