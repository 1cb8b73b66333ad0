#include "sync/SyncRecord.hpp"

#include <cmath>
#include <cstdio>

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

// Times between 1970 and 9999, as the store's instants are.
double time(const JSON& value, const char* what) {
  if (!value.is_number()) refuse(std::string("its ") + what + " isn't a time");
  const double seconds = value.get<double>();
  if (!std::isfinite(seconds) || seconds < 0 || seconds > 253402300799.0) refuse(std::string("its ") + what + " isn't a time");
  return seconds;
}

const JSON& member(const JSON& object, const char* key) {
  const auto found = object.find(key);
  if (found == object.end()) refuse(std::string("it has no “") + key + "”");
  return *found;
}

std::string text(const JSON& object, const char* key) {
  const JSON& value = member(object, key);
  if (!value.is_string()) refuse(std::string("its “") + key + "” isn't a text");
  return value.get<std::string>();
}

std::int64_t whole(const JSON& object, const char* key, std::int64_t least) {
  const JSON& value = member(object, key);
  if (!value.is_number_integer()) refuse(std::string("its “") + key + "” isn't a whole number");
  const auto number = value.get<std::int64_t>();
  if (number < least) refuse(std::string("its “") + key + "” is out of range");
  return number;
}

bool flag(const JSON& value, const char* key) {
  if (!value.is_boolean()) refuse(std::string("its “") + key + "” isn't true or false");
  return value.get<bool>();
}

JSON spanJSON(const SyncSpan& span) {
  return JSON::array({span.start, span.end, span.active, std::string(rawValue(span.reason)), std::string(rawValue(span.times))});
}

SyncSpan spanFrom(const JSON& value) {
  if (!value.is_array() || value.size() != 5 || !value[3].is_string() || !value[4].is_string()) {
    refuse("its span isn't [start, end, active, reason, times]");
  }
  SyncSpan span;
  span.start = time(value[0], "start");
  span.end = time(value[1], "end");
  span.active = time(value[2], "last activity");
  if (!(span.end > span.start)) refuse("its session ends before it starts");
  if (span.active < span.start || span.active > span.end) refuse("its last activity is outside the session");
  const auto reason = fromRawValue<EndReason>(value[3].get_ref<const std::string&>());
  const auto times = fromRawValue<SessionTimes>(value[4].get_ref<const std::string&>());
  if (!reason || !times) refuse("its span names an unknown end reason or kind of times");
  span.reason = *reason;
  span.times = *times;
  return span;
}

std::optional<std::string> descriptionFrom(const JSON& value) {
  if (value.is_null()) return std::nullopt;
  if (!value.is_string()) refuse("its description isn't a text");
  std::string text = value.get<std::string>();
  checkText(text, SyncRecord::maxDescription, "description", true);
  return text;
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
    case SyncGroup::project: return WireCoding::compact(JSON(project));
    case SyncGroup::span: return WireCoding::compact(spanJSON(span));
    case SyncGroup::description: return description ? WireCoding::compact(JSON(*description)) : "null";
    case SyncGroup::edited: return edited ? "true" : "false";
    case SyncGroup::live: return live ? "true" : std::to_string(seen);
  }
  return "null";
}

void SyncRecord::setValue(SyncGroup group, std::string_view json) {
  const JSON value = WireCoding::parse(json);
  groups |= group;
  switch (group) {
    case SyncGroup::name: name = value.get<std::string>(); break;
    case SyncGroup::archived: archived = value.get<bool>(); break;
    case SyncGroup::project: project = value.get<std::string>(); break;
    case SyncGroup::span: span = spanFrom(value); break;
    case SyncGroup::description: description = descriptionFrom(value); break;
    case SyncGroup::edited: edited = value.get<bool>(); break;
    case SyncGroup::live:
      live = value.is_boolean();
      seen = live ? 0 : value.get<std::int64_t>();
      break;
  }
}

std::string SyncRecord::encoded() const {
  JSON line = JSON::object();
  line["v"] = format;
  line["a"] = author;
  line["n"] = sequence;
  line["t"] = stamp;
  line["k"] = std::string(rawValue(kind));
  line["g"] = gid;
  if (created) line["new"] = createdAt;
  if (outbox) line["o"] = outbox;
  if (!writer.empty()) line["w"] = writer;
  if (has(SyncGroup::name)) line["name"] = name;
  if (has(SyncGroup::archived)) line["archived"] = archived;
  if (has(SyncGroup::project)) line["project"] = project;
  if (has(SyncGroup::span)) line["span"] = spanJSON(span);
  if (has(SyncGroup::description)) line["description"] = description ? JSON(*description) : JSON(nullptr);
  if (has(SyncGroup::edited)) line["edited"] = edited;
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

SyncRecord SyncRecord::decoded(std::string_view line) {
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
  JSON object;
  try {
    object = WireCoding::parse(body);
  } catch (const WireError&) {
    refuse("the line isn't JSON");
  }
  if (!object.is_object()) refuse("the line isn't a JSON object");

  SyncRecord record;
  if (const auto version = whole(object, "v", 1); version != format) {
    throw SyncRecordError("it is written in a later format (" + std::to_string(version) + ")");
  }
  record.author = text(object, "a");
  if (!isComputerId(record.author)) refuse("its author isn't a computer id");
  record.sequence = whole(object, "n", 1);
  record.stamp = whole(object, "t", 1);
  const auto kind = fromRawValue<SyncKind>(text(object, "k"));
  if (!kind) refuse("its kind is unknown");
  record.kind = *kind;
  record.gid = text(object, "g");
  if (!isGid(record.gid)) refuse("its row isn't a row id");
  if (const auto found = object.find("o"); found != object.end()) record.outbox = whole(object, "o", 1);
  if (const auto found = object.find("w"); found != object.end()) {
    record.writer = text(object, "w");
    if (record.writer.empty() || record.writer.size() > 32 || !isHex(record.writer)) refuse("its writer isn't a mark");
  }
  if (const auto found = object.find("new"); found != object.end()) {
    record.created = true;
    record.createdAt = time(*found, "creation time");
  }

  const bool project = record.kind == SyncKind::project, session = record.kind == SyncKind::session;
  if (project != (record.gid[0] == 'p') && (project || session)) refuse("its row id is of another kind");
  for (const auto& [group, key] : kSyncGroupTexts) {
    const auto found = object.find(std::string(key));
    if (found == object.end()) continue;
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
