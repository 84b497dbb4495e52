#include "ui/customize_toolbar.h"

#include <algorithm>
#include <string>

#include "ui/toolbar_commands.h"

namespace quorvel::ui {
namespace {

struct Box {
  int command;
  const char* label;
};
constexpr Box kBoxes[] = {{kCmdGoodEmail, "&Good E-mail"},
                          {kCmdJunkEmail, "&Junk E-mail"},
                          {kCmdTestMessage, "&Test Message"},
                          {kCmdCheckFolder, "&Check Folder"},
                          {kCmdEmptySpamFolder, "&Empty Spam Folder"}};

std::string BoxId(int command) { return "show-" + std::to_string(command); }

}  // namespace

Dialog CustomizeToolbarDialog(const ToolbarCustomization& current) {
  Dialog d;
  d.kind = "customize-toolbar";
  d.title = "Toolbar Customization";
  d.controls.push_back({.kind = ControlKind::kLabel,
                        .id = "text",
                        .label = "Please select items which should be shown on toolbar:"});
  const std::size_t visible = std::min<std::size_t>(current.visible, current.commands.size());
  for (const Box& box : kBoxes) {
    const auto shown = current.commands.begin() + static_cast<std::ptrdiff_t>(visible);
    const bool set = std::find(current.commands.begin(), shown, box.command) != shown;
    d.controls.push_back({.kind = ControlKind::kCheckBox,
                          .id = BoxId(box.command),
                          .label = box.label,
                          .checked = set});
  }
  d.controls.push_back({.kind = ControlKind::kCheckBox,
                        .id = BoxId(kCmdOptions),
                        .label = "&Options (required)",
                        .enabled = false,
                        .checked = true});
  d.buttons = {RoleButton(ButtonRole::kOk, "OK"), RoleButton(ButtonRole::kCancel, "Cancel")};
  return d;
}

ToolbarCustomization CustomizationFromDialog(const Dialog& dialog) {
  ToolbarCustomization c;
  for (bool set : {true, false}) {
    for (const Box& box : kBoxes) {
      const Control* control = dialog.Find(BoxId(box.command));
      if ((control != nullptr && control->checked) != set) continue;
      c.commands.push_back(static_cast<std::uint16_t>(box.command));
      if (set) ++c.visible;
    }
  }
  return c;
}

}  // namespace quorvel::ui
