// OpenPropertyStream: a property of an object that keeps no streams of its own (a
// folder of a mail store) opened as a read-only stream of its value: the bytes of a
// string or binary property. Asking to modify or create gives MAPI_E_NO_ACCESS; a
// property the object does not have, MAPI_E_NOT_FOUND.
#ifndef QUORVEL_MAPI_PROPERTY_STREAM_H_
#define QUORVEL_MAPI_PROPERTY_STREAM_H_

#include <cstdint>
#include <memory>

#include "mapi/mapi_prop.h"
#include "mapi/stream.h"

namespace quorvel::mapi {

Result<std::shared_ptr<Stream>> OpenPropertyStream(MapiProp& object, PropTag tag,
                                                   std::uint32_t flags);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_PROPERTY_STREAM_H_
