#pragma once

// A real `lumetra-app` on a temporary data directory, and the real binaries to drive it.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <map>
#include <memory>

#include "support/TestSupport.hpp"

namespace lumetra::test {

class HostFixture : public testing::Test {
 protected:
  void SetUp() override { startHost(); }

  void stopHost() {
    if (host) {
      EXPECT_EQ(host->stop(SIGTERM), 0);
    }
    host.reset();
  }
  void startHost() {
    std::filesystem::remove(data() / "lumetra.sock");
    host = std::make_unique<BackgroundProcess>(LUMETRA_APP_PATH, std::vector<std::string>{}, environment(),
                                                     folder / "host.log");
    ASSERT_TRUE(waitForPath(data() / "lumetra.sock")) << log();
  }
  std::filesystem::path data() const { return folder / dataName; }
  std::map<std::string, std::string> extraEnvironment;  // for the host and the programs alike
  std::map<std::string, std::string> environment() const {
    auto env = extraEnvironment;
    env.insert({{"LUMETRA_DATA_DIR", data().string()}, {"DISPLAY", ""},     {"TZ", hostZone}, {"LUMETRA_WEB_PORT", webPort},
                {"DBUS_SESSION_BUS_ADDRESS", bus},       {"DBUS_SYSTEM_BUS_ADDRESS", bus}});
    return env;
  }
  // The tool, with the host's environment and any variables given here on top.
  ProcessResult tool(const std::vector<std::string>& arguments, const std::string& input = {},
                     const std::map<std::string, std::string>& extra = {}) {
    auto env = environment();
    for (const auto& [key, value] : extra) env[key] = value;
    return runProcess(LUMETRA_TOOL_PATH, arguments, env, input);
  }
  ProcessResult app(const std::vector<std::string>& arguments) {
    return runProcess(LUMETRA_APP_PATH, arguments, environment());
  }
  std::string log() const {
    std::ifstream file(folder / "host.log");
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  TemporaryDirectory folder;
  std::string dataName = "data";
  std::string hostZone = kTestTimeZone;
  std::string webPort = "off";  // the window's tests ask for a free port
  // No desktop unless a test brings its own bus: the machine's own must not answer.
  std::string bus = "unix:path=/nonexistent/lumetra-test-bus";
  std::unique_ptr<BackgroundProcess> host;
};

}  // namespace lumetra::test
