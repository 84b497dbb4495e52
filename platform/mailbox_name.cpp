#include "platform/mailbox_name.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <climits>
#include <memory>

#include "platform/code_page.h"

namespace quorvel::platform {
namespace {

struct CloseConverter {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, CloseConverter>;

// A converter that stops at the first ill-formed sequence instead of substituting.
Converter OpenStrict() {
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open("IMAP-mailbox-name", &status));
  if (U_FAILURE(status)) return nullptr;
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
  return U_SUCCESS(status) ? std::move(converter) : nullptr;
}

// Strict UTF-8 <-> UTF-16: nothing for ill-formed input (unpaired surrogates too).
std::optional<std::u16string> StrictWide(std::string_view utf8) {
  if (utf8.size() > static_cast<std::size_t>(INT32_MAX)) return std::nullopt;
  std::u16string wide(utf8.size(), u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(reinterpret_cast<UChar*>(wide.data()), static_cast<int32_t>(wide.size()), &length,
                utf8.data(), static_cast<int32_t>(utf8.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  wide.resize(static_cast<std::size_t>(length));
  return wide;
}

std::optional<std::string> StrictUtf8(std::u16string_view wide) {
  std::string utf8(wide.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8(utf8.data(), static_cast<int32_t>(utf8.size()), &length,
              reinterpret_cast<const UChar*>(wide.data()), static_cast<int32_t>(wide.size()),
              &status);
  if (U_FAILURE(status)) return std::nullopt;
  utf8.resize(static_cast<std::size_t>(length));
  return utf8;
}

}  // namespace

std::optional<std::string> ModifiedUtf7ToUtf8(std::string_view name) {
  if (name.empty()) return std::string();
  if (name.size() > static_cast<std::size_t>(INT32_MAX / 3)) return std::nullopt;
  Converter converter = OpenStrict();
  if (!converter) return std::nullopt;
  // Every input byte yields at most one UTF-16 unit.
  std::u16string wide(name.size(), u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(wide.data()),
                                 static_cast<int32_t>(wide.size()), name.data(),
                                 static_cast<int32_t>(name.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  wide.resize(static_cast<std::size_t>(length));
  return StrictUtf8(wide);
}

std::optional<std::string> Utf8ToModifiedUtf7(std::string_view utf8) {
  std::optional<std::u16string> wide = StrictWide(utf8);
  if (!wide || wide->size() > static_cast<std::size_t>(INT32_MAX / 8)) return std::nullopt;
  if (wide->empty()) return std::string();
  Converter converter = OpenStrict();
  if (!converter) return std::nullopt;
  // Worst case: a unit alone between printable characters, "&AOk-".
  std::string out(wide->size() * 5 + 8, '\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_fromUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()),
                                   reinterpret_cast<const UChar*>(wide->data()),
                                   static_cast<int32_t>(wide->size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string FolderNameToUtf8(std::string_view name) {
  if (std::optional<std::string> decoded = ModifiedUtf7ToUtf8(name)) return *decoded;
  if (StrictWide(name)) return std::string(name);
  return WideToUtf8(Utf8ToWide(name));
}

bool EqualsNoCaseUtf8(std::string_view a, std::string_view b) {
  std::u16string wa = Utf8ToWide(a);
  std::u16string wb = Utf8ToWide(b);
  UErrorCode status = U_ZERO_ERROR;
  int32_t order =
      u_strCaseCompare(reinterpret_cast<const UChar*>(wa.data()), static_cast<int32_t>(wa.size()),
                       reinterpret_cast<const UChar*>(wb.data()), static_cast<int32_t>(wb.size()),
                       U_FOLD_CASE_DEFAULT, &status);
  return U_SUCCESS(status) && order == 0;
}

}  // namespace quorvel::platform
