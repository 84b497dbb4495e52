#include "ui/dictionary_dialog.h"

#include <iterator>
#include <utility>
#include <vector>

#include "platform/code_page.h"
#include "platform/string_table.h"
#include "ui/entry_text.h"
#include "ui/input_box.h"
#include "ui/list_edit_dialogs.h"
#include "ui/run_pages.h"

namespace quorvel::ui {
namespace {

constexpr const char* kList = "words";

struct DictionaryTexts {
  const char* caption;
  const char* description;
};

DictionaryTexts TextsOf(DictionaryKind kind) {
  if (kind == DictionaryKind::kNotSpam) {
    return {"Custom Not-Spam Dictionary",
            "If a message contains any word from the list below then it will be treated as "
            "non-spam"};
  }
  return {"Custom Spam Dictionary",
          "If a message contains any word from the list below then it will be treated as spam"};
}

std::int32_t IndexIn(const StringSet& set, std::string_view ansi) {
  std::int32_t index = 0;
  for (const std::string& entry : set) {
    if (platform::EqualsNoCase(entry, ansi)) return index;
    ++index;
  }
  return -1;
}

DialogChange Selection(std::int32_t row) {
  Control value{.kind = ControlKind::kList, .id = kList, .multiSelect = true};
  value.selectedRows = {row};
  return DialogChange::ControlValues(std::move(value));
}

}  // namespace

DictionaryDialog::DictionaryDialog(Ui& ui, DictionaryKind kind, const StringSet& dictionary)
    : ui_(ui), copy_(dictionary) {
  const DictionaryTexts texts = TextsOf(kind);
  dialog_.kind = "custom-dictionary";
  dialog_.title = texts.caption;
  Control list{.kind = ControlKind::kList, .id = kList, .multiSelect = true};
  list.columns = {"Word"};
  list.rows.reserve(copy_.Count());
  for (const std::string& word : copy_) list.rows.push_back({platform::AnsiToUtf8(word)});
  dialog_.controls = {
      {.kind = ControlKind::kLabel, .id = "description", .label = texts.description},
      std::move(list)};
  Button add{.id = kDictionaryAdd, .text = "&Add...", .closes = false};
  Button remove{.id = kDictionaryRemove,
                .text = "&Remove",
                .closes = false,
                .enabledBy = {kList, {"one", "many"}}};
  Button edit{
      .id = kDictionaryEdit, .text = "E&dit...", .closes = false, .enabledBy = {kList, {"one"}}};
  dialog_.buttons = {add, remove, edit, RoleButton(ButtonRole::kOk, "Close")};
  dialog_.defaultButton = platform::IDOK;
  dialog_.affirmativeButton = platform::IDOK;
  dialog_.cancelButton = platform::IDCANCEL;
}

bool DictionaryDialog::Run() {
  const std::int32_t closed = RunOpenDialog(
      ui_, dialog_,
      [this](DialogSession& session, std::int32_t button) { OnButton(session, button); });
  return closed == platform::IDOK;
}

void DictionaryDialog::OnButton(DialogSession& session, std::int32_t button) {
  const std::vector<std::int32_t> selected = dialog_.Find(kList)->selectedRows;
  auto check = [this](const std::string& word) { return Checked(word, nullptr); };
  if (button == kDictionaryAdd) {
    if (auto word = RunInputBox(ui_, "Add New Word", "Enter a word or phrase:", "", check)) {
      AddWord(session, *word);
    }
  } else if (button == kDictionaryEdit && selected.size() == 1) {
    const auto row = static_cast<std::size_t>(selected[0]);
    const std::string old = dialog_.Find(kList)->rows[row][0];
    if (auto word = RunInputBox(ui_, "Edit", "&Edit or enter a new word:", old, check)) {
      EditWord(session, row, *word);
    }
  } else if (button == kDictionaryRemove) {
    RemoveSelected(session);
  }
}

std::string DictionaryDialog::Checked(const std::string& word, std::string* ansi) {
  if (word.empty()) return kWordEmpty;
  return CheckEntryText(word, "word", ansi);
}

bool DictionaryDialog::Refuse(const std::string& text, std::uint32_t icon) {
  ui_.Show(text, std::string(platform::kProductName), platform::MB_OK | icon);
  return false;
}

bool DictionaryDialog::AddWord(DialogSession& session, const std::string& word) {
  std::string ansi;
  if (std::string problem = Checked(word, &ansi); !problem.empty()) {
    return Refuse(problem, platform::MB_ICONWARNING);
  }
  if (!copy_.Insert(ansi)) return Refuse(kWordAlreadyThere, platform::MB_ICONINFORMATION);
  const std::int32_t row = IndexIn(copy_, ansi);
  session.Update(DialogChange::RowsInserted(kList, row, {{word}}));
  session.Update(Selection(row));
  return true;
}

bool DictionaryDialog::EditWord(DialogSession& session, std::size_t row, const std::string& word) {
  const Control& list = *dialog_.Find(kList);
  if (row >= list.rows.size()) return false;
  std::string ansi;
  if (std::string problem = Checked(word, &ansi); !problem.empty()) {
    return Refuse(problem, platform::MB_ICONWARNING);
  }
  const std::string old = platform::Utf8ToAnsi(list.rows[row][0]);
  if (!platform::EqualsNoCase(old, ansi) && copy_.Contains(ansi)) {
    return Refuse(kWordAlreadyThere, platform::MB_ICONINFORMATION);
  }
  copy_.Erase(old);
  copy_.Insert(ansi);
  session.Update(DialogChange::RowsRemoved(kList, static_cast<std::int32_t>(row), 1));
  const std::int32_t at = IndexIn(copy_, ansi);
  session.Update(DialogChange::RowsInserted(kList, at, {{word}}));
  session.Update(Selection(at));
  return true;
}

bool DictionaryDialog::RemoveSelected(DialogSession& session) {
  const std::vector<std::int32_t> selected = dialog_.Find(kList)->selectedRows;
  if (selected.empty()) return false;
  if (!ConfirmRemove(ui_, selected.size())) return false;
  // From the last row up, so that the rows still to go keep their numbers.
  for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
    copy_.Erase(platform::Utf8ToAnsi(dialog_.Find(kList)->rows[static_cast<std::size_t>(*it)][0]));
    session.Update(DialogChange::RowsRemoved(kList, *it, 1));
  }
  return true;
}

std::int32_t DictionaryDialog::RowOf(const std::string& word) const {
  return IndexIn(copy_, platform::Utf8ToAnsi(word));
}

bool EditDictionary(Ui& ui, DictionaryKind kind, StringSet& dictionary) {
  DictionaryDialog dialog(ui, kind, dictionary);
  if (!dialog.Run()) return false;
  dictionary = dialog.words();
  return true;
}

}  // namespace quorvel::ui
