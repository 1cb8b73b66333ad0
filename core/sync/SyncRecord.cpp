#include "sync/SyncRecord.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "control/WireCoding.hpp"
#include "platform/Crc32c.hpp"
#include "platform/UnicodeText.hpp"

namespace lumetra {

namespace {

// The check's place at the end of every line: `,"c":"0123abcd"}`.
constexpr std::string_view kCheckStart = ",\"c\":\"";
constexpr std::size_t kCheckLength = kCheckStart.size() + 8 + 2;

[[noreturn]] void refuse(const std::string& why) { throw SyncRecordError(why); }

bool isHex(std::string_view text) {
  return text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// A name or a source ID as typed input could be: valid UTF-8, trimmed, not empty, no control
// characters, within `limit` bytes. Descriptions may hold line breaks and tabs.
void checkText(std::string_view text, std::size_t limit, const char* what, bool lines = false) {
  if (text.empty() || text.size() > limit) refuse(std::string("its ") + what + " is empty or too long");
  if (!UnicodeText::isValidUTF8(text)) refuse(std::string("its ") + what + " isn't UTF-8");
  if (UnicodeText::trimmingWhiteSpace(text) != text) refuse(std::string("its ") + what + " isn't trimmed");
  for (const char32_t scalar : UnicodeText::scalars(text)) {
    const bool control = scalar < 0x20 || (scalar >= 0x7F && scalar < 0xA0);
    if (control && !(lines && (scalar == '\n' || scalar == '\t' || scalar == '\r'))) {
      refuse(std::string("its ") + what + " holds a control character");
    }
  }
}

// A JSON value of a line, as the record's fields need it: texts, numbers, true, false, null and
// arrays of those. Anything else (an object) is `other`, which no field takes.
struct Value {
  enum class Type { text, whole, number, flag, null, array, other } type = Type::null;
  std::string text;
  std::int64_t whole = 0;
  double number = 0;  // a whole number's too
  bool flag = false;
  std::vector<Value> items;
  [[nodiscard]] bool isNumber() const { return type == Type::whole || type == Type::number; }
};
using Members = std::vector<std::pair<std::string, Value>>;

// Reads the JSON a writer of these lines writes (flat, simple escapes, plain numbers) in one
// pass; anything else is false and left to the general parser, which gives the same values for
// everything read here.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  bool object(Members& members) {
    if (!take('{')) return false;
    if (take('}')) return true;
    do {
      std::string key;
      Value value;
      if (!string(key) || !take(':') || !this->value(value, 0)) return false;
      members.emplace_back(std::move(key), std::move(value));
    } while (take(','));
    return take('}') && done();
  }
  bool single(Value& value) { return this->value(value, 0) && done(); }

 private:
  bool done() {
    space();
    return at_ == text_.size();
  }
  void space() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }
  bool take(char c) {
    space();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool word(std::string_view w) {
    if (text_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }
  bool string(std::string& out) {
    space();
    auto text = WireCoding::plainString(text_, at_);
    if (!text) return false;
    out = std::move(*text);
    return true;
  }
  bool digits() {
    const std::size_t from = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ > from;
  }
  bool number(Value& out) {
    const std::size_t from = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    const std::size_t first = at_;
    if (!digits() || (text_[first] == '0' && at_ - first > 1)) return false;
    bool whole = true;
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (!digits()) return false;
      whole = false;
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!digits()) return false;
      whole = false;
    }
    const char *begin = text_.data() + from, *end = text_.data() + at_;
    if (whole) {
      const auto [stop, error] = std::from_chars(begin, end, out.whole);
      if (error != std::errc() || stop != end) return false;
      out.type = Value::Type::whole;
      out.number = static_cast<double>(out.whole);
      return true;
    }
    const auto [stop, error] = std::from_chars(begin, end, out.number);
    if (error != std::errc() || stop != end) return false;
    out.type = Value::Type::number;
    return true;
  }
  bool value(Value& out, int depth) {
    space();
    if (at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case '"': out.type = Value::Type::text; return string(out.text);
      case 't': out.type = Value::Type::flag, out.flag = true; return word("true");
      case 'f': out.type = Value::Type::flag, out.flag = false; return word("false");
      case 'n': out.type = Value::Type::null; return word("null");
      case '[': {
        if (depth > 0) return false;
        ++at_;
        out.type = Value::Type::array;
        if (take(']')) return true;
        do {
          if (!value(out.items.emplace_back(), depth + 1)) return false;
        } while (take(','));
        return take(']');
      }
      default: return number(out);
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

Value fromJSON(const JSON& json) {
  Value value;
  if (json.is_string()) {
    value.type = Value::Type::text;
    value.text = json.get<std::string>();
  } else if (json.is_number_integer()) {
    value.type = Value::Type::whole;
    value.whole = json.get<std::int64_t>();
    value.number = json.get<double>();
  } else if (json.is_number()) {
    value.type = Value::Type::number;
    value.number = json.get<double>();
  } else if (json.is_boolean()) {
    value.type = Value::Type::flag;
    value.flag = json.get<bool>();
  } else if (json.is_array()) {
    value.type = Value::Type::array;
    for (const auto& item : json) value.items.push_back(fromJSON(item));
  } else if (!json.is_null()) {
    value.type = Value::Type::other;
  }
  return value;
}

// A group's stored value, or a line's members.
Value parsedValue(std::string_view text) {
  Value value;
  if (Scanner(text).single(value)) return value;
  try {
    return fromJSON(WireCoding::parse(text));
  } catch (const WireError&) {
    refuse("its value isn't JSON");
  }
}

Members parsedLine(std::string_view body) {
  Members members;
  if (Scanner(body).object(members)) return members;
  JSON object;
  try {
    object = WireCoding::parse(body);
  } catch (const WireError&) {
    refuse("the line isn't JSON");
  }
  if (!object.is_object()) refuse("the line isn't a JSON object");
  members.clear();
  for (const auto& [key, value] : object.items()) members.emplace_back(key, fromJSON(value));
  return members;
}

// Times between 1970 and 9999, as the store's instants are.
double time(const Value& value, const char* what) {
  if (!value.isNumber()) refuse(std::string("its ") + what + " isn't a time");
  const double seconds = value.number;
  if (!std::isfinite(seconds) || seconds < 0 || seconds > 253402300799.0) refuse(std::string("its ") + what + " isn't a time");
  return seconds;
}

// A key given twice counts as its last, as JSON readers take it.
const Value* find(const Members& object, std::string_view key) {
  for (auto it = object.rbegin(); it != object.rend(); ++it) {
    if (it->first == key) return &it->second;
  }
  return nullptr;
}

const Value& member(const Members& object, const char* key) {
  const Value* found = find(object, key);
  if (!found) refuse(std::string("it has no “") + key + "”");
  return *found;
}

std::string text(const Members& object, const char* key) {
  const Value& value = member(object, key);
  if (value.type != Value::Type::text) refuse(std::string("its “") + key + "” isn't a text");
  return value.text;
}

std::int64_t whole(const Members& object, const char* key, std::int64_t least) {
  const Value& value = member(object, key);
  if (value.type != Value::Type::whole) refuse(std::string("its “") + key + "” isn't a whole number");
  if (value.whole < least) refuse(std::string("its “") + key + "” is out of range");
  return value.whole;
}

bool flag(const Value& value, const char* key) {
  if (value.type != Value::Type::flag) refuse(std::string("its “") + key + "” isn't true or false");
  return value.flag;
}

JSON spanJSON(const SyncSpan& span) {
  return JSON::array({span.start, span.end, span.active, std::string(rawValue(span.reason)), std::string(rawValue(span.times))});
}

// The same text, written directly: a merge writes one for every session it meets. Each number
// is the shortest that reads back as itself, as a JSON writer's are.
std::string spanText(const SyncSpan& span) {
  std::string text = "[";
  char number[32];
  for (const double seconds : {span.start, span.end, span.active}) {
    const auto [end, error] = std::to_chars(number, number + sizeof number, seconds);
    text.append(number, error == std::errc() ? end : number);
    text += ',';
  }
  text += '"';
  text += rawValue(span.reason);
  text += "\",\"";
  text += rawValue(span.times);
  text += "\"]";
  return text;
}

SyncSpan spanFrom(const Value& value) {
  const auto& items = value.items;
  if (value.type != Value::Type::array || items.size() != 5 || items[3].type != Value::Type::text ||
      items[4].type != Value::Type::text) {
    refuse("its span isn't [start, end, active, reason, times]");
  }
  SyncSpan span;
  span.start = time(items[0], "start");
  span.end = time(items[1], "end");
  span.active = time(items[2], "last activity");
  if (!(span.end > span.start)) refuse("its session ends before it starts");
  if (span.active < span.start || span.active > span.end) refuse("its last activity is outside the session");
  const auto reason = fromRawValue<EndReason>(items[3].text);
  const auto times = fromRawValue<SessionTimes>(items[4].text);
  if (!reason || !times) refuse("its span names an unknown end reason or kind of times");
  span.reason = *reason;
  span.times = *times;
  return span;
}

std::optional<std::string> descriptionFrom(const Value& value) {
  if (value.type == Value::Type::null) return std::nullopt;
  if (value.type != Value::Type::text) refuse("its description isn't a text");
  checkText(value.text, SyncRecord::maxDescription, "description", true);
  return value.text;
}

}  // namespace

bool isComputerId(std::string_view text) { return text.size() == 32 && isHex(text); }

// "p…" for a project, "s…" for a session, then 32 hex digits.
bool isGid(std::string_view text) {
  return text.size() == 33 && (text[0] == 'p' || text[0] == 's') && isHex(text.substr(1));
}

std::string SyncRecord::value(SyncGroup group) const {
  switch (group) {
    case SyncGroup::name: return WireCoding::compact(JSON(name));
    case SyncGroup::archived: return archived ? "true" : "false";
    case SyncGroup::project: return '"' + project + '"';  // a row id: nothing to escape
    case SyncGroup::span: return spanText(span);
    case SyncGroup::description: return description ? WireCoding::compact(JSON(*description)) : "null";
    case SyncGroup::edited: return edited ? "true" : "false";
    case SyncGroup::live: return live ? "true" : std::to_string(seen);
  }
  return "null";
}

void SyncRecord::setValue(SyncGroup group, std::string_view json) {
  const Value value = parsedValue(json);
  const auto textOf = [&]() -> const std::string& {
    if (value.type != Value::Type::text) refuse("its value isn't a text");
    return value.text;
  };
  groups |= group;
  switch (group) {
    case SyncGroup::name: name = textOf(); break;
    case SyncGroup::archived: archived = flag(value, "archived"); break;
    case SyncGroup::project: project = textOf(); break;
    case SyncGroup::span: span = spanFrom(value); break;
    case SyncGroup::description: description = descriptionFrom(value); break;
    case SyncGroup::edited: edited = flag(value, "edited"); break;
    case SyncGroup::live:
      live = value.type == Value::Type::flag;
      seen = live ? 0 : value.whole;
      break;
  }
}

std::string SyncRecord::encoded() const {
  // The author is the folder the line is in. A first record leaves out the groups that are as a
  // new row's are.
  JSON line = JSON::object();
  line["v"] = format;
  line["n"] = sequence;
  line["t"] = stamp;
  line["k"] = std::string(rawValue(kind));
  line["g"] = gid;
  if (created) line["new"] = createdAt;
  if (outbox) line["o"] = outbox;
  if (!writer.empty()) line["w"] = writer;
  if (has(SyncGroup::name)) line["name"] = name;
  if (has(SyncGroup::archived) && (archived || !created)) line["archived"] = archived;
  if (has(SyncGroup::project)) line["project"] = project;
  if (has(SyncGroup::span)) line["span"] = spanJSON(span);
  if (has(SyncGroup::description) && (description || !created)) {
    line["description"] = description ? JSON(*description) : JSON(nullptr);
  }
  if (has(SyncGroup::edited) && (edited || !created)) line["edited"] = edited;
  if (has(SyncGroup::live)) {
    line["live"] = live;
    if (!live) line["seen"] = seen;
  }
  if (kind == SyncKind::source) line["source"] = source;
  if (kind == SyncKind::stop) {
    line["computer"] = computer;
    line["at"] = at;
  }
  if (kind == SyncKind::alias) line["to"] = to;
  std::string body = WireCoding::compact(line);
  char check[16];
  std::snprintf(check, sizeof check, "%08x", Crc32c::of(body));
  body.pop_back();
  return body + std::string(kCheckStart) + check + "\"}";
}

SyncRecord SyncRecord::decoded(std::string_view line, std::string_view folderAuthor) {
  if (line.size() > maxLine) refuse("the line is too long");
  if (line.size() < kCheckLength + 2 || line.substr(line.size() - kCheckLength, kCheckStart.size()) != kCheckStart ||
      !line.ends_with("\"}")) {
    refuse("the line has no check");
  }
  const std::string_view check = line.substr(line.size() - 10, 8);
  std::string body(line.substr(0, line.size() - kCheckLength));
  body += '}';
  char expected[16];
  std::snprintf(expected, sizeof expected, "%08x", Crc32c::of(body));
  if (check != expected) refuse("its check doesn't match: the line is damaged");
  const Members object = parsedLine(body);

  SyncRecord record;
  const auto version = whole(object, "v", 1);
  if (version > format) throw SyncRecordError("it is written in a later format (" + std::to_string(version) + ")");
  // The first format named the author on every line.
  record.author = version == 1 ? text(object, "a") : std::string(folderAuthor);
  if (!isComputerId(record.author)) refuse("its author isn't a computer id");
  record.sequence = whole(object, "n", 1);
  record.stamp = whole(object, "t", 1);
  const auto kind = fromRawValue<SyncKind>(text(object, "k"));
  if (!kind) refuse("its kind is unknown");
  record.kind = *kind;
  record.gid = text(object, "g");
  if (!isGid(record.gid)) refuse("its row isn't a row id");
  if (find(object, "o")) record.outbox = whole(object, "o", 1);
  if (find(object, "w")) {
    record.writer = text(object, "w");
    if (record.writer.empty() || record.writer.size() > 32 || !isHex(record.writer)) refuse("its writer isn't a mark");
  }
  if (const Value* made = find(object, "new")) {
    record.created = true;
    record.createdAt = time(*made, "creation time");
  }

  const bool project = record.kind == SyncKind::project, session = record.kind == SyncKind::session;
  if (project != (record.gid[0] == 'p') && (project || session)) refuse("its row id is of another kind");
  for (const auto& [group, key] : kSyncGroupTexts) {
    const Value* found = find(object, key);
    if (!found) continue;
    const unsigned allowed = project ? kProjectGroups | SyncGroup::live : session ? kSessionGroups | SyncGroup::live : 0;
    if (!(allowed & group)) refuse("it sets “" + std::string(key) + "” on a " + std::string(rawValue(record.kind)));
    record.groups |= group;
    switch (group) {
      case SyncGroup::name:
        record.name = text(object, "name");
        checkText(record.name, maxName, "name");
        break;
      case SyncGroup::archived: record.archived = flag(*found, "archived"); break;
      case SyncGroup::project:
        record.project = text(object, "project");
        if (!isGid(record.project) || record.project[0] != 'p') refuse("its project isn't a project id");
        break;
      case SyncGroup::span: record.span = spanFrom(*found); break;
      case SyncGroup::description: record.description = descriptionFrom(*found); break;
      case SyncGroup::edited: record.edited = flag(*found, "edited"); break;
      case SyncGroup::live:
        record.live = flag(*found, "live");
        if (!record.live) record.seen = whole(object, "seen", 0);
        break;
    }
  }
  if (record.created) {
    const unsigned all = project ? kProjectGroups : session ? kSessionGroups : ~0u;
    // Left out of a first record since the second format: as a new row's are.
    if (version > 1 && (project || session)) {
      record.groups |= all & (SyncGroup::archived | SyncGroup::description | SyncGroup::edited);
    }
    if ((record.groups & all) != all) refuse("its first record lacks some of its fields");
  }
  switch (record.kind) {
    case SyncKind::project:
    case SyncKind::session:
      if (!record.groups) refuse("it changes nothing");
      break;
    case SyncKind::source:
      if (record.gid[0] != 's') refuse("its source's session isn't a session id");
      record.source = text(object, "source");
      checkText(record.source, maxSource, "source ID");
      break;
    case SyncKind::stop:
      if (record.gid[0] != 's') refuse("it doesn't name a session");
      record.computer = text(object, "computer");
      if (!isComputerId(record.computer)) refuse("its computer isn't a computer id");
      record.at = time(member(object, "at"), "time");
      break;
    case SyncKind::alias:
      record.to = text(object, "to");
      if (!isGid(record.to) || record.to[0] != record.gid[0] || record.to == record.gid) {
        refuse("its other row isn't a row of the same kind");
      }
      break;
  }
  return record;
}

}  // namespace lumetra
