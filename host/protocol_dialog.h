// The JSON of a dialog model and its controls (ui/dialog.h), for the host protocol:
// every field of ui::Dialog and ui::Control but the validation, which stays with the
// model's owner. Used by protocol.cpp only.
//
// A control's kind travels by name ("label", "check-box", "text-box", "choice",
// "list"); a kind this version does not know is read as ControlKind::kOther (shown as
// a label), a button's role ("plain", "ok", "cancel", "apply", "back", "next",
// "finish", "help", "sort") and a dialog's style ("plain", "sheet", "wizard") it does not know
// as plain; a field of the wrong JSON type makes the dialog malformed; fields this
// version does not know are skipped. Keep marks travel only for a list that has them.
#ifndef QUORVEL_HOST_PROTOCOL_DIALOG_H_
#define QUORVEL_HOST_PROTOCOL_DIALOG_H_

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "ui/dialog.h"
#include "ui/dialog_change.h"

namespace quorvel::host::protocol {

nlohmann::json DialogJson(const ui::Dialog& dialog);
nlohmann::json ControlsJson(const std::vector<ui::Control>& controls);
// False (with *error) when `json` is no dialog, or no list of controls.
bool DialogFromJson(const nlohmann::json& json, ui::Dialog* dialog, std::string* error);
bool ControlsFromJson(const nlohmann::json& json, std::vector<ui::Control>* controls,
                      std::string* error);
// A change to a dialog kept open (ui/dialog_change.h); "kind" names it ("rows-inserted",
// "rows-changed", "rows-removed", "control", "button", "page"), an unknown one is
// malformed.
nlohmann::json ChangeJson(const ui::DialogChange& change);
bool ChangeFromJson(const nlohmann::json& json, ui::DialogChange* change, std::string* error);

}  // namespace quorvel::host::protocol

#endif  // QUORVEL_HOST_PROTOCOL_DIALOG_H_
