// Result<T>: a MAPI result code together with the value a call produced.
#ifndef QUORVEL_MAPI_RESULT_H_
#define QUORVEL_MAPI_RESULT_H_

#include <utility>

#include "mapi/tags.h"

namespace quorvel::mapi {

// A call's outcome. `value` is meaningful when `hr` succeeded; a warning code such as
// MAPI_W_ERRORS_RETURNED is success with a value that needs a closer look.
template <typename T>
struct Result {
  HRESULT hr = MAPI_E_CALL_FAILED;
  T value{};

  Result() = default;
  Result(HRESULT code) : hr(code) {}  // NOLINT: a failure converts implicitly
  Result(HRESULT code, T v) : hr(code), value(std::move(v)) {}

  bool ok() const { return Succeeded(hr); }
  explicit operator bool() const { return ok(); }
  T& operator*() { return value; }
  const T& operator*() const { return value; }
  T* operator->() { return &value; }
  const T* operator->() const { return &value; }
};

template <typename T>
Result<T> Ok(T value) {
  return Result<T>(S_OK, std::move(value));
}

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_RESULT_H_
