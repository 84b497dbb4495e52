// Test helper (included by the *_test.cpp files only): a temporary Maildir that is
// removed at the end of the test, and deliveries into it the way a delivery agent
// makes them (written in tmp/, then renamed into new/ or cur/).
#ifndef QUORVEL_MAPI_MAILDIR_TEST_MAILDIR_H_
#define QUORVEL_MAPI_MAILDIR_TEST_MAILDIR_H_

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mapi/maildir/maildir_names.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/queries.h"
#include "mapi/store.h"

namespace quorvel::mapi::testing {

// The key that a Maildir store's entry identifiers carry.
inline StoreKey StoreKeyOf(MsgStore& store) {
  return DecodeMaildirId(
             GetEntryId(*store.GetProps(std::vector<PropTag>{PR_ENTRYID}), PR_ENTRYID).bytes())
      ->key;
}

// The whole text of a file ("" when it cannot be read).
inline std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Options of a store that watches nothing (no inotify thread), for tests that only read.
inline MaildirOptions UnwatchedOptions() {
  MaildirOptions options;
  options.watch = false;
  return options;
}

class TempMaildir {
 public:
  TempMaildir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvmd-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    MakeFolderDirs(root_);
  }
  ~TempMaildir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  TempMaildir(const TempMaildir&) = delete;
  TempMaildir& operator=(const TempMaildir&) = delete;

  const std::string& root() const { return root_; }
  std::string Dir(const std::string& folder) const {
    return folder.empty() ? root_ : root_ + "/." + folder;
  }

  // Creates "<root>/.<folder>" with cur/, new/ and tmp/.
  void AddFolder(const std::string& folder) const { MakeFolderDirs(Dir(folder)); }

  // Delivers `text` as `fileName` into `sub` ("new" or "cur") of `folder`.
  std::string Deliver(const std::string& folder, const std::string& sub,
                      const std::string& fileName, const std::string& text) const {
    std::string staged = Dir(folder) + "/tmp/" + fileName.substr(0, fileName.find(':'));
    std::ofstream(staged, std::ios::binary) << text;
    std::string target = Dir(folder) + "/" + sub + "/" + fileName;
    std::rename(staged.c_str(), target.c_str());
    return target;
  }

  static std::string Message(const std::string& subject, const std::string& from = "a@b.example") {
    return "From: Sender <" + from + ">\nTo: me@home.example\nSubject: " + subject +
           "\nContent-Type: text/plain\n\nBody of " + subject + "\n";
  }

 private:
  static void MakeFolderDirs(const std::string& dir) {
    ::mkdir(dir.c_str(), 0700);
    for (const char* sub : {"/cur", "/new", "/tmp"}) ::mkdir((dir + sub).c_str(), 0700);
  }

  std::string root_;
};

}  // namespace quorvel::mapi::testing

#endif  // QUORVEL_MAPI_MAILDIR_TEST_MAILDIR_H_
