#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"
#include "platform/Instant.hpp"

namespace lumetra {

// One session as reported. Every key is written; absent values as null.
struct SessionInfo {
  std::int64_t id = 0;
  std::int64_t projectId = 0;
  std::string project;
  Instant start;
  std::optional<Instant> end;        // null while it runs
  bool running = false;              // true while it is the open session
  std::int64_t durationSeconds = 0;  // whole seconds, never negative
  std::string entry;                 // "tracked", "edited", "manual" or "imported"
  std::optional<std::string> description;
  std::string times;                 // "real", "approximate" or "placeholder"


  bool operator==(const SessionInfo&) const = default;

  static constexpr auto wireFields() {
    using R = SessionInfo;
    return std::tuple{WireField{"id", &R::id},
                      WireField{"project_id", &R::projectId},
                      WireField{"project", &R::project},
                      WireField{"start", &R::start},
                      WireField{"end", &R::end},
                      WireField{"running", &R::running},
                      WireField{"duration_seconds", &R::durationSeconds},
                      WireField{"entry", &R::entry},
                      WireField{"description", &R::description},
                      WireField{"times", &R::times}};
  }
};

}  // namespace lumetra
