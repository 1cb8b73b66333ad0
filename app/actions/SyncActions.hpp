#pragma once

#include <functional>
#include <optional>
#include <string>

#include "control/SyncRecords.hpp"
#include "sync/SyncEngine.hpp"
#include "tracking/AutoStopEvent.hpp"
#include "tracking/Tracker.hpp"

namespace lumetra {

// Several computers, one history: lumetra-app's sync commands, and what a sync brings that
// the tracker must follow (a stop asked for by another computer, a project deleted there).
// Owner thread only; refusals are thrown as ControlError.
class SyncActions {
 public:
  // `stopped` hears of the running session ended because another computer started one.
  SyncActions(SyncEngine& engine, Tracker& tracker, Calendar calendar)
      : engine_(engine), tracker_(tracker), calendar_(std::move(calendar)) {}

  [[nodiscard]] SyncEngine& engine() { return engine_; }

  SyncEnabled enable(const SyncEnable& request, Instant now);
  SyncStatus status(Instant now);
  SyncDone now(Instant now);
  SyncConflicts conflicts();
  SyncResolved resolve(const SyncResolve& request, Instant now);
  SyncForgotten forget(const SyncForget& request, Instant now);
  SyncDisabled disable();
  SyncOneTimerSetting oneTimer(const SyncOneTimer& request);

  // Writes and reads, then has the tracker follow: returns the event when one timer stopped
  // the running session here. Never throws; a problem is said once through `problems`.
  std::optional<AutoStopEvent> cycle(Instant now);
  // Where a problem or a notice of a sync is said.
  std::function<void(const std::string&)> problems;
  // Asks a running Syncthing to look at the folder now: set by the host, which may talk to it.
  std::function<bool(const std::filesystem::path& folder)> rescan;

 private:
  std::optional<AutoStopEvent> follow(SyncEngine::Cycle& cycle, Instant now);

  SyncEngine& engine_;
  Tracker& tracker_;
  Calendar calendar_;
};

}  // namespace lumetra
