#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <utility>

namespace lumetra {

// One field of a record on the wire: its snake_case JSON key and the member it holds.
// A record lists its fields once, in a static `wireFields()`; the encoder and the decoder
// both walk that list, so a key can never be written one way and read another.
template <class Record, class Member>
struct WireField {
  std::string_view key;
  Member Record::*member;
};
template <class Record, class Member>
WireField(std::string_view, Member Record::*) -> WireField<Record, Member>;

// An enumeration written as one of its raw texts. Specialise with `texts`, a constexpr array
// of (case, text) pairs; a text outside the table does not decode.
template <class E>
struct WireEnum;

template <class E>
constexpr std::string_view rawValue(E value) {
  for (const auto& [c, text] : WireEnum<E>::texts) {
    if (c == value) return text;
  }
  return {};
}

template <class E>
constexpr std::optional<E> fromRawValue(std::string_view text) {
  for (const auto& [c, t] : WireEnum<E>::texts) {
    if (t == text) return c;
  }
  return std::nullopt;
}

}  // namespace lumetra
