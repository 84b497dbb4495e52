#include "outlook/folder_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "host/memory_host.h"
#include "mapi/queries.h"
#include "outlook/spam_folder.h"
#include "platform/code_page.h"
#include "testing/message_builder.h"
#include "ui/scripted_ui.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

// Spam is what says so in its subject. Every subject judged is recorded, and a test
// may act before a verdict (delete mail, block, cancel).
class SubjectJudge final : public SpamJudge {
 public:
  bool IsSpam(std::shared_ptr<mapi::Message> message, ClassifyFlags flags,
              std::string* reason) override {
    auto value = mapi::HrGetOneProp(*message, mapi::PR_SUBJECT);
    const std::string subject = value.ok() && value->AsString8() ? *value->AsString8() : "";
    {
      std::lock_guard lock(mutex);
      judged.push_back(subject);
      flagsSeen = flags;
    }
    if (before) before(subject);
    if (reason) *reason = "judged by subject";
    return subject.rfind("spam", 0) == 0;
  }
  std::vector<std::string> Judged() {
    std::lock_guard lock(mutex);
    return judged;
  }

  std::function<void(const std::string&)> before;
  std::mutex mutex;
  std::vector<std::string> judged;
  ClassifyFlags flagsSeen = 0;
};

class FolderCheckTest : public ::testing::Test {
 protected:
  FolderCheckTest() {
    inbox = Open(box.layout.inbox);
    spamFolder = Make(*inbox, "Spam");
    spamId = IdOf(*spamFolder);
    settings.SetSpamFolder({platform::AnsiToWide(spamId.ToHex()), u"Inbox -> Spam"});
  }

  std::shared_ptr<mapi::Folder> Open(const EntryId& id) {
    auto opened = box.session->OpenEntry(id, mapi::MAPI_BEST_ACCESS);
    return opened.ok() ? opened->As<mapi::Folder>() : nullptr;
  }
  std::shared_ptr<mapi::Folder> Make(mapi::Folder& parent, const std::string& name) {
    auto made = parent.CreateFolder(mapi::FOLDER_GENERIC, name, "", 0);
    return made.ok() ? *made : nullptr;
  }
  static EntryId IdOf(mapi::MapiProp& object) {
    auto id = mapi::HrGetOneProp(object, mapi::PR_ENTRYID);
    return id.ok() ? id->AsEntryId() : EntryId();
  }
  EntryId Put(mapi::Folder& folder, const std::string& subject) {
    return *MessageBuilder().Subject(subject).From("S", "s@example.org").SaveIn(folder);
  }
  std::vector<std::string> Subjects(mapi::Folder& folder) {
    std::vector<std::string> subjects;
    auto table = folder.GetContentsTable(0);
    const mapi::PropTag columns[] = {mapi::PR_SUBJECT};
    auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
    for (const mapi::Row& row : *rows) subjects.push_back(mapi::GetString8(row, mapi::PR_SUBJECT));
    return subjects;
  }
  // Walks `folder` with a sink that records each position and stops when `goOn` says.
  bool Walk(mapi::Folder& folder, bool subfolders, std::function<bool(int)> goOn = {}) {
    CheckTarget target{*box.session, judge, spamFolder, spamId};
    progress = CheckProgress{};
    positions.clear();
    progress.report = [&](double at, const CheckTally&) {
      positions.push_back(at);
      return !goOn || goOn(static_cast<int>(positions.size()));
    };
    return CheckFolderTree(target, progress, folder, IdOf(folder), subfolders);
  }

  ui::ScriptedUi ui;
  host::MemoryHost box{ui};
  SettingsHolder settings;
  SubjectJudge judge;
  std::shared_ptr<mapi::Folder> inbox;
  std::shared_ptr<mapi::Folder> spamFolder;
  EntryId spamId;
  CheckProgress progress;
  std::vector<double> positions;
};

TEST_F(FolderCheckTest, SpamIsMovedOnceAFolderIsReadAndTheSpamFolderIsNeverChecked) {
  Put(*inbox, "spam one");
  Put(*inbox, "hello");
  Put(*spamFolder, "spam kept");
  auto archive = Make(*inbox, "Archive");
  Put(*archive, "spam two");

  EXPECT_TRUE(Walk(*inbox, true));
  EXPECT_THAT(judge.Judged(), UnorderedElementsAre("spam one", "hello", "spam two"));
  EXPECT_EQ(judge.flagsSeen, kStandardFlags);  // nothing is learned
  EXPECT_EQ(progress.tally.checked, 3u);
  EXPECT_EQ(progress.tally.spam, 2u);
  EXPECT_EQ(progress.tally.moved, 2u);
  EXPECT_THAT(Subjects(*inbox), ElementsAre("hello"));
  EXPECT_THAT(Subjects(*archive), ElementsAre());
  EXPECT_THAT(Subjects(*spamFolder), UnorderedElementsAre("spam kept", "spam one", "spam two"));

  // The spam folder named itself is left alone too.
  EXPECT_TRUE(Walk(*spamFolder, true));
  EXPECT_EQ(judge.Judged().size(), 3u);
  EXPECT_EQ(progress.tally.checked, 0u);
}

TEST_F(FolderCheckTest, WithoutSubfoldersOnlyTheFolderItselfIsChecked) {
  auto work = Make(*inbox, "Work");
  Put(*work, "spam here");
  Put(*Make(*work, "Old"), "spam below");
  EXPECT_TRUE(Walk(*work, false));
  EXPECT_THAT(judge.Judged(), ElementsAre("spam here"));
  EXPECT_THAT(positions, ElementsAre(1.0));
}

TEST_F(FolderCheckTest, TenMessagesAndTwoSubfoldersMakeTwentySixUnits) {
  auto work = Make(*inbox, "Work");
  for (int i = 0; i < 10; ++i) Put(*work, "mail " + std::to_string(i));
  auto a = Make(*work, "A");
  Put(*a, "a1");
  Put(*a, "a2");
  Make(*work, "B");  // empty: its eight units pass without a message
  EXPECT_TRUE(Walk(*work, true));
  ASSERT_EQ(positions.size(), 12u);
  for (int i = 0; i < 10; ++i) EXPECT_DOUBLE_EQ(positions[i], (i + 1) / 26.0) << i;
  EXPECT_DOUBLE_EQ(positions[10], 14 / 26.0);  // half of A's eight units
  EXPECT_DOUBLE_EQ(positions[11], 18 / 26.0);
  EXPECT_DOUBLE_EQ(progress.position, 1.0);
}

TEST_F(FolderCheckTest, ACancelKeepsWhatEarlierFoldersMovedAndLeavesTheRest) {
  auto work = Make(*inbox, "Work");
  auto a = Make(*work, "A");
  auto b = Make(*work, "B");
  Put(*a, "spam a");
  Put(*a, "good a");
  Put(*b, "spam b1");
  Put(*b, "good b");
  Put(*b, "spam b2");
  // Cancelled while B is read, after its first spam.
  EXPECT_FALSE(Walk(*work, true, [](int reported) { return reported < 3; }));
  EXPECT_EQ(judge.Judged().size(), 3u);
  EXPECT_THAT(Subjects(*spamFolder), ElementsAre("spam a"));
  EXPECT_THAT(Subjects(*a), ElementsAre("good a"));
  // Nothing lost, nothing moved from the folder being read.
  EXPECT_THAT(Subjects(*b), UnorderedElementsAre("spam b1", "good b", "spam b2"));
}

TEST_F(FolderCheckTest, MailThatVanishesMidCheckIsPassedOver) {
  auto work = Make(*inbox, "Work");
  Put(*work, "first");
  const EntryId second = Put(*work, "spam second");
  Put(*work, "spam third");
  auto gone = Make(*work, "Gone");
  Put(*gone, "spam never read");
  const EntryId goneId = IdOf(*gone);
  judge.before = [&](const std::string& subject) {
    if (subject != "first") return;
    const EntryId ids[] = {second};
    ASSERT_EQ(work->DeleteMessages(ids, 0), mapi::S_OK);
    ASSERT_EQ(work->DeleteFolder(goneId, mapi::DEL_FOLDERS | mapi::DEL_MESSAGES), mapi::S_OK);
  };
  EXPECT_TRUE(Walk(*work, true));
  EXPECT_THAT(judge.Judged(), ElementsAre("first", "spam third"));
  EXPECT_EQ(progress.tally.checked, 2u);
  EXPECT_THAT(Subjects(*spamFolder), ElementsAre("spam third"));
  EXPECT_DOUBLE_EQ(progress.position, 1.0);
}

TEST_F(FolderCheckTest, AFolderThatCannotBeReadOrAMoveThatFailsLeavesTheMailWhereItIs) {
  auto work = Make(*inbox, "Work");
  auto locked = Make(*work, "Locked");
  Put(*work, "spam stays");
  Put(*locked, "spam unread");
  box.session->faults().Fail(mapi::memory::Call::kGetContentsTable, IdOf(*locked),
                             mapi::MAPI_E_NO_ACCESS);
  box.session->faults().Fail(mapi::memory::Call::kCopyMessages, IdOf(*work),
                             mapi::MAPI_E_CALL_FAILED);
  EXPECT_TRUE(Walk(*work, true));
  EXPECT_EQ(progress.tally.spam, 1u);
  EXPECT_EQ(progress.tally.moved, 0u);
  EXPECT_THAT(Subjects(*work), ElementsAre("spam stays"));
  EXPECT_THAT(Subjects(*spamFolder), ElementsAre());
}

TEST_F(FolderCheckTest, ARunShowsItsProgressOnTheFullRangeAndEndsFinished) {
  for (int i = 0; i < 5; ++i) Put(*inbox, i % 2 ? "spam" : "good");
  FolderChecker checker(settings, judge);
  CheckOutcome outcome = checker.Run(ui, box.session, box.layout.inbox, false);
  EXPECT_EQ(outcome.end, CheckEnd::kFinished);
  EXPECT_EQ(outcome.tally.checked, 5u);
  EXPECT_EQ(outcome.tally.spam, 2u);
  EXPECT_EQ(outcome.tally.moved, 2u);
  EXPECT_THAT(ui.texts(), Contains("Checking folder for spam..."));
  ASSERT_FALSE(ui.updates().empty());
  EXPECT_EQ(ui.updates().back(), "16384/16384 5 checked, 2 spam");
  EXPECT_FALSE(checker.running());
}

TEST_F(FolderCheckTest, WithoutASpamFolderNothingIsCheckedAndTheUserIsTold) {
  Put(*inbox, "spam");
  // None made yet (a fresh profile, before the first spam): the check finds or makes it.
  SettingsHolder none;
  CheckSpamFolder(*box.session, none, /*make=*/false);  // as the core's start leaves it
  FolderChecker checker(none, judge);
  EXPECT_EQ(checker.Run(ui, box.session, box.layout.inbox, false).end, CheckEnd::kFinished);
  EXPECT_TRUE(StoredSpamFolderId(none).present());
  const std::size_t judged = judge.Judged().size();

  // A stored folder that is gone: the user is told and nothing is checked.
  ASSERT_EQ(inbox->DeleteFolder(spamId, mapi::DEL_FOLDERS | mapi::DEL_MESSAGES), mapi::S_OK);
  FolderChecker stale(settings, judge);
  EXPECT_EQ(stale.Run(ui, box.session, box.layout.inbox, false).end, CheckEnd::kNoSpamFolder);
  EXPECT_THAT(ui.texts(), Contains(HasSubstr("Warning: Spam folder was moved or deleted.")));
  EXPECT_EQ(judge.Judged().size(), judged);
}

TEST_F(FolderCheckTest, ASecondCheckWhileOneRunsIsRefusedAndTheFirstCanBeCancelled) {
  Put(*inbox, "spam first");
  Put(*inbox, "spam second");
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  judge.before = [&, once = true](const std::string&) mutable {
    if (!once) return;
    once = false;
    entered.set_value();
    released.wait();
  };
  FolderChecker checker(settings, judge);
  auto first = std::async(std::launch::async,
                          [&] { return checker.Run(ui, box.session, box.layout.inbox, false); });
  entered.get_future().wait();
  EXPECT_TRUE(checker.running());
  EXPECT_EQ(checker.Run(ui, box.session, box.layout.inbox, false).end, CheckEnd::kBusy);
  EXPECT_THAT(ui.texts(), Contains(kCheckRunning));
  ui.CancelProgressNow();
  release.set_value();
  CheckOutcome outcome = first.get();
  EXPECT_EQ(outcome.end, CheckEnd::kCancelled);
  EXPECT_EQ(outcome.tally.checked, 1u);
  // Cancelled in the Inbox: its spam stays there, all of it.
  EXPECT_THAT(Subjects(*inbox), Contains("spam first"));
  EXPECT_EQ(Subjects(*inbox).size(), 2u);
  EXPECT_FALSE(checker.running());
}

}  // namespace
}  // namespace quorvel::outlook
