// DovecotServer: a real IMAP server for tests, started by the test itself on the
// loopback interface with a throwaway configuration in a temporary folder: no root
// services, ports of its own, a self-signed certificate made at start-up (for
// "localhost" and 127.0.0.1), users in a passwd file and their mail in Maildirs under
// the folder. The folder and the server go when the object goes.
//
// Mailboxes every user has: INBOX, Junk (\Junk), Sent (\Sent), Trash (\Trash); the
// hierarchy delimiter is "/".
//
// Thread-safety: AddUser may be called from any thread; the rest is for the test's own.
#ifndef QUORVEL_TESTING_DOVECOT_SERVER_H_
#define QUORVEL_TESTING_DOVECOT_SERVER_H_

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace quorvel::testing {

// A loopback TCP port that nothing listens on right now.
std::uint16_t FreeLoopbackPort();

class DovecotServer {
 public:
  struct Config {
    // The capabilities the server announces after login, in place of its own (to
    // test a server without MOVE or IDLE); "" keeps Dovecot's.
    std::string capabilities;
  };

  // Starts a server; nothing, with *whyNot saying why, when it cannot (for instance
  // when dovecot-imapd or openssl is not installed).
  static std::unique_ptr<DovecotServer> Start(const Config& config, std::string* whyNot);
  ~DovecotServer();
  DovecotServer(const DovecotServer&) = delete;
  DovecotServer& operator=(const DovecotServer&) = delete;

  std::uint16_t port() const { return port_; }           // plain, STARTTLS offered
  std::uint16_t tlsPort() const { return tlsPort_; }     // TLS from the first byte
  const std::string& caFile() const { return caFile_; }  // the certificate, to trust it
  const std::string& password() const { return password_; }
  // The server's log so far (for a test that fails).
  std::string Log() const;
  // A new user with empty mailboxes; its name (64 per server).
  std::string AddUser();
  // The user's Maildir (Dovecot's layout: INBOX is the root, "Junk" is ".Junk").
  std::string Maildir(const std::string& user) const { return dir_ + "/home/" + user + "/Maildir"; }

 private:
  DovecotServer() = default;

  std::string dir_;
  std::string caFile_;
  std::string password_ = "s3cret-pass";
  std::uint16_t port_ = 0;
  std::uint16_t tlsPort_ = 0;
  pid_t pid_ = -1;
  std::mutex usersMutex_;
  int users_ = 0;  // guarded by usersMutex_
};

}  // namespace quorvel::testing

#endif  // QUORVEL_TESTING_DOVECOT_SERVER_H_
