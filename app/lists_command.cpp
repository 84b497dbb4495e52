// quorvel lists export|import --list white|black|safe FILE
//
// Writes one of the three sender lists (with its wildcard patterns) to a text file,
// or reads entries from one: a line is a name, a tab and an address, or just an
// address; a file in UTF-16 with its byte-order mark is read as well. Importing into
// the White List takes the imported senders off the Black List and the other way
// round; the Safe Recipients List only gains them. The settings are saved at once.
//
// Exit status: 0; 1 when the file cannot be read or written, the settings cannot be
// saved, or a list the command needs did not load from the settings; 2 for usage
// errors.
#include <CLI/CLI.hpp>
#include <cstring>
#include <ostream>
#include <string_view>
#include <vector>

#include "app/commands.h"
#include "app/printable.h"
#include "app/user_environment.h"
#include "platform/clock.h"
#include "settings/list_import.h"

namespace quorvel::app {
namespace {

struct ListsOptions {
  std::string list;  // "white", "black" or "safe", in any case
  std::string path;
};

ListPage PageOf(const std::string& list) {
  std::string lower;
  for (char c : list) lower.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
  if (lower == "black") return ListPage::kBlackList;
  if (lower == "safe") return ListPage::kSafeRecipients;
  return ListPage::kWhiteList;
}

const char* PageName(ListPage page) {
  switch (page) {
    case ListPage::kWhiteList:
      return "White List";
    case ListPage::kBlackList:
      return "Black List";
    case ListPage::kSafeRecipients:
      return "Safe Recipients List";
  }
  return "";
}

// The settings values a command on `page` reads, or changes when importing (an
// import into the White List takes senders off the Black List and the other way
// round).
std::vector<std::string_view> ValuesOf(ListPage page, bool importing) {
  switch (page) {
    case ListPage::kWhiteList:
      if (importing) return {"WhiteList", "WhiteListWildcards", "BlackList", "BlackListWildcards"};
      return {"WhiteList", "WhiteListWildcards"};
    case ListPage::kBlackList:
      if (importing) return {"BlackList", "BlackListWildcards", "WhiteList", "WhiteListWildcards"};
      return {"BlackList", "BlackListWildcards"};
    case ListPage::kSafeRecipients:
      return {"SafeRecipients", "SafeRecipientsWildcards"};
  }
  return {};
}

// False, with a line on standard error, when one of the values the command needs did
// not load: exporting it would write an empty list, importing would save over it.
bool NeededSettingsLoaded(const UserEnvironment& env, ListPage page, bool importing,
                          CommandIo& io) {
  for (std::string_view name : ValuesOf(page, importing)) {
    if (!env.SettingLoaded(name)) {
      io.err << "quorvel: the settings value \"" << name
             << "\" did not load (see above): nothing was " << (importing ? "imported" : "exported")
             << "; repair or remove the damaged settings first\n";
      return false;
    }
  }
  return true;
}

int RunExport(const ListsOptions& options, CommandIo& io) {
  UserEnvironment env(io);
  const ListPage page = PageOf(options.list);
  if (!NeededSettingsLoaded(env, page, false, io)) return kExitFailure;
  const int code = ExportListOfPage(env.settings().CopyOut(), page, io.ResolvePath(options.path));
  if (code != 0) {
    io.err << "quorvel: File Error: " << std::strerror(code) << " (" << Printable(options.path)
           << ")\n";
    return kExitFailure;
  }
  io.out << "Wrote the " << PageName(page) << " to " << Printable(options.path) << "\n";
  return kExitOk;
}

int RunImport(const ListsOptions& options, CommandIo& io) {
  const ListPage page = PageOf(options.list);
  // The file is read before any lock is taken: neither the settings lock nor the
  // registry's is held across reading a file the user names (it may be a slow pipe).
  ListFileContents file;
  if (const int code =
          ReadListFile(io.ResolvePath(options.path), platform::DefaultClock(), &file)) {
    io.err << "quorvel: File Error: " << std::strerror(code) << " (" << Printable(options.path)
           << ")\n";
    return kExitFailure;
  }
  for (const std::string& problem : file.problems) {
    io.err << "quorvel: " << Printable(options.path) << ": " << Printable(problem) << "\n";
  }
  // The registry's settings lock is held from the load to the save: a concurrent
  // import into the same list (or the opposite one) waits, then adds to what this
  // one saved.
  UserEnvironment env(io, SettingsUse::kChange);
  if (!NeededSettingsLoaded(env, page, true, io)) return kExitFailure;
  std::size_t added = 0;
  {
    SettingsHolder::Locked settings = env.settings().Lock();
    added = ApplyListFile(*settings, page, file);
  }
  std::string error;
  if (!env.SaveSettings(&error)) {
    io.err << "quorvel: cannot save the settings: " << Printable(error) << "\n";
    return kExitFailure;
  }
  io.out << "Imported " << Printable(options.path) << " into the " << PageName(page) << ": "
         << added << (added == 1 ? " entry" : " entries") << " added\n";
  return kExitOk;
}

// Adds "export" or "import" with its options to `sub`; `run` runs it.
void AddListCommand(CLI::App& sub, const char* name, const char* description,
                    int (*run)(const ListsOptions&, CommandIo&), CommandIo& io) {
  CLI::App* command = sub.add_subcommand(name, description);
  auto options = std::make_shared<ListsOptions>();
  command->add_option("--list", options->list, "white, black or safe (Safe Recipients)")
      ->required()
      ->check(CLI::IsMember({"white", "black", "safe"}, CLI::ignore_case));
  command->add_option("FILE", options->path, "The list file")->required();
  command->callback([options, run, &io] { io.status = run(*options, io); });
}

void SetupLists(CLI::App& sub, CommandIo& io) {
  sub.require_subcommand(1);
  AddListCommand(sub, "export", "Write a list and its patterns to FILE", RunExport, io);
  AddListCommand(sub, "import", "Add the entries of FILE to a list, and save", RunImport, io);
}

}  // namespace

Command ListsCommand() {
  return {"lists", "Export a sender list to a text file, or import one from it", SetupLists};
}

}  // namespace quorvel::app
