// Texts a store gives in two forms (a store-private Unicode property beside the ANSI
// one the add-in's core reads), read for display in any script.
#ifndef QUORVEL_MAPI_UTF8_TEXT_H_
#define QUORVEL_MAPI_UTF8_TEXT_H_

#include <string>
#include <vector>

#include "mapi/prop_value.h"

namespace quorvel::mapi {

// As UTF-8: the value under `unicodeTag` where it is one, else the one under `ansiTag`
// through the ANSI code page, else "".
std::string GetUtf8(const std::vector<PropValue>& values, PropTag unicodeTag, PropTag ansiTag);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_UTF8_TEXT_H_
