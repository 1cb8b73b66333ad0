#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Error.hpp"
#include "platform/WireField.hpp"
#include "store/EndReason.hpp"
#include "store/SessionTimes.hpp"

namespace lumetra {

// What a record is about.
enum class SyncKind {
  project,  // a project's fields
  session,  // a finished session's fields
  source,   // an import's source ID now belongs to a session
  stop,     // "stop your running session": one timer everywhere
  alias,    // two rows are one (the same project created on two computers, the same session)
};

inline constexpr std::array<std::pair<SyncKind, std::string_view>, 5> kSyncKindTexts{{
    {SyncKind::project, "project"},
    {SyncKind::session, "session"},
    {SyncKind::source, "source"},
    {SyncKind::stop, "stop"},
    {SyncKind::alias, "alias"},
}};

template <>
struct WireEnum<SyncKind> {
  static constexpr const auto& texts = kSyncKindTexts;
};

// The parts of a row that change together and merge one by one, last writer wins: a project's
// name and archived flag; a session's project, span (its times move together, so that the end
// never comes before the start), description and edited flag; and whether the row is alive.
enum SyncGroup : unsigned {
  name = 1u << 0,
  archived = 1u << 1,
  project = 1u << 2,
  span = 1u << 3,
  description = 1u << 4,
  edited = 1u << 5,
  live = 1u << 6,
};
inline constexpr std::array<std::pair<SyncGroup, std::string_view>, 7> kSyncGroupTexts{{
    {SyncGroup::name, "name"},
    {SyncGroup::archived, "archived"},
    {SyncGroup::project, "project"},
    {SyncGroup::span, "span"},
    {SyncGroup::description, "description"},
    {SyncGroup::edited, "edited"},
    {SyncGroup::live, "live"},
}};
template <>
struct WireEnum<SyncGroup> {
  static constexpr const auto& texts = kSyncGroupTexts;
};
inline constexpr unsigned kProjectGroups = SyncGroup::name | SyncGroup::archived;
inline constexpr unsigned kSessionGroups =
    SyncGroup::project | SyncGroup::span | SyncGroup::description | SyncGroup::edited;

// A session's times, as one group.
struct SyncSpan {
  double start = 0, end = 0, active = 0;
  EndReason reason = EndReason::manual;
  SessionTimes times = SessionTimes::real;
  bool operator==(const SyncSpan&) const = default;
};

// A line that isn't a record, or a record that doesn't hold; the description says why.
class SyncRecordError final : public MessageError {
 public:
  using MessageError::MessageError;
};

// One change, as one line of JSON in its author's log: its number there, its clock stamp, what
// it is about, the groups it sets, and a CRC-32C of the line so that a torn or damaged line is
// never taken for a record. Who wrote it is the log's folder (the first format said it on every
// line, the larger part of a line).
struct SyncRecord {
  static constexpr int format = 2;
  // Longer lines are refused unread.
  static constexpr std::size_t maxLine = 64 * 1024;
  static constexpr std::size_t maxName = 1000, maxDescription = 10000, maxSource = 1000;

  std::string author;          // the writing computer's id
  std::int64_t sequence = 0;   // from 1, without gaps, in the author's log
  std::int64_t stamp = 0;      // the author's HybridClock
  SyncKind kind = SyncKind::project;
  std::string gid;             // the row; for a source, its session
  bool created = false;        // the row's first record: every group and when it was made
  std::int64_t outbox = 0;     // the author's own bookkeeping: the last outbox entry it drains
  std::string writer;          // the writing process's mark, telling its own lines from a clone's

  unsigned groups = 0;  // SyncGroup bits set below
  std::string name;
  double createdAt = 0;
  bool archived = false;
  std::string project;  // the session's project gid
  SyncSpan span;
  std::optional<std::string> description;
  bool edited = false;
  bool live = true;
  std::int64_t seen = 0;  // with a deletion: the newest stamp of the row its author had seen

  std::string source;    // source: the source ID
  std::string computer;  // stop: whose session
  double at = 0;         // stop: when
  std::string to;        // alias: the other row

  [[nodiscard]] bool has(SyncGroup group) const { return (groups & group) != 0; }

  // The line, without its newline.
  [[nodiscard]] std::string encoded() const;
  // A line as read from the log of computer `author`. Throws SyncRecordError, naming what is
  // wrong: a bad check, a later format, a value that typed input couldn't have.
  [[nodiscard]] static SyncRecord decoded(std::string_view line, std::string_view author);

  // One group's value as stored beside the row (JSON text), and back into a record.
  [[nodiscard]] std::string value(SyncGroup group) const;
  void setValue(SyncGroup group, std::string_view json);

  bool operator==(const SyncRecord&) const = default;
};

// Whether a text could name a computer or a row.
[[nodiscard]] bool isComputerId(std::string_view text);
[[nodiscard]] bool isGid(std::string_view text);

}  // namespace lumetra
