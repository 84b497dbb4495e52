// Keyword letters of a Maildir folder that Dovecot also serves.
//
// Dovecot keeps a folder's keywords (IMAP flags such as "$Junk" or "NonJunk") in
// "<folder>/dovecot-keywords", one "<index> <name>" a line, and a message file carries
// keyword `index` as the letter 'a' + index among its info flags. The letters mean
// something only in their own folder, so a move between folders translates them: each
// letter becomes its keyword's name through the source folder's file, and the name
// becomes the destination's letter, added to the destination's file at the first free
// index when it is not there yet, as Dovecot itself does.
//
// What cannot be carried is left off the flags and said in a note: a letter the source
// file does not name (the file is missing, or damaged at that line), a keyword that
// finds no free letter (all 26 in use), a destination file that is damaged (it is
// never rewritten then) or cannot be written.
//
// Pure functions over files; the destination's file is replaced atomically.
#ifndef QUORVEL_MAPI_MAILDIR_KEYWORDS_FILE_H_
#define QUORVEL_MAPI_MAILDIR_KEYWORDS_FILE_H_

#include <array>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace quorvel::mapi {

inline constexpr std::string_view kKeywordsFile = "dovecot-keywords";
inline constexpr std::size_t kMaxKeywords = 26;

struct KeywordTable {
  std::array<std::string, kMaxKeywords> names;  // empty: the letter is free
  bool damaged = false;                         // a line did not parse: never written over
};

KeywordTable ParseKeywordTable(std::string_view text);
std::string SerializeKeywordTable(const KeywordTable& table);

// The info flags `flags` of a message moving from the folder directory `sourceDir`
// into `destinationDir`, with its keyword letters translated (sorted). Other flags
// are kept. Writes the destination's file when it gains a keyword. Appends what was
// left off to *note ("" when everything was carried).
std::string TranslateKeywordFlags(platform::FileSystem& files, const std::string& sourceDir,
                                  const std::string& destinationDir, std::string_view flags,
                                  std::string* note);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAILDIR_KEYWORDS_FILE_H_
