#include "store/Row.hpp"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/Numbers.hpp"

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
  if (const auto* s = std::get_if<std::string>(&storage)) return Numbers::wholeNumber(*s).value_or(0);
  return 0;
}

std::optional<double> Row::optionalDouble(std::string_view name) const {
  const SQLValue* value = find(name);
  if (!value) return std::nullopt;
  const auto& storage = value->storage();
  if (const auto* i = std::get_if<std::int64_t>(&storage)) return static_cast<double>(*i);
  if (const auto* d = std::get_if<double>(&storage)) return *d;
  if (const auto* s = std::get_if<std::string>(&storage)) return Numbers::decimal(*s);
  return std::nullopt;
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
