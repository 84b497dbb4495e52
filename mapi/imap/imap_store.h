// An IMAP4rev1 account as one message store of the mail-store layer.
//
// The Inbox ("INBOX") is the root folder; the account's other mailboxes are its
// subfolders, levels split at the server's hierarchy delimiter (a top-level "Junk" is
// a child of the Inbox, "Archive/2024" a child of "Archive"). Mailboxes the server marks
// \Sent and \Trash are the store's Sent Items and Deleted Items; creating a folder
// "Spam" in the Inbox where the server has a \Junk mailbox opens that mailbox instead.
// Entry ids are described in imap_names.h.
//
// What the store does:
//   - contents tables (one fetch per folder; every message is read with BODY.PEEK,
//     so nothing becomes \Seen by being read; restricted to Message-IDs before they
//     are read, one SEARCH instead, imap_contents.h) and hierarchy tables from LIST
//     (the Inbox's listed afresh each time, so that mailboxes other clients made show);
//   - CopyMessages: COPY, or with MESSAGE_MOVE the MOVE command; where the server
//     lacks MOVE, COPY + STORE \Deleted + UID EXPUNGE (without UIDPLUS the original is
//     left marked \Deleted rather than expunging other messages). A connection lost
//     in the middle is reconnected and the outcome checked on the server before
//     anything is repeated or deleted: a message is never lost, and is left in two
//     places only where its copy cannot be told apart (no Message-ID);
//   - the read flag is \Seen, \Draft and the \Drafts mailbox read as MSGFLAG_UNSENT;
//   - SetProps + SaveChanges on a message keep numbers, Booleans and short strings as
//     keywords (the own-message mark);
//   - Advise: new mail in the Inbox, seen with IDLE on a connection of its own (a NOOP
//     every poll interval where IDLE is missing), is reported as fnevNewMail and
//     fnevObjectCreated; the store's own moves, copies, deletes, flag changes and new
//     folders as fnevObjectMoved, fnevObjectCopied, fnevObjectDeleted,
//     fnevObjectModified and fnevObjectCreated. Sinks are called on a thread of the
//     store;
//   - a lost connection is opened again at the next call; while the server cannot be
//     reached, calls fail at once with MAPI_E_NETWORK_ERROR and new attempts wait 1,
//     2, 4 ... up to 300 seconds. LastImapError says what went wrong, for the user.
// It is a server store: PR_MDB_PROVIDER names the primary server mailbox and
// PR_STORE_LOCAL_COPY is true, as for a server mailbox with a local copy.
// Not offered: CreateMessage, receive folders other than the Inbox, named properties.
//
// Thread-safety: the store may be used from many threads through separately opened
// objects; commands to the server are sent one at a time.
#ifndef QUORVEL_MAPI_IMAP_IMAP_STORE_H_
#define QUORVEL_MAPI_IMAP_IMAP_STORE_H_

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "mapi/imap/imap_account.h"
#include "mapi/imap/password_source.h"
#include "mapi/store.h"

namespace quorvel::mapi {

// The server cannot be reached, or the connection to it was lost (the messaging
// system's own code for a network failure).
inline constexpr HRESULT MAPI_E_NETWORK_ERROR = MakeResult(0x80040115);

// The watcher's connection to the server was lost or is back.
struct ImapLinkChange {
  bool connected = false;
  std::string reason;  // lost: what happened, for the user
};

struct ImapStoreOptions {
  imap::ImapAccount account;
  imap::PasswordSource password;
  std::string accountAddress;  // PR_RECEIVED_BY_EMAIL_ADDRESS; default: the user if it has an @
  std::string displayName;     // the store's PR_DISPLAY_NAME; default: "user@host"
  bool watch = true;           // report new mail in the Inbox
  // IDLE is ended and renewed this often, and the server must answer its end (or a
  // NOOP) within answerSeconds: a connection that went dead without a word is found
  // within their sum (with TCP keepalive beside it).
  int idleSeconds = 25;
  int answerSeconds = 25;
  int pollSeconds = 25;     // NOOP interval where the server has no IDLE
  int retryMinSeconds = 1;  // first wait after a failed connection attempt
  int retryMaxSeconds = 300;
  // Where the store says what it did beside what was asked (a move that an earlier
  // run left half done, finished); called on the calling thread. Empty: nowhere.
  std::function<void(const std::string&)> log = {};
  // Called on the watcher's thread each time its connection is lost (with the
  // reason) and each time it is back; not called for the first connection.
  std::function<void(const ImapLinkChange&)> linkChanged = {};
};

// Connects and logs in once, so that a wrong address, password or certificate is
// reported now: MAPI_E_LOGON_FAILED (wrong password, certificate that does not
// verify, no password) or MAPI_E_NETWORK_ERROR, with *error saying why.
Result<std::shared_ptr<MsgStore>> OpenImapStore(const ImapStoreOptions& options,
                                                std::string* error = nullptr);

// Ends the store's traffic with the server for good, for the end of the process: the
// operation in progress is given up to `grace` to be answered, then every connection
// (the Inbox watcher's too) is shut down, one blocked on a server that does not answer
// included. Calls fail at once with MAPI_E_NETWORK_ERROR from then on. Any thread;
// nothing for a store that is not an IMAP store.
void StopImapStore(MsgStore& store, std::chrono::milliseconds grace);

// What went wrong with the store's last failed call or connection, "" when nothing
// has (or when `store` is not an IMAP store).
std::string LastImapError(MsgStore& store);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_IMAP_IMAP_STORE_H_
