#include <nlohmann/json.hpp>

#include "host/protocol_dialog.h"
#include "host/protocol_json.h"
#include "host/protocol_window_json.h"

namespace quorvel::host::protocol {
namespace {

using nlohmann::json;

// Popups within popups deeper than this are malformed (the frame's nesting limit
// stops them earlier still).
constexpr int kMaxPopupDepth = 4;

json ControlJson(const BarControl& c) {
  json j = {{"type", c.type},         {"caption", c.caption}, {"tooltip", c.tooltip},
            {"shortcut", c.shortcut}, {"tag", c.tag},         {"command", c.command},
            {"visible", c.visible},   {"enabled", c.enabled}, {"beginGroup", c.beginGroup}};
  if (!c.face.empty()) j["face"] = c.face;
  if (!c.controls.empty()) {
    json controls = json::array();
    for (const BarControl& inner : c.controls) controls.push_back(ControlJson(inner));
    j["controls"] = std::move(controls);
  }
  return j;
}

bool ControlsOf(FieldReader& r, int depth, std::vector<BarControl>* out) {
  const json* list = r.Find("controls");
  if (list == nullptr) return true;
  if (!list->is_array() || depth > kMaxPopupDepth) {
    r.Fail(depth > kMaxPopupDepth ? "popups nest too deep" : "controls is not a list");
    return false;
  }
  for (const json& item : *list) {
    FieldReader f(item);
    BarControl c;
    f.Text("type", &c.type);
    f.Text("caption", &c.caption);
    f.Text("tooltip", &c.tooltip);
    f.Text("shortcut", &c.shortcut);
    f.Text("tag", &c.tag);
    f.Number("command", &c.command);
    f.Text("face", &c.face);
    f.Flag("visible", &c.visible);
    f.Flag("enabled", &c.enabled);
    f.Flag("beginGroup", &c.beginGroup);
    if (f.ok()) ControlsOf(f, depth + 1, &c.controls);
    if (!f.ok()) {
      r.Fail("control: " + f.error());
      return false;
    }
    out->push_back(std::move(c));
  }
  return true;
}

template <typename Each>
void ListOf(FieldReader& r, const char* key, Each each) {
  const json* list = r.Find(key);
  if (list == nullptr) return;
  if (!list->is_array()) {
    r.Fail(std::string(key) + " is not a list");
    return;
  }
  for (const json& item : *list) {
    FieldReader f(item);
    each(f);
    if (!f.ok()) {
      r.Fail(std::string(key) + ": " + f.error());
      return;
    }
  }
}

}  // namespace

json WindowJson(const ListItemsRequest& m) {
  return {{"id", m.id}, {"folder", m.folder}, {"first", m.first}, {"count", m.count}};
}

json WindowJson(const ItemList& m) {
  json items = json::array();
  for (const ItemEntry& e : m.items) {
    items.push_back({{"id", e.id},
                     {"name", e.name},
                     {"senderName", e.senderName},
                     {"senderAddress", e.senderAddress},
                     {"subject", e.subject},
                     {"received", e.received},
                     {"read", e.read},
                     {"size", e.size}});
  }
  return {{"id", m.id},       {"folder", m.folder}, {"path", m.path},
          {"total", m.total}, {"first", m.first},   {"items", items}};
}

json WindowJson(const SelectRequest& m) {
  return {{"id", m.id}, {"folder", m.folder}, {"items", m.items}};
}

json WindowJson(const Selected& m) {
  return {{"id", m.id}, {"folder", m.folder}, {"items", m.items}};
}

json WindowJson(const CommandBarsRequest& m) { return {{"id", m.id}}; }

json WindowJson(const CommandBarList& m) {
  json bars = json::array();
  for (const Bar& b : m.bars) {
    json controls = json::array();
    for (const BarControl& c : b.controls) controls.push_back(ControlJson(c));
    bars.push_back({{"name", b.name},
                    {"position", b.position},
                    {"visible", b.visible},
                    {"rowIndex", b.rowIndex},
                    {"left", b.left},
                    {"top", b.top},
                    {"controls", controls}});
  }
  json keys = json::array();
  for (const KeyBinding& k : m.keys) keys.push_back({{"keys", k.keys}, {"command", k.command}});
  return {{"id", m.id}, {"bars", bars}, {"keys", keys}};
}

json WindowJson(const ClickRequest& m) {
  return {{"id", m.id},       {"command", m.command},         {"folder", m.folder},
          {"items", m.items}, {"interactive", m.interactive}, {"yes", m.yes}};
}

json WindowJson(const DialogOpen& m) {
  return {{"id", m.id}, {"question", m.question}, {"dialog", DialogJson(m.dialog)}};
}

json WindowJson(const DialogChangeMessage& m) {
  return {{"id", m.id}, {"question", m.question}, {"change", ChangeJson(m.change)}};
}

json WindowJson(const DialogNext& m) { return {{"id", m.id}, {"question", m.question}}; }

json WindowJson(const DialogClose& m) { return {{"id", m.id}, {"question", m.question}}; }

bool ReadWindow(const json& j, std::string_view type, std::uint64_t id, Message* out, bool* handled,
                std::string* error) {
  FieldReader r(j);
  *handled = true;
  if (type == "list-items") {
    ListItemsRequest m{id};
    r.Text("folder", &m.folder);
    r.Number("first", &m.first);
    r.Number("count", &m.count);
    *out = std::move(m);
  } else if (type == "items") {
    ItemList m{id};
    r.Text("folder", &m.folder);
    r.Text("path", &m.path);
    r.Number("total", &m.total);
    r.Number("first", &m.first);
    ListOf(r, "items", [&](FieldReader& f) {
      ItemEntry e;
      f.Text("id", &e.id);
      f.Text("name", &e.name);
      f.Text("senderName", &e.senderName);
      f.Text("senderAddress", &e.senderAddress);
      f.Text("subject", &e.subject);
      f.Number("received", &e.received);
      f.Flag("read", &e.read);
      f.Number("size", &e.size);
      m.items.push_back(std::move(e));
    });
    *out = std::move(m);
  } else if (type == "select" || type == "selected") {
    std::string folder;
    std::vector<std::string> items;
    r.Text("folder", &folder);
    r.Texts("items", &items);
    if (type == "select") {
      *out = SelectRequest{id, std::move(folder), std::move(items)};
    } else {
      *out = Selected{id, std::move(folder), std::move(items)};
    }
  } else if (type == "get-command-bars") {
    *out = CommandBarsRequest{id};
  } else if (type == "command-bars") {
    CommandBarList m{id};
    ListOf(r, "bars", [&](FieldReader& f) {
      Bar b;
      f.Text("name", &b.name);
      f.Number("position", &b.position);
      f.Flag("visible", &b.visible);
      f.Number("rowIndex", &b.rowIndex);
      f.Number("left", &b.left);
      f.Number("top", &b.top);
      if (f.ok()) ControlsOf(f, 1, &b.controls);
      m.bars.push_back(std::move(b));
    });
    ListOf(r, "keys", [&](FieldReader& f) {
      KeyBinding k;
      f.Text("keys", &k.keys);
      f.Number("command", &k.command);
      m.keys.push_back(std::move(k));
    });
    *out = std::move(m);
  } else if (type == "click") {
    ClickRequest m{id};
    r.Number("command", &m.command);
    r.Text("folder", &m.folder);
    r.Texts("items", &m.items);
    r.Flag("interactive", &m.interactive);
    r.Flag("yes", &m.yes);
    *out = std::move(m);
  } else if (type == "dialog-open") {
    DialogOpen m{id};
    r.Number("question", &m.question);
    const json* dialog = r.Find("dialog");
    if (dialog == nullptr) r.Fail("no dialog");
    if (r.ok() && !DialogFromJson(*dialog, &m.dialog, error)) return false;
    *out = std::move(m);
  } else if (type == "dialog-change") {
    DialogChangeMessage m{id};
    r.Number("question", &m.question);
    const json* change = r.Find("change");
    if (change == nullptr) r.Fail("no change");
    if (r.ok() && !ChangeFromJson(*change, &m.change, error)) return false;
    *out = std::move(m);
  } else if (type == "dialog-next" || type == "dialog-close") {
    std::uint64_t question = 0;
    r.Number("question", &question);
    if (type == "dialog-next") {
      *out = DialogNext{id, question};
    } else {
      *out = DialogClose{id, question};
    }
  } else {
    *handled = false;
    return true;
  }
  if (!r.ok()) *error = std::string(type) + ": " + r.error();
  return r.ok();
}

}  // namespace quorvel::host::protocol
