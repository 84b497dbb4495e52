#include "outlook/spam_returns.h"

#include "mapi/queries.h"

namespace quorvel::outlook {

void SpamReturns::NoteMoved(const std::string& messageId) {
  if (messageId.empty() || !ids_.insert(messageId).second) return;
  order_.push_back(messageId);
  if (order_.size() > kCapacity) {
    ids_.erase(order_.front());
    order_.pop_front();
  }
}

bool SpamReturns::IsReturn(const std::string& messageId, mapi::Folder& spamFolder) const {
  if (messageId.empty() || ids_.count(messageId) == 0) return false;
  auto table = spamFolder.GetContentsTable(0);
  if (!table.ok()) return false;  // cannot tell: judge it
  const mapi::PropTag columns[] = {mapi::PR_INTERNET_MESSAGE_ID};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return false;
  for (const mapi::Row& row : *rows) {
    if (mapi::GetString8(row, mapi::PR_INTERNET_MESSAGE_ID) == messageId) return false;
  }
  return true;
}

}  // namespace quorvel::outlook
