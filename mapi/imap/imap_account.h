// Where an IMAP account lives and how to reach it safely, and the account's address
// in the form a profile stores it: "imaps://user@host[:port]" (TLS from the first
// byte, port 993 by default) or "imap://user@host[:port]" (STARTTLS on port 143; a
// server that does not offer it is refused). The user part may be percent-encoded
// ("me%40example.org@mail.example.org").
// Pure values and functions, thread-safe.
#ifndef QUORVEL_MAPI_IMAP_IMAP_ACCOUNT_H_
#define QUORVEL_MAPI_IMAP_IMAP_ACCOUNT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::mapi::imap {

enum class ImapSecurity {
  kImaps,     // TLS from the start
  kStartTls,  // plain connection upgraded with STARTTLS before the login
  kPlain,     // no TLS at all: only for servers on the loopback interface (tests)
};

struct ImapAccount {
  std::string host;
  std::uint16_t port = 993;
  std::string user;
  ImapSecurity security = ImapSecurity::kImaps;
  // The server's certificate must verify against the system's trusted authorities (or
  // `caFile`, when set) and name `host`. Off only when the profile says so.
  bool verifyCertificate = true;
  std::string caFile;
  int timeoutSeconds = 60;  // for connecting and for each command
};

// Parses an account address; nothing, with *error saying why, when it is not one.
std::optional<ImapAccount> ParseImapUrl(std::string_view url, std::string* error);
// The address of an account, the way ParseImapUrl reads it back.
std::string FormatImapUrl(const ImapAccount& account);

}  // namespace quorvel::mapi::imap

#endif  // QUORVEL_MAPI_IMAP_IMAP_ACCOUNT_H_
