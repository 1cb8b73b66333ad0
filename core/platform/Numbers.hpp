#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumetra::Numbers {

// The whole text as a base-10 integer: an optional "+" or "-", then ASCII digits, within the
// signed 64-bit range. No spaces, no decimal point.
[[nodiscard]] std::optional<std::int64_t> wholeNumber(std::string_view text);

// The whole text as a number in the C locale's form; no leading white space.
[[nodiscard]] std::optional<double> decimal(std::string_view text);

// The integer with its thousands grouped by commas: "3,652,059".
[[nodiscard]] std::string grouped(std::int64_t number);

}  // namespace lumetra::Numbers
