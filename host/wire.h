// The command channel's messages and their encoding. A frame is a 4-byte
// little-endian body length followed by the body: one byte naming the message, then
// its fields. Integers are little-endian; a text is a 4-byte length and its bytes; a
// list is a 4-byte count and its items. Frames are at most kMaxFrame bytes.
//
// The format is our own and small on purpose: both ends (the command line, later the
// desktop client) speak it without a general-purpose library, and its decoder checks
// every length against what is left, so that a malformed or hostile frame is an
// error and never a crash or a huge allocation.
#ifndef QUORVEL_HOST_WIRE_H_
#define QUORVEL_HOST_WIRE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ui/dialog.h"

namespace quorvel::host::wire {

inline constexpr std::uint32_t kMaxFrame = 16u << 20;

// Client to host.
struct Run {  // run a command line in the host
  std::vector<std::string> argv;
  std::string cwd;
  bool interactive = false;  // the client can ask its user
  bool yes = false;          // --yes: every question takes its affirmative button
  // The client's standard input follows the request as a descriptor (Socket::
  // SendDescriptor), for a command line that reads it ("-").
  bool standardInput = false;
};
struct StatusRequest {};
struct Answer {  // to a MessageBox, Dialog or OpenUrl
  std::uint32_t id = 0;
  std::int32_t button = 0;
  std::vector<ui::Control> controls;  // a dialog's controls with their values
};
struct Cancel {  // the user cancelled progress `id`
  std::uint32_t id = 0;
};

// Host to client.
struct Output {
  std::uint8_t stream = 1;  // 1 standard output, 2 standard error
  std::string text;
};
struct MessageBox {
  std::uint32_t id = 0;
  std::string text, caption;
  std::uint32_t style = 0;
};
struct DialogRequest {
  std::uint32_t id = 0;
  ui::Dialog dialog;  // without its validation
};
struct ProgressUpdate {
  std::uint32_t id = 0;
  std::uint64_t done = 0, total = 0;
  std::string text;
  bool ended = false;
};
struct Notice {
  std::string title, text;
};
struct OpenUrl {
  std::uint32_t id = 0;
  std::string url;
};
struct Done {
  std::int32_t status = 0;
};
struct Status {
  std::string profile;
  std::int64_t pid = 0;
  std::int64_t since = 0;  // seconds since 1970
  bool ready = false;
  std::uint64_t judged = 0, moved = 0;
};
struct Refused {
  std::string reason;
};

using Message = std::variant<Run, StatusRequest, Answer, Cancel, Output, MessageBox, DialogRequest,
                             ProgressUpdate, Notice, OpenUrl, Done, Status, Refused>;

// The whole frame (length and body) of a message.
std::string Encode(const Message& message);
// A body (without the length); nothing when it is malformed.
std::optional<Message> Decode(std::string_view body);

}  // namespace quorvel::host::wire

#endif  // QUORVEL_HOST_WIRE_H_
