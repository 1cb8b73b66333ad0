// The real host on a temporary data directory, killed and stopped, and asked by a hundred tools
// at once. (Its plain journeys are transcripts: JourneyTest.)
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

TEST_F(HostProcessTest, KilledAndAwayLongerThanTheIdleTimeIsRecovered) {
  EXPECT_EQ(app({"project", "add", "Garden"}).status, 0);
  EXPECT_EQ(app({"idle-timeout", "0.02"}).status, 0);  // 1.2 seconds
  EXPECT_EQ(tool({"start", "Garden"}).status, 0);
  EXPECT_EQ(host->stop(SIGKILL), 128 + SIGKILL);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  startHost();
  EXPECT_EQ(tool({"status"}).out.substr(0, 13), "Not tracking\n");
  EXPECT_THAT(log(), testing::HasSubstr("Stopped “Garden” at "));
  // Nothing here tells when the user last gave input, and the host says so.
  EXPECT_THAT(log(), testing::HasSubstr("\nLumetra can't see keyboard and mouse activity here, so sessions won't stop by "
                                        "themselves when you step away.\n"));
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
