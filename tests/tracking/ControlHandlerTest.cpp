#include "support/ActionsFixture.hpp"

namespace lumetra {
namespace {

class ControlHandlerTest : public test::ActionsFixture {
 protected:
  ControlHandler& handler() { return actions->control(); }
  JSON reply(const std::string& request, Instant now) { return answer(request, now); }
  std::int64_t project(const std::string& name) { return store().createProject(name, at(0, 0)).id; }
};

TEST_F(ControlHandlerTest, RequestLevelRefusals) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"", "bad_request: The request isn't valid: It isn't valid JSON (error at byte 1)."},
      {R"({"command":"status"})", "bad_request: The request isn't valid: The value of “version” is missing."},
      {R"({"command":"status","version":2})",
       "unsupported_version: This copy of Lumetra is older than the command-line tool. Update the app."},
      {R"({"command":"pause","version":1})", "unknown_command: Unknown command “pause”."},
      {R"({"command":"stop","version":1})", "not_tracking: Nothing is being tracked."},
      {R"({"command":"describe","version":1})",
       "bad_request: describe needs a description. Use an empty one to remove it."},
      {R"({"command":"describe","description":"x","version":1})",
       "not_tracking: Nothing is being tracked. Give a session id to describe an earlier session."},
      {R"({"command":"describe","description":"x","session_id":999,"version":1})",
       "session_not_found: There's no session with id 999."},
      {R"({"command":"start","project":"  ","version":1})", "bad_request: start needs a project name."},
      {R"({"command":"sessions","limit":0,"version":1})", "bad_request: The limit must be at least 1."},
      {R"({"command":"import","version":1})", "bad_request: import needs the CSV text."},
      {R"({"command":"resume","version":1})",
       "nothing_to_resume: There's no session to resume. Only a tracked session that ended less than 24 hours ago, "
       "in a project that isn't archived, can be."},
  };
  for (const auto& [request, expected] : cases) EXPECT_EQ(refusal(request, at(9, 0)), expected) << request;
  // Lower versions are served.
  EXPECT_EQ(refusal(R"({"command":"projects","version":0})", at(9, 0)), "(ok)");
}

TEST_F(ControlHandlerTest, FindingProjects) {
  (void)project("Éclair");
  (void)project("éclair");
  (void)project("garden");
  store().setArchived(project("Old"), true);
  const auto start = [&](const std::string& name) {
    return refusal(R"({"command":"start","project":")" + name + R"(","version":1})", at(9, 0));
  };
  EXPECT_EQ(start("ÉCLAIR"),
            "unknown_project: “ÉCLAIR” matches more than one project (“Éclair”, “éclair”). Use the exact name.");
  EXPECT_EQ(start("Nope"), "unknown_project: There's no project named “Nope”. Projects: garden, Éclair, éclair.");
  EXPECT_EQ(start("old"),
            "archived_project: “Old” is archived. Unarchive it with lumetra-app project unarchive to track it.");
  EXPECT_EQ(start("éclair"), "(ok)");
  EXPECT_EQ(tracker->current()->projectId, 2);
  EXPECT_EQ(start("GARDEN"), "(ok)");
  EXPECT_EQ(tracker->current()->projectId, 3);

  for (const auto& p : store().projects(false)) store().setArchived(p.id, true);
  EXPECT_EQ(start("Nope"), "unknown_project: There's no project named “Nope”. There are no active projects.");
}

TEST_F(ControlHandlerTest, StartSwitchAndNoChange) {
  const auto garden = project("Garden");
  (void)project("Writing");
  JSON started = result(R"({"command":"start","project":"Garden","description":"Beds","version":1})", at(9, 0));
  EXPECT_EQ(started["started"], true);
  EXPECT_EQ(started["stopped"], nullptr);
  EXPECT_EQ(started["session"]["project_id"], garden);

  JSON same = result(R"({"command":"start","project":"Garden","description":" Beds ","version":1})", at(9, 5));
  EXPECT_EQ(same["started"], false);
  EXPECT_EQ(same["session"]["id"], started["session"]["id"]);

  JSON switched = result(R"({"command":"start","project":"Writing","version":1})", at(9, 30));
  EXPECT_EQ(switched["started"], true);
  EXPECT_EQ(switched["stopped"]["running"], false);
  EXPECT_EQ(switched["stopped"]["end"], "2024-05-01T09:30:00+02:00");
  EXPECT_EQ(switched["stopped"]["duration_seconds"], 1800);
  EXPECT_EQ(refusal(R"({"command":"start","project":"Writing","description":"=1","version":1})", at(9, 40)),
            "invalid: A description can't start with =, +, - or @. Spreadsheets would read it as a formula when your "
            "time is exported.");
}

// Given a switch from a session too short to keep, expect a new session reported as started
// even when SQLite hands it the discarded session's id.
TEST_F(ControlHandlerTest, SwitchFromADiscardedSessionIsAStart) {
  (void)project("Garden");
  (void)project("Writing");
  (void)result(R"({"command":"start","project":"Garden","version":1})", at(9, 0));
  JSON switched = result(R"({"command":"start","project":"Writing","version":1})", at(9, 0) + 0.5);
  EXPECT_EQ(switched["started"], true);
  EXPECT_EQ(switched["stopped"], nullptr);
  EXPECT_EQ(switched["session"]["project"], "Writing");
}

TEST_F(ControlHandlerTest, StopReportsDiscardedSessions) {
  (void)project("Garden");
  (void)result(R"({"command":"start","project":"Garden","version":1})", at(9, 0));
  JSON stopped = result(R"({"command":"stop","version":1})", at(9, 0) + 0.5);
  EXPECT_EQ(stopped["discarded"], true);
  EXPECT_EQ(stopped["session"]["duration_seconds"], 0);

  (void)result(R"({"command":"start","project":"Garden","version":1})", at(10, 0));
  stopped = result(R"({"command":"stop","version":1})", at(10, 0) + 59.9);
  EXPECT_EQ(stopped["discarded"], false);
  EXPECT_EQ(stopped["session"]["duration_seconds"], 59);
  EXPECT_EQ(stopped["session"]["end"], "2024-05-01T10:00:59+02:00");
}

TEST_F(ControlHandlerTest, StatusTotalsAndLastSession) {
  const auto zeta = project("Zeta"), alpha = project("alpha"), tiny = project("Tiny"), night = project("Night");
  const Instant now = at(12, 0);
  (void)store().addSession(night, test::localTime(2024, 4, 30, 23, 0), at(0, 20), std::nullopt, now);
  (void)store().addSession(alpha, at(8, 0), at(9, 0), std::nullopt, now);
  (void)store().addSession(zeta, at(9, 0), at(10, 0), std::nullopt, now);
  (void)store().addSession(tiny, at(10, 0), at(10, 0) + 0.4, std::nullopt, now);
  const auto tracked = store().insertSession(alpha, at(10, 30), "Plan");
  store().closeSession(tracked.id, at(11, 0), at(11, 0), EndReason::manual);

  JSON status = result(R"({"command":"status","version":1})", now);
  EXPECT_EQ(status["today_seconds"], 9000);  // 3600 + 3600 + 1800 + 0.4, truncated after summing
  EXPECT_EQ(status["today"], JSON::parse(R"([{"project":"alpha","project_id":2,"seconds":5400},
                                             {"project":"Zeta","project_id":1,"seconds":3600}])"));
  EXPECT_EQ(status["last_session"]["id"], tracked.id);
  EXPECT_EQ(status["last_session"]["resumable_until"], "2024-05-02T11:00:00+02:00");

  (void)store().addSession(zeta, at(11, 0), at(11, 30), std::nullopt, now);
  status = result(R"({"command":"status","version":1})", now);
  EXPECT_EQ(status["today"][0]["project"], "Zeta");  // equal totals: upper case before lower case
  EXPECT_EQ(status["today"][1]["project"], "alpha");

  (void)result(R"({"command":"resume","version":1})", now);
  status = result(R"({"command":"status","version":1})", now + 60);
  EXPECT_EQ(status["last_session"], nullptr);
  EXPECT_EQ(status["current"]["description"], "Plan");
  EXPECT_EQ(status["current"]["duration_seconds"], 60);
}

TEST_F(ControlHandlerTest, EntryKinds) {
  const auto garden = project("Garden");
  const auto manual = store().addSession(garden, at(8, 0), at(8, 30), std::nullopt, at(12, 0));
  (void)store().updateSession(manual.id, garden, at(8, 0), at(8, 40), at(12, 0));
  const auto imported = store().addSession(garden, at(9, 0), at(9, 30), std::nullopt, at(12, 0));
  store().db().query("UPDATE sessions SET end_reason = 'imported', edited = 1 WHERE id = ?", {imported.id});
  const auto tracked = store().insertSession(garden, at(10, 0), std::nullopt);
  store().closeSession(tracked.id, at(10, 30), at(10, 30), EndReason::manual);
  (void)store().updateSession(tracked.id, garden, at(10, 0), at(10, 40), at(12, 0));
  (void)store().insertSession(garden, at(11, 0), std::nullopt);
  JSON sessions = result(R"({"command":"sessions","version":1})", at(12, 0));
  std::vector<std::string> entries;
  for (const auto& s : sessions["sessions"]) entries.push_back(s["entry"]);
  EXPECT_EQ(entries, (std::vector<std::string>{"manual", "imported", "edited", "tracked"}));
}

TEST_F(ControlHandlerTest, SessionLimits) {
  const auto garden = project("Garden"), writing = project("Writing");
  for (int i = 0; i < 30; ++i) {
    (void)store().addSession(i % 2 ? garden : writing, at(0, 0) + i * 600, at(0, 0) + i * 600 + 300, std::nullopt,
                             at(12, 0));
  }
  const auto ids = [&](const std::string& request) {
    std::vector<std::int64_t> out;
    const JSON sessions = result(request, at(12, 0))["sessions"];
    for (const auto& s : sessions) out.push_back(s["id"]);
    return out;
  };
  const auto range = [](std::int64_t from, std::int64_t to, std::int64_t step = 1) {
    std::vector<std::int64_t> out;
    for (auto i = from; i <= to; i += step) out.push_back(i);
    return out;
  };
  EXPECT_EQ(ids(R"({"command":"sessions","version":1})"), range(11, 30));
  EXPECT_EQ(ids(R"({"command":"sessions","limit":3,"version":1})"), range(28, 30));
  EXPECT_EQ(ids(R"({"command":"sessions","until":"2024-05-01T04:00:00+02:00","version":1})"), range(5, 24));
  EXPECT_EQ(ids(R"({"command":"sessions","project":"garden","limit":2,"version":1})"),
            (std::vector<std::int64_t>{28, 30}));
}

TEST_F(ControlHandlerTest, Describe) {
  (void)project("Garden");
  (void)result(R"({"command":"start","project":"Garden","version":1})", at(9, 0));
  JSON described = result(R"({"command":"describe","description":" Beds ","version":1})", at(9, 10));
  EXPECT_EQ(described["session"]["description"], "Beds");
  described = result(R"({"command":"describe","description":"","session_id":1,"version":1})", at(9, 10));
  EXPECT_EQ(described["session"]["description"], nullptr);
  EXPECT_EQ(tracker->current()->description, std::nullopt);
}

}  // namespace
}  // namespace lumetra
