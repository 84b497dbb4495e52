// The toolbar's layout and the two records that keep it between runs.
//
// Each button has four state bits: hidden, disabled, begins a group, fixed (never
// customized). A customization names the non-fixed buttons in order, the visible
// ones first: applied, the first `visible` of them are shown and enabled, the rest
// hidden and disabled, and buttons it does not name stay after them, hidden. A
// fixed button keeps its place.
//
// ToolbarCustomization (REG_BINARY, little-endian): count N (32 bits), visible V (32
// bits), N command identifiers (16 bits each); 8 + 2N bytes, V <= N. A record that is
// not exactly that, or whose N exceeds the non-fixed buttons, gives the default: N 5,
// V 3, Good E-mail, Junk E-mail, Test Message, Check Folder, Empty Spam Folder.
//
// ToolbarPosition (REG_BINARY, exactly 24 bytes): six 32-bit fields: 250 (written,
// never applied), row index, position (1: the top dock), left, top, visible (the low
// 16 bits 0 or 0xFFFF). Any other size gives the default 250, -1, 1, 0, 0, -1.
#ifndef QUORVEL_UI_TOOLBAR_LAYOUT_H_
#define QUORVEL_UI_TOOLBAR_LAYOUT_H_

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quorvel::ui {

inline constexpr std::uint32_t kButtonHidden = 1;
inline constexpr std::uint32_t kButtonDisabled = 2;
inline constexpr std::uint32_t kButtonGroup = 4;
inline constexpr std::uint32_t kButtonFixed = 8;

struct ToolbarButton {
  int command = 0;
  std::uint32_t state = 0;
};

struct ToolbarLayout {
  std::vector<ToolbarButton> buttons;  // in toolbar order
};

// The toolbar as built: its buttons in order, Options fixed, nothing customized yet.
ToolbarLayout BuiltToolbarLayout();

struct ToolbarCustomization {
  std::uint32_t visible = 0;
  std::vector<std::uint16_t> commands;  // N is their number
};

ToolbarCustomization DefaultCustomization();
std::vector<std::uint8_t> EncodeCustomization(const ToolbarCustomization& c);
// Nothing for a record shorter than 8 bytes, whose N is not (size - 8) / 2 (an odd
// size never is), or whose V exceeds N.
std::optional<ToolbarCustomization> DecodeCustomization(std::span<const std::uint8_t> bytes);

// False, the layout unchanged, when N exceeds the non-fixed buttons or V exceeds N
// (the window system's invalid argument). An identifier of no button of the layout,
// or named twice, counts in N and V but lays nothing out.
bool ApplyCustomization(ToolbarLayout& layout, const ToolbarCustomization& c);
// The layout as a record: the non-fixed buttons, the visible ones first, each in
// toolbar order.
ToolbarCustomization CurrentCustomization(const ToolbarLayout& layout);

struct ToolbarPosition {
  std::int32_t constant = 250;
  std::int32_t rowIndex = -1;
  std::int32_t position = 1;
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t visible = -1;  // the low 16 bits: 0 or -1
};

std::vector<std::uint8_t> EncodePosition(const ToolbarPosition& p);
// Nothing unless exactly 24 bytes.
std::optional<ToolbarPosition> DecodePosition(std::span<const std::uint8_t> bytes);
// Whether a record's visible field says visible.
inline bool PositionVisible(const ToolbarPosition& p) { return (p.visible & 0xFFFF) != 0; }

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_TOOLBAR_LAYOUT_H_
