// quorvel dict good|spam show [--json] | add WORD | edit WORD NEW-WORD | remove WORD...
//
// Opens the options sheet, the Phrase Filter page's dictionary dialog for the Custom
// Not-Spam Dictionary (good) or the Custom Spam Dictionary (spam), does what the
// dialog's button does, closes it with Close and presses OK, which saves. Words are
// taken as typed, blanks included, and compared without regard to case.
//
// Exit status: 0; 1 when the dialog refused (the word is there, or empty, or cannot
// be kept) or the settings cannot be loaded or saved; 2 for usage errors.
#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/command_sheet.h"
#include "app/commands.h"
#include "platform/code_page.h"
#include "platform/printable.h"
#include "ui/dictionary_dialog.h"
#include "ui/model_session.h"
#include "ui/phrase_filter_page.h"

namespace quorvel::app {
namespace {

struct DictOptions {
  ui::DictionaryKind kind = ui::DictionaryKind::kSpam;
  bool json = false;
  std::vector<std::string> words;
};

const char* ValueOf(ui::DictionaryKind kind) {
  return kind == ui::DictionaryKind::kNotSpam ? "CustomGoodDictionary" : "CustomSpamDictionary";
}

int Show(const DictOptions& o, CommandIo& io) {
  UserEnvironment env(io);
  CommandSheet sheet(env, io);
  ui::DictionaryDialog dialog(env.presenter(), o.kind,
                              sheet.sheet().phraseFilter().Dictionary(o.kind));
  if (o.json) {
    nlohmann::json words = nlohmann::json::array();
    for (const std::string& word : dialog.words()) words.push_back(platform::AnsiToUtf8(word));
    io.out << nlohmann::json{{"dictionary", dialog.dialog().title}, {"words", words}}.dump(
                  -1, ' ', false, nlohmann::json::error_handler_t::replace)
           << "\n";
    return kExitOk;
  }
  for (const std::string& word : dialog.words()) {
    io.out << platform::EscapedField(platform::AnsiToUtf8(word)) << "\n";
  }
  return kExitOk;
}

int Change(const std::string& action, const DictOptions& o, CommandIo& io) {
  UserEnvironment env(io, SettingsUse::kChange);
  CommandSheet sheet(env, io);
  if (!sheet.Loaded({ValueOf(o.kind)})) return kExitFailure;
  StringSet& dictionary = sheet.sheet().phraseFilter().Dictionary(o.kind);
  ui::DictionaryDialog dialog(env.presenter(), o.kind, dictionary);
  ui::ModelSession session(dialog.dialog());
  bool done = false;
  if (action == "add") {
    done = dialog.AddWord(session, o.words[0]);
  } else {
    std::vector<std::int32_t> rows;
    for (std::size_t i = 0; i < (action == "edit" ? 1 : o.words.size()); ++i) {
      const std::int32_t row = dialog.RowOf(o.words[i]);
      if (row < 0) {
        io.err << "quorvel: the " << dialog.dialog().title << " has no word \""
               << platform::Printable(o.words[i]) << "\"\n";
        return kExitFailure;
      }
      rows.push_back(row);
    }
    if (action == "edit") {
      done = dialog.EditWord(session, static_cast<std::size_t>(rows[0]), o.words[1]);
    } else {
      std::sort(rows.begin(), rows.end());
      rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
      dialog.dialog().Find("words")->selectedRows = rows;
      done = dialog.RemoveSelected(session);
    }
  }
  if (!done) return kExitFailure;
  dictionary = dialog.words();  // Close
  return sheet.OkAndSave();
}

void AddAction(CLI::App& dict, ui::DictionaryKind kind, const char* name, const char* description,
               std::size_t words, CommandIo& io) {
  CLI::App* action = dict.add_subcommand(name, description);
  auto o = std::make_shared<DictOptions>();
  o->kind = kind;
  const std::string verb = name;
  if (verb == "show") {
    action->add_flag("--json", o->json, "One JSON object with every word");
  } else {
    action->add_option("WORD", o->words, "A word or phrase, as typed")
        ->required()
        ->expected(static_cast<int>(words), verb == "remove" ? -1 : static_cast<int>(words));
  }
  action->callback(
      [o, verb, &io] { io.status = verb == "show" ? Show(*o, io) : Change(verb, *o, io); });
}

void SetupDict(CLI::App& sub, CommandIo& io) {
  sub.require_subcommand(1);
  const struct {
    const char* name;
    ui::DictionaryKind kind;
    const char* description;
  } dictionaries[] = {{"good", ui::DictionaryKind::kNotSpam, "The Custom Not-Spam Dictionary"},
                      {"spam", ui::DictionaryKind::kSpam, "The Custom Spam Dictionary"}};
  for (const auto& d : dictionaries) {
    CLI::App* dict = sub.add_subcommand(d.name, d.description)->ignore_case();
    dict->require_subcommand(1);
    AddAction(*dict, d.kind, "show", "Print the words", 0, io);
    AddAction(*dict, d.kind, "add", "Add a word or phrase", 1, io);
    AddAction(*dict, d.kind, "edit", "Replace WORD by a new word", 2, io);
    AddAction(*dict, d.kind, "remove", "Remove words", 1, io);
  }
}

}  // namespace

Command DictCommand() {
  return {"dict", "Show and edit the custom Not-Spam and Spam dictionaries", SetupDict};
}

}  // namespace quorvel::app
