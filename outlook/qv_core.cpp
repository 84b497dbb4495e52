#include "outlook/qv_core.h"

#include "crash/version_text.h"
#include "mapi/queries.h"
#include "mapi/restriction.h"
#include "outlook/empty_spam.h"
#include "outlook/first_run_wizard.h"
#include "outlook/marking_journal.h"
#include "outlook/move_plans.h"
#include "outlook/spam_folder.h"
#include "outlook/spam_folder_picker.h"
#include "outlook/support_mail.h"
#include "outlook/test_message.h"
#include "outlook/unsaved_markings.h"
#include "platform/code_page.h"
#include "platform/string_table.h"
#include "settings/data_folder.h"
#include "ui/check_folder_dialog.h"
#include "ui/options_sheet.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;

constexpr unsigned kStringInboxIsSpamFolder = 129;
constexpr unsigned kStringSpamFolderDefaulted = 560;
constexpr unsigned kStringNoSpamFolder = 561;
constexpr unsigned kStringSpamFolderProblem = 583;

// The failures the string table has no text for.
constexpr const char* kNoApplication = "Quorvel cannot reach the mail program.";
constexpr const char* kNoSession = "Quorvel cannot find the mail program's session.";
constexpr const char* kNoNamespace = "Quorvel cannot open the mail profile.";
constexpr const char* kNoSessions = "Cannot obtain Outlook sessions.";
constexpr const char* kNoWorker = "Quorvel cannot start its mail filtering thread.";
constexpr const char* kNoNotifications = "Quorvel cannot watch the mail stores for new mail.";

constexpr unsigned kStringSpamFolderMoved = 559;
constexpr std::int32_t kStartupScanBatch = 128;
constexpr int kMaxFolderDepth = 64;

// What a check found, as the notice at its end says it.
std::string CheckSummary(const CheckOutcome& outcome) {
  const CheckTally& t = outcome.tally;
  std::string text = outcome.end == CheckEnd::kCancelled ? "Check cancelled: " : "Check done: ";
  text += std::to_string(t.checked) + " message" + (t.checked == 1 ? "" : "s") + " checked, " +
          std::to_string(t.spam) + " spam";
  if (t.spam > 0) text += ", " + std::to_string(t.moved) + " moved to the spam folder";
  return text;
}

std::string ProfileName(mapi::Session& session) {
  auto table = session.GetStatusTable(0);
  if (!table.ok()) return {};
  const mapi::PropTag columns[] = {mapi::PR_RESOURCE_TYPE, mapi::PR_DISPLAY_NAME};
  auto restriction = mapi::Restriction::Property(
      mapi::RELOP_EQ, mapi::PropValue::ULong(mapi::PR_RESOURCE_TYPE, mapi::MAPI_SUBSYSTEM));
  auto rows = mapi::HrQueryAllRows(**table, columns, restriction);
  if (!rows.ok() || rows->empty()) return {};
  return mapi::GetString8(rows->front(), mapi::PR_DISPLAY_NAME);
}

ui::ScreenGeometry DefaultScreen() { return {{0, 0, 1024, 768}, {0, 0, 1024, 728}}; }

}  // namespace

QVCore::QVCore(CoreOptions options)
    : o_(std::move(options)), tray_(o_.process.environment().clock, o_.process.settings()) {}

QVCore::~QVCore() { Shutdown(); }

std::shared_ptr<mapi::Session> QVCore::session() const {
  std::lock_guard<std::mutex> lock(sessionMutex_);
  return session_;
}

HRESULT QVCore::Fail(const std::string& text) {
  platform::MessageBoxes& boxes =
      application_ ? static_cast<platform::MessageBoxes&>(application_->Presenter())
                   : o_.process.environment().messageBoxes;
  boxes.Show(text, std::string(platform::kProductName), platform::MB_OK | platform::MB_ICONERROR);
  initialized_ = false;
  return mapi::E_FAIL;
}

void QVCore::OpenOptions(std::uint32_t page, bool firstPage) {
  if (firstPage) {
    o_.process.settings().Lock()->lastOptionsPage = 0;
    page = 0;
  }
  const bool ok = o_.optionsSheet ? o_.optionsSheet(page) : RunOptionsSheet();
  if (ok) o_.process.SaveSettings();
}

bool QVCore::RunOptionsSheet() {
  if (!application_) return false;
  AddInProcess& p = o_.process;
  ui::Ui& presenter = application_->Presenter();
  ui::OptionsContext context{.live = p.settings(), .ui = presenter, .clock = p.environment().clock};
  MailbaseStore& store = p.mailbase().store();
  if (store.EnsureLoaded()) {
    CorpusPair learned = store.MainPair();
    learned.Merge(store.PendingPair());
    context.learnedJunk = learned.junk().messageCount();
    context.learnedGood = learned.good().messageCount();
  }
  if (std::shared_ptr<host::NameSpace> ns = namespace_) {
    context.pickFolder = [ns, &presenter] { return PickFolder(presenter, *ns); };
  }
  context.openHelp = [&presenter] {
    presenter.OpenUrl("file://" + DefaultDataFolders().ModuleFolder() + "quorvel.html");
  };
  ui::OptionsSheet sheet(std::move(context));
  return sheet.Run();
}

HRESULT QVCore::Initialize(host::Application* application) {
  AddInProcess& p = o_.process;
  // 1-4: the application, its session, the Outbox's class, the namespace.
  application_ =
      application ? application : (o_.createApplication ? o_.createApplication() : nullptr);
  if (!application_) return Fail(kNoApplication);
  std::shared_ptr<host::NameSpace> ns = application_->Session();
  if (!ns) return Fail(kNoSession);
  if (auto outbox = ns->GetDefaultFolder(host::olFolderOutbox); outbox.ok() && *outbox) {
    outboxMessageClass_ = (*outbox)->DefaultItemType() == host::olMailItem ? "IPM.Note" : "";
  }
  namespace_ = ns;
  if (!namespace_) return Fail(kNoNamespace);

  // 5: the mail-store session.
  std::shared_ptr<mapi::Session> mapiSession = namespace_->MAPIOBJECT();
  if (!mapiSession) return Fail(kNoSessions);
  {
    std::lock_guard<std::mutex> lock(sessionMutex_);
    session_ = mapiSession;
  }

  // 6: the worker, so that mail noticed from now on waits in the queue for it.
  judge_ = std::make_unique<ClassifierJudge>(
      ClassifyContext{p.settings(), p.mailbase(), p.environment().messageBoxes,
                      p.environment().clock},
      &application_->counters().mailbaseUnusable);
  folderChecker_ = std::make_unique<FolderChecker>(p.settings(), *judge_, &p.ownMoves());
  moves_ = std::make_unique<MoveDetector>(p.settings(), p.ownMoves(),
                                          o_.moveSink ? o_.moveSink : this, o_.log);
  if (!p.environment().dataFolder.empty() && !markings_) {
    markings_ = std::make_unique<JournalFile>(platform::RealFileSystem(),
                                              p.environment().dataFolder, o_.log);
  }
  if (!spamReturns_) {
    spamReturns_ =
        p.environment().dataFolder.empty()
            ? std::make_unique<SpamReturns>()
            : std::make_unique<SpamReturns>(platform::RealFileSystem(),
                                            p.environment().dataFolder + kSpamMovesFileName);
  }
  // The moves of a marking a stopped process did not write down (move_plans.h).
  if (markings_) {
    SettleMovePlans(platform::RealFileSystem(), p.environment().dataFolder, *mapiSession,
                    *markings_, p.environment().clock.Now(),
                    [this](const std::vector<std::string>& ids) { spamReturns_->NoteMoved(ids); });
  }
  worker_ = std::make_unique<Worker>(
      WorkerOptions{.queue = p.queue(),
                    .settings = p.settings(),
                    .clock = p.environment().clock,
                    .judge = *judge_,
                    .obtainSession = [this] { return session(); },
                    .goodSeen = p.goodSeen(),
                    .removeNewMailIcon = o_.removeNewMailIcon,
                    .tray = &tray_,
                    .counters = &application_->counters(),
                    .startRebuild = [&p] { p.mailbase().store().StartRebuildThread(); },
                    .stopRebuild = [&p] { p.mailbase().store().StopRebuildThread(); },
                    .idleReleaseMs = o_.workerIdleReleaseMs,
                    .journal = o_.journal,
                    .log = o_.log,
                    .moves = moves_.get(),
                    .ownMoves = &p.ownMoves(),
                    .returns = spamReturns_.get()});
  if (mapi::Failed(worker_->Start())) return Fail(kNoWorker);
  p.queue().SetLengthCounter(&application_->counters().queued);

  // 7-8: the settings of this profile.
  std::string profile = ProfileName(*mapiSession);
  p.LoadSettings();
  p.settings().Lock()->profileKey = profile;

  // 9-10: the spam folder. One that does not exist yet is made by the first move into
  // it, not now: a folder appears in the user's mailbox only when it holds something.
  if (CheckSpamFolder(*mapiSession, p.settings(), /*make=*/false) == SpamFolderResult::kNone) {
    application_->Presenter().Show(std::string(platform::LoadString(kStringSpamFolderProblem)),
                                   std::string(platform::kProductName),
                                   platform::MB_OK | platform::MB_ICONWARNING);
    OpenOptions(0, true);
  }
  if (SpamFolderIsInbox(*mapiSession, p.settings())) {
    application_->Presenter().Show(std::string(platform::LoadString(kStringInboxIsSpamFolder)),
                                   std::string(platform::kProductName),
                                   platform::MB_OK | platform::MB_ICONWARNING);
    OpenOptions(0, true);
  }

  // 11-12: the mail base files, loaded now so that one that does not load is said at
  // once. A core connected again in the same process keeps the counts it holds.
  p.OpenMailbase();
  judge_->CheckMailbase();

  // 13: the store notifications.
  storeWatcher_ = std::make_shared<StoreWatcher>(p.queue(), p.recorder(), p.environment().clock);
  storeWatcher_->SetMoveDetector(moves_.get());
  if (mapi::Failed(storeWatcher_->AdviseStores(mapiSession))) return Fail(kNoNotifications);
  // What the spam folder holds now, and later what the user moves into it.
  moves_->StartScanning([this] { return session(); }, o_.spamScanMs);

  // 14: the tray popup.
  if (!popupWindow_) {
    popupWindow_ = std::make_unique<PopupWindow>(
        PopupWindow::Options{.clock = p.environment().clock,
                             .screen = o_.screen ? o_.screen : DefaultScreen,
                             .announce = [this](const std::string& text) { Announce(text); },
                             .spamFolderItems = [this] { return SpamFolderItems(); }});
    tray_.SetWindow(popupWindow_.get());
  }
  return mapi::S_OK;
}

void QVCore::Announce(const std::string& text) {
  if (o_.log) o_.log(text);
  if (o_.desktopNotify) o_.desktopNotify(std::string(platform::kProductName), text);
}

std::uint32_t QVCore::SpamFolderItems() {
  auto s = session();
  auto ref = o_.process.settings().GetSpamFolder();
  if (!s || !ref) return 0;
  std::string hex;
  for (char16_t c : ref->entryId) hex.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  auto id = EntryId::FromHex(hex);
  if (!id) return 0;
  auto folder = s->OpenEntry(*id, mapi::MAPI_BEST_ACCESS);
  if (!folder.ok() || !folder->object) return 0;
  auto count = mapi::HrGetOneProp(*folder->object, mapi::PR_CONTENT_COUNT);
  return count.ok() && count->AsLong() ? static_cast<std::uint32_t>(*count->AsLong()) : 0;
}

HRESULT QVCore::ShowOptions() {
  if (!initialized_) return mapi::S_OK;
  auto s = session();
  SpamFolderResult result =
      s ? CheckSpamFolder(*s, o_.process.settings()) : SpamFolderResult::kNone;
  unsigned message = result == SpamFolderResult::kFallback ? kStringSpamFolderDefaulted
                     : result == SpamFolderResult::kNone   ? kStringNoSpamFolder
                                                           : 0;
  if (message != 0) {
    application_->Presenter().Show(std::string(platform::LoadString(message)),
                                   std::string(platform::kProductName),
                                   platform::MB_OK | platform::MB_ICONWARNING);
  }
  OpenOptions(o_.process.settings().Lock()->lastOptionsPage, message != 0);
  return mapi::S_OK;
}

MarkingRecord QVCore::Mark(const std::function<MarkingRecord(MarkingContext&)>& run) {
  auto s = session();
  if (!initialized_ || !s || application_ == nullptr) return {};
  AddInProcess& p = o_.process;
  MarkingContext context{p, *s, application_->Presenter()};
  // Written down with what it changed, so that `quorvel undo` can take it back, and
  // before what it learned can reach "Bayes.raw" (unsaved_markings.h).
  // Its move is written down before it is made (move_plans.h), under the id the
  // marking's line then takes.
  std::string id;
  const std::string& dataFolder = p.environment().dataFolder;
  context.beforeMove = [this, &p, &id, &dataFolder](const MarkingRecord& record,
                                                    const MarkingMove& planned) {
    id = NewMarkingId(p.environment().clock.Now());
    if (!markings_ || dataFolder.empty()) return;
    platform::FileStatus status =
        WriteMovePlan(platform::RealFileSystem(), dataFolder, id, record, planned);
    if (!status.ok() && o_.log) o_.log("the move cannot be written down: " + status.message());
  };
  context.movedToSpam = [this](const std::vector<std::string>& ids) {
    if (spamReturns_) spamReturns_->NoteMoved(ids);
  };
  context.commit = [this, &p, &id, &dataFolder](MarkingRecord& record) {
    MarkingEntry entry = EntryOfRecord(record, p.environment().clock.Now());
    if (!id.empty()) entry.id = id;
    std::string error;
    if (CommitMarking(platform::RealFileSystem(), markings_.get(), dataFolder, p.mailbase().store(),
                      &p.unsavedMarkings(), &entry, record.counts, &error)) {
      if (!id.empty() && markings_) RemoveMovePlan(platform::RealFileSystem(), dataFolder, id);
    } else if (o_.log) {
      o_.log(error);
    }
  };
  MarkingRecord record;
  {
    // One marking at a time: the next one sees where this one put the messages.
    std::lock_guard<std::mutex> lock(markingMutex_);
    record = run(context);
  }
  if (record.ran && o_.marked) o_.marked(record);
  return record;
}

void QVCore::OnUserMove(const UserMove& move) {
  MarkQuietly({move.folder, move.messages}, move.junk ? MarkingMode::kJunk : MarkingMode::kGood);
}

HRESULT QVCore::MarkAsGood(host::Explorer* explorer) {
  const bool domain = o_.process.settings().Lock()->goodAddDomainWhiteList != 0;
  Mark([&](MarkingContext& c) {
    return MarkExplorer(c, explorer, domain ? MarkingMode::kGoodWithDomain : MarkingMode::kGood);
  });
  return mapi::S_OK;
}

HRESULT QVCore::MarkAsJunk(host::Explorer* explorer) {
  Mark([&](MarkingContext& c) { return MarkExplorer(c, explorer, MarkingMode::kJunk); });
  return mapi::S_OK;
}

HRESULT QVCore::MarkAsGoodWithDomain(host::Explorer* explorer) {
  Mark([&](MarkingContext& c) { return MarkExplorer(c, explorer, MarkingMode::kGoodWithDomain); });
  return mapi::S_OK;
}

MarkingRecord QVCore::MarkQuietly(const MarkingSelection& selection, MarkingMode mode) {
  return Mark([&](MarkingContext& c) { return MarkMessages(c, selection, mode, /*quiet=*/true); });
}

HRESULT QVCore::InitialWizard() {
  if (!initialized_ || !namespace_ || !application_) return mapi::S_OK;
  if (o_.process.settings().Lock()->showWizard == 0) return mapi::S_OK;
  ui::Ui& presenter = application_->Presenter();
  if (presenter.Interactive() || o_.wizardOnDefaults) {
    startWizardAsked_ = presenter.Interactive();
    RunWizard(presenter);
    // Closed rather than finished, it stays due; the add-in then leaves the start-up
    // actions to the core, which runs them now.
    if (o_.process.settings().Lock()->showWizard != 0) PostStartupActions();
  } else {
    OfferWizard();
  }
  return mapi::S_OK;
}

HRESULT QVCore::RunWizardOnDemand() {
  if (!initialized_ || !namespace_ || !application_) return mapi::S_OK;
  // The person who asked for it has just been through it at start (a host of the
  // command's own): once is enough.
  if (startWizardAsked_.exchange(false)) return mapi::S_OK;
  RunWizard(application_->Presenter());
  return mapi::S_OK;
}

void QVCore::RunWizard(ui::Ui& presenter) {
  if (wizardOpen_.exchange(true)) {
    presenter.Show("The first-run wizard is open already.", std::string(platform::kProductName),
                   platform::MB_OK | platform::MB_ICONINFORMATION);
    return;
  }
  if (std::uint64_t offer = wizardOffer_.exchange(0)) application_->WithdrawPending(offer);
  WizardResult result;
  WizardContext context{presenter, *namespace_, o_.process, o_.pickFolder};
  RunFirstRunWizard(context, result);
  wizardOpen_ = false;
  if (result.checkInbox) CheckInboxAfterWizard(presenter);
}

void QVCore::CheckInboxAfterWizard(ui::Ui& presenter) {
  auto s = session();
  if (!s) return;
  EntryId inbox = DefaultInboxId(*s);
  if (!inbox.present() || inbox.empty()) return;
  CheckOutcome outcome = RunFolderCheck(presenter, inbox, /*includeSubfolders=*/false);
  if (outcome.end == CheckEnd::kFinished || outcome.end == CheckEnd::kCancelled) {
    presenter.Notify(std::string(platform::kProductName), CheckSummary(outcome));
  }
}

void QVCore::OfferWizard() {
  host::Interaction offer;
  offer.kind = "wizard";
  offer.dialog = ui::wizard::OfferDialog();
  offer.caption = offer.dialog.title;
  offer.defaultAnswer = offer.dialog.defaultButton;
  // Nobody is here to go through it now, and it may be hours before someone is (or
  // never, for `run --once`): the mail that came before the start is queued now, as
  // the add-in would right after InitialWizard, instead of waiting for the wizard.
  PostStartupActions();
  wizardOffer_ =
      application_->RaisePending(std::move(offer), host::PendingInteractions::kNoDeadline,
                                 [this](const host::InteractionAnswer& answer) {
                                   if (!answer.byPerson || answer.button != ui::wizard::kSkipButton)
                                     return;
                                   wizardOffer_ = 0;
                                   o_.process.settings().Lock()->showWizard = 0;
                                   o_.process.SaveSettings();
                                 });
}

HRESULT QVCore::PostStartupActions() {
  auto s = session();
  if (!namespace_ || !s) return mapi::S_OK;
  auto inboxItem = namespace_->GetDefaultFolder(host::olFolderInbox);
  if (!inboxItem.ok() || !*inboxItem) return mapi::S_OK;
  auto inbox = (*inboxItem)->MAPIOBJECT();
  if (!inbox.ok() || !*inbox) return mapi::S_OK;
  // Only server stores: mail of other stores reaches the queue through notifications.
  auto storeHex = EntryId::FromHex((*inboxItem)->StoreID());
  if (!storeHex) return mapi::S_OK;
  auto store = s->OpenMsgStore(*storeHex, mapi::MDB_NO_DIALOG | mapi::MAPI_BEST_ACCESS);
  if (!store.ok()) return mapi::S_OK;
  auto provider = mapi::HrGetOneProp(**store, mapi::PR_MDB_PROVIDER);
  if (!provider.ok() || !provider->AsBinary() ||
      !mapi::IsExchangeProvider(provider->AsBinary()->bytes)) {
    return mapi::S_OK;
  }
  auto table = (*inbox)->GetContentsTable(0);
  if (!table.ok()) return mapi::S_OK;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID, mapi::PR_OBJECT_TYPE, mapi::PR_MESSAGE_FLAGS};
  if (mapi::Failed((*table)->SetColumns(columns, 0))) return mapi::S_OK;
  // Neither read nor associated.
  auto unread = mapi::Restriction::Bitmask(mapi::BMR_EQZ, mapi::PR_MESSAGE_FLAGS,
                                           mapi::MSGFLAG_READ | mapi::MSGFLAG_ASSOCIATED);
  if (mapi::Failed((*table)->Restrict(unread, 0))) return mapi::S_OK;
  for (;;) {
    auto rows = (*table)->QueryRows(kStartupScanBatch, 0);
    if (!rows.ok() || rows->empty()) break;
    for (const mapi::Row& row : *rows) {
      auto opened = s->OpenEntry(mapi::GetEntryId(row, mapi::PR_ENTRYID), mapi::MAPI_BEST_ACCESS);
      if (!opened.ok() || opened->objectType != mapi::MAPI_MESSAGE || !opened->object) continue;
      const mapi::PropTag ids[] = {mapi::PR_ENTRYID, mapi::PR_PARENT_ENTRYID};
      auto props = opened->object->GetProps(ids);
      if (!props.ok()) continue;
      EntryId id = mapi::GetEntryId(*props, mapi::PR_ENTRYID);
      EntryId parent = mapi::GetEntryId(*props, mapi::PR_PARENT_ENTRYID);
      if (id.present() && parent.present()) {
        o_.process.queue().Enqueue(parent, id, kOriginStartupScan);
      }
    }
  }
  return mapi::S_OK;
}

namespace {

// Messages in `folder` and, with `subtree`, in all folders under it.
std::uint64_t MessagesIn(mapi::Session& session, mapi::Folder& folder, bool subtree,
                         int depth = 0) {
  auto count = mapi::HrGetOneProp(folder, mapi::PR_CONTENT_COUNT);
  std::uint64_t total =
      count.ok() && count->AsLong() ? static_cast<std::uint32_t>(*count->AsLong()) : 0;
  if (!subtree || depth > kMaxFolderDepth) return total;
  auto table = folder.GetHierarchyTable(0);
  if (!table.ok() || !*table) return total;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return total;
  for (const mapi::Row& row : *rows) {
    auto opened =
        session.OpenEntry(mapi::GetEntryId(row, mapi::PR_ENTRYID), mapi::MAPI_BEST_ACCESS);
    if (!opened.ok() || opened->objectType != mapi::MAPI_FOLDER) continue;
    if (auto child = opened->As<mapi::Folder>())
      total += MessagesIn(session, *child, true, depth + 1);
  }
  return total;
}

}  // namespace

HRESULT QVCore::CheckFolder(host::Explorer* explorer) {
  auto s = session();
  if (!initialized_ || !application_ || !explorer || !s) return mapi::S_OK;
  // 1: a folder of mail, and its subfolders.
  std::shared_ptr<host::MAPIFolder> folder = explorer->CurrentFolder();
  if (!folder || folder->DefaultItemType() != host::olMailItem) return mapi::S_OK;
  auto children = folder->Folders();
  const bool hasSubfolders = children && children->Count() > 0;
  // 2-3: the confirmation.
  ui::Ui& ui = application_->Presenter();
  ui::Dialog confirm =
      ui::CheckFolderConfirmation(platform::AnsiToUtf8(folder->Name()), hasSubfolders);
  if (ui.Present(confirm) != platform::IDYES) return mapi::S_OK;
  // 4-5: nothing to check ends here without a word.
  const bool include = hasSubfolders && ui::IncludesSubfolders(confirm);
  auto id = EntryId::FromHex(folder->EntryID());
  auto opened = folder->MAPIOBJECT();
  if (!id || !opened.ok() || !*opened) return mapi::S_OK;
  if (MessagesIn(*s, **opened, include) == 0) return mapi::S_OK;
  CheckOutcome outcome = RunFolderCheck(ui, *id, include);
  if (outcome.end == CheckEnd::kFinished || outcome.end == CheckEnd::kCancelled) {
    ui.Notify(std::string(platform::kProductName), CheckSummary(outcome));
  }
  return mapi::S_OK;
}

CheckOutcome QVCore::RunFolderCheck(ui::Ui& ui, const EntryId& folderId, bool includeSubfolders) {
  if (!folderChecker_) {
    ui.Show(std::string(platform::LoadString(kStringSpamFolderMoved)),
            std::string(platform::kProductName), platform::MB_OK | platform::MB_ICONWARNING);
    return {CheckEnd::kNoSpamFolder, {}};
  }
  return folderChecker_->Run(ui, session(), folderId, includeSubfolders);
}

HRESULT QVCore::TestMessage(host::Explorer* explorer) {
  if (!initialized_ || !application_ || !judge_) return mapi::S_OK;
  return TestSelection(application_->Presenter(), *judge_, explorer);
}

HRESULT QVCore::DeleteSpam() {
  auto s = session();
  if (!initialized_ || !application_ || !s) return mapi::S_OK;
  ui::Ui& ui = application_->Presenter();
  EmptySpamOutcome emptied = EmptySpamFolder(ui, *s, o_.process.settings());
  if (emptied.end == EmptySpamEnd::kEmptied) {
    ui.Notify(std::string(platform::kProductName), std::to_string(emptied.deleted) + " message" +
                                                       (emptied.deleted == 1 ? "" : "s") +
                                                       " deleted from the spam folder");
  }
  return mapi::S_OK;
}

HRESULT QVCore::EmailToSupport() {
  if (!application_) return mapi::S_OK;
  outlook::EmailToSupport(
      application_->Presenter(),
      SupportTexts{.programVersion = o_.version.empty() ? std::string("unknown") : o_.version,
                   .compilationDate = crash::CompilationDate(),
                   .systemText = WindowsVersionText(kVersionBufferSize),
                   .hostText = OutlookVersionText(application_->Name(), o_.version)});
  return mapi::S_OK;
}

void QVCore::WaitUntilIdle() {
  if (worker_) worker_->WaitUntilIdle();
}

bool QVCore::WaitUntilIdleFor(std::chrono::milliseconds limit) {
  return !worker_ || worker_->WaitUntilIdleFor(limit);
}

HRESULT QVCore::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(sessionMutex_);
    session_.reset();
  }
  tray_.SetWindow(nullptr);
  if (worker_) worker_->Stop();  // the worker no longer feeds the window after this
  if (worker_) o_.process.queue().SetLengthCounter(nullptr);
  popupWindow_.reset();
  worker_.reset();
  // What the worker learned: the mail client's module saves it when it is unloaded;
  // this program keeps its module (the process objects) to its end, so it is saved
  // here, once nothing learns any more.
  o_.process.mailbase().store().SaveIfDirty();
  if (storeWatcher_) {
    storeWatcher_->UnadviseStores();
    storeWatcher_.reset();
  }
  if (moves_) moves_->StopScanning();
  namespace_.reset();
  if (initialized_ && application_) {
    o_.process.SaveSettings();  // what did not load stays as it is on disk
  }
  application_ = nullptr;
  return mapi::S_OK;
}

}  // namespace quorvel::outlook
