#include "app/command_sheet.h"

#include <ostream>
#include <utility>

#include "app/commands.h"
#include "bayes/mailbase.h"
#include "outlook/spam_folder_picker.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/printable.h"
#include "settings/data_folder.h"

namespace quorvel::app {

std::optional<ui::PickedFolder> FolderForSheet(CommandIo& io, const std::string& path) {
  if (io.host == nullptr || !io.host->application().Session()) {
    io.err << "quorvel: no host runs this profile's store: its folders cannot be picked\n";
    return std::nullopt;
  }
  std::string error;
  auto picked = outlook::FolderByPath(*io.host->application().Session(), path, &error);
  if (!picked) io.err << "quorvel: " << platform::Printable(error) << "\n";
  return picked;
}

void OpenManual(ui::Ui& presenter, CommandIo& io) {
  const std::string path = DefaultDataFolders().ModuleFolder() + "quorvel.html";
  if (!presenter.OpenUrl("file://" + path)) io.out << "The user's manual: " << path << "\n";
}

CommandSheet::CommandSheet(UserEnvironment& env, CommandIo& io, bool learnedCounts)
    : env_(env), io_(io) {
  ui::OptionsContext context{.live = env.settings(), .ui = env.presenter(), .clock = env.clock()};
  if (learnedCounts && env.mailbase().store().EnsureLoaded()) {
    CorpusPair learned = env.mailbase().store().MainPair();
    learned.Merge(env.mailbase().store().PendingPair());
    context.learnedJunk = learned.junk().messageCount();
    context.learnedGood = learned.good().messageCount();
  }
  if (io.host != nullptr) {
    context.pickFolder = [&io, &env]() -> std::optional<ui::PickedFolder> {
      auto nameSpace = io.host->application().Session();
      if (!nameSpace) return std::nullopt;
      return outlook::PickFolder(env.presenter(), *nameSpace);
    };
  }
  context.openHelp = [&env, &io] { OpenManual(env.presenter(), io); };
  context.fileExists = [](const std::string& path) {
    platform::FileInfo info;
    return platform::RealFileSystem().Stat(path, &info).ok() &&
           info.kind != platform::FileKind::kMissing;
  };
  context.resolvePath = [&io](const std::string& path) { return io.ResolvePath(path); };
  sheet_ = std::make_unique<ui::OptionsSheet>(std::move(context));
  session_ = std::make_unique<ui::ModelSession>(sheet_->dialog());
}

bool CommandSheet::Loaded(const std::vector<std::string_view>& values) {
  for (std::string_view name : values) {
    if (!env_.SettingLoaded(name)) {
      io_.err << "quorvel: the settings value \"" << name
              << "\" did not load (see above): nothing was changed; repair or remove the "
                 "damaged settings first\n";
      return false;
    }
  }
  return true;
}

int CommandSheet::OkAndSave() {
  if (!sheet_->Ok().empty()) return kExitFailure;
  std::string error;
  if (!env_.SaveSettings(&error)) {
    io_.err << "quorvel: cannot save the settings: " << platform::Printable(error) << "\n";
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace quorvel::app
