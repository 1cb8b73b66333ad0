#include "control/SessionInfo.hpp"

#include <cmath>

#include "store/WorkSession.hpp"

namespace lumetra {

namespace {

// Where a session's times come from, as reports show it.
std::string entryOf(const WorkSession& session) {
  if (session.endReason == EndReason::added) return "manual";
  if (session.endReason == EndReason::imported) return "imported";
  return session.edited ? "edited" : "tracked";
}

}  // namespace

SessionInfo SessionInfo::from(const WorkSession& session, std::string projectName, Instant now) {
  return SessionInfo{session.id,
                     session.projectId,
                     std::move(projectName),
                     session.start,
                     session.end,
                     !session.end.has_value(),
                     static_cast<std::int64_t>(std::trunc(session.duration(now))),
                     entryOf(session),
                     session.description,
                     std::string(rawValue(session.times))};
}

}  // namespace lumetra
