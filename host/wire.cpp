#include "host/wire.h"

namespace quorvel::host::wire {
namespace {

class Writer {
 public:
  void U8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) U8(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void U64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) U8(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void I64(std::int64_t v) { U64(static_cast<std::uint64_t>(v)); }
  void Bool(bool v) { U8(v ? 1 : 0); }
  void Text(std::string_view s) {
    U32(static_cast<std::uint32_t>(s.size()));
    out_.append(s);
  }
  void Texts(const std::vector<std::string>& items) {
    U32(static_cast<std::uint32_t>(items.size()));
    for (const auto& s : items) Text(s);
  }
  std::string& out() { return out_; }

 private:
  std::string out_;
};

class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}
  bool ok() const { return ok_; }
  bool AtEnd() const { return ok_ && in_.empty(); }
  std::uint8_t U8() {
    if (in_.empty()) return Fail(), 0;
    auto v = static_cast<std::uint8_t>(in_[0]);
    in_.remove_prefix(1);
    return v;
  }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(U8()) << (8 * i);
    return v;
  }
  std::uint64_t U64() {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(U8()) << (8 * i);
    return v;
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  std::int64_t I64() { return static_cast<std::int64_t>(U64()); }
  bool Bool() {
    std::uint8_t v = U8();
    if (v > 1) Fail();
    return v == 1;
  }
  std::string Text() {
    std::uint32_t size = U32();
    if (!ok_ || size > in_.size()) return Fail(), std::string();
    std::string s(in_.substr(0, size));
    in_.remove_prefix(size);
    return s;
  }
  // A count of items each at least `minItem` bytes long: never more than what is left.
  std::uint32_t Count(std::size_t minItem) {
    std::uint32_t n = U32();
    if (!ok_ || n > in_.size() / minItem) return Fail(), 0;
    return n;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> items(Count(4));
    for (auto& s : items) s = Text();
    return items;
  }
  void Fail() { ok_ = false; }

 private:
  std::string_view in_;
  bool ok_ = true;
};

void Put(Writer& w, const ui::Control& c) {
  w.U8(static_cast<std::uint8_t>(c.kind));
  w.Text(c.id);
  w.Text(c.label);
  w.U8(static_cast<std::uint8_t>(c.enabled | c.multiline << 1 | c.readOnly << 2 | c.checked << 3));
  w.Text(c.text);
  w.I32(c.selected);
  w.Texts(c.options);
  w.Texts(c.columns);
  w.U32(static_cast<std::uint32_t>(c.rows.size()));
  for (std::size_t i = 0; i < c.rows.size(); ++i) {
    w.Texts(c.rows[i]);
    w.Bool(i < c.rowChecked.size() && c.rowChecked[i]);
  }
}

ui::Control GetControl(Reader& r) {
  ui::Control c;
  std::uint8_t kind = r.U8();
  if (kind > static_cast<std::uint8_t>(ui::ControlKind::kList)) r.Fail();
  c.kind = static_cast<ui::ControlKind>(kind);
  c.id = r.Text();
  c.label = r.Text();
  std::uint8_t flags = r.U8();
  if (flags > 0xF) r.Fail();
  c.enabled = flags & 1;
  c.multiline = flags & 2;
  c.readOnly = flags & 4;
  c.checked = flags & 8;
  c.text = r.Text();
  c.selected = r.I32();
  c.options = r.Texts();
  c.columns = r.Texts();
  std::uint32_t rows = r.Count(5);
  for (std::uint32_t i = 0; i < rows && r.ok(); ++i) {
    c.rows.push_back(r.Texts());
    c.rowChecked.push_back(r.Bool());
  }
  return c;
}

void PutControls(Writer& w, const std::vector<ui::Control>& controls) {
  w.U32(static_cast<std::uint32_t>(controls.size()));
  for (const auto& c : controls) Put(w, c);
}

std::vector<ui::Control> GetControls(Reader& r) {
  std::uint32_t n = r.Count(30);  // the smallest control encodes to 30 bytes
  std::vector<ui::Control> controls;
  for (std::uint32_t i = 0; i < n && r.ok(); ++i) controls.push_back(GetControl(r));
  return controls;
}

// The message's tag is its index in the variant.
struct Encoder {
  Writer& w;
  void operator()(const Run& m) {
    w.Texts(m.argv);
    w.Text(m.cwd);
    w.Bool(m.interactive);
    w.Bool(m.yes);
    w.Bool(m.standardInput);
  }
  void operator()(const StatusRequest&) {}
  void operator()(const Answer& m) {
    w.U32(m.id);
    w.I32(m.button);
    PutControls(w, m.controls);
  }
  void operator()(const Cancel& m) { w.U32(m.id); }
  void operator()(const Output& m) {
    w.U8(m.stream);
    w.Text(m.text);
  }
  void operator()(const MessageBox& m) {
    w.U32(m.id);
    w.Text(m.text);
    w.Text(m.caption);
    w.U32(m.style);
  }
  void operator()(const DialogRequest& m) {
    const ui::Dialog& d = m.dialog;
    w.U32(m.id);
    w.Text(d.kind);
    w.Text(d.title);
    w.Text(d.headline);
    PutControls(w, d.controls);
    w.U32(static_cast<std::uint32_t>(d.buttons.size()));
    for (const auto& b : d.buttons) {
      w.I32(b.id);
      w.Text(b.text);
    }
    w.I32(d.defaultButton);
    w.I32(d.cancelButton);
    w.I32(d.affirmativeButton);
  }
  void operator()(const ProgressUpdate& m) {
    w.U32(m.id);
    w.U64(m.done);
    w.U64(m.total);
    w.Text(m.text);
    w.Bool(m.ended);
  }
  void operator()(const Notice& m) {
    w.Text(m.title);
    w.Text(m.text);
  }
  void operator()(const OpenUrl& m) {
    w.U32(m.id);
    w.Text(m.url);
  }
  void operator()(const Done& m) { w.I32(m.status); }
  void operator()(const Status& m) {
    w.Text(m.profile);
    w.I64(m.pid);
    w.I64(m.since);
    w.Bool(m.ready);
    w.U64(m.judged);
    w.U64(m.moved);
  }
  void operator()(const Refused& m) { w.Text(m.reason); }
};

Message Get(Reader& r, std::uint8_t tag) {
  switch (tag) {
    case 0: {
      Run m;
      m.argv = r.Texts();
      m.cwd = r.Text();
      m.interactive = r.Bool();
      m.yes = r.Bool();
      m.standardInput = r.Bool();
      return m;
    }
    case 1:
      return StatusRequest{};
    case 2: {
      Answer m;
      m.id = r.U32();
      m.button = r.I32();
      m.controls = GetControls(r);
      return m;
    }
    case 3:
      return Cancel{r.U32()};
    case 4: {
      Output m;
      m.stream = r.U8();
      if (m.stream != 1 && m.stream != 2) r.Fail();
      m.text = r.Text();
      return m;
    }
    case 5: {
      MessageBox m;
      m.id = r.U32();
      m.text = r.Text();
      m.caption = r.Text();
      m.style = r.U32();
      return m;
    }
    case 6: {
      DialogRequest m;
      m.id = r.U32();
      ui::Dialog& d = m.dialog;
      d.kind = r.Text();
      d.title = r.Text();
      d.headline = r.Text();
      d.controls = GetControls(r);
      std::uint32_t buttons = r.Count(8);
      for (std::uint32_t i = 0; i < buttons && r.ok(); ++i) {
        ui::Button b;
        b.id = r.I32();
        b.text = r.Text();
        d.buttons.push_back(std::move(b));
      }
      d.defaultButton = r.I32();
      d.cancelButton = r.I32();
      d.affirmativeButton = r.I32();
      return m;
    }
    case 7: {
      ProgressUpdate m;
      m.id = r.U32();
      m.done = r.U64();
      m.total = r.U64();
      m.text = r.Text();
      m.ended = r.Bool();
      return m;
    }
    case 8: {
      Notice m;
      m.title = r.Text();
      m.text = r.Text();
      return m;
    }
    case 9: {
      OpenUrl m;
      m.id = r.U32();
      m.url = r.Text();
      return m;
    }
    case 10:
      return Done{r.I32()};
    case 11: {
      Status m;
      m.profile = r.Text();
      m.pid = r.I64();
      m.since = r.I64();
      m.ready = r.Bool();
      m.judged = r.U64();
      m.moved = r.U64();
      return m;
    }
    case 12:
      return Refused{r.Text()};
    default:
      r.Fail();
      return StatusRequest{};
  }
}

}  // namespace

std::string Encode(const Message& message) {
  Writer w;
  w.U32(0);  // the length, filled in below
  w.U8(static_cast<std::uint8_t>(message.index()));
  std::visit(Encoder{w}, message);
  std::string& out = w.out();
  auto size = static_cast<std::uint32_t>(out.size() - 4);
  for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(size >> (8 * i));
  return std::move(out);
}

std::optional<Message> Decode(std::string_view body) {
  if (body.empty() || body.size() > kMaxFrame) return std::nullopt;
  Reader r(body);
  std::uint8_t tag = r.U8();
  Message m = Get(r, tag);
  if (!r.AtEnd()) return std::nullopt;
  return m;
}

}  // namespace quorvel::host::wire
