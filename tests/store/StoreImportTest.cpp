// Planning and storing imports.
#include "csv/CSVImporter.hpp"
#include "store/StoreFixture.hpp"

namespace lumetra {
namespace {

class StoreImportTest : public test::StoreFixture {
 protected:
  ImportReport import(const std::string& rows, bool allowOverlaps = false, bool dryRun = false) {
    const auto file = CSVImporter::parse("Project,Start,End,Description,Times,Source ID\n" + rows,
                                         Calendar(test::kTestTimeZone));
    return store().importSessions(file, allowOverlaps, dryRun, at(12, 0));
  }
  std::vector<std::string> problemTexts(const ImportReport& report) {
    std::vector<std::string> out;
    for (const auto& p : report.problems) out.push_back(std::to_string(p.line) + ": " + p.message);
    return out;
  }
};

TEST_F(StoreImportTest, CleanImportCreatesEachNewProjectOnce) {
  const auto report = import(
      "Garden,2024-05-01 08:00,2024-05-01 08:30,,,a\n"
      "GARDEN,2024-05-01 09:00,2024-05-01 09:30,,approximate,\n"
      "garden,2024-05-01 10:00,2024-05-01 10:30, Beds ,placeholder,b\n");
  EXPECT_TRUE(report.imported);
  EXPECT_EQ(report.sessions, 3);
  EXPECT_EQ(report.seconds, 5400);
  EXPECT_EQ(report.projects, (std::vector<ImportProjectTotal>{{"Garden", true, false, 3, 5400}}));
  const auto sessions = store().sessions(std::nullopt, std::nullopt, std::nullopt);
  ASSERT_EQ(sessions.size(), 3u);
  EXPECT_EQ(sessions[2], (WorkSession{3, 1, at(10, 0), at(10, 30), at(10, 30), EndReason::imported, false, "Beds",
                                      SessionTimes::placeholder}));
  EXPECT_EQ(store().sourceIds(), (std::map<std::int64_t, std::string>{{1, "a"}, {3, "b"}}));

  // The same file again: rows with source IDs are skipped, the others are added again.
  const auto again = import(
      "Garden,2024-05-01 08:00,2024-05-01 08:30,,,a\n"
      "GARDEN,2024-05-01 09:00,2024-05-01 09:30,,approximate,\n"
      "garden,2024-05-01 10:00,2024-05-01 10:30, Beds ,placeholder,b\n",
      true);
  EXPECT_EQ(again.skipped, 2);
  EXPECT_EQ(again.sessions, 1);
  EXPECT_EQ(again.projects, (std::vector<ImportProjectTotal>{{"Garden", false, false, 1, 1800}}));
}

TEST_F(StoreImportTest, PlanningProblems) {
  (void)store().createProject("Old", at(0, 0));
  store().setArchived(1, true);
  const auto before = dump();
  const auto report = import(
      "Old,2024-05-01 08:00,2024-05-01 08:30,,,s1\n"
      ",2024-05-01 09:00,2024-05-01 09:30,,,\n"
      "=Evil,2024-05-01 09:00,2024-05-01 09:30,@x,,s1\n"
      "New,2024-05-01 10:00,2024-05-01 10:00,,,+id\n"
      "New,2024-05-01 11:00,2024-05-01 12:30,,,\n");
  EXPECT_EQ(problemTexts(report),
            (std::vector<std::string>{
                "3: Project name cannot be empty.",
                "4: The source ID “s1” is also on line 2.",
                "5: A source ID can't start with =, +, - or @. Spreadsheets would read it as a formula when your "
                "time is exported.",
                "5: The end time must be after the start time.",
                "6: Times can't be in the future.",
            }));
  EXPECT_EQ(report.projects, (std::vector<ImportProjectTotal>{{"Old", false, true, 1, 1800}}));
  EXPECT_EQ(dump(), before);  // one bad row stores nothing at all
}

TEST_F(StoreImportTest, FormulaNamesAndTheExportApostrophe) {
  (void)store().createProject("Garden", at(0, 0));
  store().db().query("INSERT INTO projects (name, created_at) VALUES ('=Old', 0)");
  const auto report = import(
      "'=Old,2024-05-01 08:00,2024-05-01 08:30,,,\n"
      "=New,2024-05-01 09:00,2024-05-01 09:30,,,\n"
      "Garden,2024-05-01 10:00,2024-05-01 10:30,-x,,\n",
      false, true);
  EXPECT_EQ(problemTexts(report),
            (std::vector<std::string>{
                "3: A project name can't start with =, +, - or @. Spreadsheets would read it as a formula when your "
                "time is exported.",
                "4: A description can't start with =, +, - or @. Spreadsheets would read it as a formula when your "
                "time is exported."}));
  EXPECT_EQ(report.projects.front().project, "=Old");
}

TEST_F(StoreImportTest, OverlapsWithStoredSessionsAndWithinTheFile) {
  const auto garden = store().createProject("Garden", at(0, 0)).id;
  const auto stored = store().addSession(garden, at(8, 0), at(9, 10), std::nullopt, at(12, 0));
  const auto running = store().insertSession(garden, at(11, 0), std::nullopt);
  const auto before = dump();
  const auto report = import(
      "A,2024-05-01 07:00,2024-05-01 08:00,,,\n"    // touches the stored one: no overlap
      "A,2024-05-01 09:00,2024-05-01 09:30,,,\n"    // stored session, then line 4 within the file
      "A,2024-05-01 08:50,2024-05-01 09:20,,,\n"    // stored session
      "A,2024-05-01 10:30,2024-05-01 11:30,,,\n");  // the running session, which has no end
  EXPECT_EQ(report.overlaps,
            (std::vector<ImportOverlap>{
                {3, std::nullopt, stored.id, "Garden", at(8, 0), at(9, 10)},
                {3, 4, std::nullopt, "A", at(8, 50), at(9, 20)},
                {4, std::nullopt, stored.id, "Garden", at(8, 0), at(9, 10)},
                {5, std::nullopt, running.id, "Garden", at(11, 0), std::nullopt},
            }));
  EXPECT_FALSE(report.imported);
  EXPECT_EQ(dump(), before);
  EXPECT_TRUE(import("A,2024-05-01 09:00,2024-05-01 09:30,,,\n", true).imported);
}

TEST_F(StoreImportTest, SecondsAreRoundedAfterSumming) {
  const auto report = import(
      "A,2024-05-01T08:00:00.000+02:00,2024-05-01T08:00:00.400+02:00,,,\n"
      "A,2024-05-01T09:00:00.000+02:00,2024-05-01T09:00:00.400+02:00,,,\n",
      false, true);
  EXPECT_EQ(report.seconds, 1);
  EXPECT_EQ(report.projects.front().seconds, 1);
}

TEST_F(StoreImportTest, ProjectsInFileBrowserOrder) {
  const auto report = import(
      "File 10,2024-05-01 08:00,2024-05-01 08:10,,,\n"
      "file 2,2024-05-01 08:10,2024-05-01 08:20,,,\n"
      "Apple,2024-05-01 08:20,2024-05-01 08:30,,,\n",
      false, true);
  std::vector<std::string> names;
  for (const auto& p : report.projects) names.push_back(p.project);
  EXPECT_EQ(names, (std::vector<std::string>{"Apple", "file 2", "File 10"}));
}

TEST_F(StoreImportTest, FailureMidwayLeavesNothing) {
  store().db().exec(
      "CREATE TRIGGER fail_fifth BEFORE INSERT ON sessions WHEN (SELECT COUNT(*) FROM sessions) >= 4 "
      "BEGIN SELECT RAISE(ABORT, 'injected failure'); END;");
  const auto before = dump();
  std::string rows;
  for (int i = 0; i < 5; ++i) rows += "New,2024-05-01 0" + std::to_string(i) + ":00,2024-05-01 0" + std::to_string(i) + ":30,,,\n";
  EXPECT_THROW((void)import(rows), DatabaseError);
  EXPECT_EQ(dump(), before);  // not even the project
}

TEST_F(StoreImportTest, MergedSessionsKeepTheFirstSourceId) {
  (void)import("A,2024-05-01 08:00,2024-05-01 08:30,,,first\nA,2024-05-01 08:30,2024-05-01 09:00,,,second\n");
  (void)store().mergeSessions(1, 2, std::nullopt, 300, at(12, 0));
  EXPECT_EQ(store().sourceIds(), (std::map<std::int64_t, std::string>{{1, "first"}}));
}

}  // namespace
}  // namespace lumetra
