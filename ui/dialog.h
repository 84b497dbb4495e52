// A dialog as a model: its title, texts, controls with their values, and buttons;
// optionally pages, shown as a property sheet's tabs or as a wizard's steps.
//
// A model is plain data, so that it can travel to whichever front end shows it (the
// terminal, a desktop window, or a client at the other end of the command channel)
// and come back with the user's answers filled in: the values of its controls and the
// button chosen. What a button does, whether the values are acceptable and which
// wizard page comes next stay with the code that built the model: the callbacks at
// the end of Dialog never travel (see RunDialog in ui.h, RunOpenDialog and RunWizard
// in run_pages.h).
//
// Every front end decides whether a control or a button is enabled with IsEnabled
// below, and shows a control kind it does not know (a newer host's) as a label.
//
// Groups: a control or a button whose `group` names a label among the controls shown
// with it sits in that label's group. A front end that draws group boxes draws the
// label as the box's title with its members inside, in their order (a button beside
// them); one that does not shows the label as a heading and the members where they
// are (a button with the others). A `group` that names no such label is ignored.
#ifndef QUORVEL_UI_DIALOG_H_
#define QUORVEL_UI_DIALOG_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::ui {

enum class ControlKind : std::uint8_t {
  kLabel = 0,     // text only: `label`, then `text`
  kCheckBox = 1,  // `checked`
  kTextBox = 2,   // `text`, single line unless `multiline`
  kChoice = 3,    // one of `options`, by `selected` (-1: none)
  kList = 4,      // rows of `columns` cells, keep marks (`rowChecked`), `selectedRows`
  kOther = 255,   // a kind this build does not know; shown as a label
};

// The kind a front end shows: `kind` itself, or kLabel for one it does not know.
ControlKind ShownKind(ControlKind kind);

// Another control's value that enables a control or a button: enabled while the
// control named `control` is enabled itself and its ControlValue is one of `values`.
// An empty `control` enables always; a named control that does not exist disables.
struct EnabledBy {
  std::string control{};
  std::vector<std::string> values{};
};

struct Control {
  ControlKind kind = ControlKind::kLabel;
  std::string id{};     // stable name the model's owner finds the control by
  std::string label{};  // UTF-8
  bool enabled = true;  // the owner's own switch; see also `enabledBy`
  bool multiline = false;
  bool readOnly = false;
  // Values: which ones matter depends on `kind`; a front end only changes those.
  bool checked = false;
  std::string text{};
  std::int32_t selected = -1;  // a choice's option
  std::vector<std::string> options{};
  std::vector<std::string> columns{};            // list headings
  std::vector<std::vector<std::string>> rows{};  // list cells
  std::vector<bool> rowChecked{};                // list keep marks, one per row, or none
  bool multiSelect = false;                      // a list lets several rows be selected
  std::vector<std::int32_t> selectedRows{};      // a list's selection: ascending, unique
  EnabledBy enabledBy{};
  std::string group{};  // the id of the label whose group it sits in; "" none
};

// What a button does for the code that runs the dialog. Closing roles end the dialog
// (after validation); the others report the press and leave it open.
enum class ButtonRole : std::uint8_t {
  kPlain = 0,  // the owner's own (a list page's Add, Edit, Remove); `closes` says
  kOk = 1,
  kCancel = 2,
  kApply = 3,
  kBack = 4,
  kNext = 5,
  kFinish = 6,
  kHelp = 7,
  // Sorts a list by a column, as a click on the column's heading does: a front end
  // whose list views sort by heading leaves it out. Otherwise as kPlain.
  kSort = 8,
};

struct Button {
  std::int32_t id = 0;  // the window system's button ids: IDOK 1, IDCANCEL 2, IDYES 6, ...
  std::string text{};   // "&OK": '&' marks the access key
  ButtonRole role = ButtonRole::kPlain;
  bool closes = true;  // pressing it ends the dialog
  bool enabled = true;
  EnabledBy enabledBy{};
  std::string group{};  // as a control's
};

// The ids of the role buttons (a property sheet's and a wizard's own).
inline constexpr std::int32_t kHelpButton = 9;
inline constexpr std::int32_t kApplyButton = 0x3021;
inline constexpr std::int32_t kBackButton = 0x3023;
inline constexpr std::int32_t kNextButton = 0x3024;
inline constexpr std::int32_t kFinishButton = 0x3025;

// A button of `role` with its usual id (OK 1, Cancel 2, Help 9, Apply, Back, Next,
// Finish above) and whether it closes (OK, Cancel, Finish do; Apply, Back, Next and
// Help do not). A kPlain button gets id 0 and closes, a kSort one id 0 and does not;
// set the id.
Button RoleButton(ButtonRole role, std::string text);

// One page of a sheet or a wizard. Its buttons are shown with the dialog's own.
struct Page {
  std::string id{};
  std::string title{};
  std::vector<Control> controls{};
  std::vector<Button> buttons{};
};

enum class DialogStyle : std::uint8_t {
  kPlain = 0,   // `controls` alone, no pages
  kSheet = 1,   // pages as tabs: the user may go to any page
  kWizard = 2,  // one page at a time; Back, Next, Finish (RunWizard)
};

struct Dialog {
  std::string kind;   // what the dialog is ("confirm-marking", "test-message", ...)
  std::string title;  // UTF-8
  std::string headline;
  std::vector<Control> controls;  // a plain dialog's; pages have their own
  std::vector<Button> buttons;
  std::int32_t defaultButton = 1;      // chosen when nobody can answer
  std::int32_t cancelButton = 2;       // chosen when the dialog is closed or its client leaves
  std::int32_t affirmativeButton = 1;  // chosen by --yes
  DialogStyle style = DialogStyle::kPlain;
  std::vector<Page> pages;
  std::string currentPage;  // the page shown ("" : the first)

  // Returns an error text (shown, then the dialog is asked again) or "" when the
  // values are acceptable for `button`. Never travels; may be empty.
  std::function<std::string(const Dialog&, std::int32_t button)> validate;
  // The same for one page, when the user leaves it with Next or Finish (a wizard)
  // or closes the dialog or applies it (every page of a sheet). May be empty.
  std::function<std::string(const Dialog&, const std::string& page)> validatePage;
  // A wizard's page after `page`, decided on the values; "" when `page` is the last.
  // Empty: the pages in their order. Never travels.
  std::function<std::string(const Dialog&, const std::string& page)> nextPage;

  // The control with `id` among `controls` and every page's; nullptr when none.
  Control* Find(const std::string& id);
  const Control* Find(const std::string& id) const;
  Page* FindPage(const std::string& id);
  const Page* FindPage(const std::string& id) const;
  const Button* FindButton(std::int32_t id) const;
  // The page shown: `currentPage`, else the first; nullptr without pages.
  Page* Current();
  const Page* Current() const;
  // The controls shown now: the current page's, or `controls` without pages.
  std::vector<Control>& ShownControls();
  const std::vector<Control>& ShownControls() const;
  // The buttons shown now: the current page's, then the dialog's.
  std::vector<Button> ShownButtons() const;
};

// A control's value as EnabledBy compares it: a check box "1" or "0"; a text box its
// text; a choice its selected option's index ("-1": none); a list "none", "one" or
// "many" by the number of selected rows; "" for a label or a kind not known.
std::string ControlValue(const Control& control);

// Whether the user may use `control` or `button` now: its own `enabled`, then its
// `enabledBy` followed through the chain (a cycle disables).
bool IsEnabled(const Dialog& dialog, const Control& control);
bool IsEnabled(const Dialog& dialog, const Button& button);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_DIALOG_H_
