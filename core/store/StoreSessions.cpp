#include <algorithm>
#include <cstdio>

#include "store/Row.hpp"
#include "store/Store.hpp"

#include <map>

namespace lumetra {

namespace {

WorkSession sessionFrom(const Row& row) {
  WorkSession session;
  session.id = row.integer("id");
  session.projectId = row.integer("project_id");
  session.start = Instant(row.optionalDouble("start_at").value_or(0));
  if (auto end = row.optionalDouble("end_at")) session.end = Instant(*end);
  session.lastActive = Instant(row.optionalDouble("last_active_at").value_or(0));
  if (auto reason = row.optionalText("end_reason")) session.endReason = fromRawValue<EndReason>(*reason);
  session.edited = row.integer("edited") != 0;
  session.description = row.optionalText("description");
  session.times = fromRawValue<SessionTimes>(row.optionalText("times").value_or("")).value_or(SessionTimes::real);
  return session;
}

// "SELECT * FROM sessions … NOT IN ('added', 'imported', 'merged') …", built from handEnteredEnds.
std::string lastTrackedSessionSQL() {
  std::string reasons;
  for (const EndReason reason : Store::handEnteredEnds) {
    if (!reasons.empty()) reasons += ", ";
    reasons += '\'';
    reasons += rawValue(reason);
    reasons += '\'';
  }
  return "SELECT * FROM sessions\nWHERE end_at IS NOT NULL\n  AND (end_reason IS NULL OR end_reason NOT IN (" +
         reasons + "))\nORDER BY end_at DESC, id DESC LIMIT 1";
}

}  // namespace

std::vector<WorkSession> Store::sessionsFrom(const std::string& sql, const std::vector<SQLValue>& params) {
  const auto rows = db_.query(sql, params);
  std::vector<WorkSession> sessions;
  sessions.reserve(rows.size());
  for (const auto& row : rows) sessions.push_back(sessionFrom(row));
  return sessions;
}

std::optional<WorkSession> Store::firstSession(const std::string& sql, const std::vector<SQLValue>& params) {
  const auto rows = db_.query(sql, params);
  if (rows.empty()) return std::nullopt;
  return sessionFrom(rows.front());
}

std::optional<WorkSession> Store::openSession() {
  return firstSession("SELECT * FROM sessions WHERE end_at IS NULL LIMIT 1", {});
}

WorkSession Store::insertSession(std::int64_t projectId, Instant start, const std::optional<std::string>& description,
                                 const std::vector<std::optional<std::string>>& existing) {
  const auto valid = validDescription(description, existing);
  db_.query("INSERT INTO sessions (project_id, start_at, last_active_at, description) VALUES (?, ?, ?, ?)",
            {projectId, start, start, valid});
  WorkSession session;
  session.id = db_.lastInsertRowId();
  session.projectId = projectId;
  session.start = start;
  session.lastActive = start;
  session.description = valid;
  return session;
}

void Store::updateLastActive(std::int64_t sessionId, Instant at) {
  db_.query("UPDATE sessions SET last_active_at = ? WHERE id = ?", {at, sessionId});
  heartbeatChanges_ += db_.changes();
}

std::int64_t Store::revision() const { return db_.totalChanges() - heartbeatChanges_; }

void Store::closeSession(std::int64_t id, Instant end, Instant lastActive, EndReason reason) {
  db_.query("UPDATE sessions SET end_at = ?, last_active_at = ?, end_reason = ? WHERE id = ?",
            {end, lastActive, std::string(rawValue(reason)), id});
}

WorkSession Store::setDescription(std::int64_t sessionId, const std::optional<std::string>& text) {
  auto found = session(sessionId);
  if (!found) throw StoreError(StoreError::Case::sessionNotFound);
  found->description = validDescription(text, {found->description});
  db_.query("UPDATE sessions SET description = ? WHERE id = ?", {found->description, sessionId});
  return *found;
}

std::optional<WorkSession> Store::session(std::int64_t id) {
  return firstSession("SELECT * FROM sessions WHERE id = ?", {id});
}

std::vector<WorkSession> Store::recentSessions(std::int64_t limit) {
  return sessionsFrom("SELECT * FROM sessions ORDER BY start_at DESC, id DESC LIMIT ?", {limit});
}

namespace {

// The WHERE clause (with its leading space, or nothing) and parameters of a session selection.
std::string sessionConditions(const std::optional<std::vector<std::int64_t>>& projectIds, std::optional<Instant> from,
                              std::optional<Instant> to, std::vector<SQLValue>& params) {
  std::vector<std::string> conditions;
  if (projectIds) {
    std::string marks;
    for (const auto id : *projectIds) {
      marks += marks.empty() ? "?" : ",?";
      params.emplace_back(id);
    }
    conditions.push_back("project_id IN (" + marks + ")");
  }
  if (from) {
    conditions.emplace_back("start_at >= ?");
    params.emplace_back(*from);
  }
  if (to) {
    conditions.emplace_back("start_at < ?");
    params.emplace_back(*to);
  }
  std::string clause;
  for (std::size_t i = 0; i < conditions.size(); ++i) clause += (i == 0 ? "WHERE " : " AND ") + conditions[i];
  return clause;
}

}  // namespace

std::vector<WorkSession> Store::sessions(const std::optional<std::vector<std::int64_t>>& projectIds,
                                         std::optional<Instant> from, std::optional<Instant> to) {
  if (projectIds && projectIds->empty()) return {};
  std::vector<SQLValue> params;
  const std::string where = sessionConditions(projectIds, from, to, params);
  return sessionsFrom("SELECT * FROM sessions " + where + " ORDER BY start_at, id", params);
}

std::vector<WorkSession> Store::latestSessions(const std::optional<std::vector<std::int64_t>>& projectIds,
                                               std::optional<Instant> from, std::optional<Instant> to,
                                               std::int64_t limit) {
  if (projectIds && projectIds->empty()) return {};
  std::vector<SQLValue> params;
  const std::string where = sessionConditions(projectIds, from, to, params);
  params.emplace_back(limit);
  auto latest = sessionsFrom("SELECT * FROM sessions " + where + " ORDER BY start_at DESC, id DESC LIMIT ?", params);
  std::reverse(latest.begin(), latest.end());
  return latest;
}

std::map<std::int64_t, double> Store::totals(std::optional<Instant> from, std::optional<Instant> to, Instant now) {
  std::map<std::int64_t, double> totals;
  for (const auto& session : sessions(std::nullopt, from, to)) totals[session.projectId] += session.duration(now);
  return totals;
}

std::optional<WorkSession> Store::lastTrackedSession() {
  static const std::string sql = lastTrackedSessionSQL();
  return firstSession(sql, {});
}

std::vector<WorkSession> Store::overlappingSessions(Instant start, Instant end, std::optional<std::int64_t> excluding,
                                                    Instant now) {
  // The same sessions as "start_at < end AND COALESCE(end_at, now) > start", found through the
  // start index within the longest session's length (from the length index) before the span,
  // and the open session apart; a second of slack absorbs rounding in the subtraction.
  const auto longest = db_.query("SELECT max(end_at - start_at) AS longest FROM sessions").front();
  const double earliest = start.seconds - longest.optionalDouble("longest").value_or(0) - 1;
  const std::int64_t other = excluding.value_or(-1);
  return sessionsFrom(
      "SELECT * FROM sessions WHERE start_at >= ? AND start_at < ? AND end_at > ? AND id != ?\n"
      "UNION ALL\n"
      "SELECT * FROM sessions WHERE end_at IS NULL AND start_at < ? AND ? > ? AND id != ?\n"
      "ORDER BY start_at, id",
      {earliest, end, start, other, end, now, start, other});
}

std::vector<PeriodTotal> Store::periodTotals(const std::vector<std::pair<Instant, Instant>>& spans,
                                             const std::optional<std::vector<std::int64_t>>& projectIds, Instant now) {
  std::vector<PeriodTotal> totals;
  if (spans.empty()) return totals;
  std::optional<std::string> projectList;
  if (projectIds) {
    projectList = "[";
    for (const auto id : *projectIds) {
      if (projectList->size() > 1) *projectList += ',';
      *projectList += std::to_string(id);
    }
    *projectList += "]";
  }
  const SQLValue projects = projectList ? SQLValue(*projectList) : SQLValue(nullptr);
  // Finished sessions, per span: each project's sessions found through the covering
  // (project, start, end) index within the longest session's length before the span (as in
  // overlappingSessions), in project order so that grouping needs no sorting. Sessions longer
  // than two days are added apart, from the length index: one of them spanning years would
  // otherwise make every span's search reach back years. The open session apart, counted to now.
  constexpr double kLong = 2 * 86400.0;
  const auto longest = db_.query("SELECT max(end_at - start_at) AS longest FROM sessions WHERE end_at - start_at <= ?",
                                 {kLong}).front();
  const double reach = longest.optionalDouble("longest").value_or(0) + 1;
  std::map<std::pair<std::size_t, std::int64_t>, double> sums;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    const auto [from, to] = spans[i];
    const auto rows = db_.query(
        "SELECT project_id, SUM(MIN(end_at, ?) - MAX(start_at, ?)) AS seconds FROM sessions\n"
        "WHERE project_id IN (SELECT id FROM projects WHERE ? IS NULL OR id IN (SELECT value FROM json_each(?)))\n"
        "  AND start_at >= ? AND start_at < ? AND end_at > ? AND end_at - start_at <= ?\n"
        "GROUP BY project_id",
        {to, from, projects, projects, from - reach, to, from, kLong});
    for (const auto& row : rows) sums[{i, row.integer("project_id")}] += row.optionalDouble("seconds").value_or(0);
  }
  const Instant first = spans.front().first, last = spans.back().second;
  for (const auto& row : db_.query(
           // Found through the length index alone (the other terms' "+" keeps their indexes out):
           // otherwise the planner walks a project's every start before the span's end.
           "SELECT project_id, start_at, end_at FROM sessions WHERE end_at - start_at > ? AND +start_at < ? AND +end_at > ?\n"
           "  AND +project_id IN (SELECT id FROM projects WHERE ? IS NULL OR id IN (SELECT value FROM json_each(?)))",
           {kLong, last, first, projects, projects})) {
    const double start = row.optionalDouble("start_at").value_or(0), end = row.optionalDouble("end_at").value_or(0);
    // The spans are in order and don't overlap: from the first one the session reaches.
    auto span = std::lower_bound(spans.begin(), spans.end(), start,
                                 [](const std::pair<Instant, Instant>& s, double at) { return s.second.seconds <= at; });
    for (; span != spans.end() && span->first.seconds < end; ++span) {
      const double seconds = std::min(end, span->second.seconds) - std::max(start, span->first.seconds);
      if (seconds > 0) sums[{static_cast<std::size_t>(span - spans.begin()), row.integer("project_id")}] += seconds;
    }
  }
  for (const auto& [key, seconds] : sums) totals.push_back({key.first, key.second, seconds, false});
  const auto open = openSession();
  if (!open || (projectIds && std::find(projectIds->begin(), projectIds->end(), open->projectId) == projectIds->end())) {
    return totals;
  }
  for (std::size_t i = 0; i < spans.size(); ++i) {
    const double seconds = std::min(now, spans[i].second) - std::max(open->start, spans[i].first);
    if (!(seconds > 0)) continue;
    const auto it = std::find_if(totals.begin(), totals.end(),
                                 [&](const PeriodTotal& t) { return t.span == i && t.projectId == open->projectId; });
    if (it != totals.end()) {
      it->seconds += seconds;
      it->running = true;
    } else {
      totals.push_back({i, open->projectId, seconds, true});
    }
  }
  return totals;
}

std::optional<Instant> Store::firstStart() {
  const auto rows = db_.query("SELECT min(start_at) AS first FROM sessions");
  const auto first = rows.front().optionalDouble("first");
  return first ? std::optional(Instant(*first)) : std::nullopt;
}

std::optional<Instant> Store::latestEnd() {
  const auto rows = db_.query("SELECT max(end_at) AS last FROM sessions");
  const auto last = rows.front().optionalDouble("last");
  return last ? std::optional(Instant(*last)) : std::nullopt;
}

}  // namespace lumetra
