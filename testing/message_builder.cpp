#include "testing/message_builder.h"

#include <utility>

#include "mapi/compressed_rtf.h"
#include "mapi/html_encapsulation.h"
#include "mapi/memory/memory_session.h"
#include "mapi/message.h"
#include "mapi/queries.h"

namespace quorvel {

using mapi::PropValue;

MessageBuilder& MessageBuilder::Subject(std::string subject) {
  return Prop(PropValue::String8(mapi::PR_SUBJECT, std::move(subject)));
}

MessageBuilder& MessageBuilder::From(std::string name, std::string address) {
  Prop(PropValue::String8(mapi::PR_SENDER_NAME, name));
  Prop(PropValue::String8(mapi::PR_SENDER_EMAIL_ADDRESS, address));
  Prop(PropValue::String8(mapi::PR_SENT_REPRESENTING_NAME, std::move(name)));
  return Prop(PropValue::String8(mapi::PR_SENT_REPRESENTING_EMAIL_ADDRESS, std::move(address)));
}

MessageBuilder& MessageBuilder::AddRecipient(std::uint32_t type, std::string name,
                                             std::string address) {
  recipients_.push_back(Recipient{type, std::move(name), std::move(address)});
  return *this;
}

MessageBuilder& MessageBuilder::To(std::string name, std::string address) {
  return AddRecipient(mapi::MAPI_TO, std::move(name), std::move(address));
}
MessageBuilder& MessageBuilder::Cc(std::string name, std::string address) {
  return AddRecipient(mapi::MAPI_CC, std::move(name), std::move(address));
}
MessageBuilder& MessageBuilder::Bcc(std::string name, std::string address) {
  return AddRecipient(mapi::MAPI_BCC, std::move(name), std::move(address));
}

MessageBuilder& MessageBuilder::DisplayTo(std::string displayTo) {
  displayTo_ = std::move(displayTo);
  return *this;
}

MessageBuilder& MessageBuilder::ReceivedBy(std::string address) {
  return Prop(PropValue::String8(mapi::PR_RECEIVED_BY_EMAIL_ADDRESS, std::move(address)));
}

MessageBuilder& MessageBuilder::Headers(std::string headers) {
  return Prop(PropValue::String8(mapi::PR_TRANSPORT_MESSAGE_HEADERS, std::move(headers)));
}

MessageBuilder& MessageBuilder::Class(std::string messageClass) {
  messageClass_ = std::move(messageClass);
  return *this;
}

MessageBuilder& MessageBuilder::Flags(std::uint32_t flags) {
  flags_ = flags;
  return *this;
}

MessageBuilder& MessageBuilder::Read() { return Flags(flags_ | mapi::MSGFLAG_READ); }
MessageBuilder& MessageBuilder::Unsent() { return Flags(flags_ | mapi::MSGFLAG_UNSENT); }

MessageBuilder& MessageBuilder::Body(std::string text) {
  return Prop(PropValue::String8(mapi::PR_BODY, std::move(text)));
}

MessageBuilder& MessageBuilder::HtmlBody(std::string html) {
  html_ = std::move(html);
  return *this;
}

MessageBuilder& MessageBuilder::TextRtfBody(std::string text) {
  rtfText_ = std::move(text);
  return *this;
}

MessageBuilder& MessageBuilder::RawRtfCompressed(std::string bytes) {
  rawRtf_ = std::move(bytes);
  return *this;
}

MessageBuilder& MessageBuilder::UncompressedRtf() {
  uncompressedRtf_ = true;
  return *this;
}

MessageBuilder& MessageBuilder::Attachment(std::string longName, std::uint32_t flags,
                                           std::string data) {
  return Attachment(AttachmentSpec{std::move(longName), std::nullopt, flags, std::move(data), {}});
}

MessageBuilder& MessageBuilder::Attachment(AttachmentSpec spec) {
  attachments_.push_back(std::move(spec));
  return *this;
}

MessageBuilder& MessageBuilder::Prop(PropValue value) {
  for (auto& p : props_) {
    if (mapi::PROP_ID(p.tag) == mapi::PROP_ID(value.tag)) {
      p = std::move(value);
      return *this;
    }
  }
  props_.push_back(std::move(value));
  return *this;
}

std::vector<PropValue> MessageBuilder::Properties() const {
  std::vector<PropValue> props = props_;
  props.push_back(PropValue::String8(mapi::PR_MESSAGE_CLASS, messageClass_));
  std::uint32_t flags = flags_;
  if (!attachments_.empty()) flags |= mapi::MSGFLAG_HASATTACH;
  props.push_back(PropValue::ULong(mapi::PR_MESSAGE_FLAGS, flags));
  std::string displayTo;
  if (displayTo_) {
    displayTo = *displayTo_;
  } else {
    for (const auto& r : recipients_) {
      if (r.type != mapi::MAPI_TO) continue;
      if (!displayTo.empty()) displayTo += "; ";
      displayTo += r.name.empty() ? r.address : r.name;
    }
  }
  if (displayTo_ || !displayTo.empty()) {
    props.push_back(PropValue::String8(mapi::PR_DISPLAY_TO, displayTo));
  }
  std::optional<std::string> rtf;
  if (html_)
    rtf = mapi::EncapsulateHtml(*html_);
  else if (rtfText_)
    rtf = mapi::PlainTextToRtf(*rtfText_);
  if (rawRtf_) {
    props.push_back(PropValue::Bin(mapi::PR_RTF_COMPRESSED, *rawRtf_));
  } else if (rtf) {
    props.push_back(PropValue::Bin(mapi::PR_RTF_COMPRESSED, uncompressedRtf_
                                                                ? mapi::WrapUncompressedRtf(*rtf)
                                                                : mapi::CompressRtf(*rtf)));
  }
  return props;
}

mapi::RowSet MessageBuilder::RecipientRows() const {
  mapi::RowSet rows;
  for (const auto& r : recipients_) {
    mapi::Row row = {PropValue::ULong(mapi::PR_RECIPIENT_TYPE, r.type),
                     PropValue::String8(mapi::PR_DISPLAY_NAME, r.name)};
    if (!r.address.empty()) {
      row.push_back(PropValue::String8(mapi::PR_EMAIL_ADDRESS, r.address));
      row.push_back(PropValue::String8(mapi::PR_ADDRTYPE, "SMTP"));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

mapi::Result<mapi::EntryId> MessageBuilder::SaveIn(mapi::Folder& folder) const {
  return Create(folder, 0);
}

mapi::Result<mapi::EntryId> MessageBuilder::DeliverTo(mapi::Folder& folder) const {
  return Create(folder, mapi::memory::kDeliverAsNewMail);
}

mapi::Result<mapi::EntryId> MessageBuilder::Create(mapi::Folder& folder,
                                                   std::uint32_t flags) const {
  auto message = folder.CreateMessage(flags);
  if (!message.ok()) return message.hr;
  auto& m = **message;
  std::vector<PropValue> props = Properties();
  if (mapi::HRESULT hr = m.SetProps(props); mapi::Failed(hr)) return hr;
  mapi::RowSet rows = RecipientRows();
  if (!rows.empty()) {
    if (mapi::HRESULT hr = m.ModifyRecipients(mapi::MODRECIP_ADD, rows); mapi::Failed(hr)) {
      return hr;
    }
  }
  for (const auto& spec : attachments_) {
    auto attach = m.CreateAttach(0);
    if (!attach.ok()) return attach.hr;
    std::vector<PropValue> attachProps = {
        PropValue::ULong(mapi::PR_ATTACH_METHOD, mapi::ATTACH_BY_VALUE),
        PropValue::String8(mapi::PR_ATTACH_LONG_FILENAME, spec.longName),
        PropValue::String8(mapi::PR_DISPLAY_NAME, spec.longName),
        PropValue::ULong(mapi::PR_ATTACH_FLAGS, spec.flags),
        PropValue::Bin(mapi::PR_ATTACH_DATA_BIN, spec.data)};
    if (spec.shortName) {
      attachProps.push_back(PropValue::String8(mapi::PR_ATTACH_FILENAME, *spec.shortName));
    }
    if (!spec.mimeTag.empty()) {
      attachProps.push_back(PropValue::String8(mapi::PR_ATTACH_MIME_TAG, spec.mimeTag));
    }
    if (mapi::HRESULT hr = (*attach)->SetProps(attachProps); mapi::Failed(hr)) return hr;
    if (mapi::HRESULT hr = (*attach)->SaveChanges(0); mapi::Failed(hr)) return hr;
  }
  if (mapi::HRESULT hr = m.SaveChanges(0); mapi::Failed(hr)) return hr;
  auto id = mapi::HrGetOneProp(m, mapi::PR_ENTRYID);
  if (!id.ok()) return id.hr;
  return mapi::Ok(id->AsEntryId());
}

}  // namespace quorvel
