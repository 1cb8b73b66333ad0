#include "tracking/ControlHandler.hpp"
#include "platform/PlatformWording.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "control/ControlResponse.hpp"
#include "control/WireCoding.hpp"
#include "platform/UnicodeText.hpp"
#include "tracking/WireRecords.hpp"

namespace lumetra {

namespace {

using Code = ControlError::Code;

std::string joined(const std::vector<std::string>& texts, std::string_view separator) {
  std::string out;
  for (const auto& text : texts) {
    if (!out.empty()) out += separator;
    out += text;
  }
  return out;
}

}  // namespace

ControlError ControlHandler::controlError(const std::exception& failure) {
  if (const auto* control = dynamic_cast<const ControlError*>(&failure)) return *control;
  if (const auto* store = dynamic_cast<const StoreError*>(&failure)) return {Code::invalid, store->description()};
  if (const auto* resume = dynamic_cast<const ResumeError*>(&failure)) {
    switch (resume->kind()) {
      case ResumeError::Case::alreadyTracking:
        return {Code::alreadyTracking, resume->description()};
      case ResumeError::Case::nothingToResume:
        return {Code::nothingToResume, resume->description()};
      case ResumeError::Case::projectUnavailable:
        return {Code::archivedProject, resume->description()};
    }
  }
  return {Code::failed, lumetra::describe(failure)};
}

namespace {

// The name shown for an id no project has.
const std::string kUnknownProject = "?";

const std::string& nameOf(const std::map<std::int64_t, std::string>& names, std::int64_t projectId) {
  const auto it = names.find(projectId);
  return it == names.end() ? kUnknownProject : it->second;
}

template <class Result>
std::string success(Result result) {
  return WireCoding::encode(ControlResponse<Result>::success(std::move(result)));
}

}  // namespace

ControlError ControlHandler::busy() {
  return {Code::timedOut, "Lumetra was busy and didn't carry out the request. Nothing was changed."};
}

std::string ControlHandler::response(const ControlError& error) {
  try {
    return WireCoding::encode(ControlResponse<ProjectsResult>::failure(error));
  } catch (const std::exception&) {
    return R"({"ok":false})";
  }
}

ControlHandler::ControlHandler(Tracker& tracker, Calendar calendar)
    : tracker_(tracker), calendar_(std::move(calendar)), dayFormat_("yyyy-MM-dd", calendar_) {}

std::string ControlHandler::respond(const std::string& data, Instant now) {
  ControlRequest request;
  try {
    JSON message = WireCoding::parse(data);
    auto csv = WireCoding::takeText(message, "csv");
    request = WireCoding::fromJSON<ControlRequest>(message);
    if (csv) request.csv = std::move(csv);
  } catch (const WireError& error) {
    return response(ControlError(Code::badRequest, "The request isn't valid: " + error.description()));
  }
  return respond(request, now);
}

std::string ControlHandler::respond(const ControlRequest& request, Instant now) {
  try {
    return std::visit([](auto result) { return success(std::move(result)); }, perform(request, now));
  } catch (const std::exception& failure) {
    return response(controlError(failure));
  }
}

ControlResult ControlHandler::perform(const ControlRequest& request, Instant now) {
  tracker_.store().owner().assertHeld();
  if (request.version > ControlProtocol::version) {
    throw ControlError(Code::unsupportedVersion, "This copy of Lumetra is older than the command-line tool. Update the app.");
  }
  const auto command = fromRawValue<ControlCommand>(request.command);
  if (!command) throw ControlError(Code::unknownCommand, "Unknown command " + curlyQuoted(request.command) + ".");
  switch (*command) {
    case ControlCommand::status: return status(now);
    case ControlCommand::projects: return projects(request);
    case ControlCommand::start: return start(request, std::nullopt, now);
    case ControlCommand::stop: return stop(std::nullopt, now);
    case ControlCommand::resume: return resume(now);
    case ControlCommand::describe: return describe(request, now);
    case ControlCommand::sessions: return sessions(request, now);
    case ControlCommand::importSessions: return importSessions(request, now);
  }
  throw ControlError(Code::unknownCommand, "Unknown command " + curlyQuoted(request.command) + ".");
}

std::map<std::int64_t, std::string> ControlHandler::projectNames() { return namesOf(tracker_.store().projects(true)); }

std::map<std::int64_t, std::string> ControlHandler::namesOf(std::vector<Project> projects) {
  std::map<std::int64_t, std::string> names;
  for (auto& project : projects) names.emplace(project.id, std::move(project.name));
  return names;
}

SessionInfo ControlHandler::info(const WorkSession& session, const std::map<std::int64_t, std::string>& names,
                                 Instant now) {
  return WireRecords::sessionInfo(session, nameOf(names, session.projectId), now);
}

SessionInfo ControlHandler::info(const WorkSession& session, Instant now) {
  const auto project = tracker_.store().project(session.projectId);
  return WireRecords::sessionInfo(session, project ? project->name : kUnknownProject, now);
}

Project ControlHandler::findProject(const std::optional<std::string>& name, std::string_view command) {
  return findProject(tracker_.store().projects(true), name, command);
}

Project ControlHandler::findProject(const std::vector<Project>& projects, const std::optional<std::string>& name,
                                    std::string_view command) {
  const std::string text = Store::trimmed(name.value_or(""));
  if (text.empty()) throw ControlError(Code::badRequest, std::string(command) + " needs a project name.");
  for (const auto& project : projects) {
    if (project.name == text) return project;
  }
  const std::string folded = UnicodeText::caseFolded(text);
  std::vector<Project> matches;
  for (const auto& project : projects) {
    if (UnicodeText::caseFolded(project.name) == folded) matches.push_back(project);
  }
  if (matches.size() == 1) return matches.front();
  if (matches.size() > 1) {
    std::vector<std::string> quoted;
    for (const auto& match : matches) quoted.push_back(curlyQuoted(match.name));
    throw ControlError(Code::unknownProject, curlyQuoted(text) + " matches more than one project (" +
                                                 joined(quoted, ", ") + "). Use the exact name.");
  }
  std::vector<std::string> active;
  for (const auto& project : projects) {
    if (!project.archived) active.push_back(project.name);
  }
  throw ControlError(Code::unknownProject,
                     "There's no project named " + curlyQuoted(text) + ". " +
                         (active.empty() ? "There are no active projects." : "Projects: " + joined(active, ", ") + "."));
}

StatusResult ControlHandler::status(Instant now) {
  const auto names = projectNames();
  const auto totals = tracker_.store().totals(calendar_.startOfDay(now), std::nullopt, now);

  StatusResult result;
  double sum = 0;
  for (const auto& [projectId, seconds] : totals) {
    sum += seconds;
    const auto whole = static_cast<std::int64_t>(std::trunc(seconds));
    if (whole < 1) continue;
    result.today.push_back(ProjectTotal{projectId, nameOf(names, projectId), whole});
  }
  // Largest first; equal totals by name, scalar by scalar after canonical composition, so that
  // upper case comes before lower case whatever the locale. Each name is composed once.
  std::map<std::int64_t, std::string> composed;
  for (const auto& total : result.today) composed.emplace(total.projectId, UnicodeText::canonicalComposition(total.project));
  std::stable_sort(result.today.begin(), result.today.end(), [&](const ProjectTotal& a, const ProjectTotal& b) {
    if (a.seconds != b.seconds) return a.seconds > b.seconds;
    return composed.at(a.projectId) < composed.at(b.projectId);
  });
  result.todaySeconds = static_cast<std::int64_t>(std::trunc(sum));
  result.date = dayFormat_.format(now);
  if (const auto last = tracker_.resumableSession(now)) {
    result.lastSession = WireRecords::lastSessionInfo(*last, nameOf(names, last->projectId));
  }
  if (const auto& current = tracker_.current()) result.current = info(*current, names, now);
  return result;
}

ProjectsResult ControlHandler::projects(const ControlRequest& request) {
  ProjectsResult result;
  for (auto& project : tracker_.store().projects(request.includeArchived.value_or(false))) {
    result.projects.push_back(ProjectInfo{project.id, std::move(project.name), project.archived});
  }
  return result;
}

std::string ControlHandler::when(Instant instant, Instant now) const {
  const bool today = dayFormat_.format(instant) == dayFormat_.format(now);
  return DateFormat(today ? "HH:mm" : "yyyy-MM-dd HH:mm", calendar_).format(instant);
}

StartResult ControlHandler::start(const ControlRequest& request, std::optional<Instant> at, Instant now) {
  auto projects = tracker_.store().projects(true);
  const Project project = findProject(projects, request.project, "start");
  if (project.archived) {
    throw ControlError(Code::archivedProject,
                       curlyQuoted(project.name) +
                           PlatformWording::worded(" is archived. Unarchive it in Lumetra (Manage Projects) to track it."));
  }
  if (at) {
    if (*at > now) throw ControlError(Code::invalid, when(*at, now) + " is still to come: a session can't start later than now.");
    if (const auto& running = tracker_.current(); running && *at < running->start) {
      throw ControlError(Code::invalid, "The running session began at " + when(running->start, now) +
                                            ", so the switch can't be earlier than that.");
    }
    if (const auto ended = tracker_.store().latestEnd(); !tracker_.current() && ended && *at < *ended) {
      throw ControlError(Code::invalid, "The last session ended at " + when(*ended, now) + ", so this one can start at " +
                                            when(*ended, now) + " at the earliest.");
    }
  }
  const auto before = tracker_.current();
  const auto stopped = tracker_.start(project.id, request.description, now, at);
  const auto& after = tracker_.current();
  if (!after) throw ControlError(Code::failed, "Tracking didn't start.");
  const auto names = namesOf(std::move(projects));  // starting changes no project
  StartResult result;
  result.session = info(*after, names, now);
  // Compared whole: a discarded session's id may be handed to the new one.
  result.started = before != after;
  if (stopped) result.stopped = info(*stopped, names, now);
  return result;
}

StopResult ControlHandler::stop(std::optional<Instant> at, Instant now) {
  const auto running = tracker_.current();
  if (!running) throw ControlError(Code::notTracking, "Nothing is being tracked.");
  if (at && *at > now) throw ControlError(Code::invalid, when(*at, now) + " is still to come: a session can't end later than now.");
  if (at && *at < running->start) {
    throw ControlError(Code::invalid, "The session began at " + when(running->start, now) + ", so it can't end before that.");
  }
  const auto stopped = tracker_.stop(now, EndReason::manual, at);
  StopResult result;
  result.discarded = !stopped;
  result.session = info(stopped ? *stopped : *running, now);
  result.session.running = false;
  if (result.discarded) result.session.durationSeconds = 0;
  return result;
}

SessionResult ControlHandler::resume(Instant now) {
  const WorkSession resumed = tracker_.resumeLastSession(now);
  return SessionResult{info(resumed, now)};
}

SessionResult ControlHandler::describe(const ControlRequest& request, Instant now) {
  if (!request.description) {
    throw ControlError(Code::badRequest, "describe needs a description. Use an empty one to remove it.");
  }
  std::int64_t target = 0;
  if (request.sessionId) {
    target = *request.sessionId;
  } else if (const auto& current = tracker_.current()) {
    target = current->id;
  } else {
    throw ControlError(Code::notTracking, "Nothing is being tracked. Give a session id to describe an earlier session.");
  }
  try {
    const WorkSession described = tracker_.setDescription(target, request.description);
    return SessionResult{info(described, now)};
  } catch (const StoreError& error) {
    if (error.kind() != StoreError::Case::sessionNotFound) throw;
    throw ControlError(Code::sessionNotFound, "There's no session with id " + std::to_string(target) + ".");
  }
}

SessionsResult ControlHandler::sessions(const ControlRequest& request, Instant now) {
  auto projects = tracker_.store().projects(true);
  std::optional<std::vector<std::int64_t>> projectIds;
  if (request.project) projectIds = std::vector{findProject(projects, request.project, "sessions").id};
  std::optional<std::int64_t> limit = request.limit;
  if (limit && *limit < 1) throw ControlError(Code::badRequest, "The limit must be at least 1.");
  if (!limit && !request.since) limit = defaultSessionLimit;

  auto& store = tracker_.store();
  const auto found = limit ? store.latestSessions(projectIds, request.since, request.until, *limit)
                           : store.sessions(projectIds, request.since, request.until);
  const auto names = namesOf(std::move(projects));
  SessionsResult result;
  result.sessions.reserve(found.size());
  for (const auto& session : found) result.sessions.push_back(info(session, names, now));
  return result;
}

ImportReport ControlHandler::importSessions(const ControlRequest& request, Instant now) {
  if (!request.csv) throw ControlError(Code::badRequest, "import needs the CSV text.");
  // The file's local times are read in the host's zone, not the tool's.
  std::string_view text = *request.csv;
  return tracker_.importCSV([&] { return std::exchange(text, {}); }, calendar_, request.allowOverlaps.value_or(false),
                            request.dryRun.value_or(false), now);
}

}  // namespace lumetra
