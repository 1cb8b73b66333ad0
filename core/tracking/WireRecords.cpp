#include "tracking/WireRecords.hpp"

#include <cmath>
#include <cstdint>

#include "control/ResumeWindow.hpp"

namespace lumetra::WireRecords {

SessionInfo sessionInfo(const WorkSession& session, std::string projectName, Instant now) {
  return SessionInfo{session.id,
                     session.projectId,
                     std::move(projectName),
                     session.start,
                     session.end,
                     !session.end.has_value(),
                     static_cast<std::int64_t>(std::trunc(session.duration(now))),
                     std::string(session.entry()),
                     session.description,
                     std::string(rawValue(session.times))};
}

LastSessionInfo lastSessionInfo(const WorkSession& session, std::string projectName) {
  const Instant end = session.end.value_or(session.lastActive);
  return LastSessionInfo{session.id,    session.projectId, std::move(projectName), session.description,
                         session.start, end,               end + ResumeWindow::seconds};
}

}  // namespace lumetra::WireRecords
