// The host's actions as lumetra-app's socket and the window ask them: refusals, and the rules
// that keep the running session and the stored sessions in step.
#include "support/ActionsFixture.hpp"

namespace lumetra {
namespace {

using MenuHandlerTest = test::ActionsFixture;

TEST_F(MenuHandlerTest, Refusals) {
  (void)store().createProject("Garden", at(0, 0));
  const std::vector<std::pair<std::string, std::string>> cases{
      {"nope", "bad_request: The request isn't valid: It isn't valid JSON (error at byte 2)."},
      {R"({"action":"fly"})", "bad_request: Unknown action “fly”."},
      {R"({"action":"project-add","name":"garden"})", "invalid: A project named “garden” already exists."},
      {R"({"action":"project-rename","name":"Nope","new_name":"X"})",
       "unknown_project: There's no project named “Nope”. Projects: Garden."},
      {R"({"action":"session-delete","id":7})", "session_not_found: There's no session with id 7."},
      {R"({"action":"session-add","project":"Garden","start":"2024-05-01T11:00:00+02:00","end":"2024-05-01T13:00:00+02:00"})",
       "invalid: Times can't be in the future."},
      {R"({"action":"idle-timeout","seconds":0})", "bad_request: The idle time-out must be above 0."},
      {R"({"action":"session-split","id":"7","at":"2024-05-01T10:00:00+02:00"})",
       "bad_request: The request isn't valid: The value of “id” isn't a whole number."},
      {R"({"action":"project-delete"})", "bad_request: The request isn't valid: The value of “name” is missing."},
      {R"({"action":"web-port","port":"0"})", "bad_request: “0” isn't a port. Use a number from 1 to 65535, or off."},
      {R"({"action":"window"})", "failed: Lumetra's window isn't open yet."},
  };
  for (const auto& [request, expected] : cases) EXPECT_EQ(refusal(request, at(12, 0)), expected) << request;
}

TEST_F(MenuHandlerTest, ArchivingOrDeletingTheRunningProjectStopsIt) {
  const auto garden = store().createProject("Garden", at(0, 0)).id;
  (void)tracker->start(garden, std::nullopt, at(9, 0));
  const auto id = tracker->current()->id;
  JSON reply = answer(R"({"action":"project-archive","name":"garden"})", at(10, 0));
  EXPECT_EQ(reply["result"]["stopped_running"], true);
  EXPECT_EQ(store().session(id)->endReason, EndReason::archived);
  EXPECT_FALSE(tracker->isTracking());

  EXPECT_EQ(refusal(R"({"action":"project-unarchive","name":"Garden"})", at(12, 0)), "(ok)");
  (void)tracker->start(garden, std::nullopt, at(10, 30));
  reply = answer(R"({"action":"project-delete","name":"Garden"})", at(11, 0));
  EXPECT_EQ(reply["result"]["stopped_running"], true);
  EXPECT_EQ(reply["result"]["deleted_sessions"], 2);
  EXPECT_FALSE(tracker->isTracking());
  EXPECT_TRUE(store().projects(true).empty());
}

TEST_F(MenuHandlerTest, IdleTimeoutFollowsAtOnce) {
  EXPECT_EQ(answer(R"({"action":"idle-timeout"})", at(12, 0))["result"]["seconds"], 600.0);
  EXPECT_EQ(answer(R"({"action":"idle-timeout","seconds":120})", at(12, 0))["result"]["seconds"], 120.0);
  EXPECT_EQ(tracker->idleThreshold(), 120);
  EXPECT_EQ(store().setting("idle_timeout"), "120.0");
}

// The running session's start may move; an end would leave it running, so it is refused. Times
// that share time with another session (the running one included) are refused, naming it.
TEST_F(MenuHandlerTest, RunningSessionsAndOverlaps) {
  const auto garden = store().createProject("Garden", at(0, 0)).id;
  (void)store().addSession(garden, at(8, 0), at(9, 0), std::nullopt, at(9, 0));
  (void)tracker->start(garden, std::nullopt, at(11, 0));
  const std::string before = test::dumpTables(store().db());
  const std::vector<std::pair<std::string, std::string>> refused{
      {R"({"action":"session-edit","id":2,"end":"2024-05-01T11:30:00+02:00"})",
       "invalid: Session 2 is still running, so it has no end to change. Stop it first."},
      {R"({"action":"session-add","project":"Garden","start":"2024-05-01T08:30:00+02:00","end":"2024-05-01T09:30:00+02:00"})",
       "invalid: That overlaps session 1 (Garden, 2024-05-01 08:00 to 2024-05-01 09:00). Sessions can't share time."},
      {R"({"action":"session-add","project":"Garden","start":"2024-05-01T10:30:00+02:00","end":"2024-05-01T11:30:00+02:00"})",
       "invalid: That overlaps session 2 (Garden, 2024-05-01 11:00 to now). Sessions can't share time."},
      {R"({"action":"session-edit","id":1,"end":"2024-05-01T11:15:00+02:00"})",
       "invalid: That overlaps session 2 (Garden, 2024-05-01 11:00 to now). Sessions can't share time."},
      {R"({"action":"session-edit","id":2,"start":"2024-05-01T08:45:00+02:00"})",
       "invalid: That overlaps session 1 (Garden, 2024-05-01 08:00 to 2024-05-01 09:00). Sessions can't share time."},
  };
  for (const auto& [request, expected] : refused) EXPECT_EQ(refusal(request, at(12, 0)), expected) << request;
  EXPECT_EQ(test::dumpTables(store().db()), before);

  const JSON reply = answer(R"({"action":"session-edit","id":2,"start":"2024-05-01T10:30:00+02:00"})", at(12, 0));
  EXPECT_EQ(reply["result"]["session"]["running"], true);
  EXPECT_EQ(tracker->current()->start, at(10, 30));
}

}  // namespace
}  // namespace lumetra
