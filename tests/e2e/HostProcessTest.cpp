// The real `lumetra-app` on a temporary data directory, driven by the real `lumetra` binary and
// the menu subcommands.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <future>
#include <thread>

#include "e2e/HostFixture.hpp"

namespace lumetra {
namespace {

using testing::MatchesRegex;

class HostProcessTest : public test::HostFixture {};

constexpr const char* kClock = "[0-2][0-9]:[0-5][0-9]";

TEST_F(HostProcessTest, FirstSessionOfANewUser) {
  EXPECT_EQ(tool({"status"}).out, "Not tracking\nToday: 0m\n");
  EXPECT_EQ(tool({"projects"}).out, "No projects. Create one in Lumetra with New Project…\n");
  EXPECT_EQ(app({"project", "add", "Garden"}).out, "Added project “Garden”.\n");
  EXPECT_EQ(app({"project", "add", "Writing"}).out, "Added project “Writing”.\n");

  auto result = tool({"start", "garden", "-d", "Planning the beds"});
  EXPECT_EQ(result.status, 0);
  EXPECT_THAT(result.out,
              MatchesRegex(std::string("Started Garden at ") + kClock + " \\(session 1\\)\n  Planning the beds\n"));

  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // sessions under a second aren't kept
  result = tool({"start", "Writing"});
  EXPECT_THAT(result.out, MatchesRegex(std::string("Stopped Garden \\(0m\\)\nStarted Writing at ") + kClock +
                                       " \\(session 2\\)\n"));
  result = tool({"describe", "Chapter 2"});
  EXPECT_THAT(result.out,
              MatchesRegex(std::string("Described session 2 \\(Writing, ") + kClock + " to now\\)\n  Chapter 2\n"));

  result = tool({"status"});
  EXPECT_THAT(result.out, MatchesRegex(std::string("Tracking Writing since ") + kClock +
                                       " \\(0m\\), session 2\n  Chapter 2\nToday: 0m\n.*"));
  result = tool({"status", "--json"});
  EXPECT_NE(result.out.find("\"project\" : \"Writing\""), std::string::npos);

  result = tool({"stop"});
  EXPECT_EQ(result.status, 0);
  EXPECT_THAT(result.out, MatchesRegex("Stopped Writing.*\n"));
  result = tool({"stop"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "lumetra: Nothing is being tracked.\n");

  result = tool({"sessions"});
  EXPECT_THAT(result.out,
              MatchesRegex("ID  DATE        START  END    TIME  PROJECT  DESCRIPTION\n 1  .*Garden   Planning "
                           "the beds\n.*"));
  result = tool({"resume"});
  EXPECT_EQ(result.status, 0) << result.err;

  result = tool({"start", "Nope"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "lumetra: There's no project named “Nope”. Projects: Garden, Writing.\n");
}

TEST_F(HostProcessTest, MenuActionsAndTheirRefusals) {
  EXPECT_EQ(app({"project", "add", "Garden"}).status, 0);
  auto result = app({"project", "add", "garden"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "lumetra-app: A project named “garden” already exists.\n");
  result = app({"project", "add"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "lumetra-app: project add needs a project name.\nRun “lumetra-app help” for usage.\n");
  EXPECT_EQ(app({"project", "rename", "Garden", "Yard"}).out, "Renamed “Garden” to “Yard”.\n");
  EXPECT_EQ(tool({"start", "Yard"}).status, 0);
  EXPECT_EQ(app({"project", "archive", "yard"}).out, "Archived “Yard”. Its running session was stopped.\n");
  EXPECT_EQ(tool({"status"}).out.substr(0, 13), "Not tracking\n");
  result = tool({"start", "Yard"});
  EXPECT_EQ(result.err, "lumetra: “Yard” is archived. Unarchive it with lumetra-app project unarchive to track it.\n");
  // No desktop here tells when the user last gave input, and the host says so.
  const std::string unseen =
      "Sessions would stop after 15 minutes without input, but Lumetra can't see keyboard and "
      "mouse activity here, so sessions won't stop by themselves when you step away.\n";
  EXPECT_EQ(app({"idle-timeout", "15"}).out, unseen);
  EXPECT_THAT(log(),
              testing::HasSubstr("\nLumetra can't see keyboard and mouse activity here, so sessions won't stop by "
                                 "themselves when you step away.\n"));
  EXPECT_EQ(app({"idle-timeout"}).out, unseen);
  EXPECT_EQ(app({"session", "add", "Yard", "2024-05-01 09:00", "2024-05-01 10:00", "-d", "Beds"}).status, 0);
  // The tracked session ran under a second and wasn't kept, so this one is session 1.
  result = app({"session", "split", "1", "2024-05-01 09:30"});
  EXPECT_EQ(result.out,
            "Split into session 1 (Yard, 2024-05-01 09:00 to 2024-05-01 09:30) and session 2 (Yard, "
            "2024-05-01 09:30 to 2024-05-01 10:00).\n");
  EXPECT_EQ(app({"session", "neighbours", "1"}).out,
            "Can be merged with the next session 2 (Yard, 2024-05-01 09:30 to 2024-05-01 10:00).\n");
  EXPECT_EQ(app({"session", "merge", "2", "1"}).out,
            "Merged into session 1 (Yard, 2024-05-01 09:00 to 2024-05-01 10:00).\n");
  result = app({"session", "delete", "99"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "lumetra-app: There's no session with id 99.\n");
  EXPECT_EQ(app({"project", "delete", "Yard"}).out, "Deleted “Yard” and its 1 session.\n");
}

TEST_F(HostProcessTest, KilledAndAwayLongerThanTheIdleTimeIsRecovered) {
  EXPECT_EQ(app({"project", "add", "Garden"}).status, 0);
  EXPECT_EQ(app({"idle-timeout", "0.02"}).status, 0);  // 1.2 seconds
  EXPECT_EQ(tool({"start", "Garden"}).status, 0);
  EXPECT_EQ(host->stop(SIGKILL), 128 + SIGKILL);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  startHost();
  EXPECT_EQ(tool({"status"}).out.substr(0, 13), "Not tracking\n");
  EXPECT_THAT(log(), testing::HasSubstr("Stopped “Garden” at "));
}

// Stopped, the host takes its sockets away; killed, it leaves a stale one. Either way the
// running session carries on when it starts again.
TEST_F(HostProcessTest, StoppedOrKilledWhileTrackingContinuesOnRestart) {
  EXPECT_EQ(app({"project", "add", "Garden"}).status, 0);
  EXPECT_EQ(tool({"start", "Garden"}).status, 0);
  EXPECT_EQ(host->stop(SIGTERM), 0);
  EXPECT_FALSE(std::filesystem::exists(data() / "lumetra.sock"));
  EXPECT_FALSE(std::filesystem::exists(data() / "lumetra-menu.sock"));
  const auto down = tool({"status"});
  EXPECT_EQ(down.status, 3);
  EXPECT_EQ(down.out + down.err, "lumetra: Lumetra isn't running. Start it with lumetra-app and try again.\n");
  EXPECT_EQ(app({"projects"}).status, 3);
  startHost();
  EXPECT_THAT(tool({"status"}).out, MatchesRegex("Tracking Garden since .*"));
  EXPECT_EQ(host->stop(SIGKILL), 128 + SIGKILL);
  EXPECT_EQ(tool({"status"}).status, 3);  // refused on the stale socket file, then not running
  startHost();
  EXPECT_THAT(tool({"status"}).out, MatchesRegex("Tracking Garden since .*"));
}

TEST_F(HostProcessTest, HundredConcurrentStatusCalls) {
  EXPECT_EQ(app({"project", "add", "Garden"}).status, 0);
  EXPECT_EQ(tool({"start", "Garden", "-d", "Beds"}).status, 0);
  std::vector<std::future<test::ProcessResult>> calls;
  for (int i = 0; i < 100; ++i) {
    calls.push_back(std::async(std::launch::async, [this] { return tool({"status"}); }));
  }
  for (auto& call : calls) {
    const auto result = call.get();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.out, MatchesRegex("Tracking Garden since .*, session 1\n  Beds\nToday: .*"));
  }
}

}  // namespace
}  // namespace lumetra
