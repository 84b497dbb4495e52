#include "host/command_bars.h"

#include <algorithm>

#include "platform/code_page.h"

namespace quorvel::host {

void CommandBarControl::Click() {
  if (enabled && visible && onClick) onClick(*this);
}

CommandBarControls& CommandBarControl::Controls() {
  if (!controls_) controls_ = std::make_shared<CommandBarControls>();
  return *controls_;
}

std::shared_ptr<CommandBarControl> CommandBarControls::Item(int index) const {
  if (index < 1 || index > Count()) return nullptr;
  return controls_[static_cast<std::size_t>(index - 1)];
}

std::shared_ptr<CommandBarControl> CommandBarControls::Add(int type, int before, bool temporary) {
  auto control = std::make_shared<CommandBarControl>(type);
  control->temporary = temporary;
  auto at = (before >= 1 && before <= Count()) ? controls_.begin() + (before - 1) : controls_.end();
  controls_.insert(at, control);
  return control;
}

void CommandBarControls::Remove(const std::shared_ptr<CommandBarControl>& control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

void CommandBarControls::Move(const std::shared_ptr<CommandBarControl>& control, int before) {
  Remove(control);
  auto at = (before >= 1 && before <= Count()) ? controls_.begin() + (before - 1) : controls_.end();
  controls_.insert(at, control);
}

std::shared_ptr<CommandBarControl> CommandBarControls::FindByTag(const std::string& tag) const {
  for (const auto& control : controls_) {
    if (control->tag == tag) return control;
    if (control->Type() == msoControlPopup) {
      if (auto found = control->Controls().FindByTag(tag)) return found;
    }
  }
  return nullptr;
}

CommandBars::CommandBars() {
  auto menu = std::make_shared<CommandBar>("Menu Bar");
  menu->position = msoBarMenuBar;
  bars_.push_back(menu);
}

std::shared_ptr<CommandBar> CommandBars::Item(int index) const {
  if (index < 1 || index > Count()) return nullptr;
  return bars_[static_cast<std::size_t>(index - 1)];
}

std::shared_ptr<CommandBar> CommandBars::Item(const std::string& name) const {
  for (const auto& bar : bars_) {
    if (platform::CompareNoCase(bar->Name(), name) == 0) return bar;
  }
  return nullptr;
}

std::shared_ptr<CommandBar> CommandBars::Add(const std::string& name, int position,
                                             bool temporary) {
  if (Item(name)) return nullptr;
  auto bar = std::make_shared<CommandBar>(name);
  bar->position = position;
  bar->temporary = temporary;
  bars_.push_back(bar);
  return bar;
}

void CommandBars::Delete(const std::string& name) {
  auto bar = Item(name);
  if (bar && bar != bars_.front()) bars_.erase(std::find(bars_.begin(), bars_.end(), bar));
}

std::shared_ptr<CommandBarControl> CommandBars::FindControl(const std::string& tag) const {
  for (const auto& bar : bars_) {
    if (auto found = bar->Controls().FindByTag(tag)) return found;
  }
  return nullptr;
}

}  // namespace quorvel::host
