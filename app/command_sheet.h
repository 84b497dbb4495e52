// The options sheet opened for one command (`quorvel list`, `dict`, `option`,
// `spam-folder`, `options`): over the command's settings (the host's live record, or
// the command's own copy without a host) with the command's presenter, the profile's
// folders for the spam-folder picker when a host runs, and the user's manual for
// Help. A command acts on one page through session(), as the page's buttons would,
// and then presses OK with OkAndSave, so that every rule of the sheet applies.
#ifndef QUORVEL_APP_COMMAND_SHEET_H_
#define QUORVEL_APP_COMMAND_SHEET_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command.h"
#include "app/user_environment.h"
#include "ui/model_session.h"
#include "ui/options_sheet.h"

namespace quorvel::app {

// The folder `path` (as `quorvel folders` prints it) as the General page's picker
// gives it; nothing, with a line on io.err, when there is no host or no such folder.
std::optional<ui::PickedFolder> FolderForSheet(CommandIo& io, const std::string& path);

// Opens the user's manual with the desktop's handler; prints its path when nothing
// could open it.
void OpenManual(ui::Ui& presenter, CommandIo& io);

class CommandSheet {
 public:
  // `learnedCounts`: read the mail base's learned counts for the Phrase Filter page.
  CommandSheet(UserEnvironment& env, CommandIo& io, bool learnedCounts = false);

  ui::OptionsSheet& sheet() { return *sheet_; }
  ui::DialogSession& session() { return *session_; }

  // False, with a line on io.err, when a settings value the command would change did
  // not load (saving would write over it).
  bool Loaded(const std::vector<std::string_view>& values);
  // Presses OK and saves the settings. Returns the exit status.
  int OkAndSave();

 private:
  UserEnvironment& env_;
  CommandIo& io_;
  std::unique_ptr<ui::OptionsSheet> sheet_;
  std::unique_ptr<ui::ModelSession> session_;
};

}  // namespace quorvel::app

#endif  // QUORVEL_APP_COMMAND_SHEET_H_
