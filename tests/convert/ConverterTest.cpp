// Other trackers' exports, from small fixtures written for these tests.
#include "convert/Converter.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

namespace lumetra {
namespace {

using Converter::Format;

// Each entry as "project|start|end|description|source", then "!line: problem" and "note".
std::string summary(Format format, std::string_view text) {
  const ReadExport read = Converter::read(format, text, Calendar(test::kTestTimeZone));
  std::string out;
  for (const auto& e : read.entries) {
    out += e.project + "|" + e.start + "|" + e.end + "|" + e.description + "|" + e.sourceId + "\n";
  }
  for (const auto& p : read.problems) out += "!" + std::to_string(p.line) + ": " + p.message + "\n";
  for (const auto& n : read.notes) out += n + "\n";
  return out;
}

TEST(ConverterTest, TogglAndClockifyReports) {
  const std::string toggl =
      "User,Email,Client,Project,Task,Description,Billable,Start date,Start time,End date,End time,Duration,Tags\r\n"
      "Ann,a@example.org,Acme,Garden,Beds,\"Weeding, then \"\"mulch\"\"\nand more\",No,2026-11-30,09:00:00,2026-11-30,"
      "10:30:00,01:30:00,\"outdoor, slow\"\r\n"
      "Ann,a@example.org,,,,=SUM(A1),No,2026-11-30,23:30:00,2026-12-01,00:10:00,00:40:00,\r\n"
      "Ann,a@example.org,,Garden,,Running,No,2026-12-01,08:00:00,,,,\r\n"
      "Ann,a@example.org,,Garden,,Broken,No,2026-11-31,09:00:00,2026-11-30,08:00:00,,\r\n";
  EXPECT_EQ(summary(Format::toggl, toggl),
            "Garden|2026-11-30 09:00:00|2026-11-30 10:30:00|Weeding, then \"mulch\"\nand more [client: Acme] [task: Beds] "
            "[tags: outdoor, slow]|toggl:db2ef25808622526\n"
            "No project|2026-11-30 23:30:00|2026-12-01 00:10:00|=SUM(A1)|toggl:1b4a9f0a0dd27015\n"
            "!6: Start date “2026-11-31” isn't a date.\n"
            "Left out line 5: its timer was still running. Stop it and export again to bring it over.\n"
            "1 entry without a project went to “No project”.\n");
  // Clockify's headings, 12-hour times and day-first dates (told by a day above 12); an id column.
  const std::string clockify =
      "Project,Client,Description,Task,User,Tags,Billable,Start Date,Start Time,End Date,End Time,Id\n"
      "Garden,,Planting,,Ann,,Yes,03/12/2026,09:05:00 AM,03/12/2026,01:15 PM,6f1\n"
      "Garden,,Late,,Ann,,Yes,13/12/2026,11:00 PM,14/12/2026,12:30 AM,6f2\n";
  EXPECT_EQ(summary(Format::clockify, clockify),
            "Garden|2026-12-03 09:05:00|2026-12-03 13:15:00|Planting|clockify:6f1\n"
            "Garden|2026-12-13 23:00:00|2026-12-14 00:30:00|Late|clockify:6f2\n");
  EXPECT_EQ(summary(Format::clockify, "Project,Start Date\nGarden,2026-12-01\n"),
            "!1: There's no “Start time” column. Is this a detailed CSV report from Clockify?\n"
            "!1: There's no “End date” column. Is this a detailed CSV report from Clockify?\n"
            "!1: There's no “End time” column. Is this a detailed CSV report from Clockify?\n");
}

TEST(ConverterTest, TimewarriorAndWatson) {
  const std::string timewarrior =
      "[\n"
      "{\"id\":4,\"start\":\"20261130T080000Z\",\"end\":\"20261130T093000Z\",\"tags\":[\"Garden\",\"outdoor\",\"x]\"],"
      "\"annotation\":\"Weeding, \\\"beds\\\"\"},\n"
      "{\"id\":3,\"start\":\"20261130T100000Z\",\"end\":\"20261130T101500Z\"},\n"
      "{\"id\":2,\"start\":\"20261130T110000Z\",\"end\":\"2026-11-30\"},\n"
      "{\"id\":1,\"start\":\"20261201T080000Z\",\"tags\":[\"Garden\"]}\n"
      "]\n";
  EXPECT_EQ(summary(Format::timewarrior, timewarrior),
            "Garden|2026-11-30T08:00:00Z|2026-11-30T09:30:00Z|Weeding, \"beds\" [tags: outdoor, x]]|timewarrior:"
            "20261130T080000Z\n"
            "Untagged|2026-11-30T10:00:00Z|2026-11-30T10:15:00Z||timewarrior:20261130T100000Z\n"
            "!4: The interval's end isn't a time like 20261201T080000Z.\n"
            "Left out line 5: its interval is still open. Stop it and export again to bring it over.\n"
            "Timewarrior stores tags sorted, so an interval's project was taken as its first tag alphabetically. Name "
            "the tags that are projects with --project-tags A,B.\n");
  const std::string watson =
      "[\n"
      "  [1764489600, 1764495000, \"Garden\", \"a1\", [\"outdoor\", \"beds\"], 1764495000],\n"
      "  [1764495000, 1764491000, \"Garden\", \"a2\", [], 1764495000],\n"
      "  {\"not\": \"a frame\"},\n"
      "  [1764495000, 1764498600, \"Writing\", \"a3\", [], 1764498600, \"Chapter 2\"]\n"
      "]";
  EXPECT_EQ(summary(Format::watson, watson),
            "Garden|2025-11-30T08:00:00Z|2025-11-30T09:30:00Z|[tags: outdoor, beds]|watson:a1\n"
            "Writing|2025-11-30T09:30:00Z|2025-11-30T10:30:00Z|Chapter 2|watson:a3\n"
            "!3: The frame ends before it starts.\n"
            "!4: A frame must be [start, stop, project, id, tags, …] with Unix times.\n");
  EXPECT_EQ(summary(Format::watson, "{\"frames\": []}"), "!1: This isn't the JSON list of Watson's frames file.\n");
  EXPECT_EQ(summary(Format::timewarrior, "[\n{\"start\": \"2026"), "!2: This isn't the JSON list `timew export` writes.\n");
}

TEST(ConverterTest, TextThatIsntUTF8AndTheWrittenCSV) {
  EXPECT_EQ(summary(Format::toggl, "Project,Start date\nCaf\xE9,2026-12-01\n"),
            "!2: This line isn't UTF-8 text. Save the export as UTF-8 and convert it again.\n");
  const ReadExport read = Converter::read(Format::watson, "[[1764489600, 1764495000, \"-Admin\", \"a1\", [], 0]]", Calendar(test::kTestTimeZone));
  EXPECT_EQ(Converter::csv(read.entries),
            "Project,Start,End,Description,Source ID\r\n'-Admin,2025-11-30T08:00:00Z,2025-11-30T09:30:00Z,,watson:a1\r\n");
}

// What a careless or hostile export brings: each row its format, the file, and the summary.
TEST(ConverterTest, DamagedAndDoubtfulExports) {
  const std::string head = "Project,Description,Start date,Start time,End date,End time,Duration,Id\n";
  const std::vector<std::tuple<Format, std::string, std::string>> cases{
      // A day or month past 255 isn't taken modulo a byte.
      {Format::toggl, head + "A,,2026-03-260,09:00:00,2026-03-260,10:00:00,,1\n",
       "!2: Start date “2026-03-260” isn't a date.\n!2: End date “2026-03-260” isn't a date.\n"},
      // A sign isn't a digit: "-5" minutes is no time (found by fuzzing).
      {Format::toggl, head + "A,,2026-03-12,09:-5:00,2026-03-12,10:00:00,,1\n",
       "!2: Start time “09:-5:00” isn't a time.\n"},
      // The last row cut off before its End cells is damaged, not a running timer.
      {Format::toggl, head + "A,,2026-12-02,09:00:00,2026-12-02,10:00:00,,1\nA,,2026-12-02,08:0",
       "A|2026-12-02 09:00:00|2026-12-02 10:00:00||toggl:1\n!3: This row stops after 4 of its 8 columns: the file looks "
       "cut off here.\n"},
      // One entry twice is kept once; one id with other values is a problem.
      {Format::toggl, head + "A,,2026-12-02,09:00:00,2026-12-02,10:00:00,,1\nA,,2026-12-02,09:00:00,2026-12-02,10:00:00,,1\n"
                              "A,,2026-12-02,11:00:00,2026-12-02,12:00:00,,1\n",
       "A|2026-12-02 09:00:00|2026-12-02 10:00:00||toggl:1\n!4: It has the id of line 2 (toggl:1), with other values.\n"
       "Left out line 3: the same entry as line 2.\n"},
      // Across the night the clocks go back: the duration places the end in the second 02:10.
      {Format::toggl, head + "A,,2026-10-25,02:50:00,2026-10-25,02:10:00,00:20:00,1\n",
       "A|2026-10-25T02:50:00+02:00|2026-10-25T02:10:00+01:00||toggl:1\n"},
      {Format::toggl, head + "A,,2026-10-25,02:50:00,2026-10-25,02:10:00,00:25:00,1\n",
       "!2: It ends at 2026-10-25 02:10:00, before it starts.\n"},
      {Format::toggl, "", "!1: The file is empty.\n"},
      {Format::timewarrior,
       R"([{"start":"20261130T080000Z","end":"20261130T090000Z","tags":["A"]},{"start":"20261130T080000Z","end":"20261130T100000Z","tags":["A"]}])",
       "A|2026-11-30T08:00:00Z|2026-11-30T09:00:00Z||timewarrior:20261130T080000Z\n"
       "!1: It has the id of line 1 (timewarrior:20261130T080000Z), with other values.\n"},
      {Format::timewarrior,
       "[{\"start\":\"20261130T080000Z\",\"annotation\":" + std::string(200'000, '[') + std::string(200'000, ']') + "}]",
       "!1: This element is nested more than 32 levels deep.\n"},
  };
  for (const auto& [format, text, expected] : cases) EXPECT_EQ(summary(format, text), expected) << text.substr(0, 120);
}

// A spreadsheet's table, whatever it separates cells with; and Timewarrior's sorted tags.
TEST(ConverterTest, SpreadsheetsAndTimewarriorTags) {
  const std::vector<std::pair<std::string, std::string>> sheets{
      {"\xEF\xBB\xBF" "Client;Date;Begin;Stop;Notes;Rate\nAcme;01.12.2026;09:00;10:30;Call;80\nAcme;02.12.2026;23:30;00:15;Late;80\n",
       "Acme|2026-12-01 09:00:00|2026-12-01 10:30:00|Call|spreadsheet:7eb6fa50a5d4fd04\n"
       "Acme|2026-12-02 23:30:00|2026-12-03 00:15:00|Late|spreadsheet:4ec26f3bc6b53078\n"
       "Left out the column “Rate”: Lumetra has no place for it.\n"},
      {"project\tstart\tduration\nGarden\t2026-12-01 09:00\t1.5\nGarden\t2026-12-01 11:00\t0:45\n",
       "Garden|2026-12-01 09:00:00|2026-12-01 10:30:00||spreadsheet:fe22779dea0fc296\n"
       "Garden|2026-12-01 11:00:00|2026-12-01 11:45:00||spreadsheet:5c32a00c3ea1c436\n"},
      {"Task,From,To\nBeds,2026-12-01 09:00,soon\n", "!2: End “soon” isn't a time with its day, like 2026-12-01 09:30.\n"},
      {"Name,When\nA,today\n",
       "!1: There's no Start column, or neither an End nor a Duration column. A spreadsheet needs Start (or Begin, From), "
       "and End (or Stop, To) or Duration; Date and Project are read too.\n"},
  };
  for (const auto& [text, expected] : sheets) EXPECT_EQ(summary(Format::spreadsheet, text), expected) << text;

  const std::string timew = R"([{"start":"20261130T080000Z","end":"20261130T090000Z","tags":["review","zeta"]},)"
                            R"({"start":"20261130T100000Z","end":"20261130T110000Z"}])";
  const auto projects = [&](const Converter::Options& options) {
    std::string out;
    const auto read = Converter::read(Format::timewarrior, timew, Calendar(test::kTestTimeZone), options);
    for (const auto& e : read.entries) out += e.project + "|" + e.description + "\n";
    for (const auto& n : read.notes) out += n + "\n";
    return out;
  };
  EXPECT_EQ(projects({}), "review|[tags: zeta]\nUntagged|\nTimewarrior stores tags sorted, so an interval's project was "
                          "taken as its first tag alphabetically. Name the tags that are projects with --project-tags A,B.\n");
  EXPECT_EQ(projects({{"zeta"}, {}, "Loose"}), "zeta|[tags: review]\nLoose|\n");
  EXPECT_EQ(projects({{}, {"Zeta"}, "Untagged"}), "zeta|[tags: review]\nUntagged|\n");  // a project already here
}

}  // namespace
}  // namespace lumetra
