#include "control/SessionInfo.hpp"

#include <cmath>

#include "store/WorkSession.hpp"

namespace lumetra {

SessionInfo SessionInfo::from(const WorkSession& session, std::string projectName, Instant now) {
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

}  // namespace lumetra
