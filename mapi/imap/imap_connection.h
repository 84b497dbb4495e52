// ImapConnection: one logged-in connection to an IMAP4rev1 server, the only code that
// speaks to the IMAP client library. It connects (IMAPS, STARTTLS or, for loopback
// tests, plain), checks the server's certificate before the password is sent, logs in
// and offers the commands the store needs, by UID.
//
// Every response is bounded (kMaxResponseBytes per command): a server that sends a
// literal larger than that loses the connection instead of filling the memory. Any
// network or protocol failure marks the connection broken; the owner then opens a new
// one. A command the server answers with NO or BAD leaves it usable.
//
// The first Open sets SIGPIPE to be ignored where it has its default action (the IMAP
// library writes to sockets without asking for an error instead of the signal).
//
// Thread-safety: one connection is used by one thread at a time; only Abort may be
// called from another thread (it shuts the socket down so that a blocked call returns),
// and the ImapInterrupt given to Open may be triggered from any thread (it does the
// same, and also to a connection still being opened).
#ifndef QUORVEL_MAPI_IMAP_IMAP_CONNECTION_H_
#define QUORVEL_MAPI_IMAP_IMAP_CONNECTION_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapi/imap/imap_account.h"

namespace quorvel::mapi::imap {

inline constexpr std::size_t kMaxResponseBytes = 64u << 20;

enum class ImapErrorKind {
  kNone,
  kNetwork,      // cannot connect, connection lost, time-out
  kCertificate,  // the server's certificate does not verify
  kLogin,        // wrong user name or password, or no way to log in safely
  kRefused,      // the server answered NO or BAD; the connection stays usable
  kProtocol,     // a response that does not parse or is too large
};

struct ImapError {
  ImapErrorKind kind = ImapErrorKind::kNone;
  std::string text;  // for the user: what failed and what the server said
};

struct MailboxInfo {
  std::string name;  // as the server names it (modified UTF-7)
  char delimiter = 0;
  bool noSelect = false;
  std::vector<std::string> attributes;  // "\Junk", "\Sent", "\HasChildren", ...
};

struct SelectedMailbox {
  std::string name;
  std::uint32_t uidValidity = 0;
  std::uint32_t uidNext = 0;
  std::uint32_t exists = 0;
  bool keywordsAllowed = false;  // PERMANENTFLAGS holds \*
};

struct MessageSummary {
  std::uint32_t uid = 0;
  std::vector<std::string> flags;  // "\Seen", "\Draft", keywords ...
  std::uint64_t size = 0;
  std::optional<std::int64_t> internalDate;  // seconds since the Unix epoch
  std::string content;                       // the header block, or the whole message
  bool HasFlag(std::string_view flag) const;
};

class ImapInterrupt;

class ImapConnection {
 public:
  // Connects and logs in; nothing (and *error set) on failure. The socket is
  // registered with `interrupt` (may be null; it must outlive the connection) from
  // the start until the connection goes.
  static std::unique_ptr<ImapConnection> Open(const ImapAccount& account,
                                              const std::string& password, ImapError* error,
                                              ImapInterrupt* interrupt = nullptr);
  ~ImapConnection();
  ImapConnection(const ImapConnection&) = delete;
  ImapConnection& operator=(const ImapConnection&) = delete;

  bool broken() const { return broken_; }
  bool HasCapability(const char* name) const;
  const std::optional<SelectedMailbox>& selected() const { return selected_; }

  bool List(std::vector<MailboxInfo>* out, ImapError* error);
  // SELECT, or EXAMINE when `readOnly`; a mailbox already selected the same way is
  // selected again only when `refresh`.
  bool Select(const std::string& mailbox, bool readOnly, ImapError* error, bool refresh = false);
  // Messages with UIDs first..last (last 0: to the end) of the selected mailbox: UID,
  // FLAGS, RFC822.SIZE, INTERNALDATE and the header block (BODY.PEEK[HEADER]) when
  // `withHeader`; whole messages (BODY.PEEK[]) when `whole`, each cut at
  // kMaxMessageBytes (mapi/mime/input_bounds.h).
  bool Fetch(std::uint32_t first, std::uint32_t last, bool withHeader, bool whole,
             std::vector<MessageSummary>* out, ImapError* error);
  // UIDs of the selected mailbox: all, or those whose Message-ID header contains `id`
  // (any of `ids`: one SEARCH of ORs).
  bool SearchAll(std::vector<std::uint32_t>* out, ImapError* error);
  bool SearchMessageId(const std::string& id, std::vector<std::uint32_t>* out, ImapError* error);
  bool SearchMessageIds(const std::vector<std::string>& ids, std::vector<std::uint32_t>* out,
                        ImapError* error);
  bool StoreFlags(std::uint32_t uid, bool add, const std::vector<std::string>& flags,
                  ImapError* error);
  // COPY or MOVE one message into `mailbox`; *newUid is set when the server says it.
  bool Copy(std::uint32_t uid, const std::string& mailbox, std::optional<std::uint32_t>* newUid,
            ImapError* error);
  bool Move(std::uint32_t uid, const std::string& mailbox, std::optional<std::uint32_t>* newUid,
            ImapError* error);
  bool UidExpunge(std::uint32_t uid, ImapError* error);
  bool Append(const std::string& mailbox, const std::string& bytes,
              const std::vector<std::string>& flags, ImapError* error);
  bool Create(const std::string& mailbox, ImapError* error);
  bool Subscribe(const std::string& mailbox, ImapError* error);
  bool Delete(const std::string& mailbox, ImapError* error);
  bool Noop(ImapError* error);

  enum class IdleResult { kActivity, kTimeout, kStopped, kFailed };
  // IDLE in the selected mailbox until the server reports something, `seconds` pass or
  // `stopFd` becomes readable; IDLE is ended before returning.
  IdleResult Idle(int seconds, int stopFd, ImapError* error);

  // Shuts the socket down; the blocked or next call fails. Any thread.
  void Abort();

 private:
  struct Impl;
  explicit ImapConnection(std::unique_ptr<Impl> impl);
  bool Check(int code, const char* what, ImapError* error);

  std::unique_ptr<Impl> impl_;
  std::optional<SelectedMailbox> selected_;
  bool selectedReadOnly_ = false;
  bool broken_ = false;
};

}  // namespace quorvel::mapi::imap

#endif  // QUORVEL_MAPI_IMAP_IMAP_CONNECTION_H_
