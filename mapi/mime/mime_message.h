// A parsed RFC 5322 message presented as a message of the mail-store layer.
//
// Properties (all text in the ANSI code page):
//   PR_MESSAGE_CLASS        "IPM.Note", "REPORT.IPM.Note.NDR" (multipart/report with
//                           report-type=delivery-status), "REPORT.IPM.Note.IPNRN"
//                           (disposition notifications), "IPM.Schedule.Meeting.Request"
//                           (a text/calendar invitation)
//   PR_SUBJECT              Subject, decoded
//   PR_SENDER_NAME / PR_SENDER_EMAIL_ADDRESS / PR_SENDER_ADDRTYPE ("SMTP"), and the same
//                           as PR_SENT_REPRESENTING_*: the first From mailbox; a mailbox
//                           without a display name has its address as its name
//   PR_DISPLAY_TO / _CC / _BCC   the mailboxes' names joined with "; "
//   PR_RECEIVED_BY_EMAIL_ADDRESS the store's account address, else the first
//                           Delivered-To, else the first X-Original-To
//   PR_TRANSPORT_MESSAGE_HEADERS the header block as it stands, CRLF line ends
//   PR_BODY                 the text body (CRLF); for HTML-only mail a plain rendering
//   PR_HTML                 the HTML body's bytes (binary)
//   PR_RTF_COMPRESSED       always: the HTML body encapsulated in RTF when there is one,
//                           plain RTF of the text body otherwise; held in the
//                           uncompressed form, computed on the first request
//   PR_MESSAGE_FLAGS        MSGFLAG_READ and MSGFLAG_UNSENT only as the store says
//                           (never from a header: anyone can write one, and mail that
//                           called itself a draft would pass every rule), plus
//                           MSGFLAG_HASATTACH
//   PR_HASATTACH, PR_INTERNET_MESSAGE_ID, PR_CLIENT_SUBMIT_TIME (Date),
//   PR_MESSAGE_DELIVERY_TIME (the store's time, else Date), PR_MESSAGE_SIZE
// Recipient table: To, Cc, Bcc (PR_RECIPIENT_TYPE 1, 2, 3) with PR_DISPLAY_NAME,
// PR_EMAIL_ADDRESS, PR_ADDRTYPE and PR_ROWID. Attachment table: every leaf that is not
// a chosen body, with PR_ATTACH_NUM (0, 1, ...), PR_ATTACH_LONG_FILENAME,
// PR_ATTACH_FILENAME (8.3), PR_ATTACH_FLAGS (ATT_MHTML_REF when the HTML body refers
// to it by Content-ID or Content-Location, else 0), PR_ATTACH_MIME_TAG and, on the
// opened attachment, PR_ATTACH_DATA_BIN.
//
// The MIME content is read-only. Other properties (the own-message mark, ...) may be
// written with SetProps; SaveChanges hands them to the store's saver, and without a
// saver fails with MAPI_E_NO_ACCESS. SetReadFlag goes to the saver as well.
//
// Thread-safety: like every opened object, one message belongs to one thread at a time.
#ifndef QUORVEL_MAPI_MIME_MIME_MESSAGE_H_
#define QUORVEL_MAPI_MIME_MIME_MESSAGE_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapi/message.h"
#include "mapi/mime/mime_parse.h"

namespace quorvel::mapi {

// What the store knows about a message beyond its content.
struct MimeMessageContext {
  std::string accountAddress;                 // the store's account address, may be empty
  std::uint32_t storeFlags = 0;               // MSGFLAG_READ / MSGFLAG_UNSENT from the store
  std::uint64_t size = 0;                     // PR_MESSAGE_SIZE (bytes of the message file)
  std::optional<std::uint64_t> deliveryTime;  // file time
  std::vector<PropValue> identity;            // read-only: PR_ENTRYID, PR_PARENT_ENTRYID, ...
  std::vector<PropValue> saved;               // properties written earlier and kept by the store
};

// Where a writable store keeps what SetProps and SetReadFlag change.
class MimeMessageSaver {
 public:
  virtual ~MimeMessageSaver() = default;
  // Persists `props`, the message's whole set of written properties.
  virtual HRESULT SaveProps(const std::vector<PropValue>& props) = 0;
  virtual HRESULT SetRead(bool read) = 0;
};

std::shared_ptr<Message> OpenMimeMessage(MimeMessage parsed, MimeMessageContext context,
                                         std::shared_ptr<MimeMessageSaver> saver = nullptr);

// A message file (MAPI_E_NOT_FOUND when it does not exist, MAPI_E_DISK_ERROR when it
// cannot be read) with what its store knows of it (the size is the file's), or bytes
// (standard input) with the store's account address. Outside a store a message is
// neither read nor a draft. *boundsNote, when given, says what of the message was over
// a bound and left out ("" when nothing was).
Result<std::shared_ptr<Message>> OpenMimeMessageFile(const std::string& path,
                                                     MimeMessageContext context = {},
                                                     std::string* boundsNote = nullptr);
std::shared_ptr<Message> OpenMimeMessageBytes(std::string_view bytes,
                                              const std::string& accountAddress = {},
                                              std::string* boundsNote = nullptr);

// The summary properties of a message for a contents-table row: every property above
// except the bodies, the RTF and the transport headers, plus the context's identity
// and saved properties.
std::vector<PropValue> MimeSummaryProps(const MimeMessage& parsed,
                                        const MimeMessageContext& context);

// PR_MESSAGE_FLAGS of a message.
std::uint32_t MimeMessageFlags(const MimeMessage& parsed, const MimeMessageContext& context);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MIME_MIME_MESSAGE_H_
