// Reading fields of a JSON object for the protocol's decoders: a missing field keeps
// the default, a field of the wrong type fails. Used by protocol*.cpp only.
#ifndef QUORVEL_HOST_PROTOCOL_JSON_H_
#define QUORVEL_HOST_PROTOCOL_JSON_H_

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <type_traits>
#include <vector>

namespace quorvel::host::protocol {

// Reads fields of one object; the first wrong one is kept in error().
class FieldReader {
 public:
  explicit FieldReader(const nlohmann::json& object) : object_(object) {
    if (!object_.is_object()) Fail("not an object");
  }
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  void Fail(const std::string& what) {
    if (error_.empty()) error_ = what;
  }

  void Text(const char* key, std::string* out) {
    if (const auto* v = Find(key)) {
      if (v->is_string()) {
        *out = v->get<std::string>();
      } else {
        Fail(std::string(key) + " is not a text");
      }
    }
  }
  void Flag(const char* key, bool* out) {
    if (const auto* v = Find(key)) {
      if (v->is_boolean()) {
        *out = v->get<bool>();
      } else {
        Fail(std::string(key) + " is not true or false");
      }
    }
  }
  template <typename T>
  void Number(const char* key, T* out) {
    if (const auto* v = Find(key)) {
      if (!NumberOf(*v, out)) Fail(std::string(key) + " is not a number in range");
    }
  }
  void Texts(const char* key, std::vector<std::string>* out) {
    if (const auto* v = Find(key)) {
      if (!TextsOf(*v, out)) Fail(std::string(key) + " is not a list of texts");
    }
  }
  const nlohmann::json* Find(const char* key) const {
    if (!object_.is_object()) return nullptr;
    auto it = object_.find(key);
    return it == object_.end() || it->is_null() ? nullptr : &*it;
  }

  template <typename T>
  static bool NumberOf(const nlohmann::json& v, T* out) {
    if (v.is_number_unsigned()) {
      auto n = v.get<std::uint64_t>();
      if (n > static_cast<std::uint64_t>(std::numeric_limits<T>::max())) return false;
      *out = static_cast<T>(n);
      return true;
    }
    if (v.is_number_integer()) {
      auto n = v.get<std::int64_t>();
      if constexpr (std::is_unsigned_v<T>) {
        if (n < 0) return false;
        if (static_cast<std::uint64_t>(n) > std::numeric_limits<T>::max()) return false;
      } else {
        if (n < std::numeric_limits<T>::min() || n > std::numeric_limits<T>::max()) return false;
      }
      *out = static_cast<T>(n);
      return true;
    }
    return false;
  }
  static bool TextsOf(const nlohmann::json& v, std::vector<std::string>* out) {
    if (!v.is_array()) return false;
    out->clear();
    for (const auto& item : v) {
      if (!item.is_string()) return false;
      out->push_back(item.get<std::string>());
    }
    return true;
  }

 private:
  const nlohmann::json& object_;
  std::string error_;
};

}  // namespace quorvel::host::protocol

#endif  // QUORVEL_HOST_PROTOCOL_JSON_H_
