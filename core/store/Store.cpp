#include "store/Store.hpp"

#include <array>
#include <cstdlib>

#include "store/Transaction.hpp"

namespace lumetra {

namespace {

// Each step brings a file from the version before it to the next; the last statement of each
// sets that version inside the step's transaction.
constexpr std::array<const char*, Store::schemaVersion> kMigrations{
    R"(CREATE TABLE projects (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE COLLATE NOCASE,
    archived INTEGER NOT NULL DEFAULT 0,
    created_at REAL NOT NULL
);
CREATE TABLE sessions (
    id INTEGER PRIMARY KEY,
    project_id INTEGER NOT NULL REFERENCES projects(id) ON DELETE CASCADE,
    start_at REAL NOT NULL,
    end_at REAL,
    last_active_at REAL NOT NULL,
    end_reason TEXT
);
CREATE INDEX idx_sessions_project_start ON sessions(project_id, start_at);
CREATE INDEX idx_sessions_start ON sessions(start_at);
-- At most one session may be open at a time.
CREATE UNIQUE INDEX idx_one_open_session ON sessions((end_at IS NULL)) WHERE end_at IS NULL;
CREATE TABLE settings (
    key TEXT PRIMARY KEY,
    value TEXT NOT NULL
);
PRAGMA user_version = 1;
)",
    R"(ALTER TABLE sessions ADD COLUMN edited INTEGER NOT NULL DEFAULT 0;
PRAGMA user_version = 2;
)",
    R"(ALTER TABLE sessions ADD COLUMN description TEXT;
PRAGMA user_version = 3;
)",
    R"(ALTER TABLE sessions ADD COLUMN times TEXT NOT NULL DEFAULT 'real' CHECK (times IN ('real', 'approximate', 'placeholder'));
-- The source IDs of imported rows, so an import can be run again without adding
-- them twice. A merged session keeps the IDs of both; deleting a session forgets them.
CREATE TABLE session_sources (
    source_id TEXT PRIMARY KEY,
    session_id INTEGER NOT NULL REFERENCES sessions(id) ON DELETE CASCADE
);
CREATE INDEX idx_session_sources_session ON session_sources(session_id);
PRAGMA user_version = 4;
)",
};

// The last tracked session is the first one walking back from the latest end; a session
// overlapping a span starts at most the longest session's length before the span does; a
// report sums a project's times in a span from the index alone.
constexpr const char* kSpeedIndexes =
    "CREATE INDEX IF NOT EXISTS idx_sessions_end ON sessions(end_at, id);\n"
    "CREATE INDEX IF NOT EXISTS idx_sessions_length ON sessions(end_at - start_at);\n"
    "CREATE INDEX IF NOT EXISTS idx_sessions_project_times ON sessions(project_id, start_at, end_at);";

}  // namespace

Store::Store(const std::string& path) : db_(path) { migrate(); }

Store::Store(const std::string& path, Database::ReadOnly readOnly) : db_(path, readOnly) {}

void Store::migrate() {
  const auto rows = db_.query("PRAGMA user_version");
  const std::int64_t version = rows.empty() ? 0 : rows.front().integer("user_version");
  for (std::int64_t step = std::max<std::int64_t>(version, 0); step < schemaVersion; ++step) {
    Transaction transaction(db_);
    db_.exec(kMigrations[static_cast<std::size_t>(step)]);
    transaction.commit();
  }
  // Indexes for speed alone, outside the numbered steps: they change no result, so the schema
  // version stays; a file of a later version is left as it is.
  if (version <= schemaVersion) db_.exec(kSpeedIndexes);
}

std::optional<std::string> Store::damage() {
  // dbstat walks every page of every table and index and names the ones it can't make sense of:
  // a tenth of the time of quick_check on a large file, and it finds overwritten pages all the
  // same. Where SQLite is built without it, quick_check does the work.
  std::vector<Row> walk;
  try {
    walk = db_.query("SELECT count(*) AS walked, coalesce(sum(pagetype = 'corrupted'), 0) AS unreadable FROM dbstat");
  } catch (const DatabaseError& error) {
    if (error.kind() != DatabaseError::Case::prepare) throw;
    const auto rows = db_.query("PRAGMA quick_check");
    if (rows.size() == 1 && rows.front().optionalText("quick_check") == "ok") return std::nullopt;
    return rows.empty() ? "no answer" : rows.front().optionalText("quick_check").value_or("no answer");
  }
  const std::int64_t unreadable = walk.front().integer("unreadable");
  if (unreadable > 0) return std::to_string(unreadable) + (unreadable == 1 ? " page" : " pages") + " can't be read";
  // Every page is in a table, an index or the free list; the one SQLite reserves past 1 GiB in none.
  const std::int64_t lost = db_.query("PRAGMA page_count").front().integer("page_count") -
                            db_.query("PRAGMA freelist_count").front().integer("freelist_count") -
                            walk.front().integer("walked");
  if (lost > 1 || lost < 0) return std::to_string(std::abs(lost)) + " pages are unaccounted for";
  return std::nullopt;
}

}  // namespace lumetra
