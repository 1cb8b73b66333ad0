#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "control/ControlError.hpp"
#include "control/ControlRequest.hpp"
#include "control/ControlResult.hpp"
#include "platform/Calendar.hpp"
#include "platform/DateFormat.hpp"
#include "tracking/Tracker.hpp"

namespace lumetra {

// Carries out control requests on the host's side: decodes one request line, runs the command
// against the tracker and its store, and encodes the reply. Never throws: every problem becomes
// an error reply with a code and a sentence for a person. Owner thread only.
class ControlHandler {
 public:
  // Sessions returned when neither a limit nor a lower bound is given.
  static constexpr std::int64_t defaultSessionLimit = 20;
  // The reply for a request the host was too busy to take up in time.
  [[nodiscard]] static ControlError busy();
  // The encoded error reply.
  [[nodiscard]] static std::string response(const ControlError& error);
  // Every failure as the code and sentence a client shows; the host's other front ends share it.
  [[nodiscard]] static ControlError controlError(const std::exception& failure);

  explicit ControlHandler(Tracker& tracker, Calendar calendar = Calendar::current());

  // The user's calendar: where the day begins, how the status date is written, and the zone
  // imported local times are read in.
  [[nodiscard]] const Calendar& calendar() const { return calendar_; }
  void setCalendar(Calendar calendar) {
    calendar_ = std::move(calendar);
    dayFormat_ = DateFormat("yyyy-MM-dd", calendar_);
  }
  [[nodiscard]] Tracker& tracker() { return tracker_; }

  // One request line in, one reply line out. `now` is the request's one instant.
  [[nodiscard]] std::string respond(const std::string& data, Instant now);
  // The same for a request already decoded.
  [[nodiscard]] std::string respond(const ControlRequest& request, Instant now);
  // The command's result, for the host's own front ends. Throws what the command refuses with;
  // controlError() says how a client sees it.
  [[nodiscard]] ControlResult perform(const ControlRequest& request, Instant now);

  // start and stop, backdated to `at` when given (lumetra-app's --at). Throws ControlError
  // invalid naming the rule a time breaks: it is still to come, it is before the last session
  // ended, or before the running session began; and what start and stop throw.
  StartResult start(const ControlRequest& request, std::optional<Instant> at, Instant now);
  StopResult stop(std::optional<Instant> at, Instant now);

  // The project a person means by `name`: the exact name, else the one name equal to it
  // ignoring case (all of Unicode). Throws ControlError badRequest ("<command> needs a project
  // name.") or unknownProject, naming the choices.
  [[nodiscard]] Project findProject(const std::optional<std::string>& name, std::string_view command);
  // The same among projects already read, so that one request reads them once.
  [[nodiscard]] static Project findProject(const std::vector<Project>& projects, const std::optional<std::string>& name,
                                           std::string_view command);

 private:
  StatusResult status(Instant now);
  ProjectsResult projects(const ControlRequest& request);
  SessionResult resume(Instant now);
  // A time in a refusal: "10:15" today, else "2026-12-01 10:15".
  [[nodiscard]] std::string when(Instant instant, Instant now) const;
  SessionResult describe(const ControlRequest& request, Instant now);
  SessionsResult sessions(const ControlRequest& request, Instant now);
  ImportReport importSessions(const ControlRequest& request, Instant now);

  std::map<std::int64_t, std::string> projectNames();
  static std::map<std::int64_t, std::string> namesOf(std::vector<Project> projects);
  SessionInfo info(const WorkSession& session, const std::map<std::int64_t, std::string>& names, Instant now);
  // One session's, with its project looked up alone.
  SessionInfo info(const WorkSession& session, Instant now);

  Tracker& tracker_;
  Calendar calendar_;
  DateFormat dayFormat_;  // kept, so its calendar is built once and not at every status
};

}  // namespace lumetra
