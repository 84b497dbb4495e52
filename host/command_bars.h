// Command bars of an explorer window: bars (toolbars and the menu bar) holding
// buttons and popups. Modelled on the Office objects `CommandBars`, `CommandBar`,
// `CommandBarControls`, `CommandBarButton` and `CommandBarPopup`.
//
// These are data that a front end renders (a desktop window draws them; the terminal
// lists them) and whose clicks it reports back: Click() runs the control's click
// handler, which the add-in sets to deliver its command identifier.
//
// Threading: the host's user-interface thread only, like the rest of the explorer.
#ifndef QUORVEL_HOST_COMMAND_BARS_H_
#define QUORVEL_HOST_COMMAND_BARS_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::host {

enum MsoBarPosition : int {
  msoBarLeft = 0,
  msoBarTop = 1,
  msoBarRight = 2,
  msoBarBottom = 3,
  msoBarFloating = 4,
  msoBarMenuBar = 6,
};
enum MsoControlType : int { msoControlButton = 1, msoControlPopup = 10 };

class CommandBarControls;

class CommandBarControl {
 public:
  explicit CommandBarControl(int type) : type_(type) {}
  int Type() const { return type_; }

  int id = 1;           // built-in control id; 1 for custom controls
  std::string caption;  // '&' marks the access key
  std::string tooltipText;
  std::string shortcutText;  // shown beside a menu item: "Ctrl+Shift+G"
  int faceId = 0;            // an icon of the built-in set
  std::string face;          // a picture of its own, 16x16, as XPM text; "" without one
  std::string tag;           // the add-in's own mark, found with FindControl
  // The add-in's own value; the command identifier a click delivers, as decimal text,
  // for a front end that clicks through the host (protocol "click").
  std::string parameter;
  bool visible = true;
  bool enabled = true;
  bool beginGroup = false;  // a separator before the control
  bool temporary = false;   // not kept when the explorer closes

  // Set by whoever created the control; Click runs it when the control is enabled.
  std::function<void(CommandBarControl&)> onClick;
  void Click();

  // A popup's own controls (empty and unused for a button).
  CommandBarControls& Controls();

 private:
  const int type_;
  std::shared_ptr<CommandBarControls> controls_;
};

class CommandBarControls {
 public:
  int Count() const { return static_cast<int>(controls_.size()); }
  // From 1; null past the end.
  std::shared_ptr<CommandBarControl> Item(int index) const;
  // Inserts before the control at `before` (from 1), or at the end when 0.
  std::shared_ptr<CommandBarControl> Add(int type, int before = 0, bool temporary = false);
  void Remove(const std::shared_ptr<CommandBarControl>& control);
  // Puts `control` (taken out of this collection first, when it is in it) before the
  // control at `before` (from 1), or at the end when 0 (Office's Control.Move).
  void Move(const std::shared_ptr<CommandBarControl>& control, int before = 0);
  // Depth-first over popups: the first control with this tag, or null.
  std::shared_ptr<CommandBarControl> FindByTag(const std::string& tag) const;
  const std::vector<std::shared_ptr<CommandBarControl>>& all() const { return controls_; }

 private:
  std::vector<std::shared_ptr<CommandBarControl>> controls_;
};

class CommandBar {
 public:
  explicit CommandBar(std::string name) : name_(std::move(name)) {}
  const std::string& Name() const { return name_; }
  CommandBarControls& Controls() { return controls_; }

  int position = msoBarTop;
  int left = 0, top = 0, rowIndex = 0, width = 0, height = 0;
  bool visible = true;
  bool temporary = false;

 private:
  const std::string name_;
  CommandBarControls controls_;
};

// A key of the window's key table and the command it delivers.
struct Accelerator {
  std::string keys;  // "Ctrl+Alt+F"
  int command = 0;
};

class CommandBars {
 public:
  CommandBars();  // with the window's "Menu Bar"
  int Count() const { return static_cast<int>(bars_.size()); }
  std::shared_ptr<CommandBar> Item(int index) const;  // from 1
  // By name (case-insensitive); null when there is none.
  std::shared_ptr<CommandBar> Item(const std::string& name) const;
  // A new bar; null when one of that name exists.
  std::shared_ptr<CommandBar> Add(const std::string& name, int position = msoBarTop,
                                  bool temporary = false);
  void Delete(const std::string& name);
  std::shared_ptr<CommandBar> ActiveMenuBar() const { return bars_.front(); }
  // The first control with this tag on any bar, or null.
  std::shared_ptr<CommandBarControl> FindControl(const std::string& tag) const;

  // The window's key table, set by the add-in; a front end sends a key's command as a
  // click.
  std::vector<Accelerator> accelerators;

 private:
  std::vector<std::shared_ptr<CommandBar>> bars_;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_COMMAND_BARS_H_
