#include "outlook/first_run_wizard.h"

#include <memory>

#include "bayes/probability_table.h"
#include "lists/contact_list.h"
#include "outlook/spam_folder.h"
#include "outlook/white_list_walk.h"
#include "outlook/wizard_scan.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/string_table.h"
#include "ui/dialog_change.h"
#include "ui/folder_choice.h"
#include "ui/run_pages.h"

namespace quorvel::outlook {
namespace {

namespace wiz = ui::wizard;

std::uint32_t ItemCount(host::NameSpace& nameSpace, int folderType) {
  auto folder = nameSpace.GetDefaultFolder(folderType);
  if (!folder.ok() || !*folder) return 0;
  auto items = (*folder)->Items();
  const int count = items ? items->Count() : 0;
  return count > 0 ? static_cast<std::uint32_t>(count) : 0;
}

std::optional<wiz::ChosenFolders::Folder> DefaultFolder(host::NameSpace& nameSpace,
                                                        int folderType) {
  auto folder = nameSpace.GetDefaultFolder(folderType);
  if (!folder.ok() || !*folder) return std::nullopt;
  return wiz::ChosenFolders::Folder{(*folder)->EntryID(), WizardFolderPath(**folder)};
}

// Shows `text` in the label `id` of the open wizard.
void SetLabel(ui::DialogSession& session, const char* id, std::string_view text) {
  const ui::Control* shown = session.dialog().Find(id);
  if (!shown) return;
  ui::Control value = *shown;
  value.text = std::string(text);
  session.Update(ui::DialogChange::ControlValues(std::move(value)));
}

void SetChecked(ui::DialogSession& session, const char* id, bool checked) {
  const ui::Control* shown = session.dialog().Find(id);
  if (!shown) return;
  ui::Control value = *shown;
  value.checked = checked;
  session.Update(ui::DialogChange::ControlValues(std::move(value)));
}

std::string SpamFolderPath(SettingsHolder& settings) {
  auto ref = settings.GetSpamFolder();
  return ref ? platform::WideToAnsi(ref->friendlyName) : std::string();
}

// The older installation's mail base, imported when the wizard built none. The file
// is read by a store of its own first, so that a damaged one never empties the mail
// base in use (loading resets the store it loads into).
void ImportOlderMailbase(AddInProcess& process, platform::MessageBoxes& boxes) {
  const std::string& folder = process.environment().dataFolder;
  if (folder.empty()) return;
  const std::string path = folder + kOlderMailbase;
  platform::FileSystem& files = platform::RealFileSystem();
  if (!files.Exists(path)) return;
  ProbabilityTable probeTable(files);
  MailbaseStore probe(probeTable, boxes, files);
  MailbaseStore& store = process.mailbase().store();
  if (probe.LoadLegacy(path) && store.LoadLegacy(path)) {
    store.MarkDirty();
    store.Rebuild();
  }
  files.Remove(path);
}

void ApplyCollected(AddInProcess& process, const ContactList& collected) {
  {
    auto live = process.settings().Lock();
    live->blackList.Subtract(collected);
    live->whiteList.Merge(collected);
    live->showWizard = 0;
  }
  process.SaveSettings();
}

}  // namespace

std::string WizardFolderPath(host::MAPIFolder& folder) {
  std::string path = folder.Name();
  for (auto parent = folder.Parent(); parent; parent = parent->Parent()) {
    path = parent->Name() + std::string(kPathSeparator) + path;
  }
  return path;
}

std::optional<wiz::ChosenFolders::Folder> PickWizardFolder(ui::Ui& ui, host::NameSpace& nameSpace) {
  std::vector<wiz::ChosenFolders::Folder> all;
  std::vector<std::shared_ptr<host::MAPIFolder>> pending = nameSpace.TopFolders();
  for (std::size_t i = 0; i < pending.size() && all.size() < 10000; ++i) {
    host::MAPIFolder& f = *pending[i];
    if (f.DefaultItemType() == host::olMailItem) all.push_back({f.EntryID(), WizardFolderPath(f)});
    auto children = f.Folders();
    for (int k = 1, n = children ? children->Count() : 0; k <= n; ++k) {
      if (auto child = children->Item(k); child.ok() && *child) pending.push_back(*child);
    }
  }
  std::vector<std::string> paths;
  for (const auto& f : all) paths.push_back(f.path);
  std::optional<std::size_t> chosen = ui::ChooseFolder(ui, paths, "Folders:");
  if (!chosen) return std::nullopt;
  return all[*chosen];
}

void RunFirstRunWizard(WizardContext& c, WizardResult& result) {
  MailbaseStore& store = c.process.mailbase().store();
  if (!store.EnsureLoaded()) {
    c.ui.Show(std::string(platform::LoadString(kIdsMailbaseLoadFailed)),
              std::string(platform::kProductName), platform::MB_OK | platform::MB_ICONWARNING);
    return;
  }
  store.ClearScan();
  const std::uint32_t sent = ItemCount(c.nameSpace, host::olFolderSentMail);
  const std::uint32_t inbox = ItemCount(c.nameSpace, host::olFolderInbox);
  const bool addInbox = sent < kAddInboxBelow;
  const bool skipScan = sent + inbox < kSkipScanBelow;

  ui::Dialog dialog = wiz::WizardDialog(skipScan);
  ContactList collected;
  wiz::ChosenFolders chosen;
  bool walked = false, foldersOffered = false, scanned = false;

  const auto onPage = [&](ui::DialogSession& session, const std::string& page) {
    if (page == wiz::kWhiteList && !walked) {
      walked = true;
      auto progress = c.ui.BeginProgress(std::string(wiz::kWhiteListText));
      CollectWhiteListContacts(c.nameSpace, c.process.environment().clock, collected,
                               [&](int percent) { progress->Update(percent, 100, ""); });
      progress.reset();
      SetLabel(session, wiz::kWhiteListContinue, wiz::kContinue);
    } else if (page == wiz::kFolders && !foldersOffered) {
      foldersOffered = true;
      if (auto f = DefaultFolder(c.nameSpace, host::olFolderSentMail)) {
        chosen.Add(*f, dialog, &session);
      }
      if (addInbox) {
        if (auto f = DefaultFolder(c.nameSpace, host::olFolderInbox)) {
          chosen.Add(*f, dialog, &session);
        }
      }
    } else if (page == wiz::kScan && !scanned) {
      scanned = true;
      auto progress = c.ui.BeginProgress("Scanning the selected folders");
      if (!skipScan) {
        std::vector<mapi::EntryId> ids;
        for (const auto& f : chosen.folders()) {
          if (auto id = mapi::EntryId::FromHex(f.entryId)) ids.push_back(*id);
        }
        std::shared_ptr<mapi::Session> mail = c.nameSpace.MAPIOBJECT();
        ScanCounters counters;
        if (mail) {
          counters = ScanFolders(
              *mail, ids, store, [&] { return progress->Cancelled(); },
              [&](std::uint32_t position) { progress->Update(position, kScanRange, ""); });
        }
        if (counters.learned >= kScanApplyMinimum) {
          store.ApplyScan();
          result.baseUpdated = true;
        }
      }
      progress.reset();
      SetLabel(session, wiz::kScanContinue, wiz::kContinue);
      SetChecked(session, wiz::kCheckInbox, true);
    } else if (page == wiz::kDone) {
      SetLabel(session, wiz::kSpamFolder,
               std::string(wiz::kSpamFolderIs) + SpamFolderPath(c.process.settings()));
    }
  };
  const auto onAction = [&](ui::DialogSession& session, std::int32_t button) {
    if (button == wiz::kAddButton) {
      auto picked = c.pickFolder ? c.pickFolder() : PickWizardFolder(c.ui, c.nameSpace);
      if (picked && !chosen.Add(*picked, dialog, &session)) {
        c.ui.Show(std::string(wiz::kFolderAlreadyAdded), std::string(platform::kProductName),
                  platform::MB_OK | platform::MB_ICONINFORMATION);
      }
    } else if (button == wiz::kRemoveButton) {
      chosen.RemoveSelected(dialog, session);
    }
  };

  std::int32_t button = dialog.cancelButton;
  try {
    button = ui::RunWizard(c.ui, dialog, onAction, onPage);
  } catch (const WizardClosed&) {
    store.ClearScan();  // what was scanned goes; the good corpus stays
  }
  const ui::Control* check = dialog.Find(wiz::kCheckInbox);
  result.checkInbox = button == ui::kFinishButton && check && check->checked;

  if (!result.baseUpdated) ImportOlderMailbase(c.process, c.ui);
  ApplyCollected(c.process, collected);
}

}  // namespace quorvel::outlook
