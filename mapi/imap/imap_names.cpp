#include "mapi/imap/imap_names.h"

#include <strings.h>

#include <charconv>

#include "platform/mailbox_name.h"

namespace quorvel::mapi::imap {
namespace {

constexpr std::string_view kMagic = "QVIM";
constexpr std::string_view kKeywordPrefix = "$QvP_";
constexpr std::size_t kMaxKeywordBytes = 32;  // longer strings are not kept as keywords

void PutU32(std::string* out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out->push_back(static_cast<char>((v >> shift) & 0xFF));
}
std::uint32_t GetU32(std::string_view s) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(s[i]);
  return v;
}
std::string Header(char kind, StoreKey key) {
  std::string out(kMagic);
  out += kind;
  PutU32(&out, static_cast<std::uint32_t>(key >> 32));
  PutU32(&out, static_cast<std::uint32_t>(key));
  return out;
}

}  // namespace

StoreKey MakeStoreKey(std::string_view accountName) {
  StoreKey h = 1469598103934665603ULL;
  for (unsigned char c : accountName) {
    h ^= c;
    h *= 1099511628211ULL;
  }
  return h;
}

EntryId StoreIdOf(StoreKey key) { return EntryId(Header('S', key)); }

EntryId FolderIdOf(StoreKey key, std::string_view mailbox) {
  return EntryId(Header('F', key) + std::string(mailbox));
}

EntryId MessageIdOf(StoreKey key, std::string_view mailbox, std::uint32_t uidValidity,
                    std::uint32_t uid) {
  std::string out = Header('M', key);
  PutU32(&out, uidValidity);
  PutU32(&out, uid);
  out += mailbox;
  return EntryId(std::move(out));
}

std::optional<DecodedId> DecodeId(std::string_view bytes) {
  if (bytes.size() < 13 || bytes.substr(0, 4) != kMagic) return std::nullopt;
  DecodedId id;
  id.kind = bytes[4];
  id.key = (static_cast<StoreKey>(GetU32(bytes.substr(5))) << 32) | GetU32(bytes.substr(9));
  std::string_view rest = bytes.substr(13);
  switch (id.kind) {
    case 'S':
      if (!rest.empty()) return std::nullopt;
      return id;
    case 'F':
      if (rest.empty()) return std::nullopt;
      id.mailbox = std::string(rest);
      return id;
    case 'M':
      if (rest.size() < 9) return std::nullopt;
      id.uidValidity = GetU32(rest);
      id.uid = GetU32(rest.substr(4));
      id.mailbox = std::string(rest.substr(8));
      if (id.uid == 0) return std::nullopt;
      return id;
    default:
      return std::nullopt;
  }
}

std::string NormalizeMailbox(std::string_view name) {
  if (name.size() == 5 && strncasecmp(name.data(), "INBOX", 5) == 0) return "INBOX";
  return std::string(name);
}

std::string MailboxToUtf8(std::string_view name) { return platform::FolderNameToUtf8(name); }

std::string Utf8ToMailbox(std::string_view utf8) {
  return platform::Utf8ToModifiedUtf7(utf8).value_or(std::string(utf8));
}

std::optional<std::string> PropKeyword(const PropValue& value) {
  char tag[9];
  static const char kHex[] = "0123456789ABCDEF";
  for (int i = 0; i < 8; ++i) tag[i] = kHex[(value.tag >> (28 - 4 * i)) & 0xF];
  tag[8] = 0;
  std::string out = std::string(kKeywordPrefix) + tag + "_";
  if (const auto* v = value.AsLong()) return out + std::to_string(*v);
  if (const auto* v = value.AsBoolean()) return out + (*v ? "1" : "0");
  if (const auto* v = value.AsI8()) return out + std::to_string(*v);
  if (const auto* v = value.AsTime()) return out + std::to_string(v->fileTime);
  const std::string* bytes = value.AsString8();
  if (bytes == nullptr && value.AsBinary() != nullptr) bytes = &value.AsBinary()->bytes;
  if (bytes == nullptr || bytes->size() > kMaxKeywordBytes) return std::nullopt;
  out += 'x';
  for (unsigned char c : *bytes) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

bool IsPropKeyword(std::string_view keyword) {
  return keyword.size() > kKeywordPrefix.size() &&
         strncasecmp(keyword.data(), kKeywordPrefix.data(), kKeywordPrefix.size()) == 0;
}

std::optional<PropValue> KeywordProp(std::string_view keyword) {
  if (!IsPropKeyword(keyword)) return std::nullopt;
  std::string_view rest = keyword.substr(kKeywordPrefix.size());
  if (rest.size() < 10 || rest[8] != '_') return std::nullopt;
  PropTag tag = 0;
  auto [end, ec] = std::from_chars(rest.data(), rest.data() + 8, tag, 16);
  if (ec != std::errc() || end != rest.data() + 8) return std::nullopt;
  std::string_view text = rest.substr(9);
  auto number = [&](auto* v) {
    auto [e, c] = std::from_chars(text.data(), text.data() + text.size(), *v);
    return c == std::errc() && e == text.data() + text.size();
  };
  switch (PROP_TYPE(tag)) {
    case PT_LONG: {
      std::int32_t v = 0;
      if (!number(&v)) return std::nullopt;
      return PropValue::Long(tag, v);
    }
    case PT_BOOLEAN:
      if (text != "0" && text != "1") return std::nullopt;
      return PropValue::Boolean(tag, text == "1");
    case PT_I8: {
      std::int64_t v = 0;
      if (!number(&v)) return std::nullopt;
      return PropValue::I8(tag, v);
    }
    case PT_SYSTIME: {
      std::uint64_t v = 0;
      if (!number(&v)) return std::nullopt;
      return PropValue::Time(tag, v);
    }
    case PT_STRING8:
    case PT_BINARY: {
      if (text.empty() || (text[0] != 'x' && text[0] != 'X') || text.size() % 2 == 0) {
        return std::nullopt;
      }
      auto bytes = HexToBytes(text.substr(1));
      if (!bytes) return std::nullopt;
      return PROP_TYPE(tag) == PT_STRING8 ? PropValue::String8(tag, *bytes)
                                          : PropValue::Bin(tag, *bytes);
    }
    default:
      return std::nullopt;
  }
}

}  // namespace quorvel::mapi::imap
