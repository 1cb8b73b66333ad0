#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/ImportFile.hpp"
#include "control/ImportReport.hpp"
#include "platform/Instant.hpp"
#include "platform/UserFolders.hpp"
#include "store/Database.hpp"
#include "store/EndReason.hpp"
#include "store/PeriodTotal.hpp"
#include "store/Project.hpp"
#include "store/StoreError.hpp"
#include "store/WorkSession.hpp"

namespace lumetra {

// Lumetra's persistent store: one SQLite database in the data directory, migrated to the
// current schema when opened. Not thread-safe: the host uses it from its owner thread only.
// Every operation may throw DatabaseError besides the errors it names.
class Store {
 public:
  // The database's file name inside the data directory.
  static constexpr std::string_view databaseName = "lumetra.sqlite";
  // The schema version a new file ends at (SQLite's user_version).
  static constexpr int schemaVersion = 4;
  // The idle time-out when none is stored, in seconds.
  static constexpr double defaultIdleTimeout = 600;
  // Between the two descriptions of merged sessions.
  static constexpr std::string_view mergedDescriptionSeparator = "; ";
  // End reasons whose end time was not observed by tracking.
  static constexpr std::array<EndReason, 3> handEnteredEnds{EndReason::added, EndReason::imported,
                                                            EndReason::merged};

  // --- Data location ---

  // The data directory: LUMETRA_DATA_DIR when set and not empty, else "Lumetra" in the user's
  // application-support folder. Doesn't create it.
  [[nodiscard]] static std::filesystem::path defaultDirectory();
  [[nodiscard]] static std::filesystem::path defaultDirectory(const Environment& environment);
  // LUMETRA_DATA_DIR of the current process, or of the given environment, when set and not
  // empty (a scratch run). Taken unchanged; a relative path is relative to the working folder.
  [[nodiscard]] static std::optional<std::filesystem::path> directoryOverride();
  [[nodiscard]] static std::optional<std::filesystem::path> directoryOverride(const Environment& environment);

  // --- Text rules ---

  // Whether the first scalar that is neither white space nor a format character (Cf) is
  // "=", "+", "-" or "@": a spreadsheet would read the text as a formula.
  [[nodiscard]] static bool startsLikeFormula(std::string_view text);
  // The text without white space and newlines at either end.
  [[nodiscard]] static std::string trimmed(std::string_view text);
  // The name with ASCII letters lowered, as the NOCASE collation compares names.
  [[nodiscard]] static std::string foldedName(std::string_view name);
  // Trimmed; empty becomes absent.
  [[nodiscard]] static std::optional<std::string> normalizedDescription(const std::optional<std::string>& text);
  // Normalised, and refused (leadingFormulaCharacter, description) when it starts like a formula
  // unless it equals one of `existing`: texts stored before the rule may be kept, not newly typed.
  [[nodiscard]] static std::optional<std::string> validDescription(
      const std::optional<std::string>& text, const std::vector<std::optional<std::string>>& existing = {});
  // Both trimmed, empty as absent: one alone, one if equal, else "first; second".
  [[nodiscard]] static std::optional<std::string> mergedDescription(const std::optional<std::string>& a,
                                                                    const std::optional<std::string>& b);

  // --- Opening ---

  // Opens (creating if missing) the database at `path` and migrates it, each step in its own
  // transaction. Throws DatabaseError; a failed step is rolled back and the next open resumes
  // from it. A file of a later version is used unchanged.
  explicit Store(const std::string& path);
  // A store that only reads a file a store opened above keeps: for long reads (reports,
  // exports) on a thread of their own while the other writes. Its writes fail. Nothing is
  // migrated. Throws DatabaseError.
  Store(const std::string& path, Database::ReadOnly readOnly);
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  [[nodiscard]] Database& db() { return db_; }
  // The one thread that may use the store, the tracker on it and the handlers; checked in debug
  // and sanitizer builds. The host opens the store on its main thread, then releases it to the
  // owner thread.
  [[nodiscard]] OwnerThread& owner() const noexcept { return db_.owner(); }

  // When more than half of the file's pages are free (after many deletes), gives them back to
  // the file system, at most once a day: true when it did. Fails quietly when a reader holds
  // the file; the next call tries again.
  bool reclaimSpace(Instant now);

  // What is wrong with the file's pages (pages that can't be read, pages in no table, index or
  // free list), or nothing when every page is sound. Reads every page once; writes nothing.
  // Throws DatabaseError (isDamage) when SQLite can't even walk the file.
  [[nodiscard]] std::optional<std::string> damage();

  // --- Projects and settings ---

  // Throws emptyName, leadingFormulaCharacter (projectName) or duplicateName.
  Project createProject(std::string_view name, Instant now);
  // Same errors; a project may keep a formula-like name it already has. A missing id is no error.
  void renameProject(std::int64_t id, std::string_view to);
  void setArchived(std::int64_t id, bool archived);
  // Deletes the project with its sessions and their import sources.
  void deleteProject(std::int64_t id);
  [[nodiscard]] std::optional<Project> project(std::int64_t id);
  // By name, ignoring ASCII case; archived ones only with `includeArchived`.
  [[nodiscard]] std::vector<Project> projects(bool includeArchived);

  [[nodiscard]] std::optional<std::string> setting(const std::string& key);
  void setSetting(const std::string& key, const std::string& value);
  // The stored idle time-out when it is a number above 0, infinity when it is "off", else
  // defaultIdleTimeout.
  [[nodiscard]] double idleTimeout();
  // Infinity stores "off": sessions don't stop for want of input.
  void setIdleTimeout(double seconds);

  // --- Session lifecycle and queries ---

  [[nodiscard]] std::optional<WorkSession> openSession();
  // Starts a tracked session. Throws leadingFormulaCharacter (description), and
  // DatabaseError::constraint while another session is open.
  WorkSession insertSession(std::int64_t projectId, Instant start, const std::optional<std::string>& description,
                            const std::vector<std::optional<std::string>>& existing = {});
  void updateLastActive(std::int64_t sessionId, Instant at);
  // A number that grows with every change to what the store holds, but not with the running
  // session's last activity, so a page can tell when to read again.
  [[nodiscard]] std::int64_t revision() const;
  void closeSession(std::int64_t id, Instant end, Instant lastActive, EndReason reason);
  // Throws sessionNotFound or leadingFormulaCharacter (description). Empty text clears it.
  WorkSession setDescription(std::int64_t sessionId, const std::optional<std::string>& text);
  [[nodiscard]] std::optional<WorkSession> session(std::int64_t id);
  // The newest sessions, newest first.
  [[nodiscard]] std::vector<WorkSession> recentSessions(std::int64_t limit);
  // Sessions by project and start (from inclusive, to exclusive), oldest first.
  [[nodiscard]] std::vector<WorkSession> sessions(const std::optional<std::vector<std::int64_t>>& projectIds,
                                                  std::optional<Instant> from, std::optional<Instant> to);
  // The last `limit` of what sessions() returns, still oldest first, read from the newest end
  // of the index so the cost doesn't grow with the number of sessions.
  [[nodiscard]] std::vector<WorkSession> latestSessions(const std::optional<std::vector<std::int64_t>>& projectIds,
                                                        std::optional<Instant> from, std::optional<Instant> to,
                                                        std::int64_t limit);
  // Seconds per project id over the sessions starting in the range; the open one counts to `now`.
  [[nodiscard]] std::map<std::int64_t, double> totals(std::optional<Instant> from, std::optional<Instant> to,
                                                      Instant now);
  // Seconds per span and project of the time sessions spent inside each span (a session
  // crossing a span's edge counts only its part inside), summed by SQL; the open session counts
  // up to `now` and is marked running. Only the given projects when there is a list.
  [[nodiscard]] std::vector<PeriodTotal> periodTotals(const std::vector<std::pair<Instant, Instant>>& spans,
                                                      const std::optional<std::vector<std::int64_t>>& projectIds,
                                                      Instant now);
  // When the earliest session starts.
  [[nodiscard]] std::optional<Instant> firstStart();
  // When the session that ends last ends.
  [[nodiscard]] std::optional<Instant> latestEnd();
  // The most recently ended session whose end tracking observed (none entered by hand,
  // imported or merged). Walks the end index back from the latest end.
  [[nodiscard]] std::optional<WorkSession> lastTrackedSession();
  // Sessions sharing time with [start, end); the open session ends at `now`.
  [[nodiscard]] std::vector<WorkSession> overlappingSessions(Instant start, Instant end,
                                                             std::optional<std::int64_t> excluding, Instant now);

  // --- Session editing ---

  struct SplitResult {
    WorkSession first, second;
    bool operator==(const SplitResult&) const = default;
  };
  struct Neighbours {
    std::optional<WorkSession> previous, next;
    bool operator==(const Neighbours&) const = default;
  };

  // A finished session entered by hand. Throws endBeforeStart, inFuture, leadingFormulaCharacter.
  WorkSession addSession(std::int64_t projectId, Instant start, Instant end,
                         const std::optional<std::string>& description, Instant now);
  // New project and times; `end` absent only for the open session. Throws sessionNotFound,
  // endBeforeStart, inFuture.
  WorkSession updateSession(std::int64_t id, std::int64_t projectId, Instant start, std::optional<Instant> end,
                            Instant now);
  void deleteSession(std::int64_t id);
  // Two parts at `at`, which must be at least a second inside the session. All or nothing.
  // Throws sessionNotFound, splitOutsideSession, leadingFormulaCharacter.
  SplitResult splitSession(std::int64_t id, Instant at, const std::optional<std::string>& firstDescription,
                           const std::optional<std::string>& secondDescription, Instant now);
  // The neighbours the session may be merged with.
  [[nodiscard]] Neighbours mergeableNeighbours(std::int64_t id, double tolerance, Instant now);
  // The later session folded into the earlier. All or nothing. Throws sessionNotFound,
  // cannotMerge, leadingFormulaCharacter.
  WorkSession mergeSessions(std::int64_t earlierId, std::int64_t laterId, const std::optional<std::string>& description,
                            double tolerance, Instant now);

  // --- Import storage ---

  // Checks every row of the file against what is stored (projects, source IDs imported before,
  // overlaps) and, unless it is a dry run or the report refuses it, stores them: all or nothing,
  // in one transaction. A file read in pieces goes through an ImportBatch. Throws only storage
  // failures, after rolling back.
  ImportReport importSessions(ImportFile file, bool allowOverlaps, bool dryRun, Instant now);
  // For each session that owns source IDs, the one stored first.
  [[nodiscard]] std::map<std::int64_t, std::string> sourceIds();

 private:
  friend class ImportBatch;
  void migrate();
  [[nodiscard]] std::optional<WorkSession> sessionBefore(const WorkSession& session);
  [[nodiscard]] std::optional<WorkSession> sessionAfter(const WorkSession& session);
  [[nodiscard]] bool canMerge(const WorkSession& earlier, const WorkSession& later, double tolerance, Instant now);
  [[nodiscard]] std::vector<WorkSession> sessionsFrom(const std::string& sql, const std::vector<SQLValue>& params);
  [[nodiscard]] std::optional<WorkSession> firstSession(const std::string& sql, const std::vector<SQLValue>& params);

  Database db_;
  std::int64_t heartbeatChanges_ = 0;
};

}  // namespace lumetra
