// quorvel spam-folder [--json] [FOLDER]
//
// Without FOLDER: the spam folder's path as the General page shows it. With FOLDER (a
// path as `quorvel folders` prints it): opens the options sheet, picks the folder on
// the General page, which refuses a folder that does not hold mail, and presses OK,
// which saves.
//
// Exit status: 0; 1 when the folder is not there, does not hold mail, or the settings
// cannot be saved; 2 for usage errors.
#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/command_sheet.h"
#include "app/commands.h"
#include "platform/code_page.h"
#include "platform/printable.h"
#include "ui/general_page.h"

namespace quorvel::app {
namespace {

struct SpamFolderOptions {
  bool json = false;
  std::string folder;
};

int Show(bool json, CommandIo& io) {
  UserEnvironment env(io);
  const std::optional<SpamFolderRef> ref = env.settings().GetSpamFolder();
  const std::string path = ref ? platform::WideToUtf8(ref->friendlyName) : "";
  if (json) {
    io.out << nlohmann::json{{"path", path},
                             {"entry_id", ref ? platform::WideToUtf8(ref->entryId) : ""}}
                  .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
           << "\n";
  } else if (ref) {
    io.out << platform::Printable(path) << "\n";
  } else {
    io.out << "No spam folder is set.\n";
  }
  return kExitOk;
}

int Set(const std::string& folder, CommandIo& io) {
  UserEnvironment env(io, SettingsUse::kChange);
  CommandSheet sheet(env, io);
  if (!sheet.Loaded({"SF", "SpamFolderID", "SpamFolderFriendlyName"})) return kExitFailure;
  const std::optional<ui::PickedFolder> picked = FolderForSheet(io, folder);
  if (!picked || !sheet.sheet().general().UseFolder(sheet.session(), *picked)) {
    return kExitFailure;
  }
  if (const int status = sheet.OkAndSave(); status != kExitOk) return status;
  io.out << "The spam folder is " << platform::Printable(picked->path) << "\n";
  return kExitOk;
}

void SetupSpamFolder(CLI::App& sub, CommandIo& io) {
  auto o = std::make_shared<SpamFolderOptions>();
  sub.add_flag("--json", o->json, "Print the spam folder as a JSON object");
  sub.add_option("FOLDER", o->folder, "The folder to move spam into (Inbox/Spam, ...)");
  sub.callback(
      [o, &io] { io.status = o->folder.empty() ? Show(o->json, io) : Set(o->folder, io); });
}

}  // namespace

Command SpamFolderCommand() {
  return {"spam-folder", "Show the spam folder, or choose another one", SetupSpamFolder};
}

}  // namespace quorvel::app
