#include "tracking/Tracker.hpp"

#include <algorithm>
#include <cmath>

#include "csv/CSVImportReader.hpp"
#include "store/ImportBatch.hpp"

namespace lumetra {

ImportReport Tracker::importCSV(const std::function<std::string_view()>& next, const Calendar& zone, bool allowOverlaps,
                                bool dryRun, Instant now) {
  ImportBatch batch(store_, allowOverlaps, dryRun, now);
  CSVImportReader reader(zone, [&](ImportRow&& row) { batch.add(std::move(row)); });
  for (std::string_view piece = next(); !piece.empty(); piece = next()) {
    reader.feed(piece);
    // Rows after a problem in the file are still checked, no longer written.
    if (reader.hasProblems()) batch.stopWriting();
  }
  return batch.finish(reader.finish());
}

std::optional<Instant> Tracker::resumableUntil(const WorkSession& session) {
  if (!session.end) return std::nullopt;
  return *session.end + resumeWindow;
}

Tracker::Tracker(Store& store, double idleThreshold, Instant now)
    : store_(store), idleThreshold_(idleThreshold), lastTick_(now) {
  const auto open = store_.openSession();
  if (!open) return;
  const double gap = now - open->lastActive;
  if (gap >= 0 && gap < idleThreshold_) {
    current_ = open;
    lastPersistedActive_ = open->lastActive;
    return;
  }
  // Away at least the idle threshold (or the last activity lies in the future): the session
  // ends where activity was last recorded.
  (void)close(*open, open->lastActive, EndReason::recovered);
  recoveryEvent_ = AutoStopEvent{open->id,         open->projectId,        open->start, open->description,
                                 open->lastActive, std::max(0.0, gap), EndReason::recovered};
}

std::optional<WorkSession> Tracker::close(const WorkSession& session, Instant end, EndReason reason) {
  const Instant effectiveEnd = std::max(end, session.start);
  std::optional<WorkSession> result;
  if (effectiveEnd - session.start < minimumSession) {
    store_.deleteSession(session.id);
  } else {
    store_.closeSession(session.id, effectiveEnd, session.lastActive, reason);
    result = session;
    result->end = effectiveEnd;
    result->endReason = reason;
  }
  if (current_ && current_->id == session.id) current_.reset();
  return result;
}

WorkSession Tracker::begin(std::int64_t projectId, const std::optional<std::string>& description, Instant start,
                           Instant now) {
  // The description was validated by the caller, so it is passed as carried over.
  current_ = store_.insertSession(projectId, start, description, {description});
  lastPersistedActive_ = start;
  lastTick_ = now;
  return *current_;
}

AutoStopEvent Tracker::autoStop(Instant now, EndReason reason) {
  const WorkSession session = *current_;
  (void)close(session, session.lastActive, reason);
  return AutoStopEvent{session.id,         session.projectId,                       session.start, session.description,
                       session.lastActive, std::max(0.0, now - session.lastActive), reason};
}

bool Tracker::isRunning(std::int64_t projectId, const std::optional<std::string>& description) const {
  return current_ && current_->projectId == projectId && current_->description == description;
}

std::optional<AutoStopEvent> Tracker::tick(Instant now, double idleSeconds) {
  store_.owner().assertHeld();
  const double sinceLast = now - lastTick_;
  lastTick_ = now;
  if (!current_) return std::nullopt;

  // After a sleep the platform's idle counter isn't trusted: the activity recorded before it is.
  if (std::abs(sinceLast) > gapTolerance && now - current_->lastActive >= idleThreshold_) {
    return autoStop(now, EndReason::asleep);
  }
  const Instant activeAt = idleSeconds < 0 ? now : now - idleSeconds;
  if (activeAt > current_->lastActive) current_->lastActive = std::min(now, activeAt);
  if (now - current_->lastActive >= idleThreshold_) return autoStop(now, EndReason::idle);
  if (current_->lastActive - lastPersistedActive_ >= persistInterval) persist();
  return std::nullopt;
}

std::optional<AutoStopEvent> Tracker::sleeping(Instant now) {
  store_.owner().assertHeld();
  lastTick_ = now;
  if (!current_) return std::nullopt;
  current_->lastActive = std::max(current_->lastActive, now);
  return autoStop(now, EndReason::asleep);
}

void Tracker::persist() {
  store_.owner().assertHeld();
  if (!current_) return;
  store_.updateLastActive(current_->id, current_->lastActive);
  lastPersistedActive_ = current_->lastActive;
}

std::optional<WorkSession> Tracker::start(std::int64_t projectId, const std::optional<std::string>& description,
                                          Instant now, std::optional<Instant> at) {
  store_.owner().assertHeld();
  const auto normalized = Store::normalizedDescription(description);
  if (isRunning(projectId, normalized)) return std::nullopt;
  const auto valid = Store::validDescription(normalized);
  const Instant from = at.value_or(now);
  std::optional<WorkSession> stopped;
  if (current_) {
    if (at) current_->lastActive = std::min(current_->lastActive, from);
    stopped = close(*current_, from, EndReason::switched);
  }
  (void)begin(projectId, valid, from, now);
  return stopped;
}

std::optional<WorkSession> Tracker::stop(Instant now, EndReason reason, std::optional<Instant> at) {
  store_.owner().assertHeld();
  if (!current_) return std::nullopt;
  if (at) {
    // Backdated: its last activity can't come after its end.
    current_->lastActive = std::min(current_->lastActive, *at);
    return close(*current_, *at, reason);
  }
  return close(*current_, std::max(now, current_->lastActive), reason);
}

std::optional<WorkSession> Tracker::resumableSession(Instant now) {
  if (current_) return std::nullopt;
  auto last = store_.lastTrackedSession();
  if (!last || !last->end || !(now - *last->end < resumeWindow)) return std::nullopt;
  const auto project = store_.project(last->projectId);
  if (!project || project->archived) return std::nullopt;
  return last;
}

WorkSession Tracker::resumeLastSession(Instant now) {
  if (current_) throw ResumeError(ResumeError::Case::alreadyTracking);
  const auto last = resumableSession(now);
  if (!last) throw ResumeError(ResumeError::Case::nothingToResume);
  return resume(last->id, false, now);
}

WorkSession Tracker::resume(std::int64_t sessionId, bool switching, Instant now) {
  if (current_) {
    if (!switching) throw ResumeError(ResumeError::Case::alreadyTracking);
    if (current_->id == sessionId) return *current_;
  }
  const auto stored = store_.session(sessionId);
  if (!stored) throw StoreError(StoreError::Case::sessionNotFound);
  const auto project = store_.project(stored->projectId);
  if (!project || project->archived) throw ResumeError(ResumeError::Case::projectUnavailable);
  const auto normalized = Store::normalizedDescription(stored->description);
  if (isRunning(stored->projectId, normalized)) return *current_;
  const auto valid = Store::validDescription(normalized, {stored->description});
  if (current_) (void)close(*current_, now, EndReason::switched);
  return begin(stored->projectId, valid, now, now);
}

WorkSession Tracker::resume(const AutoStopEvent& event, Instant now) {
  if (!canResume(event, now)) throw ResumeError(ResumeError::Case::nothingToResume);
  if (storedSession(event)) return resume(event.sessionId, true, now);
  // The ended session is gone (too short to keep, or deleted since): start over from the event.
  const auto normalized = Store::normalizedDescription(event.description);
  if (isRunning(event.projectId, normalized)) return *current_;
  const auto valid = Store::validDescription(normalized, {event.description});
  if (current_) (void)close(*current_, now, EndReason::switched);
  return begin(event.projectId, valid, now, now);
}

bool Tracker::canResume(const AutoStopEvent& event, Instant now) {
  if (!(now - event.endedAt < resumeWindow)) return false;
  try {
    const auto project = store_.project(event.projectId);
    return project && !project->archived;
  } catch (const std::exception&) {
    return false;
  }
}

std::optional<WorkSession> Tracker::storedSession(const AutoStopEvent& event) {
  try {
    auto stored = store_.session(event.sessionId);
    if (stored && std::abs(stored->start - event.sessionStart) < 0.001) return stored;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

std::optional<std::string> Tracker::description(const AutoStopEvent& resuming) {
  if (const auto stored = storedSession(resuming)) return stored->description;
  return resuming.description;
}

WorkSession Tracker::setDescription(std::int64_t sessionId, const std::optional<std::string>& text) {
  const WorkSession updated = store_.setDescription(sessionId, text);
  if (current_ && current_->id == sessionId) {
    current_->description = updated.description;
    return *current_;
  }
  return updated;
}

WorkSession Tracker::editSession(std::int64_t id, std::int64_t projectId, Instant start, std::optional<Instant> end,
                                 Instant now) {
  if (!current_ || current_->id != id) return store_.updateSession(id, projectId, start, end, now);
  persist();
  current_ = store_.updateSession(id, projectId, start, std::nullopt, now);
  lastPersistedActive_ = current_->lastActive;
  return *current_;
}

Store::SplitResult Tracker::splitSession(std::int64_t id, Instant at, const std::optional<std::string>& firstDescription,
                                         const std::optional<std::string>& secondDescription, Instant now) {
  const bool running = current_ && current_->id == id;
  if (running) persist();
  auto parts = store_.splitSession(id, at, firstDescription, secondDescription, now);
  if (running) {
    current_ = parts.second;
    lastPersistedActive_ = parts.second.lastActive;
  }
  return parts;
}

WorkSession Tracker::mergeSessions(std::int64_t earlierId, std::int64_t laterId,
                                   const std::optional<std::string>& description, Instant now) {
  const bool laterRunning = current_ && current_->id == laterId;
  if (laterRunning) persist();
  auto merged = store_.mergeSessions(earlierId, laterId, description, mergeGapTolerance, now);
  if (laterRunning) {
    current_ = merged;
    lastPersistedActive_ = merged.lastActive;
  }
  return merged;
}

void Tracker::deleteSession(std::int64_t id) {
  store_.deleteSession(id);
  if (current_ && current_->id == id) current_.reset();
}

void Tracker::projectRemoved(std::int64_t id, Instant now) {
  if (current_ && current_->projectId == id) (void)stop(now, EndReason::archived);
}

void Tracker::setArchived(std::int64_t id, bool archived, Instant now) {
  if (archived) projectRemoved(id, now);
  store_.setArchived(id, archived);
}

void Tracker::deleteProject(std::int64_t id, Instant now) {
  projectRemoved(id, now);
  store_.deleteProject(id);
}

void Tracker::setIdleTimeout(double seconds) {
  store_.setIdleTimeout(seconds);
  idleThreshold_ = store_.idleTimeout();
}

void Tracker::followStore() {
  if (!current_) return;
  const auto stored = store_.session(current_->id);
  if (!stored || !stored->isOpen()) return;
  current_->projectId = stored->projectId;
  current_->description = stored->description;
}

}  // namespace lumetra
