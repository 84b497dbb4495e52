// An IMAP server that talks without end before anything is checked: a greeting or a
// capability list with no line end. Each once grew the host to 2.1 GB (and again at
// every retry); now the connection ends at the response bound.
#include "mapi/imap/imap_connection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace quorvel::mapi::imap {
namespace {

// Accepts one connection on loopback, sends `opening`, then 'x' without a line end
// until the client goes away (or 512 MiB went, so that a client without a bound ends
// too).
class EndlessServer {
 public:
  explicit EndlessServer(std::string opening) : opening_(std::move(opening)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_EQ(::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length), 0);
    EXPECT_EQ(::listen(listener_, 1), 0);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~EndlessServer() {
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    thread_.join();
  }
  std::uint16_t port() const { return port_; }
  std::uint64_t sent() const { return sent_; }

 private:
  void Serve() {
    const int client = ::accept(listener_, nullptr, nullptr);
    if (client < 0) return;
    const std::string filler(65536, 'x');
    bool ok = ::send(client, opening_.data(), opening_.size(), MSG_NOSIGNAL) > 0;
    while (ok && sent_ < (std::uint64_t{512} << 20)) {
      const ssize_t n = ::send(client, filler.data(), filler.size(), MSG_NOSIGNAL);
      ok = n > 0;
      if (ok) sent_ += static_cast<std::uint64_t>(n);
    }
    ::close(client);
  }

  std::string opening_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<std::uint64_t> sent_{0};
  std::thread thread_;
};

TEST(ImapConnectionTest, AnEndlessGreetingOrCapabilityListEndsAtTheBound) {
  struct Case {
    const char* name;
    ImapSecurity security;
    std::string opening;
  } cases[] = {
      {"greeting", ImapSecurity::kPlain, "* OK "},
      {"greeting before STARTTLS", ImapSecurity::kStartTls, "* OK "},
      {"capabilities before STARTTLS", ImapSecurity::kStartTls, "* OK ready\r\n* CAPABILITY "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EndlessServer server(c.opening);
    ImapAccount account;
    account.host = "127.0.0.1";
    account.port = server.port();
    account.user = "ann";
    account.security = c.security;
    account.timeoutSeconds = 20;
    ImapError error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ImapConnection::Open(account, "secret", &error), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_LE(server.sent(), kMaxResponseBytes + (std::uint64_t{16} << 20)) << error.text;
    EXPECT_FALSE(error.text.empty());
  }
}

}  // namespace
}  // namespace quorvel::mapi::imap
