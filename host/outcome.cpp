#include "host/outcome.h"

#include <array>
#include <utility>

namespace quorvel::host {
namespace {

constexpr std::array<std::pair<OutcomeCode, std::string_view>, 9> kNames = {{
    {OutcomeCode::kOk, "ok"},
    {OutcomeCode::kVersionMismatch, "version-mismatch"},
    {OutcomeCode::kBusy, "busy"},
    {OutcomeCode::kNotFound, "not-found"},
    {OutcomeCode::kUnreachable, "unreachable"},
    {OutcomeCode::kRefused, "refused"},
    {OutcomeCode::kAmbiguous, "ambiguous"},
    {OutcomeCode::kCancelled, "cancelled"},
    {OutcomeCode::kFailed, "failed"},
}};

}  // namespace

std::string_view OutcomeCodeName(OutcomeCode code) {
  for (const auto& [c, name] : kNames) {
    if (c == code) return name;
  }
  return "failed";
}

OutcomeCode OutcomeCodeFromName(std::string_view name) {
  for (const auto& [c, n] : kNames) {
    if (n == name) return c;
  }
  return OutcomeCode::kFailed;
}

}  // namespace quorvel::host
