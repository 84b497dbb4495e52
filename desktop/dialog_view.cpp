#include "desktop/dialog_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace quorvel::desktop {
namespace {

constexpr int kTabStopPixels = 160;  // the test message's two columns
constexpr int kRowRole = Qt::UserRole + 1;

// A read-only text box grows to show this many lines, and this wide; a list's column
// is at least this wide, so that an address fits it.
constexpr int kReadOnlyLines = 16;
constexpr int kReadOnlyWidth = 640;
constexpr int kListColumnWidth = 200;
// A text that wraps is given at least this width (or its own, when shorter), so that
// a dialog of a few sentences is not drawn as a narrow column.
constexpr int kWrapWidth = 360;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A read-only multi-line box as tall as its lines (up to kReadOnlyLines) and as wide as
// its longest (up to kReadOnlyWidth). Text in columns (tabs) keeps its lines; other
// text wraps past that width.
void FitReadOnly(QPlainTextEdit& box, const QString& text) {
  const QStringList lines = text.split('\n');
  const QFontMetrics metrics = box.fontMetrics();
  int longest = 0;
  for (const QString& line : lines) {
    int width = 0;
    for (const QString& cell : line.split('\t')) {
      width = (width == 0 ? 0 : (width / kTabStopPixels + 1) * kTabStopPixels) +
              metrics.horizontalAdvance(cell);
    }
    longest = std::max(longest, width);
  }
  const int frame = 2 * box.frameWidth() + 2 * static_cast<int>(box.document()->documentMargin());
  box.setLineWrapMode(text.contains('\t') ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
  box.setMinimumWidth(std::min(longest + frame + 4, kReadOnlyWidth));
  const int shown = std::clamp<int>(static_cast<int>(lines.size()), 2, kReadOnlyLines);
  box.setFixedHeight(metrics.lineSpacing() * shown + frame + 2);
}

// `text` as rich text with each "<target|shown>" made a link to target; "" when it
// has none.
QString LinkedText(const QString& text) {
  static const QRegularExpression kLink(R"(<([^<>|]+)\|([^<>]+)>)");
  QString rich;
  qsizetype done = 0;
  for (const QRegularExpressionMatch& link : kLink.globalMatch(text)) {
    rich += text.mid(done, link.capturedStart() - done).toHtmlEscaped();
    rich += "<a href=\"" + link.captured(1).toHtmlEscaped() + "\">" +
            link.captured(2).toHtmlEscaped() + "</a>";
    done = link.capturedEnd();
  }
  if (done == 0) return {};
  rich += text.mid(done).toHtmlEscaped();
  return rich.replace('\n', "<br>");
}

// `label` wraps its text `plain` (without markup) at its width, which is at least the
// text's own up to kWrapWidth.
void Wrap(QLabel& label, const QString& plain) {
  label.setWordWrap(true);
  const QFontMetrics metrics = label.fontMetrics();
  int longest = 0;
  for (const QString& line : plain.split('\n')) {
    longest = std::max(longest, metrics.horizontalAdvance(line));
  }
  label.setMinimumWidth(std::min(longest + 1, kWrapWidth));
}

QLabel* Caption(const ui::Control& control, QWidget* buddy) {
  auto* label = new QLabel(Q(control.label));
  label->setBuddy(buddy);
  Wrap(*label, Q(control.label).remove('&'));
  return label;
}

// Whether `text` marks an access key: a '&' not doubled.
bool HasAccessKey(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] != '&') return true;
    ++i;
  }
  return false;
}

// Whether `id` names a label among `controls`, which may head a group.
bool IsLabel(const std::vector<ui::Control>& controls, const std::string& id) {
  return !id.empty() && std::any_of(controls.begin(), controls.end(), [&](const ui::Control& c) {
    return c.id == id && ui::ShownKind(c.kind) == ui::ControlKind::kLabel;
  });
}

// Whether a list view among `controls` sorts by a click on its headings (one that
// has headings).
bool SortsByHeading(const std::vector<ui::Control>& controls) {
  return std::any_of(controls.begin(), controls.end(), [](const ui::Control& c) {
    return ui::ShownKind(c.kind) == ui::ControlKind::kList && !c.columns.empty();
  });
}

// Whether a control among `controls` takes the height left over (a list, a text box
// of several lines).
bool TakesHeight(const std::vector<ui::Control>& controls) {
  return std::any_of(controls.begin(), controls.end(), [](const ui::Control& c) {
    const ui::ControlKind kind = ui::ShownKind(c.kind);
    return kind == ui::ControlKind::kList || (kind == ui::ControlKind::kTextBox && c.multiline);
  });
}

}  // namespace

int ModelRow(const QTreeWidget& list, int shownRow) {
  QTreeWidgetItem* item = list.topLevelItem(shownRow);
  return item ? item->data(0, kRowRole).toInt() : -1;
}

DialogView::DialogView(ui::Dialog& model, QWidget* parent)
    : QDialog(parent), model_(model), pressed_(model.cancelButton) {
  setLayout(new QVBoxLayout);
  Build();
}

std::int32_t DialogView::Run() {
  pressed_ = model_.cancelButton;
  exec();
  return pressed_;
}

void DialogView::reject() {
  pressed_ = model_.cancelButton;
  emit pressedButton(pressed_);
  if (!keepOpen_) QDialog::reject();
}

QWidget* DialogView::ControlWidget(const std::string& id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QPushButton* DialogView::ButtonWidget(std::int32_t id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

bool DialogView::ApplyModelChange(const ui::DialogChange& change) {
  CollectValues();
  if (!ui::ApplyChange(model_, change)) return false;
  Build();
  return true;
}

void DialogView::Build() {
  building_ = true;
  QLayout* root = layout();
  while (QLayoutItem* item = root->takeAt(0)) {
    // Out of the dialog at once: until it is deleted (later, as a press of one of its
    // buttons may be what rebuilds), it would still be drawn under the new one and
    // found among the dialog's children; a nested event loop (a session's Next) does
    // not delete it.
    if (QWidget* widget = item->widget()) {
      widget->hide();
      widget->setParent(nullptr);
      widget->deleteLater();
    }
    delete item;
  }
  controls_.clear();
  buttons_.clear();
  tabs_ = nullptr;
  auto* body = new QWidget;
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(0, 0, 0, 0);
  setWindowTitle(Q(model_.title));
  if (!model_.headline.empty()) {
    auto* headline = new QLabel(Q(model_.headline));
    QFont bold = headline->font();
    bold.setBold(true);
    headline->setFont(bold);
    Wrap(*headline, Q(model_.headline));
    headline->setObjectName("headline");
    column->addWidget(headline);
  }
  if (model_.style == ui::DialogStyle::kSheet && !model_.pages.empty()) {
    tabs_ = new QTabWidget;
    tabs_->tabBar()->setUsesScrollButtons(false);  // every tab in sight: the sheet is as wide
    for (ui::Page& page : model_.pages) {
      std::vector<ui::Button> rest;
      QWidget* tab = BuildControls(page.controls, page.buttons, &rest);
      AddButtons(static_cast<QVBoxLayout*>(tab->layout()), rest);
      tabs_->addTab(tab, Q(page.title));
    }
    const ui::Page* current = model_.Current();
    tabs_->setCurrentIndex(static_cast<int>(current - model_.pages.data()));
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
      if (!building_ && index >= 0 && index < static_cast<int>(model_.pages.size())) {
        model_.currentPage = model_.pages[static_cast<std::size_t>(index)].id;
      }
    });
    column->addWidget(tabs_);
    AddButtons(column, model_.buttons);
  } else {
    if (const ui::Page* page = model_.Current(); page && !page->title.empty()) {
      auto* title = new QLabel(Q(page->title));
      QFont bold = title->font();
      bold.setBold(true);
      title->setFont(bold);
      title->setObjectName("page-title");
      column->addWidget(title);
    }
    std::vector<ui::Button> rest;
    column->addWidget(BuildControls(model_.ShownControls(), model_.ShownButtons(), &rest));
    AddButtons(column, rest);
  }
  root->addWidget(body);
  // Shown now, not on the next turn of the event loop, so that its texts count at once.
  body->show();
  building_ = false;
  RefreshEnabled();
  FitHeight();
}

void DialogView::FitHeight() {
  QLayout* root = layout();
  root->activate();
  // The height its texts need at the width it has; setting it grows a lower window.
  if (root->hasHeightForWidth()) setMinimumHeight(root->totalHeightForWidth(width()));
}

void DialogView::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FitHeight();
}

bool DialogView::event(QEvent* event) {
  const bool done = QDialog::event(event);
  // A widget shown, hidden or changed in size asks for a new layout.
  if (event->type() == QEvent::LayoutRequest) FitHeight();
  return done;
}

QWidget* DialogView::BuildControls(const std::vector<ui::Control>& controls,
                                   const std::vector<ui::Button>& buttons,
                                   std::vector<ui::Button>* rest) {
  auto* box = new QWidget;
  auto* layout = new QVBoxLayout(box);
  // A box for each label that some control or button names as its group.
  std::map<std::string, QVBoxLayout*> groups;
  std::map<std::string, std::vector<ui::Button>> groupButtons;
  const auto group = [&](const std::string& id) -> QVBoxLayout* {
    auto it = groups.find(id);
    return it == groups.end() ? nullptr : it->second;
  };
  for (const ui::Control& control : controls) {
    if (control.group != control.id && IsLabel(controls, control.group)) groups[control.group];
  }
  for (const ui::Button& button : buttons) {
    if (IsLabel(controls, button.group)) groups[button.group];
  }
  // A label's access key ("&Edit or enter a new word:") goes to the control after it,
  // as a window system's static text does.
  QLabel* keyed = nullptr;
  for (const ui::Control& control : controls) {
    QWidget* widget = nullptr;
    if (auto it = groups.find(control.id); it != groups.end()) {
      // A group's label is its box's title; the box stands where the label would.
      auto* frame = new QGroupBox(Q(control.label));
      it->second = new QVBoxLayout(frame);
      layout->addWidget(frame);
      widget = frame;
    } else {
      QVBoxLayout* into = control.group == control.id ? nullptr : group(control.group);
      widget = AddControl(into != nullptr ? into : layout, control);
    }
    if (widget != nullptr && !control.id.empty()) controls_[control.id] = widget;
    auto* label = qobject_cast<QLabel*>(widget);
    if (keyed != nullptr && widget != nullptr && label == nullptr &&
        qobject_cast<QGroupBox*>(widget) == nullptr) {
      keyed->setBuddy(widget);
      keyed = nullptr;
    }
    if (label != nullptr && label->textFormat() == Qt::PlainText && HasAccessKey(label->text())) {
      keyed = label;
    }
  }
  // A list view here sorts by its headings: its sort buttons are left out.
  const bool sorted = SortsByHeading(controls);
  for (const ui::Button& button : buttons) {
    if (sorted && button.role == ui::ButtonRole::kSort) continue;
    if (group(button.group) != nullptr) {
      groupButtons[button.group].push_back(button);
    } else {
      rest->push_back(button);
    }
  }
  for (const auto& [id, members] : groupButtons) AddButtons(group(id), members);
  // Height left over goes below the controls unless one of them takes it.
  if (!TakesHeight(controls)) layout->addStretch();
  return box;
}

QWidget* DialogView::AddControl(QVBoxLayout* layout, const ui::Control& control) {
  const auto changed = [this] {
    if (building_) return;
    CollectValues();
    RefreshEnabled();
  };
  switch (ui::ShownKind(control.kind)) {
    case ui::ControlKind::kCheckBox: {
      auto* check = new QCheckBox(Q(control.label));
      check->setChecked(control.checked);
      connect(check, &QCheckBox::toggled, this, changed);
      layout->addWidget(check);
      return check;
    }
    case ui::ControlKind::kTextBox: {
      QWidget* edit;
      if (control.multiline) {
        auto* text = new QPlainTextEdit(Q(control.text));
        text->setReadOnly(control.readOnly);
        text->setTabStopDistance(kTabStopPixels);
        if (control.readOnly) FitReadOnly(*text, Q(control.text));
        connect(text, &QPlainTextEdit::textChanged, this, changed);
        edit = text;
      } else {
        auto* line = new QLineEdit(Q(control.text));
        line->setReadOnly(control.readOnly);
        connect(line, &QLineEdit::textChanged, this, changed);
        edit = line;
      }
      if (!control.label.empty()) layout->addWidget(Caption(control, edit));
      layout->addWidget(edit);
      return edit;
    }
    case ui::ControlKind::kChoice: {
      auto* choice = new QComboBox;
      for (const std::string& option : control.options) choice->addItem(Q(option));
      choice->setCurrentIndex(control.selected);
      connect(choice, &QComboBox::currentIndexChanged, this, changed);
      if (!control.label.empty()) layout->addWidget(Caption(control, choice));
      layout->addWidget(choice);
      return choice;
    }
    case ui::ControlKind::kList: {
      auto* list = new QTreeWidget;
      list->setRootIsDecorated(false);
      list->setUniformRowHeights(true);
      list->setAllColumnsShowFocus(true);
      list->setSelectionBehavior(QAbstractItemView::SelectRows);
      list->setSelectionMode(control.multiSelect ? QAbstractItemView::ExtendedSelection
                                                 : QAbstractItemView::SingleSelection);
      QStringList headings;
      for (const std::string& heading : control.columns) headings << Q(heading);
      list->setColumnCount(std::max<int>(1, static_cast<int>(headings.size())));
      list->setHeaderLabels(headings);
      list->setHeaderHidden(headings.isEmpty());
      list->header()->setSectionResizeMode(QHeaderView::Stretch);  // equal halves
      list->setMinimumWidth(std::max(1, static_cast<int>(headings.size())) * kListColumnWidth);
      const bool marks = !control.rowChecked.empty();
      for (std::size_t r = 0; r < control.rows.size(); ++r) {
        auto* item = new QTreeWidgetItem;
        for (std::size_t c = 0; c < control.rows[r].size(); ++c) {
          item->setText(static_cast<int>(c), Q(control.rows[r][c]));
        }
        item->setData(0, kRowRole, static_cast<int>(r));
        if (marks) {
          item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
          item->setCheckState(0, r < control.rowChecked.size() && control.rowChecked[r]
                                     ? Qt::Checked
                                     : Qt::Unchecked);
        }
        list->addTopLevelItem(item);
      }
      for (std::int32_t r : control.selectedRows) {
        if (QTreeWidgetItem* item = list->topLevelItem(r)) item->setSelected(true);
      }
      // Kept in the model's order until the user clicks a heading.
      list->header()->setSortIndicator(-1, Qt::AscendingOrder);
      list->setSortingEnabled(true);
      connect(list, &QTreeWidget::itemSelectionChanged, this, changed);
      connect(list, &QTreeWidget::itemChanged, this, changed);
      if (!control.label.empty()) layout->addWidget(Caption(control, list));
      layout->addWidget(list);
      return list;
    }
    case ui::ControlKind::kLabel:
    default: {
      // "Verdict: good" on one line; a text of several lines under its label; a text
      // that only repeats a link's target is left out.
      QString text = Q(control.label);
      const QString value = Q(control.text);
      if (!value.isEmpty() && !text.contains("<" + value + "|")) {
        text += (text.isEmpty() ? "" : value.contains('\n') ? "\n" : " ") + value;
      }
      auto* label = new QLabel;
      Wrap(*label, text);
      const QString linked = LinkedText(text);
      if (linked.isEmpty()) {
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
      } else {
        label->setTextFormat(Qt::RichText);
        label->setText(linked);
        label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        connect(label, &QLabel::linkActivated, this, [](const QString& target) {
          QDesktopServices::openUrl(QUrl::fromUserInput(target));
        });
      }
      layout->addWidget(label);
      return label;
    }
  }
}

void DialogView::AddButtons(QVBoxLayout* layout, const std::vector<ui::Button>& buttons) {
  if (buttons.empty()) return;
  auto* row = new QHBoxLayout;
  row->addStretch();
  for (const ui::Button& button : buttons) {
    auto* push = new QPushButton(Q(button.text));
    push->setAutoDefault(false);
    push->setDefault(button.id == model_.defaultButton);
    const std::int32_t id = button.id;
    connect(push, &QPushButton::clicked, this, [this, id] { Press(id); });
    row->addWidget(push);
    buttons_[id] = push;
  }
  layout->addLayout(row);
}

void DialogView::Press(std::int32_t button) {
  CollectValues();
  pressed_ = button;
  emit pressedButton(button);
  if (!keepOpen_) QDialog::accept();
}

void DialogView::CollectValues() {
  for (const auto& [id, widget] : controls_) {
    ui::Control* control = model_.Find(id);
    if (control == nullptr || control->readOnly || !ui::IsEnabled(model_, *control)) continue;
    if (auto* check = qobject_cast<QCheckBox*>(widget)) {
      control->checked = check->isChecked();
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
      control->text = line->text().toStdString();
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) {
      control->text = text->toPlainText().toStdString();
    } else if (auto* choice = qobject_cast<QComboBox*>(widget)) {
      control->selected = choice->currentIndex();
    } else if (auto* list = qobject_cast<QTreeWidget*>(widget)) {
      std::vector<std::int32_t> selected;
      const bool marks = !control->rowChecked.empty();
      for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        const int row = item->data(0, kRowRole).toInt();
        if (row < 0 || row >= static_cast<int>(control->rows.size())) continue;
        if (item->isSelected()) selected.push_back(row);
        if (marks)
          control->rowChecked[static_cast<std::size_t>(row)] = item->checkState(0) == Qt::Checked;
      }
      std::sort(selected.begin(), selected.end());
      control->selectedRows = std::move(selected);
    }
  }
}

void DialogView::RefreshEnabled() {
  for (const auto& [id, widget] : controls_) {
    const ui::Control* control = model_.Find(id);
    if (control == nullptr) continue;
    const bool enabled = ui::IsEnabled(model_, *control);
    widget->setEnabled(enabled);
    // The caption of a text box, choice or list goes with it.
    for (QLabel* label : findChildren<QLabel*>()) {
      if (label->buddy() == widget) label->setEnabled(enabled);
    }
  }
  const auto refresh = [this](const std::vector<ui::Button>& buttons) {
    for (const ui::Button& button : buttons) {
      if (QPushButton* push = ButtonWidget(button.id)) {
        push->setEnabled(ui::IsEnabled(model_, button));
      }
    }
  };
  refresh(model_.buttons);
  for (const ui::Page& page : model_.pages) refresh(page.buttons);
}

}  // namespace quorvel::desktop
