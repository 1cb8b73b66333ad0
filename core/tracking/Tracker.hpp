#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "control/ResumeWindow.hpp"
#include "platform/Calendar.hpp"
#include "platform/Instant.hpp"
#include "store/Store.hpp"
#include "store/WorkSession.hpp"
#include "tracking/AutoStopEvent.hpp"
#include "tracking/ResumeError.hpp"

namespace lumetra {

// The tracking engine: owns the one running session, ends it by itself after idle time or
// sleep, keeps its stored last activity fresh without writing on every heartbeat, recovers a
// session left open by an earlier run, resumes recently ended sessions, and guards hand edits
// so that the running session in memory never disagrees with the database.
//
// Not thread-safe: the host calls it from its owner thread only. Every operation that touches
// the store may throw StoreError and DatabaseError besides the errors it names; in-memory state
// changes only after the statement it mirrors has succeeded.
class Tracker {
 public:
  // A heartbeat gap longer than this (either way) means sleep or a clock jump.
  static constexpr double gapTolerance = 30;
  // The stored last activity is rewritten once the one in memory is this far ahead.
  static constexpr double persistInterval = 5;
  // A session shorter than this when it ends is deleted instead of kept.
  static constexpr double minimumSession = 1;
  // The largest gap between two sessions that may be merged.
  static constexpr double mergeGapTolerance = 300;
  // How long after its end a tracked session may be resumed, and as messages show it.
  static constexpr double resumeWindow = ResumeWindow::seconds;
  [[nodiscard]] static std::string resumeWindowText() { return ResumeWindow::text(); }
  // When a session may be resumed until: its end plus the window; nothing while it runs.
  [[nodiscard]] static std::optional<Instant> resumableUntil(const WorkSession& session);

  // Continues a session left open by an earlier run when it was active less than
  // `idleThreshold` ago; otherwise closes it at its last activity as recovered and sets
  // recoveryEvent().
  Tracker(Store& store, double idleThreshold, Instant now);

  [[nodiscard]] Store& store() { return store_; }
  [[nodiscard]] double idleThreshold() const { return idleThreshold_; }
  void setIdleThreshold(double seconds) { idleThreshold_ = seconds; }
  [[nodiscard]] const std::optional<WorkSession>& current() const { return current_; }
  [[nodiscard]] const std::optional<AutoStopEvent>& recoveryEvent() const { return recoveryEvent_; }
  [[nodiscard]] bool isTracking() const { return current_.has_value(); }
  // Seconds the running session has run; 0 without one.
  [[nodiscard]] double elapsed(Instant now) const { return current_ ? current_->duration(now) : 0; }

  // The heartbeat, with the seconds since the user's last input. Returns the event when it
  // ended the running session (also when that session was too short to keep).
  std::optional<AutoStopEvent> tick(Instant now, double idleSeconds);

  // The machine is about to sleep: ends the running session there and then, as asleep, as the
  // heartbeat's gap rule would have after the sleep. Nothing when none runs.
  std::optional<AutoStopEvent> sleeping(Instant now);

  // Tracks the project, switching from any other running session. Returns the session stopped
  // by switching; nothing when none ran, it was too short to keep, or nothing changed.
  // Whether the project exists and is active is the caller's concern.
  // With `at`, the start (and the switch) is backdated to it; the caller has checked it lies
  // between the last session's end (or the running one's start) and now.
  std::optional<WorkSession> start(std::int64_t projectId, const std::optional<std::string>& description, Instant now,
                                   std::optional<Instant> at = std::nullopt);
  // Stops the running session, at `at` when given; returns it as stored, or nothing when none
  // ran or it was too short.
  std::optional<WorkSession> stop(Instant now, EndReason reason, std::optional<Instant> at = std::nullopt);

  // The session resumeLastSession would resume: the last tracked one, ended less than the
  // window ago, in a project that exists and isn't archived. Nothing while tracking.
  [[nodiscard]] std::optional<WorkSession> resumableSession(Instant now);
  // Throws ResumeError alreadyTracking or nothingToResume.
  WorkSession resumeLastSession(Instant now);
  // A new session like a stored one. Throws ResumeError (alreadyTracking without `switching`,
  // projectUnavailable) and StoreError::sessionNotFound.
  WorkSession resume(std::int64_t sessionId, bool switching, Instant now);
  // Undoes an automatic stop: tracking goes on with its project and description.
  // Throws ResumeError nothingToResume when canResume is false.
  WorkSession resume(const AutoStopEvent& event, Instant now);
  // Whether the event ended less than the window ago in a project that is still active.
  [[nodiscard]] bool canResume(const AutoStopEvent& event, Instant now);
  // The description resuming the event would take: the stored session's, else the event's.
  [[nodiscard]] std::optional<std::string> description(const AutoStopEvent& resuming);

  // Hand edits, passed to the store; the running session in memory follows them.
  WorkSession setDescription(std::int64_t sessionId, const std::optional<std::string>& text);
  // For the running session the end is ignored: it stays open.
  WorkSession editSession(std::int64_t id, std::int64_t projectId, Instant start, std::optional<Instant> end,
                          Instant now);
  Store::SplitResult splitSession(std::int64_t id, Instant at, const std::optional<std::string>& firstDescription,
                                  const std::optional<std::string>& secondDescription, Instant now);
  WorkSession mergeSessions(std::int64_t earlierId, std::int64_t laterId, const std::optional<std::string>& description,
                            Instant now);
  void deleteSession(std::int64_t id);
  // After a project was archived or deleted: stops its running session as archived.
  void projectRemoved(std::int64_t id, Instant now);

  // Projects and settings changed by hand, passed to the store; archiving or deleting the
  // running session's project stops it first, as archived. Overlaps with other sessions are
  // the caller's to refuse, as for the session edits above.
  Project createProject(std::string_view name, Instant now) { return store_.createProject(name, now); }
  void renameProject(std::int64_t id, std::string_view name) { store_.renameProject(id, name); }
  void setArchived(std::int64_t id, bool archived, Instant now);
  void deleteProject(std::int64_t id, Instant now);
  WorkSession addSession(std::int64_t projectId, Instant start, Instant end,
                         const std::optional<std::string>& description, Instant now) {
    return store_.addSession(projectId, start, end, description, now);
  }
  // Stores the idle time-out and follows it at once.
  void setIdleTimeout(double seconds);

  // The store's import, for the host's own imports; the running session is not touched.
  ImportReport importSessions(const ImportFile& file, bool allowOverlaps, bool dryRun, Instant now) {
    return store_.importSessions(file, allowOverlaps, dryRun, now);
  }
  // The same for a CSV text read piece by piece (`next` gives the next piece, an empty one at the
  // end), so that a file of any size goes through a small buffer. Local times are `zone`'s.
  ImportReport importCSV(const std::function<std::string_view()>& next, const Calendar& zone, bool allowOverlaps,
                         bool dryRun, Instant now);

  // Writes the running session's last activity now.
  void persist();
  // After the running session's row was changed behind the tracker's back (two computers'
  // projects found to be one, and its own merged away): the session in memory takes the stored
  // project and description.
  void followStore();

 private:
  // Every way a session ends: deleted when shorter than minimumSession, otherwise closed.
  std::optional<WorkSession> close(const WorkSession& session, Instant end, EndReason reason);
  // Inserts a new running session with an already validated description.
  WorkSession begin(std::int64_t projectId, const std::optional<std::string>& description, Instant start, Instant now);
  // Closes the running session and reports it.
  AutoStopEvent autoStop(Instant now, EndReason reason);
  [[nodiscard]] bool isRunning(std::int64_t projectId, const std::optional<std::string>& description) const;
  [[nodiscard]] std::optional<WorkSession> storedSession(const AutoStopEvent& event);

  Store& store_;
  double idleThreshold_;
  std::optional<WorkSession> current_;
  std::optional<AutoStopEvent> recoveryEvent_;
  Instant lastTick_;
  Instant lastPersistedActive_{-1e300};  // the distant past: nothing written yet
};

}  // namespace lumetra
