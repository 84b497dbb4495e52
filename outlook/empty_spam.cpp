#include "outlook/empty_spam.h"

#include <string>
#include <vector>

#include "mapi/queries.h"
#include "outlook/spam_folder.h"
#include "platform/string_table.h"

namespace quorvel::outlook {
namespace {

constexpr unsigned kStringSpamFolderIsReceiveFolder = 210;
constexpr unsigned kStringDeleteAllSpam = 602;

}  // namespace

EmptySpamOutcome EmptySpamFolder(ui::Ui& ui, mapi::Session& session, SettingsHolder& settings) {
  const std::string caption(platform::kProductName);
  if (ui.Show(std::string(platform::LoadString(kStringDeleteAllSpam)), caption,
              platform::MB_YESNO | platform::MB_ICONQUESTION | ui::MB_DEFBUTTON2) !=
      platform::IDYES) {
    return {EmptySpamEnd::kDeclined, 0};
  }
  const mapi::EntryId id = StoredSpamFolderId(settings);
  const mapi::EntryId inbox = DefaultInboxId(session);
  if (!id.present()) return {EmptySpamEnd::kFailed, 0};
  if (inbox.present()) {
    // Compared by the store too: another spelling of the Inbox's id is the Inbox.
    auto same =
        id == inbox ? mapi::Result<bool>(mapi::S_OK, true) : session.CompareEntryIDs(id, inbox, 0);
    if (same.ok() && *same) {
      ui.Show(std::string(platform::LoadString(kStringSpamFolderIsReceiveFolder)), caption,
              platform::MB_OK | platform::MB_ICONINFORMATION);
      return {EmptySpamEnd::kIsInbox, 0};
    }
  }
  auto opened = session.OpenEntry(id, mapi::MAPI_BEST_ACCESS);
  auto folder =
      opened.ok() && opened->objectType == mapi::MAPI_FOLDER ? opened->As<mapi::Folder>() : nullptr;
  if (!folder) return {EmptySpamEnd::kFailed, 0};
  auto table = folder->GetContentsTable(0);
  if (!table.ok() || !*table) return {EmptySpamEnd::kFailed, 0};
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return {EmptySpamEnd::kFailed, 0};
  std::vector<mapi::EntryId> ids;
  for (const mapi::Row& row : *rows) {
    mapi::EntryId message = mapi::GetEntryId(row, mapi::PR_ENTRYID);
    if (message.present()) ids.push_back(std::move(message));
  }
  if (ids.empty()) return {EmptySpamEnd::kEmptied, 0};
  if (folder->DeleteMessages(ids, mapi::MESSAGE_DIALOG) != mapi::S_OK) {
    return {EmptySpamEnd::kFailed, 0};
  }
  return {EmptySpamEnd::kEmptied, static_cast<std::uint32_t>(ids.size())};
}

}  // namespace quorvel::outlook
