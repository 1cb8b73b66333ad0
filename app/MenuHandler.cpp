#include "MenuHandler.hpp"

#include "control/ControlResponse.hpp"
#include "control/ProjectInfo.hpp"
#include "tracking/WireRecords.hpp"
#include "csv/CSVExporter.hpp"
#include "csv/ExportRange.hpp"
#include "platform/DateFormat.hpp"
#include "report/ReportPeriod.hpp"
#include "web/WebAccess.hpp"

namespace lumetra {

namespace {

using Code = ControlError::Code;

ControlError badRequest(const std::string& message) { return {Code::badRequest, message}; }

std::string text(const JSON& request, const char* key) {
  const auto it = request.find(key);
  if (it == request.end() || !it->is_string()) throw badRequest(std::string("The request needs “") + key + "”.");
  return it->get<std::string>();
}

std::optional<std::string> optionalText(const JSON& request, const char* key) {
  const auto it = request.find(key);
  if (it == request.end() || it->is_null()) return std::nullopt;
  if (!it->is_string()) throw badRequest(std::string("“") + key + "” must be text.");
  return it->get<std::string>();
}

std::int64_t id(const JSON& request, const char* key) {
  const auto it = request.find(key);
  if (it == request.end() || !it->is_number_integer()) {
    throw badRequest(std::string("The request needs the session id “") + key + "”.");
  }
  return it->get<std::int64_t>();
}

std::optional<Instant> optionalInstant(const JSON& request, const char* key) {
  const auto value = optionalText(request, key);
  if (!value) return std::nullopt;
  if (auto instant = ControlProtocol::parseTimestamp(*value)) return instant;
  throw badRequest("Not an ISO 8601 time: " + *value);
}

Instant instant(const JSON& request, const char* key) {
  if (auto value = optionalInstant(request, key)) return *value;
  throw badRequest(std::string("The request needs “") + key + "”.");
}

JSON projectJSON(const Project& project) {
  return WireCoding::toJSON(ProjectInfo{project.id, project.name, project.archived});
}

}  // namespace

MenuHandler::MenuHandler(Tracker& tracker, ControlHandler& control) : tracker_(tracker), control_(control) {}

std::string MenuHandler::respond(const std::string& data, Instant now) {
  tracker_.store().owner().assertHeld();
  try {
    JSON request;
    try {
      request = WireCoding::parse(data);
    } catch (const WireError& error) {
      throw badRequest("The request isn't valid: " + error.description());
    }
    if (!request.is_object()) throw badRequest("The request isn't valid: The message isn't an object.");
    JSON reply = JSON::object();
    reply["ok"] = true;
    reply["result"] = run(request, now);
    return WireCoding::compact(reply);
  } catch (const std::exception& failure) {
    return ControlHandler::response(ControlHandler::controlError(failure));
  }
}

JSON MenuHandler::run(const JSON& request, Instant now) {
  const std::string action = text(request, "action");
  if (action.starts_with("project")) return projectAction(action, request, now);
  if (action.starts_with("session")) return sessionAction(action, request, now);
  if (action == "idle-timeout") return idleTimeout(request);
  if (action == "export") return exportCSV(request, now);
  if (action == "report") return report(request, now);
  if (action == "window") return window();
  if (action == "web-port") return webPort(request);
  throw badRequest("Unknown action “" + action + "”.");
}

void MenuHandler::refuseOverlaps(Instant start, std::optional<Instant> end, std::optional<std::int64_t> excluding,
                                 Instant now) {
  // The store leaves overlaps to its callers; here they would count the same minutes twice.
  const auto others = tracker_.store().overlappingSessions(start, end.value_or(now), excluding, now);
  if (others.empty()) return;
  const WorkSession& other = others.front();
  const auto project = tracker_.store().project(other.projectId);
  const DateFormat format("yyyy-MM-dd HH:mm", control_.calendar());
  throw ControlError(Code::invalid, "That overlaps session " + std::to_string(other.id) + " (" +
                                        (project ? project->name : "?") + ", " + format.format(other.start) + " to " +
                                        (other.end ? format.format(*other.end) : "now") +
                                        "). Sessions can't share time.");
}

JSON MenuHandler::sessionInfo(const WorkSession& session, Instant now) {
  const auto project = tracker_.store().project(session.projectId);
  return WireCoding::toJSON(WireRecords::sessionInfo(session, project ? project->name : "?", now));
}

JSON MenuHandler::projectAction(const std::string& action, const JSON& request, Instant now) {
  Store& store = tracker_.store();
  JSON result = JSON::object();
  if (action == "projects") {
    JSON list = JSON::array();
    for (const auto& project : store.projects(request.value("all", false))) list.push_back(projectJSON(project));
    result["projects"] = list;
    return result;
  }
  if (action == "project-add") {
    result["project"] = projectJSON(store.createProject(text(request, "name"), now));
    return result;
  }
  const Project project = control_.findProject(text(request, "name"), "project");
  if (action == "project-usage") {  // what deleting it would take along
    result["project"] = projectJSON(project);
    result["sessions"] = store.sessions(std::vector{project.id}, std::nullopt, std::nullopt).size();
    return result;
  }
  if (action == "project-rename") {
    store.renameProject(project.id, text(request, "new_name"));
    result["project"] = projectJSON(*store.project(project.id));
    result["old_name"] = project.name;
    return result;
  }
  // Archiving or deleting the running project stops its session.
  const bool wasRunning = tracker_.current() && tracker_.current()->projectId == project.id;
  if (action == "project-archive" || action == "project-unarchive") {
    const bool archive = action == "project-archive";
    store.setArchived(project.id, archive);
    if (archive) tracker_.projectRemoved(project.id, now);
    result["project"] = projectJSON(*store.project(project.id));
  } else if (action == "project-delete") {
    result["deleted_sessions"] = store.sessions(std::vector{project.id}, std::nullopt, std::nullopt).size();
    store.deleteProject(project.id);
    tracker_.projectRemoved(project.id, now);
    result["project"] = projectJSON(project);
  } else {
    throw badRequest("Unknown action “" + action + "”.");
  }
  result["stopped_running"] = wasRunning && !tracker_.isTracking();
  return result;
}

JSON MenuHandler::sessionAction(const std::string& action, const JSON& request, Instant now) {
  Store& store = tracker_.store();
  JSON result = JSON::object();
  if (action == "session-add") {
    const Project project = control_.findProject(text(request, "project"), "session add");
    const Instant start = instant(request, "start"), end = instant(request, "end");
    if (end > start && !(end > now)) refuseOverlaps(start, end, std::nullopt, now);
    result["session"] =
        sessionInfo(store.addSession(project.id, start, end, optionalText(request, "description"), now), now);
    return result;
  }
  const std::int64_t sessionId = id(request, "id");
  const auto existing = store.session(sessionId);
  if (!existing) throw ControlError(Code::sessionNotFound, "There's no session with id " + std::to_string(sessionId) + ".");
  if (action == "session-edit") {
    const auto projectName = optionalText(request, "project");
    const std::int64_t projectId =
        projectName ? control_.findProject(projectName, "session edit").id : existing->projectId;
    const Instant start = optionalInstant(request, "start").value_or(existing->start);
    const auto end = optionalInstant(request, "end");
    if (end && !existing->end) {
      throw ControlError(Code::invalid, "Session " + std::to_string(sessionId) +
                                            " is still running, so it has no end to change. Stop it first.");
    }
    const auto newEnd = end ? end : existing->end;
    if ((!newEnd || (*newEnd > start && !(*newEnd > now))) && start < now) refuseOverlaps(start, newEnd, sessionId, now);
    result["session"] = sessionInfo(tracker_.editSession(sessionId, projectId, start, newEnd, now), now);
  } else if (action == "session-split") {
    const auto parts = tracker_.splitSession(sessionId, instant(request, "at"), optionalText(request, "first"),
                                             optionalText(request, "second"), now);
    result["first"] = sessionInfo(parts.first, now);
    result["second"] = sessionInfo(parts.second, now);
  } else if (action == "session-merge") {
    const auto later = store.session(id(request, "next_id"));
    if (!later) throw ControlError(Code::sessionNotFound, "There's no session with id " + std::to_string(id(request, "next_id")) + ".");
    // The one that starts first is the earlier, whichever order they were named in.
    const bool inOrder = existing->start < later->start || (existing->start == later->start && existing->id < later->id);
    const WorkSession& earlier = inOrder ? *existing : *later;
    const WorkSession& latest = inOrder ? *later : *existing;
    const auto description = request.contains("description")
                                 ? optionalText(request, "description")
                                 : Store::mergedDescription(earlier.description, latest.description);
    result["session"] = sessionInfo(tracker_.mergeSessions(earlier.id, latest.id, description, now), now);
  } else if (action == "session-delete") {
    result["session"] = sessionInfo(*existing, now);
    tracker_.deleteSession(sessionId);
  } else if (action == "session-neighbours") {
    const auto neighbours = store.mergeableNeighbours(sessionId, Tracker::mergeGapTolerance, now);
    result["session"] = sessionInfo(*existing, now);
    result["previous"] = neighbours.previous ? sessionInfo(*neighbours.previous, now) : JSON(nullptr);
    result["next"] = neighbours.next ? sessionInfo(*neighbours.next, now) : JSON(nullptr);
  } else {
    throw badRequest("Unknown action “" + action + "”.");
  }
  return result;
}

JSON MenuHandler::exportCSV(const JSON& request, Instant now) {
  const std::string label = optionalText(request, "range").value_or("All Time");
  const auto range = fromRawValue<ExportRange>(label);
  if (!range) {
    throw badRequest("“" + label + "” isn't a range. Use All Time, Today, This Week, Last Week, This Month or Last Month.");
  }
  Store& store = tracker_.store();
  const ExportBounds period = bounds(*range, now, control_.calendar());
  std::map<std::int64_t, Project> projects;
  for (auto& project : store.projects(true)) projects.emplace(project.id, std::move(project));
  JSON result = JSON::object();
  result["csv"] = CSVExporter::csv(store.sessions(std::nullopt, period.from, period.to), projects, store.sourceIds(), now,
                                   control_.calendar());
  return result;
}

JSON MenuHandler::report(const JSON& request, Instant now) {
  const Calendar& calendar = control_.calendar();
  const std::string label = optionalText(request, "range").value_or("This Week");
  const auto period = ReportPeriod::parse(label, now, calendar);
  if (!period) {
    throw badRequest("“" + label + "” isn't a range. Use All Time, Today, Yesterday, This Week, Last Week, This Month, "
                     "Last Month, This Year, Last Year, a day YYYY-MM-DD or days FROM..TO.");
  }
  const std::string by = optionalText(request, "by").value_or("project");
  const auto grouping = by == "day" ? ReportGrouping::day : by == "week" ? ReportGrouping::week : ReportGrouping::project;
  if (grouping == ReportGrouping::project && by != "project") throw badRequest("“by” must be project, day or week.");

  Store& store = tracker_.store();
  std::optional<std::vector<std::int64_t>> only;
  if (const auto it = request.find("projects"); it != request.end() && it->is_array()) {
    only.emplace();
    for (const auto& name : *it) {
      if (!name.is_string()) throw badRequest("“projects” must be a list of names.");
      only->push_back(control_.findProject(name.get<std::string>(), "report").id);
    }
  }
  // All Time runs from the first session to now.
  const Instant from = period->from.value_or(std::min(store.firstStart().value_or(now), now));
  const Instant to = period->to.value_or(now);
  const auto buckets = ReportBucket::of(grouping, period->label, from, to, calendar);
  std::vector<std::pair<Instant, Instant>> spans;
  for (const auto& bucket : buckets) spans.emplace_back(bucket.from, bucket.to);
  const auto totals = store.periodTotals(spans, only, now);

  std::map<std::int64_t, std::string> names;
  for (const auto& project : store.projects(true)) names.emplace(project.id, project.name);
  // Whole seconds per group and project, and every sum made of those, so the totals add up.
  JSON groups = JSON::array();
  std::map<std::int64_t, std::pair<std::int64_t, bool>> perProject;
  std::int64_t grand = 0;
  bool running = false;
  std::vector<std::vector<std::pair<std::int64_t, const PeriodTotal*>>> bySpan(buckets.size());
  for (const auto& total : totals) {
    const auto seconds = static_cast<std::int64_t>(std::llround(total.seconds));
    // A session started a moment ago still shows, as running for 0m.
    if (seconds > 0 || total.running) bySpan[total.span].emplace_back(seconds, &total);
  }
  for (std::size_t b = 0; b < buckets.size(); ++b) {
    auto& rows = bySpan[b];
    if (rows.empty()) continue;
    std::stable_sort(rows.begin(), rows.end(), [](const auto& x, const auto& y) { return x.first > y.first; });
    JSON projects = JSON::array();
    std::int64_t sum = 0;
    for (const auto& [seconds, total] : rows) {
      projects.push_back({{"project", names[total->projectId]}, {"seconds", seconds}, {"running", total->running}});
      sum += seconds;
      auto& [projectSeconds, projectRunning] = perProject[total->projectId];
      projectSeconds += seconds;
      projectRunning = projectRunning || total->running;
      running = running || total->running;
    }
    grand += sum;
    groups.push_back({{"label", buckets[b].label},
                      {"from", ControlProtocol::formatTimestamp(buckets[b].from)},
                      {"to", ControlProtocol::formatTimestamp(buckets[b].to)},
                      {"projects", projects},
                      {"seconds", sum}});
  }
  std::vector<std::pair<std::int64_t, std::int64_t>> order;  // seconds, project
  for (const auto& [project, entry] : perProject) order.emplace_back(entry.first, project);
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  JSON projects = JSON::array();
  for (const auto& [seconds, project] : order) {
    projects.push_back({{"project", names[project]},
                        {"seconds", seconds},
                        {"share", grand > 0 ? static_cast<double>(seconds) / static_cast<double>(grand) : 0.0},
                        {"running", perProject[project].second}});
  }
  JSON result = JSON::object();
  result["range"] = period->label;
  result["by"] = by;
  result["from"] = ControlProtocol::formatTimestamp(from);
  result["to"] = ControlProtocol::formatTimestamp(to);
  result["first_day"] = dayLabel(from, calendar);
  result["last_day"] = dayLabel(to - 1.0, calendar);
  result["groups"] = groups;
  result["projects"] = projects;
  result["seconds"] = grand;
  result["running"] = running;
  return result;
}

void MenuHandler::setWindow(std::string address, int port, std::string whyOff) {
  windowAddress_ = std::move(address);
  windowPort_ = port;
  windowOff_ = std::move(whyOff);
}

JSON MenuHandler::window() {
  if (windowAddress_.empty()) throw ControlError(Code::failed, windowOff_);
  JSON result = JSON::object();
  result["url"] = windowAddress_;
  return result;
}

JSON MenuHandler::webPort(const JSON& request) {
  Store& store = tracker_.store();
  const std::string key(WebAccess::portSetting);
  JSON result = JSON::object();
  if (const auto value = optionalText(request, "port")) {
    if (!WebAccess::parsePort(*value) || *value == "0") {
      throw badRequest("“" + *value + "” isn't a port. Use a number from 1 to 65535, or off.");
    }
    store.setSetting(key, *value);
    result["changed"] = true;
  }
  result["port"] = store.setting(key).value_or(std::to_string(WebAccess::defaultPort));
  // The port in use now, which the variable can make another.
  result["serving"] = windowAddress_.empty() ? JSON(nullptr) : JSON(std::to_string(windowPort_));
  return result;
}

JSON MenuHandler::idleTimeout(const JSON& request) {
  if (const auto it = request.find("seconds"); it != request.end() && !it->is_null()) {
    if (!it->is_number() || !(it->get<double>() > 0)) throw badRequest("The idle time-out must be above 0.");
    tracker_.store().setIdleTimeout(it->get<double>());
  }
  // The tracker follows the stored setting at once.
  tracker_.setIdleThreshold(tracker_.store().idleTimeout());
  JSON result = JSON::object();
  result["seconds"] = tracker_.idleThreshold();
  return result;
}

}  // namespace lumetra
