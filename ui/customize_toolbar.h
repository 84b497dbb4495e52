// The "Toolbar Customization" dialog: a check box for each customizable button (set
// for the visible ones) and a fixed "&Options (required)", OK and Cancel. Its answer
// is a customization naming the boxes in their fixed order, the set ones first.
#ifndef QUORVEL_UI_CUSTOMIZE_TOOLBAR_H_
#define QUORVEL_UI_CUSTOMIZE_TOOLBAR_H_

#include "ui/dialog.h"
#include "ui/toolbar_layout.h"

namespace quorvel::ui {

// The dialog for `current` (the first `visible` of its commands are set).
Dialog CustomizeToolbarDialog(const ToolbarCustomization& current);
// What the boxes of `dialog` say: the set ones, then the clear ones, each in the order
// Good E-mail, Junk E-mail, Test Message, Check Folder, Empty Spam Folder.
ToolbarCustomization CustomizationFromDialog(const Dialog& dialog);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_CUSTOMIZE_TOOLBAR_H_
