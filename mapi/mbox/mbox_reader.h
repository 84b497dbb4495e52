// Reads an mbox file one message at a time, holding only the message being read.
//
// An mbox is messages one after another, each introduced by a separator line
// "From <sender> <date>" and followed by an empty line. Writers quote a body line
// that would read as a separator: mboxo turns "From " into ">From ", mboxrd adds one
// '>' to every ">...>From " line as well. Reading is the same for both: a line of one
// or more '>' followed by "From " loses one '>'.
//
// A line that starts with "From " ends the message before it when
//   - it follows an empty line (a writer never leaves a body line like that unquoted),
//     or
//   - it has a separator's shape (a sender, then a date with a time and a year), which
//     also splits files whose writer left out the empty line.
// A "From " line that is neither stays in the message. The empty line before a
// separator, and the one at the end of the file, belong to the format: the message's
// bytes are those before it, the separator left out, as the message was before it was
// put into the mbox.
//
// Damage is reported with the message it concerns, and reading goes on:
//   damagedSeparator  its separator lacks a sender or a date (or the file does not
//                     begin with "From " at all)
//   truncated         the file ends inside it (no line end after its last line, or
//                     the read failed)
//   empty             it has no bytes at all (a separator right before another one or
//                     at the end)
//   tooLarge          it is larger than the limit: its first maxMessageBytes bytes
//                     are kept (to be judged on, as a file cut at the same bound is)
//                     and the rest of it is read past, so memory stays bounded
// A failed read of the stream ends the reading.
//
// Thread-safety: one reader belongs to one thread.
#ifndef QUORVEL_MAPI_MBOX_MBOX_READER_H_
#define QUORVEL_MAPI_MBOX_MBOX_READER_H_

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::mapi {

struct MboxMessage {
  std::uint64_t number = 0;  // 1 for the first message
  std::uint64_t offset = 0;  // byte offset of its separator line in the stream
  std::string bytes;         // the message, unquoted; when tooLarge, its start
  bool damagedSeparator = false;
  bool truncated = false;
  bool empty = false;
  bool tooLarge = false;
};

// Whether a line (without its line end) has a separator's shape: "From ", a sender,
// then text holding a time (H:MM) and a four-digit year.
bool IsMboxSeparator(std::string_view line);

// Whether bytes that begin a file make it an mbox: its first line starts with "From ".
bool LooksLikeMbox(std::string_view start);

class MboxReader {
 public:
  // The bound a message file is read to (kMaxMessageBytes in mapi/mime/input_bounds.h).
  static constexpr std::size_t kDefaultMaxMessageBytes = std::size_t{16} << 20;

  // Reads from `in`, which must outlive the reader, positioned at the file's start.
  explicit MboxReader(std::istream& in, std::size_t maxMessageBytes = kDefaultMaxMessageBytes);

  // The next message. False at the end of the stream or once a read failed.
  bool Next(MboxMessage* out);

  // Whether reading stopped on a failed read rather than at the end.
  bool failed() const { return failed_; }

 private:
  // Reads one line with its line end into line_, keeping at most `keep` bytes of it
  // (the length read is in lineLength_). False at the end of the stream.
  bool ReadLine(std::size_t keep);
  bool Fill();

  std::istream& in_;
  const std::size_t maxMessageBytes_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::uint64_t consumed_ = 0;  // stream offset of buffer_[pos_]
  bool eof_ = false;
  bool failed_ = false;

  std::string line_;
  std::size_t lineLength_ = 0;
  bool lineEnded_ = false;

  bool started_ = false;
  bool haveSeparator_ = false;  // the next message's separator line is in separator_
  std::string separator_;
  std::uint64_t separatorOffset_ = 0;
  std::uint64_t count_ = 0;
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MBOX_MBOX_READER_H_
