#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Instant.hpp"
#include "store/EndReason.hpp"

namespace lumetra {

// What the tracker reports when it ends a session by itself.
struct AutoStopEvent {
  std::int64_t sessionId = 0;
  std::int64_t projectId = 0;
  Instant sessionStart;  // tells a reused id of another session apart later
  std::optional<std::string> description;
  Instant endedAt;        // where the session was cut off: its last activity
  double retracted = 0;   // seconds between endedAt and the decision, not counted; never negative
  EndReason reason = EndReason::idle;  // idle, asleep, recovered, or switched by another computer
  std::optional<std::string> by;       // switched: the computer where tracking started

  bool operator==(const AutoStopEvent&) const = default;
};

}  // namespace lumetra
