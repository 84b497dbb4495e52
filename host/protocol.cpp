#include "host/protocol.h"

#include <nlohmann/json.hpp>

#include "host/protocol_dialog.h"
#include "host/protocol_json.h"
#include "host/protocol_window_json.h"

namespace quorvel::host::protocol {
namespace {

using nlohmann::json;

// The wire name of each alternative of Message, in the variant's order.
constexpr std::string_view kTypes[] = {
    "hello",        "run",          "status",          "subscribe",
    "cancel",       "answer",       "cancel-progress", "output",
    "message-box",  "dialog",       "open-url",        "progress",
    "notice",       "done",         "status",          "subscribed",
    "event",        "error",        "list-folders",    "folders",
    "list-pending", "pending-list", "take-pending",    "list-items",
    "items",        "select",       "selected",        "get-command-bars",
    "command-bars", "click",        "dialog-open",     "dialog-change",
    "dialog-next",  "dialog-close"};
static_assert(std::size(kTypes) == std::variant_size_v<Message>);

json OutcomeJson(json j, const Outcome& o) {
  j["code"] = OutcomeCodeName(o.code);
  if (!o.message.empty()) j["message"] = o.message;
  return j;
}

struct Encoder {
  template <typename Window>
  json operator()(const Window& m) const {
    return WindowJson(m);
  }
  json operator()(const Hello& m) const {
    json j = {{"protocol", {m.major, m.minor}},
              {"software", m.software},
              {"capabilities", m.capabilities}};
    if (!m.profile.empty()) j["profile"] = m.profile;
    return j;
  }
  json operator()(const RunRequest& m) const {
    return {{"id", m.id},   {"argv", m.argv},
            {"cwd", m.cwd}, {"interactive", m.interactive},
            {"yes", m.yes}, {"standardInput", m.standardInput}};
  }
  json operator()(const StatusRequest& m) const { return {{"id", m.id}}; }
  json operator()(const Subscribe& m) const { return {{"id", m.id}, {"events", m.events}}; }
  json operator()(const CancelRequest& m) const { return {{"id", m.id}}; }
  json operator()(const Answer& m) const {
    json j = {{"id", m.id}, {"question", m.question}, {"button", m.button}};
    if (!m.controls.empty()) j["controls"] = ControlsJson(m.controls);
    if (!m.page.empty()) j["page"] = m.page;
    if (!m.otherPages.empty()) {
      json pages = json::array();
      for (const auto& [page, controls] : m.otherPages) {
        pages.push_back({{"page", page}, {"controls", ControlsJson(controls)}});
      }
      j["otherPages"] = std::move(pages);
    }
    return j;
  }
  json operator()(const CancelProgress& m) const {
    return {{"id", m.id}, {"progress", m.progress}};
  }
  json operator()(const Output& m) const {
    return {{"id", m.id}, {"stream", m.stream == 2 ? "err" : "out"}, {"text", m.text}};
  }
  json operator()(const MessageBox& m) const {
    return {{"id", m.id},
            {"question", m.question},
            {"text", m.text},
            {"caption", m.caption},
            {"style", m.style}};
  }
  json operator()(const DialogRequest& m) const {
    return {{"id", m.id}, {"question", m.question}, {"dialog", DialogJson(m.dialog)}};
  }
  json operator()(const OpenUrl& m) const {
    return {{"id", m.id}, {"question", m.question}, {"url", m.url}};
  }
  json operator()(const ProgressUpdate& m) const {
    return {{"id", m.id},       {"progress", m.progress}, {"done", m.done},
            {"total", m.total}, {"text", m.text},         {"ended", m.ended}};
  }
  json operator()(const Notice& m) const {
    return {{"id", m.id}, {"title", m.title}, {"text", m.text}};
  }
  json operator()(const Done& m) const {
    return OutcomeJson({{"id", m.id}, {"status", m.status}}, m.outcome);
  }
  json operator()(const Status& m) const {
    json stores = json::array();
    for (const StoreStatus& s : m.stores) {
      stores.push_back(
          {{"store", s.store}, {"state", s.state}, {"since", s.since}, {"error", s.error}});
    }
    return {{"id", m.id},         {"profile", m.profile}, {"pid", m.pid},
            {"since", m.since},   {"state", m.state},     {"judged", m.judged},
            {"moved", m.moved},   {"clients", m.clients}, {"jobs", m.jobs},
            {"events", m.events}, {"pending", m.pending}, {"queued", m.queued},
            {"stores", stores}};
  }
  json operator()(const Subscribed& m) const { return {{"id", m.id}, {"events", m.events}}; }
  json operator()(const Event& m) const {
    json j = {{"event", m.event}};
    for (const auto& [name, value] : m.fields) {
      if (name != "type" && name != "event") j[name] = value;
    }
    return j;
  }
  json operator()(const Error& m) const { return OutcomeJson({{"id", m.id}}, m.outcome); }
  json operator()(const ListFoldersRequest& m) const { return {{"id", m.id}}; }
  json operator()(const FolderList& m) const {
    json folders = json::array();
    for (const FolderEntry& f : m.folders) {
      folders.push_back({{"id", f.id}, {"name", f.name}, {"path", f.path}, {"items", f.items}});
    }
    return {{"id", m.id}, {"folders", folders}};
  }
  json operator()(const ListPendingRequest& m) const { return {{"id", m.id}}; }
  json operator()(const PendingList& m) const {
    json pending = json::array();
    for (const PendingEntry& p : m.pending) {
      pending.push_back(
          {{"pending", p.pending}, {"kind", p.kind}, {"title", p.title}, {"taken", p.taken}});
    }
    return {{"id", m.id}, {"pending", pending}};
  }
  json operator()(const TakePending& m) const { return {{"id", m.id}, {"pending", m.pending}}; }
};

void ReadOutcome(FieldReader& r, Outcome* o) {
  std::string code = "ok";
  r.Text("code", &code);
  o->code = OutcomeCodeFromName(code);
  r.Text("message", &o->message);
}

// Reads the fields of a message of `type` (known) into `out`; a client's requests and
// a host's messages share names where both directions have one ("status").
bool Read(const json& j, std::string_view type, bool fromHost, Message* out, std::string* error) {
  FieldReader r(j);
  std::uint64_t id = 0;
  r.Number("id", &id);
  if (type == "hello") {
    Hello m;
    const json* version = r.Find("protocol");
    if (version == nullptr || !version->is_array() || version->size() != 2 ||
        !FieldReader::NumberOf((*version)[0], &m.major) ||
        !FieldReader::NumberOf((*version)[1], &m.minor)) {
      r.Fail("protocol is not [major, minor]");
    }
    r.Text("software", &m.software);
    r.Texts("capabilities", &m.capabilities);
    r.Text("profile", &m.profile);
    *out = std::move(m);
  } else if (type == "run") {
    RunRequest m{id};
    r.Texts("argv", &m.argv);
    r.Text("cwd", &m.cwd);
    r.Flag("interactive", &m.interactive);
    r.Flag("yes", &m.yes);
    r.Flag("standardInput", &m.standardInput);
    *out = std::move(m);
  } else if (type == "status" && !fromHost) {
    *out = StatusRequest{id};
  } else if (type == "subscribe") {
    Subscribe m{id};
    r.Texts("events", &m.events);
    *out = std::move(m);
  } else if (type == "cancel") {
    *out = CancelRequest{id};
  } else if (type == "answer") {
    Answer m{id};
    r.Number("question", &m.question);
    r.Number("button", &m.button);
    r.Text("page", &m.page);
    if (const json* controls = r.Find("controls"); controls && r.ok()) {
      if (!ControlsFromJson(*controls, &m.controls, error)) return false;
    }
    if (const json* pages = r.Find("otherPages"); pages && r.ok()) {
      if (!pages->is_array()) {
        *error = "otherPages is not an array";
        return false;
      }
      for (const json& page : *pages) {
        const auto name = page.is_object() ? page.find("page") : page.end();
        const auto controls = page.is_object() ? page.find("controls") : page.end();
        if (name == page.end() || !name->is_string() || controls == page.end()) {
          *error = "an entry of otherPages has no page or no controls";
          return false;
        }
        std::vector<ui::Control> values;
        if (!ControlsFromJson(*controls, &values, error)) return false;
        m.otherPages.emplace_back(name->get<std::string>(), std::move(values));
      }
    }
    *out = std::move(m);
  } else if (type == "cancel-progress") {
    CancelProgress m{id};
    r.Number("progress", &m.progress);
    *out = m;
  } else if (type == "output") {
    Output m{id};
    std::string stream = "out";
    r.Text("stream", &stream);
    if (stream != "out" && stream != "err") r.Fail("stream is neither out nor err");
    m.stream = stream == "err" ? 2 : 1;
    r.Text("text", &m.text);
    *out = std::move(m);
  } else if (type == "message-box") {
    MessageBox m{id};
    r.Number("question", &m.question);
    r.Text("text", &m.text);
    r.Text("caption", &m.caption);
    r.Number("style", &m.style);
    *out = std::move(m);
  } else if (type == "dialog") {
    DialogRequest m{id};
    r.Number("question", &m.question);
    const json* dialog = r.Find("dialog");
    if (dialog == nullptr) r.Fail("no dialog");
    if (r.ok() && !DialogFromJson(*dialog, &m.dialog, error)) return false;
    *out = std::move(m);
  } else if (type == "open-url") {
    OpenUrl m{id};
    r.Number("question", &m.question);
    r.Text("url", &m.url);
    *out = std::move(m);
  } else if (type == "progress") {
    ProgressUpdate m{id};
    r.Number("progress", &m.progress);
    r.Number("done", &m.done);
    r.Number("total", &m.total);
    r.Text("text", &m.text);
    r.Flag("ended", &m.ended);
    *out = std::move(m);
  } else if (type == "notice") {
    Notice m{id};
    r.Text("title", &m.title);
    r.Text("text", &m.text);
    *out = std::move(m);
  } else if (type == "done") {
    Done m{id};
    r.Number("status", &m.status);
    ReadOutcome(r, &m.outcome);
    *out = std::move(m);
  } else if (type == "status") {
    Status m{id};
    r.Text("profile", &m.profile);
    r.Number("pid", &m.pid);
    r.Number("since", &m.since);
    r.Text("state", &m.state);
    r.Number("judged", &m.judged);
    r.Number("moved", &m.moved);
    r.Number("clients", &m.clients);
    r.Number("jobs", &m.jobs);
    r.Number("events", &m.events);
    r.Number("pending", &m.pending);
    r.Number("queued", &m.queued);
    const json* stores = r.Find("stores");
    if (stores != nullptr && !stores->is_array()) r.Fail("stores is not a list");
    for (const json& item : stores && stores->is_array() ? *stores : json::array()) {
      FieldReader f(item);
      StoreStatus store;
      f.Text("store", &store.store);
      f.Text("state", &store.state);
      f.Number("since", &store.since);
      f.Text("error", &store.error);
      if (!f.ok()) r.Fail("store: " + f.error());
      m.stores.push_back(std::move(store));
    }
    *out = std::move(m);
  } else if (type == "subscribed") {
    Subscribed m{id};
    r.Texts("events", &m.events);
    *out = std::move(m);
  } else if (type == "event") {
    Event m;
    r.Text("event", &m.event);
    // Every other field is the event's; texts travel as they are, other values as
    // their JSON text, so that a newer host's fields are kept, not refused.
    for (const auto& [name, value] : j.items()) {
      if (name == "type" || name == "event") continue;
      m.fields.emplace_back(name, value.is_string() ? value.get<std::string>() : value.dump());
    }
    *out = std::move(m);
  } else if (type == "error") {
    Error m{id};
    ReadOutcome(r, &m.outcome);
    *out = std::move(m);
  } else if (type == "list-folders") {
    *out = ListFoldersRequest{id};
  } else if (type == "folders") {
    FolderList m{id, {}};
    const json* folders = r.Find("folders");
    if (folders != nullptr && !folders->is_array()) r.Fail("folders is not a list");
    for (const json& item : folders && folders->is_array() ? *folders : json::array()) {
      FieldReader f(item);
      FolderEntry entry;
      f.Text("id", &entry.id);
      f.Text("name", &entry.name);
      f.Text("path", &entry.path);
      f.Number("items", &entry.items);
      if (!f.ok()) r.Fail("folder: " + f.error());
      m.folders.push_back(std::move(entry));
    }
    *out = std::move(m);
  } else if (type == "list-pending") {
    *out = ListPendingRequest{id};
  } else if (type == "pending-list") {
    PendingList m{id, {}};
    const json* pending = r.Find("pending");
    if (pending != nullptr && !pending->is_array()) r.Fail("pending is not a list");
    for (const json& item : pending && pending->is_array() ? *pending : json::array()) {
      FieldReader f(item);
      PendingEntry entry;
      f.Number("pending", &entry.pending);
      f.Text("kind", &entry.kind);
      f.Text("title", &entry.title);
      f.Flag("taken", &entry.taken);
      if (!f.ok()) r.Fail("pending: " + f.error());
      m.pending.push_back(std::move(entry));
    }
    *out = std::move(m);
  } else if (type == "take-pending") {
    TakePending m{id};
    r.Number("pending", &m.pending);
    *out = m;
  } else {
    bool handled = false;
    return ReadWindow(j, type, id, out, &handled, error) && handled;
  }
  if (!r.ok()) *error = std::string(type) + ": " + r.error();
  return r.ok();
}

// No message nests deeper than a dialog's list rows (5 levels); a body nested deeper
// than this is refused before it is parsed, so that no recursion over it can go deep.
constexpr int kMaxDepth = 16;

bool NestsTooDeep(std::string_view body) {
  int depth = 0;
  bool inText = false, escaped = false;
  for (char c : body) {
    if (inText) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inText = false;
      }
    } else if (c == '"') {
      inText = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxDepth) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

bool Known(std::string_view type) {
  for (std::string_view t : kTypes) {
    if (t == type) return true;
  }
  return false;
}

}  // namespace

std::string_view TypeName(const Message& message) { return kTypes[message.index()]; }

std::string Encode(const Message& message) {
  json j = std::visit(Encoder{}, message);
  j["type"] = TypeName(message);
  // Texts from the host's own code may hold bytes that are no UTF-8: they travel as
  // U+FFFD rather than failing the whole message.
  std::string body = j.dump(-1, ' ', false, json::error_handler_t::replace);
  std::string frame(4, '\0');
  const auto size = static_cast<std::uint32_t>(body.size());
  for (int i = 0; i < 4; ++i)
    frame[static_cast<std::size_t>(i)] = static_cast<char>(size >> (8 * i));
  return frame + body;
}

Decoded Decode(std::string_view body) {
  Decoded d;
  if (body.empty() || body.size() > kMaxFrame) {
    d.error = "the frame is empty or too large";
    return d;
  }
  if (NestsTooDeep(body)) {
    d.error = "the message nests too deep";
    return d;
  }
  json j = json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (j.is_discarded() || !j.is_object()) {
    d.error = "the frame is no JSON object";
    return d;
  }
  FieldReader r(j);
  r.Text("type", &d.type);
  r.Number("id", &d.id);
  if (!r.ok() || d.type.empty()) {
    d.error = r.ok() ? "the message has no type" : r.error();
    return d;
  }
  if (!Known(d.type)) {
    d.kind = Decoded::kUnknown;
    return d;
  }
  // "status" names the request (from a client) and the answer (from the host): the
  // answer carries a profile.
  const bool fromHost = j.contains("profile") || j.contains("state");
  if (!Read(j, d.type, fromHost, &d.message, &d.error)) return d;
  d.kind = Decoded::kMessage;
  return d;
}

bool IsFirstProtocolBody(std::string_view body) { return !body.empty() && body[0] != '{'; }

std::string FirstProtocolRefusal(std::string_view reason) {
  // A frame of the first protocol: length, the tag of its refusal (12), the text.
  std::string body(1, '\x0c');
  const auto size = static_cast<std::uint32_t>(reason.size());
  for (int i = 0; i < 4; ++i) body.push_back(static_cast<char>(size >> (8 * i)));
  body.append(reason);
  std::string frame;
  const auto total = static_cast<std::uint32_t>(body.size());
  for (int i = 0; i < 4; ++i) frame.push_back(static_cast<char>(total >> (8 * i)));
  return frame + body;
}

}  // namespace quorvel::host::protocol
