#include "core/predefined_rules.h"

#include "core/content_markers.h"
#include "core/reason_text.h"
#include "lists/contact.h"
#include "mapi/tags.h"

namespace quorvel {
namespace {

bool Contains(std::string_view text, std::string_view needle) {
  return text.find(needle) != std::string_view::npos;
}

}  // namespace

bool IsBlankText(std::string_view text) {
  return text.find_first_not_of(" \r\n\t") == std::string_view::npos;
}

bool FirstOccursWithin(std::string_view text, std::string_view needle, std::size_t lastIndex) {
  const std::size_t at = text.find(needle);
  return at != std::string_view::npos && at <= lastIndex;
}

RuleOutcome PredefinedRules(MessageRecord& record, SettingsHolder& settings, std::string* reason) {
  auto decide = [reason](RuleOutcome outcome, unsigned id) {
    if (reason != nullptr) *reason = FormatReason(id);
    return outcome;
  };

  // 1. Blank sender: the address exactly as stored, no trimming.
  if (record.GetString(mapi::PR_SENDER_EMAIL_ADDRESS).empty()) {
    return decide(RuleOutcome::kSpam, kReasonBlankSender);
  }

  // 2. A display name the user sends under: the user's own mail. The look-up passes
  // no time, so the entry's age is left as it is.
  {
    const Contact senderName = MakeContact(record.GetString(mapi::PR_SENDER_NAME));
    SettingsHolder::Locked live = settings.Lock();
    if (live->sentFromNames.Find(senderName)) {
      return decide(RuleOutcome::kGood, kReasonOwnDisplayName);
    }
  }

  const std::string& body = record.GetString(mapi::PR_BODY);

  // 3-5. Markers anywhere in the body text.
  if (Contains(body, kMarkerIncorrectHtml)) return decide(RuleOutcome::kSpam, kReasonBrokenHtml);
  if (Contains(body, kMarkerInternetImage)) {
    bool checkExternalImages = false;
    {
      SettingsHolder::Locked live = settings.Lock();
      checkExternalImages = live->checkExternalImages != 0;
    }
    if (checkExternalImages) return decide(RuleOutcome::kSpam, kReasonInternetImage);
  }
  if (Contains(body, kMarkerLinkedEmbeddedImage)) {
    return decide(RuleOutcome::kSpam, kReasonLinkedImage);
  }

  // 6. An executable attachment.
  const AttachmentSummary attachments = record.GetAttachmentSummary();
  if ((attachments.attachmentFlags & HasExecutable) != 0) {
    return decide(RuleOutcome::kSpam, kReasonExecutable);
  }

  // 7. Nothing to read: either no attachment at all, or an HTML attachment that
  // carries what the body should. Without attachment information (count -1), or
  // with other attachments, the message goes on.
  if (IsBlankText(body)) {
    if (attachments.attachmentCount == 0) return decide(RuleOutcome::kSpam, kReasonEmpty);
    if (attachments.attachmentCount > 0 && (attachments.attachmentFlags & HasHtmlAttachment) != 0) {
      return decide(RuleOutcome::kSpam, kReasonEmptyWithHtml);
    }
  }

  // 8. An embedded image outside any link at the very top of the text.
  if (FirstOccursWithin(body, kMarkerEmbeddedImage, kSuspiciousImageLastIndex)) {
    return decide(RuleOutcome::kSpam, kReasonSuspiciousImage);
  }

  // 9. The receiving server's remark in the topmost Received header. No name is
  // looked up here.
  if (FirstOccursWithin(record.GetString(mapi::PR_TRANSPORT_MESSAGE_HEADERS), kRdnsFailedRemark,
                        kRdnsFailedLastIndex)) {
    return decide(RuleOutcome::kSpam, kReasonRdnsFailed);
  }
  return RuleOutcome::kNoDecision;
}

}  // namespace quorvel
