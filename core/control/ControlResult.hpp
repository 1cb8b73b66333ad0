#pragma once

#include <utility>
#include <variant>

#include "control/ControlCommand.hpp"
#include "control/ImportReport.hpp"
#include "control/ProjectsResult.hpp"
#include "control/SessionResult.hpp"
#include "control/SessionsResult.hpp"
#include "control/StartResult.hpp"
#include "control/StatusResult.hpp"
#include "control/StopResult.hpp"

namespace lumetra {

// What a control command answers: one result record per command (resume and describe share one).
using ControlResult =
    std::variant<StatusResult, ProjectsResult, StartResult, StopResult, SessionResult, SessionsResult, ImportReport>;

// The one place that knows which result record each command answers with: calls
// `f.template operator()<Result>()` and returns what it returns.
template <class F>
decltype(auto) withResultType(ControlCommand command, F&& f) {
  switch (command) {
    case ControlCommand::status: return std::forward<F>(f).template operator()<StatusResult>();
    case ControlCommand::projects: return std::forward<F>(f).template operator()<ProjectsResult>();
    case ControlCommand::start: return std::forward<F>(f).template operator()<StartResult>();
    case ControlCommand::stop: return std::forward<F>(f).template operator()<StopResult>();
    case ControlCommand::resume:
    case ControlCommand::describe: return std::forward<F>(f).template operator()<SessionResult>();
    case ControlCommand::sessions: return std::forward<F>(f).template operator()<SessionsResult>();
    case ControlCommand::importSessions: break;
  }
  return std::forward<F>(f).template operator()<ImportReport>();
}

}  // namespace lumetra
