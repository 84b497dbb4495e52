#include "mapi/memory/faults.h"

namespace quorvel::mapi::memory {

void Faults::Fail(Call call, const EntryId& target, HRESULT hr, int times, int skip) {
  std::lock_guard lock(mutex_);
  rules_.push_back(Rule{call, target, hr, times, skip});
}

void Faults::Override(const EntryId& target, PropTag tag, PropValue value) {
  std::lock_guard lock(mutex_);
  overrides_[{target, tag}] = std::move(value);
}

void Faults::Clear() {
  std::lock_guard lock(mutex_);
  rules_.clear();
  overrides_.clear();
}

std::size_t Faults::Calls(Call call, const EntryId& target) const {
  std::lock_guard lock(mutex_);
  if (target.present()) {
    auto it = calls_.find({call, target});
    return it == calls_.end() ? 0 : it->second;
  }
  std::size_t total = 0;
  for (const auto& [key, count] : calls_) {
    if (key.first == call) total += count;
  }
  return total;
}

void Faults::ResetCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

HRESULT Faults::Check(Call call, const EntryId& target) {
  std::lock_guard lock(mutex_);
  ++calls_[{call, target}];
  for (auto& rule : rules_) {
    if (rule.call != call) continue;
    if (rule.target.present() && !(rule.target == target)) continue;
    if (rule.skip > 0) {
      --rule.skip;
      continue;
    }
    if (rule.times == 0) continue;
    if (rule.times > 0) --rule.times;
    return rule.hr;
  }
  return S_OK;
}

std::optional<PropValue> Faults::OverrideFor(const EntryId& target, PropTag tag) const {
  std::lock_guard lock(mutex_);
  auto it = overrides_.find({target, tag});
  if (it == overrides_.end()) return std::nullopt;
  return it->second;
}

}  // namespace quorvel::mapi::memory
