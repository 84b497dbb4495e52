#include "mapi/maildir/folder_names.h"

#include <algorithm>
#include <chrono>

#include "mapi/maildir/maildir_listing.h"
#include "mapi/maildir/maildir_names.h"

namespace quorvel::mapi {
namespace {

constexpr const char* kSubs[] = {"new", "cur"};
// A folder changed less than this before its listing is listed again next time.
constexpr std::int64_t kCoarseClockNs = 2'000'000'000;

}  // namespace

FolderNames FolderNames::List(platform::FileSystem& files, const std::string& folder) {
  FolderNames out;
  // The stamps are taken before the listing: a change after them changes them.
  const std::int64_t nowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
  out.stamped_ = true;
  for (int i = 0; i < 2; ++i) {
    platform::FileInfo info;
    const bool known = files.Stat(platform::JoinFilePath(folder, kSubs[i]), &info).ok() &&
                       info.kind == platform::FileKind::kFolder && info.modifiedNs != 0;
    out.stamps_[i] = {info.inode, info.modifiedNs};
    if (!known || info.modifiedNs > nowNs - kCoarseClockNs) out.stamped_ = false;
  }
  std::vector<Entry> entries;
  VisitMaildirFiles(files, folder,
                    [&](const char* sub, std::string_view fileName, std::string_view unique) {
                      if (!ParseMessageFileName(fileName)) return;
                      entries.push_back({static_cast<std::uint32_t>(out.text_.size()),
                                         static_cast<std::uint16_t>(fileName.size()),
                                         static_cast<std::uint16_t>(unique.size()), sub[0] == 'c'});
                      out.text_.append(fileName);
                    });
  auto uniqueOf = [&out](const Entry& e) {
    return std::string_view(out.text_).substr(e.offset, e.uniqueLength);
  };
  // By unique part, cur/ before new/, then one of each unique part.
  std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
    const int order = uniqueOf(a).compare(uniqueOf(b));
    return order != 0 ? order < 0 : a.cur > b.cur;
  });
  entries.erase(
      std::unique(entries.begin(), entries.end(),
                  [&](const Entry& a, const Entry& b) { return uniqueOf(a) == uniqueOf(b); }),
      entries.end());
  entries.shrink_to_fit();
  out.entries_ = std::move(entries);
  out.text_.shrink_to_fit();
  return out;
}

std::string_view FolderNames::FileName(std::size_t i) const {
  return std::string_view(text_).substr(entries_[i].offset, entries_[i].length);
}

std::string_view FolderNames::Unique(std::size_t i) const {
  return std::string_view(text_).substr(entries_[i].offset, entries_[i].uniqueLength);
}

std::size_t FolderNames::CountUpTo(std::string_view unique) const {
  std::size_t low = 0, high = entries_.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (Unique(middle) <= unique) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

FolderNames FolderNames::Filtered(const std::function<bool(std::size_t)>& keep) const {
  FolderNames out;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!keep(i)) continue;
    Entry e = entries_[i];
    e.offset = static_cast<std::uint32_t>(out.text_.size());
    out.text_.append(FileName(i));
    out.entries_.push_back(e);
  }
  return out;
}

bool FolderNames::Unchanged(platform::FileSystem& files, const std::string& folder) const {
  if (!stamped_) return false;
  for (int i = 0; i < 2; ++i) {
    platform::FileInfo info;
    if (!files.Stat(platform::JoinFilePath(folder, kSubs[i]), &info).ok() ||
        info.inode != stamps_[i].inode || info.modifiedNs != stamps_[i].modifiedNs) {
      return false;
    }
  }
  return true;
}

}  // namespace quorvel::mapi
