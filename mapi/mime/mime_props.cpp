#include "mapi/mime/mime_props.h"

#include "mapi/compressed_rtf.h"
#include "mapi/html_encapsulation.h"
#include "mapi/mime/html_plain.h"
#include "platform/code_page.h"

namespace quorvel::mapi {
namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochDifference = 11'644'473'600;

std::optional<PropValue> Text(PropTag tag, const std::string& value) {
  if (value.empty()) return std::nullopt;
  return PropValue::String8(tag, value);
}

std::optional<PropValue> Wide(PropTag tag, const std::string& utf8) {
  if (utf8.empty()) return std::nullopt;
  return PropValue::Unicode(tag, platform::Utf8ToWide(utf8));
}

std::optional<PropValue> UnixTime(PropTag tag, const std::optional<std::int64_t>& seconds) {
  if (!seconds || *seconds < -kEpochDifference) return std::nullopt;
  return PropValue::Time(tag,
                         static_cast<std::uint64_t>(*seconds + kEpochDifference) * 10'000'000ULL);
}

std::string JoinNames(const MimeMessage& m, std::int32_t type) {
  std::string out;
  for (const MimeRecipient& r : m.recipients) {
    if (r.type != type) continue;
    if (!out.empty()) out += "; ";
    out += r.mailbox.name;
  }
  return out;
}

const std::string& ReceivedBy(const MimeMessage& m, const MimeMessageContext& c) {
  return c.accountAddress.empty() ? m.deliveredTo : c.accountAddress;
}

using Getter = std::optional<PropValue> (*)(const MimeMessage&, const MimeMessageContext&,
                                            MimeLazy*);
struct Source {
  PropTag tag;
  bool summary;  // cheap: offered in contents-table rows
  Getter get;
};

const std::string* FromName(const MimeMessage& m) { return m.from ? &m.from->name : nullptr; }
const std::string* FromAddress(const MimeMessage& m) { return m.from ? &m.from->address : nullptr; }

// One row per property: the behaviour is this table.
const Source kSources[] = {
    {PR_OBJECT_TYPE, true,
     [](const MimeMessage&, const MimeMessageContext&, MimeLazy*) -> std::optional<PropValue> {
       return PropValue::ULong(PR_OBJECT_TYPE, MAPI_MESSAGE);
     }},
    {PR_MESSAGE_CLASS, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return Text(PR_MESSAGE_CLASS, m.messageClass);
     }},
    {PR_SUBJECT, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return Text(PR_SUBJECT, m.subject);
     }},
    {PR_SENDER_NAME, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return FromName(m) ? Text(PR_SENDER_NAME, *FromName(m)) : std::nullopt;
     }},
    {PR_UNICODE_SUBJECT, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return Wide(PR_UNICODE_SUBJECT, m.subjectUtf8);
     }},
    {PR_UNICODE_SENDER_NAME, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return m.from ? Wide(PR_UNICODE_SENDER_NAME, m.from->nameUtf8) : std::nullopt;
     }},
    {PR_SENDER_EMAIL_ADDRESS, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return FromAddress(m) ? Text(PR_SENDER_EMAIL_ADDRESS, *FromAddress(m)) : std::nullopt;
     }},
    {PR_SENDER_ADDRTYPE, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) -> std::optional<PropValue> {
       if (!m.from) return std::nullopt;
       return PropValue::String8(PR_SENDER_ADDRTYPE, "SMTP");
     }},
    {PR_SENT_REPRESENTING_NAME, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return FromName(m) ? Text(PR_SENT_REPRESENTING_NAME, *FromName(m)) : std::nullopt;
     }},
    {PR_SENT_REPRESENTING_EMAIL_ADDRESS, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return FromAddress(m) ? Text(PR_SENT_REPRESENTING_EMAIL_ADDRESS, *FromAddress(m))
                             : std::nullopt;
     }},
    {PR_DISPLAY_TO, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return Text(PR_DISPLAY_TO, m.displayTo);
     }},
    {PR_DISPLAY_CC, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return Text(PR_DISPLAY_CC, JoinNames(m, kMimeCc));
     }},
    {PR_DISPLAY_BCC, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return Text(PR_DISPLAY_BCC, JoinNames(m, kMimeBcc));
     }},
    {PR_RECEIVED_BY_EMAIL_ADDRESS, true,
     [](const MimeMessage& m, const MimeMessageContext& c, MimeLazy*) {
       return Text(PR_RECEIVED_BY_EMAIL_ADDRESS, ReceivedBy(m, c));
     }},
    {PR_INTERNET_MESSAGE_ID, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return Text(PR_INTERNET_MESSAGE_ID, m.messageId);
     }},
    {PR_MESSAGE_FLAGS, true,
     [](const MimeMessage& m, const MimeMessageContext& c, MimeLazy*) -> std::optional<PropValue> {
       return PropValue::ULong(PR_MESSAGE_FLAGS, MimeMessageFlags(m, c));
     }},
    {PR_HASATTACH, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) -> std::optional<PropValue> {
       return PropValue::Boolean(PR_HASATTACH, !m.attachments.empty());
     }},
    {PR_MESSAGE_SIZE, true,
     [](const MimeMessage&, const MimeMessageContext& c, MimeLazy*) -> std::optional<PropValue> {
       return PropValue::Long(
           PR_MESSAGE_SIZE, static_cast<std::int32_t>(std::min<std::uint64_t>(c.size, 0x7FFFFFFF)));
     }},
    {PR_CLIENT_SUBMIT_TIME, true,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return UnixTime(PR_CLIENT_SUBMIT_TIME, m.date);
     }},
    {PR_MESSAGE_DELIVERY_TIME, true,
     [](const MimeMessage& m, const MimeMessageContext& c, MimeLazy*) -> std::optional<PropValue> {
       if (c.deliveryTime) return PropValue::Time(PR_MESSAGE_DELIVERY_TIME, *c.deliveryTime);
       return UnixTime(PR_MESSAGE_DELIVERY_TIME, m.date);
     }},
    {PR_TRANSPORT_MESSAGE_HEADERS, false,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) {
       return Text(PR_TRANSPORT_MESSAGE_HEADERS, m.transportHeaders);
     }},
    {PR_BODY, false,
     [](const MimeMessage& m, const MimeMessageContext&,
        MimeLazy* lazy) -> std::optional<PropValue> {
       if (m.hasTextBody) return PropValue::String8(PR_BODY, m.textBody);
       if (!m.hasHtmlBody) return std::nullopt;
       if (!lazy->plainRendering) lazy->plainRendering = HtmlToPlainText(m.htmlBody);
       return PropValue::String8(PR_BODY, *lazy->plainRendering);
     }},
    {PR_HTML, false,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) -> std::optional<PropValue> {
       if (!m.hasHtmlBody) return std::nullopt;
       return PropValue::Bin(PR_HTML, m.htmlBody);
     }},
    {PR_RTF_COMPRESSED, false,
     [](const MimeMessage& m, const MimeMessageContext&, MimeLazy*) -> std::optional<PropValue> {
       // The uncompressed form: readers take both, and it costs no compression. Made
       // afresh on each read, which is cheap, rather than held beside the body for as
       // long as the message is open.
       return PropValue::Bin(PR_RTF_COMPRESSED,
                             WrapUncompressedRtf(m.hasHtmlBody ? EncapsulateHtml(m.htmlBody)
                                                               : PlainTextToRtf(m.textBody)));
     }},
};

}  // namespace

std::uint32_t MimeMessageFlags(const MimeMessage& parsed, const MimeMessageContext& context) {
  std::uint32_t flags = context.storeFlags & (MSGFLAG_READ | MSGFLAG_UNSENT);
  if (!parsed.attachments.empty()) flags |= MSGFLAG_HASATTACH;
  return flags;
}

std::optional<PropValue> MimeProp(std::uint32_t id, const MimeMessage& parsed,
                                  const MimeMessageContext& context, MimeLazy* lazy) {
  for (const Source& s : kSources) {
    if (PROP_ID(s.tag) != id) continue;
    if (!s.summary && lazy == nullptr) return std::nullopt;
    return s.get(parsed, context, lazy);
  }
  return std::nullopt;
}

std::vector<PropTag> MimePropTags(const MimeMessage& parsed, const MimeMessageContext& context,
                                  bool summaryOnly) {
  std::vector<PropTag> tags;
  MimeLazy scratch;  // only tested for presence; the RTF is present whatever it holds
  for (const Source& s : kSources) {
    if (summaryOnly && !s.summary) continue;
    if (s.tag == PR_RTF_COMPRESSED) {
      tags.push_back(s.tag);
      continue;
    }
    if (s.tag == PR_BODY) {
      if (parsed.hasTextBody || parsed.hasHtmlBody) tags.push_back(s.tag);
      continue;
    }
    if (s.get(parsed, context, &scratch)) tags.push_back(s.tag);
  }
  return tags;
}

std::vector<PropValue> MimeSummaryProps(const MimeMessage& parsed,
                                        const MimeMessageContext& context) {
  std::vector<PropValue> props = context.identity;
  for (const Source& s : kSources) {
    if (!s.summary) continue;
    if (FindPropId(props, s.tag) != nullptr) continue;
    if (auto v = s.get(parsed, context, nullptr)) props.push_back(std::move(*v));
  }
  for (const PropValue& v : context.saved) {
    if (FindPropId(props, v.tag) == nullptr) props.push_back(v);
  }
  return props;
}

std::vector<PropValue> MimeAttachProps(const MimeMessage& parsed, std::size_t index) {
  const MimeAttachment& a = parsed.attachments[index];
  std::vector<PropValue> props;
  props.push_back(PropValue::ULong(PR_OBJECT_TYPE, MAPI_ATTACH));
  props.push_back(PropValue::Long(PR_ATTACH_NUM, static_cast<std::int32_t>(index)));
  props.push_back(PropValue::ULong(PR_ATTACH_METHOD, ATTACH_BY_VALUE));
  props.push_back(PropValue::ULong(PR_ATTACH_FLAGS, a.referencedByHtml ? ATT_MHTML_REF : 0));
  if (!a.longFileName.empty()) {
    props.push_back(PropValue::String8(PR_ATTACH_LONG_FILENAME, a.longFileName));
    props.push_back(PropValue::String8(PR_ATTACH_FILENAME, a.shortFileName));
    props.push_back(PropValue::String8(PR_DISPLAY_NAME, a.longFileName));
  }
  if (auto wide = Wide(PR_UNICODE_ATTACH_FILENAME, a.longFileNameUtf8)) {
    props.push_back(std::move(*wide));
  }
  if (!a.mimeType.empty()) props.push_back(PropValue::String8(PR_ATTACH_MIME_TAG, a.mimeType));
  if (!a.contentId.empty()) {
    props.push_back(PropValue::String8(PR_ATTACH_CONTENT_ID, a.contentId));
  }
  if (!a.contentLocation.empty()) {
    props.push_back(PropValue::String8(PR_ATTACH_CONTENT_LOCATION, a.contentLocation));
  }
  return props;
}

}  // namespace quorvel::mapi
