#include "ui/toolbar_layout.h"

#include <algorithm>

#include "ui/toolbar_commands.h"

namespace quorvel::ui {
namespace {

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
  return v;
}

constexpr std::uint32_t kShownBits = kButtonHidden | kButtonDisabled;

}  // namespace

ToolbarLayout BuiltToolbarLayout() {
  ToolbarLayout layout;
  for (int command : kToolbarButtons) {
    layout.buttons.push_back({command, command == kCmdOptions ? kButtonFixed : 0u});
  }
  return layout;
}

ToolbarCustomization DefaultCustomization() {
  return {3, {kCmdGoodEmail, kCmdJunkEmail, kCmdTestMessage, kCmdCheckFolder, kCmdEmptySpamFolder}};
}

std::vector<std::uint8_t> EncodeCustomization(const ToolbarCustomization& c) {
  std::vector<std::uint8_t> out;
  Put32(out, static_cast<std::uint32_t>(c.commands.size()));
  Put32(out, c.visible);
  for (std::uint16_t id : c.commands) {
    out.push_back(static_cast<std::uint8_t>(id));
    out.push_back(static_cast<std::uint8_t>(id >> 8));
  }
  return out;
}

std::optional<ToolbarCustomization> DecodeCustomization(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 8) return std::nullopt;
  const std::uint32_t n = Get32(bytes, 0);
  const std::uint32_t v = Get32(bytes, 4);
  if (v > n || n != (bytes.size() - 8) / 2 || (bytes.size() - 8) % 2 != 0) return std::nullopt;
  ToolbarCustomization c{v, {}};
  for (std::size_t i = 0; i < n; ++i) {
    c.commands.push_back(static_cast<std::uint16_t>(bytes[8 + 2 * i] | bytes[9 + 2 * i] << 8));
  }
  return c;
}

bool ApplyCustomization(ToolbarLayout& layout, const ToolbarCustomization& c) {
  std::vector<std::size_t> slots;  // where the non-fixed buttons stand
  for (std::size_t i = 0; i < layout.buttons.size(); ++i) {
    if ((layout.buttons[i].state & kButtonFixed) == 0) slots.push_back(i);
  }
  if (c.commands.size() > slots.size() || c.visible > c.commands.size()) return false;
  std::vector<ToolbarButton> free;
  for (std::size_t slot : slots) free.push_back(layout.buttons[slot]);
  std::vector<ToolbarButton> ordered;
  for (std::size_t i = 0; i < c.commands.size(); ++i) {
    auto it = std::find_if(free.begin(), free.end(),
                           [&](const ToolbarButton& b) { return b.command == c.commands[i]; });
    if (it == free.end()) continue;
    ToolbarButton b = *it;
    free.erase(it);
    b.state = i < c.visible ? b.state & ~kShownBits : b.state | kShownBits;
    ordered.push_back(b);
  }
  for (ToolbarButton b : free) {
    b.state |= kButtonHidden;
    ordered.push_back(b);
  }
  for (std::size_t i = 0; i < slots.size(); ++i) layout.buttons[slots[i]] = ordered[i];
  return true;
}

ToolbarCustomization CurrentCustomization(const ToolbarLayout& layout) {
  ToolbarCustomization c;
  for (bool visible : {true, false}) {
    for (const ToolbarButton& b : layout.buttons) {
      if ((b.state & kButtonFixed) != 0 || ((b.state & kButtonHidden) == 0) != visible) continue;
      c.commands.push_back(static_cast<std::uint16_t>(b.command));
      if (visible) ++c.visible;
    }
  }
  return c;
}

std::vector<std::uint8_t> EncodePosition(const ToolbarPosition& p) {
  std::vector<std::uint8_t> out;
  for (std::int32_t v : {p.constant, p.rowIndex, p.position, p.left, p.top, p.visible}) {
    Put32(out, static_cast<std::uint32_t>(v));
  }
  return out;
}

std::optional<ToolbarPosition> DecodePosition(std::span<const std::uint8_t> bytes) {
  if (bytes.size() != 24) return std::nullopt;
  auto at = [&](std::size_t i) { return static_cast<std::int32_t>(Get32(bytes, 4 * i)); };
  return ToolbarPosition{at(0), at(1), at(2), at(3), at(4), at(5)};
}

}  // namespace quorvel::ui
