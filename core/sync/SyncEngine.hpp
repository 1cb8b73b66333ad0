#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "control/SyncRecords.hpp"
#include "platform/Calendar.hpp"
#include "platform/Error.hpp"
#include "platform/Instant.hpp"
#include "store/Store.hpp"
#include "sync/HybridClock.hpp"
#include "sync/SyncFolder.hpp"
#include "sync/SyncMerge.hpp"

namespace lumetra {

// A sync request that can't be carried out; the description says why and what to do.
class SyncError final : public MessageError {
 public:
  using MessageError::MessageError;
};

// Several computers, one history, through a folder that a sync engine (Syncthing, or any folder
// sync) keeps equal on each: this computer writes its changes to its own log there and merges
// what the others wrote into its store. No network, no server. Owner thread only; the host
// calls cycle() after changes, on the folder's file events and on a timer.
class SyncEngine {
 public:
  // Records read from one computer in one transaction at most.
  static constexpr std::size_t readBatch = 20000;
  // computer.json is rewritten at least this often while a session runs, in seconds.
  static constexpr double presenceInterval = 60;

  // What one cycle did, and what the host must do about it.
  struct Cycle {
    std::int64_t written = 0, read = 0;
    SyncMerge::Effects effects;
    std::optional<std::string> problem;  // said once per new problem
    std::optional<std::string> notice;   // something a person should hear of (a cloned id)
  };

  SyncEngine(Store& store, std::filesystem::path dataDirectory);

  [[nodiscard]] bool enabled();
  // Joins the folder (made if missing): the store gets its sync tables, this computer its
  // folder and log, and everything it holds is published; then the others' records are read.
  // With `dryRun`, the same merge is made and reported but rolled back, and nothing is
  // written to the folder. Throws SyncError: another folder is in use, the data folder lies
  // inside the synced one, the folder can't be written.
  [[nodiscard]] SyncEnabled enable(const SyncEnable& request, Instant now);
  // Stops writing and reading; the store keeps everything it has.
  [[nodiscard]] SyncDisabled disable();
  [[nodiscard]] SyncStatus status(Instant now, const Calendar& calendar);
  // Writes what is pending, then reads and merges what the others wrote. Never throws: a
  // problem (the folder gone, a full disk) is kept in `problem`, and the outbox waits.
  Cycle cycle(Instant now);
  [[nodiscard]] SyncConflicts conflicts(const Calendar& calendar);
  // Throws SyncError for an unknown conflict or fix.
  [[nodiscard]] SyncResolved resolve(const SyncResolve& request, Instant now, const Calendar& calendar);
  // A lost computer: its running session ends at its last reported activity, and it is no
  // longer listed until it writes again. Throws SyncError when none is called that.
  [[nodiscard]] SyncForgotten forget(const SyncForget& request, Instant now);
  [[nodiscard]] SyncOneTimerSetting oneTimer(const SyncOneTimer& request);

  // The sessions running on other computers, for the window and the tray.
  [[nodiscard]] std::vector<SyncPeer> elsewhere(const Calendar& calendar);
  // The folders where other computers' changes arrive, while enabled: for the host to watch.
  [[nodiscard]] std::vector<std::filesystem::path> watched();
  // The synced folder, while enabled.
  [[nodiscard]] std::optional<std::filesystem::path> folder();
  // A running session's global id, for matching a stop request.
  [[nodiscard]] std::optional<std::string> sessionGid(std::int64_t sessionId);

  // For tests: called where a crash would leave the folder and the store apart ("appended":
  // a log written, not yet noted; "applied": records merged, the place read not yet kept).
  std::function<void(const char* where)> TEST_crashAt;

 private:
  [[nodiscard]] std::optional<std::string> state(const std::string& key);
  void setState(const std::string& key, const std::string& value);
  [[nodiscard]] std::string computer();
  void recoverOwnLog(Instant now, Cycle& cycle);
  void drain(SyncFolder& folder, Instant now, Cycle& cycle);
  void publishPresence(SyncFolder& folder, Instant now, bool force);
  void askToStop(Instant now);
  void readOthers(SyncFolder& folder, Instant now, Cycle& cycle);
  void checkPlace(const std::filesystem::path& folder) const;
  [[nodiscard]] bool sessionLocal(const std::string& gid);
  [[nodiscard]] std::string computerName(const std::string& id);
  // A row as the merged rows describe it: "Garden 2026-12-01 09:00–10:30", "project “Garden”".
  [[nodiscard]] std::string described(const std::string& gid, const Calendar& calendar);
  // The conflict's sentence and fixes, or nothing when it no longer holds.
  [[nodiscard]] std::optional<SyncConflict> conflict(const Row& row, const Calendar& calendar);

  Store& store_;
  std::filesystem::path dataDirectory_;
  HybridClock clock_;
  std::string writer_;               // this process's mark on its records
  bool recovered_ = false;           // the own log was read back since this process started
  bool triggersUpdated_ = false;     // an earlier version's triggers were replaced, if any
  std::uintmax_t ownLogSize_ = 0;    // the current segment's size after this process's last append
  std::optional<std::string> lastProblem_;
  double presenceWritten_ = 0;
  std::string presence_;
};

}  // namespace lumetra
