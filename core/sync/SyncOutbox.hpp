#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/Store.hpp"
#include "sync/HybridClock.hpp"
#include "sync/SyncRecord.hpp"

namespace lumetra {

// What this computer changed, from the outbox the triggers fill, as records for its log: each
// changed row once per drain with the groups that changed (every group, and when it was made,
// the first time), stamped after the row's newest stamp. Reading leaves the store as it is;
// `written` then notes in one transaction, after the records are safely on disk, that they
// were: the outbox entries go, the rows remember their stamps. Owner thread only.
class SyncOutbox {
 public:
  // Entries turned into records at most per drain, so that one drain stays short.
  static constexpr std::int64_t batch = 20000;

  struct Drained {
    std::vector<SyncRecord> records;
    std::int64_t lastEntry = 0;  // the outbox entries up to this one are in the records
  };

  SyncOutbox(Store& store, std::string me) : store_(store), me_(std::move(me)) {}

  // Gives the rows waiting to be written out, and the running session, their global ids if they
  // have none, in the caller's transaction: before any record names them, so that a crash
  // after writing can't leave a record naming an id the store never kept.
  void assignIds();
  // The next records, numbered from `firstSequence`. Nothing when the outbox is empty.
  [[nodiscard]] Drained drain(HybridClock& clock, std::int64_t nowMs, std::int64_t firstSequence);
  // The records of a drain up to entry `upTo` are in the log: inside the caller's transaction,
  // the rows they made known are marked published and their entries go; all entries up to
  // `upTo` when the drain was written `whole`, else (a write cut short, read back after a
  // restart) only those of the records that made it, so that each change is written once.
  void written(const std::vector<SyncRecord>& records, std::int64_t upTo, bool whole);

  // Whether entries wait.
  [[nodiscard]] std::int64_t pending();

  // The global id of a session with this source ID: the same on every computer that imports
  // it, so that one import done twice is one session.
  [[nodiscard]] static std::string sourceGid(const std::string& sourceId);

 private:
  Store& store_;
  std::string me_;
};

}  // namespace lumetra
