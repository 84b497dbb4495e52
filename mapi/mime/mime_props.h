// Internal to mapi/mime: the property table of a parsed message, one getter per tag.
// Bodies and the RTF are computed on first request into a Lazy cache that belongs to
// the opened message.
#ifndef QUORVEL_MAPI_MIME_MIME_PROPS_H_
#define QUORVEL_MAPI_MIME_MIME_PROPS_H_

#include <optional>
#include <string>
#include <vector>

#include "mapi/mime/mime_message.h"

namespace quorvel::mapi {

struct MimeLazy {
  std::optional<std::string> plainRendering;  // PR_BODY of HTML-only mail
};

// The value of property `id` (any type) computed from the message, or nothing when the
// message lacks it. `lazy` null: only summary properties are answered.
std::optional<PropValue> MimeProp(std::uint32_t id, const MimeMessage& parsed,
                                  const MimeMessageContext& context, MimeLazy* lazy);

// The tags MimeProp answers for this message (summary ones only when `summaryOnly`).
std::vector<PropTag> MimePropTags(const MimeMessage& parsed, const MimeMessageContext& context,
                                  bool summaryOnly);

// The properties of attachment `index` (without its data).
std::vector<PropValue> MimeAttachProps(const MimeMessage& parsed, std::size_t index);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MIME_MIME_PROPS_H_
