// The bounds on what of a message reaches GMime, applied to the
// bytes before it parses them, so that no message, however crafted, makes the parse
// run out of stack or take memory or time out of proportion to its size.
//
// - kMaxMessageBytes: only that much of a file, a stream, an mbox message or an IMAP
//   message is read; the rest is never looked at (a caller that reads a stream itself
//   reads one byte more, at most, and hands it to ParseMime, which cuts it and says
//   so). Judging costs about ten times a message's size in memory (the parse, the
//   body text in the code page and in UTF-16, its tokens): 16 MiB keeps one message
//   under about 170 MB.
// - Address fields (From, To, Cc, Bcc, Sender, Reply-To, their Resent- forms and the
//   like), wherever a line starts with one, also in attached messages: groups nested
//   deeper than kMaxGroupDepth, entries beyond kMaxAddressEntries and field text beyond
//   kMaxAddressBytes in the whole message are cut off at the last whole entry. GMime
//   parses nested groups by recursion and spends some microseconds on every entry.
// - Multiparts: the message is cut where a multipart would open deeper than
//   kMaxMultipartDepth, or where part number kMaxParts + 1 would start. GMime checks
//   every line that starts with "--" against every open boundary, and adding a part
//   to a multipart takes time by the number of parts it has.
// - The top-level header block: fields beyond kMaxHeaderBytes or kMaxHeaderFields are
//   dropped up to the empty line that ends the block.
//
// What was cut is described in a short note ("" when nothing was), which the caller
// passes on to the user: a message over a bound is still judged, on what was kept.
// Pure functions; thread-safe.
#ifndef QUORVEL_MAPI_MIME_INPUT_BOUNDS_H_
#define QUORVEL_MAPI_MIME_INPUT_BOUNDS_H_

#include <cstddef>
#include <string>

namespace quorvel::mapi {

inline constexpr std::size_t kMaxMessageBytes = std::size_t{16} << 20;
inline constexpr int kMaxGroupDepth = 4;
inline constexpr std::size_t kMaxAddressEntries = 1000;
inline constexpr std::size_t kMaxAddressBytes = std::size_t{64} << 10;
inline constexpr std::size_t kMaxHeaderBytes = std::size_t{256} << 10;
inline constexpr std::size_t kMaxHeaderFields = 2000;
inline constexpr std::size_t kMaxMultipartDepth = 12;
inline constexpr std::size_t kMaxParts = 1000;

// Applies the address and header bounds to `data` in place; returns the new length
// and appends to *note what was cut ("; "-separated).
std::size_t BoundMessageInput(char* data, std::size_t size, std::string* note);

// The note for a message cut at kMaxMessageBytes.
std::string MessageSizeNote();

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MIME_INPUT_BOUNDS_H_
