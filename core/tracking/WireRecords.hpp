#pragma once

#include <string>

#include "control/LastSessionInfo.hpp"
#include "control/SessionInfo.hpp"
#include "platform/Instant.hpp"
#include "store/WorkSession.hpp"

// The wire records built from stored sessions: the one place that knows both sides.
namespace lumetra::WireRecords {

// A stored session, its project's name and the moment of the report.
[[nodiscard]] SessionInfo sessionInfo(const WorkSession& session, std::string projectName, Instant now);

// The last tracked session and its project's name; a session without an end counts as ending
// at its last activity.
[[nodiscard]] LastSessionInfo lastSessionInfo(const WorkSession& session, std::string projectName);

}  // namespace lumetra::WireRecords
