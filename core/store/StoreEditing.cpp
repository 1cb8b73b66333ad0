#include <algorithm>

#include "store/Store.hpp"
#include "store/Transaction.hpp"

namespace lumetra {

namespace {

bool isHandEntered(const std::optional<EndReason>& reason) {
  return reason && std::find(Store::handEnteredEnds.begin(), Store::handEnteredEnds.end(), *reason) !=
                       Store::handEnteredEnds.end();
}

SQLValue reasonText(const std::optional<EndReason>& reason) {
  return reason ? SQLValue(std::string(rawValue(*reason))) : SQLValue();
}

}  // namespace

WorkSession Store::addSession(std::int64_t projectId, Instant start, Instant end,
                              const std::optional<std::string>& description, Instant now) {
  if (!(end > start)) throw StoreError(StoreError::Case::endBeforeStart);
  if (end > now) throw StoreError(StoreError::Case::inFuture);
  const auto valid = validDescription(description);
  db_.query(
      "INSERT INTO sessions (project_id, start_at, end_at, last_active_at, end_reason, description)\nVALUES (?, ?, ?, ?, "
      "?, ?)",
      {projectId, start, end, end, "added", valid});
  return WorkSession{db_.lastInsertRowId(), projectId, start, end, end, EndReason::added, false, valid,
                     SessionTimes::real};
}

WorkSession Store::updateSession(std::int64_t id, std::int64_t projectId, Instant start, std::optional<Instant> end,
                                 Instant now) {
  auto found = session(id);
  // A call made for a session that was stopped or reopened meanwhile is refused as stale.
  if (!found || found->isOpen() != !end.has_value()) throw StoreError(StoreError::Case::sessionNotFound);
  if (end) {
    if (!(*end > start)) throw StoreError(StoreError::Case::endBeforeStart);
    if (*end > now) throw StoreError(StoreError::Case::inFuture);
  } else if (start > now) {
    throw StoreError(StoreError::Case::inFuture);
  }
  const Instant lastActive = end ? *end : std::max(start, found->lastActive);
  const SessionTimes times = start == found->start && end == found->end ? found->times : SessionTimes::real;
  db_.query(
      "UPDATE sessions SET project_id = ?, start_at = ?, end_at = ?, last_active_at = ?, edited = 1,\n                    "
      "times = ?\nWHERE id = ?",
      {projectId, start, end, lastActive, std::string(rawValue(times)), id});
  found->projectId = projectId;
  found->start = start;
  found->end = end;
  found->lastActive = lastActive;
  found->edited = true;
  found->times = times;
  return *found;
}

void Store::deleteSession(std::int64_t id) { db_.query("DELETE FROM sessions WHERE id = ?", {id}); }

Store::SplitResult Store::splitSession(std::int64_t id, Instant at, const std::optional<std::string>& firstDescription,
                                       const std::optional<std::string>& secondDescription, Instant now) {
  Transaction transaction(db_);
  const auto found = session(id);
  if (!found) throw StoreError(StoreError::Case::sessionNotFound);
  if (at - found->start < 1 || found->end.value_or(now) - at < 1) {
    throw StoreError(StoreError::Case::splitOutsideSession);
  }
  const auto first = validDescription(firstDescription, {found->description});
  const auto second = validDescription(secondDescription, {found->description});

  WorkSession head = *found;
  head.end = at;
  head.lastActive = at;
  head.endReason = isHandEntered(found->endReason) ? found->endReason : EndReason::split;
  head.edited = true;
  head.description = first;
  db_.query(
      "UPDATE sessions SET end_at = ?, last_active_at = ?, end_reason = ?, edited = 1, description = ?\nWHERE id = ?",
      {at, at, reasonText(head.endReason), first, id});

  WorkSession tail = *found;
  tail.start = at;
  tail.lastActive = std::max(at, found->lastActive);
  tail.edited = true;
  tail.description = second;
  db_.query(
      "INSERT INTO sessions (project_id, start_at, end_at, last_active_at, end_reason, edited, description,\n         "
      "             times)\nVALUES (?, ?, ?, ?, ?, 1, ?, ?)",
      {found->projectId, at, found->end, tail.lastActive, reasonText(found->endReason), second,
       std::string(rawValue(found->times))});
  tail.id = db_.lastInsertRowId();
  transaction.commit();
  return SplitResult{head, tail};
}

std::optional<WorkSession> Store::sessionBefore(const WorkSession& session) {
  return firstSession(
      "SELECT * FROM sessions WHERE start_at < ? OR (start_at = ? AND id < ?)\nORDER BY start_at DESC, id DESC LIMIT 1",
      {session.start, session.start, session.id});
}

std::optional<WorkSession> Store::sessionAfter(const WorkSession& session) {
  return firstSession("SELECT * FROM sessions WHERE start_at > ? OR (start_at = ? AND id > ?)\nORDER BY start_at, id LIMIT 1",
                      {session.start, session.start, session.id});
}

bool Store::canMerge(const WorkSession& earlier, const WorkSession& later, double tolerance, Instant now) {
  if (earlier.id == later.id || earlier.projectId != later.projectId || earlier.times != later.times) return false;
  if (!earlier.end) return false;
  const double gap = later.start - *earlier.end;
  if (gap < 0 || gap > tolerance) return false;
  const auto next = sessionAfter(earlier);
  if (!next || next->id != later.id) return false;
  if (gap == 0) return true;
  // Nothing else may run through the gap, such as a session that began before both.
  return overlappingSessions(*earlier.end, later.start, std::nullopt, now).empty();
}

Store::Neighbours Store::mergeableNeighbours(std::int64_t id, double tolerance, Instant now) {
  const auto found = session(id);
  if (!found) return {};
  Neighbours neighbours;
  if (auto before = sessionBefore(*found); before && canMerge(*before, *found, tolerance, now)) {
    neighbours.previous = before;
  }
  if (auto after = sessionAfter(*found); after && canMerge(*found, *after, tolerance, now)) neighbours.next = after;
  return neighbours;
}

WorkSession Store::mergeSessions(std::int64_t earlierId, std::int64_t laterId,
                                 const std::optional<std::string>& description, double tolerance, Instant now) {
  Transaction transaction(db_);
  const auto earlier = session(earlierId), later = session(laterId);
  if (!earlier || !later) throw StoreError(StoreError::Case::sessionNotFound);
  if (!canMerge(*earlier, *later, tolerance, now)) throw StoreError(StoreError::Case::cannotMerge);

  std::optional<EndReason> reason = later->endReason;
  if (reason == EndReason::added || reason == EndReason::imported) {
    if (earlier->endReason != reason) reason = EndReason::merged;
  }
  const Instant lastActive = std::max(earlier->lastActive, later->lastActive);
  const auto merged = validDescription(
      description, {earlier->description, later->description, mergedDescription(earlier->description, later->description)});

  // The later row goes before the earlier one grows, so that an open later session never
  // makes two open sessions at once.
  db_.query("UPDATE session_sources SET session_id = ? WHERE session_id = ?", {earlierId, laterId});
  db_.query("DELETE FROM sessions WHERE id = ?", {laterId});
  db_.query(
      "UPDATE sessions SET end_at = ?, last_active_at = ?, end_reason = ?, edited = 1, description = ?\nWHERE id = ?",
      {later->end, lastActive, reasonText(reason), merged, earlierId});
  transaction.commit();

  WorkSession result = *earlier;
  result.end = later->end;
  result.lastActive = lastActive;
  result.endReason = reason;
  result.edited = true;
  result.description = merged;
  return result;
}

}  // namespace lumetra
