// MessageBuilder: a test message told as a story and saved into any folder.
//
//   EntryId id = *MessageBuilder()
//                     .From("Ann Lee", "ann@example.com")
//                     .To("Bob", "bob@example.com")
//                     .Subject("Lunch")
//                     .HtmlBody("<p>Free <b>pills</b></p>")
//                     .Attachment("invoice.exe")
//                     .DeliverTo(*inbox);
//
// Defaults: class "IPM.Note", flags 0 (received, unread), no body. PR_DISPLAY_TO is the
// To names joined with "; " unless DisplayTo sets it. HtmlBody and TextRtfBody store
// PR_RTF_COMPRESSED compressed (or, after UncompressedRtf(), in the uncompressed form)
// the way the mail client writes it. Not thread-safe; a builder is a value.
#ifndef QUORVEL_TESTING_MESSAGE_BUILDER_H_
#define QUORVEL_TESTING_MESSAGE_BUILDER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mapi/entry_id.h"
#include "mapi/folder.h"
#include "mapi/prop_value.h"
#include "mapi/result.h"

namespace quorvel {

class MessageBuilder {
 public:
  struct AttachmentSpec {
    std::string longName;
    std::optional<std::string> shortName;  // PR_ATTACH_FILENAME (8.3 form) when given
    std::uint32_t flags = 0;               // PR_ATTACH_FLAGS
    std::string data;                      // PR_ATTACH_DATA_BIN
    std::string mimeTag;                   // PR_ATTACH_MIME_TAG when not empty
  };

  MessageBuilder& Subject(std::string subject);
  // PR_SENDER_NAME and PR_SENDER_EMAIL_ADDRESS (and the sent-representing pair).
  MessageBuilder& From(std::string name, std::string address);
  MessageBuilder& To(std::string name, std::string address);
  MessageBuilder& Cc(std::string name, std::string address);
  MessageBuilder& Bcc(std::string name, std::string address);
  MessageBuilder& DisplayTo(std::string displayTo);
  MessageBuilder& ReceivedBy(std::string address);  // PR_RECEIVED_BY_EMAIL_ADDRESS
  MessageBuilder& Headers(std::string headers);     // PR_TRANSPORT_MESSAGE_HEADERS
  MessageBuilder& Class(std::string messageClass);  // PR_MESSAGE_CLASS
  MessageBuilder& Flags(std::uint32_t flags);       // PR_MESSAGE_FLAGS
  MessageBuilder& Read();                           // adds MSGFLAG_READ
  MessageBuilder& Unsent();                         // adds MSGFLAG_UNSENT (a draft)
  MessageBuilder& Body(std::string text);           // PR_BODY
  // PR_RTF_COMPRESSED holding `html` encapsulated in RTF.
  MessageBuilder& HtmlBody(std::string html);
  // PR_RTF_COMPRESSED holding plain RTF of `text` (no HTML inside).
  MessageBuilder& TextRtfBody(std::string text);
  // PR_RTF_COMPRESSED holding exactly these bytes (for damaged bodies).
  MessageBuilder& RawRtfCompressed(std::string bytes);
  // Store RTF bodies in the uncompressed form.
  MessageBuilder& UncompressedRtf();
  MessageBuilder& Attachment(std::string longName, std::uint32_t flags = 0, std::string data = {});
  MessageBuilder& Attachment(AttachmentSpec spec);
  // Any other property (PT_ERROR values included: they make the property unreadable).
  MessageBuilder& Prop(mapi::PropValue value);

  // Creates the message in `folder` through the folder's interface, as a client would
  // (CreateMessage flags 0). Returns its entry id.
  mapi::Result<mapi::EntryId> SaveIn(mapi::Folder& folder) const;
  // Delivers it as new mail (the in-memory store's new-mail notification follows).
  mapi::Result<mapi::EntryId> DeliverTo(mapi::Folder& folder) const;

  // The properties SaveIn sets on the message, in order.
  std::vector<mapi::PropValue> Properties() const;
  // The recipient rows SaveIn adds.
  mapi::RowSet RecipientRows() const;

 private:
  mapi::Result<mapi::EntryId> Create(mapi::Folder& folder, std::uint32_t flags) const;
  MessageBuilder& AddRecipient(std::uint32_t type, std::string name, std::string address);

  struct Recipient {
    std::uint32_t type;
    std::string name;
    std::string address;
  };
  std::vector<mapi::PropValue> props_;
  std::vector<Recipient> recipients_;
  std::vector<AttachmentSpec> attachments_;
  std::optional<std::string> displayTo_;
  std::uint32_t flags_ = 0;
  std::string messageClass_ = "IPM.Note";
  std::optional<std::string> html_;
  std::optional<std::string> rtfText_;
  std::optional<std::string> rawRtf_;
  bool uncompressedRtf_ = false;
};

}  // namespace quorvel

#endif  // QUORVEL_TESTING_MESSAGE_BUILDER_H_
