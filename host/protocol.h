// The host protocol: the messages between a host and its clients (the command line,
// a desktop front end, any script), as plain structs, and their encoding. docs/
// protocol.md describes it for other programs.
//
// A frame is a 4-byte little-endian body length (1 to kMaxFrame) and a body that is
// one JSON object, UTF-8, with a "type". This file and its .cpp are the only code in
// host/ that knows JSON; the rest sees these structs.
//
// Versions: a hello opens every connection, with the protocol's (major, minor). A
// different major is refused with both versions named; within a major, a reader skips
// fields it does not know, and a message type it does not know comes back as
// Decoded::kUnknown so that the reader can skip it (a client) or answer that it is not
// served (the host).
#ifndef QUORVEL_HOST_PROTOCOL_H_
#define QUORVEL_HOST_PROTOCOL_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "host/outcome.h"
#include "host/protocol_window.h"
#include "ui/dialog.h"

namespace quorvel::host::protocol {

inline constexpr int kMajor = 2;
inline constexpr int kMinor = 2;
inline constexpr std::uint32_t kMaxFrame = 16u << 20;

// Both directions: the first message of a connection.
struct Hello {
  int major = kMajor, minor = kMinor;
  std::string software{};  // "quorvel 0.1.0", or the client's own name
  std::vector<std::string> capabilities{};
  std::string profile{};  // the host's profile (host to client only)
};

// Client to host. Every request has an `id` chosen by the client; what answers it
// repeats the id.
struct RunRequest {  // run a command line; answered by output, questions and Done
  std::uint64_t id = 0;
  std::vector<std::string> argv{};
  std::string cwd{};         // relative paths of the command line are resolved here
  bool interactive = false;  // the client can ask its user
  bool yes = false;          // --yes: every question takes its affirmative button
  // The client's standard input follows the frame as a descriptor (SCM_RIGHTS).
  bool standardInput = false;
};
struct StatusRequest {
  std::uint64_t id = 0;
};
struct Subscribe {  // answered by Subscribed; events then come as Event
  std::uint64_t id = 0;
  std::vector<std::string> events{};  // event kinds, or "*" for all
};
struct CancelRequest {  // cancels the running request `id`
  std::uint64_t id = 0;
};
struct Answer {  // to a MessageBox, DialogRequest or OpenUrl of request `id`
  std::uint64_t id = 0;
  std::uint64_t question = 0;
  std::int32_t button = 0;
  std::vector<ui::Control> controls{};  // a dialog's controls with their values
  std::string page{};  // a dialog kept open: the page shown when the button was pressed
  // A sheet kept open: the values of its other pages, which the user may have changed
  // on their tabs before pressing a button on this one.
  std::vector<std::pair<std::string, std::vector<ui::Control>>> otherPages{};
};
struct CancelProgress {  // the user cancelled progress `progress` of request `id`
  std::uint64_t id = 0;
  std::uint64_t progress = 0;
};

struct ListFoldersRequest {  // answered by FolderList
  std::uint64_t id = 0;
};
struct ListPendingRequest {  // answered by PendingList
  std::uint64_t id = 0;
};
// Takes pending interaction `pending` for this connection: answered by a MessageBox or
// DialogRequest (its `question` is `pending`) that the client answers with Answer,
// then Done; or by Error ("not-found": gone; "busy": another client holds it).
struct TakePending {
  std::uint64_t id = 0, pending = 0;
};

// Host to client.
struct FolderEntry {
  std::string id{};    // the folder's entry id, hexadecimal
  std::string name{};  // UTF-8
  std::string path{};  // names from the top, joined by '/'
  std::int64_t items = 0;
};
struct FolderList {
  std::uint64_t id = 0;
  std::vector<FolderEntry> folders{};
};
struct PendingEntry {
  std::uint64_t pending = 0;
  std::string kind{};   // "message-box", "dialog", "wizard", "exception-report"
  std::string title{};  // UTF-8
  bool taken = false;   // a client holds it
};
struct PendingList {
  std::uint64_t id = 0;
  std::vector<PendingEntry> pending{};
};
struct Output {
  std::uint64_t id = 0;
  int stream = 1;  // 1 standard output, 2 standard error
  std::string text{};
};
struct MessageBox {
  std::uint64_t id = 0, question = 0;
  std::string text{}, caption{};
  std::uint32_t style = 0;
};
struct DialogRequest {
  std::uint64_t id = 0, question = 0;
  ui::Dialog dialog{};  // without its validation
};
struct OpenUrl {
  std::uint64_t id = 0, question = 0;
  std::string url{};
};
struct ProgressUpdate {
  std::uint64_t id = 0, progress = 0;
  std::uint64_t done = 0, total = 0;
  std::string text{};
  bool ended = false;
};
struct Notice {
  std::uint64_t id = 0;
  std::string title{}, text{};
};
struct Done {  // request `id` ended: a command line's exit status and how it ended
  std::uint64_t id = 0;
  std::int32_t status = 0;
  Outcome outcome{};
};
struct StoreStatus {
  std::string store{};     // its name, as the store calls itself ("me@mail.example.org")
  std::string state{};     // "connected", "reconnecting"
  std::int64_t since = 0;  // seconds since 1970: since when in that state
  std::string error{};     // the last connection error ("" when none)
};
struct Status {
  std::uint64_t id = 0;
  std::string profile{};
  std::int64_t pid = 0;
  std::int64_t since = 0;  // seconds since 1970
  // "starting", "ready", "degraded", "not-registered", "stopping"
  std::string state{};
  std::uint64_t judged = 0, moved = 0;
  std::uint64_t clients = 0, jobs = 0, events = 0, pending = 0;
  std::uint64_t queued = 0;           // new messages waiting to be judged
  std::vector<StoreStatus> stores{};  // the stores that have a connection to keep
};
struct Subscribed {
  std::uint64_t id = 0;
  std::vector<std::string> events{};
};
// Something that happened in the host, pushed to subscribers. Fields are texts.
struct Event {
  std::string event{};  // "spam-moved", "host-status", "store", "message", "stopping", ...
  std::vector<std::pair<std::string, std::string>> fields{};
};
// A request (id 0: the connection itself) that is refused or failed.
struct Error {
  std::uint64_t id = 0;
  Outcome outcome{};
};

using Message =
    std::variant<Hello, RunRequest, StatusRequest, Subscribe, CancelRequest, Answer, CancelProgress,
                 Output, MessageBox, DialogRequest, OpenUrl, ProgressUpdate, Notice, Done, Status,
                 Subscribed, Event, Error, ListFoldersRequest, FolderList, ListPendingRequest,
                 PendingList, TakePending, ListItemsRequest, ItemList, SelectRequest, Selected,
                 CommandBarsRequest, CommandBarList, ClickRequest, DialogOpen, DialogChangeMessage,
                 DialogNext, DialogClose>;

// A message's "type" on the wire ("hello", "run", ...).
std::string_view TypeName(const Message& message);

// The whole frame (length and body) of a message.
std::string Encode(const Message& message);

struct Decoded {
  enum Kind { kMessage, kUnknown, kMalformed } kind = kMalformed;
  Message message{};
  std::string type{};    // the "type" read (kUnknown: the one not known)
  std::uint64_t id = 0;  // the "id" read, when there was one
  std::string error{};   // kMalformed: what is wrong
};
// A body (without its length).
Decoded Decode(std::string_view body);

// A body that is not JSON at all: the first frame of a client of the first protocol,
// whose bodies start with a binary tag. The frame refuses it in that protocol's own
// terms, so that such a client prints `reason`.
bool IsFirstProtocolBody(std::string_view body);
std::string FirstProtocolRefusal(std::string_view reason);

}  // namespace quorvel::host::protocol

#endif  // QUORVEL_HOST_PROTOCOL_H_
