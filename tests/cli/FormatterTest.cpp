#include "cli/Formatter.hpp"

#include <gtest/gtest.h>

#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

using CommandLineTool::Formatter;
using test::localTime;

const Formatter kFormatter(localTime(2024, 5, 1, 12, 0), Calendar(test::kTestTimeZone));

SessionInfo session(std::int64_t id, std::string project, Instant start, std::optional<Instant> end,
                    std::int64_t seconds, std::optional<std::string> description = std::nullopt) {
  return SessionInfo{id, 1, std::move(project), start, end, !end, seconds, "tracked", std::move(description), "real"};
}

TEST(FormatterTest, Durations) {
  const std::vector<std::pair<std::int64_t, std::string>> cases{
      {0, "0m"}, {29, "0m"}, {30, "1m"}, {89, "1m"}, {3569, "59m"}, {3570, "1h 00m"}, {-5, "0m"}, {360000, "100h 00m"},

  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(Formatter::duration(seconds), text) << seconds;
}

TEST(FormatterTest, OneLineAndTrailingSpaces) {
  EXPECT_EQ(Formatter::oneLine("first line\n\nsecond"), "first line second");
  EXPECT_EQ(Formatter::oneLine("a\r\nb\rc\u2028d\u2029e\u0085f\vg\fh"), "a b c d e f g h");
  EXPECT_EQ(Formatter::oneLine("  tabs\tstay \n"), "  tabs\tstay ");
  EXPECT_EQ(Formatter::trimmingTrailingSpaces("x  \t  "), "x  \t");
}

TEST(FormatterTest, TimeShowsTheDayOnlyAwayFromToday) {
  EXPECT_EQ(kFormatter.time(localTime(2024, 5, 1, 9, 30)), "09:30");
  EXPECT_EQ(kFormatter.time(localTime(2024, 4, 30, 23, 59)), "2024-04-30 23:59");
  EXPECT_EQ(kFormatter.time(localTime(2024, 5, 2, 10, 35)), "2024-05-02 10:35");
}

TEST(FormatterTest, StatusWhileTracking) {
  StatusResult status{session(42, "Garden", localTime(2024, 5, 1, 9, 30), std::nullopt, 3900, "Planning the beds"),
                      "2024-05-01",
                      9600,
                      {{1, "Garden", 3900}, {2, "Writing", 5700}},
                      std::nullopt};
  EXPECT_EQ(kFormatter.status(status),
            "Tracking Garden since 09:30 (1h 05m), session 42\n"
            "  Planning the beds\n"
            "Today: 2h 40m\n"
            "  Garden   1h 05m\n"
            "  Writing  1h 35m");
}

TEST(FormatterTest, StatusWithSomethingToResume) {
  StatusResult status{std::nullopt,
                      "2024-05-01",
                      3900,
                      {{1, "Garden", 3900}},
                      LastSessionInfo{7, 1, "Garden", std::nullopt, localTime(2024, 5, 1, 9, 30),
                                      localTime(2024, 5, 1, 10, 35), localTime(2024, 5, 2, 10, 35)}};
  EXPECT_EQ(kFormatter.status(status),
            "Not tracking\n"
            "Last session: Garden, ended 10:35; can be resumed until 2024-05-02 10:35 with “lumetra resume”\n"
            "Today: 1h 05m\n"
            "  Garden  1h 05m");
  status.lastSession.reset();
  status.today.clear();
  status.todaySeconds = 0;
  EXPECT_EQ(kFormatter.status(status), "Not tracking\nToday: 0m");
}

TEST(FormatterTest, StatusPadsNamesByCharactersNotBytes) {
  StatusResult status{std::nullopt, "2024-05-01", 180, {{1, "Café", 60}, {2, "日本語", 60}, {3, "e\u0301x", 60}}, {}};
  EXPECT_EQ(kFormatter.status(status),
            "Not tracking\nToday: 3m\n"
            "  Café  1m\n"
            "  日本語   1m\n"
            "  e\u0301x    1m");
}

TEST(FormatterTest, StartedSessionsAndSwitching) {
  const auto garden = session(43, "Garden", localTime(2024, 5, 1, 11, 0), std::nullopt, 0, "Sow\nbeans");
  const auto writing = session(42, "Writing", localTime(2024, 4, 30, 9, 0), localTime(2024, 5, 1, 11, 0), 90000);
  EXPECT_EQ(kFormatter.start(StartResult{garden, true, writing}),
            "Stopped Writing (25h 00m)\nStarted Garden at 11:00 (session 43)\n  Sow beans");
  EXPECT_EQ(kFormatter.start(StartResult{writing, false, std::nullopt}),
            "Already tracking Writing since 2024-04-30 09:00 (25h 00m)");
}

TEST(FormatterTest, StopResumeDescribe) {
  const auto ended = session(5, "Garden", localTime(2024, 4, 30, 9, 0), localTime(2024, 5, 1, 10, 0), 90000);
  EXPECT_EQ(kFormatter.stop(StopResult{ended, false}), "Stopped Garden at 10:00 (25h 00m)");
  EXPECT_EQ(kFormatter.stop(StopResult{ended, true}), "Stopped Garden. It ran for under a second, so it wasn't kept.");
  auto running = session(6, "Garden", localTime(2024, 5, 1, 11, 0), std::nullopt, 60, "Weeding");
  EXPECT_EQ(kFormatter.stop(StopResult{running, false}), "Stopped Garden at now (1m)");
  EXPECT_EQ(kFormatter.resume(SessionResult{running}), "Resumed Garden at 11:00 (session 6)\n  Weeding");
  EXPECT_EQ(kFormatter.describe(SessionResult{running}), "Described session 6 (Garden, 11:00 to now)\n  Weeding");
  EXPECT_EQ(kFormatter.describe(SessionResult{ended}),
            "Removed the description of session 5 (Garden, 2024-04-30 09:00 to 10:00)");
}

TEST(FormatterTest, ProjectsList) {
  EXPECT_EQ(kFormatter.projects(ProjectsResult{}), "No projects. Create one in Lumetra with New Project…");
  EXPECT_EQ(kFormatter.projects(ProjectsResult{{{1, "Garden", false}, {2, "Old", true}}}), "Garden\nOld (archived)");
}

TEST(FormatterTest, SessionsTable) {
  EXPECT_EQ(kFormatter.sessions(SessionsResult{}), "No sessions");
  const SessionsResult result{{
      session(41, "Garden", localTime(2024, 5, 1, 9, 0), localTime(2024, 5, 1, 10, 30), 5400, "Planning the beds"),
      session(42, "Writing", localTime(2024, 5, 1, 11, 0), std::nullopt, 720),
  }};
  EXPECT_EQ(kFormatter.sessions(result),
            "ID  DATE        START  END    TIME    PROJECT  DESCRIPTION\n"
            "41  2024-05-01  09:00  10:30  1h 30m  Garden   Planning the beds\n"
            "42  2024-05-01  11:00  now    12m     Writing");
}

// Given a session that began yesterday and an id of three digits, expect the start under
// START without its day and the ids aligned right.
TEST(FormatterTest, SessionsTableAlignsIdsAndKeepsDaysApart) {
  const SessionsResult result{{
      session(7, "Café", localTime(2024, 4, 30, 23, 0), localTime(2024, 5, 1, 1, 0), 7200, "late\nnight"),
      session(123, "X", localTime(2024, 5, 1, 9, 0), localTime(2024, 5, 1, 9, 10), 600),
  }};
  EXPECT_EQ(kFormatter.sessions(result),
            " ID  DATE        START  END    TIME    PROJECT  DESCRIPTION\n"
            "  7  2024-04-30  23:00  01:00  2h 00m  Café     late night\n"
            "123  2024-05-01  09:00  09:10  10m     X");
}

ImportReport refusedReport() {
  ImportReport report;
  report.sessions = 3;
  report.seconds = 8100;
  report.skipped = 1;
  report.projects = {{"Garden", true, false, 2, 5400}, {"Writing", false, false, 1, 2700}};
  report.overlaps = {{4, std::nullopt, 17, "Writing", localTime(2024, 4, 30, 9, 0), localTime(2024, 4, 30, 10, 0)}};
  return report;
}

TEST(FormatterTest, ImportReportRefusedForOverlaps) {
  EXPECT_EQ(kFormatter.importReport(refusedReport()),
            "Nothing was imported, because some rows overlap recorded time or each other.\n"
            "Skipped 1 row with source IDs imported before.\n"
            "\n"
            "Projects:\n"
            "  Garden (new)  2 sessions  1h 30m\n"
            "  Writing        1 session  45m\n"
            "\n"
            "Overlaps (refused; add --allow-overlaps to import them anyway):\n"
            "  Line 4 overlaps session 17: Writing, 2024-04-30 09:00 to 2024-04-30 10:00");
}

TEST(FormatterTest, ImportReportHeadlines) {
  struct Case {
    bool dryRun, allow, imported, overlap, problem;
    std::int64_t sessions;
    std::string headline;
  };
  const std::vector<Case> cases{
      {false, false, true, false, false, 2, "Imported 2 sessions (2h 15m)."},
      {false, false, false, false, true, 2, "Nothing was imported. Fix the problems below first."},
      {false, false, false, true, false, 2,
       "Nothing was imported, because some rows overlap recorded time or each other."},
      {true, false, false, true, false, 2,
       "Nothing would be imported, because some rows overlap recorded time or each other."},
      {true, true, false, true, false, 2, "Would import 2 sessions (2h 15m). Nothing was saved (dry run)."},
      {true, false, false, false, false, 0, "Nothing to import."},
      {true, false, false, false, false, 1, "Would import 1 session (2h 15m). Nothing was saved (dry run)."},
  };
  for (const auto& c : cases) {
    ImportReport report;
    report.dryRun = c.dryRun;
    report.allowOverlaps = c.allow;
    report.imported = c.imported;
    report.sessions = c.sessions;
    report.seconds = 8100;
    if (c.overlap) report.overlaps = {{3, 2, std::nullopt, "Garden", localTime(2024, 5, 1, 9, 0), std::nullopt}};
    if (c.problem) report.problems = {{2, "Bad"}};
    const std::string text = kFormatter.importReport(report);
    EXPECT_EQ(text.substr(0, text.find('\n')), c.headline) << text;
  }
}

TEST(FormatterTest, ImportReportSections) {
  ImportReport report;
  report.dryRun = true;
  report.allowOverlaps = true;
  report.sessions = 2;
  report.seconds = 5400;
  report.approximateSessions = 3;
  report.placeholderSessions = 1;
  report.projects = {{"Old", false, true, 2, 5400}};
  report.overlaps = {{3, 2, std::nullopt, "Garden", localTime(2024, 5, 1, 9, 0), localTime(2024, 5, 1, 10, 0)},
                     {5, std::nullopt, 9, "Garden", localTime(2024, 5, 1, 11, 0), std::nullopt},
                     {6, std::nullopt, std::nullopt, "?", localTime(2024, 5, 1, 11, 0), std::nullopt}};
  EXPECT_EQ(kFormatter.importReport(report),
            "Would import 2 sessions (1h 30m). Nothing was saved (dry run).\n"
            "3 sessions have approximate times.\n"
            "1 session has placeholder times.\n"
            "\n"
            "Projects:\n"
            "  Old (archived)  2 sessions  1h 30m\n"
            "\n"
            "Overlaps (allowed, so that time would count twice):\n"
            "  Line 3 overlaps line 2: Garden, 09:00 to 10:00\n"
            "  Line 5 overlaps session 9: Garden, 11:00 to now\n"
            "  Line 6 overlaps a session: ?, 11:00 to now");

  report.imported = true;
  report.dryRun = false;
  report.projects.clear();
  report.approximateSessions = report.placeholderSessions = 0;
  report.overlaps.resize(1);
  report.problems = {{2, "Two\nlines"}};
  EXPECT_EQ(kFormatter.importReport(report),
            "Imported 2 sessions (1h 30m).\n"
            "\n"
            "Overlaps (imported anyway, so that time counts twice):\n"
            "  Line 3 overlaps line 2: Garden, 09:00 to 10:00\n"
            "\n"
            "Problems:\n"
            "  Line 2: Two lines");
}

}  // namespace
}  // namespace lumetra
