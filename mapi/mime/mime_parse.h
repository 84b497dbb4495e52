// One RFC 5322 message parsed into plain values, the way the mail client would present
// it: decoded headers and mailboxes, the chosen text and HTML bodies, the attachments and
// the message class. Every text is in the ANSI code page (platform/code_page.h), except
// the subject, mailbox names and attachment file names, which are kept as UTF-8 too for
// any script to survive.
//
// Choosing the body parts: depth first through every multipart (alternative, related,
// mixed, report, signed ...), the first text/plain leaf and the first text/html leaf that
// do not carry "Content-Disposition: attachment" are the text and HTML bodies. Every
// other leaf (an embedded message/rfc822 counts as one leaf) is an attachment.
//
// Broken mail never fails the parse: a truncated multipart keeps the parts that arrived,
// bad base64 decodes what it can, an unknown charset falls back to UTF-8 when the bytes
// are valid UTF-8 and to Windows-1252 otherwise, and a file without headers is a message
// whose whole text is its plain body.
//
// Thread-safety: ParseMime may be called from any thread (GMime is initialised once per
// process). A MimeMessage is a value; ReadAttachmentData on one message must not run on
// two threads at once.
#ifndef QUORVEL_MAPI_MIME_MIME_PARSE_H_
#define QUORVEL_MAPI_MIME_MIME_PARSE_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace quorvel::mapi {

struct MimeMailbox {
  std::string name;      // display name; the address when the header gave none
  std::string address;   // addr-spec, may be empty for a broken mailbox
  std::string nameUtf8;  // the display name as decoded, UTF-8; empty when the header gave none
};

// Recipient types as the recipient table carries them.
inline constexpr std::int32_t kMimeTo = 1;
inline constexpr std::int32_t kMimeCc = 2;
inline constexpr std::int32_t kMimeBcc = 3;

struct MimeRecipient {
  std::int32_t type = kMimeTo;
  MimeMailbox mailbox;
};

struct MimeAttachment {
  std::string longFileName;      // filename / name parameter, RFC 2231 and 2047 decoded
  std::string longFileNameUtf8;  // the same as decoded, UTF-8
  std::string shortFileName;     // 8.3 form of longFileName (empty when that is empty)
  std::string mimeType;          // lower case, e.g. "image/png"
  std::string contentId;         // without the angle brackets
  std::string contentLocation;
  bool referencedByHtml = false;  // the HTML body names it by cid: or Content-Location
  bool embeddedMessage = false;   // a message/rfc822 part
};

// Opaque: keeps the parsed document alive for ReadAttachmentData.
struct MimeDocument;

struct MimeMessage {
  std::string messageClass;  // "IPM.Note", "REPORT.IPM.Note.NDR", ...
  std::string subject;
  std::string subjectUtf8;                // the same as decoded, UTF-8
  std::optional<MimeMailbox> from;        // first From mailbox
  std::vector<MimeRecipient> recipients;  // To, then Cc, then Bcc, in header order
  std::string displayTo;                  // To names joined with "; "
  std::string deliveredTo;                // first Delivered-To, else first X-Original-To address
  std::string messageId;                  // as written, angle brackets included
  std::optional<std::int64_t> date;       // Date header, seconds since the Unix epoch
  std::string transportHeaders;           // the raw header block, CRLF line ends

  // Decoded bodies (ANSI). The plain body has CRLF line ends. Absent parts are empty and
  // reported by the has* flags (an empty part is still a part).
  bool hasTextBody = false;
  bool hasHtmlBody = false;
  std::string textBody;
  std::string htmlBody;

  std::vector<MimeAttachment> attachments;

  std::shared_ptr<MimeDocument> document;  // null when there are no attachments

  // What of the input was left out because it was over a bound (input_bounds.h), for
  // the user; empty when the whole message was parsed.
  std::string boundsNote;
};

// Parses a message held in memory. Never fails; empty input gives an empty message with
// the class "IPM.Note".
MimeMessage ParseMime(std::string_view bytes);

// Reads and parses a file. Fails only when the file cannot be read or is not a regular
// file (platform::kNotARegularFile: a FIFO, a device); a broken message
// inside a readable file parses as well as it can. Only the first 16 MiB of a larger
// file are read (noted in boundsNote). *fileSize, when given, is the file's size.
platform::FileStatus ReadMimeFile(platform::FileSystem& files, const std::string& path,
                                  MimeMessage* out, std::uint64_t* fileSize = nullptr);
// The same on the machine's own files, with "<path>: <the system's reason>" in *error.
bool ParseMimeFile(const std::string& path, MimeMessage* out, std::string* error = nullptr);

// The same for an open descriptor (standard input), read up to its end or the bound;
// `name` is used in *error. The descriptor is not closed.
bool ParseMimeDescriptor(int fd, const std::string& name, MimeMessage* out,
                         std::string* error = nullptr);

// The decoded content of attachment `index` (transfer encoding removed, bytes as sent;
// an embedded message as its full text). False when the index is out of range.
bool ReadAttachmentData(const MimeMessage& message, std::size_t index, std::string* out);

// The 8.3 form of a file name: kept as it is when it already fits (at most 8 characters,
// a dot and at most 3, none of them blanks or reserved), otherwise upper-cased, stripped
// of characters a short name cannot hold, cut to six characters plus "~1" and the first
// three characters of the extension.
std::string ShortFileName(std::string_view longName);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MIME_MIME_PARSE_H_
