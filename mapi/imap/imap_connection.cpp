#include "mapi/imap/imap_connection.h"

#include <fcntl.h>
#include <libetpan/libetpan.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "mapi/imap/certificate_check.h"
#include "mapi/imap/imap_interrupt.h"
#include "mapi/mime/input_bounds.h"

namespace quorvel::mapi::imap {
namespace {

// A stream layer between the IMAP library and the network. It counts the bytes of each
// response and fails the read once a response passes its bound, and it hands the
// library only whole lines: a connection that closes in the middle of a line ends at
// the last line break, because the library's parser does not survive a response cut
// at any byte.
struct Bounded {
  mailstream_low* inner = nullptr;
  std::size_t remaining = kMaxResponseBytes;
  bool exceeded = false;
  std::string pending;      // bytes read but not yet handed on
  std::size_t lineEnd = 0;  // bytes of `pending` up to its last line break
  bool ended = false;
};

Bounded* BoundedOf(mailstream_low* s) { return static_cast<Bounded*>(s->data); }

ssize_t BoundedRead(mailstream_low* s, void* buf, size_t count) {
  Bounded* b = BoundedOf(s);
  for (;;) {
    if (b->lineEnd > 0) {
      std::size_t n = std::min(count, b->lineEnd);
      std::memcpy(buf, b->pending.data(), n);
      b->pending.erase(0, n);
      b->lineEnd -= n;
      return static_cast<ssize_t>(n);
    }
    if (b->ended) return -1;
    if (b->remaining == 0) {
      b->exceeded = true;
      b->ended = true;
      return -1;
    }
    char chunk[16384];
    ssize_t n = mailstream_low_read(b->inner, chunk, std::min(sizeof chunk, b->remaining));
    if (n <= 0) {
      b->ended = true;  // a partial line is dropped with the connection
      b->pending.clear();
      return n < 0 ? n : -1;
    }
    b->remaining -= static_cast<std::size_t>(n);
    for (ssize_t i = n; i > 0; --i) {
      if (chunk[i - 1] == '\n') {
        b->lineEnd = b->pending.size() + static_cast<std::size_t>(i);
        break;
      }
    }
    b->pending.append(chunk, static_cast<std::size_t>(n));
  }
}
ssize_t BoundedWrite(mailstream_low* s, const void* buf, size_t count) {
  return mailstream_low_write(BoundedOf(s)->inner, buf, count);
}
int BoundedClose(mailstream_low* s) { return mailstream_low_close(BoundedOf(s)->inner); }
int BoundedFd(mailstream_low* s) { return mailstream_low_get_fd(BoundedOf(s)->inner); }
void BoundedFree(mailstream_low* s) {
  Bounded* b = BoundedOf(s);
  mailstream_low_free(b->inner);
  delete b;
  free(s);  // the library allocated it
}
void BoundedCancel(mailstream_low* s) { mailstream_low_cancel(BoundedOf(s)->inner); }
struct mailstream_cancel* BoundedGetCancel(mailstream_low* s) {
  return mailstream_low_get_cancel(BoundedOf(s)->inner);
}
carray* BoundedChain(mailstream_low* s) {
  return mailstream_low_get_certificate_chain(BoundedOf(s)->inner);
}
int BoundedSetupIdle(mailstream_low* s) { return mailstream_low_setup_idle(BoundedOf(s)->inner); }
int BoundedUnsetupIdle(mailstream_low* s) {
  return mailstream_low_unsetup_idle(BoundedOf(s)->inner);
}
int BoundedInterruptIdle(mailstream_low* s) {
  return mailstream_low_interrupt_idle(BoundedOf(s)->inner);
}

mailstream_low_driver kBoundedDriver = {
    BoundedRead,      BoundedWrite,       BoundedClose,         BoundedFd,
    BoundedFree,      BoundedCancel,      BoundedGetCancel,     BoundedChain,
    BoundedSetupIdle, BoundedUnsetupIdle, BoundedInterruptIdle,
};

void SetServerName(struct mailstream_ssl_context* context, void* data) {
  mailstream_ssl_set_server_name(context, static_cast<char*>(data));
}

// A TCP connection to host:port, trying each of its addresses, each within `timeout`
// seconds; -1 when none answers or `stopFd` (-1: none) becomes readable first.
int ConnectTcp(const std::string& host, std::uint16_t port, int timeout, int stopFd) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  int fd = -1;
  for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) continue;
    bool connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    if (!connected && errno == EINPROGRESS) {
      pollfd p[2] = {{fd, POLLOUT, 0}, {stopFd, POLLIN, 0}};
      int error = 0;
      socklen_t length = sizeof error;
      connected = ::poll(p, stopFd >= 0 ? 2 : 1, timeout * 1000) >= 1 && p[0].revents != 0 &&
                  ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    if (connected) {
      // The kernel probes a connection that has been quiet for 20 s, and gives it up
      // after three probes 10 s apart go unanswered: a peer that vanished without a
      // word (the network gone, the machine off) is found even between commands.
      const int on = 1, idle = 20, interval = 10, count = 3;
      ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
      ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
      ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
      ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    }
    const int flags = connected ? ::fcntl(fd, F_GETFL) : -1;
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  ::freeaddrinfo(found);
  return fd;
}

// Puts the bounding layer under the session's stream, from the next byte read on.
Bounded* BoundStream(mailstream* stream) {
  auto* bounded = new Bounded;
  bounded->inner = mailstream_get_low(stream);
  mailstream_low* wrapper = mailstream_low_new(bounded, &kBoundedDriver);
  if (wrapper == nullptr) {
    delete bounded;
    return nullptr;
  }
  mailstream_set_low(stream, wrapper);
  return bounded;
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

// Owns a value the library allocated, freeing it with the library's function.
template <typename T, void (*Free)(T*)>
struct Owned {
  T* p = nullptr;
  ~Owned() {
    if (p) Free(p);
  }
};

std::string FlagText(const struct mailimap_flag* flag) {
  switch (flag->fl_type) {
    case MAILIMAP_FLAG_ANSWERED:
      return "\\Answered";
    case MAILIMAP_FLAG_FLAGGED:
      return "\\Flagged";
    case MAILIMAP_FLAG_DELETED:
      return "\\Deleted";
    case MAILIMAP_FLAG_SEEN:
      return "\\Seen";
    case MAILIMAP_FLAG_DRAFT:
      return "\\Draft";
    case MAILIMAP_FLAG_KEYWORD:
      return flag->fl_data.fl_keyword ? flag->fl_data.fl_keyword : "";
    case MAILIMAP_FLAG_EXTENSION:
      return flag->fl_data.fl_extension ? std::string("\\") + flag->fl_data.fl_extension : "";
    default:
      return "";
  }
}

struct mailimap_flag* NewFlag(const std::string& text) {
  if (text == "\\Seen") return mailimap_flag_new_seen();
  if (text == "\\Deleted") return mailimap_flag_new_deleted();
  if (text == "\\Draft") return mailimap_flag_new_draft();
  if (text == "\\Answered") return mailimap_flag_new_answered();
  if (text == "\\Flagged") return mailimap_flag_new_flagged();
  return mailimap_flag_new_flag_keyword(strdup(text.c_str()));
}

struct mailimap_flag_list* NewFlagList(const std::vector<std::string>& flags) {
  struct mailimap_flag_list* list = mailimap_flag_list_new_empty();
  for (const std::string& f : flags) mailimap_flag_list_add(list, NewFlag(f));
  return list;
}

std::int64_t UnixTime(const struct mailimap_date_time* t) {
  std::tm tm{};
  tm.tm_year = t->dt_year - 1900;
  tm.tm_mon = t->dt_month - 1;
  tm.tm_mday = t->dt_day;
  tm.tm_hour = t->dt_hour;
  tm.tm_min = t->dt_min;
  tm.tm_sec = t->dt_sec;
  std::int64_t utc = static_cast<std::int64_t>(timegm(&tm));
  int zone = t->dt_zone;  // +hhmm as a number
  int sign = zone < 0 ? -1 : 1;
  zone *= sign;
  return utc - sign * ((zone / 100) * 3600 + (zone % 100) * 60);
}

std::optional<std::uint32_t> FirstOf(struct mailimap_set* set) {
  if (set == nullptr || clist_begin(set->set_list) == nullptr) return std::nullopt;
  auto* item = static_cast<struct mailimap_set_item*>(clist_content(clist_begin(set->set_list)));
  return item->set_first;
}

}  // namespace

bool MessageSummary::HasFlag(std::string_view flag) const {
  for (const std::string& f : flags) {
    if (f.size() == flag.size() && strncasecmp(f.data(), flag.data(), f.size()) == 0) return true;
  }
  return false;
}

struct ImapConnection::Impl {
  mailimap* imap = nullptr;
  Bounded* bounded = nullptr;  // owned by the stream
  std::atomic<int> fd{-1};
  ImapInterrupt* interrupt = nullptr;  // where fd is registered; may be null
  ~Impl() {
    Unregister();
    if (imap) mailimap_free(imap);  // closes the socket
  }
  void Unregister() {
    if (interrupt != nullptr && fd >= 0) interrupt->Remove(fd);
    interrupt = nullptr;
  }
  void StartCommand() {
    if (bounded) {
      bounded->remaining = kMaxResponseBytes;
      bounded->exceeded = false;
    }
  }
};

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

bool ImapConnection::List(std::vector<MailboxInfo>* out, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "LIST", error);
  impl_->StartCommand();
  clist* result = nullptr;
  int r = mailimap_list(impl_->imap, "", "*", &result);
  Owned<clist, mailimap_list_result_free> owned{result};
  if (!Check(r, "LIST", error)) return false;
  out->clear();
  for (clistiter* it = clist_begin(result); it != nullptr; it = clist_next(it)) {
    auto* mb = static_cast<struct mailimap_mailbox_list*>(clist_content(it));
    if (mb->mb_name == nullptr) continue;
    MailboxInfo info;
    info.name = mb->mb_name;
    info.delimiter = mb->mb_delimiter;
    if (struct mailimap_mbx_list_flags* flags = mb->mb_flag) {
      if (flags->mbf_type == MAILIMAP_MBX_LIST_FLAGS_SFLAG) {
        if (flags->mbf_sflag == MAILIMAP_MBX_LIST_SFLAG_NOSELECT) {
          info.noSelect = true;
          info.attributes.push_back("\\Noselect");
        }
      }
      for (clistiter* o = clist_begin(flags->mbf_oflags); o != nullptr; o = clist_next(o)) {
        auto* oflag = static_cast<struct mailimap_mbx_list_oflag*>(clist_content(o));
        if (oflag->of_type == MAILIMAP_MBX_LIST_OFLAG_FLAG_EXT && oflag->of_flag_ext) {
          std::string attr = std::string("\\") + oflag->of_flag_ext;
          if (strcasecmp(oflag->of_flag_ext, "NonExistent") == 0) info.noSelect = true;
          info.attributes.push_back(std::move(attr));
        } else if (oflag->of_type == MAILIMAP_MBX_LIST_OFLAG_NOINFERIORS) {
          info.attributes.push_back("\\Noinferiors");
        }
      }
    }
    out->push_back(std::move(info));
  }
  return true;
}

bool ImapConnection::Select(const std::string& mailbox, bool readOnly, ImapError* error,
                            bool refresh) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "SELECT", error);
  if (!refresh && selected_ && selected_->name == mailbox && selectedReadOnly_ == readOnly) {
    return true;
  }
  selected_.reset();
  impl_->StartCommand();
  int r = readOnly ? mailimap_examine(impl_->imap, mailbox.c_str())
                   : mailimap_select(impl_->imap, mailbox.c_str());
  if (!Check(r, readOnly ? "EXAMINE" : "SELECT", error)) return false;
  SelectedMailbox s;
  s.name = mailbox;
  if (struct mailimap_selection_info* info = impl_->imap->imap_selection_info) {
    s.uidValidity = info->sel_uidvalidity;
    s.uidNext = info->sel_uidnext;
    s.exists = info->sel_exists;
    for (clistiter* it = info->sel_perm_flags ? clist_begin(info->sel_perm_flags) : nullptr;
         it != nullptr; it = clist_next(it)) {
      auto* perm = static_cast<struct mailimap_flag_perm*>(clist_content(it));
      if (perm->fl_type == MAILIMAP_FLAG_PERM_ALL) s.keywordsAllowed = true;
    }
  }
  selected_ = std::move(s);
  selectedReadOnly_ = readOnly;
  return true;
}

bool ImapConnection::Fetch(std::uint32_t first, std::uint32_t last, bool withHeader, bool whole,
                           std::vector<MessageSummary>* out, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "FETCH", error);
  struct mailimap_fetch_type* type = mailimap_fetch_type_new_fetch_att_list_empty();
  mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_uid());
  mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_flags());
  mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_rfc822_size());
  mailimap_fetch_type_new_fetch_att_list_add(type, mailimap_fetch_att_new_internaldate());
  if (whole) {
    // At most what a message file is read to: a larger message is judged on its start,
    // as on a Maildir, rather than failing the response bound and never being judged.
    mailimap_fetch_type_new_fetch_att_list_add(
        type, mailimap_fetch_att_new_body_peek_section_partial(
                  mailimap_section_new(nullptr), 0, static_cast<uint32_t>(kMaxMessageBytes)));
  } else if (withHeader) {
    mailimap_fetch_type_new_fetch_att_list_add(
        type, mailimap_fetch_att_new_body_peek_section(mailimap_section_new_header()));
  }
  struct mailimap_set* set = mailimap_set_new_interval(first, last);
  clist* result = nullptr;
  impl_->StartCommand();
  int r = mailimap_uid_fetch(impl_->imap, set, type, &result);
  mailimap_set_free(set);
  mailimap_fetch_type_free(type);
  Owned<clist, mailimap_fetch_list_free> owned{result};
  if (!Check(r, "FETCH", error)) return false;
  out->clear();
  for (clistiter* it = clist_begin(result); it != nullptr; it = clist_next(it)) {
    auto* att = static_cast<struct mailimap_msg_att*>(clist_content(it));
    MessageSummary m;
    for (clistiter* i = clist_begin(att->att_list); i != nullptr; i = clist_next(i)) {
      auto* item = static_cast<struct mailimap_msg_att_item*>(clist_content(i));
      if (item->att_type == MAILIMAP_MSG_ATT_ITEM_DYNAMIC) {
        struct mailimap_msg_att_dynamic* dyn = item->att_data.att_dyn;
        for (clistiter* f = dyn && dyn->att_list ? clist_begin(dyn->att_list) : nullptr;
             f != nullptr; f = clist_next(f)) {
          auto* ff = static_cast<struct mailimap_flag_fetch*>(clist_content(f));
          if (ff->fl_type == MAILIMAP_FLAG_FETCH_OTHER && ff->fl_flag) {
            std::string text = FlagText(ff->fl_flag);
            if (!text.empty()) m.flags.push_back(std::move(text));
          }
        }
        continue;
      }
      struct mailimap_msg_att_static* st = item->att_data.att_static;
      switch (st->att_type) {
        case MAILIMAP_MSG_ATT_UID:
          m.uid = st->att_data.att_uid;
          break;
        case MAILIMAP_MSG_ATT_RFC822_SIZE:
          m.size = st->att_data.att_rfc822_size;
          break;
        case MAILIMAP_MSG_ATT_INTERNALDATE:
          if (st->att_data.att_internal_date)
            m.internalDate = UnixTime(st->att_data.att_internal_date);
          break;
        case MAILIMAP_MSG_ATT_BODY_SECTION:
          if (st->att_data.att_body_section && st->att_data.att_body_section->sec_body_part) {
            m.content.assign(st->att_data.att_body_section->sec_body_part,
                             st->att_data.att_body_section->sec_length);
          }
          break;
        default:
          break;
      }
    }
    // An unsolicited FETCH (a flag change of another message) has no UID in range.
    if (m.uid != 0 && m.uid >= first && (last == 0 || m.uid <= last)) out->push_back(std::move(m));
  }
  std::sort(out->begin(), out->end(),
            [](const MessageSummary& a, const MessageSummary& b) { return a.uid < b.uid; });
  return true;
}

namespace {
bool SearchResult(clist* result, std::vector<std::uint32_t>* out) {
  out->clear();
  for (clistiter* it = clist_begin(result); it != nullptr; it = clist_next(it)) {
    out->push_back(*static_cast<std::uint32_t*>(clist_content(it)));
  }
  std::sort(out->begin(), out->end());
  return true;
}
}  // namespace

bool ImapConnection::SearchAll(std::vector<std::uint32_t>* out, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "SEARCH", error);
  struct mailimap_search_key* key = mailimap_search_key_new_all();
  clist* result = nullptr;
  impl_->StartCommand();
  int r = mailimap_uid_search(impl_->imap, nullptr, key, &result);
  mailimap_search_key_free(key);
  Owned<clist, mailimap_search_result_free> owned{result};
  if (!Check(r, "SEARCH", error)) return false;
  return SearchResult(result, out);
}

bool ImapConnection::SearchMessageId(const std::string& id, std::vector<std::uint32_t>* out,
                                     ImapError* error) {
  return SearchMessageIds({id}, out, error);
}

bool ImapConnection::SearchMessageIds(const std::vector<std::string>& ids,
                                      std::vector<std::uint32_t>* out, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "SEARCH", error);
  if (ids.empty()) {
    out->clear();
    return true;
  }
  struct mailimap_search_key* key = nullptr;
  for (const std::string& id : ids) {
    struct mailimap_search_key* one =
        mailimap_search_key_new_header(strdup("Message-ID"), strdup(id.c_str()));
    key = key == nullptr ? one : mailimap_search_key_new_or(key, one);
  }
  clist* result = nullptr;
  impl_->StartCommand();
  int r = mailimap_uid_search(impl_->imap, "UTF-8", key, &result);
  mailimap_search_key_free(key);
  Owned<clist, mailimap_search_result_free> owned{result};
  if (!Check(r, "SEARCH", error)) return false;
  return SearchResult(result, out);
}

bool ImapConnection::StoreFlags(std::uint32_t uid, bool add, const std::vector<std::string>& flags,
                                ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "STORE", error);
  struct mailimap_flag_list* list = NewFlagList(flags);
  struct mailimap_store_att_flags* att =
      add ? mailimap_store_att_flags_new_add_flags_silent(list)
          : mailimap_store_att_flags_new_remove_flags_silent(list);
  struct mailimap_set* set = mailimap_set_new_single(uid);
  impl_->StartCommand();
  int r = mailimap_uid_store(impl_->imap, set, att);
  mailimap_set_free(set);
  mailimap_store_att_flags_free(att);
  return Check(r, "STORE", error);
}

bool ImapConnection::Copy(std::uint32_t uid, const std::string& mailbox,
                          std::optional<std::uint32_t>* newUid, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "COPY", error);
  struct mailimap_set* set = mailimap_set_new_single(uid);
  impl_->StartCommand();
  int r;
  newUid->reset();
  if (HasCapability("UIDPLUS")) {
    std::uint32_t validity = 0;
    struct mailimap_set* source = nullptr;
    struct mailimap_set* dest = nullptr;
    r = mailimap_uidplus_uid_copy(impl_->imap, set, mailbox.c_str(), &validity, &source, &dest);
    *newUid = FirstOf(dest);
    if (source) mailimap_set_free(source);
    if (dest) mailimap_set_free(dest);
  } else {
    r = mailimap_uid_copy(impl_->imap, set, mailbox.c_str());
  }
  mailimap_set_free(set);
  return Check(r, "COPY", error);
}

bool ImapConnection::Move(std::uint32_t uid, const std::string& mailbox,
                          std::optional<std::uint32_t>* newUid, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "MOVE", error);
  struct mailimap_set* set = mailimap_set_new_single(uid);
  impl_->StartCommand();
  std::uint32_t validity = 0;
  struct mailimap_set* source = nullptr;
  struct mailimap_set* dest = nullptr;
  int r = mailimap_uidplus_uid_move(impl_->imap, set, mailbox.c_str(), &validity, &source, &dest);
  newUid->reset();
  *newUid = FirstOf(dest);
  if (source) mailimap_set_free(source);
  if (dest) mailimap_set_free(dest);
  mailimap_set_free(set);
  return Check(r, "MOVE", error);
}

bool ImapConnection::UidExpunge(std::uint32_t uid, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "EXPUNGE", error);
  struct mailimap_set* set = mailimap_set_new_single(uid);
  impl_->StartCommand();
  int r = mailimap_uid_expunge(impl_->imap, set);
  mailimap_set_free(set);
  return Check(r, "EXPUNGE", error);
}

bool ImapConnection::Append(const std::string& mailbox, const std::string& bytes,
                            const std::vector<std::string>& flags, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "APPEND", error);
  struct mailimap_flag_list* list = flags.empty() ? nullptr : NewFlagList(flags);
  impl_->StartCommand();
  int r = mailimap_append(impl_->imap, mailbox.c_str(), list, nullptr, bytes.data(), bytes.size());
  if (list) mailimap_flag_list_free(list);
  return Check(r, "APPEND", error);
}

bool ImapConnection::Create(const std::string& mailbox, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "CREATE", error);
  impl_->StartCommand();
  return Check(mailimap_create(impl_->imap, mailbox.c_str()), "CREATE", error);
}

bool ImapConnection::Subscribe(const std::string& mailbox, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "SUBSCRIBE", error);
  impl_->StartCommand();
  return Check(mailimap_subscribe(impl_->imap, mailbox.c_str()), "SUBSCRIBE", error);
}

bool ImapConnection::Delete(const std::string& mailbox, ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "DELETE", error);
  if (selected_ && selected_->name == mailbox) selected_.reset();
  impl_->StartCommand();
  return Check(mailimap_delete(impl_->imap, mailbox.c_str()), "DELETE", error);
}

bool ImapConnection::Noop(ImapError* error) {
  if (broken_) return Check(MAILIMAP_ERROR_STREAM, "NOOP", error);
  impl_->StartCommand();
  return Check(mailimap_noop(impl_->imap), "NOOP", error);
}

ImapConnection::IdleResult ImapConnection::Idle(int seconds, int stopFd, ImapError* error) {
  if (broken_) {
    Check(MAILIMAP_ERROR_STREAM, "IDLE", error);
    return IdleResult::kFailed;
  }
  impl_->StartCommand();
  if (!Check(mailimap_idle(impl_->imap), "IDLE", error)) return IdleResult::kFailed;
  IdleResult result = IdleResult::kTimeout;
  if (impl_->imap->imap_stream->read_buffer_len > 0) {
    result = IdleResult::kActivity;  // the server's report came with its go-ahead
  } else {
    pollfd fds[2] = {{mailimap_idle_get_fd(impl_->imap), POLLIN, 0}, {stopFd, POLLIN, 0}};
    int n = ::poll(fds, stopFd >= 0 ? 2 : 1, seconds * 1000);
    if (n > 0 && stopFd >= 0 && (fds[1].revents & POLLIN)) {
      result = IdleResult::kStopped;
    } else if (n > 0) {
      result = IdleResult::kActivity;
    }
  }
  impl_->StartCommand();
  if (!Check(mailimap_idle_done(impl_->imap), "IDLE", error)) return IdleResult::kFailed;
  return result;
}

void ImapConnection::Abort() {
  int fd = impl_->fd.load();
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

}  // namespace quorvel::mapi::imap
