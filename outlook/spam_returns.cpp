#include "outlook/spam_returns.h"

#include "mapi/queries.h"
#include "outlook/record_line.h"

namespace quorvel::outlook {

SpamReturns::SpamReturns(platform::FileSystem& files, std::string recordPath)
    : files_(&files), recordPath_(std::move(recordPath)) {
  if (recordPath_.empty()) return;
  std::string bytes;
  if (!files_->ReadFile(recordPath_, &bytes).ok()) return;
  // A line cut short by a stop: the next append starts on a line of its own.
  torn_ = !bytes.empty() && bytes.back() != '\n';
  std::size_t lines = 0;
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t end = bytes.find('\n', at);
    if (end == std::string::npos) break;  // a line cut short by a stop
    ++lines;
    std::string id = bytes.substr(at, end - at);
    at = end + 1;
    if (id.empty() || !ids_.insert(id).second) continue;
    order_.push_back(std::move(id));
    if (order_.size() > kCapacity) {
      ids_.erase(order_.front());
      order_.pop_front();
    }
  }
  if (lines < 2 * kCapacity) return;
  std::string kept;
  for (const std::string& id : order_) kept += id + "\n";
  files_->WriteFileAtomic(recordPath_, kept);
}

void SpamReturns::NoteMoved(const std::string& messageId) {
  NoteMoved(std::vector<std::string>{messageId});
}

void SpamReturns::NoteMoved(const std::vector<std::string>& messageIds) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string lines;
  for (const std::string& messageId : messageIds) {
    std::string id = OneLine(messageId);
    if (id.empty() || !ids_.insert(id).second) continue;
    lines += id + "\n";
    order_.push_back(std::move(id));
    if (order_.size() > kCapacity) {
      ids_.erase(order_.front());
      order_.pop_front();
    }
  }
  if (files_ != nullptr && !recordPath_.empty() && !lines.empty()) {
    std::uint64_t size = 0;
    if (files_->AppendToFile(recordPath_, torn_ ? "\n" + lines : lines, &size, 0600).ok()) {
      torn_ = false;
    }
  }
}

std::size_t SpamReturns::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return order_.size();
}

bool SpamReturns::IsReturn(const std::string& messageId, mapi::Folder& spamFolder) const {
  if (messageId.empty()) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ids_.count(OneLine(messageId)) == 0) return false;
  }
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
