#include "sync/SyncSchema.hpp"

#include <string>

namespace lumetra::SyncSchema {

namespace {

// Written by this computer's own statements, not by applying another's records.
#define LOCAL "(SELECT value FROM sync_state WHERE key = 'applying') = 0"
#define CLOSED "OLD.end_at IS NOT NULL AND NEW.end_at IS NOT NULL"

constexpr const char* kTables = R"(
CREATE TABLE sync_state (key TEXT PRIMARY KEY, value) WITHOUT ROWID;
INSERT INTO sync_state (key, value) VALUES ('applying', 0);
-- Each row's global id (given when it is first to be written out, or runs); a row that goes
-- forgets it, as its integer id may be given again.
CREATE TABLE sync_ids (
    kind TEXT NOT NULL, local_id INTEGER NOT NULL, gid TEXT UNIQUE,
    published INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (kind, local_id)) WITHOUT ROWID;
-- What waits to be written out, in order. Numbers may be given again once it is empty: a number
-- only ever stands for an entry until the drain that wrote it is noted.
CREATE TABLE sync_outbox (
    seq INTEGER PRIMARY KEY, kind TEXT NOT NULL, local_id INTEGER, gid TEXT, source TEXT, grp TEXT NOT NULL);
-- Each row as merged: when and by whom it was first made, and per field group (name, archived,
-- project, span, description, edited, live) the winning value with its stamp and author (none
-- when they are the first record's). A group's value is JSON; "live" is true, or the newest
-- stamp its deleter had seen.
CREATE TABLE sync_rows (
    gid TEXT PRIMARY KEY, kind TEXT NOT NULL,
    made_s INTEGER, made_a TEXT, made_at REAL,
    name_s INTEGER, name_a TEXT, name_v TEXT, name_c INTEGER,
    archived_s INTEGER, archived_a TEXT, archived_v TEXT,
    project_s INTEGER, project_a TEXT, project_v TEXT,
    span_s INTEGER, span_a TEXT, span_v TEXT,
    description_s INTEGER, description_a TEXT, description_v TEXT,
    edited_s INTEGER, edited_a TEXT, edited_v TEXT,
    live_s INTEGER, live_a TEXT, live_v TEXT) WITHOUT ROWID;
CREATE INDEX sync_rows_by_project ON sync_rows (project_v) WHERE kind = 'session';
CREATE INDEX sync_rows_by_name ON sync_rows (lower(name_v)) WHERE kind = 'project';
CREATE TABLE sync_alias (gid TEXT PRIMARY KEY, canonical TEXT NOT NULL) WITHOUT ROWID;
CREATE INDEX sync_alias_by_canonical ON sync_alias (canonical);
CREATE TABLE sync_sources (
    source_id TEXT NOT NULL, gid TEXT NOT NULL, stamp INTEGER NOT NULL, author TEXT NOT NULL,
    PRIMARY KEY (source_id, gid)) WITHOUT ROWID;
CREATE INDEX sync_sources_by_gid ON sync_sources (gid);
-- The other computers: how far this one has read each log, and what each said of itself.
CREATE TABLE sync_peers (
    computer TEXT PRIMARY KEY, name TEXT NOT NULL DEFAULT '', applied INTEGER NOT NULL DEFAULT 0,
    file TEXT NOT NULL DEFAULT '', offset INTEGER NOT NULL DEFAULT 0, copies TEXT NOT NULL DEFAULT '[]',
    last INTEGER NOT NULL DEFAULT 0, written REAL, ahead REAL NOT NULL DEFAULT 0, later INTEGER NOT NULL DEFAULT 0,
    forgotten INTEGER NOT NULL DEFAULT 0, running TEXT) WITHOUT ROWID;
CREATE TABLE sync_conflicts (
    id INTEGER PRIMARY KEY AUTOINCREMENT, key TEXT NOT NULL UNIQUE, kind TEXT NOT NULL, detail TEXT NOT NULL,
    at REAL NOT NULL);
CREATE TABLE sync_bad (
    computer TEXT NOT NULL, file TEXT NOT NULL, line INTEGER NOT NULL, problem TEXT NOT NULL,
    PRIMARY KEY (computer, file, line)) WITHOUT ROWID;
CREATE TABLE sync_stops (gid TEXT PRIMARY KEY, at REAL NOT NULL) WITHOUT ROWID;
)";

constexpr const char* kTriggers =
    "CREATE TRIGGER sync_project_new AFTER INSERT ON projects WHEN " LOCAL " BEGIN\n"
    "  INSERT INTO sync_outbox (kind, local_id, grp) VALUES ('project', NEW.id, 'all');\nEND;\n"
    "CREATE TRIGGER sync_project_name AFTER UPDATE OF name ON projects WHEN " LOCAL
    " AND OLD.name IS NOT NEW.name BEGIN\n"
    "  INSERT INTO sync_outbox (kind, local_id, grp) VALUES ('project', NEW.id, 'name');\nEND;\n"
    "CREATE TRIGGER sync_project_archived AFTER UPDATE OF archived ON projects WHEN " LOCAL
    " AND OLD.archived IS NOT NEW.archived BEGIN\n"
    "  INSERT INTO sync_outbox (kind, local_id, grp) VALUES ('project', NEW.id, 'archived');\nEND;\n"
    "CREATE TRIGGER sync_project_gone AFTER DELETE ON projects BEGIN\n"
    "  INSERT INTO sync_outbox (kind, local_id, gid, grp) SELECT 'project', OLD.id, gid, 'dead' FROM sync_ids\n"
    "    WHERE kind = 'project' AND local_id = OLD.id AND published = 1 AND " LOCAL ";\n"
    "  DELETE FROM sync_ids WHERE kind = 'project' AND local_id = OLD.id;\nEND;\n"
    // The running session is this computer's alone until it ends: only its end publishes it.
    "CREATE TRIGGER sync_session_new AFTER INSERT ON sessions WHEN " LOCAL " AND NEW.end_at IS NOT NULL BEGIN\n"
    "  INSERT INTO sync_outbox (kind, local_id, grp) VALUES ('session', NEW.id, 'all');\nEND;\n"
    "CREATE TRIGGER sync_session_ended AFTER UPDATE OF end_at ON sessions WHEN " LOCAL
    " AND OLD.end_at IS NULL AND NEW.end_at IS NOT NULL BEGIN\n"
    "  INSERT INTO sync_outbox (kind, local_id, grp) VALUES ('session', NEW.id, 'all');\nEND;\n"
    "CREATE TRIGGER sync_session_project AFTER UPDATE OF project_id ON sessions WHEN " LOCAL " AND " CLOSED
    " AND OLD.project_id IS NOT NEW.project_id BEGIN\n"
    "  INSERT INTO sync_outbox (kind, local_id, grp) VALUES ('session', NEW.id, 'project');\nEND;\n"
    "CREATE TRIGGER sync_session_span AFTER UPDATE OF start_at, end_at, last_active_at, end_reason, times ON sessions"
    " WHEN " LOCAL " AND " CLOSED
    " AND (OLD.start_at IS NOT NEW.start_at OR OLD.end_at IS NOT NEW.end_at OR OLD.last_active_at IS NOT"
    " NEW.last_active_at OR OLD.end_reason IS NOT NEW.end_reason OR OLD.times IS NOT NEW.times) BEGIN\n"
    "  INSERT INTO sync_outbox (kind, local_id, grp) VALUES ('session', NEW.id, 'span');\nEND;\n"
    "CREATE TRIGGER sync_session_description AFTER UPDATE OF description ON sessions WHEN " LOCAL " AND " CLOSED
    " AND OLD.description IS NOT NEW.description BEGIN\n"
    "  INSERT INTO sync_outbox (kind, local_id, grp) VALUES ('session', NEW.id, 'description');\nEND;\n"
    "CREATE TRIGGER sync_session_edited AFTER UPDATE OF edited ON sessions WHEN " LOCAL " AND " CLOSED
    " AND OLD.edited IS NOT NEW.edited BEGIN\n"
    "  INSERT INTO sync_outbox (kind, local_id, grp) VALUES ('session', NEW.id, 'edited');\nEND;\n"
    "CREATE TRIGGER sync_session_gone AFTER DELETE ON sessions BEGIN\n"
    "  INSERT INTO sync_outbox (kind, local_id, gid, grp) SELECT 'session', OLD.id, gid, 'dead' FROM sync_ids\n"
    "    WHERE kind = 'session' AND local_id = OLD.id AND published = 1 AND " LOCAL ";\n"
    "  DELETE FROM sync_ids WHERE kind = 'session' AND local_id = OLD.id;\nEND;\n"
    "CREATE TRIGGER sync_source_new AFTER INSERT ON session_sources WHEN " LOCAL " BEGIN\n"
    "  INSERT INTO sync_outbox (kind, local_id, source, grp) VALUES ('source', NEW.session_id, NEW.source_id, "
    "'source');\nEND;\n"
    "CREATE TRIGGER sync_source_moved AFTER UPDATE OF session_id ON session_sources WHEN " LOCAL
    " AND OLD.session_id IS NOT NEW.session_id BEGIN\n"
    "  INSERT INTO sync_outbox (kind, local_id, source, grp) VALUES ('source', NEW.session_id, NEW.source_id, "
    "'source');\nEND;\n";

#undef LOCAL
#undef CLOSED

// Every row there is gets its id and is queued to be published: projects, then finished
// sessions, then their sources, so that each refers only to what came before it.
constexpr const char* kExisting = R"(
INSERT INTO sync_ids (kind, local_id) SELECT 'project', id FROM projects;
INSERT INTO sync_ids (kind, local_id) SELECT 'session', id FROM sessions;
INSERT INTO sync_outbox (kind, local_id, grp) SELECT 'project', id, 'all' FROM projects ORDER BY id;
INSERT INTO sync_outbox (kind, local_id, grp)
    SELECT 'session', id, 'all' FROM sessions WHERE end_at IS NOT NULL ORDER BY start_at, id;
INSERT INTO sync_outbox (kind, local_id, source, grp)
    SELECT 'source', session_id, source_id, 'source' FROM session_sources ORDER BY rowid;
)";

constexpr const char* kNames[] = {
    "sync_project_new", "sync_project_name", "sync_project_archived", "sync_project_gone", "sync_session_new",
    "sync_session_ended", "sync_session_project", "sync_session_span", "sync_session_description",
    "sync_session_edited", "sync_session_gone", "sync_source_new", "sync_source_moved"};
constexpr const char* kTableNames[] = {"sync_state", "sync_ids", "sync_outbox", "sync_rows",
                                       "sync_alias", "sync_sources", "sync_peers", "sync_conflicts", "sync_bad",
                                       "sync_stops"};

void dropTriggers(Database& db) {
  for (const char* trigger : kNames) db.exec(std::string("DROP TRIGGER IF EXISTS ") + trigger);
}

}  // namespace

bool installed(Database& db) {
  return !db.query("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'sync_state'").empty();
}

void install(Database& db) {
  db.exec(kTables);
  db.exec(kTriggers);
  db.exec(kExisting);
}

void update(Database& db) {
  // An earlier version's triggers gave every new row its id on the spot: the same outcome at
  // twice an import's cost.
  const auto made = db.query("SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = 'sync_session_new'");
  if (made.empty() || made.front().optionalText("sql").value_or("").find("sync_ids") == std::string::npos) return;
  dropTriggers(db);
  db.exec(kTriggers);
}

void remove(Database& db) {
  dropTriggers(db);
  for (const char* table : kTableNames) db.exec(std::string("DROP TABLE IF EXISTS ") + table);
  db.exec("DELETE FROM sqlite_sequence WHERE name IN ('sync_outbox', 'sync_conflicts')");
}

void setApplying(Database& db, bool applying) {
  db.query("UPDATE sync_state SET value = ? WHERE key = 'applying'", {applying ? 1 : 0});
  // Not even asked: with triggers on, every row written pays for them.
  db.setTriggersEnabled(!applying);
}

}  // namespace lumetra::SyncSchema
