// Times as people type them, across the night Berlin's clocks go back; and the rules a
// backdated start or stop keeps, through the host's actions.
#include <gtest/gtest.h>

#include "cli/Commands.hpp"
#include "control/ControlProtocol.hpp"
#include "support/ActionsFixture.hpp"

namespace lumetra {
namespace {

// The start a `session add` with this TIME sends, or the refusal.
std::string sent(const std::string& time) {
  const Calendar berlin(test::kTestTimeZone);
  const Instant now = *ControlProtocol::parseTimestamp("2026-10-25T03:30:00+01:00");  // after the clocks went back
  std::string request;
  const Transport keep = [&](const std::string& bytes) -> std::string {
    request = bytes;
    throw ControlError(ControlError::Code::failed, "kept");
  };
  const std::vector<std::string> words{"session", "add", "A", time, "2026-10-25 12:00"};
  const auto output = Commands::run({Commands::Program::app, keep, keep, {}}, words, {now, berlin});
  if (request.empty()) return output.err;
  return JSON::parse(request).at("start").get<std::string>();
}

TEST(TimesTest, EachFormAndTheInstantItMeans) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"09:00", "2026-10-25T09:00:00+01:00"},
      {"09:00:30", "2026-10-25T09:00:30+01:00"},
      {"yesterday 10:00", "2026-10-24T10:00:00+02:00"},
      {"2026-10-24 23:15:10", "2026-10-24T23:15:10+02:00"},
      {"2026-10-25T09:00", "2026-10-25T09:00:00+01:00"},  // no offset: local
      {"2026-10-25T08:00:00Z", "2026-10-25T09:00:00+01:00"},
      {"10m ago", "2026-10-25T03:20:00+01:00"},
      {"2h ago", "2026-10-25T02:30:00+02:00"},  // the first 02:30: elapsed time, not wall time
      {"1h30m ago", "2026-10-25T02:00:00+01:00"},
      {"90 minutes ago", "2026-10-25T02:00:00+01:00"},
      {"2026-03-29 02:30", "lumetra-app: “2026-03-29 02:30” never happens here: the clocks skip that hour when they go "
                           "forward. Use a time before or after it.\nRun “lumetra-app help” for usage.\n"},
      {"10 fortnights ago", "lumetra-app: “10 fortnights ago” isn't a time. Use HH:MM or HH:MM:SS (today), yesterday "
                            "HH:MM, YYYY-MM-DD HH:MM[:SS], an ISO 8601 time, or 10m ago, 1h30m ago, 90 minutes ago.\n"
                            "Run “lumetra-app help” for usage.\n"},
  };
  for (const auto& [time, expected] : cases) EXPECT_EQ(sent(time), expected) << time;
}

class BackdatingTest : public test::ActionsFixture {};

// Given a session that ended at 08:30 and a clock at 10:00, expect each rule to hold.
TEST_F(BackdatingTest, NeverBeforeTheLastEndNorLaterThanNow) {
  const auto garden = store().createProject("Garden", at(7, 0)).id;
  (void)store().addSession(garden, at(7, 0), at(8, 30), std::nullopt, at(10, 0));
  const Instant now = at(10, 0);
  const auto start = [&](int hour, int minute) {
    return refusal(R"({"action":"start","project":"Garden","at":")" + ControlProtocol::formatTimestamp(at(hour, minute)) + "\"}", now);
  };
  const auto stop = [&](int hour, int minute) {
    return refusal(R"({"action":"stop","at":")" + ControlProtocol::formatTimestamp(at(hour, minute)) + "\"}", now);
  };
  EXPECT_EQ(start(8, 0), "invalid: The last session ended at 08:30, so this one can start at 08:30 at the earliest.");
  EXPECT_EQ(start(10, 30), "invalid: 10:30 is still to come: a session can't start later than now.");
  EXPECT_EQ(start(9, 0), "(ok)");
  EXPECT_EQ(refusal(R"({"action":"start","project":"Garden","description":"x","at":")" + ControlProtocol::formatTimestamp(at(8, 45)) + "\"}", now),
            "invalid: The running session began at 09:00, so the switch can't be earlier than that.");
  EXPECT_EQ(stop(8, 59), "invalid: The session began at 09:00, so it can't end before that.");
  EXPECT_EQ(stop(9, 40), "(ok)");
  const auto sessions = store().sessions(std::nullopt, std::nullopt, std::nullopt);
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_EQ(sessions.back().start, at(9, 0));
  EXPECT_EQ(sessions.back().end, at(9, 40));
}

}  // namespace
}  // namespace lumetra
