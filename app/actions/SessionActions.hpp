#pragma once

#include <cstdint>

#include "control/ImportReport.hpp"
#include "control/SessionRecords.hpp"
#include "control/TrackingRecords.hpp"
#include "platform/Instant.hpp"
#include "tracking/ControlHandler.hpp"

namespace lumetra {

// Entering and fixing sessions by hand, through the tracker so the running session follows.
// Times that would share time with another session are refused, naming it: the store leaves
// that to its callers, and the same minutes counted twice would make every total wrong. A
// running session has no end to change. Owner thread only.
class SessionActions {
 public:
  explicit SessionActions(ControlHandler& control) : control_(control), tracker_(control.tracker()) {}

  SessionChange add(const SessionAdd& request, Instant now);
  SessionChange edit(const SessionEdit& request, Instant now);
  SessionChange split(const SessionSplit& request, Instant now);
  SessionChange merge(const SessionMerge& request, Instant now);
  SessionChange remove(const SessionDelete& request, Instant now);
  [[nodiscard]] SessionNeighbours neighbours(const SessionNeighboursOf& request, Instant now);
  // A CSV file of any size, read here, planned and stored all or nothing in one transaction,
  // reported as the tool's import is. Throws ControlError when it can't be read.
  ImportReport importFile(const ImportFileRequest& request, Instant now);

 private:
  [[nodiscard]] WorkSession existing(std::int64_t id);
  void refuseOverlaps(Instant start, std::optional<Instant> end, std::optional<std::int64_t> excluding, Instant now);
  [[nodiscard]] SessionInfo info(const WorkSession& session, Instant now);

  ControlHandler& control_;
  Tracker& tracker_;
};

}  // namespace lumetra
