#pragma once

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "control/ControlProtocol.hpp"
#include "platform/WireField.hpp"
#include "platform/Error.hpp"
#include "platform/Instant.hpp"

namespace lumetra {

// JSON values with keys kept in ascending order, as the wire wants them.
using JSON = nlohmann::json;

// A message that doesn't decode into the expected record. The description says where.
class WireError final : public MessageError {
 public:
  using MessageError::MessageError;
};

// The JSON conventions of the control protocol: snake_case keys in ascending order, compact,
// "/" unescaped, instants as ISO 8601 local time with offset. Records list their fields in a
// static wireFields(); records with `wireOmitsAbsent` leave absent fields out, the others
// write them as null.
namespace WireCoding {

// "session_id" → "sessionId"; a key without inner underscores is kept as it is.
[[nodiscard]] std::string fromSnakeCase(std::string_view key);

// Compact text of a value; invalid UTF-8 in texts is replaced, so this never fails.
[[nodiscard]] std::string compact(const JSON& value);
// One key or element per line, two-space indentation, `"key" : value`.
[[nodiscard]] std::string pretty(const JSON& value);

// Parses one JSON text; throws WireError when it isn't JSON.
[[nodiscard]] JSON parse(std::string_view text);
// The JSON string at text[at] (its opening quote), read in one pass, `at` moved past it; nothing
// for what the general parser should look at: a \u escape, a control character, malformed
// UTF-8, no string there.
[[nodiscard]] std::optional<std::string> plainString(std::string_view text, std::size_t& at);
// Moves the text at `key` out of an object, leaving an empty text in its place; nothing when
// there is no text there. An import's text runs to megabytes, which decoding would copy.
[[nodiscard]] std::optional<std::string> takeText(JSON& object, const std::string& key);

namespace detail {
template <class T> struct IsOptional : std::false_type {};
template <class T> struct IsOptional<std::optional<T>> : std::true_type {};
template <class T> struct IsVector : std::false_type {};
template <class T> struct IsVector<std::vector<T>> : std::true_type {};
template <class T> struct IsTextMap : std::false_type {};
template <class T> struct IsTextMap<std::map<std::string, T>> : std::true_type {};

template <class T>
concept Record = requires { T::wireFields(); };
template <class T>
concept RawEnum = requires { WireEnum<T>::texts; };

template <class T>
constexpr bool omitsAbsent() {
  if constexpr (requires { T::wireOmitsAbsent; }) return T::wireOmitsAbsent;
  return false;
}

std::string child(const std::string& path, std::string_view key);
[[noreturn]] void fail(const std::string& path, std::string_view problem);
std::int64_t wholeNumber(const JSON& value, const std::string& path);
Instant instant(const JSON& value, const std::string& path);
// The object's members by field spelling (keys converted from snake_case).
std::map<std::string, const JSON*> members(const JSON& object, const std::string& path);
}  // namespace detail

template <class T>
JSON toJSON(const T& value) {
  using namespace detail;
  if constexpr (std::is_same_v<T, bool>) {
    return JSON(value);
  } else if constexpr (std::is_integral_v<T>) {
    return JSON(static_cast<std::int64_t>(value));
  } else if constexpr (std::is_floating_point_v<T>) {
    return JSON(static_cast<double>(value));
  } else if constexpr (std::is_same_v<T, std::string>) {
    return JSON(value);
  } else if constexpr (std::is_same_v<T, Instant>) {
    return JSON(ControlProtocol::formatTimestamp(value));
  } else if constexpr (RawEnum<T>) {
    return JSON(std::string(rawValue(value)));
  } else if constexpr (IsOptional<T>::value) {
    return value ? toJSON(*value) : JSON(nullptr);
  } else if constexpr (IsVector<T>::value) {
    JSON list = JSON::array();
    for (const auto& element : value) list.push_back(toJSON(element));
    return list;
  } else if constexpr (IsTextMap<T>::value) {
    JSON object = JSON::object();
    for (const auto& [key, element] : value) object[key] = toJSON(element);
    return object;
  } else {
    static_assert(Record<T>, "no wire form for this type");
    JSON object = JSON::object();
    std::apply(
        [&](const auto&... field) {
          (
              [&] {
                const auto& member = value.*(field.member);
                if constexpr (IsOptional<std::decay_t<decltype(member)>>::value) {
                  if (!member && omitsAbsent<T>()) return;
                }
                object[std::string(field.key)] = toJSON(member);
              }(),
              ...);
        },
        T::wireFields());
    return object;
  }
}

// Decodes a value; throws WireError naming the path of the first value that doesn't fit.
template <class T>
T fromJSON(const JSON& value, const std::string& path = {}) {
  using namespace detail;
  if constexpr (std::is_same_v<T, bool>) {
    if (!value.is_boolean()) fail(path, "isn't true or false");
    return value.get<bool>();
  } else if constexpr (std::is_integral_v<T>) {
    const std::int64_t number = wholeNumber(value, path);
    if (number < std::numeric_limits<T>::min() || number > std::numeric_limits<T>::max()) {
      fail(path, "is out of range");
    }
    return static_cast<T>(number);
  } else if constexpr (std::is_floating_point_v<T>) {
    if (!value.is_number()) fail(path, "isn't a number");
    return value.get<double>();
  } else if constexpr (std::is_same_v<T, std::string>) {
    if (!value.is_string()) fail(path, "isn't text");
    return value.get<std::string>();
  } else if constexpr (std::is_same_v<T, Instant>) {
    return instant(value, path);
  } else if constexpr (RawEnum<T>) {
    if (!value.is_string()) fail(path, "isn't text");
    if (auto known = fromRawValue<T>(value.get_ref<const std::string&>())) return *known;
    fail(path, "isn't one of the known values");
  } else if constexpr (IsOptional<T>::value) {
    if (value.is_null()) return std::nullopt;
    return fromJSON<typename T::value_type>(value, path);
  } else if constexpr (IsVector<T>::value) {
    if (!value.is_array()) fail(path, "isn't a list");
    T list;
    list.reserve(value.size());
    std::size_t index = 0;
    for (const auto& element : value) {
      list.push_back(fromJSON<typename T::value_type>(element, path + "[" + std::to_string(index++) + "]"));
    }
    return list;
  } else {
    static_assert(Record<T>, "no wire form for this type");
    const auto found = members(value, path);
    T record{};
    std::apply(
        [&](const auto&... field) {
          (
              [&] {
                auto& member = record.*(field.member);
                using Member = std::decay_t<decltype(member)>;
                const auto it = found.find(fromSnakeCase(field.key));
                const JSON* element = it == found.end() ? nullptr : it->second;
                const std::string where = child(path, field.key);
                if constexpr (IsOptional<Member>::value) {
                  member = element ? fromJSON<Member>(*element, where) : std::nullopt;
                } else {
                  if (!element || element->is_null()) fail(where, "is missing");
                  member = fromJSON<Member>(*element, where);
                }
              }(),
              ...);
        },
        T::wireFields());
    return record;
  }
}

template <class T>
std::string encode(const T& value) {
  return compact(toJSON(value));
}

template <class T>
T decode(std::string_view text) {
  return fromJSON<T>(parse(text));
}

// The --json form of a record, which the tool prints and the MCP tools return as text.
template <class T>
std::string prettyText(const T& value) {
  return pretty(toJSON(value));
}

}  // namespace WireCoding
}  // namespace lumetra
