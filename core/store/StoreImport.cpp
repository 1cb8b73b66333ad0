// Storing a planned CSV import.
#include <map>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "store/ImportPlanner.hpp"
#include "store/Store.hpp"
#include "store/Transaction.hpp"

namespace lumetra {

ImportReport Store::importSessions(ImportFile file, bool allowOverlaps, bool dryRun, Instant now) {
  Transaction transaction(db_);
  // Which of the file's source IDs were imported before, in one read: the IDs go in as one JSON
  // array and each is looked up in the source index.
  nlohmann::json named = nlohmann::json::array();
  for (const auto& row : file.rows) {
    if (row.sourceId) named.push_back(trimmed(*row.sourceId));
  }
  std::unordered_set<std::string> importedBefore;
  if (!named.empty()) {
    for (const auto& row : db_.query("SELECT value FROM json_each(?) WHERE EXISTS (SELECT 1 FROM session_sources "
                                     "WHERE source_id = json_each.value)",
                                     {named.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)})) {
      importedBefore.insert(row.optionalText("value").value_or(""));
    }
  }
  const ImportPlanner::Stored stored{
      projects(true), [&](const std::string& id) { return importedBefore.contains(id); },
      [&](Instant start, Instant end) { return overlappingSessions(start, end, std::nullopt, now); }};
  auto [plans, result] = ImportPlanner::plan(std::move(file), allowOverlaps, dryRun, stored, now);

  if (!dryRun && result.canImport()) {
    std::map<std::string, std::int64_t> created;  // name → id of a project this import made
    // Compiled once for all the rows, finalised when the import ends.
    Database::Statement insertSession(db_,
                                      "INSERT INTO sessions (project_id, start_at, end_at, last_active_at, end_reason, "
                                      "description,\n                      times)\nVALUES (?, ?, ?, ?, ?, ?, ?)");
    Database::Statement insertSource(db_, "INSERT INTO session_sources (source_id, session_id) VALUES (?, ?)");
    for (const auto& plan : plans) {
      std::int64_t projectId = 0;
      if (const auto* existing = std::get_if<Project>(&plan.project)) {
        projectId = existing->id;
      } else {
        const std::string& newName = std::get<ImportPlan::NewProject>(plan.project).name;
        auto it = created.find(newName);
        if (it == created.end()) it = created.emplace(newName, createProject(newName, now).id).first;
        projectId = it->second;
      }
      insertSession.run({projectId, plan.row.start, plan.row.end, plan.row.end, "imported", plan.description,
                         std::string(rawValue(plan.row.times))});
      if (plan.sourceId) insertSource.run({*plan.sourceId, db_.lastInsertRowId()});
    }
    result.imported = true;
  }
  transaction.commit();
  return result;
}

std::map<std::int64_t, std::string> Store::sourceIds() {
  std::map<std::int64_t, std::string> ids;
  for (const auto& row : db_.query("SELECT source_id, session_id FROM session_sources ORDER BY rowid DESC")) {
    ids[row.integer("session_id")] = row.optionalText("source_id").value_or("");
  }
  return ids;
}

}  // namespace lumetra
