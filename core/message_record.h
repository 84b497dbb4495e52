// MessageRecord: the classifier's view of one mail item for the length of one
// classification (or one event of the new-mail and client-extension code). Each text
// property a rule asks for is read from the store at most once and kept; the
// attachment summary is computed once, on first use.
//
// The record never changes the message. It holds a reference to the message (which
// may be null: every read then fails) and belongs to one thread; not thread-safe.
#ifndef QUORVEL_CORE_MESSAGE_RECORD_H_
#define QUORVEL_CORE_MESSAGE_RECORD_H_

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "mapi/message.h"
#include "mapi/result.h"
#include "mapi/tags.h"

namespace quorvel {

// Bits of the attachment summary.
enum AttachmentFlag : std::uint32_t {
  // A file name whose extension contains "htm", or one of the first three attachments
  // with non-zero PR_ATTACH_FLAGS (hidden from or rendered in the body).
  HasHtmlAttachment = 0x1,
  HasAvReport = 0x2,         // the report file of anti-virus software
  HasDeliveryDetails = 0x4,  // "details.txt"
  HasExecutable = 0x8,       // an executable extension
};

struct AttachmentSummary {
  std::int32_t attachmentCount = -1;  // -1: no attachment information
  std::uint32_t attachmentFlags = 0;
};

class MessageRecord {
 public:
  explicit MessageRecord(std::shared_ptr<mapi::Message> message);
  MessageRecord(const MessageRecord&) = delete;
  MessageRecord& operator=(const MessageRecord&) = delete;

  // The text of a PT_STRING8 property, read on first request and kept for the life of
  // the record, a failed read (kept as empty text) included. PR_BODY is the body text
  // (HTML inside the RTF body as text with content markers, else the plain body). A
  // tag of another type reads as empty. The reference stays valid as long as the record.
  const std::string& GetString(mapi::PropTag tag);

  // A PT_LONG property, read from the message each time. E_INVALIDARG for a tag of
  // another type; the property's error code when it came back as an error value;
  // E_FAIL when it came back under any other tag or there is no message.
  mapi::Result<std::int32_t> GetLong(mapi::PropTag tag);

  // The number of attachments and the AttachmentFlag bits. Computed on the first call
  // that can read the attachment table; a failed read gives count -1 and flags 0 and
  // is tried again on the next call.
  AttachmentSummary GetAttachmentSummary();

  // The wrapped message (may be null), for reads the record does not cache.
  const std::shared_ptr<mapi::Message>& message() const { return message_; }

 private:
  bool ComputeAttachmentSummary();

  std::shared_ptr<mapi::Message> message_;
  std::unordered_map<mapi::PropTag, std::string> cache_;
  AttachmentSummary summary_;
  bool summaryComputed_ = false;
};

}  // namespace quorvel

#endif  // QUORVEL_CORE_MESSAGE_RECORD_H_
