#include "platform/Numbers.hpp"

#include <charconv>

namespace lumetra::Numbers {

namespace {

// from_chars takes no "+" sign; one is removed here, but not before a "-".
std::optional<std::string_view> withoutPlus(std::string_view text) {
  if (text.empty() || text.front() != '+') return text;
  text.remove_prefix(1);
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) return std::nullopt;
  return text;
}

// from_chars reads the C locale's form and, unlike strtol and strtod, never skips white space.
template <class Number>
std::optional<Number> whole(std::string_view text) {
  const auto digits = withoutPlus(text);
  if (!digits || digits->empty()) return std::nullopt;
  Number value{};
  const auto [end, error] = std::from_chars(digits->data(), digits->data() + digits->size(), value);
  if (error != std::errc() || end != digits->data() + digits->size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::int64_t> wholeNumber(std::string_view text) { return whole<std::int64_t>(text); }

std::optional<double> decimal(std::string_view text) { return whole<double>(text); }

std::string grouped(std::int64_t number) {
  std::string digits = std::to_string(number < 0 ? -number : number);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
  return (number < 0 ? "-" : "") + digits;
}

}  // namespace lumetra::Numbers
