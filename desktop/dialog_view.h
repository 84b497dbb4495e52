// DialogView: any dialog model (ui/dialog.h) as a real dialog, built from the model
// alone so that a new model shows without a change here. Controls by kind: a label
// (its label and a one-line text on one line; each "<target|shown>" in it a link,
// opened with the user's own handler), a check box, a line or a multi-line text box
// (a read-only one as tall and wide as its text, up to 16 lines and 640 pixels), a
// drop-down choice, a list view (columns of equal width, at least 200 pixels each,
// whole rows selected, sorted by a click on a header and reversed by a second, keep
// marks as check boxes, one or several rows selected); a kind this build does not
// know shows as a label. A label that a control or button names as its group is a
// group box with its members inside (its buttons in a row at the box's foot); a
// group's label is in no group itself. A list view's sort buttons (ButtonRole::kSort)
// are left out, its headings sort it. Texts wrap at their width (at least 360 pixels
// or their own), and the window is kept as high as they need at its width, also when
// a page is rebuilt in place. A sheet's pages are tabs, a wizard's page is shown alone
// under its title; "&" in texts marks access keys (Alt+letter). Whether a control or
// button may be used is ui::IsEnabled, asked again after every change the user makes.
//
// Pressing a button writes the values of the enabled, writable controls into the
// model and ends the dialog with the button's id; closing it (Escape, the window's
// close) ends it with the model's cancel button and writes nothing. ApplyModelChange
// applies a change of a dialog kept open and shows it.
//
// Thread-safety: the GUI thread only. The model must outlive the view.
#ifndef QUORVEL_DESKTOP_DIALOG_VIEW_H_
#define QUORVEL_DESKTOP_DIALOG_VIEW_H_

#include <QDialog>
#include <cstdint>
#include <map>
#include <string>

#include "ui/dialog.h"
#include "ui/dialog_change.h"

class QPushButton;
class QTabWidget;
class QVBoxLayout;
class QTreeWidget;

namespace quorvel::desktop {

class DialogView : public QDialog {
  Q_OBJECT

 public:
  explicit DialogView(ui::Dialog& model, QWidget* parent = nullptr);

  // Shows the dialog modally until a button is pressed or it is closed.
  std::int32_t Run();
  // The button that ended it (the cancel button when it was closed).
  std::int32_t pressed() const { return pressed_; }

  // Kept open (a dialog session): a press writes the values and reports the button
  // with `pressedButton` but leaves the dialog shown; closing it reports the cancel
  // button the same way.
  void KeepOpen() { keepOpen_ = true; }

  // Applies `change` to the model and shows the result; false as ApplyChange.
  bool ApplyModelChange(const ui::DialogChange& change);

  // The widget of control `id` (QLabel, QCheckBox, QLineEdit, QPlainTextEdit,
  // QComboBox, QTreeWidget; QGroupBox for a group's label), or null; the button with
  // `id`, or null (also for a sort button left out).
  QWidget* ControlWidget(const std::string& id) const;
  QPushButton* ButtonWidget(std::int32_t id) const;
  QTabWidget* tabs() const { return tabs_; }
  const ui::Dialog& model() const { return model_; }

 signals:
  void pressedButton(std::int32_t button);

 protected:
  void reject() override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void Build();
  // `controls` in a widget, each in its group's box when it has one; the buttons of
  // `buttons` whose group is one of those boxes go into it, the others, but for sort
  // buttons beside a list sorted by its headings, into `*rest`.
  QWidget* BuildControls(const std::vector<ui::Control>& controls,
                         const std::vector<ui::Button>& buttons, std::vector<ui::Button>* rest);
  // Lays the dialog out now and keeps it at least as high as its wrapped texts need
  // at its width (growing it when a page rebuilt in place needs more).
  void FitHeight();
  void AddButtons(QVBoxLayout* layout, const std::vector<ui::Button>& buttons);
  QWidget* AddControl(QVBoxLayout* layout, const ui::Control& control);
  // The values shown into the model, for the enabled, writable controls.
  void CollectValues();
  void RefreshEnabled();
  void Press(std::int32_t button);

  ui::Dialog& model_;
  std::map<std::string, QWidget*> controls_;
  std::map<std::int32_t, QPushButton*> buttons_;
  QTabWidget* tabs_ = nullptr;
  std::int32_t pressed_;
  bool building_ = false;  // widgets being filled: their signals are not the user's
  bool keepOpen_ = false;
};

// The rows of a list view in the model's order of its rows (a sorted view keeps
// each item's model row).
int ModelRow(const QTreeWidget& list, int shownRow);

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_DIALOG_VIEW_H_
