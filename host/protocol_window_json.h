// The JSON of the window messages (protocol_window.h). Used by protocol.cpp only: it
// encodes each with WindowJson and reads a known window type with ReadWindow.
#ifndef QUORVEL_HOST_PROTOCOL_WINDOW_JSON_H_
#define QUORVEL_HOST_PROTOCOL_WINDOW_JSON_H_

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>

#include "host/protocol.h"

namespace quorvel::host::protocol {

nlohmann::json WindowJson(const ListItemsRequest& m);
nlohmann::json WindowJson(const ItemList& m);
nlohmann::json WindowJson(const SelectRequest& m);
nlohmann::json WindowJson(const Selected& m);
nlohmann::json WindowJson(const CommandBarsRequest& m);
nlohmann::json WindowJson(const CommandBarList& m);
nlohmann::json WindowJson(const ClickRequest& m);
nlohmann::json WindowJson(const DialogOpen& m);
nlohmann::json WindowJson(const DialogChangeMessage& m);
nlohmann::json WindowJson(const DialogNext& m);
nlohmann::json WindowJson(const DialogClose& m);

// Reads a message of window type `type` with request id `id`; false (with *error)
// when a field is wrong; nothing read when `type` is no window type (returns true,
// *out untouched, *handled false).
bool ReadWindow(const nlohmann::json& j, std::string_view type, std::uint64_t id, Message* out,
                bool* handled, std::string* error);

}  // namespace quorvel::host::protocol

#endif  // QUORVEL_HOST_PROTOCOL_WINDOW_JSON_H_
