// Internal to mapi/mime: keeps character-set converters loaded.
//
// The C library loads a converter module when a conversion descriptor is opened and
// unloads it when the last one is closed, and GMime opens and closes one for every
// decoded header: loading modules again and again costs more than the parsing. So the
// process keeps one descriptor open per charset it meets (a bounded number, never
// closed). Each is loaded when mail first names its charset, not before: a loaded
// module and its descriptor cost tens of kilobytes. Thread-safe.
#ifndef QUORVEL_MAPI_MIME_MIME_CONVERTERS_H_
#define QUORVEL_MAPI_MIME_MIME_CONVERTERS_H_

#include <string_view>

namespace quorvel::mapi {

void KeepConverterLoaded(std::string_view charset);
// The charsets named by encoded words ("=?charset?...") in a raw header value.
void KeepEncodedWordConvertersLoaded(std::string_view raw);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MIME_MIME_CONVERTERS_H_
