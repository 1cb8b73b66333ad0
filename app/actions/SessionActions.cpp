#include "actions/SessionActions.hpp"

#include <algorithm>

#include "platform/FileSystem.hpp"
#include "platform/ProcessInfo.hpp"
#include "platform/SystemError.hpp"
#include "platform/UnicodeText.hpp"

#include "platform/DateFormat.hpp"
#include "tracking/WireRecords.hpp"

namespace lumetra {

using Code = ControlError::Code;

namespace {

SessionChange changed(SessionInfo session) {
  SessionChange change;
  change.session = std::move(session);
  return change;
}

}  // namespace

WorkSession SessionActions::existing(std::int64_t id) {
  if (auto session = tracker_.store().session(id)) return *session;
  throw ControlError(Code::sessionNotFound, "There's no session with id " + std::to_string(id) + ".");
}

void SessionActions::refuseOverlaps(Instant start, std::optional<Instant> end, std::optional<std::int64_t> excluding,
                                    Instant now) {
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

SessionInfo SessionActions::info(const WorkSession& session, Instant now) {
  const auto project = tracker_.store().project(session.projectId);
  return WireRecords::sessionInfo(session, project ? project->name : "?", now);
}

SessionChange SessionActions::add(const SessionAdd& request, Instant now) {
  const Project project = control_.findProject(request.project, "session add");
  // Times the store refuses anyway (an end before the start, or ahead of now) get its sentence.
  if (request.end > request.start && !(request.end > now)) refuseOverlaps(request.start, request.end, std::nullopt, now);
  return changed(info(tracker_.addSession(project.id, request.start, request.end, request.description, now), now));
}

SessionChange SessionActions::edit(const SessionEdit& request, Instant now) {
  const WorkSession session = existing(request.id);
  const std::int64_t projectId =
      request.project ? control_.findProject(request.project, "session edit").id : session.projectId;
  const Instant start = request.start.value_or(session.start);
  if (request.end && !session.end) {
    throw ControlError(Code::invalid, "Session " + std::to_string(request.id) +
                                          " is still running, so it has no end to change. Stop it first.");
  }
  const auto end = request.end ? request.end : session.end;
  if ((!end || (*end > start && !(*end > now))) && start < now) refuseOverlaps(start, end, request.id, now);
  return changed(info(tracker_.editSession(request.id, projectId, start, end, now), now));
}

SessionChange SessionActions::split(const SessionSplit& request, Instant now) {
  const auto parts = tracker_.splitSession(request.id, request.at, request.first, request.second, now);
  SessionChange change;
  change.first = info(parts.first, now);
  change.second = info(parts.second, now);
  return change;
}

SessionChange SessionActions::merge(const SessionMerge& request, Instant now) {
  const WorkSession one = existing(request.id), other = existing(request.nextId);
  // The one that starts first is the earlier, whichever order they were named in.
  const bool inOrder = one.start < other.start || (one.start == other.start && one.id < other.id);
  const WorkSession& earlier = inOrder ? one : other;
  const WorkSession& later = inOrder ? other : one;
  const auto description =
      request.description ? request.description : Store::mergedDescription(earlier.description, later.description);
  return changed(info(tracker_.mergeSessions(earlier.id, later.id, description, now), now));
}

SessionChange SessionActions::remove(const SessionDelete& request, Instant now) {
  const SessionInfo deleted = info(existing(request.id), now);
  tracker_.deleteSession(request.id);
  return changed(deleted);
}

SessionNeighbours SessionActions::neighbours(const SessionNeighboursOf& request, Instant now) {
  const WorkSession session = existing(request.id);
  const auto found = tracker_.store().mergeableNeighbours(request.id, Tracker::mergeGapTolerance, now);
  SessionNeighbours result;
  result.session = info(session, now);
  if (found.previous) result.previous = info(*found.previous, now);
  if (found.next) result.next = info(*found.next, now);
  return result;
}

ImportReport SessionActions::importFile(const ImportFileRequest& request, Instant now) {
  const auto unreadable = [&](const std::system_error& error) {
    return ControlError(ControlError::Code::badRequest,
                        "Couldn't read " + request.file + ": " + SystemError::text(error.code().value()) + ".");
  };
  const auto notText = [&] {
    return ControlError(ControlError::Code::badRequest,
                        request.file + " isn't UTF-8 text. Save it as CSV UTF-8 and try again.");
  };
  FileDescriptor file;
  try {
    file = FileSystem::openForReading(request.file);
  } catch (const std::system_error& error) {
    throw unreadable(error);
  }
  // A MiB at a time, checked as it comes: the file is never held whole, whatever its size. A
  // character cut by the end of a piece waits for the next.
  constexpr std::size_t kPiece = 1 << 20;
  std::string piece(kPiece + 4, '\0');
  std::string ready;
  std::size_t carried = 0;
  const auto next = [&]() -> std::string_view {
    for (;;) {
      std::size_t count = 0;
      try {
        count = FileSystem::readSome(file, piece.data() + carried, kPiece);
      } catch (const std::system_error& error) {
        throw unreadable(error);
      }
      if (count == 0) {
        if (carried > 0) throw notText();
        return {};
      }
      const std::size_t length = carried + count;
      const std::size_t whole = UnicodeText::wholeCharactersLength(std::string_view(piece).substr(0, length));
      if (!UnicodeText::isValidUTF8(std::string_view(piece).substr(0, whole))) throw notText();
      // What the previous piece handed on is read now; the new cut character moves to the front.
      if (whole == 0) {
        carried = length;
        continue;
      }
      ready.assign(piece.data(), whole);
      std::copy(piece.begin() + static_cast<std::ptrdiff_t>(whole), piece.begin() + static_cast<std::ptrdiff_t>(length),
                piece.begin());
      carried = length - whole;
      return ready;
    }
  };
  auto report = tracker_.importCSV(next, control_.calendar(), request.allowOverlaps, request.dryRun, now);
  ProcessInfo::releaseFreeMemory();
  return report;
}

}  // namespace lumetra
