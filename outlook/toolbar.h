// The add-in's toolbar, menu and keys on a window's command bars, and the two records
// that keep the toolbar's place and customization (ToolbarPosition and
// ToolbarCustomization beside the settings, under kSettingsKey of HKEY_CURRENT_USER;
// ui/toolbar_layout.h has their formats).
//
// Building puts the "Quorvel" bar (Good E-mail, Junk E-mail, Test Message, Check
// Folder, Empty Spam Folder, Options) on the window: each button with its caption,
// tooltip and shortcut text, its face from the image strip, the tag "Quorvel-Item-<id>"
// and the command id as its parameter (what a front end's click sends); Options
// fixed. Then the "&Quorvel" menu on the menu bar (its items tagged "Quorvel-Menu-<id>")
// and the window's key table. Then
// the records are loaded and applied: a position that is not exactly 24 bytes of
// REG_BINARY, or a customization that does not decode or does not apply, gives the
// default.
//
// Threading: every function that takes command bars runs on the user-interface
// thread; CustomizeToolbar runs its dialog on the caller's thread and reaches the
// window through the application's loop.
#ifndef QUORVEL_OUTLOOK_TOOLBAR_H_
#define QUORVEL_OUTLOOK_TOOLBAR_H_

#include <functional>
#include <string>

#include "host/application.h"
#include "host/command_bars.h"
#include "outlook/add_in.h"
#include "platform/registry.h"
#include "ui/toolbar_layout.h"

namespace quorvel::outlook {

inline constexpr const char* kToolbarCustomizationValue = "ToolbarCustomization";
inline constexpr const char* kToolbarPositionValue = "ToolbarPosition";

// Builds the bar, the menu and the keys on `bars` (nothing when the bar is there
// already); `imageStrip` is the strip's XPM text ("" : buttons without faces). Each
// control's click runs `click` with its command id.
void BuildToolbar(host::CommandBars& bars, const std::string& imageStrip,
                  std::function<void(int)> click);
// The bar's buttons as a layout (null bar: empty).
ui::ToolbarLayout ToolbarLayoutOf(host::CommandBars& bars);
// Lays the bar out as `c` says; false, nothing changed, when `c` does not apply.
bool ApplyToolbarCustomization(host::CommandBars& bars, const ui::ToolbarCustomization& c);
// Reads both records and applies them (the defaults where they are missing or bad).
void LoadToolbarState(host::CommandBars& bars, platform::Registry& registry);
// Writes both records from the bar as it stands; the registry's result code.
long SaveToolbarState(host::CommandBars& bars, platform::Registry& registry);
// The "Toolbar Customization" dialog for the window in front, asked through the
// application's presenter; OK applies the choice and saves both records.
void CustomizeToolbar(host::Application& application, platform::Registry& registry);

// Fills the add-in's toolbar services: build and load at a window's start, save and
// remove when it closes or the add-in shuts down, the customize dialog.
// REQUIRES: `registry` outlives the add-in.
void AttachToolbar(AddInServices& services, platform::Registry& registry, std::string imageStrip);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_TOOLBAR_H_
