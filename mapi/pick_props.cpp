#include "mapi/pick_props.h"

namespace quorvel::mapi {

Result<std::vector<PropValue>> PickProps(const std::vector<PropValue>& all,
                                         std::span<const PropTag> tags) {
  if (tags.empty()) return Ok(all);
  std::vector<PropValue> out;
  bool errors = false;
  for (PropTag tag : tags) {
    out.push_back(ValueForTag(FindPropId(all, tag), tag));
    errors = errors || out.back().IsError();
  }
  return Result<std::vector<PropValue>>(errors ? MAPI_W_ERRORS_RETURNED : S_OK, std::move(out));
}

}  // namespace quorvel::mapi
