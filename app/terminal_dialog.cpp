#include "app/terminal_dialog.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ostream>

namespace quorvel::app {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

// A text without its access-key marks: "&E" shows as "E", "&&" as "&".
std::string Plain(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out.push_back(text[i]);
    } else if (i + 1 < text.size() && text[i + 1] == '&') {
      out.push_back('&');
      ++i;
    }
  }
  return out;
}

// The plain title of the group `group` names: a label among the controls shown, not
// `self`; "" when it names none.
std::string GroupTitle(const ui::Dialog& dialog, const std::string& group,
                       const std::string& self = "") {
  if (group.empty() || group == self) return "";
  for (const ui::Control& c : dialog.ShownControls()) {
    if (c.id == group && ui::ShownKind(c.kind) == ui::ControlKind::kLabel) return Plain(c.label);
  }
  return "";
}

// A plain text named with its group's title: "Edit... (Custom Spam Dictionary)", or
// "Word (Custom Spam Dictionary):" for a text ending in a colon.
std::string Grouped(const std::string& text, const std::string& title) {
  std::string plain = Plain(text);
  if (title.empty()) return plain;
  const bool colon = !plain.empty() && plain.back() == ':';
  if (colon) plain.pop_back();
  return plain + (plain.empty() ? "" : " ") + "(" + title + ")" + (colon ? ":" : "");
}

// A control's label as shown: plain, named with its group (a label's group is the
// heading it stands under, so a label is not named).
std::string LabelOf(const ui::Dialog& dialog, const ui::Control& c) {
  if (ui::ShownKind(c.kind) == ui::ControlKind::kLabel) return Plain(c.label);
  return Grouped(c.label, GroupTitle(dialog, c.group, c.id));
}

// What an answer is matched against: the plain text in lower case from its first
// letter or digit on ("< &Back" answers to "b").
std::string Answerable(const std::string& text) {
  std::string plain = Lower(Plain(text));
  std::size_t start = 0;
  while (start < plain.size() && !std::isalnum(static_cast<unsigned char>(plain[start]))) ++start;
  return plain.substr(start);
}

bool IsNumber(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Trim(const std::string& s) {
  std::size_t a = s.find_first_not_of(' ');
  std::size_t b = s.find_last_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// A text of several lines under its label, each line indented and its tabs moving
// on to the next column, so that a listing of words and numbers reads as two columns.
void ShowLines(std::ostream& err, const std::string& text) {
  constexpr std::size_t kColumn = 24;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = "  ";
    for (std::size_t i = start; i < end; ++i) {
      if (text[i] == '\r') continue;
      if (text[i] != '\t') {
        line.push_back(text[i]);
        continue;
      }
      const std::size_t at = line.size() - 2;
      line.append(at < kColumn ? kColumn - at : 1, ' ');
    }
    err << line << "\n";
    start = end + 1;
  }
}

// The rows under their column headings, indented to where the cells start.
void ShowRows(std::ostream& err, const ui::Control& list) {
  if (!list.columns.empty()) {
    const bool marks = list.rowChecked.size() == list.rows.size() && !list.rows.empty();
    err << (marks ? "           " : "       ");
    for (std::size_t j = 0; j < list.columns.size(); ++j) {
      err << (j ? "\t" : "") << Plain(list.columns[j]);
    }
    err << "\n";
  }
  for (std::size_t i = 0; i < list.rows.size(); ++i) err << RowLine(list, i) << "\n";
}

// Asks which rows are selected, then which keep marks to toggle.
void AskList(TerminalPrompt& prompt, ui::Control& list) {
  const std::string what =
      list.multiSelect ? "select rows (1,3-5; - none; * all" : "select a row (a number; - none";
  for (;;) {
    std::string a = prompt.ask("  " + what + "; l lists; Enter keeps): ");
    if (a.empty() || a == "\x04") break;
    if (a == "l") {
      ShowRows(prompt.err, list);
      continue;
    }
    auto rows = ParseRows(a, list.rows.size());
    if (rows && (list.multiSelect || rows->size() <= 1)) {
      list.selectedRows = *rows;
      break;
    }
    prompt.err << "  rows are numbered 1 to " << list.rows.size() << "\n";
  }
  if (list.rowChecked.size() != list.rows.size() || list.rows.empty()) return;
  for (;;) {
    std::string a = prompt.ask("  toggle keep marks (1,3-5; Enter keeps): ");
    if (a.empty() || a == "\x04") return;
    auto rows = ParseRows(a, list.rows.size());
    if (rows) {
      for (std::int32_t row : *rows) {
        auto r = static_cast<std::size_t>(row);
        list.rowChecked[r] = !list.rowChecked[r];
      }
      return;
    }
    prompt.err << "  rows are numbered 1 to " << list.rows.size() << "\n";
  }
}

}  // namespace

std::string RowLine(const ui::Control& list, std::size_t row) {
  const bool selected = std::binary_search(list.selectedRows.begin(), list.selectedRows.end(),
                                           static_cast<std::int32_t>(row));
  std::string line = selected ? "  *" : "   ";
  line += std::to_string(row + 1) + ". ";
  if (list.rowChecked.size() == list.rows.size()) line += list.rowChecked[row] ? "[x] " : "[ ] ";
  for (std::size_t j = 0; j < list.rows[row].size(); ++j) {
    line += (j ? "\t" : "") + list.rows[row][j];
  }
  return line;
}

void ShowControls(TerminalPrompt& prompt, ui::Dialog& dialog, std::set<std::string>* listed) {
  std::ostream& err = prompt.err;
  for (ui::Control& c : dialog.ShownControls()) {
    const bool enabled = ui::IsEnabled(dialog, c);
    const bool asked = prompt.asks && enabled && !c.readOnly;
    const std::string off = enabled ? "" : " (disabled)";
    const std::string label = LabelOf(dialog, c);
    switch (ui::ShownKind(c.kind)) {
      case ui::ControlKind::kLabel:
        err << label << (c.text.empty() || label.empty() ? "" : " ") << c.text << "\n";
        break;
      case ui::ControlKind::kCheckBox:
        if (asked) {
          std::string a = Lower(prompt.ask("[" + std::string(c.checked ? "x" : " ") + "] " + label +
                                           " (y/n, Enter keeps) "));
          if (!a.empty() && a[0] == 'y') c.checked = true;
          if (!a.empty() && a[0] == 'n') c.checked = false;
        } else {
          err << "[" << (c.checked ? "x" : " ") << "] " << label << off << "\n";
        }
        break;
      case ui::ControlKind::kTextBox:
        if (asked && !c.multiline) {
          std::string a = prompt.ask(label + " [" + c.text + "]: ");
          if (!a.empty() && a != "\x04") c.text = a;
        } else if (c.multiline && c.text.find('\n') != std::string::npos) {
          err << label << off << "\n";
          ShowLines(err, c.text);
        } else {
          err << label << (!label.empty() && label.back() == ':' ? " " : ": ") << c.text << off
              << "\n";
        }
        break;
      case ui::ControlKind::kChoice:
        err << label << ":" << off << "\n";
        for (std::size_t i = 0; i < c.options.size(); ++i) {
          err << "  " << (static_cast<std::int32_t>(i) == c.selected ? "*" : " ") << i + 1 << ". "
              << c.options[i] << "\n";
        }
        if (asked && !c.options.empty()) {
          std::string a = prompt.ask("  number (Enter keeps): ");
          int n = std::atoi(a.c_str());
          if (n >= 1 && n <= static_cast<int>(c.options.size())) c.selected = n - 1;
        }
        break;
      case ui::ControlKind::kList:
        err << label << off << "\n";
        if (listed != nullptr && listed->count(c.id) != 0) {
          err << "  (" << c.rows.size() << " rows, listed above)\n";
        } else {
          ShowRows(err, c);
          if (listed != nullptr) listed->insert(c.id);
        }
        if (asked && !c.rows.empty()) AskList(prompt, c);
        break;
      default:
        break;
    }
  }
}

std::string PageMenu(const ui::Dialog& dialog) {
  std::string menu = "Pages:";
  const ui::Page* current = dialog.Current();
  for (std::size_t i = 0; i < dialog.pages.size(); ++i) {
    const bool here = &dialog.pages[i] == current;
    menu += std::string("  ") + (here ? "[" : "") + std::to_string(i + 1) + ". " +
            dialog.pages[i].title + (here ? "]" : "");
  }
  return menu;
}

std::int32_t AskButton(TerminalPrompt& prompt, const ui::Dialog& dialog, bool pages) {
  std::vector<ui::Button> choices;
  for (const ui::Button& b : dialog.ShownButtons()) {
    if (ui::IsEnabled(dialog, b)) choices.push_back(b);
  }
  std::string line = "[";
  for (std::size_t i = 0; i < choices.size(); ++i) {
    line += (i ? "/" : "") + Grouped(choices[i].text, GroupTitle(dialog, choices[i].group));
  }
  line += "]";
  if (pages && !dialog.pages.empty()) {
    line += " or a page 1-" + std::to_string(dialog.pages.size());
  }
  line += " ";
  for (;;) {
    std::string a = Lower(prompt.ask(line));
    if (a == "\x04") return dialog.cancelButton;
    if (a.empty()) {
      for (const ui::Button& b : choices) {
        if (b.id == dialog.defaultButton) return b.id;
      }
      if (dialog.FindButton(dialog.defaultButton) == nullptr) return dialog.defaultButton;
      continue;  // the default is disabled now: a button must be named
    }
    if (a == "?") return kShowAgain;
    if (pages && IsNumber(a)) {
      const long n = std::atol(a.c_str());
      if (n >= 1 && n <= static_cast<long>(dialog.pages.size())) {
        return kPageAnswer + static_cast<std::int32_t>(n - 1);
      }
    }
    for (const ui::Button& b : choices) {
      if (Answerable(b.text).rfind(a, 0) == 0) return b.id;
    }
    // Buttons of the same text ("Edit..." beside each dictionary) told apart by their
    // groups: an answer no button's text starts with may start a group's title.
    for (const ui::Button& b : choices) {
      const std::string title = GroupTitle(dialog, b.group);
      if (!title.empty() && Answerable(title).rfind(a, 0) == 0) return b.id;
    }
  }
}

std::optional<std::vector<std::int32_t>> ParseRows(const std::string& text, std::size_t count) {
  const std::string all = Trim(text);
  std::vector<std::int32_t> rows;
  if (all == "-") return rows;
  if (all == "*") {
    for (std::size_t i = 0; i < count; ++i) rows.push_back(static_cast<std::int32_t>(i));
    return rows;
  }
  std::size_t start = 0;
  while (start <= all.size()) {
    std::size_t comma = all.find(',', start);
    if (comma == std::string::npos) comma = all.size();
    const std::string part = Trim(all.substr(start, comma - start));
    const std::size_t dash = part.find('-');
    const std::string from = Trim(part.substr(0, dash));
    const std::string to = dash == std::string::npos ? from : Trim(part.substr(dash + 1));
    // At most nine digits: no overflow, and far beyond any list.
    if (!IsNumber(from) || !IsNumber(to) || from.size() > 9 || to.size() > 9) return std::nullopt;
    const long a = std::atol(from.c_str());
    const long b = std::atol(to.c_str());
    if (a < 1 || b < a || static_cast<std::size_t>(b) > count) return std::nullopt;
    for (long r = a; r <= b; ++r) rows.push_back(static_cast<std::int32_t>(r - 1));
    start = comma + 1;
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

void ShowChange(std::ostream& err, const ui::Dialog& dialog, const ui::DialogChange& change) {
  const ui::Control* control = dialog.Find(change.control);
  if (control == nullptr) return;
  const auto first = static_cast<std::size_t>(change.first);
  switch (change.kind) {
    case ui::ChangeKind::kRowsInserted:
    case ui::ChangeKind::kRowsChanged: {
      const char* sign = change.kind == ui::ChangeKind::kRowsInserted ? "+" : "~";
      for (std::size_t i = first; i < first + change.rows.size(); ++i) {
        err << sign << RowLine(*control, i).substr(1) << "\n";
      }
      break;
    }
    case ui::ChangeKind::kRowsRemoved:
      if (change.count == 1) {
        err << "-  row " << first + 1 << " removed\n";
      } else if (change.count > 1) {
        err << "-  rows " << first + 1 << "-" << first + static_cast<std::size_t>(change.count)
            << " removed\n";
      }
      break;
    case ui::ChangeKind::kControl: {
      const std::string label = LabelOf(dialog, *control);
      switch (ui::ShownKind(control->kind)) {
        case ui::ControlKind::kLabel:
          err << "   " << label << (label.empty() ? "" : " ") << control->text << "\n";
          break;
        case ui::ControlKind::kCheckBox:
          err << "   [" << (control->checked ? "x" : " ") << "] " << label << "\n";
          break;
        case ui::ControlKind::kTextBox:
          err << "   " << label << ": " << control->text << "\n";
          break;
        case ui::ControlKind::kChoice:
          if (control->selected >= 0) {
            err << "   " << label << ": "
                << control->options[static_cast<std::size_t>(control->selected)] << "\n";
          }
          break;
        default:
          break;  // a list's selection: its next prompt shows it
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace quorvel::app
