#pragma once

// The host's session actions: what each takes and answers, in the wire codec's form.
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

#include "control/SessionInfo.hpp"
#include "platform/Instant.hpp"
#include "platform/WireField.hpp"

namespace lumetra {

struct SessionAdd {
  std::string project;
  Instant start;
  Instant end;
  std::optional<std::string> description;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionAdd;
    return std::tuple{WireField{"project", &R::project}, WireField{"start", &R::start}, WireField{"end", &R::end},
                      WireField{"description", &R::description}};
  }
};

// What to change; what is left out stays.
struct SessionEdit {
  std::int64_t id = 0;
  std::optional<std::string> project;
  std::optional<Instant> start;
  std::optional<Instant> end;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionEdit;
    return std::tuple{WireField{"id", &R::id}, WireField{"project", &R::project}, WireField{"start", &R::start},
                      WireField{"end", &R::end}};
  }
};

struct SessionSplit {
  std::int64_t id = 0;
  Instant at;
  std::optional<std::string> first;  // the parts' descriptions; the session's when left out
  std::optional<std::string> second;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionSplit;
    return std::tuple{WireField{"id", &R::id}, WireField{"at", &R::at}, WireField{"first", &R::first},
                      WireField{"second", &R::second}};
  }
};

// The two sessions in either order; without a description the merged one joins theirs.
struct SessionMerge {
  std::int64_t id = 0;
  std::int64_t nextId = 0;
  std::optional<std::string> description;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionMerge;
    return std::tuple{WireField{"id", &R::id}, WireField{"next_id", &R::nextId},
                      WireField{"description", &R::description}};
  }
};

// One session by its id; the tag tells the actions apart, as for projects.
template <class Tag>
struct SessionById {
  std::int64_t id = 0;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"id", &SessionById::id}}; }
};
using SessionDelete = SessionById<struct SessionDeleteTag>;
using SessionNeighboursOf = SessionById<struct SessionNeighboursTag>;

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

}  // namespace lumetra
