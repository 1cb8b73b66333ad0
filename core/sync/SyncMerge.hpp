#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Instant.hpp"
#include "store/Store.hpp"
#include "sync/HybridClock.hpp"
#include "sync/SyncRecord.hpp"

namespace lumetra {

// Merges records into the store: each row's field groups last-writer-wins by (stamp, author),
// deletions winning over edits made without seeing them, rows that turn out to be one made
// one, and then the store's tables brought to what the merged rows say. The outcome depends
// only on the set of records, never on their order or repeats. Inside the caller's
// transaction, owner thread only.
//
// The time tracker's rules: a running session is never touched (it is its computer's until it
// ends); a project deleted on one computer while another tracked in it stays, archived, for
// the sessions its deleter never knew; the same project created on two computers, or the same
// session, is one; a rename onto another project's name leaves the earlier claim the name and
// shows the other as "Name (Computer)"; sessions from two computers that overlap are both kept.
// What a person should look at is listed as a conflict.
class SyncMerge {
 public:
  // What one other computer's records brought, for the first sync's report.
  struct Tally {
    std::int64_t sessions = 0, alreadyHere = 0, added = 0, projectsMerged = 0, overlaps = 0, conflicts = 0;
  };
  // What the host must act on after a merge.
  struct Effects {
    std::set<std::int64_t> projectsRemoved;  // local projects archived or deleted by another computer
    std::vector<SyncRecord> stops;            // stop requests for this computer's running session
    std::map<std::string, Tally> tallies;     // by author
    bool changed = false;                     // the store's tables changed
  };

  SyncMerge(Store& store, std::string me, HybridClock& clock);
  ~SyncMerge();
  SyncMerge(const SyncMerge&) = delete;
  SyncMerge& operator=(const SyncMerge&) = delete;

  // Another computer's records (or copies of this one's), valid ones only: merged, then the
  // tables brought in line.
  void apply(const std::vector<SyncRecord>& records, Instant now, Effects& effects);
  // This computer's own records, just written from its tables: merged into the rows only.
  void note(const std::vector<SyncRecord>& records);

  // Projects another computer deleted that stay here for sessions it never knew: gone once
  // those are (a running one here ended too short to keep, and was never written out).
  void reconsider(Instant now, Effects& effects);

  // Two rows are one: the alias is kept, the tables follow, and a record saying so is queued
  // for the other computers. For `sync resolve … merge`.
  void unite(const std::string& a, const std::string& b, Effects& effects);

  // The row a gid now stands for.
  [[nodiscard]] std::string canonical(const std::string& gid);

 private:
  struct Group {
    std::int64_t stamp = 0;
    std::string author, value;
    bool creation = false;
    bool present = false;
  };
  struct Merged {
    std::string gid, kind;
    std::int64_t madeStamp = 0;
    std::string madeAuthor;
    double madeAt = 0;
    std::array<Group, 7> groups;
    bool dirty = false;
    [[nodiscard]] Group& group(SyncGroup g);
    [[nodiscard]] const Group& group(SyncGroup g) const;
    [[nodiscard]] bool live() const;
    [[nodiscard]] std::int64_t newest() const;
  };
  struct Statements;

  Merged& row(const std::string& gid, std::string_view kind);
  void merge(Merged& row, const SyncRecord& record, Instant now, Effects* effects);
  void alias(const std::string& a, const std::string& b, Effects& effects);
  // The row is to be written at the next flush.
  void touch(Merged& row);
  void flush();
  void materialize(Instant now, Effects& effects);
  void materializeProject(const std::string& gid, Effects& effects);
  void settleNames(const std::set<std::string>& projects, Effects& effects);
  void materializeSession(const std::string& gid, Instant now, Effects& effects);
  void materializeSource(const std::string& source);
  // A row gone, with its global id (the triggers that would forget it are off while applying).
  void dropSession(std::int64_t id);
  void dropProject(std::int64_t id);
  // Every session of the project's rows (it and those one with it), to bring in line.
  void queueSessionsOf(const std::string& project);
  [[nodiscard]] std::optional<std::int64_t> localId(std::string_view kind, const std::string& gid);
  [[nodiscard]] std::string computerName(const std::string& id);
  [[nodiscard]] bool hasLiveSessions(const std::string& project);
  void conflict(const std::string& key, const std::string& kind, const std::string& detail, Instant now,
                Effects* effects, const std::string& author);
  void queueAlias(const std::string& gone, const std::string& kept);

  Store& store_;
  Database& db_;
  std::string me_;
  HybridClock& clock_;
  std::unique_ptr<Statements> statements_;
  std::unordered_map<std::string, std::string> canonical_;
  std::unordered_map<std::string, Merged> rows_;  // this merge's rows, loaded once, written once
  std::vector<std::string> dirty_;      // the rows changed since the last flush
  std::set<std::string> projects_, sessions_, sources_;  // to bring in line
  std::optional<std::int64_t> openSession_;
  std::optional<double> longest_;  // the longest stored session's length, once read
  bool aliases_ = false, sourcesKnown_ = false;  // whether any row has an alias, any source a session
  std::unordered_map<std::string, std::optional<std::int64_t>> projectIds_;
};

}  // namespace lumetra
