#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "control/WireCoding.hpp"
#include "platform/Error.hpp"

namespace lumetra {

// A JSON document as the MCP server reads and writes it: seven cases, with whole numbers kept
// apart from other numbers (int 1 isn't double 1.0). A plain value: copies are independent.
class JSONValue {
 public:
  using Array = std::vector<JSONValue>;
  using Object = std::map<std::string, JSONValue, std::less<>>;
  enum class Kind { boolean, integer, real, string, array, object, null };

  // Text that isn't JSON, or is nested deeper than maxDepth.
  class DecodingError final : public MessageError {
   public:
    using MessageError::MessageError;
  };

  // Arrays and objects nested deeper than this don't decode: no client needs it, and a bound
  // keeps a hostile line from exhausting the stack.
  static constexpr int maxDepth = 256;

  JSONValue() : value_(nullptr) {}
  JSONValue(std::nullptr_t) : value_(nullptr) {}
  JSONValue(bool v) : value_(v) {}
  JSONValue(std::int64_t v) : value_(v) {}
  JSONValue(int v) : value_(static_cast<std::int64_t>(v)) {}
  JSONValue(double v) : value_(v) {}
  JSONValue(std::string v) : value_(std::move(v)) {}
  JSONValue(const char* v) : value_(std::string(v)) {}
  JSONValue(Array v) : value_(std::move(v)) {}
  JSONValue(Object v) : value_(std::move(v)) {}
  // An object from key-value pairs; a repeated key keeps the later value.
  static JSONValue object(std::initializer_list<std::pair<std::string, JSONValue>> pairs);

  [[nodiscard]] Kind kind() const { return static_cast<Kind>(value_.index()); }
  [[nodiscard]] bool isObject() const { return kind() == Kind::object; }
  // The member under `key` of an object; nothing for a missing key or any other kind of value.
  [[nodiscard]] std::optional<JSONValue> operator[](std::string_view key) const;
  // The text of a string; nothing for every other kind (no conversions).
  [[nodiscard]] std::optional<std::string> stringValue() const;
  [[nodiscard]] const Object* objectValue() const { return std::get_if<Object>(&value_); }
  [[nodiscard]] const Array* arrayValue() const { return std::get_if<Array>(&value_); }
  [[nodiscard]] const std::int64_t* intValue() const { return std::get_if<std::int64_t>(&value_); }
  [[nodiscard]] const double* doubleValue() const { return std::get_if<double>(&value_); }
  [[nodiscard]] const bool* boolValue() const { return std::get_if<bool>(&value_); }
  [[nodiscard]] bool isNull() const { return kind() == Kind::null; }

  bool operator==(const JSONValue& other) const = default;

  // Any JSON text, a bare scalar included. Throws DecodingError.
  [[nodiscard]] static JSONValue parse(std::string_view text);
  // Compact JSON with sorted keys and "/" unescaped; exactly "null" when a NaN or infinite
  // double is anywhere inside. Never throws.
  [[nodiscard]] std::string encoded() const;
  // A record as the control protocol writes it (snake_case keys, ISO 8601 times, nulls kept).
  template <class Record>
  [[nodiscard]] static JSONValue from(const Record& record) {
    return fromWire(WireCoding::toJSON(record));
  }
  [[nodiscard]] static JSONValue fromWire(const JSON& value);

 private:
  std::variant<bool, std::int64_t, double, std::string, Array, Object, std::nullptr_t> value_;
};

}  // namespace lumetra
