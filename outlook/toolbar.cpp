#include "outlook/toolbar.h"

#include <algorithm>

#include "settings/settings_store.h"
#include "ui/customize_toolbar.h"
#include "ui/image_strip.h"
#include "ui/toolbar_commands.h"

namespace quorvel::outlook {
namespace {

std::string Tag(int command) {
  return std::string(ui::kToolbarName) + "-Item-" + std::to_string(command);
}

std::shared_ptr<host::CommandBar> Bar(host::CommandBars& bars) {
  return bars.Item(std::string(ui::kToolbarName));
}

int CommandOf(const host::CommandBarControl& control) {
  int command = 0;
  for (char c : control.parameter) command = c >= '0' && c <= '9' ? command * 10 + (c - '0') : 0;
  return command;
}

void Describe(host::CommandBarControl& control, int command, const std::string& imageStrip,
              const std::function<void(int)>& click) {
  const ui::CommandText* text = ui::FindCommand(command);
  const ui::CommandParts parts = ui::SplitCommandText(text->resource);
  control.caption = std::string(parts.caption);
  control.tooltipText = std::string(parts.tooltip);
  control.shortcutText = std::string(parts.shortcut);
  if (text->image >= 0 && !imageStrip.empty()) {
    control.face = ui::XpmFace(imageStrip, text->image, ui::kImageSize, ui::kTransparentColour);
  }
  control.tag = Tag(command);
  control.parameter = std::to_string(command);
  control.onClick = [click, command](host::CommandBarControl&) {
    if (click) click(command);
  };
}

// Puts the bar's controls in the layout's order with its states.
void ApplyLayout(host::CommandBar& bar, const ui::ToolbarLayout& layout) {
  const std::vector<std::shared_ptr<host::CommandBarControl>> controls = bar.Controls().all();
  for (const ui::ToolbarButton& button : layout.buttons) {
    auto it = std::find_if(controls.begin(), controls.end(),
                           [&](const auto& c) { return CommandOf(*c) == button.command; });
    if (it == controls.end()) continue;
    host::CommandBarControl& c = **it;
    c.visible = (button.state & ui::kButtonHidden) == 0;
    c.enabled = (button.state & ui::kButtonDisabled) == 0;
    c.beginGroup = (button.state & ui::kButtonGroup) != 0;
    bar.Controls().Move(*it);  // to the end: in the layout's order at last
  }
}

std::vector<std::uint8_t> ValueBytes(platform::Registry& registry, const char* name, bool* binary) {
  platform::RegValue value;
  *binary = false;
  if (registry.QueryValue(platform::RegRoot::kCurrentUser, kSettingsKey, name, &value) !=
      platform::ERROR_SUCCESS) {
    return {};
  }
  *binary = value.type == platform::REG_BINARY;
  return value.data;
}

}  // namespace

void BuildToolbar(host::CommandBars& bars, const std::string& imageStrip,
                  std::function<void(int)> click) {
  if (Bar(bars)) return;
  auto bar = bars.Add(std::string(ui::kToolbarName), host::msoBarTop, /*temporary=*/true);
  for (int command : ui::kToolbarButtons) {
    Describe(*bar->Controls().Add(host::msoControlButton, 0, true), command, imageStrip, click);
  }
  auto menu = bars.ActiveMenuBar()->Controls().Add(host::msoControlPopup, 0, true);
  menu->caption = std::string(ui::kMenuCaption);
  menu->tag = Tag(0);
  bool group = false;
  for (int command : ui::kMenuItems) {
    if (command == 0) {
      group = true;
      continue;
    }
    auto item = menu->Controls().Add(host::msoControlButton, 0, true);
    Describe(*item, command, imageStrip, click);
    item->caption = std::string(ui::FindCommand(command)->menuItem);
    // FindControl of a button's tag finds the button, not the menu's item.
    item->tag = std::string(ui::kToolbarName) + "-Menu-" + std::to_string(command);
    item->beginGroup = group;
    group = false;
  }
  bars.accelerators.clear();
  for (const ui::KeyCommand& key : ui::kKeyTable) {
    bars.accelerators.push_back({std::string("Ctrl+Alt+") + key.letter, key.command});
  }
}

ui::ToolbarLayout ToolbarLayoutOf(host::CommandBars& bars) {
  ui::ToolbarLayout layout;
  auto bar = Bar(bars);
  if (!bar) return layout;
  for (const auto& control : bar->Controls().all()) {
    const int command = CommandOf(*control);
    std::uint32_t state = 0;
    if (!control->visible) state |= ui::kButtonHidden;
    if (!control->enabled) state |= ui::kButtonDisabled;
    if (control->beginGroup) state |= ui::kButtonGroup;
    if (command == ui::kCmdOptions) state |= ui::kButtonFixed;
    layout.buttons.push_back({command, state});
  }
  return layout;
}

bool ApplyToolbarCustomization(host::CommandBars& bars, const ui::ToolbarCustomization& c) {
  auto bar = Bar(bars);
  if (!bar) return false;
  ui::ToolbarLayout layout = ToolbarLayoutOf(bars);
  if (!ui::ApplyCustomization(layout, c)) return false;
  ApplyLayout(*bar, layout);
  return true;
}

void LoadToolbarState(host::CommandBars& bars, platform::Registry& registry) {
  auto bar = Bar(bars);
  if (!bar) return;
  bool binary = false;
  std::vector<std::uint8_t> bytes = ValueBytes(registry, kToolbarPositionValue, &binary);
  ui::ToolbarPosition position = ui::ToolbarPosition{};
  if (binary) position = ui::DecodePosition(bytes).value_or(ui::ToolbarPosition{});
  bar->rowIndex = position.rowIndex;
  bar->position = position.position;
  bar->left = position.left;
  bar->top = position.top;
  bar->visible = ui::PositionVisible(position);

  bytes = ValueBytes(registry, kToolbarCustomizationValue, &binary);
  std::optional<ui::ToolbarCustomization> c;
  if (binary) c = ui::DecodeCustomization(bytes);
  if (!c || !ApplyToolbarCustomization(bars, *c)) {
    ApplyToolbarCustomization(bars, ui::DefaultCustomization());
  }
}

long SaveToolbarState(host::CommandBars& bars, platform::Registry& registry) {
  auto bar = Bar(bars);
  if (!bar) return platform::ERROR_FILE_NOT_FOUND;
  ui::ToolbarPosition position;
  position.rowIndex = bar->rowIndex;
  position.position = bar->position;
  position.left = bar->left;
  position.top = bar->top;
  position.visible = bar->visible ? -1 : 0;
  return registry.SetValues(
      platform::RegRoot::kCurrentUser, kSettingsKey,
      {{kToolbarPositionValue, platform::RegValue::Binary(ui::EncodePosition(position))},
       {kToolbarCustomizationValue, platform::RegValue::Binary(ui::EncodeCustomization(
                                        ui::CurrentCustomization(ToolbarLayoutOf(bars))))}});
}

void CustomizeToolbar(host::Application& application, platform::Registry& registry) {
  std::optional<ui::ToolbarCustomization> current;
  application.loop().Call([&] {
    if (auto window = application.ActiveExplorer(); window && Bar(window->CommandBars())) {
      current = ui::CurrentCustomization(ToolbarLayoutOf(window->CommandBars()));
    }
  });
  if (!current) return;
  ui::Dialog dialog = ui::CustomizeToolbarDialog(*current);
  if (ui::RunDialog(application.Presenter(), dialog) != platform::IDOK) return;
  const ui::ToolbarCustomization chosen = ui::CustomizationFromDialog(dialog);
  application.loop().Call([&] {
    auto window = application.ActiveExplorer();
    if (!window || !ApplyToolbarCustomization(window->CommandBars(), chosen)) return;
    SaveToolbarState(window->CommandBars(), registry);
  });
}

void AttachToolbar(AddInServices& services, platform::Registry& registry, std::string imageStrip) {
  services.buildCommandBars = [&registry, imageStrip](host::Explorer& window,
                                                      std::function<void(int)> click) {
    BuildToolbar(window.CommandBars(), imageStrip, std::move(click));
    LoadToolbarState(window.CommandBars(), registry);
  };
  services.releaseCommandBars = [&registry](host::Explorer& window) {
    host::CommandBars& bars = window.CommandBars();
    if (!Bar(bars)) return;
    SaveToolbarState(bars, registry);
    bars.Delete(std::string(ui::kToolbarName));
    if (auto menu = bars.ActiveMenuBar()->Controls().FindByTag(Tag(0))) {
      bars.ActiveMenuBar()->Controls().Remove(menu);
    }
    bars.accelerators.clear();
  };
  services.customizeToolbar = [&registry](host::Application& application) {
    CustomizeToolbar(application, registry);
  };
}

}  // namespace quorvel::outlook
