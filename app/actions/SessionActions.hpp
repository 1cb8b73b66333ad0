#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

#include "control/SessionInfo.hpp"
#include "platform/Instant.hpp"
#include "tracking/ControlHandler.hpp"

namespace lumetra {

struct SessionAddRequest {
  std::string project;
  Instant start;
  Instant end;
  std::optional<std::string> description;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionAddRequest;
    return std::tuple{WireField{"project", &R::project}, WireField{"start", &R::start}, WireField{"end", &R::end},
                      WireField{"description", &R::description}};
  }
};

// What to change; what is left out stays.
struct SessionEditRequest {
  std::int64_t id = 0;
  std::optional<std::string> project;
  std::optional<Instant> start;
  std::optional<Instant> end;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionEditRequest;
    return std::tuple{WireField{"id", &R::id}, WireField{"project", &R::project}, WireField{"start", &R::start},
                      WireField{"end", &R::end}};
  }
};

struct SessionSplitRequest {
  std::int64_t id = 0;
  Instant at;
  std::optional<std::string> first;  // the parts' descriptions; the session's when left out
  std::optional<std::string> second;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionSplitRequest;
    return std::tuple{WireField{"id", &R::id}, WireField{"at", &R::at}, WireField{"first", &R::first},
                      WireField{"second", &R::second}};
  }
};

// The two sessions in either order; without a description the merged one joins theirs.
struct SessionMergeRequest {
  std::int64_t id = 0;
  std::int64_t nextId = 0;
  std::optional<std::string> description;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionMergeRequest;
    return std::tuple{WireField{"id", &R::id}, WireField{"next_id", &R::nextId},
                      WireField{"description", &R::description}};
  }
};

struct SessionIdRequest {
  std::int64_t id = 0;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"id", &SessionIdRequest::id}}; }
};

// A session after a change, or the two parts of a split.
struct SessionChange {
  std::optional<SessionInfo> session;
  std::optional<SessionInfo> first;
  std::optional<SessionInfo> second;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionChange;
    return std::tuple{WireField{"session", &R::session}, WireField{"first", &R::first},
                      WireField{"second", &R::second}};
  }
};

// A session and the neighbours it could be merged with; null where there is none.
struct SessionNeighbours {
  SessionInfo session;
  std::optional<SessionInfo> previous;
  std::optional<SessionInfo> next;

  static constexpr auto wireFields() {
    using R = SessionNeighbours;
    return std::tuple{WireField{"session", &R::session}, WireField{"previous", &R::previous},
                      WireField{"next", &R::next}};
  }
};

// Entering and fixing sessions by hand, through the tracker so the running session follows.
// Times that would share time with another session are refused, naming it: the store leaves
// that to its callers, and the same minutes counted twice would make every total wrong. A
// running session has no end to change. Owner thread only.
class SessionActions {
 public:
  explicit SessionActions(ControlHandler& control) : control_(control), tracker_(control.tracker()) {}

  SessionChange add(const SessionAddRequest& request, Instant now);
  SessionChange edit(const SessionEditRequest& request, Instant now);
  SessionChange split(const SessionSplitRequest& request, Instant now);
  SessionChange merge(const SessionMergeRequest& request, Instant now);
  SessionChange remove(const SessionIdRequest& request, Instant now);
  [[nodiscard]] SessionNeighbours neighbours(const SessionIdRequest& request, Instant now);

 private:
  [[nodiscard]] WorkSession existing(std::int64_t id);
  void refuseOverlaps(Instant start, std::optional<Instant> end, std::optional<std::int64_t> excluding, Instant now);
  [[nodiscard]] SessionInfo info(const WorkSession& session, Instant now);

  ControlHandler& control_;
  Tracker& tracker_;
};

}  // namespace lumetra
