#include "control/ControlProtocol.hpp"

#include <gtest/gtest.h>

#include "control/ControlClient.hpp"
#include "control/ProjectsResult.hpp"
#include "control/SessionResult.hpp"
#include "control/StartResult.hpp"
#include "control/StatusResult.hpp"
#include "control/ImportReport.hpp"
#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

using test::localTime;

TEST(ControlProtocolTest, TimestampsAreLocalWithOffsetAndWholeSeconds) {
  EXPECT_EQ(ControlProtocol::formatTimestamp(localTime(2024, 5, 1, 9, 30) + 0.75), "2024-05-01T09:30:00+02:00");
  EXPECT_EQ(ControlProtocol::formatTimestamp(localTime(2024, 1, 15, 0, 0)), "2024-01-15T00:00:00+01:00");
  EXPECT_EQ(ControlProtocol::formatTimestamp(Instant(0), Calendar("UTC")), "1970-01-01T00:00:00Z");
  EXPECT_EQ(ControlProtocol::formatTimestamp(Instant(1714548600), Calendar("America/St_Johns")),
            "2024-05-01T05:00:00-02:30");
}

TEST(ControlProtocolTest, ParseTimestamp) {
  const Instant expected(1714548600);  // 2024-05-01T07:30:00Z
  const std::vector<std::pair<std::string, std::optional<Instant>>> cases{
      {"2024-05-01T07:30:00Z", expected},
      {"2024-05-01T09:30:00+02:00", expected},
      {"2024-05-01T09:30:00.250+02:00", expected + 0.25},
      {"2024-05-01 09:30:00", std::nullopt},
      {"2024-05-01T09:30:00", std::nullopt},
      {"2024-02-30T09:30:00Z", std::nullopt},
      {"2024-05-01T24:00:00Z", std::nullopt},
      {"2024-05-01T09:30:00.Z", std::nullopt},
      {"2024-05-01T09:30:00+0200", std::nullopt},
  };
  for (const auto& [text, instant] : cases) EXPECT_EQ(ControlProtocol::parseTimestamp(text), instant) << text;
}

TEST(ControlProtocolTest, RequestsOmitAbsentFields) {
  EXPECT_EQ(WireCoding::encode(ControlRequest(ControlCommand::status)), R"({"command":"status","version":1})");
  ControlRequest sessions(ControlCommand::sessions);
  sessions.since = localTime(2024, 5, 1, 0, 0);
  sessions.limit = 3;
  EXPECT_EQ(WireCoding::encode(sessions),
            R"({"command":"sessions","limit":3,"since":"2024-05-01T00:00:00+02:00","version":1})");
  ControlRequest import(ControlCommand::importSessions);
  import.csv = "a/b,\"c\"\n";
  import.dryRun = true;
  import.allowOverlaps = false;
  EXPECT_EQ(WireCoding::encode(import),
            R"({"allow_overlaps":false,"command":"import","csv":"a/b,\"c\"\n","dry_run":true,"version":1})");
}

TEST(ControlProtocolTest, RequestsDecodeFromEitherKeySpelling) {
  const auto snake = WireCoding::decode<ControlRequest>(
      R"({"command":"describe","session_id":42,"description":null,"include_archived":true,"extra":1,"version":1})");
  const auto camel =
      WireCoding::decode<ControlRequest>(R"({"command":"describe","sessionId":42,"includeArchived":true,"version":1})");
  ControlRequest expected(ControlCommand::describe);
  expected.sessionId = 42;
  expected.includeArchived = true;
  EXPECT_EQ(snake, expected);
  EXPECT_EQ(camel, expected);
  // An unknown command still decodes; the handler answers it.
  EXPECT_EQ(WireCoding::decode<ControlRequest>(R"({"command":"dance","version":2})").command, "dance");
}

TEST(ControlProtocolTest, MalformedRequestsSayWhatIsWrong) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"", "It isn't valid JSON (error at byte 1)."},
      {"[1]", "The message isn't an object."},
      {"{\"version\":1E400}", "It isn't valid JSON (a number is out of range)."},
      {R"({"command":"status"})", "The value of “version” is missing."},
      {R"({"command":"status","version":"1"})", "The value of “version” isn't a whole number."},
      {R"({"command":"status","version":1.5})", "The value of “version” isn't a whole number."},
      {R"({"command":"status","version":18446744073709551615})", "The value of “version” is out of range."},
      {R"({"command":"sessions","version":1,"since":"yesterday"})", "Not an ISO 8601 time: yesterday"},
      {R"({"command":"projects","version":1,"include_archived":1})",
       "The value of “include_archived” isn't true or false."},
  };
  for (const auto& [text, message] : cases) {
    try {
      (void)WireCoding::decode<ControlRequest>(text);
      ADD_FAILURE() << "decoded: " << text;
    } catch (const WireError& error) {
      EXPECT_EQ(error.description(), message) << text;
    }
  }
  EXPECT_EQ(WireCoding::decode<ControlRequest>(R"({"command":"status","version":1.0})").version, 1);
}

TEST(ControlProtocolTest, ResultsWriteAbsentFieldsAsNull) {
  const SessionInfo running{
      3, 1, "Garden", localTime(2024, 5, 1, 9, 0), std::nullopt, true, 60, "tracked", std::nullopt, "real"};
  EXPECT_EQ(WireCoding::encode(running),
            R"({"description":null,"duration_seconds":60,"end":null,"entry":"tracked","id":3,"project":"Garden",)"
            R"("project_id":1,"running":true,"start":"2024-05-01T09:00:00+02:00","times":"real"})");
  const StatusResult idle{std::nullopt, "2024-05-01", 0, {}, std::nullopt};
  EXPECT_EQ(
      WireCoding::encode(ControlResponse<StatusResult>::success(idle)),
      R"({"ok":true,"result":{"current":null,"date":"2024-05-01","last_session":null,"today":[],"today_seconds":0}})");
  EXPECT_EQ(WireCoding::encode(ControlResponse<StatusResult>::failure(
                ControlError(ControlError::Code::notTracking, "Nothing is being tracked."))),
            R"({"error":{"code":"not_tracking","message":"Nothing is being tracked."},"ok":false})");
}

TEST(ControlProtocolTest, RecordsRoundTrip) {
  const SessionInfo stopped{9,     2,    "Writing", localTime(2024, 5, 1, 8, 0), localTime(2024, 5, 1, 9, 0),
                            false, 3600, "edited",  "Café ✓/“quotes”",           "approximate"};
  const StartResult start{
      SessionInfo{10, 1, "Garden", localTime(2024, 5, 1, 9, 0), std::nullopt, true, 0, "tracked", std::nullopt, "real"},
      true, stopped};
  EXPECT_EQ(WireCoding::decode<StartResult>(WireCoding::encode(start)), start);
  ImportReport report;
  report.sessions = 2;
  report.projects = {{"Garden", true, false, 2, 60}};
  report.overlaps = {{4, std::nullopt, 17, "Writing", localTime(2024, 4, 30, 9, 0), std::nullopt}};
  report.problems = {{2, "Bad."}};
  const std::string text = WireCoding::encode(report);
  EXPECT_NE(text.find(R"("overlaps":[{"end":null,"line":4,"other_line":null,"project":"Writing","session_id":17,)"),
            std::string::npos);
  EXPECT_NE(text.find(R"("projects":[{"archived":false,"new":true,"project":"Garden","seconds":60,"sessions":2}])"),
            std::string::npos);
  EXPECT_EQ(WireCoding::decode<ImportReport>(text), report);
}

// Given large requests, which are read by a one-pass reader when they are flat objects and
// written in runs, expect the general parser's value or its refusal, whatever the shape of the
// text around a long field, and the general writer's bytes.
TEST(ControlProtocolTest, LargeRequestsReadAndWriteAsTheGeneralCodeDoes) {
  const auto dump = [](const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  };
  const std::string filler(70'000, 'a');
  const std::string bodies[] = {
      R"("csv":"F","dry_run":true,"limit":0,"n":-0,"big":123456789012345678,"x":null,"y":false)",
      "\"csv\":\"F\\\"\\\\\\/\\b\\f\\n\\r\\t\",\"a\":1,\"a\":\"again\"",
      R"("csv":"F\\\\\"x\\","b":"\\\"")",
      " \"csv\" :\t\"F é€😀 \x7f\" , \"n\" : -17 \r\n",
      R"("csv":"F\u00e9\ud83d\ude00\u0001\u001f")", R"("csv":"F","f":1.5)", R"("csv":"F","e":1e3)", R"("csv":"F","o":{"a":1})",
      R"("csv":"F","z":01)", R"("csv":"F","t":tru)", R"("csv":"F",)", R"("csv":"F" "b":1)", R"("csv":"F\x")",
      "\"csv\":\"F\x01\"", "\"csv\":\"F\xc3\"", "\"csv\":\"F\xed\xa0\x80\"", "\"csv\":\"F\xf4\x90\x80\x80\"",
      "\"csv\":\"F\xe0\x80\xaf\"", "\"csv\":\"F\xc0\xaf\"", R"("csv":"F"} x)",
      // Replies: the long text inside an object, nested further, or beside an array.
      R"("ok":true,"result":{"csv":"F","n":2,"e":{}})", R"("r":{"a":{"b":{"c":{"d":{"e":"F"}}}}})",
      R"("r":{"csv":"F",})", R"("r":{"csv":"F"},"a":[1])", R"("r":{"csv":"F")",
  };
  for (const auto& body : bodies) {
    std::string text = "{" + body + "}";
    text.replace(text.find('F'), 1, filler);
    SCOPED_TRACE(body);
    std::optional<nlohmann::json> expected;
    try {
      expected = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception&) {
    }
    if (expected) {
      EXPECT_EQ(WireCoding::parse(text), *expected);
      EXPECT_EQ(WireCoding::parse(text).dump(), expected->dump());  // the same number kinds too
      EXPECT_EQ(WireCoding::compact(*expected), dump(*expected));
    } else {
      EXPECT_THROW((void)WireCoding::parse(text), WireError);
    }
  }
  const nlohmann::json invalid = {{"csv", filler + "\xff"}, {"a", 1}};
  EXPECT_EQ(WireCoding::compact(invalid), dump(invalid));
}

TEST(ControlProtocolTest, SnakeCaseConversion) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"session_id", "sessionId"}, {"sessionId", "sessionId"},  {"id", "id"},
      {"trailing_", "trailing_"},  {"SESSION_ID", "sessionId"},
  };
  for (const auto& [key, field] : cases) EXPECT_EQ(WireCoding::fromSnakeCase(key), field) << key;
}

// Invalid UTF-8 in a text is replaced rather than failing.
TEST(ControlProtocolTest, InvalidTextIsReplaced) {
  EXPECT_EQ(WireCoding::compact(JSON(std::string("a\xFF"))), "\"a\xEF\xBF\xBD\"");
}

}  // namespace
}  // namespace lumetra
