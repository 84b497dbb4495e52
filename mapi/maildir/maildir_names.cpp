#include "mapi/maildir/maildir_names.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "mapi/tags.h"

namespace quorvel::mapi {
namespace {

constexpr std::string_view kMagic = "QVMD";
constexpr std::size_t kHeaderSize = 4 + 1 + 8;
constexpr std::size_t kMaxFolderName = 200;

std::string Header(char kind, StoreKey key) {
  std::string out(kMagic);
  out.push_back(kind);
  for (int i = 7; i >= 0; --i) out.push_back(static_cast<char>((key >> (8 * i)) & 0xFF));
  return out;
}

}  // namespace

StoreKey MakeStoreKey(std::string_view realRoot) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (unsigned char c : realRoot) {
    h ^= c;
    h *= 0x100000001b3ULL;
  }
  return h;
}

EntryId MaildirStoreId(StoreKey key) { return EntryId(Header('S', key)); }

EntryId MaildirFolderId(StoreKey key, std::string_view folderPath) {
  return EntryId(Header('F', key) + std::string(folderPath));
}

EntryId MaildirMessageId(StoreKey key, std::string_view folderPath, std::string_view unique) {
  std::string out = Header('M', key);
  std::size_t n = std::min<std::size_t>(folderPath.size(), 0xFFFF);
  out.push_back(static_cast<char>(n >> 8));
  out.push_back(static_cast<char>(n & 0xFF));
  out.append(folderPath.substr(0, n));
  out.append(unique);
  return EntryId(std::move(out));
}

std::optional<DecodedMaildirId> DecodeMaildirId(std::string_view bytes) {
  if (bytes.size() < kHeaderSize || bytes.substr(0, 4) != kMagic) return std::nullopt;
  DecodedMaildirId id;
  id.kind = bytes[4];
  for (std::size_t i = 5; i < kHeaderSize; ++i) {
    id.key = (id.key << 8) | static_cast<unsigned char>(bytes[i]);
  }
  std::string_view rest = bytes.substr(kHeaderSize);
  switch (id.kind) {
    case 'S':
      if (!rest.empty()) return std::nullopt;
      return id;
    case 'F':
      id.folderPath = std::string(rest);
      return id;
    case 'M': {
      if (rest.size() < 2) return std::nullopt;
      std::size_t n =
          (static_cast<unsigned char>(rest[0]) << 8) | static_cast<unsigned char>(rest[1]);
      if (rest.size() < 2 + n + 1) return std::nullopt;  // a unique part is never empty
      id.folderPath = std::string(rest.substr(2, n));
      id.unique = std::string(rest.substr(2 + n));
      if (!ParseMessageFileName(id.unique) || id.unique.find(':') != std::string::npos) {
        return std::nullopt;
      }
      return id;
    }
    default:
      return std::nullopt;
  }
}

std::optional<MessageFileName> ParseMessageFileName(std::string_view name) {
  if (name.empty() || name[0] == '.' || name.find('/') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  MessageFileName out;
  std::size_t colon = name.find(':');
  out.unique = std::string(name.substr(0, colon));
  if (out.unique.empty()) return std::nullopt;
  if (colon != std::string_view::npos) {
    std::string_view info = name.substr(colon + 1);
    if (info.substr(0, 2) == "2,") {
      out.hasInfo = true;
      out.flags = std::string(info.substr(2));
      std::sort(out.flags.begin(), out.flags.end());
    }
  }
  return out;
}

std::uint32_t MessageFlagsOf(const MessageFileName& name) {
  static constexpr struct {
    char letter;
    std::uint32_t flag;
  } kFlags[] = {{'S', MSGFLAG_READ}, {'D', MSGFLAG_UNSENT}};
  std::uint32_t flags = 0;
  for (const auto& f : kFlags) {
    if (name.flags.find(f.letter) != std::string::npos) flags |= f.flag;
  }
  return flags;
}

std::string WithFlag(std::string_view flags, char flag, bool on) {
  std::string out;
  for (char c : flags) {
    if (c != flag && out.find(c) == std::string::npos) out.push_back(c);
  }
  if (on) out.push_back(flag);
  std::sort(out.begin(), out.end());
  return out;
}

std::string CurFileName(std::string_view unique, std::string_view flags) {
  std::string sorted;
  for (char c : flags) {
    if (sorted.find(c) == std::string::npos) sorted.push_back(c);
  }
  std::sort(sorted.begin(), sorted.end());
  return std::string(unique) + ":2," + sorted;
}

bool IsValidFolderName(std::string_view name) {
  if (name.empty() || name.size() > kMaxFolderName) return false;
  return name.find_first_of(std::string_view("./\0", 3)) == std::string_view::npos;
}

std::string FolderDirectory(const std::string& root, std::string_view folderPath) {
  if (folderPath.empty()) return root;
  return root + "/." + std::string(folderPath);
}

std::string ParentFolderPath(std::string_view folderPath) {
  std::size_t dot = folderPath.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(folderPath.substr(0, dot));
}

std::string_view FolderLeafName(std::string_view folderPath) {
  std::size_t dot = folderPath.rfind('.');
  return dot == std::string_view::npos ? folderPath : folderPath.substr(dot + 1);
}

std::string NewUniqueName(const platform::Clock& clock) {
  static std::atomic<std::uint64_t> counter{0};
  constexpr platform::FileTime kUnixEpoch = 116'444'736'000'000'000ULL;
  platform::FileTime now = clock.Now();
  std::uint64_t sinceEpoch = now > kUnixEpoch ? now - kUnixEpoch : 0;
  std::uint64_t seconds = sinceEpoch / platform::kFileTimeSecond;
  std::uint64_t micros = (sinceEpoch % platform::kFileTimeSecond) / 10;
  char host[256] = {0};
  if (::gethostname(host, sizeof(host) - 1) != 0 || host[0] == '\0') {
    std::string_view("localhost").copy(host, 9);
  }
  // A host name may not hold "/" or ":" inside a file name.
  std::string safeHost;
  for (char* p = host; *p != '\0'; ++p) {
    safeHost += *p == '/'   ? std::string("\\057")
                : *p == ':' ? std::string("\\072")
                            : std::string(1, *p);
  }
  return std::to_string(seconds) + ".M" + std::to_string(micros) + "P" +
         std::to_string(::getpid()) + "Q" + std::to_string(++counter) + "." + safeHost;
}

}  // namespace quorvel::mapi
