// Reports over a store built for them, asked through the real handler and printed by the real
// command line: a daylight-saving change, a running session, an archived project, a filter.
#include "support/ActionsFixture.hpp"

namespace lumetra {
namespace {

class ReportTest : public test::ActionsFixture {
 protected:
  void SetUp() override {
    makeTracker(day(25, 0));
    const auto garden = store().createProject("Garden", day(1, 0)).id;
    const auto wide = store().createProject("日本語プロジェクト", day(1, 0)).id;
    const auto old = store().createProject("Old", day(1, 0)).id;
    // Berlin's clocks go back an hour in the night to 2026-10-25: that day has 25 hours.
    (void)store().addSession(garden, day(24, 22), day(26, 0), std::nullopt, now);
    (void)store().addSession(wide, day(26, 9), day(26, 10, 30), std::nullopt, now);
    (void)store().addSession(old, day(26, 11), day(26, 12), std::nullopt, now);
    store().setArchived(old, true);
    (void)tracker->start(garden, std::nullopt, day(27, 8));
  }
  // The instant `hour` hours and `minute` minutes after the day's start.
  static Instant day(int dayOfOctober, int hour, int minute = 0) {
    return test::localTime(2026, 10, dayOfOctober, hour, minute);
  }
  std::string respond(const std::string& request) { return answer(request, now).dump(); }
  JSON report(const std::string& request) { return answer(request, now)["result"]; }
  CommandLineTool::Output printed(std::vector<std::string> words) {
    words.insert(words.begin(), "report");
    const Transport transport = [&](const std::string& bytes) { return respond(bytes); };
    return Commands::run({Commands::Program::app, transport, transport, {}}, words, {now, Calendar(test::kTestTimeZone)});
  }
  // "label: project seconds [running], …" per group.
  static std::string groups(const JSON& result) {
    std::string out;
    for (const auto& group : result["groups"]) {
      out += group["label"].get<std::string>() + ":";
      for (const auto& p : group["projects"]) {
        out += " " + p["project"].get<std::string>() + " " + std::to_string(p["seconds"].get<std::int64_t>()) +
               (p["running"].get<bool>() ? " running" : "");
      }
      out += "; ";
    }
    return out;
  }

  Instant now = day(27, 9, 15);
};

TEST_F(ReportTest, GroupsAndTotalsThatAddUp) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"day", "2026-10-24: Garden 7200; 2026-10-25: Garden 90000; 2026-10-26: 日本語プロジェクト 5400 Old 3600; "
              "2026-10-27: Garden 4500 running; "},
      // Weeks as This Week has them in the test's locale: from Sunday.
      {"week", "Week of 2026-10-18: Garden 7200; Week of 2026-10-25: Garden 94500 running 日本語プロジェクト 5400 Old 3600; "},
      {"project", "2026-10-24 to 2026-10-27: Garden 101700 running 日本語プロジェクト 5400 Old 3600; "},
  };
  for (const auto& [by, expected] : cases) {
    const JSON result = report(R"({"action":"report","range":"2026-10-24..2026-10-27","by":")" + by + "\"}");
    EXPECT_EQ(groups(result), expected) << by;
    std::int64_t sum = 0;
    for (const auto& project : result["projects"]) sum += project["seconds"].get<std::int64_t>();
    EXPECT_EQ(result["seconds"], 110700) << by;
    EXPECT_EQ(sum, 110700) << by;
    EXPECT_EQ(result["running"], true);
  }
  EXPECT_EQ(groups(report(R"({"action":"report","range":"2026-10-26","projects":["old"]})")), "2026-10-26: Old 3600; ");
  EXPECT_EQ(respond(R"({"action":"report","projects":["Nope"]})").substr(0, 40),
            R"({"error":{"code":"unknown_project","mess)");
}

TEST_F(ReportTest, TablesLineUp) {
  auto output = printed({"this-month", "--by", "week"});
  // Shares add up to 100 (the largest remainder takes the spare point), each block its subtotal.
  EXPECT_EQ(output.out,
            "Report for This Month (2026-10-01 to 2026-10-31), by week:\n"
            "  Week of 2026-10-18  Garden               2h 00m  100%\n"
            "                      Subtotal             2h 00m\n"
            "  Week of 2026-10-25  Garden (running)    26h 15m   91%\n"
            "                      日本語プロジェクト   1h 30m    5%\n"
            "                      Old                  1h 00m    4%\n"
            "                      Subtotal            28h 45m\n"
            "  Total                                   30h 45m\n");
  output = printed({"yesterday", "-p", "Garden"});
  EXPECT_EQ(output.out, "No time was tracked in Yesterday (2026-10-26).\n");
  output = printed({"--by", "hour"});
  EXPECT_EQ(output.status, 2);
  EXPECT_EQ(output.err, "lumetra-app: --by takes project, day or week, not “hour”.\nRun “lumetra-app help” for usage.\n");
}

TEST_F(ReportTest, RangesItRefuses) {
  const std::string notRange = "” isn't a range. Use All Time, Today, Yesterday, This Week, Last Week, This Month, Last "
                               "Month, This Year, Last Year, a day YYYY-MM-DD or days FROM..TO.";
  const std::vector<std::pair<std::string, std::string>> cases{
      {R"("range":"2000-01-01..2026-10-27","by":"day")",
       "bad_request: That's 9,797 days; a report shows at most 5,000. Choose a shorter range, or --by week."},
      {R"("range":"1900-01-01..2026-10-27","by":"week")",
       "bad_request: That's 6,618 weeks; a report shows at most 5,000. Choose a shorter range."},
      {R"("range":"2013-02-18..2026-10-27","by":"day")", "(ok)"},
      {R"("range":"2013-02-17..2026-10-27","by":"day")",
       "bad_request: That's 5,001 days; a report shows at most 5,000. Choose a shorter range, or --by week."},
      {R"("range":"1900-01-01..9998-12-31")", "(ok)"},
      {R"("range":"0001-01-01")", "bad_request: “0001-01-01" + notRange},
      {R"("range":"9999-12-31")", "bad_request: “9999-12-31" + notRange},
      {R"("range":"2026-02-30")", "bad_request: “2026-02-30" + notRange},
  };
  for (const auto& [fields, expected] : cases) {
    EXPECT_EQ(refusal(R"({"action":"report",)" + fields + "}", now), expected) << fields;
  }
}

}  // namespace
}  // namespace lumetra
