#include "csv/CSVExporter.hpp"
#include "platform/UnicodeText.hpp"

#include <gtest/gtest.h>

#include "csv/ExportRange.hpp"
#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

using test::localTime;

const Calendar kZone(test::kTestTimeZone);
const std::string kHeader = "Project,Date,Start,End,Duration,Hours,Entry,Description,Times,Source ID\r\n";

WorkSession session(std::int64_t id, std::int64_t project, Instant start, std::optional<Instant> end,
                    std::optional<std::string> description = std::nullopt) {
  return WorkSession{id,
                     project,
                     start,
                     end,
                     end.value_or(start),
                     EndReason::manual,
                     false,
                     std::move(description),
                     SessionTimes::real};
}

TEST(CSVExporterTest, NoSessionsIsTheHeaderAlone) {
  EXPECT_EQ(CSVExporter::csv({}, {}, {}, Instant(0), kZone), kHeader);
}

TEST(CSVExporterTest, RowsInStartThenIdOrder) {
  const std::map<std::int64_t, Project> projects{{1, Project{1, "Garden", false, Instant(0)}}};
  auto running = session(5, 1, localTime(2024, 5, 1, 11, 0), std::nullopt);
  running.endReason.reset();
  auto added = session(3, 12, localTime(2024, 5, 1, 9, 15, 42) + 0.9, localTime(2024, 5, 1, 9, 16, 42) + 0.4);
  added.endReason = EndReason::added;
  auto imported = session(2, 1, localTime(2024, 5, 1, 9, 15, 42) + 0.9, localTime(2024, 5, 1, 9, 0), "say \"hi\"");
  imported.endReason = EndReason::imported;
  imported.times = SessionTimes::approximate;
  const std::string text =
      CSVExporter::csv({running, added, imported}, projects, {{2, "src-2"}}, localTime(2024, 5, 1, 11, 30), kZone);
  EXPECT_EQ(text, kHeader +
                      "Garden,2024-05-01,2024-05-01 09:15:42,2024-05-01 09:00:00,0:00:00,0.0000,imported,\"say "
                      "\"\"hi\"\"\",approximate,src-2\r\n"
                      "Project 12,2024-05-01,2024-05-01 09:15:42,2024-05-01 09:16:42,0:01:00,0.0165,manual,,real,\r\n"
                      "Garden,2024-05-01,2024-05-01 11:00:00,in progress,0:30:00,0.5000,tracked,,real,\r\n");
}

TEST(CSVExporterTest, FormulaGuardComesBeforeQuoting) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"=SUM(A1)", "'=SUM(A1)"},    {" -x", "' -x"},
      {"a, b", "\"a, b\""},         {"=a,b", "\"'=a,b\""},
      {"\uFEFF@x", "'\uFEFF@x"},    {"", ""},
      {"plain", "plain"},           {"two\nlines", "\"two\nlines\""},
      {"cr\ronly", "\"cr\ronly\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""},
  };
  for (const auto& [value, written] : cases) {
    EXPECT_EQ(CSVExporter::field(CSVExporter::formulaGuarded(value)), written) << value;
  }
}

TEST(CSVExporterTest, Durations) {
  const std::vector<std::pair<double, std::string>> cases{
      {0, "0:00:00"}, {3725.4, "1:02:05"}, {90000, "25:00:00"}, {59.5, "0:01:00"}, {-3, "0:00:00"}};
  for (const auto& [seconds, text] : cases) EXPECT_EQ(CSVExporter::formatDuration(seconds), text) << seconds;
}

// Given the hour repeated when daylight saving time ends, expect its second occurrence in
// ISO 8601 with its offset and the first as plain local time.
TEST(CSVExporterTest, RepeatedHourIsWrittenUnambiguously) {
  const Calendar newYork("America/New_York");
  const Instant firstOccurrence(1730611800);  // 2024-11-03 01:30 EDT
  EXPECT_EQ(CSVExporter::timestamp(firstOccurrence, newYork), "2024-11-03 01:30:00");
  EXPECT_EQ(CSVExporter::timestamp(firstOccurrence + 3600, newYork), "2024-11-03T01:30:00-05:00");
  EXPECT_EQ(CSVExporter::timestamp(Instant(-0.5), Calendar("UTC")), "1969-12-31 23:59:59");
}

// Given sessions every seven hours across the autumn change, expect each row's date and times as
// the calendar gives them one by one (the export looks each plain day up once).
TEST(CSVExporterTest, RowsAcrossAClockChangeReadAsTimestampsDo) {
  const Calendar newYork("America/New_York");
  std::vector<WorkSession> sessions;
  std::string expected;
  for (int k = 0; k < 20; ++k) {
    const Instant start(1730611800 - 50 * 3600 + k * 7 * 3600 + 0.7), end = start + 5400;
    sessions.push_back(session(k + 1, 1, start, end));
    const std::string from = CSVExporter::timestamp(start, newYork), to = CSVExporter::timestamp(end, newYork);
    expected += "P," + from.substr(0, 10) + "," + from + "," + to + ",";
  }
  const std::map<std::int64_t, Project> projects{{1, Project{1, "P", false, Instant(0)}}};
  std::string shown;
  for (const auto& line : UnicodeText::splitLines(CSVExporter::csv(sessions, projects, {}, Instant(1.8e9), newYork))) {
    std::size_t cut = 0;
    for (int field = 0; field < 4; ++field) cut = line.find(',', cut) + 1;
    if (line.starts_with("P,")) shown += line.substr(0, cut);
  }
  EXPECT_EQ(shown, expected);
}

TEST(ExportRangeTest, Bounds) {
  const Calendar mondayFirst = [] {
    Calendar c = Calendar::current("de_DE");
    return c;
  }();
  // "Today" in the test zone, and February as last month on March 31.
  const Calendar berlin(test::kTestTimeZone);
  const Instant march31 = localTime(2024, 3, 31, 15, 0);
  EXPECT_EQ(bounds(ExportRange::lastMonth, march31, berlin),
            (ExportBounds{localTime(2024, 2, 1, 0, 0), localTime(2024, 3, 1, 0, 0)}));
  EXPECT_EQ(bounds(ExportRange::thisMonth, march31, berlin),
            (ExportBounds{localTime(2024, 3, 1, 0, 0), localTime(2024, 4, 1, 0, 0)}));
  EXPECT_EQ(bounds(ExportRange::today, march31, berlin),
            (ExportBounds{localTime(2024, 3, 31, 0, 0), localTime(2024, 4, 1, 0, 0)}));
  EXPECT_EQ(bounds(ExportRange::allTime, march31, berlin), ExportBounds{});
  // Wednesday 1 May 2024 in a Monday-first locale: Monday 29 April to Monday 6 May.
  const Instant wednesday = localTime(2024, 5, 1, 12, 0);
  const auto thisWeek = bounds(ExportRange::thisWeek, wednesday, mondayFirst);
  EXPECT_EQ(mondayFirst.firstWeekday(), 2);
  EXPECT_EQ(mondayFirst.parts(*thisWeek.from), (Calendar::DateParts{2024, 4, 29, 0, 0, 0}));
  EXPECT_EQ(mondayFirst.parts(*thisWeek.to), (Calendar::DateParts{2024, 5, 6, 0, 0, 0}));
  const auto lastWeek = bounds(ExportRange::lastWeek, wednesday, mondayFirst);
  EXPECT_EQ(lastWeek.to, thisWeek.from);
  EXPECT_EQ(fromRawValue<ExportRange>("Today"), ExportRange::today);
  EXPECT_EQ(fromRawValue<ExportRange>("today"), std::nullopt);
}

}  // namespace
}  // namespace lumetra
