#include "store/Row.hpp"

#include <charconv>
#include <cmath>
#include <limits>

namespace lumetra {

const SQLValue* Row::find(std::string_view name) const {
  // From the right: of two columns with one name, the later one counts.
  const auto& names = *names_;
  for (std::size_t i = names.size(); i-- > 0;) {
    if (names[i] == name) return &values_[i];
  }
  return nullptr;
}

std::int64_t Row::integer(std::string_view name) const {
  const SQLValue* value = find(name);
  if (!value) return 0;
  const auto& storage = value->storage();
  if (const auto* i = std::get_if<std::int64_t>(&storage)) return *i;
  if (const auto* d = std::get_if<double>(&storage)) {
    // Outside the 64-bit range (or not a number) there is no truncation to give.
    if (!std::isfinite(*d) || *d >= 9223372036854775808.0 || *d < -9223372036854775808.0) return 0;
    return static_cast<std::int64_t>(*d);
  }
  if (const auto* s = std::get_if<std::string>(&storage)) {
    std::string_view text = *s;
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.front() == '+') return 0;
    std::int64_t parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return parsed;
  }
  return 0;
}

std::optional<double> Row::optionalDouble(std::string_view name) const {
  const SQLValue* value = find(name);
  if (!value) return std::nullopt;
  const auto& storage = value->storage();
  if (const auto* i = std::get_if<std::int64_t>(&storage)) return static_cast<double>(*i);
  if (const auto* d = std::get_if<double>(&storage)) return *d;
  if (const auto* s = std::get_if<std::string>(&storage)) return parseDouble(*s);
  return std::nullopt;
}

std::optional<double> parseDouble(std::string_view text) {
  // from_chars reads the C locale's form and, unlike strtod, never skips white space; it takes
  // no "+" sign, so one is removed here (but not before a "-").
  std::string_view number = text;
  if (!number.empty() && number.front() == '+') number.remove_prefix(1);
  if (number.empty() || number.front() == '+' || (number.size() < text.size() && number.front() == '-')) {
    return std::nullopt;
  }
  double parsed = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), parsed);
  if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
  return parsed;
}

std::optional<std::string> Row::optionalText(std::string_view name) const {
  const SQLValue* value = find(name);
  if (!value) return std::nullopt;
  const auto& storage = value->storage();
  if (const auto* s = std::get_if<std::string>(&storage)) return *s;
  if (const auto* i = std::get_if<std::int64_t>(&storage)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&storage)) return shortestDecimal(*d);
  return std::nullopt;
}

std::string shortestDecimal(double value) {
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, error == std::errc() ? end : buffer);
  if (std::isfinite(value) && text.find_first_of(".eE") == std::string::npos) text += ".0";
  return text;
}

}  // namespace lumetra
