#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "control/ImportReport.hpp"
#include "platform/Instant.hpp"
#include "store/Database.hpp"
#include "store/ImportRow.hpp"
#include "store/Project.hpp"
#include "store/Transaction.hpp"

namespace lumetra {

class Store;

// One import, row by row, inside one transaction: each row is checked against what is stored
// (projects, source IDs imported before) as it comes and written at once, so a file of any size
// goes through with a few dozen bytes per row held; overlaps are found at the end by one sweep
// over the rows and the stored sessions. Kept only when finish() finds nothing to refuse and it
// isn't a dry run; anything else, a throw included, rolls back.
class ImportBatch {
 public:
  ImportBatch(Store& store, bool allowOverlaps, bool dryRun, Instant now);
  ~ImportBatch();
  ImportBatch(const ImportBatch&) = delete;
  ImportBatch& operator=(const ImportBatch&) = delete;

  void add(ImportRow&& row);
  // The file already has a problem: rows are still checked, no longer written.
  void stopWriting() { writing_ = false; }
  // The report, with the file's own problems (in their order) merged in by line.
  ImportReport finish(std::vector<ImportProblem> fileProblems);

 private:
  // A project the rows go to: a stored one, or one the import creates.
  struct Target {
    std::string name;
    std::optional<std::int64_t> projectId;  // absent until a new project is created
    bool isNew = false, archived = false;
    std::int64_t sessions = 0;
    double seconds = 0;
    std::int64_t firstRow = -1;  // order of its first row among the planned ones
  };
  // What overlap finding needs of a planned row.
  struct Planned {
    Instant start, end;
    std::int64_t line;
    std::size_t target;
  };
  struct Resolution {
    std::optional<std::size_t> target;
    std::optional<std::string> problem;
  };

  Resolution resolve(const std::string& name);
  // The earlier line holding the same source ID, if any; else the ID is remembered for `line`.
  std::optional<std::int64_t> earlierSource(const std::string& id, std::int64_t line);
  [[nodiscard]] bool importedBefore(const std::string& id);
  void write(const ImportRow& row, Target& target, const std::optional<std::string>& description,
             const std::optional<std::string>& sourceId);
  std::vector<ImportOverlap> overlaps();
  std::vector<ImportProjectTotal> totals();
  void dropScratch() noexcept;

  Store& store_;
  Database& db_;
  Transaction transaction_;
  const bool allowOverlaps_, dryRun_;
  const Instant now_;
  bool writing_;
  std::int64_t lastStoredId_ = 0;  // sessions above it are this import's
  double longestStored_ = 0;       // the longest finished session stored before, in seconds
  std::vector<Project> projects_;  // archived ones included
  std::vector<Target> targets_;
  std::unordered_map<std::int64_t, std::size_t> targetOfProject_;
  std::unordered_map<std::string, std::size_t> targetOfNewName_;  // by folded name
  // What each name as written resolved to: once a name has been seen, its answer doesn't change.
  std::unordered_map<std::string, Resolution> resolved_;
  std::vector<Planned> planned_;
  std::vector<ImportProblem> problems_;
  std::int64_t skipped_ = 0, approximate_ = 0, placeholder_ = 0;
  // Compiled on first use.
  std::optional<Database::Statement> insertSession_, insertSource_, sourceSeen_, rememberSource_, findSource_;
};

}  // namespace lumetra
