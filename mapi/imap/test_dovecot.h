// Test helper (included by the *_test.cpp files only): the Dovecot servers the IMAP
// tests run against, started once per test program, and a fresh user per test with
// ways to put mail into its mailboxes and look at them directly on the server.
#ifndef QUORVEL_MAPI_IMAP_TEST_DOVECOT_H_
#define QUORVEL_MAPI_IMAP_TEST_DOVECOT_H_

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "mapi/imap/imap_connection.h"
#include "mapi/imap/imap_store.h"
#include "testing/dovecot_server.h"

namespace quorvel::mapi::imap::testing {

// One server per capability list, for the whole test program.
inline quorvel::testing::DovecotServer* Server(const std::string& capabilities,
                                               std::string* whyNot) {
  static std::map<std::string, std::unique_ptr<quorvel::testing::DovecotServer>> servers;
  static std::map<std::string, std::string> failures;
  auto it = servers.find(capabilities);
  if (it != servers.end()) return it->second.get();
  if (failures.count(capabilities)) {
    *whyNot = failures[capabilities];
    return nullptr;
  }
  auto server = quorvel::testing::DovecotServer::Start({capabilities}, whyNot);
  if (!server) {
    failures[capabilities] = *whyNot;
    return nullptr;
  }
  return (servers[capabilities] = std::move(server)).get();
}

// Capabilities of a server without MOVE and IDLE (moves fall back to COPY, new mail is
// polled for).
inline constexpr const char* kNoMoveNoIdle = "IMAP4rev1 LITERAL+ SASL-IR UIDPLUS";

// Skips the test, saying why, when Dovecot cannot run here.
#define QUORVEL_NEED_DOVECOT(server, capabilities)                                       \
  std::string whyNoDovecot;                                                              \
  server = ::quorvel::mapi::imap::testing::Server(capabilities, &whyNoDovecot);          \
  if (server == nullptr) {                                                               \
    GTEST_SKIP() << "needs a Dovecot IMAP server on loopback, which cannot start here: " \
                 << whyNoDovecot;                                                        \
  }

inline ImapAccount AccountFor(const quorvel::testing::DovecotServer& server,
                              const std::string& user) {
  ImapAccount account;
  account.host = "127.0.0.1";
  account.port = server.tlsPort();
  account.user = user;
  account.security = ImapSecurity::kImaps;
  account.caFile = server.caFile();
  account.timeoutSeconds = 10;
  return account;
}

// A direct connection to the server as `user`, to deliver mail and inspect mailboxes.
inline std::unique_ptr<ImapConnection> Direct(const quorvel::testing::DovecotServer& server,
                                              const std::string& user) {
  ImapError error;
  auto c = ImapConnection::Open(AccountFor(server, user), server.password(), &error);
  EXPECT_TRUE(c) << error.text;
  return c;
}

inline std::string Mail(const std::string& subject, const std::string& from = "a@b.example") {
  return "From: Sender <" + from + ">\r\nTo: me@home.example\r\nSubject: " + subject +
         "\r\nMessage-ID: <" + subject +
         "@test.example>\r\nContent-Type: text/plain\r\n\r\n"
         "Body of " +
         subject + "\r\n";
}

// The subjects' messages in a mailbox (not counting those marked \Deleted), by UID.
inline std::vector<MessageSummary> Messages(ImapConnection& c, const std::string& mailbox) {
  ImapError error;
  std::vector<MessageSummary> out;
  EXPECT_TRUE(c.Select(mailbox, true, &error, true)) << error.text;
  if (c.selected() && c.selected()->exists > 0) {
    EXPECT_TRUE(c.Fetch(1, 0, true, false, &out, &error)) << error.text;
  }
  std::erase_if(out, [](const MessageSummary& m) { return m.HasFlag("\\Deleted"); });
  return out;
}

// Waits until `condition` holds or `seconds` pass; whether it held.
inline bool WaitFor(const std::function<bool()>& condition, int seconds = 10) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace quorvel::mapi::imap::testing

#endif  // QUORVEL_MAPI_IMAP_TEST_DOVECOT_H_
