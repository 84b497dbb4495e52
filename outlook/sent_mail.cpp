#include "outlook/sent_mail.h"

#include "lists/contact.h"
#include "mapi/queries.h"
#include "platform/code_page.h"

namespace quorvel::outlook {
namespace {

// A string column in either width, as ANSI text; nothing when absent.
std::optional<std::string> TextOf(const mapi::PropValue& v) {
  if (const std::string* s = v.AsString8()) return *s;
  if (const std::u16string* w = v.AsUnicode()) return platform::WideToAnsi(*w);
  return std::nullopt;
}

std::string StringProp(mapi::Message& message, mapi::PropTag tag) {
  auto value = mapi::HrGetOneProp(message, tag);
  if (!value.ok()) return {};
  return TextOf(*value).value_or(std::string());
}

}  // namespace

std::vector<SentRecipient> SentMailRecorder::RecipientsOf(const mapi::RowSet& rows) {
  std::vector<SentRecipient> out;
  for (const mapi::Row& row : rows) {
    SentRecipient r;
    for (const mapi::PropValue& v : row) {
      if (v.id() == mapi::PROP_ID(mapi::PR_DISPLAY_NAME)) {
        if (auto t = TextOf(v)) r.name = *t;
      } else if (v.id() == mapi::PROP_ID(mapi::PR_EMAIL_ADDRESS)) {
        if (auto t = TextOf(v)) r.address = *t;
      }
    }
    out.push_back(std::move(r));
  }
  return out;
}

void SentMailRecorder::AddRecipients(const std::vector<SentRecipient>& recipients,
                                     platform::FileTime now) {
  auto live = settings_.Lock();
  for (const SentRecipient& r : recipients) {
    if (TrimContactText(r.address).empty()) continue;
    live->whiteList.AddAddress(MakeContact(r.address), r.name, now);
  }
}

void SentMailRecorder::AddSubject(std::string_view subject, platform::FileTime now) {
  if (subject.empty()) return;
  settings_.Lock()->sentSubjs.AddAddress(MakeContact(subject), "", now);
}

void SentMailRecorder::RecordWrite(const std::vector<SentRecipient>& recipients,
                                   std::string_view subject) {
  if (settings_.Lock()->autoAddToWhiteList == 0) return;
  platform::FileTime now = clock_.Now();
  AddRecipients(recipients, now);
  AddSubject(subject, now);
}

void SentMailRecorder::RecordSentMessage(mapi::Message& message) {
  platform::FileTime now = clock_.Now();
  if (settings_.Lock()->autoAddToWhiteList != 0) {
    if (auto table = message.GetRecipientTable(0); table.ok()) {
      const mapi::PropTag columns[] = {mapi::PR_EMAIL_ADDRESS, mapi::PR_DISPLAY_NAME};
      if (auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt); rows.ok()) {
        AddRecipients(RecipientsOf(*rows), now);
      }
    }
  }
  AddSubject(StringProp(message, mapi::PR_SUBJECT), now);
  RecordOwnName(StringProp(message, mapi::PR_SENDER_NAME));
}

void SentMailRecorder::RecordOwnName(std::string_view displayName) {
  if (displayName.find('@') != std::string_view::npos) return;
  if (TrimContactText(displayName).empty()) return;
  settings_.Lock()->sentFromNames.AddAddress(MakeContact(displayName), "", clock_.Now());
}

}  // namespace quorvel::outlook
