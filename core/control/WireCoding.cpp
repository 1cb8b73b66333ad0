#include "control/WireCoding.hpp"

#include <cctype>

namespace lumetra::WireCoding {

namespace {

std::string dumpScalar(const JSON& value) { return value.dump(-1, ' ', false, JSON::error_handler_t::replace); }

void writePretty(const JSON& value, std::string& out, std::size_t indent) {
  const bool isObject = value.is_object();
  if (!isObject && !value.is_array()) {
    out += dumpScalar(value);
    return;
  }
  if (value.empty()) {
    out += isObject ? "{}" : "[]";
    return;
  }
  out += isObject ? "{\n" : "[\n";
  bool first = true;
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (!first) out += ",\n";
    first = false;
    out.append(indent + 2, ' ');
    if (isObject) {
      out += dumpScalar(JSON(it.key()));
      out += " : ";
    }
    writePretty(*it, out, indent + 2);
  }
  out += '\n';
  out.append(indent, ' ');
  out += isObject ? '}' : ']';
}

}  // namespace

std::string fromSnakeCase(std::string_view key) {
  const auto first = key.find_first_not_of('_');
  if (first == std::string_view::npos) return std::string(key);
  const auto last = key.find_last_not_of('_');
  const std::string_view middle = key.substr(first, last - first + 1);

  std::vector<std::string_view> words;
  std::size_t start = 0;
  while (start <= middle.size()) {
    const auto underscore = middle.find('_', start);
    const auto end = underscore == std::string_view::npos ? middle.size() : underscore;
    if (end > start) words.push_back(middle.substr(start, end - start));
    if (underscore == std::string_view::npos) break;
    start = underscore + 1;
  }
  if (words.size() <= 1) return std::string(key);

  std::string out(key.substr(0, first));
  for (std::size_t w = 0; w < words.size(); ++w) {
    for (std::size_t i = 0; i < words[w].size(); ++i) {
      const auto c = static_cast<unsigned char>(words[w][i]);
      out += static_cast<char>(w > 0 && i == 0 ? std::toupper(c) : std::tolower(c));
    }
  }
  out += key.substr(last + 1);
  return out;
}

std::string compact(const JSON& value) { return dumpScalar(value); }

std::string pretty(const JSON& value) {
  std::string out;
  writePretty(value, out, 0);
  return out;
}

JSON parse(std::string_view text) {
  try {
    return JSON::parse(text.begin(), text.end());
  } catch (const JSON::parse_error& error) {
    throw WireError("It isn't valid JSON (error at byte " + std::to_string(error.byte) + ").");
  } catch (const JSON::exception&) {
    // A number too large for a double, for one.
    throw WireError("It isn't valid JSON (a number is out of range).");
  }
}

namespace detail {

std::string child(const std::string& path, std::string_view key) {
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}

void fail(const std::string& path, std::string_view problem) {
  const std::string subject = path.empty() ? "The message" : "The value of “" + path + "”";
  throw WireError(subject + " " + std::string(problem) + ".");
}

std::int64_t wholeNumber(const JSON& value, const std::string& path) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) fail(path, "is out of range");
    return static_cast<std::int64_t>(number);
  }
  if (value.is_number_integer()) return value.get<std::int64_t>();
  if (value.is_number_float()) {
    // A whole number written with a fraction (3.0) is still that number.
    const double number = value.get<double>();
    if (std::trunc(number) == number && number >= -9223372036854775808.0 && number < 9223372036854775808.0) {
      return static_cast<std::int64_t>(number);
    }
  }
  fail(path, "isn't a whole number");
}

Instant instant(const JSON& value, const std::string& path) {
  if (!value.is_string()) fail(path, "isn't text");
  const auto& text = value.get_ref<const std::string&>();
  if (auto parsed = ControlProtocol::parseTimestamp(text)) return *parsed;
  throw WireError("Not an ISO 8601 time: " + text);
}

std::map<std::string, const JSON*> members(const JSON& object, const std::string& path) {
  if (!object.is_object()) fail(path, "isn't an object");
  std::map<std::string, const JSON*> found;
  for (auto it = object.begin(); it != object.end(); ++it) found[fromSnakeCase(it.key())] = &it.value();
  return found;
}

}  // namespace detail
}  // namespace lumetra::WireCoding
