// Targets for the RTF body: the compressed-RTF decoder, and the way back from
// encapsulated HTML to the body text.
#include <cstring>
#include <vector>

#include "core/html_text.h"
#include "core/property_text.h"
#include "core/rtf_html.h"
#include "fuzz/fuzz_targets.h"
#include "mapi/compressed_rtf.h"

namespace quorvel {
namespace {

std::string_view AsText(FuzzInput input) {
  return {reinterpret_cast<const char*>(input.data()), input.size()};
}

// The buffer the in-place converters need: the bytes and one writable byte more,
// held in a vector of exactly that size so that a read past it is caught.
std::vector<char> Buffer(std::string_view text) {
  std::vector<char> buffer(text.size() + 1);
  if (!text.empty()) std::memcpy(buffer.data(), text.data(), text.size());
  buffer[text.size()] = '\x7f';
  return buffer;
}

std::string CheckTerminated(const std::vector<char>& buffer, std::size_t length,
                            std::size_t inputLength, const char* what) {
  if (length > inputLength) return std::string(what) + " grew the text";
  if (buffer[length] != '\0') return std::string(what) + " left its text unterminated";
  return {};
}

}  // namespace

// Decodes; whatever decodes must come back the same through both encoded forms.
std::string FuzzCompressedRtf(FuzzInput input) {
  const auto decoded = mapi::DecompressRtf(AsText(input));
  if (!decoded.ok()) return {};
  if (decoded->size() > mapi::kMaxRtfRawSize) return "decoded past the raw size limit";
  const auto again = mapi::DecompressRtf(mapi::CompressRtf(*decoded));
  if (!again.ok() || *again != *decoded) return "compressed form does not decode to its text";
  const auto plain = mapi::DecompressRtf(mapi::WrapUncompressedRtf(*decoded));
  if (!plain.ok() || *plain != *decoded) return "uncompressed form does not decode to its text";
  return {};
}

// The body path of an RTF body: de-encapsulation, then HTML to text on its result; the
// input is also read as HTML on its own, and through the reader's whole body path.
std::string FuzzHtmlText(FuzzInput input) {
  const std::string_view text = AsText(input);
  std::vector<char> rtf = Buffer(text);
  const std::size_t htmlLength = Deencapsulate(rtf.data(), text.size());
  if (std::string error = CheckTerminated(rtf, htmlLength, text.size(), "Deencapsulate");
      !error.empty()) {
    return error;
  }
  if (htmlLength > 0) {
    const std::size_t textLength = HtmlToText(rtf.data(), htmlLength);
    if (std::string error = CheckTerminated(rtf, textLength, htmlLength, "HtmlToText");
        !error.empty()) {
      return error;
    }
  }
  std::vector<char> html = Buffer(text);
  const std::size_t length = HtmlToText(html.data(), text.size());
  if (std::string error = CheckTerminated(html, length, text.size(), "HtmlToText");
      !error.empty()) {
    return error;
  }
  // The whole body path, with the body element added when the HTML has none.
  BodyTextFromRtf(std::string(text));
  return {};
}

}  // namespace quorvel
