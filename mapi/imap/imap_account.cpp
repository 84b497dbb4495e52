#include "mapi/imap/imap_account.h"

#include <charconv>

namespace quorvel::mapi::imap {
namespace {

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

}  // namespace

std::optional<ImapAccount> ParseImapUrl(std::string_view url, std::string* error) {
  auto fail = [&](const char* why) {
    if (error) *error = std::string("\"") + std::string(url) + "\" is not an IMAP address: " + why;
    return std::nullopt;
  };
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
  auto user = PercentDecode(rest.substr(0, at));
  if (!user || user->empty()) return fail("the user name is not valid");
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
  } else {
    std::size_t colon = hostPort.rfind(':');
    host = hostPort.substr(0, colon);
    hostPort = colon == std::string_view::npos ? std::string_view() : hostPort.substr(colon);
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
