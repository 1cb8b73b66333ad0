// Storing a CSV import.
#include <map>

#include "store/ImportBatch.hpp"
#include "store/Store.hpp"

namespace lumetra {

ImportReport Store::importSessions(ImportFile file, bool allowOverlaps, bool dryRun, Instant now) {
  ImportBatch batch(*this, allowOverlaps, dryRun, now);
  if (!file.problems.empty()) batch.stopWriting();
  for (auto& row : file.rows) batch.add(std::move(row));
  return batch.finish(std::move(file.problems));
}

std::map<std::int64_t, std::string> Store::sourceIds() {
  std::map<std::int64_t, std::string> ids;
  for (const auto& row : db_.query("SELECT source_id, session_id FROM session_sources ORDER BY rowid DESC")) {
    ids[row.integer("session_id")] = row.optionalText("source_id").value_or("");
  }
  return ids;
}

}  // namespace lumetra
