#include "mapi/maildir/props_file.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/folder_visit.h"

namespace quorvel::mapi {
namespace {

constexpr std::string_view kHeader = "QVPROPS 1";

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 0xF]);
  }
  return out;
}

template <typename T>
bool ParseNumber(std::string_view text, T* out, int base = 10) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out, base);
  return ec == std::errc() && end == text.data() + text.size();
}

std::string PropsPath(const std::string& root, std::string_view unique) {
  return root + "/" + std::string(kPropsFolder) + "/" + std::string(unique);
}

}  // namespace

std::string SerializeProps(const std::vector<PropValue>& props) {
  std::string out(kHeader);
  out += "\n";
  for (const PropValue& v : props) {
    char tag[16];
    std::snprintf(tag, sizeof(tag), "%08X ", v.tag);
    std::string value;
    if (const std::int32_t* l = v.AsLong()) {
      value = std::to_string(*l);
    } else if (const bool* b = v.AsBoolean()) {
      value = *b ? "1" : "0";
    } else if (const std::int64_t* i = v.AsI8()) {
      value = std::to_string(*i);
    } else if (const SysTime* t = v.AsTime()) {
      value = std::to_string(t->fileTime);
    } else if (const std::string* s = v.AsString8()) {
      value = Hex(*s);
    } else if (const Binary* bin = v.AsBinary()) {
      value = Hex(bin->bytes);
    } else if (const std::u16string* w = v.AsUnicode()) {
      value = Hex(platform::WideToUtf8(*w));
    } else {
      continue;  // errors and unknown types are not kept
    }
    out += tag;
    out += value;
    out += "\n";
  }
  return out;
}

std::vector<PropValue> ParseProps(std::string_view text) {
  std::vector<PropValue> props;
  std::size_t nl = text.find('\n');
  if (text.substr(0, nl) != kHeader) return props;
  while (nl != std::string_view::npos) {
    std::size_t start = nl + 1;
    nl = text.find('\n', start);
    std::string_view line =
        text.substr(start, nl == std::string_view::npos ? text.npos : nl - start);
    std::size_t space = line.find(' ');
    PropTag tag = 0;
    if (space != 8 || !ParseNumber(line.substr(0, 8), &tag, 16)) continue;
    std::string_view value = line.substr(9);
    switch (PROP_TYPE(tag)) {
      case PT_LONG: {
        std::int32_t l = 0;
        if (ParseNumber(value, &l)) props.push_back(PropValue::Long(tag, l));
        break;
      }
      case PT_BOOLEAN:
        if (value == "0" || value == "1") props.push_back(PropValue::Boolean(tag, value == "1"));
        break;
      case PT_I8: {
        std::int64_t i = 0;
        if (ParseNumber(value, &i)) props.push_back(PropValue::I8(tag, i));
        break;
      }
      case PT_SYSTIME: {
        std::uint64_t t = 0;
        if (ParseNumber(value, &t)) props.push_back(PropValue::Time(tag, t));
        break;
      }
      case PT_STRING8:
      case PT_BINARY:
      case PT_UNICODE: {
        auto bytes = HexToBytes(value);
        if (!bytes) break;
        if (PROP_TYPE(tag) == PT_STRING8) {
          props.push_back(PropValue::String8(tag, std::move(*bytes)));
        } else if (PROP_TYPE(tag) == PT_BINARY) {
          props.push_back(PropValue::Bin(tag, std::move(*bytes)));
        } else {
          props.push_back(PropValue::Unicode(tag, platform::Utf8ToWide(*bytes)));
        }
        break;
      }
      default:
        break;
    }
  }
  return props;
}

std::vector<PropValue> LoadMessageProps(platform::FileSystem& files, const std::string& root,
                                        std::string_view unique) {
  std::string bytes;
  if (!files.ReadFile(PropsPath(root, unique), &bytes).ok()) return {};
  return ParseProps(bytes);
}

bool SaveMessageProps(platform::FileSystem& files, const std::string& root, std::string_view unique,
                      const std::vector<PropValue>& props) {
  if (props.empty()) {
    RemoveMessageProps(files, root, unique);
    return true;
  }
  return files.CreateFolders(root + "/" + std::string(kPropsFolder), 0700).ok() &&
         files.WriteFileAtomic(PropsPath(root, unique), SerializeProps(props)).ok();
}

bool CopyMessageProps(platform::FileSystem& files, const std::string& root, std::string_view from,
                      std::string_view to) {
  std::vector<PropValue> props = LoadMessageProps(files, root, from);
  return props.empty() || SaveMessageProps(files, root, to, props);
}

bool MoveMessageProps(platform::FileSystem& files, const std::string& root, std::string_view from,
                      std::string_view to) {
  const int error = files.RenameNoReplace(PropsPath(root, from), PropsPath(root, to)).code();
  return error == 0 || error == ENOENT;
}

void RemoveMessageProps(platform::FileSystem& files, const std::string& root,
                        std::string_view unique) {
  files.Remove(PropsPath(root, unique));
}

std::unordered_set<std::string> UniquesWithProps(platform::FileSystem& files,
                                                 const std::string& root) {
  std::unordered_set<std::string> out;
  platform::VisitFolder(files, root + "/" + std::string(kPropsFolder),
                        [&](const platform::FolderEntry& entry) {
                          if (!entry.name.empty() && entry.name[0] != '.') out.insert(entry.name);
                        });
  return out;
}

}  // namespace quorvel::mapi
