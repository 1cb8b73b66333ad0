// Opening, schema and migrations.
#include "store/Store.hpp"

#include "store/StoreFixture.hpp"

namespace lumetra {
namespace {

class StoreTest : public test::StoreFixture {
 protected:
  // A file at an older version, built by hand as that version of the schema was.
  void buildVersion(int version) {
    Database db(path());
    db.exec(R"(CREATE TABLE projects (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE,
                 archived INTEGER NOT NULL DEFAULT 0, created_at REAL NOT NULL);
               CREATE TABLE sessions (id INTEGER PRIMARY KEY,
                 project_id INTEGER NOT NULL REFERENCES projects(id) ON DELETE CASCADE, start_at REAL NOT NULL,
                 end_at REAL, last_active_at REAL NOT NULL, end_reason TEXT);
               CREATE INDEX idx_sessions_project_start ON sessions(project_id, start_at);
               CREATE INDEX idx_sessions_start ON sessions(start_at);
               CREATE UNIQUE INDEX idx_one_open_session ON sessions((end_at IS NULL)) WHERE end_at IS NULL;
               CREATE TABLE settings (key TEXT PRIMARY KEY, value TEXT NOT NULL);
               INSERT INTO projects VALUES (1, 'Garden', 0, 100);
               INSERT INTO sessions VALUES (1, 1, 1000, 2000, 2000, 'manual');
               INSERT INTO settings VALUES ('idle_timeout', '300.0');)");
    if (version >= 2)
      db.exec("ALTER TABLE sessions ADD COLUMN edited INTEGER NOT NULL DEFAULT 0; UPDATE sessions SET edited = 1;");
    if (version >= 3)
      db.exec("ALTER TABLE sessions ADD COLUMN description TEXT; UPDATE sessions SET description = 'Beds';");
    db.exec("PRAGMA user_version = " + std::to_string(version));
  }

  std::vector<std::string> names(const std::string& type) {
    std::vector<std::string> found;
    for (const auto& row : store().db().query("SELECT name FROM sqlite_master WHERE type = ? AND name NOT LIKE "
                                              "'sqlite_%' ORDER BY name",
                                              {type})) {
      found.push_back(*row.optionalText("name"));
    }
    return found;
  }
  std::int64_t version() { return store().db().query("PRAGMA user_version").front().integer("user_version"); }
};

TEST_F(StoreTest, NewFileHasTheWholeSchema) {
  EXPECT_EQ(version(), 4);
  EXPECT_EQ(names("table"), (std::vector<std::string>{"projects", "session_sources", "sessions", "settings"}));
  EXPECT_EQ(names("index"),
            (std::vector<std::string>{"idx_one_open_session", "idx_session_sources_session", "idx_sessions_end",
                                      "idx_sessions_length", "idx_sessions_project_start", "idx_sessions_project_times",
                                      "idx_sessions_start"}));
  const auto project = store().createProject("Garden", Instant(1));
  store().db().exec("INSERT INTO sessions (project_id, start_at, last_active_at) VALUES (1, 5, 5)");
  EXPECT_EQ(store().db().query("SELECT times, edited, description FROM sessions").front().optionalText("times"),
            "real");
  EXPECT_EQ(project.id, 1);
}

TEST_F(StoreTest, OlderFilesAreMigratedKeepingTheirData) {
  for (int v = 1; v <= 3; ++v) {
    SCOPED_TRACE(v);
    store_.reset();
    std::filesystem::remove_all(folder.path());
    std::filesystem::create_directory(folder.path());
    buildVersion(v);
    EXPECT_EQ(version(), 4);
    const auto session = store().session(1);
    ASSERT_TRUE(session);
    EXPECT_EQ(session->end, Instant(2000));
    EXPECT_EQ(session->endReason, EndReason::manual);
    EXPECT_EQ(session->edited, v >= 2);
    EXPECT_EQ(session->description, v >= 3 ? std::optional<std::string>("Beds") : std::nullopt);
    EXPECT_EQ(session->times, SessionTimes::real);
    EXPECT_EQ(store().idleTimeout(), 300);
    EXPECT_EQ(store().projects(true).front().name, "Garden");
  }
}

TEST_F(StoreTest, LaterVersionIsUsedUnchanged) {
  {
    Database db(path());
    db.exec("CREATE TABLE future (x); PRAGMA user_version = 7;");
  }
  EXPECT_EQ(version(), 7);
  EXPECT_EQ(names("table"), std::vector<std::string>{"future"});
}

// Given a file at version 3 that already has a table the fourth step creates, expect that
// step rolled back (no new column either), and the next open to resume from it.
TEST_F(StoreTest, FailedStepIsRolledBackAndResumedLater) {
  buildVersion(3);
  {
    Database db(path());
    db.exec("CREATE TABLE session_sources (x)");
  }
  EXPECT_EQ(test::thrownText<DatabaseError>([&] { Store failing(path()); }),
            "Database error: table session_sources already exists");
  {
    Database db(path());
    EXPECT_EQ(db.query("PRAGMA user_version").front().integer("user_version"), 3);
    EXPECT_EQ(
        db.query("SELECT COUNT(*) AS n FROM pragma_table_info('sessions') WHERE name = 'times'").front().integer("n"),
        0);
    db.exec("DROP TABLE session_sources");
  }
  EXPECT_EQ(version(), 4);
  EXPECT_EQ(store().session(1)->description, "Beds");
}

TEST_F(StoreTest, OneOpenSessionAtATime) {
  const auto project = store().createProject("Garden", at(8, 0));
  const auto first = store().insertSession(project.id, at(9, 0), std::nullopt);
  try {
    (void)store().insertSession(project.id, at(9, 5), std::nullopt);
    ADD_FAILURE();
  } catch (const DatabaseError& error) {
    EXPECT_EQ(error.kind(), DatabaseError::Case::constraint);
    EXPECT_EQ(error.description(), "Constraint violated: UNIQUE constraint failed: index 'idx_one_open_session'");
  }
  store().closeSession(first.id, at(9, 5), at(9, 5), EndReason::manual);
  EXPECT_NO_THROW((void)store().insertSession(project.id, at(9, 5), std::nullopt));
}

TEST_F(StoreTest, DeletingAProjectRemovesItsSessionsAndSources) {
  const auto garden = store().createProject("Garden", at(8, 0));
  const auto other = store().createProject("Other", at(8, 0));
  const auto kept = store().addSession(other.id, at(9, 0), at(9, 30), std::nullopt, at(12, 0));
  const auto gone = store().addSession(garden.id, at(10, 0), at(10, 30), std::nullopt, at(12, 0));
  store().db().query("INSERT INTO session_sources (source_id, session_id) VALUES ('a', ?), ('b', ?)",
                     {gone.id, kept.id});
  store().deleteProject(garden.id);
  EXPECT_EQ(store().session(gone.id), std::nullopt);
  EXPECT_EQ(store().session(kept.id), kept);
  EXPECT_EQ(store().db().query("SELECT source_id FROM session_sources").size(), 1u);
  EXPECT_EQ(store().project(garden.id), std::nullopt);
}

}  // namespace
}  // namespace lumetra
