// PickProps: what GetProps answers from an object's complete list of values.
#ifndef QUORVEL_MAPI_PICK_PROPS_H_
#define QUORVEL_MAPI_PICK_PROPS_H_

#include <span>
#include <vector>

#include "mapi/prop_value.h"
#include "mapi/result.h"

namespace quorvel::mapi {

// One value per tag of `tags` (ValueForTag; MAPI_W_ERRORS_RETURNED when one is
// missing), or all of `all` when `tags` is empty.
Result<std::vector<PropValue>> PickProps(const std::vector<PropValue>& all,
                                         std::span<const PropTag> tags);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_PICK_PROPS_H_
