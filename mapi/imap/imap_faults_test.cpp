// The IMAP store when the network or the server misbehaves: a proxy on loopback
// between the store and a real Dovecot closes the connection at chosen points or
// answers in the server's place.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <mutex>
#include <thread>

#include "mapi/folder.h"
#include "mapi/imap/imap_names.h"
#include "mapi/imap/imap_store.h"
#include "mapi/imap/test_dovecot.h"
#include "mapi/queries.h"
#include "testing/fault_proxy.h"
#include "testing/recording_sink.h"
#include "testing/wait_until.h"

namespace quorvel::mapi {
namespace {

using imap::testing::Direct;
using imap::testing::Mail;
using imap::testing::Messages;
using quorvel::testing::DovecotServer;
using quorvel::testing::FaultProxy;
using Fault = FaultProxy::Fault;
using Action = FaultProxy::Action;

class ImapFaultsTest : public ::testing::Test {
 protected:
  void Use(DovecotServer* server) {
    server_ = server;
    user_ = server->AddUser();
    direct_ = Direct(*server_, user_);
    ASSERT_TRUE(direct_);
    proxy_ = std::make_unique<FaultProxy>(server_->port());
  }
  void TearDown() override {
    if (HasFailure() && server_ != nullptr) std::cerr << "Dovecot's log:\n" << server_->Log();
  }

  // The store through the proxy, in plain text so that the proxy sees the commands.
  ImapStoreOptions Options() {
    ImapStoreOptions options;
    options.account.host = "127.0.0.1";
    options.account.port = proxy_->port();
    options.account.user = user_;
    options.account.security = imap::ImapSecurity::kPlain;
    options.account.timeoutSeconds = 2;
    options.password.command = "echo " + server_->password();
    options.watch = false;
    options.retryMinSeconds = 0;  // reconnect at once: the tests are about what follows
    return options;
  }

  void Deliver(const std::string& mailbox, const std::string& subject) {
    imap::ImapError error;
    ASSERT_TRUE(direct_->Append(mailbox, Mail(subject), {}, &error)) << error.text;
  }

  std::shared_ptr<Folder> FolderOf(MsgStore& store, const std::string& mailbox) {
    auto id = GetEntryId(*store.GetProps(std::vector<PropTag>{PR_ENTRYID}), PR_ENTRYID);
    auto opened = store.OpenEntry(imap::FolderIdOf(imap::DecodeId(id.bytes())->key, mailbox), 0);
    return opened.ok() ? opened->As<Folder>() : nullptr;
  }

  EntryId FirstId(Folder& folder) {
    auto table = folder.GetContentsTable(0);
    if (!table.ok()) return {};
    auto rows = HrQueryAllRows(**table, std::vector<PropTag>{PR_ENTRYID}, std::nullopt);
    return rows.ok() && !rows->empty() ? (*rows)[0][0].AsEntryId() : EntryId();
  }

  DovecotServer* server_ = nullptr;
  std::string user_;
  std::unique_ptr<imap::ImapConnection> direct_;
  std::unique_ptr<FaultProxy> proxy_;
};

// The connection closes after every few bytes of what the server sends: opening the
// store, listing and reading fail with a clear error or succeed, never crash or hang,
// and the store works again once the network does.
TEST_F(ImapFaultsTest, ConnectionClosedAtAnyByte) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  Deliver("INBOX", "one");
  std::size_t struck = 0;
  for (std::size_t cut = 0; cut < 1600; cut += 29) {
    proxy_->Arm(Fault{Action::kCloseAfterServerBytes, cut, "", ""});
    std::string error;
    auto store = OpenImapStore(Options(), &error);
    bool worked = false;
    if (store.ok()) {
      auto inbox = FolderOf(**store, "INBOX");
      EntryId id = inbox ? FirstId(*inbox) : EntryId();
      auto message = id.present() ? (*store)->OpenEntry(id, 0) : Result<OpenedEntry>();
      worked = message.ok();
      if (!worked) error = LastImapError(**store);
      // Once the faults stop, the same store works again.
      proxy_->Disarm();
      auto again = FolderOf(**store, "INBOX");
      ASSERT_TRUE(again) << "cut at " << cut << ": " << LastImapError(**store);
      EXPECT_TRUE(FirstId(*again).present()) << "cut at " << cut;
    }
    if (!worked) {
      EXPECT_FALSE(error.empty()) << "cut at " << cut;
    }
    if (proxy_->Struck()) ++struck;
  }
  EXPECT_GT(struck, 20u);  // the cuts did hit
}

// A connection lost in the middle of a move loses nothing and leaves no duplicate,
// whether the command never reached the server or its answer never came back.
TEST_F(ImapFaultsTest, MoveSurvivesALostConnection) {
  struct Case {
    const char* capabilities;
    Action action;
    const char* command;
  } cases[] = {
      {"", Action::kCloseBeforeCommand, "UID MOVE"},
      {"", Action::kCloseAfterAnswer, "UID MOVE"},
      {imap::testing::kNoMoveNoIdle, Action::kCloseBeforeCommand, "UID COPY"},
      {imap::testing::kNoMoveNoIdle, Action::kCloseAfterAnswer, "UID COPY"},
      {imap::testing::kNoMoveNoIdle, Action::kCloseBeforeCommand, "UID STORE"},
      {imap::testing::kNoMoveNoIdle, Action::kCloseAfterAnswer, "UID STORE"},
      {imap::testing::kNoMoveNoIdle, Action::kCloseAfterAnswer, "UID EXPUNGE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.capabilities) + " / " + c.command +
                 (c.action == Action::kCloseAfterAnswer ? " answer lost" : " never sent"));
    DovecotServer* server;
    QUORVEL_NEED_DOVECOT(server, c.capabilities);
    Use(server);
    Deliver("INBOX", "spam");
    Deliver("INBOX", "ham");
    auto store = OpenImapStore(Options());
    ASSERT_TRUE(store.ok());
    auto inbox = FolderOf(**store, "INBOX");
    EntryId id = FirstId(*inbox);
    proxy_->Arm(Fault{c.action, 0, c.command, ""});
    HRESULT hr = inbox->CopyMessages(std::span<const EntryId>(&id, 1), *FolderOf(**store, "Junk"),
                                     MESSAGE_MOVE);
    EXPECT_TRUE(proxy_->Struck());
    EXPECT_EQ(hr, S_OK) << LastImapError(**store);
    auto inInbox = Messages(*direct_, "INBOX");
    auto inJunk = Messages(*direct_, "Junk");
    ASSERT_EQ(inInbox.size(), 1u);
    EXPECT_NE(inInbox[0].content.find("Subject: ham"), std::string::npos);
    ASSERT_EQ(inJunk.size(), 1u);
    EXPECT_NE(inJunk[0].content.find("Subject: spam"), std::string::npos);
  }
}

// A server that answers with malformed responses or a huge literal costs the
// connection, with a clear error, and nothing else.
TEST_F(ImapFaultsTest, MalformedAnswersAndHugeLiterals) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  Deliver("INBOX", "one");
  struct Case {
    Action action;
    const char* reply;
    const char* says;
  } cases[] = {
      {Action::kReply, "* 1 FETCH (UID ((( BODY[] \"x)\r\n* BYE\r\n", "malformed"},
      {Action::kReply, "\r\n\r\n)))\r\n", "malformed"},
      {Action::kReply, "* 1 FETCH (UID 1 BODY[] {12}\r\nshort", "FETCH"},
      {Action::kReplyThenFlood, "* 1 FETCH (UID 1 BODY[] {4000000000}\r\n", "larger than"},
      {Action::kReplyThenFlood, "* 1 FETCH (UID 1 BODY[] \"", "larger than"},
  };
  auto store = OpenImapStore(Options());
  ASSERT_TRUE(store.ok());
  EntryId id = FirstId(*FolderOf(**store, "INBOX"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    proxy_->Arm(Fault{c.action, 0, "BODY.PEEK[]", c.reply});
    // The read fails, or succeeds on a second connection; either way the error is told.
    (*store)->OpenEntry(id, 0);
    EXPECT_TRUE(proxy_->Struck());
    EXPECT_NE(LastImapError(**store).find(c.says), std::string::npos) << LastImapError(**store);
    // The next call works on a new connection.
    auto again = (*store)->OpenEntry(id, 0);
    EXPECT_TRUE(again.ok()) << LastImapError(**store);
  }
}

// A server whose every FETCH fails after a good login: the watcher logged in again
// every second (21 logins in 25 s). It backs off as after a lost connection now: three
// more connections take at least 1 + 2 + 4 seconds of waiting.
TEST_F(ImapFaultsTest, AWatcherWhoseFetchesAllFailBacksOff) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  ImapStoreOptions options = Options();
  options.watch = true;
  options.retryMinSeconds = 1;
  auto store = OpenImapStore(options);
  ASSERT_TRUE(store.ok());
  // The store's own connection and the watcher's (counted once accepted, whatever
  // stage of its start the watcher is at).
  ASSERT_TRUE(quorvel::testing::WaitUntil([&] { return proxy_->Connections() >= 2; },
                                          std::chrono::seconds(10)));
  const int opened = proxy_->Connections();
  // Every FETCH of the headers fails, on every connection the watcher opens, at
  // whichever point of its start the watcher is. A fault used up by one connection
  // and armed again by this thread missed connections: one taken by a connection
  // that was lost before its FETCH, or a reconnection quicker than the re-arming.
  proxy_->Arm(Fault{Action::kReply, 0, "BODY.PEEK[HEADER]", "* 1 FETCH (UID (((\r\n", true});
  Deliver("INBOX", "news");  // the watcher fetches it, and fails
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(quorvel::testing::WaitUntil([&] { return proxy_->Connections() >= opened + 3; },
                                          std::chrono::seconds(30)));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(proxy_->Struck());
  proxy_->Disarm();
}

// A connection that goes silent without closing (the server stopped, the network
// gone) went unnoticed for 12 minutes while the watcher waited in IDLE. The end of
// each IDLE is now waited for with a deadline: the loss is told within the renewal
// interval plus the deadline, the connection comes back once the server answers, and
// mail that arrived meanwhile is announced.
TEST_F(ImapFaultsTest, ASilentConnectionIsFoundAndRegained) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  ImapStoreOptions options = Options();
  options.watch = true;
  options.account.timeoutSeconds = 60;  // a command's own limit: far beyond the deadline
  options.idleSeconds = 1;
  options.answerSeconds = 2;
  std::mutex mutex;
  std::vector<ImapLinkChange> changes;
  options.linkChanged = [&](const ImapLinkChange& change) {
    std::lock_guard<std::mutex> lock(mutex);
    changes.push_back(change);
  };
  auto count = [&] {
    std::lock_guard<std::mutex> lock(mutex);
    return changes.size();
  };
  auto store = OpenImapStore(options);
  ASSERT_TRUE(store.ok());
  auto sink = std::make_shared<RecordingSink>();
  ASSERT_TRUE((*store)->Advise(EntryId(), fnevNewMail, sink).ok());
  ASSERT_TRUE(quorvel::testing::WaitUntil([&] { return proxy_->Connections() >= 2; },
                                          std::chrono::seconds(10)));
  proxy_->Freeze(true);
  const auto frozen = std::chrono::steady_clock::now();
  const bool lost =
      quorvel::testing::WaitUntil([&] { return count() >= 1; }, std::chrono::seconds(12));
  EXPECT_TRUE(lost) << "a silent connection was not noticed within 12 s";
  if (lost) {
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_FALSE(changes[0].connected);
    EXPECT_FALSE(changes[0].reason.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - frozen, std::chrono::seconds(8));
  }
  Deliver("INBOX", "while away");
  proxy_->Freeze(false);
  ASSERT_TRUE(quorvel::testing::WaitUntil([&] { return count() >= 2; }, std::chrono::seconds(20)));
  {
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_TRUE(changes[1].connected);
  }
  EXPECT_TRUE(
      quorvel::testing::WaitUntil([&] { return !sink->All().empty(); }, std::chrono::seconds(10)));
}

// A stop while the server has gone silent: the command waiting for its answer, the
// watcher in IDLE and a connection being opened all end at once instead of after their
// time-outs, and every later call fails at once.
TEST_F(ImapFaultsTest, AStopCutsOffCommandsThatWaitOnASilentServer) {
  DovecotServer* server;
  QUORVEL_NEED_DOVECOT(server, "");
  Use(server);
  Deliver("INBOX", "waiting");
  ImapStoreOptions options = Options();
  options.account.timeoutSeconds = 60;
  options.answerSeconds = 60;
  options.idleSeconds = 60;
  options.watch = true;
  auto store = OpenImapStore(options);
  ASSERT_TRUE(store.ok());
  auto inbox = FolderOf(**store, "INBOX");
  ASSERT_TRUE(inbox);
  proxy_->Freeze(true);
  std::atomic<bool> started{false};
  HRESULT read = S_OK;
  std::thread reader([&] {
    started = true;
    auto table = inbox->GetContentsTable(0);
    read = table.ok() ? (*table)->GetRowCount(0).hr : table.hr;
  });
  ASSERT_TRUE(quorvel::testing::WaitUntil([&] { return started.load(); }, std::chrono::seconds(5)));
  const auto stopping = std::chrono::steady_clock::now();
  StopImapStore(**store, std::chrono::milliseconds(200));
  reader.join();
  EXPECT_EQ(read, MAPI_E_NETWORK_ERROR);
  auto later = inbox->GetContentsTable(0);
  EXPECT_EQ(later.ok() ? (*later)->GetRowCount(0).hr : later.hr, MAPI_E_NETWORK_ERROR);
  store.value.reset();  // the watcher's thread ends too
  inbox.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(3));
}

}  // namespace
}  // namespace quorvel::mapi
