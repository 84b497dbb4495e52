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

std::string_view KindName(ui::ControlKind kind) {
  for (const auto& [k, name] : kKinds) {
    if (k == kind) return name;
  }
  return "label";
}

bool KindFromName(std::string_view name, ui::ControlKind* kind) {
  for (const auto& [k, n] : kKinds) {
    if (n == name) {
      *kind = k;
      return true;
    }
  }
  return false;
}

json ControlJson(const ui::Control& c) {
  json rowChecked = json::array();
  for (std::size_t i = 0; i < c.rows.size(); ++i) {
    rowChecked.push_back(i < c.rowChecked.size() && c.rowChecked[i]);
  }
  return {{"kind", KindName(c.kind)}, {"id", c.id},
          {"label", c.label},         {"enabled", c.enabled},
          {"multiline", c.multiline}, {"readOnly", c.readOnly},
          {"checked", c.checked},     {"text", c.text},
          {"selected", c.selected},   {"options", c.options},
          {"columns", c.columns},     {"rows", c.rows},
          {"rowChecked", rowChecked}};
}

bool ControlFromJson(const json& j, ui::Control* c, std::string* error) {
  FieldReader r(j);
  std::string kind = "label";
  r.Text("kind", &kind);
  if (r.ok() && !KindFromName(kind, &c->kind)) r.Fail("unknown control kind " + kind);
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
  if (const json* rows = r.Find("rows")) {
    if (!rows->is_array()) r.Fail("rows is not a list");
    for (const json& row : rows->is_array() ? *rows : json::array()) {
      std::vector<std::string> cells;
      if (!FieldReader::TextsOf(row, &cells)) r.Fail("a row is not a list of texts");
      c->rows.push_back(std::move(cells));
    }
  }
  // One keep mark per row: missing marks are false, extra ones are dropped.
  c->rowChecked.assign(c->rows.size(), false);
  if (const json* marks = r.Find("rowChecked")) {
    if (!marks->is_array()) r.Fail("rowChecked is not a list");
    for (std::size_t i = 0; marks->is_array() && i < marks->size(); ++i) {
      if (!(*marks)[i].is_boolean()) {
        r.Fail("rowChecked holds something other than true or false");
      } else if (i < c->rows.size()) {
        c->rowChecked[i] = (*marks)[i].get<bool>();
      }
    }
  }
  if (!r.ok()) *error = "control: " + r.error();
  return r.ok();
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
  json buttons = json::array();
  for (const ui::Button& b : d.buttons) buttons.push_back({{"id", b.id}, {"text", b.text}});
  return {{"kind", d.kind},
          {"title", d.title},
          {"headline", d.headline},
          {"controls", ControlsJson(d.controls)},
          {"buttons", buttons},
          {"defaultButton", d.defaultButton},
          {"cancelButton", d.cancelButton},
          {"affirmativeButton", d.affirmativeButton}};
}

bool DialogFromJson(const json& j, ui::Dialog* d, std::string* error) {
  FieldReader r(j);
  r.Text("kind", &d->kind);
  r.Text("title", &d->title);
  r.Text("headline", &d->headline);
  r.Number("defaultButton", &d->defaultButton);
  r.Number("cancelButton", &d->cancelButton);
  r.Number("affirmativeButton", &d->affirmativeButton);
  if (const json* buttons = r.Find("buttons")) {
    if (!buttons->is_array()) r.Fail("buttons is not a list");
    for (const json& item : buttons->is_array() ? *buttons : json::array()) {
      FieldReader b(item);
      ui::Button button;
      b.Number("id", &button.id);
      b.Text("text", &button.text);
      if (!b.ok()) r.Fail("button: " + b.error());
      d->buttons.push_back(std::move(button));
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

}  // namespace quorvel::host::protocol
