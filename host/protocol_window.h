// The protocol's messages for a front end that shows the host's window: a folder's
// items a range of rows at a time, the selection, the command bars with their key
// table, a click of a command, and a dialog kept open across the channel. Plain
// structs; protocol.h puts them into its Message and docs/protocol.md describes them.
#ifndef QUORVEL_HOST_PROTOCOL_WINDOW_H_
#define QUORVEL_HOST_PROTOCOL_WINDOW_H_

#include <cstdint>
#include <string>
#include <vector>

#include "ui/dialog.h"
#include "ui/dialog_change.h"

namespace quorvel::host::protocol {

// At most this many rows travel in one `items` answer, however many are asked for.
inline constexpr std::uint32_t kMaxItemsPerRequest = 1000;

// Client to host: rows `first` .. `first + count - 1` of a folder (count 0: as many as
// one answer carries). `folder` is an entry id or a path ("Inbox/Spam").
struct ListItemsRequest {
  std::uint64_t id = 0;
  std::string folder{};
  std::uint32_t first = 0, count = 0;
};
struct ItemEntry {
  std::string id{};    // entry id, hexadecimal: what select and click take
  std::string name{};  // the name the command line takes (a file, FOLDER/UID, an id)
  std::string senderName{}, senderAddress{}, subject{};  // UTF-8
  std::int64_t received = 0;                             // seconds since 1970; 0 unknown
  bool read = false;
  std::int64_t size = -1;  // bytes; -1 unknown
};
struct ItemList {
  std::uint64_t id = 0;
  std::string folder{};  // entry id
  std::string path{};
  std::int64_t total = 0;  // rows in the folder
  std::uint32_t first = 0;
  std::vector<ItemEntry> items{};
};

// Client to host: the window shows `folder` (empty: the one it shows) with `items`
// (entry ids) selected; the add-in hears SelectionChange. Answered by Selected.
struct SelectRequest {
  std::uint64_t id = 0;
  std::string folder{};
  std::vector<std::string> items{};
};
struct Selected {
  std::uint64_t id = 0;
  std::string folder{};              // entry id of the folder shown
  std::vector<std::string> items{};  // the items selected now
};

// Client to host: the window's command bars. Answered by CommandBarList.
struct CommandBarsRequest {
  std::uint64_t id = 0;
};
struct BarControl {
  std::string type{};  // "button", "popup"; a reader takes a type it does not know as a button
  std::string caption{}, tooltip{}, shortcut{}, tag{};
  std::int32_t command = 0;  // what a click delivers (click's `command`); 0: nothing
  std::string face{};        // a 16x16 picture as XPM text; "" without one
  bool visible = true, enabled = true, beginGroup = false;
  std::vector<BarControl> controls{};  // a popup's
};
struct Bar {
  std::string name{};
  std::int32_t position = 1;  // 0 left, 1 top, 2 right, 3 bottom, 4 floating, 6 menu bar
  bool visible = true;
  std::int32_t rowIndex = 0, left = 0, top = 0;
  std::vector<BarControl> controls{};
};
struct KeyBinding {
  std::string keys{};  // "Ctrl+Alt+F"
  std::int32_t command = 0;
};
struct CommandBarList {
  std::uint64_t id = 0;
  std::vector<Bar> bars{};  // the menu bar first
  std::vector<KeyBinding> keys{};
};

// Client to host: runs command `command` as a click in the window does, through the
// add-in's command handler, with `folder` and `items` (entry ids) as the selection, or
// the window's folder and selection when `folder` is empty. Answered as a run is: its
// questions, progress and notices, then Done.
struct ClickRequest {
  std::uint64_t id = 0;
  std::int32_t command = 0;
  std::string folder{};
  std::vector<std::string> items{};
  bool interactive = false, yes = false;
};

// Host to client: a dialog kept open for request `id`. DialogOpen shows it;
// DialogChange changes it in place; DialogNext asks for the user's next press, which
// comes back as an Answer (its button, the shown page's controls and the page);
// DialogClose ends it. `question` names the dialog among the request's.
struct DialogOpen {
  std::uint64_t id = 0, question = 0;
  ui::Dialog dialog{};
};
struct DialogChangeMessage {
  std::uint64_t id = 0, question = 0;
  ui::DialogChange change{};
};
struct DialogNext {
  std::uint64_t id = 0, question = 0;
};
struct DialogClose {
  std::uint64_t id = 0, question = 0;
};

}  // namespace quorvel::host::protocol

#endif  // QUORVEL_HOST_PROTOCOL_WINDOW_H_
