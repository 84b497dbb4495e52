// quorvel check [--subfolders] [FOLDER]
//
// Checks a folder for spam (a path as 'quorvel folders' prints it, or a Maildir
// folder's directory; default the Inbox): the add-in's Check Folder command, with its
// confirmation (--yes answers it; --subfolders checks its box, which is otherwise
// cleared), every message judged and the spam moved into the spam folder. At a
// terminal the progress shows as a bar with the counts and the rate, and Ctrl-C
// cancels: what was moved stays moved. The counts are said at the end.
//
// Exit status: 0; 1 without a profile, for a folder that is not found, not in the
// profile or not a folder of mail, when the check was cancelled, refused (another one
// runs) or could not start (the spam folder is gone); 2 for usage errors.
#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>
#include <string>

#include "app/add_in_click.h"
#include "app/commands.h"
#include "outlook/add_in.h"
#include "outlook/folder_check.h"
#include "platform/string_table.h"
#include "ui/check_folder_dialog.h"

namespace quorvel::app {
namespace {

struct CheckOptions {
  bool subfolders = false;
  std::string folder;
};

bool Contains(const std::vector<std::string>& texts, std::string_view part) {
  for (const std::string& t : texts) {
    if (t.find(part) != std::string::npos) return true;
  }
  return false;
}

int Check(const CheckOptions& options, CommandIo& io) {
  std::shared_ptr<host::MAPIFolder> folder = FindCommandFolder(io, "check", options.folder);
  if (!folder) return kExitFailure;
  if (folder->DefaultItemType() != host::olMailItem) {
    io.err << "quorvel: '" << options.folder << "' is not a folder of mail\n";
    return kExitFailure;
  }
  const bool subfolders = options.subfolders;
  ClickResult clicked = ClickAddIn(io, outlook::kCmdCheckFolder, folder, host::Selection(),
                                   [subfolders](ui::Dialog& dialog) -> std::optional<std::int32_t> {
                                     ui::Control* box = dialog.kind == ui::kCheckFolderKind
                                                            ? dialog.Find(ui::kSubfoldersControl)
                                                            : nullptr;
                                     if (box != nullptr && box->enabled) box->checked = subfolders;
                                     return std::nullopt;
                                   });
  if (!clicked.clicked) return kExitFailure;
  const bool failed = Contains(clicked.shown, outlook::kCheckRunning) ||
                      Contains(clicked.shown, platform::LoadString(559)) ||
                      Contains(clicked.shown, "Check cancelled");
  return failed ? kExitFailure : kExitOk;
}

}  // namespace

Command CheckCommand() {
  return {"check", "Check a folder for spam and move the spam found",
          [](CLI::App& sub, CommandIo& io) {
            auto options = std::make_shared<CheckOptions>();
            sub.add_flag("--subfolders", options->subfolders, "Check its subfolders too");
            sub.add_option("FOLDER", options->folder,
                           "A folder as 'quorvel folders' names it, or a Maildir folder "
                           "(default: the Inbox)");
            sub.callback([options, &io] { io.status = Check(*options, io); });
          }};
}

}  // namespace quorvel::app
