#include "mcp/JSONValue.hpp"

#include <charconv>
#include <cmath>
#include <stack>

namespace lumetra {

namespace {

// Builds values straight from the parser's events, without a document in between, and stops
// at the depth limit.
class Builder {
 public:
  bool null() { return put(JSONValue()); }
  bool boolean(bool v) { return put(JSONValue(v)); }
  bool number_integer(JSON::number_integer_t v) { return put(JSONValue(static_cast<std::int64_t>(v))); }
  bool number_unsigned(JSON::number_unsigned_t v) {
    // Past the signed 64-bit range a number is a double.
    if (v > static_cast<JSON::number_unsigned_t>(INT64_MAX)) return put(JSONValue(static_cast<double>(v)));
    return put(JSONValue(static_cast<std::int64_t>(v)));
  }
  bool number_float(JSON::number_float_t v, const std::string&) { return put(JSONValue(static_cast<double>(v))); }
  bool string(std::string& v) { return put(JSONValue(std::move(v))); }
  bool binary(JSON::binary_t&) { return false; }
  bool start_object(std::size_t) { return open(false); }
  bool key(std::string& k) {
    open_.top().key = std::move(k);
    return true;
  }
  bool end_object() { return close(); }
  bool start_array(std::size_t) { return open(true); }
  bool end_array() { return close(); }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) {
    failedAt_ = position;
    return false;
  }

  JSONValue result() { return std::move(result_); }
  std::size_t failedAt() const { return failedAt_; }
  bool tooDeep() const { return tooDeep_; }

 private:
  struct Frame {
    bool isArray = false;
    JSONValue::Array array;
    JSONValue::Object object;
    std::string key;  // of the member being read, in an object
  };

  bool open(bool isArray) {
    if (static_cast<int>(open_.size()) >= JSONValue::maxDepth) {
      tooDeep_ = true;
      return false;
    }
    open_.push(Frame{isArray, {}, {}, {}});
    return true;
  }
  bool close() {
    Frame done = std::move(open_.top());
    open_.pop();
    return put(done.isArray ? JSONValue(std::move(done.array)) : JSONValue(std::move(done.object)));
  }
  bool put(JSONValue value) {
    if (open_.empty()) {
      result_ = std::move(value);
    } else if (Frame& frame = open_.top(); frame.isArray) {
      frame.array.push_back(std::move(value));
    } else {
      frame.object.insert_or_assign(frame.key, std::move(value));
    }
    return true;
  }

  std::stack<Frame> open_;
  JSONValue result_;
  std::size_t failedAt_ = 0;
  bool tooDeep_ = false;
};

bool finite(const JSONValue& value) {
  if (const auto* d = value.doubleValue()) return std::isfinite(*d);
  if (const auto* a = value.arrayValue()) {
    for (const auto& element : *a) {
      if (!finite(element)) return false;
    }
  }
  if (const auto* o = value.objectValue()) {
    for (const auto& [key, element] : *o) {
      if (!finite(element)) return false;
    }
  }
  return true;
}

void quoted(std::string& out, const std::string& text) { out += WireCoding::compact(JSON(text)); }

void write(std::string& out, const JSONValue& value) {
  switch (value.kind()) {
    case JSONValue::Kind::null:
      out += "null";
      return;
    case JSONValue::Kind::boolean:
      out += *value.boolValue() ? "true" : "false";
      return;
    case JSONValue::Kind::integer:
      out += std::to_string(*value.intValue());
      return;
    case JSONValue::Kind::real: {
      char buffer[64];
      const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, *value.doubleValue());
      std::string text(buffer, error == std::errc() ? end : buffer);
      // A whole double keeps a fraction, so that it reads back as a double.
      if (text.find_first_of(".eE") == std::string::npos) text += ".0";
      out += text;
      return;
    }
    case JSONValue::Kind::string:
      quoted(out, *value.stringValue());
      return;
    case JSONValue::Kind::array: {
      out += '[';
      bool first = true;
      for (const auto& element : *value.arrayValue()) {
        if (!first) out += ',';
        first = false;
        write(out, element);
      }
      out += ']';
      return;
    }
    case JSONValue::Kind::object: {
      out += '{';
      bool first = true;
      for (const auto& [key, element] : *value.objectValue()) {
        if (!first) out += ',';
        first = false;
        quoted(out, key);
        out += ':';
        write(out, element);
      }
      out += '}';
      return;
    }
  }
}

}  // namespace

JSONValue JSONValue::object(std::initializer_list<std::pair<std::string, JSONValue>> pairs) {
  Object members;
  for (const auto& [key, value] : pairs) members.insert_or_assign(key, value);
  return JSONValue(std::move(members));
}

std::optional<JSONValue> JSONValue::operator[](std::string_view key) const {
  const auto* members = objectValue();
  if (!members) return std::nullopt;
  const auto it = members->find(key);
  if (it == members->end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> JSONValue::stringValue() const {
  if (const auto* text = std::get_if<std::string>(&value_)) return *text;
  return std::nullopt;
}

JSONValue JSONValue::parse(std::string_view text) {
  Builder builder;
  const bool parsed = JSON::sax_parse(text.begin(), text.end(), &builder, JSON::input_format_t::json, true, false);
  if (!parsed) {
    if (builder.tooDeep()) throw DecodingError("Nested more than " + std::to_string(maxDepth) + " levels deep.");
    throw DecodingError("Not valid JSON at byte " + std::to_string(builder.failedAt()) + ".");
  }
  return builder.result();
}

std::string JSONValue::encoded() const {
  if (!finite(*this)) return "null";
  std::string out;
  write(out, *this);
  return out;
}

JSONValue JSONValue::fromWire(const JSON& value) {
  switch (value.type()) {
    case JSON::value_t::null:
      return JSONValue();
    case JSON::value_t::boolean:
      return JSONValue(value.get<bool>());
    case JSON::value_t::number_integer:
      return JSONValue(value.get<std::int64_t>());
    case JSON::value_t::number_unsigned:
      return value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)
                 ? JSONValue(value.get<double>())
                 : JSONValue(static_cast<std::int64_t>(value.get<std::uint64_t>()));
    case JSON::value_t::number_float:
      return JSONValue(value.get<double>());
    case JSON::value_t::string:
      return JSONValue(value.get<std::string>());
    case JSON::value_t::array: {
      Array elements;
      for (const auto& element : value) elements.push_back(fromWire(element));
      return JSONValue(std::move(elements));
    }
    case JSON::value_t::object: {
      Object members;
      for (auto it = value.begin(); it != value.end(); ++it) members.emplace(it.key(), fromWire(it.value()));
      return JSONValue(std::move(members));
    }
    default:
      throw DecodingError("The value has no JSON form.");
  }
}

}  // namespace lumetra
