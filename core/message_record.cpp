#include "core/message_record.h"

#include <utility>
#include <vector>

#include "core/attachment_names.h"
#include "core/property_text.h"
#include "mapi/queries.h"

namespace quorvel {

using mapi::PropTag;

namespace {

constexpr PropTag kAttachmentColumns[] = {
    mapi::PR_ATTACH_NUM,
    mapi::PR_ATTACH_FILENAME,
    mapi::PR_ATTACH_LONG_FILENAME,
};
// Only the first attachments are opened to look at their flags.
constexpr std::size_t kAttachmentsOpened = 3;

// The file name in column `column` of `row`, when it came back under its tag.
const std::string* FileName(const mapi::Row& row, std::size_t column) {
  if (row.size() <= column || row[column].tag != kAttachmentColumns[column]) return nullptr;
  return row[column].AsString8();
}

struct NameTest {
  AttachmentFlag flag;
  bool (*test)(std::string_view);
};
constexpr NameTest kNameTests[] = {
    {HasHtmlAttachment, HasHtmlExtension},
    {HasAvReport, IsAvReportName},
    {HasDeliveryDetails, IsDeliveryDetailsName},
    {HasExecutable, IsExecutableName},
};

bool HasFlagsSet(mapi::Attach& attachment) {
  const PropTag tags[] = {mapi::PR_ATTACH_FLAGS};
  auto values = attachment.GetProps(tags);
  if (mapi::Failed(values.hr) || values->empty()) return false;
  const mapi::PropValue& flags = values->front();
  const std::int32_t* value = flags.AsLong();
  return flags.tag == mapi::PR_ATTACH_FLAGS && value != nullptr && *value != 0;
}

}  // namespace

MessageRecord::MessageRecord(std::shared_ptr<mapi::Message> message)
    : message_(std::move(message)) {}

const std::string& MessageRecord::GetString(PropTag tag) {
  auto found = cache_.find(tag);
  if (found != cache_.end()) return found->second;
  mapi::Result<std::string> read = ReadStringProperty(message_.get(), tag, true);
  return cache_.emplace(tag, std::move(read.value)).first->second;
}

mapi::Result<std::int32_t> MessageRecord::GetLong(PropTag tag) {
  if (mapi::PROP_TYPE(tag) != mapi::PT_LONG) return mapi::E_INVALIDARG;
  if (!message_) return mapi::E_FAIL;
  mapi::Result<mapi::PropValue> value = mapi::HrGetOneProp(*message_, tag);
  if (value.ok() && value->tag == tag && value->AsLong() != nullptr) {
    return mapi::Ok(*value->AsLong());
  }
  if (!value.ok()) return value.hr;
  if (value->IsError() && mapi::Failed(value->ErrorCode())) return value->ErrorCode();
  return mapi::E_FAIL;
}

AttachmentSummary MessageRecord::GetAttachmentSummary() {
  if (!summaryComputed_) summaryComputed_ = ComputeAttachmentSummary();
  return summary_;
}

bool MessageRecord::ComputeAttachmentSummary() {
  if (!message_) return false;
  auto table = message_->GetAttachmentTable(0);
  if (!table.ok() || !table.value) return false;
  auto rows = mapi::HrQueryAllRows(*table.value, kAttachmentColumns, std::nullopt, 0);
  if (!rows.ok()) return false;

  std::uint32_t flags = 0;
  for (const mapi::Row& row : *rows) {
    if (row.empty() || row[0].tag != mapi::PR_ATTACH_NUM) continue;
    for (std::size_t column : {std::size_t{2}, std::size_t{1}}) {  // long name first
      const std::string* name = FileName(row, column);
      if (name == nullptr) continue;
      for (const NameTest& t : kNameTests) {
        if ((flags & t.flag) == 0 && t.test(*name)) flags |= t.flag;
      }
    }
  }

  for (std::size_t i = 0; i < rows->size() && i < kAttachmentsOpened; ++i) {
    if ((flags & HasHtmlAttachment) != 0) break;
    const mapi::Row& row = (*rows)[i];
    if (row.empty() || row[0].tag != mapi::PR_ATTACH_NUM || row[0].AsLong() == nullptr) continue;
    auto attachment =
        message_->OpenAttach(static_cast<std::uint32_t>(*row[0].AsLong()), mapi::MAPI_BEST_ACCESS);
    if (attachment.ok() && attachment.value && HasFlagsSet(*attachment.value)) {
      flags |= HasHtmlAttachment;
    }
  }

  summary_.attachmentCount = static_cast<std::int32_t>(rows->size());
  summary_.attachmentFlags = flags;
  return true;
}

}  // namespace quorvel
