#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "platform/WireField.hpp"
#include "platform/Instant.hpp"
#include "store/EndReason.hpp"
#include "store/SessionTimes.hpp"

namespace lumetra {

// One stretch of work on a project. At most one session is open (has no end) at a time.
struct WorkSession {
  std::int64_t id = 0;
  std::int64_t projectId = 0;
  Instant start;
  std::optional<Instant> end;           // absent while running
  Instant lastActive;                   // the last activity recorded for it
  std::optional<EndReason> endReason;   // absent while open, or when the stored text is unknown
  bool edited = false;                  // changed or reshaped by hand
  std::optional<std::string> description;  // trimmed and never empty when present
  SessionTimes times = SessionTimes::real;

  [[nodiscard]] bool isOpen() const { return !end.has_value(); }
  // Seconds from start to end, or to `now` while open; never negative.
  [[nodiscard]] double duration(Instant now) const { return std::max(0.0, end.value_or(now) - start); }

  // Where its times come from: "manual" (entered by hand), "imported", else "edited" or "tracked".
  [[nodiscard]] std::string_view entry() const {
    if (endReason == EndReason::added) return "manual";
    if (endReason == EndReason::imported) return "imported";
    return edited ? "edited" : "tracked";
  }

  bool operator==(const WorkSession&) const = default;
};

inline void PrintTo(const WorkSession& s, std::ostream* os) {
  *os << "WorkSession{id " << s.id << ", project " << s.projectId << ", " << s.start.seconds << " to "
      << (s.end ? std::to_string(s.end->seconds) : "open") << ", active " << s.lastActive.seconds << ", "
      << (s.endReason ? std::string(rawValue(*s.endReason)) : "no reason") << ", edited " << s.edited << ", "
      << (s.description ? "\"" + *s.description + "\"" : "no description") << ", " << rawValue(s.times) << "}";
}

}  // namespace lumetra
