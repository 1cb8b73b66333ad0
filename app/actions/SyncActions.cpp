#include "actions/SyncActions.hpp"

#include "control/ControlError.hpp"

namespace lumetra {

namespace {

// A sync refusal reaches a client as a refusal, with its sentence.
template <class Action>
auto refusing(Action&& action) {
  try {
    return action();
  } catch (const SyncError& error) {
    throw ControlError(ControlError::Code::invalid, error.description());
  }
}

}  // namespace

SyncEnabled SyncActions::enable(const SyncEnable& request, Instant now) {
  return refusing([&] { return engine_.enable(request, now); });
}

SyncStatus SyncActions::status(Instant now) { return engine_.status(now, calendar_); }

SyncDone SyncActions::now(Instant now) {
  if (!engine_.enabled()) throw ControlError(ControlError::Code::invalid, "Sync is off. Turn it on with “lumetra-app sync enable FOLDER”.");
  SyncDone done;
  auto cycle = engine_.cycle(now);
  if (rescan && engine_.folder()) {
    done.rescanned = rescan(*engine_.folder());
    // What the engine brings at once is read now rather than on the next event.
    if (done.rescanned) {
      auto again = engine_.cycle(now);
      cycle.written += again.written;
      cycle.read += again.read;
      cycle.effects.stops.insert(cycle.effects.stops.end(), again.effects.stops.begin(), again.effects.stops.end());
      cycle.effects.projectsRemoved.merge(again.effects.projectsRemoved);
      if (again.problem) cycle.problem = again.problem;
    }
  }
  (void)follow(cycle, now);
  done.written = cycle.written;
  done.read = cycle.read;
  done.problem = engine_.status(now, calendar_).problem;
  if (done.problem) throw ControlError(ControlError::Code::failed, *done.problem);
  return done;
}

SyncConflicts SyncActions::conflicts() { return engine_.conflicts(calendar_); }

SyncResolved SyncActions::resolve(const SyncResolve& request, Instant now) {
  return refusing([&] { return engine_.resolve(request, now, calendar_); });
}

SyncForgotten SyncActions::forget(const SyncForget& request, Instant now) {
  return refusing([&] { return engine_.forget(request, now); });
}

SyncDisabled SyncActions::disable() { return engine_.disable(); }

SyncOneTimerSetting SyncActions::oneTimer(const SyncOneTimer& request) {
  return refusing([&] { return engine_.oneTimer(request); });
}

std::optional<AutoStopEvent> SyncActions::cycle(Instant now) {
  try {
    auto cycle = engine_.cycle(now);
    if (problems && cycle.problem) problems(*cycle.problem);
    if (problems && cycle.notice) problems(*cycle.notice);
    return follow(cycle, now);
  } catch (const std::exception& failure) {
    if (problems) problems(describe(failure));
    return std::nullopt;
  }
}

std::optional<AutoStopEvent> SyncActions::follow(SyncEngine::Cycle& cycle, Instant now) {
  // A project another computer archived or deleted stops its running session here, as
  // archiving it here would.
  for (const auto project : cycle.effects.projectsRemoved) tracker_.projectRemoved(project, now);
  // The tracker's session in memory follows a row the merge moved to another project.
  if (cycle.effects.changed) tracker_.followStore();
  std::optional<AutoStopEvent> event;
  for (const auto& stop : cycle.effects.stops) {
    const auto& current = tracker_.current();
    if (!current || engine_.sessionGid(current->id) != stop.gid || !(Instant(stop.at) > current->start)) continue;
    AutoStopEvent stopped{current->id, current->projectId, current->start, current->description,
                          std::min(Instant(stop.at), now), 0, EndReason::switched, std::nullopt};
    for (const auto& peer : engine_.status(now, calendar_).computers) {
      if (peer.id == stop.author) stopped.by = peer.name;
    }
    if (tracker_.stop(stopped.endedAt, EndReason::switched)) event = stopped;
  }
  return event;
}

}  // namespace lumetra
