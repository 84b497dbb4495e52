#include "mapi/imap/imap_account.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cctype>
#include <charconv>
#include <string>

namespace quorvel::mapi::imap {
namespace {

// Longer than any account's address: a host name is at most 253 characters.
constexpr std::size_t kMaxUrlLength = 1024;

constexpr const char* kPasswordInUrl =
    "a password does not belong in the address (it would be kept in the settings and shown "
    "in lists); give --password-command CMD, or type it when the profile is added and it is "
    "kept in the profile's credentials file";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> PercentDecode(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int high = HexDigit(text[i + 1]);
    int low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

// The address with whatever stands between the user name's ':' and the '@' left out.
std::string WithoutPassword(std::string_view url) {
  const std::size_t scheme = url.find("://");
  const std::size_t from = scheme == std::string_view::npos ? 0 : scheme + 3;
  const std::size_t at = url.rfind('@');
  if (at == std::string_view::npos || at < from) return std::string(url);
  const std::size_t colon = url.substr(0, at).find(':', from);
  if (colon == std::string_view::npos) return std::string(url);
  return std::string(url.substr(0, colon)) + ":***" + std::string(url.substr(at));
}

bool IsIpv6Literal(std::string_view host) {
  in6_addr address{};
  return host.size() < INET6_ADDRSTRLEN &&
         ::inet_pton(AF_INET6, std::string(host).c_str(), &address) == 1;
}

// A DNS name (an IPv4 address is one as far as its characters go): labels of letters,
// digits and '-' (not at either end), each 1 to 63 long, at most 253 in all, with an
// optional final dot.
bool IsHostName(std::string_view host) {
  if (!host.empty() && host.back() == '.') host.remove_suffix(1);
  if (host.empty() || host.size() > 253) return false;
  std::size_t label = 0;
  for (std::size_t i = 0; i <= host.size(); ++i) {
    if (i == host.size() || host[i] == '.') {
      if (label == 0 || label > 63 || host[i - 1] == '-' || host[i - label] == '-') return false;
      label = 0;
      continue;
    }
    const char c = host[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') return false;
    ++label;
  }
  return true;
}

}  // namespace

std::optional<ImapAccount> ParseImapUrl(std::string_view url, std::string* error) {
  // A password typed into the address is never repeated in a message.
  const std::string shown = WithoutPassword(url);
  auto fail = [&](const std::string& why) {
    if (error) *error = "\"" + shown + "\" is not an IMAP address: " + why;
    return std::nullopt;
  };
  if (url.size() > kMaxUrlLength) return fail("it is longer than " + std::to_string(kMaxUrlLength));
  if (shown != url) return fail(kPasswordInUrl);
  for (char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      return fail("spaces, control characters and non-ASCII characters must be written %XX");
    }
  }
  ImapAccount account;
  std::string_view rest;
  if (url.substr(0, 8) == "imaps://") {
    account.security = ImapSecurity::kImaps;
    account.port = 993;
    rest = url.substr(8);
  } else if (url.substr(0, 7) == "imap://") {
    account.security = ImapSecurity::kStartTls;
    account.port = 143;
    rest = url.substr(7);
  } else {
    return fail("it must start with imaps:// or imap://");
  }
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  std::size_t at = rest.rfind('@');
  if (at == std::string_view::npos || at == 0) return fail("the user name is missing (user@host)");
  if (rest.substr(0, at).find(':') != std::string_view::npos) return fail(kPasswordInUrl);
  auto user = PercentDecode(rest.substr(0, at));
  if (!user || user->empty()) return fail("the user name is not valid");
  for (char c : *user) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      return fail("the user name holds a control character");
    }
  }
  account.user = *user;
  std::string_view hostPort = rest.substr(at + 1);
  if (hostPort.find_first_of("/?#") != std::string_view::npos) {
    return fail("only user@host[:port] may follow the scheme");
  }
  std::string_view host = hostPort;
  if (!hostPort.empty() && hostPort.front() == '[') {  // [IPv6]:port
    std::size_t close = hostPort.find(']');
    if (close == std::string_view::npos) return fail("an unclosed [ in the host");
    host = hostPort.substr(1, close - 1);
    hostPort = hostPort.substr(close + 1);
    if (!hostPort.empty() && hostPort.front() != ':') return fail("text after the host");
    if (!IsIpv6Literal(host)) return fail("\"[" + std::string(host) + "]\" is not an IPv6 address");
  } else {
    std::size_t colon = hostPort.find(':');
    host = hostPort.substr(0, colon);
    hostPort = colon == std::string_view::npos ? std::string_view() : hostPort.substr(colon);
    if (host.empty()) return fail("the host is missing");
    if (!IsHostName(host)) {
      return fail("\"" + std::string(host) +
                  "\" is not a host name (labels of letters, digits and '-', each at most 63 "
                  "long, 253 in all) nor an address");
    }
  }
  if (host.empty()) return fail("the host is missing");
  account.host = std::string(host);
  if (!hostPort.empty()) {
    std::string_view digits = hostPort.substr(1);
    unsigned port = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || port == 0 ||
        port > 65535) {
      return fail("the port must be a number from 1 to 65535");
    }
    account.port = static_cast<std::uint16_t>(port);
  }
  return account;
}

std::string FormatImapUrl(const ImapAccount& account) {
  std::string user;
  for (char c : account.user) {
    if (c == '@' || c == '%' || c == ':' || c == '/' || static_cast<unsigned char>(c) <= 0x20) {
      static const char kHex[] = "0123456789ABCDEF";
      user += '%';
      user += kHex[static_cast<unsigned char>(c) >> 4];
      user += kHex[static_cast<unsigned char>(c) & 15];
    } else {
      user += c;
    }
  }
  bool ipv6 = account.host.find(':') != std::string::npos;
  std::string host = ipv6 ? "[" + account.host + "]" : account.host;
  bool tls = account.security == ImapSecurity::kImaps;
  std::uint16_t defaultPort = tls ? 993 : 143;
  std::string url = std::string(tls ? "imaps://" : "imap://") + user + "@" + host;
  if (account.port != defaultPort) url += ":" + std::to_string(account.port);
  return url;
}

}  // namespace quorvel::mapi::imap
