#include "control/LastSessionInfo.hpp"

#include "store/WorkSession.hpp"
#include "tracking/Tracker.hpp"

namespace lumetra {

LastSessionInfo LastSessionInfo::from(const WorkSession& session, std::string projectName) {
  const Instant end = session.end.value_or(session.lastActive);
  return LastSessionInfo{session.id,    session.projectId, std::move(projectName), session.description,
                         session.start, end,               end + Tracker::resumeWindow};
}

}  // namespace lumetra
