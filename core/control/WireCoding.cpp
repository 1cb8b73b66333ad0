#include "control/WireCoding.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/UnicodeText.hpp"

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

// Texts at least this long are tried as a flat object first.
constexpr std::size_t flatObjectMinimum = 64 * 1024;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }


// An object of texts, booleans, nulls, whole numbers and such objects (a few levels deep), read
// in one pass: an import's request and an export's reply are mostly one long text, which the
// general parser takes a character at a time. Anything else (arrays, fractions, \u escapes, any
// fault) is nullopt and left to the general parser, which gives the same value for everything
// read here.
std::optional<JSON> plainObject(std::string_view text, std::size_t& at, int depth) {
  const auto skipSpace = [&] {
    while (at < text.size() && isSpace(text[at])) ++at;
  };
  const auto next = [&](char c) {
    skipSpace();
    if (at >= text.size() || text[at] != c) return false;
    ++at;
    return true;
  };
  JSON object = JSON::object();
  if (!next('{')) return std::nullopt;
  if (next('}')) return object;
  do {
    skipSpace();
    auto key = plainString(text, at);
    if (!key || !next(':')) return std::nullopt;
    skipSpace();
    JSON value;
    const std::string_view rest = text.substr(at);
    if (rest.starts_with('"')) {
      auto string = plainString(text, at);
      if (!string) return std::nullopt;
      value = std::move(*string);
    } else if (rest.starts_with('{')) {
      if (depth >= 4) return std::nullopt;
      auto inner = plainObject(text, at, depth + 1);
      if (!inner) return std::nullopt;
      value = std::move(*inner);
    } else if (rest.starts_with("true") || rest.starts_with("false") || rest.starts_with("null")) {
      value = rest[0] == 't' ? JSON(true) : rest[0] == 'f' ? JSON(false) : JSON(nullptr);
      at += rest[0] == 'f' ? 5 : 4;
    } else {
      const bool negative = rest.starts_with('-');
      const std::string_view digits = rest.substr(negative ? 1 : 0, 18);
      const std::size_t count = std::min(digits.find_first_not_of("0123456789"), digits.size());
      if (count == 0 || count == digits.size() || (digits[0] == '0' && count > 1)) return std::nullopt;
      const char after = digits[count];
      if (after == '.' || after == 'e' || after == 'E') return std::nullopt;
      std::int64_t number = 0;
      for (std::size_t i = 0; i < count; ++i) number = number * 10 + (digits[i] - '0');
      value = negative ? JSON(-number) : JSON(static_cast<std::uint64_t>(number));
      at += count + (negative ? 1 : 0);
    }
    object[std::move(*key)] = std::move(value);
  } while (next(','));
  if (!next('}')) return std::nullopt;
  return object;
}

std::optional<JSON> flatObject(std::string_view text) {
  std::size_t at = 0;
  auto object = plainObject(text, at, 0);
  while (at < text.size() && isSpace(text[at])) ++at;
  if (!object || at != text.size()) return std::nullopt;
  return object;
}

}  // namespace

std::optional<std::string> plainString(std::string_view text, std::size_t& at) {
  if (at >= text.size() || text[at] != '"') return std::nullopt;
  std::string out;
  std::size_t run = ++at;  // start of the bytes not yet copied
  // Room for the whole text at once (its closing quote is the first with an even run of
  // backslashes before it): a long text would otherwise be copied as it grows.
  for (std::size_t quote = text.find('"', at); quote != std::string_view::npos; quote = text.find('"', quote + 1)) {
    std::size_t slashes = 0;
    while (quote - slashes > at && text[quote - slashes - 1] == '\\') ++slashes;
    if (slashes % 2 == 0) {
      out.reserve(quote - at);
      break;
    }
  }
  while (at < text.size()) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c >= 0x20 && c != '"' && c != '\\') {
      ++at;
      continue;
    }
    out.append(text.substr(run, at - run));
    if (c == '"') {
      ++at;
      if (!UnicodeText::isValidUTF8(out)) return std::nullopt;
      return out;
    }
    if (c == '\\') {
      static constexpr std::string_view escapes = "\"\\/bfnrt", meanings = "\"\\/\b\f\n\r\t";
      const auto which = at + 1 < text.size() ? escapes.find(text[at + 1]) : std::string_view::npos;
      if (which == std::string_view::npos) return std::nullopt;
      out += meanings[which];
      at += 2;
    } else {
      return std::nullopt;
    }
    run = at;
  }
  return std::nullopt;
}

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

std::string compact(const JSON& value) {
  // The general writer looks at a text byte by byte; an import's megabytes of CSV are written
  // here in runs instead, byte for byte as it would write them. Only valid UTF-8 takes this
  // way: the general writer replaces anything else.
  const auto isLongText = [](const JSON& member) {
    return member.is_string() && member.get_ref<const std::string&>().size() >= flatObjectMinimum;
  };
  if (!value.is_object() || std::none_of(value.begin(), value.end(), isLongText)) return dumpScalar(value);
  std::string out = "{";
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (it != value.begin()) out += ',';
    out += dumpScalar(JSON(it.key()));
    out += ':';
    if (!isLongText(*it) || !UnicodeText::isValidUTF8(it->get_ref<const std::string&>())) {
      out += dumpScalar(*it);
      continue;
    }
    const auto& text = it->get_ref<const std::string&>();
    out.reserve(out.size() + text.size() + text.size() / 8 + 64);
    out += '"';
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c >= 0x20 && c != '"' && c != '\\') continue;
      out.append(text, run, i - run);
      run = i + 1;
      static constexpr char escaped[] = "\"\\\b\f\n\r\t", letters[] = "\"\\bfnrt", hex[] = "0123456789abcdef";
      out += '\\';
      if (const char* at = std::strchr(escaped, c); at && c != 0) {
        out += letters[at - escaped];
      } else {
        out += "u00";
        out += hex[c >> 4];
        out += hex[c & 0xF];
      }
    }
    out.append(text, run, std::string::npos);
    out += '"';
  }
  out += '}';
  return out;
}

std::string pretty(const JSON& value) {
  std::string out;
  writePretty(value, out, 0);
  return out;
}

std::optional<std::string> takeText(JSON& object, const std::string& key) {
  if (!object.is_object()) return std::nullopt;
  const auto found = object.find(key);
  if (found == object.end() || !found->is_string()) return std::nullopt;
  return std::exchange(found->get_ref<std::string&>(), std::string());
}

JSON parse(std::string_view text) {
  if (text.size() >= flatObjectMinimum) {
    if (auto object = flatObject(text)) return std::move(*object);
  }
  // Requests are shallow; a deep one would make every copy recurse.
  constexpr int maxDepth = 64;
  struct TooDeep {};
  try {
    return JSON::parse(text.begin(), text.end(), [](int depth, JSON::parse_event_t, JSON&) {
      if (depth > maxDepth) throw TooDeep();
      return true;
    });
  } catch (const TooDeep&) {
    throw WireError("It is nested more than " + std::to_string(maxDepth) + " levels deep.");
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
