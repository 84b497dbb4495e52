#include "core/property_text.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "core/content_markers.h"
#include "core/html_text.h"
#include "core/rtf_html.h"
#include "mapi/compressed_rtf.h"
#include "mapi/queries.h"

namespace quorvel {

using mapi::HRESULT;
using mapi::PropTag;
using mapi::Result;

namespace {

constexpr std::string_view kBodyOpen = "<body";
constexpr std::string_view kBodyWrapBefore = "<body>";
constexpr std::string_view kBodyWrapAfter = "</body></html>";

Result<std::string> Text(HRESULT hr, std::string text = {}) {
  return Result<std::string>(hr, std::move(text));
}

Result<std::string> ReadBody(mapi::MapiProp& object) {
  // The HTML inside the RTF body first.
  Result<std::string> rtf = ReadPropertyValue(object, mapi::PR_RTF_COMPRESSED, true);
  if (!rtf.ok()) return Text(mapi::S_OK, std::string(kMarkerIncorrectHtml));
  std::string text = BodyTextFromRtf(std::move(rtf.value));
  if (!text.empty()) return Text(mapi::S_OK, std::move(text));

  // Then the plain body.
  Result<std::string> plain = ReadPropertyValue(object, mapi::PR_BODY, true);
  if (!plain.value.empty()) return plain;
  return Text(plain.hr);
}

}  // namespace

std::string BodyTextFromRtf(std::string rtf) {
  std::size_t length = Deencapsulate(rtf.data(), rtf.size());
  rtf.resize(length);
  if (length != 0 && rtf.find(kBodyOpen) == std::string::npos) {
    std::string wrapped;
    wrapped.reserve(kBodyWrapBefore.size() + length + kBodyWrapAfter.size());
    wrapped.append(kBodyWrapBefore).append(rtf).append(kBodyWrapAfter);
    rtf = std::move(wrapped);
  }
  rtf.resize(HtmlToText(rtf.data(), rtf.size()));
  return rtf;
}

Result<std::string> ReadStringProperty(mapi::MapiProp* object, PropTag tag, bool bodyFallbacks) {
  if (mapi::PROP_TYPE(tag) != mapi::PT_STRING8) return Text(mapi::E_INVALIDARG);
  if (object == nullptr) return Text(mapi::E_INVALIDARG);
  if (tag == mapi::PR_BODY && bodyFallbacks) return ReadBody(*object);
  return ReadPropertyValue(*object, tag, false);
}

Result<std::string> ReadPropertyValue(mapi::MapiProp& object, PropTag tag, bool allowStream) {
  HRESULT hr = mapi::E_FAIL;
  if (tag != mapi::PR_RTF_COMPRESSED) {
    Result<mapi::PropValue> value = mapi::HrGetOneProp(object, tag);
    if (value.ok() && value->tag == tag) {
      if (std::string* s = std::get_if<std::string>(&value->value)) {
        return Text(mapi::S_OK, std::move(*s));
      }
      if (mapi::Binary* b = std::get_if<mapi::Binary>(&value->value)) {
        return Text(mapi::S_OK, std::move(b->bytes));
      }
      return Text(mapi::S_OK);
    }
    if (!value.ok()) {
      hr = value.hr;
    } else if (value->IsError()) {
      hr = mapi::Failed(value->ErrorCode()) ? value->ErrorCode() : mapi::E_FAIL;
    } else {
      hr = mapi::E_FAIL;  // came back under another tag
    }
  }
  if (!allowStream) return Text(hr);

  Result<std::shared_ptr<mapi::Stream>> stream =
      object.OpenProperty(tag, mapi::MAPI_DEFERRED_ERRORS);
  if (!stream.ok()) return Text(stream.hr);
  if (!stream.value) return Text(mapi::E_FAIL);
  std::shared_ptr<mapi::Stream> source = std::move(stream.value);
  if (tag == mapi::PR_RTF_COMPRESSED) {
    Result<std::shared_ptr<mapi::Stream>> rtf = mapi::WrapCompressedRTFStream(source, 0);
    if (!rtf.ok()) return Text(rtf.hr);
    if (!rtf.value) return Text(mapi::E_FAIL);
    source = std::move(rtf.value);
  }
  return Text(mapi::S_OK, ReadWholeStream(*source));
}

std::string ReadWholeStream(mapi::Stream& stream) {
  std::string buffer;
  // A stream that tells its size gets, at once, the room the doubling below ends
  // with, so no doubling copies what was read (the reads asked for stay the same).
  if (mapi::Result<std::uint64_t> size = stream.Stat(); size.ok() && *size < kStreamMaxBytes) {
    std::size_t last = kStreamFirstBuffer;
    while (last <= *size && last < kStreamMaxBytes) last = std::min(last * 2, kStreamMaxBytes);
    buffer.reserve(last);
  }
  buffer.resize(kStreamFirstBuffer);
  std::size_t used = 0;
  for (;;) {
    std::size_t read = 0;
    if (mapi::Failed(stream.Read(buffer.data() + used, buffer.size() - used, &read))) read = 0;
    used += std::min(read, buffer.size() - used);
    if (used < buffer.size() || buffer.size() >= kStreamMaxBytes) break;
    buffer.resize(std::min(buffer.size() * 2, kStreamMaxBytes));
  }
  buffer.resize(used);
  return buffer;
}

}  // namespace quorvel
