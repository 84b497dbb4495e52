#include "host/protocol_dialog.h"

#include <array>
#include <nlohmann/json.hpp>
#include <string_view>
#include <utility>

#include "host/protocol_json.h"

namespace quorvel::host::protocol {
namespace {

using nlohmann::json;

constexpr std::array<std::pair<ui::ControlKind, std::string_view>, 5> kKinds = {{
    {ui::ControlKind::kLabel, "label"},
    {ui::ControlKind::kCheckBox, "check-box"},
    {ui::ControlKind::kTextBox, "text-box"},
    {ui::ControlKind::kChoice, "choice"},
    {ui::ControlKind::kList, "list"},
}};

constexpr std::array<std::pair<ui::ButtonRole, std::string_view>, 9> kRoles = {{
    {ui::ButtonRole::kPlain, "plain"},
    {ui::ButtonRole::kOk, "ok"},
    {ui::ButtonRole::kCancel, "cancel"},
    {ui::ButtonRole::kApply, "apply"},
    {ui::ButtonRole::kBack, "back"},
    {ui::ButtonRole::kNext, "next"},
    {ui::ButtonRole::kFinish, "finish"},
    {ui::ButtonRole::kHelp, "help"},
    {ui::ButtonRole::kSort, "sort"},
}};

constexpr std::array<std::pair<ui::DialogStyle, std::string_view>, 3> kStyles = {{
    {ui::DialogStyle::kPlain, "plain"},
    {ui::DialogStyle::kSheet, "sheet"},
    {ui::DialogStyle::kWizard, "wizard"},
}};

constexpr std::array<std::pair<ui::ChangeKind, std::string_view>, 6> kChanges = {{
    {ui::ChangeKind::kRowsInserted, "rows-inserted"},
    {ui::ChangeKind::kRowsChanged, "rows-changed"},
    {ui::ChangeKind::kRowsRemoved, "rows-removed"},
    {ui::ChangeKind::kControl, "control"},
    {ui::ChangeKind::kButton, "button"},
    {ui::ChangeKind::kPage, "page"},
}};

// The name of `value` in `table`, or `fallback` for a value the table lacks.
template <typename T, std::size_t N>
std::string_view NameOf(const std::array<std::pair<T, std::string_view>, N>& table, T value,
                        std::string_view fallback) {
  for (const auto& [v, name] : table) {
    if (v == value) return name;
  }
  return fallback;
}

template <typename T, std::size_t N>
bool ValueOf(const std::array<std::pair<T, std::string_view>, N>& table, std::string_view name,
             T* value) {
  for (const auto& [v, n] : table) {
    if (n == name) {
      *value = v;
      return true;
    }
  }
  return false;
}

json EnabledByJson(const ui::EnabledBy& by) {
  return {{"control", by.control}, {"values", by.values}};
}

void ReadEnabledBy(FieldReader& r, ui::EnabledBy* by) {
  if (const json* j = r.Find("enabledBy")) {
    FieldReader e(*j);
    e.Text("control", &by->control);
    e.Texts("values", &by->values);
    if (!e.ok()) r.Fail("enabledBy: " + e.error());
  }
}

json ControlJson(const ui::Control& c) {
  json j = {{"kind", NameOf(kKinds, c.kind, "label")},
            {"id", c.id},
            {"label", c.label},
            {"enabled", c.enabled},
            {"multiline", c.multiline},
            {"readOnly", c.readOnly},
            {"checked", c.checked},
            {"text", c.text},
            {"selected", c.selected},
            {"options", c.options},
            {"columns", c.columns},
            {"rows", c.rows},
            {"multiSelect", c.multiSelect},
            {"selectedRows", c.selectedRows}};
  // Keep marks travel only for a list that has them, one per row.
  if (c.rowChecked.size() == c.rows.size() && !c.rows.empty()) j["rowChecked"] = c.rowChecked;
  if (!c.enabledBy.control.empty()) j["enabledBy"] = EnabledByJson(c.enabledBy);
  if (!c.group.empty()) j["group"] = c.group;
  return j;
}

bool RowsOf(FieldReader& r, const char* key, std::vector<std::vector<std::string>>* rows) {
  if (const json* list = r.Find(key)) {
    if (!list->is_array()) r.Fail(std::string(key) + " is not a list");
    for (const json& row : list->is_array() ? *list : json::array()) {
      std::vector<std::string> cells;
      if (!FieldReader::TextsOf(row, &cells)) r.Fail("a row is not a list of texts");
      rows->push_back(std::move(cells));
    }
  }
  return r.ok();
}

void MarksOf(FieldReader& r, std::vector<bool>* marks) {
  if (const json* list = r.Find("rowChecked")) {
    if (!list->is_array()) r.Fail("rowChecked is not a list");
    for (const json& mark : list->is_array() ? *list : json::array()) {
      if (!mark.is_boolean()) r.Fail("rowChecked holds something other than true or false");
      marks->push_back(mark.is_boolean() && mark.get<bool>());
    }
  }
}

void NumbersOf(FieldReader& r, const char* key, std::vector<std::int32_t>* out) {
  if (const json* list = r.Find(key)) {
    if (!list->is_array()) r.Fail(std::string(key) + " is not a list");
    for (const json& n : list->is_array() ? *list : json::array()) {
      std::int32_t value = 0;
      if (!FieldReader::NumberOf(n, &value)) r.Fail(std::string(key) + " holds no number");
      out->push_back(value);
    }
  }
}

bool ControlFromJson(const json& j, ui::Control* c, std::string* error) {
  FieldReader r(j);
  std::string kind = "label";
  r.Text("kind", &kind);
  // A kind this build does not know is a newer host's: shown as a label.
  if (r.ok() && !ValueOf(kKinds, kind, &c->kind)) c->kind = ui::ControlKind::kOther;
  r.Text("id", &c->id);
  r.Text("label", &c->label);
  r.Flag("enabled", &c->enabled);
  r.Flag("multiline", &c->multiline);
  r.Flag("readOnly", &c->readOnly);
  r.Flag("checked", &c->checked);
  r.Text("text", &c->text);
  r.Number("selected", &c->selected);
  r.Texts("options", &c->options);
  r.Texts("columns", &c->columns);
  RowsOf(r, "rows", &c->rows);
  r.Flag("multiSelect", &c->multiSelect);
  NumbersOf(r, "selectedRows", &c->selectedRows);
  ReadEnabledBy(r, &c->enabledBy);
  r.Text("group", &c->group);
  // Keep marks: one per row, or none at all; missing ones are cleared, extra dropped.
  std::vector<bool> marks;
  MarksOf(r, &marks);
  if (!marks.empty()) {
    marks.resize(c->rows.size(), false);
    c->rowChecked = std::move(marks);
  }
  if (!r.ok()) *error = "control: " + r.error();
  return r.ok();
}

json ButtonsJson(const std::vector<ui::Button>& buttons) {
  json list = json::array();
  for (const ui::Button& b : buttons) {
    json j = {{"id", b.id},
              {"text", b.text},
              {"role", NameOf(kRoles, b.role, "plain")},
              {"closes", b.closes},
              {"enabled", b.enabled}};
    if (!b.enabledBy.control.empty()) j["enabledBy"] = EnabledByJson(b.enabledBy);
    if (!b.group.empty()) j["group"] = b.group;
    list.push_back(std::move(j));
  }
  return list;
}

void ButtonsOf(FieldReader& r, std::vector<ui::Button>* buttons) {
  const json* list = r.Find("buttons");
  if (list == nullptr) return;
  if (!list->is_array()) r.Fail("buttons is not a list");
  for (const json& item : list->is_array() ? *list : json::array()) {
    FieldReader b(item);
    ui::Button button;
    b.Number("id", &button.id);
    b.Text("text", &button.text);
    std::string role = "plain";
    b.Text("role", &role);
    if (!ValueOf(kRoles, role, &button.role)) button.role = ui::ButtonRole::kPlain;
    b.Flag("closes", &button.closes);
    b.Flag("enabled", &button.enabled);
    ReadEnabledBy(b, &button.enabledBy);
    b.Text("group", &button.group);
    if (!b.ok()) r.Fail("button: " + b.error());
    buttons->push_back(std::move(button));
  }
}

}  // namespace

json ControlsJson(const std::vector<ui::Control>& controls) {
  json list = json::array();
  for (const ui::Control& c : controls) list.push_back(ControlJson(c));
  return list;
}

bool ControlsFromJson(const json& j, std::vector<ui::Control>* controls, std::string* error) {
  if (!j.is_array()) {
    *error = "controls is not a list";
    return false;
  }
  controls->clear();
  for (const json& item : j) {
    ui::Control c;
    if (!ControlFromJson(item, &c, error)) return false;
    controls->push_back(std::move(c));
  }
  return true;
}

json DialogJson(const ui::Dialog& d) {
  json pages = json::array();
  for (const ui::Page& p : d.pages) {
    pages.push_back({{"id", p.id},
                     {"title", p.title},
                     {"controls", ControlsJson(p.controls)},
                     {"buttons", ButtonsJson(p.buttons)}});
  }
  return {{"kind", d.kind},
          {"title", d.title},
          {"headline", d.headline},
          {"controls", ControlsJson(d.controls)},
          {"buttons", ButtonsJson(d.buttons)},
          {"defaultButton", d.defaultButton},
          {"cancelButton", d.cancelButton},
          {"affirmativeButton", d.affirmativeButton},
          {"style", NameOf(kStyles, d.style, "plain")},
          {"pages", pages},
          {"currentPage", d.currentPage}};
}

bool DialogFromJson(const json& j, ui::Dialog* d, std::string* error) {
  FieldReader r(j);
  r.Text("kind", &d->kind);
  r.Text("title", &d->title);
  r.Text("headline", &d->headline);
  r.Number("defaultButton", &d->defaultButton);
  r.Number("cancelButton", &d->cancelButton);
  r.Number("affirmativeButton", &d->affirmativeButton);
  ButtonsOf(r, &d->buttons);
  std::string style = "plain";
  r.Text("style", &style);
  if (!ValueOf(kStyles, style, &d->style)) d->style = ui::DialogStyle::kPlain;
  r.Text("currentPage", &d->currentPage);
  if (const json* pages = r.Find("pages")) {
    if (!pages->is_array()) r.Fail("pages is not a list");
    for (const json& item : pages->is_array() ? *pages : json::array()) {
      FieldReader p(item);
      ui::Page page;
      p.Text("id", &page.id);
      p.Text("title", &page.title);
      ButtonsOf(p, &page.buttons);
      if (!p.ok()) {
        r.Fail("page: " + p.error());
        break;
      }
      if (const json* controls = p.Find("controls")) {
        if (!ControlsFromJson(*controls, &page.controls, error)) return false;
      }
      d->pages.push_back(std::move(page));
    }
  }
  if (!r.ok()) {
    *error = "dialog: " + r.error();
    return false;
  }
  if (const json* controls = r.Find("controls")) {
    if (!ControlsFromJson(*controls, &d->controls, error)) return false;
  }
  return true;
}

json ChangeJson(const ui::DialogChange& c) {
  json j = {{"kind", NameOf(kChanges, c.kind, "control")}};
  switch (c.kind) {
    case ui::ChangeKind::kRowsInserted:
    case ui::ChangeKind::kRowsChanged:
      j["control"] = c.control;
      j["first"] = c.first;
      j["rows"] = c.rows;
      if (!c.rowChecked.empty()) j["rowChecked"] = c.rowChecked;
      break;
    case ui::ChangeKind::kRowsRemoved:
      j["control"] = c.control;
      j["first"] = c.first;
      j["count"] = c.count;
      break;
    case ui::ChangeKind::kControl:
      j["control"] = c.control;
      j["value"] = ControlJson(c.value);
      break;
    case ui::ChangeKind::kButton:
      j["button"] = c.button;
      j["enabled"] = c.enabled;
      j["makeDefault"] = c.makeDefault;
      break;
    case ui::ChangeKind::kPage:
      j["page"] = c.page;
      break;
  }
  return j;
}

bool ChangeFromJson(const json& j, ui::DialogChange* c, std::string* error) {
  FieldReader r(j);
  std::string kind;
  r.Text("kind", &kind);
  if (r.ok() && !ValueOf(kChanges, kind, &c->kind)) r.Fail("unknown change " + kind);
  r.Text("control", &c->control);
  r.Number("first", &c->first);
  r.Number("count", &c->count);
  RowsOf(r, "rows", &c->rows);
  MarksOf(r, &c->rowChecked);
  r.Number("button", &c->button);
  r.Flag("enabled", &c->enabled);
  r.Flag("makeDefault", &c->makeDefault);
  r.Text("page", &c->page);
  if (r.ok()) {
    if (const json* value = r.Find("value")) {
      if (!ControlFromJson(*value, &c->value, error)) return false;
    }
  }
  if (!r.ok()) *error = "change: " + r.error();
  return r.ok();
}

}  // namespace quorvel::host::protocol
