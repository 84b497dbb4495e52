// QVCore: the core object that holds the add-in's working state while the host runs.
// The add-in (add_in.h) creates it once a window exists, calls Initialize with the
// host's application, then InitialWizard and, when no first-run wizard is pending,
// PostStartupActions; it calls Shutdown when it is disconnected.
//
// Initialize, in order (a failing step shows its message, clears `initialized`, and
// leaves what the earlier steps started running until Shutdown):
//    1 the application (made when none is given)   2 its session
//    3 the Outbox's message class                   4 the namespace
//    5 the mail-store session                        6 the worker thread
//    7 the profile's name                            8 the settings, for that profile
//    9 the spam folder (583 when none)              10 not the Inbox (129)
//   11-12 the mail base files in the data folder   13 the store notifications
//   14 the tray popup window
//
// InitialWizard runs the first-run wizard (first_run_wizard.h) while ShowWizard is
// set: at once when the presenter has a person to ask (or with wizardOnDefaults, on
// its defaults), else it leaves ShowWizard set and offers the wizard as a pending
// question for the next client with a person. The wizard then runs on demand
// (RunWizardOnDemand, the `wizard` command); "Skip" on the offer declines it (ShowWizard
// cleared). A wizard left due (offered, or closed unfinished) does not hold back the
// start-up actions: the core runs PostStartupActions itself before InitialWizard
// returns, so the mail that came before the start is filtered at once. After the wizard, its check
// box runs the folder check on the Inbox (no subfolders, no confirmation).
//
// The commands: MarkAsGood and MarkAsJunk run the marking routine (marking.h) on the
// explorer's folder and selection, on the caller's thread, one marking at a time;
// CheckFolder (folder_check.h: the confirmation, then the check on a thread of its own;
// a second check while one runs is refused), TestMessage (test_message.h), DeleteSpam
// (empty_spam.h) and EmailToSupport (support_mail.h). They ask and show through the
// application's presenter: on a request's thread, the client that sent it.
//
// Shutdown follows its order (popup, worker, notifications, namespace, settings) and
// also saves what the worker learned into the mail base.
//
// WaitUntilIdle (for a host that runs once) returns when the worker has judged and
// moved everything queued: what the start-up scan queued, and whatever notifications
// brought meanwhile.
//
// Threading: every method on the host's user-interface thread, except the commands,
// which may run on a request's own thread (quorvel2.h); RunFolderCheck on any thread.
#ifndef QUORVEL_OUTLOOK_QV_CORE_H_
#define QUORVEL_OUTLOOK_QV_CORE_H_

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "host/application.h"
#include "outlook/add_in_process.h"
#include "outlook/folder_check.h"
#include "outlook/journal_file.h"
#include "outlook/marking.h"
#include "outlook/move_detector.h"
#include "outlook/popup_window.h"
#include "outlook/quorvel2.h"
#include "outlook/spam_judge.h"
#include "outlook/store_watcher.h"
#include "outlook/tray_counter.h"
#include "outlook/worker.h"
#include "ui/first_run_wizard.h"
#include "ui/tray_popup.h"

namespace quorvel::outlook {

inline constexpr HRESULT E_NOTIMPL = mapi::MakeResult(0x80004001);

struct CoreOptions {
  AddInProcess& process;
  // Makes the application when Initialize is given none; empty: that start fails.
  std::function<host::Application*()> createApplication = {};
  // Opens the options sheet on `page` and returns true when it was closed with OK.
  // Empty: the options sheet itself, shown through the application's presenter.
  std::function<bool(std::uint32_t page)> optionsSheet = {};
  // The screen the popup slides on; empty: a 1024x768 screen with the taskbar below.
  std::function<ui::ScreenGeometry()> screen = {};
  // A line on the host's log, and a desktop notice; either may be empty.
  std::function<void(const std::string&)> log = {};
  std::function<void(const std::string& title, const std::string& text)> desktopNotify = {};
  // Takes the host's new-mail mark away; empty where the host has none.
  std::function<void()> removeNewMailIcon = {};
  std::uint32_t workerIdleReleaseMs = 10000;
  // The program's version, for the support request; "" when unknown.
  std::string version = {};
  // Where the worker records the verdicts it acts on; may be null. Must outlive the core.
  VerdictJournal* journal = nullptr;
  // What learns from the user's moves into and out of the spam folder; may be null
  // (moves are still not judged as new mail). Must outlive the core.
  UserMoveSink* moveSink = nullptr;
  // How often the spam folder is scanned for messages the user moved into it.
  std::uint32_t spamScanMs = kSpamScanMs;
  // Hears of every marking that ran, with what it changed; may be empty. Called on
  // the marking's thread after the marking.
  std::function<void(const MarkingRecord&)> marked = {};
  // The first-run wizard runs on the presenter's defaults when nobody answers (a host
  // started with --yes), instead of waiting for a person.
  bool wizardOnDefaults = false;
  // The wizard's folder picker; empty: a choice among the profile's folders.
  std::function<std::optional<ui::wizard::ChosenFolders::Folder>()> pickFolder = {};
};

class QVCore final : public IQuorvel2,
                     public PendingWork,
                     public UserMoveSink,
                     public OnDemandWizard {
 public:
  explicit QVCore(CoreOptions options);
  ~QVCore() override;

  HRESULT Initialize(host::Application* application) override;
  HRESULT Shutdown() override;
  HRESULT ShowOptions() override;
  // Good with the senders' domains when GoodAddDomainWhiteList is set, else good.
  HRESULT MarkAsGood(host::Explorer* explorer) override;
  HRESULT MarkAsJunk(host::Explorer* explorer) override;
  // Not in the automation interface: good, always with the senders' domains.
  HRESULT MarkAsGoodWithDomain(host::Explorer* explorer) override;
  // The marking without questions, for messages the user moved by hand (marking.h).
  // Markings run one at a time.
  MarkingRecord MarkQuietly(const MarkingSelection& selection, MarkingMode mode);
  // A move of the user's (move_detector.h): marked quietly, good or junk.
  void OnUserMove(const UserMove& move) override;
  HRESULT CheckFolder(host::Explorer* explorer) override;
  HRESULT TestMessage(host::Explorer* explorer) override;
  HRESULT EmailToSupport() override;
  HRESULT DeleteSpam() override;
  HRESULT PostStartupActions() override;
  HRESULT InitialWizard() override;
  void WaitUntilIdle() override;
  bool WaitUntilIdleFor(std::chrono::milliseconds limit) override;
  // Runs the wizard with the current presenter (a command's), from any thread; a
  // second one while one is open is refused with a message.
  HRESULT RunWizardOnDemand() override;

  // The folder check without its confirmation, for the first-run wizard's Inbox
  // check and the Check Folder command: checks the folder `folderId` (and its
  // subfolders when asked), showing progress and asking through `ui`. kBusy while
  // another check runs; kNoSpamFolder (559 shown) before Initialize.
  CheckOutcome RunFolderCheck(ui::Ui& ui, const mapi::EntryId& folderId, bool includeSubfolders);

  bool initialized() const { return initialized_; }
  const std::string& outboxMessageClass() const { return outboxMessageClass_; }
  Worker* worker() { return worker_.get(); }
  MoveDetector* moveDetector() { return moves_.get(); }

 private:
  HRESULT Fail(const std::string& text);
  void OpenOptions(std::uint32_t page, bool firstPage);
  bool RunOptionsSheet();
  std::uint32_t SpamFolderItems();
  void Announce(const std::string& text);
  std::shared_ptr<mapi::Session> session() const;
  // One marking at a time: a second one waits, then finds the messages the first
  // moved gone from its folder.
  MarkingRecord Mark(const std::function<MarkingRecord(MarkingContext&)>& run);
  void RunWizard(ui::Ui& presenter);
  void OfferWizard();
  void CheckInboxAfterWizard(ui::Ui& presenter);

  CoreOptions o_;
  bool initialized_ = true;
  host::Application* application_ = nullptr;
  std::shared_ptr<host::NameSpace> namespace_;
  mutable std::mutex sessionMutex_;
  std::shared_ptr<mapi::Session> session_;  // guarded by sessionMutex_ (the worker asks)
  std::mutex markingMutex_;                 // held for one whole marking
  std::unique_ptr<JournalFile> markings_;   // where markings are recorded; null: nowhere
  // The Message-IDs moved into the spam folder (the worker's and markings'); made once,
  // before the worker, and kept while the core lives.
  std::unique_ptr<SpamReturns> spamReturns_;
  std::string outboxMessageClass_;
  std::unique_ptr<ClassifierJudge> judge_;
  std::unique_ptr<FolderChecker> folderChecker_;
  TrayCounter tray_;
  std::unique_ptr<MoveDetector> moves_;  // before the worker, which refers to it
  std::unique_ptr<Worker> worker_;
  std::shared_ptr<StoreWatcher> storeWatcher_;
  std::unique_ptr<PopupWindow> popupWindow_;
  std::atomic<bool> wizardOpen_{false};
  std::atomic<std::uint64_t> wizardOffer_{0};  // the pending question, 0 when none
  std::atomic<bool> startWizardAsked_{false};  // the start-up wizard ran with a person
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_QV_CORE_H_
