// quorvel list white|black|safe show [--json]
// quorvel list LIST add ADDRESS [NAME] | edit ADDRESS NEW-ADDRESS [NEW-NAME]
// quorvel list LIST remove ADDRESS... | import FILE | export FILE
//
// Each opens the options sheet on the list's page, does what the page's button does
// (Add and Edit with the list rules and their confirmations, Remove after its
// question, Import and Export with the list file format) and presses OK, which saves.
// ADDRESS names an entry as show prints it: an address, a domain (@example.org) or a
// pattern. show prints one entry a line: its address (or pattern), a tab, its name.
//
// Exit status: 0; 1 when the page refused (the entry exists, a file cannot be read or
// written, a confirmation was declined) or the settings cannot be loaded or saved;
// 2 for usage errors.
#include <CLI/CLI.hpp>
#include <cstring>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string_view>
#include <vector>

#include "app/command_sheet.h"
#include "app/commands.h"
#include "platform/code_page.h"
#include "platform/printable.h"
#include "settings/list_import.h"
#include "ui/entry_text.h"
#include "ui/hooked_ui.h"
#include "ui/list_page.h"

namespace quorvel::app {
namespace {

struct ListOptions {
  ListPage page = ListPage::kWhiteList;
  bool json = false;
  std::string address;
  std::vector<std::string> more;  // add: NAME; edit: NEW-ADDRESS [NEW-NAME]; remove: more
  std::string path;
};

ui::SenderListPage& PageOf(CommandSheet& sheet, ListPage page) {
  if (page == ListPage::kBlackList) return sheet.sheet().blackList();
  if (page == ListPage::kSafeRecipients) return sheet.sheet().safeRecipients();
  return sheet.sheet().whiteList();
}

// The settings values the page's changes may touch: its own, and the opposite list's.
std::vector<std::string_view> ValuesOf(ListPage page) {
  if (page == ListPage::kSafeRecipients) return {"SafeRecipients", "SafeRecipientsWildcards"};
  return {"WhiteList", "WhiteListWildcards", "BlackList", "BlackListWildcards"};
}

int Show(const ListOptions& o, CommandIo& io) {
  UserEnvironment env(io);
  CommandSheet sheet(env, io);
  const ui::SenderListPage& page = PageOf(sheet, o.page);
  if (o.json) {
    // One entry at a time: a list of 100,000 entries is never held twice as JSON.
    const auto dump = [](const nlohmann::json& value) {
      return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    };
    io.out << "{\"list\":" << dump(page.Title()) << ",\"entries\":[";
    bool first = true;
    for (const auto& row : page.rows()) {
      io.out << (first ? "" : ",")
             << dump({{"name", platform::AnsiToUtf8(row.name)},
                      {"address", platform::AnsiToUtf8(row.address)},
                      {"kind", row.pattern  ? "pattern"
                               : row.domain ? "domain"
                                            : "address"}});
      first = false;
    }
    io.out << "]}\n";
    return kExitOk;
  }
  for (const auto& row : page.rows()) {
    io.out << platform::EscapedField(platform::AnsiToUtf8(row.address));
    if (!row.pattern && !row.domain) {
      io.out << "\t" << platform::EscapedField(platform::AnsiToUtf8(row.name));
    }
    io.out << "\n";
  }
  return kExitOk;
}

// The row of `address`, or -1 with a line on io.err.
std::int32_t Row(ui::SenderListPage& page, const std::string& address, CommandIo& io) {
  const std::int32_t row = page.RowOf(address);
  if (row < 0) {
    io.err << "quorvel: the " << page.Title() << " has no entry \"" << platform::Printable(address)
           << "\"\n";
  }
  return row;
}

int Change(const std::string& action, const ListOptions& o, CommandIo& io) {
  // A file to import is read before the settings are locked: it may be a slow pipe.
  ListFileContents file;
  // List files are read and written whole, by name: "-" would be taken for a file of
  // that name in the working folder (or, sent to a host, the host's own streams).
  if ((action == "import" || action == "export") && o.path == "-") {
    io.err << "quorvel: " << action << " needs a file name; \"-\" (standard "
           << (action == "import" ? "input" : "output") << ") is not taken\n";
    return kExitUsage;
  }
  if (action == "import") {
    if (const int code = ReadListFile(io.ResolvePath(o.path), platform::DefaultClock(), &file)) {
      io.err << "quorvel: File Error: " << std::strerror(code) << " ("
             << platform::Printable(o.path) << ")\n";
      return kExitFailure;
    }
    for (const std::string& problem : file.problems) {
      io.err << "quorvel: " << platform::Printable(o.path) << ": " << platform::Printable(problem)
             << "\n";
    }
  }
  UserEnvironment env(io, SettingsUse::kChange);
  CommandSheet sheet(env, io);
  if (!sheet.Loaded(ValuesOf(o.page))) return kExitFailure;
  ui::SenderListPage& page = PageOf(sheet, o.page);
  bool done = false;
  if (action == "add") {
    done = page.AddEntry(sheet.session(), o.address, o.more.empty() ? "" : o.more[0]);
  } else if (action == "edit") {
    const std::int32_t row = Row(page, o.address, io);
    if (row < 0) return kExitFailure;
    std::map<std::string, std::string> texts = {{ui::kEditAddress, o.more.at(0)}};
    if (o.more.size() > 1) texts[ui::kEditName] = o.more[1];
    for (const auto& [id, text] : texts) {
      if (std::string problem = ui::CheckEntryText(text, id, nullptr); !problem.empty()) {
        io.err << "quorvel: " << problem << "\n";
        return kExitFailure;
      }
    }
    ui::HookedUi answers(env.presenter(), ui::PrefillHook("edit-entry", std::move(texts)));
    done = page.EditRow(sheet.session(), answers, static_cast<std::size_t>(row));
  } else if (action == "remove") {
    std::vector<std::int32_t> rows;
    std::vector<std::string> names = o.more;
    names.insert(names.begin(), o.address);
    for (const std::string& name : names) {
      const std::int32_t row = Row(page, name, io);
      if (row < 0) return kExitFailure;
      rows.push_back(row);
    }
    done = page.RemoveRows(sheet.session(), rows);
  } else if (action == "import") {
    const std::size_t added = page.ApplyImport(sheet.session(), file);
    done = true;
    io.out << "Imported " << platform::Printable(o.path) << " into the " << page.Title() << ": "
           << added << (added == 1 ? " entry" : " entries") << " added\n";
  } else if (action == "export") {
    done = page.Export(io.ResolvePath(o.path));
    if (done) {
      io.out << "Wrote the " << page.Title() << " to " << platform::Printable(o.path) << "\n";
    }
  }
  if (!done) return kExitFailure;
  return sheet.OkAndSave();
}

void AddAction(CLI::App& list, ListPage page, const char* name, const char* description,
               CommandIo& io) {
  CLI::App* action = list.add_subcommand(name, description);
  auto o = std::make_shared<ListOptions>();
  o->page = page;
  const std::string verb = name;
  if (verb == "show") {
    action->add_flag("--json", o->json, "One JSON object with every entry");
  } else if (verb == "import" || verb == "export") {
    action->add_option("FILE", o->path, "The list file")->required();
  } else {
    action->add_option("ADDRESS", o->address, "An address, a domain (@example.org) or a pattern")
        ->required();
    if (verb == "add") action->add_option("NAME", o->more, "The sender's name")->expected(0, 1);
    if (verb == "edit") {
      action->add_option("NEW", o->more, "The new address and, optionally, the new name")
          ->expected(1, 2)
          ->required();
    }
    if (verb == "remove") action->add_option("MORE", o->more, "More entries to remove");
  }
  action->callback(
      [o, verb, &io] { io.status = verb == "show" ? Show(*o, io) : Change(verb, *o, io); });
}

void SetupList(CLI::App& sub, CommandIo& io) {
  sub.require_subcommand(1);
  const struct {
    const char* name;
    ListPage page;
    const char* description;
  } lists[] = {{"white", ListPage::kWhiteList, "The White List"},
               {"black", ListPage::kBlackList, "The Black List"},
               {"safe", ListPage::kSafeRecipients, "The Safe Recipients List"}};
  for (const auto& l : lists) {
    CLI::App* list = sub.add_subcommand(l.name, l.description)->ignore_case();
    list->require_subcommand(1);
    AddAction(*list, l.page, "show", "Print the entries", io);
    AddAction(*list, l.page, "add", "Add an entry, as the page's Add does", io);
    AddAction(*list, l.page, "edit", "Change an entry, as the page's Edit does", io);
    AddAction(*list, l.page, "remove", "Remove entries, as the page's Remove does", io);
    AddAction(*list, l.page, "import", "Add the entries of FILE", io);
    AddAction(*list, l.page, "export", "Write the list and its patterns to FILE", io);
  }
}

}  // namespace

Command ListCommand() {
  return {"list", "Show and edit the White List, the Black List and the Safe Recipients List",
          SetupList};
}

}  // namespace quorvel::app
