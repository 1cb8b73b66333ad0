#include "csv/CSVImporter.hpp"
#include "csv/CSVImportReader.hpp"

#include <gtest/gtest.h>

#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

using test::localTime;

const Calendar kZone(test::kTestTimeZone);
const std::string kHeader = "Project,Start,End\n";

ImportFile parse(const std::string& text) { return CSVImporter::parse(text, kZone); }

std::vector<std::string> problems(const std::string& text) {
  std::vector<std::string> out;
  for (const auto& p : parse(text).problems) out.push_back(std::to_string(p.line) + ": " + p.message);
  return out;
}

TEST(CSVImporterTest, EmptyFiles) {
  for (const std::string text : {"", "\xEF\xBB\xBF", "\n\n \t\n", ",,,\n , \n"}) {
    EXPECT_EQ(problems(text), std::vector<std::string>{"1: The file is empty."}) << text;
    EXPECT_TRUE(parse(text).rows.empty());
  }
}

TEST(CSVImporterTest, QuotedCellsKeepTheirText) {
  const auto file = parse("\xEF\xBB\xBF" + kHeader + "\"a, \"\"b\"\"\r\nc\",2024-05-01 09:00:00,2024-05-01 10:00:00\r\n" +
                          "Next,2024-05-01 10:00,2024-05-01 11:00\n");
  ASSERT_EQ(file.problems, std::vector<ImportProblem>{});
  ASSERT_EQ(file.rows.size(), 2u);
  EXPECT_EQ(file.rows[0], (ImportRow{2, "a, \"b\"\r\nc", localTime(2024, 5, 1, 9, 0), localTime(2024, 5, 1, 10, 0),
                                     std::nullopt, SessionTimes::real, std::nullopt}));
  EXPECT_EQ(file.rows[1].line, 4);  // the line break inside quotes counts
}

// A text read in pieces of any size, cut inside a byte-order mark, a quote pair or a CR LF,
// reads as the whole text does.
TEST(CSVImporterTest, PiecesOfAnySizeReadAsTheWhole) {
  const std::string text = "\xEF\xBB\xBF" + kHeader + "\"a, \"\"b\"\"\r\nc\",2024-05-01 09:00:00,2024-05-01 10:00:00\r\n" +
                           "B,2024-05-01 10:00,2024-05-01 11:00\r" + "\"C\"x,2024-05-01 10:00,nope\n\"open";
  const ImportFile whole = parse(text);
  ASSERT_EQ(whole.rows.size(), 2u);
  for (const std::size_t size : {1, 2, 3, 5}) {
    ImportFile pieces;
    CSVImportReader reader(kZone, [&](ImportRow&& row) { pieces.rows.push_back(std::move(row)); });
    for (std::size_t at = 0; at < text.size(); at += size) reader.feed(std::string_view(text).substr(at, size));
    pieces.problems = reader.finish();
    EXPECT_EQ(pieces, whole) << size;
  }
}

// Given times on the days around a clock change, expect each day's own offset; in the hour that
// occurs twice, its first occurrence.
TEST(CSVImporterTest, TimesAroundAClockChange) {
  const auto file = parse(kHeader + "a,2024-10-26 02:30:00,2024-10-26 03:00\na,2024-10-27 02:30,2024-10-27 03:30\n" +
                          "a,2024-10-28 02:30:59,2024-10-28 23:59:59\n");
  ASSERT_EQ(file.rows.size(), 3u);
  EXPECT_EQ(file.rows[0].start, Instant(1729902600));  // 00:30 UTC, summer time
  EXPECT_EQ(file.rows[1].start, Instant(1729989000));  // 00:30 UTC, still summer time
  EXPECT_EQ(file.rows[1].end, Instant(1729996200));    // 02:30 UTC, winter time
  EXPECT_EQ(file.rows[2].start, Instant(1730079059));  // 01:30:59 UTC
  EXPECT_EQ(file.rows[2].end, Instant(1730156399));
}

TEST(CSVImporterTest, QuotingProblems) {
  const std::string after =
      "A quoted field is followed by more text. Put the whole field in quotes, with \"\" for each quote inside it.";
  auto file = parse(kHeader + "\"Gar\"den,\"x\"y,2024-05-01 10:00\n");
  EXPECT_EQ(file.problems.front(), (ImportProblem{2, after}));
  EXPECT_EQ(file.problems.size(), 2u);  // once per record, then the Start cell "xy"
  EXPECT_EQ(file.problems[1], (ImportProblem{2, "Start “xy” isn't a time. Use YYYY-MM-DD HH:MM:SS, in local time."}));

  file = parse(kHeader + "Gar\"den,2024-05-01 09:00,2024-05-01 10:00\n");
  EXPECT_TRUE(file.problems.empty());
  EXPECT_EQ(file.rows.front().project, "Gar\"den");

  EXPECT_EQ(problems(kHeader + "x,2024-05-01 09:00,2024-05-01 10:00\n\"open,\nstill open"),
            (std::vector<std::string>{"3: A quoted field starting on this line is never closed.", "3: Start is empty.",
                                      "3: End is empty."}));
}

TEST(CSVImporterTest, HeaderProblems) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
      {" project , START,end\n", {}},
      {"Project,Start,End,Start\nx,a,b,c\n", {"1: There are two “Start” columns."}},
      {"Start,End\n", {"1: There's no “Project” column."}},
      {"Project,Start,End,Colour\n",
       {"1: “Colour” isn't a column Lumetra knows. The columns are Project, Date, Start, End, Duration, Hours, Entry, "
        "Description, Times, Source ID."}},
      {"Project,,Start\n\"x\n", {"1: There's no “End” column.", "2: A quoted field starting on this line is never closed."}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(problems(text), expected) << text;
}

TEST(CSVImporterTest, LaterOfTwoColumnsIsRead) {
  // The header problem stops the reading, so the later column shows only in which cell a
  // single-column file reads.
  const auto file = parse("Project,Start,End,,Times\nx,2024-05-01 09:00,2024-05-01 10:00,,APPROXIMATE\n");
  ASSERT_EQ(file.rows.size(), 1u);
  EXPECT_EQ(file.rows.front().times, SessionTimes::approximate);
}

TEST(CSVImporterTest, RowChecks) {
  const std::string header = "Project,Date,Start,End,Times,Description,Source ID\n";
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
      {"x,,2024-05-01 9:00:00,2024-05-01 10:00:00,,,",
       {"2: Start “2024-05-01 9:00:00” isn't a time. Use YYYY-MM-DD HH:MM:SS, in local time."}},
      {"x,,,2024-05-01 10:00:00,,,", {"2: Start is empty."}},
      {"x,,2024-05-01 09:00:00, In Progress ,,,",
       {"2: The session was still running when it was exported. Give it an End time, or stop it and export again."}},
      {"x,,2024-05-01 09:00:00,,,,", {"2: End is empty."}},
      {"x,2024-05-02,2024-05-01 09:00:00,2024-05-01 10:00:00,,,",
       {"2: Date 2024-05-02 isn't the date of Start (2024-05-01)."}},
      {"x,2024-05-01,2024-05-01T23:30:00Z,2024-05-02T00:30:00Z,,,", {}},
      {"x,2024-03-30,2024-03-31 03:30:00,2024-03-31 04:00:00,,,",  // a day with a clock change
       {"2: Date 2024-03-30 isn't the date of Start (2024-03-31)."}},
      {"x,,2024-05-01 09:00:00,2024-05-01 10:00:00,Rough,,",
       {"2: Times is “Rough”. Use real, approximate, placeholder or nothing (real)."}},
      {"x,,2024-03-31 02:30:00,2024-03-31 04:00:00,,,",  // the hour skipped by the clock change
       {"2: Start “2024-03-31 02:30:00” isn't a time. Use YYYY-MM-DD HH:MM:SS, in local time."}},
      {"x,,2024-05-01 09:00:00,2024-05-01 24:00:00,,,",
       {"2: End “2024-05-01 24:00:00” isn't a time. Use YYYY-MM-DD HH:MM:SS, in local time."}},
      {"x,,2024-05-01 09:00:00,2024-05-01 10:00:00,,,,,extra", {"2: There's a value in column 9, which has no heading."}},
      {"x,,2024-05-01 09:00:00", {"2: End is empty."}},
  };
  for (const auto& [row, expected] : cases) EXPECT_EQ(problems(header + row + "\n"), expected) << row;
}

TEST(CSVImporterTest, ProblemsAreSortedByLine) {
  const auto found = problems("Project,Start,End\n\"a\"b,,\nx,2024-05-01 09:00,\n");
  EXPECT_EQ(found, (std::vector<std::string>{
                       "2: A quoted field is followed by more text. Put the whole field in quotes, with \"\" for each "
                       "quote inside it.",
                       "2: Start is empty.", "2: End is empty.", "3: End is empty."}));
}

TEST(CSVImporterTest, RowsCarryTheirCells) {
  const auto file =
      parse("Project,Start,End,Description,Times,Source ID\n  Garden ,2024-05-01 09:00,2024-05-01T10:00:00+02:00,  ,"
            "Placeholder, id-1 \n");
  ASSERT_EQ(file.rows.size(), 1u);
  EXPECT_EQ(file.rows.front(), (ImportRow{2, "  Garden ", localTime(2024, 5, 1, 9, 0), localTime(2024, 5, 1, 10, 0),
                                          "  ", SessionTimes::placeholder, " id-1 "}));
}

}  // namespace
}  // namespace lumetra
