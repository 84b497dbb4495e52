// Internal to mapi/maildir: the names of one Maildir folder's message files, listed in
// one pass and kept compactly (one buffer of names, a dozen bytes of index each: about
// 45 bytes a message), in the order of their unique parts, a message in both new/ and
// cur/ once, as its cur/ file. What a contents table seeks in, and what a page of a
// large folder is read from.
//
// A listing remembers how new/ and cur/ looked when it was made (inode and time of
// change): `Unchanged` tells whether they still look so, and so whether the listing
// may be given again instead of listing the folder anew. A folder changed within two
// seconds before its listing is never taken as unchanged (a file system's clock may be
// coarse enough that a later change keeps the time), nor one whose file system gives
// no times.
//
// Immutable once made: safe to share between threads.
#ifndef QUORVEL_MAPI_MAILDIR_FOLDER_NAMES_H_
#define QUORVEL_MAPI_MAILDIR_FOLDER_NAMES_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace quorvel::mapi {

class FolderNames {
 public:
  // Lists `folder` (the directory holding new/ and cur/) of `files` now.
  static FolderNames List(platform::FileSystem& files, const std::string& folder);

  std::size_t size() const { return entries_.size(); }
  // REQUIRES: i < size().
  bool InCur(std::size_t i) const { return entries_[i].cur; }
  std::string_view FileName(std::size_t i) const;
  std::string_view Unique(std::size_t i) const;
  // How many entries have a unique part up to `unique` (those a reader given rows up
  // to it has passed).
  std::size_t CountUpTo(std::string_view unique) const;
  // The entries `keep` is true for, in the same order; never taken as unchanged.
  FolderNames Filtered(const std::function<bool(std::size_t)>& keep) const;

  // Whether new/ and cur/ of `folder` look as they did when this was listed.
  bool Unchanged(platform::FileSystem& files, const std::string& folder) const;

 private:
  struct Entry {
    std::uint32_t offset = 0;  // of the file name in text_
    std::uint16_t length = 0;
    std::uint16_t uniqueLength = 0;
    bool cur = false;
  };
  struct Stamp {
    std::uint64_t inode = 0;
    std::int64_t modifiedNs = 0;
  };

  std::string text_;
  std::vector<Entry> entries_;
  bool stamped_ = false;  // stamps_ may be compared
  Stamp stamps_[2];       // new/, cur/
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAILDIR_FOLDER_NAMES_H_
