#include "core/own_message_mark.h"

#include <array>

#include "mapi/prop_value.h"
#include "mapi/tags.h"

namespace quorvel {

bool HasOwnMessageMark(MessageRecord& record) {
  const mapi::Result<std::int32_t> mark = record.GetLong(mapi::PR_OWN_MESSAGE_MARK);
  return mark.ok() && mark.value == mapi::kOwnMessageMarkValue;
}

mapi::HRESULT SetOwnMessageMark(MessageRecord& record) {
  const std::shared_ptr<mapi::Message>& message = record.message();
  if (message == nullptr) return mapi::E_POINTER;
  const std::array<mapi::PropValue, 1> values = {
      mapi::PropValue::Long(mapi::PR_OWN_MESSAGE_MARK, mapi::kOwnMessageMarkValue)};
  const mapi::HRESULT set = message->SetProps(values);
  // A warning means the value was refused (the problem list): do not save half a change.
  if (set != mapi::S_OK) return mapi::Failed(set) ? set : mapi::E_FAIL;
  return message->SaveChanges(mapi::KEEP_OPEN_READWRITE);
}

}  // namespace quorvel
