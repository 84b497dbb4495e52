#include "mapi/imap/imap_connection.h"

#include <libetpan/libetpan.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>

#include "mapi/imap/certificate_check.h"
#include "mapi/imap/imap_interrupt.h"
#include "mapi/imap/imap_stream.h"

namespace quorvel::mapi::imap {
namespace {

void SetServerName(struct mailstream_ssl_context* context, void* data) {
  mailstream_ssl_set_server_name(context, static_cast<char*>(data));
}

constexpr const char* kStopped = "the IMAP connection was stopped";

bool ConnectionLost(int code) {
  switch (code) {
    case MAILIMAP_ERROR_STREAM:
    case MAILIMAP_ERROR_PARSE:
    case MAILIMAP_ERROR_FATAL:
    case MAILIMAP_ERROR_MEMORY:
    case MAILIMAP_ERROR_SSL:
    case MAILIMAP_ERROR_CONNECTION_REFUSED:
    case MAILIMAP_ERROR_DONT_ACCEPT_CONNECTION:
    case MAILIMAP_ERROR_PROTOCOL:
    case MAILIMAP_ERROR_BAD_STATE:
      return true;
    default:
      return false;
  }
}

}  // namespace

ImapConnection::ImapConnection(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ImapConnection::~ImapConnection() = default;

std::unique_ptr<ImapConnection> ImapConnection::Open(const ImapAccount& account,
                                                     const std::string& password, ImapError* error,
                                                     ImapInterrupt* interrupt) {
  auto fail = [&](ImapErrorKind kind, std::string text) {
    if (interrupt != nullptr && interrupt->triggered()) {
      kind = ImapErrorKind::kNetwork;
      text = kStopped;
    }
    if (error) *error = ImapError{kind, std::move(text)};
    return nullptr;
  };
  std::string where = account.host + ":" + std::to_string(account.port);
  // The library writes to sockets without MSG_NOSIGNAL: a server that closed the
  // connection must give a write error, not end the process.
  static std::once_flag ignorePipe;
  std::call_once(ignorePipe, [] {
    struct sigaction current {};
    if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
      ::signal(SIGPIPE, SIG_IGN);
    }
  });
  auto impl = std::make_unique<Impl>();
  impl->imap = mailimap_new(0, nullptr);
  if (impl->imap == nullptr) return fail(ImapErrorKind::kNetwork, "out of memory");
  mailimap_set_timeout(impl->imap, account.timeoutSeconds);
  std::string serverName = account.host;
  const std::string failedConnect = "cannot connect to the IMAP server " + where +
                                    (account.security == ImapSecurity::kImaps ? " with TLS" : "");
  // The stream is made here rather than by the library, so that every byte the server
  // sends is bounded from the first one: an endless greeting or capability list before
  // TLS or before the certificate is checked ends the connection at the bound.
  const int fd = ConnectTcp(account.host, account.port, account.timeoutSeconds,
                            interrupt != nullptr ? interrupt->fd() : -1);
  if (fd < 0 && interrupt != nullptr && interrupt->triggered()) {
    return fail(ImapErrorKind::kNetwork, kStopped);
  }
  if (fd < 0) return fail(ImapErrorKind::kNetwork, failedConnect);
  // Registered before the first byte: a stop interrupts the TLS handshake and the
  // greeting too.
  if (interrupt != nullptr && !interrupt->Add(fd)) {
    ::close(fd);
    return fail(ImapErrorKind::kNetwork, kStopped);
  }
  impl->fd = fd;
  impl->interrupt = interrupt;
  mailstream* stream = account.security == ImapSecurity::kImaps
                           ? mailstream_ssl_open_with_callback_timeout(
                                 fd, account.timeoutSeconds, SetServerName, serverName.data())
                           : mailstream_socket_open_timeout(fd, account.timeoutSeconds);
  if (stream == nullptr) {
    impl->Unregister();
    ::close(fd);
    return fail(ImapErrorKind::kNetwork, failedConnect);
  }
  impl->bounded = BoundStream(stream);
  if (impl->bounded == nullptr) {
    impl->Unregister();
    mailstream_close(stream);
    return fail(ImapErrorKind::kNetwork, "out of memory");
  }
  impl->StartCommand();
  int r = mailimap_connect(impl->imap, stream);  // the session owns the stream from here
  if (r != MAILIMAP_NO_ERROR_NON_AUTHENTICATED && r != MAILIMAP_NO_ERROR_AUTHENTICATED) {
    return fail(impl->bounded->exceeded ? ImapErrorKind::kProtocol : ImapErrorKind::kNetwork,
                impl->bounded->exceeded
                    ? "the greeting of the IMAP server " + where + " is larger than " +
                          std::to_string(kMaxResponseBytes >> 20) + " MB"
                    : failedConnect);
  }
  if (account.security == ImapSecurity::kStartTls) {
    impl->StartCommand();
    mailimap_capability_data* caps = nullptr;  // the library keeps a copy in the session
    if (mailimap_capability(impl->imap, &caps) == MAILIMAP_NO_ERROR && caps) {
      mailimap_capability_data_free(caps);
    }
    if (!mailimap_has_extension(impl->imap, const_cast<char*>("STARTTLS"))) {
      return fail(ImapErrorKind::kLogin,
                  "the IMAP server " + where +
                      " does not offer STARTTLS; the password is not sent over a plain connection");
    }
    // The library replaces the stream's layer (ours, with whatever the server sent
    // ahead of the handshake) by a TLS one over the same socket; it is bounded again.
    impl->StartCommand();
    impl->bounded = nullptr;
    r = mailimap_socket_starttls_with_callback(impl->imap, SetServerName, serverName.data());
    if (r != MAILIMAP_NO_ERROR) {
      return fail(ImapErrorKind::kNetwork, "STARTTLS with the IMAP server " + where + " failed");
    }
    impl->bounded = BoundStream(impl->imap->imap_stream);
    if (impl->bounded == nullptr) return fail(ImapErrorKind::kNetwork, "out of memory");
  }
  if (account.security != ImapSecurity::kPlain && account.verifyCertificate) {
    std::vector<std::string> chain;
    if (carray* certs = mailstream_get_certificate_chain(impl->imap->imap_stream)) {
      for (unsigned i = 0; i < carray_count(certs); ++i) {
        auto* der = static_cast<MMAPString*>(carray_get(certs, i));
        chain.emplace_back(der->str, der->len);
      }
      mailstream_certificate_chain_free(certs);
    }
    std::string problem = CheckCertificateChain(chain, account.host, account.caFile);
    if (!problem.empty()) {
      return fail(ImapErrorKind::kCertificate,
                  "the certificate of the IMAP server " + where + " does not verify: " + problem);
    }
  }

  impl->StartCommand();
  r = mailimap_login(impl->imap, account.user.c_str(), password.c_str());
  if (r != MAILIMAP_NO_ERROR) {
    std::string said = impl->imap->imap_response ? impl->imap->imap_response : "";
    if (ConnectionLost(r)) {
      return fail(ImapErrorKind::kNetwork, "the IMAP server " + where + " closed the connection");
    }
    return fail(ImapErrorKind::kLogin, "the IMAP server " + where + " refused the login of \"" +
                                           account.user + "\"" +
                                           (said.empty() ? std::string() : ": " + said));
  }
  impl->StartCommand();
  mailimap_capability_data* caps = nullptr;
  if (mailimap_capability(impl->imap, &caps) == MAILIMAP_NO_ERROR && caps) {
    mailimap_capability_data_free(caps);
  }
  return std::unique_ptr<ImapConnection>(new ImapConnection(std::move(impl)));
}

bool ImapConnection::HasCapability(const char* name) const {
  return mailimap_has_extension(impl_->imap, const_cast<char*>(name)) != 0;
}

bool ImapConnection::Check(int code, const char* what, ImapError* error) {
  if (code == MAILIMAP_NO_ERROR) return true;
  ImapError e;
  if (impl_->bounded && impl_->bounded->exceeded) {
    e.kind = ImapErrorKind::kProtocol;
    e.text = std::string(what) + ": the server's answer is larger than " +
             std::to_string(kMaxResponseBytes >> 20) + " MB";
  } else if (code == MAILIMAP_ERROR_PARSE) {
    e.kind = ImapErrorKind::kProtocol;
    e.text = std::string(what) + ": the server's answer is malformed";
  } else if (ConnectionLost(code)) {
    e.kind = ImapErrorKind::kNetwork;
    e.text = std::string(what) + ": the connection to the IMAP server was lost";
  } else {
    e.kind = ImapErrorKind::kRefused;
    std::string said = impl_->imap->imap_response ? impl_->imap->imap_response : "";
    e.text = std::string(what) + ": the server refused" + (said.empty() ? "" : ": " + said);
  }
  if (e.kind != ImapErrorKind::kRefused) {
    broken_ = true;
    selected_.reset();
  }
  if (error) *error = std::move(e);
  return false;
}

void ImapConnection::Abort() {
  int fd = impl_->fd.load();
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

}  // namespace quorvel::mapi::imap
