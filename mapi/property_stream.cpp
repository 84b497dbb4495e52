#include "mapi/property_stream.h"

#include <span>
#include <string>

namespace quorvel::mapi {

Result<std::shared_ptr<Stream>> OpenPropertyStream(MapiProp& object, PropTag tag,
                                                   std::uint32_t flags) {
  if (flags & (MAPI_MODIFY | MAPI_CREATE)) return MAPI_E_NO_ACCESS;
  auto values = object.GetProps(std::span<const PropTag>(&tag, 1), 0);
  if (!values.ok() || values->front().IsError()) return MAPI_E_NOT_FOUND;
  const PropValue& v = values->front();
  std::string bytes = v.AsString8() ? *v.AsString8() : v.AsBinary() ? v.AsBinary()->bytes : "";
  return Ok(std::shared_ptr<Stream>(std::make_shared<MemoryStream>(std::move(bytes))));
}

}  // namespace quorvel::mapi
